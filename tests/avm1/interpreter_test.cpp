// The interpreter on hand-assembled action records: arithmetic and
// branches, functions and scopes, exceptions, paths and tellTarget, version
// rules, and hostile code that must stop without harm.
#include <gtest/gtest.h>

#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {
constexpr uint8_t kAdd2 = 0x47, kLess2 = 0x48, kEquals2 = 0x49, kIncrement = 0x50, kNot = 0x12,
                  kSetVar = 0x1D, kGetVar = 0x1C, kGetMember = 0x4E, kSetMember = 0x4F,
                  kCallMethod = 0x52, kInitObject = 0x43, kEnumerate2 = 0x55, kThrow = 0x2A,
                  kReturn = 0x3E, kPop = 0x17, kDefineLocal = 0x3C, kNewObject = 0x40,
                  kMultiply = 0x0C, kSubtract = 0x0B;
}

TEST(Interpreter, ArithmeticConcatAndTrace) {
    Engine e(7);
    Asm a;
    a.PushNum(2).PushNum(3).Op(kAdd2).Trace();
    a.PushStr("n=").PushNum(1.5).Op(kAdd2).Trace();
    a.PushNum(7).PushNum(2).Op(kSubtract).PushNum(4).Op(kMultiply).Trace();
    a.PushStr("5").PushNum(5).Op(kEquals2).Trace();
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"5", "n=1.5", "20", "true"}));
}

TEST(Interpreter, LoopWithBranches) {
    // i = 0; s = 0; while (i < 10) { i++; s += i; } trace(s)
    Engine e(7);
    Asm a;
    a.SetNum("i", 0).SetNum("s", 0);
    a.Label("top").Get("i").PushNum(10).Op(kLess2).Op(kNot).If("done");
    a.PushStr("i").Get("i").Op(kIncrement).Op(kSetVar);
    a.PushStr("s").Get("s").Get("i").Op(kAdd2).Op(kSetVar);
    a.Jump("top").Label("done").Get("s").Trace();
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, std::vector<std::string>{"55"});
}

TEST(Interpreter, FunctionsWithRegistersAndClosures) {
    Engine e(7);
    Asm a;
    // function add(x in r1, y in r2) { return x + y + this.k; } preloading nothing
    a.Function2("add", {{1, "x"}, {2, "y"}}, 3, 0x02 /* suppress this */);
    a.PushReg(1).PushReg(2).Op(kAdd2).Op(kReturn);
    a.EndFunction();
    a.PushNum(4).PushNum(3).Call("add", 2).Trace();
    // A closure sees the variable of the scope it was made in.
    a.Function2("outer", {}, 1, 0);
    a.PushStr("v").PushStr("captured").Op(kDefineLocal);
    a.Function2("", {}, 1, 0).Get("v").Op(kReturn).EndFunction();
    a.Op(kReturn);
    a.EndFunction();
    a.PushStr("inner").Call("outer", 0).Op(kSetVar);
    a.Call("inner", 0).Trace();
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"7", "captured"}));
}

TEST(Interpreter, PreloadedThisAndArguments) {
    Engine e(7);
    Asm a;
    // function f() { trace(r1 === this-object); trace(r2.length) } with preload this, arguments
    a.Function2("f", {}, 3, 0x01 | 0x04);
    a.PushReg(1).PushStr("tag").Op(kGetMember).Trace();
    a.PushReg(2).PushStr("length").Op(kGetMember).Trace();
    a.EndFunction();
    // o = {tag: "me", f: f}; o.f(1, 2, 3)
    a.PushStr("o")
        .PushStr("tag")
        .PushStr("me")
        .PushStr("f")
        .Get("f")
        .PushInt(2)
        .Op(kInitObject)
        .Op(kSetVar);
    a.PushNum(3).PushNum(2).PushNum(1).PushInt(3).Get("o").PushStr("f").Op(kCallMethod).Op(kPop);
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"me", "3"}));
}

TEST(Interpreter, TryCatchFinally) {
    Engine e(7);
    Asm body, handler, fin;
    body.PushStr("boom").Op(kThrow).PushStr("not reached").Trace();
    handler.Get("err").Trace();
    fin.PushStr("finally").Trace();
    std::vector<uint8_t> p{0x03};
    for (size_t n : {body.out.size(), handler.out.size(), fin.out.size()}) {
        p.push_back(static_cast<uint8_t>(n & 0xFF));
        p.push_back(static_cast<uint8_t>(n >> 8));
    }
    for (char c : std::string("err"))
        p.push_back(static_cast<uint8_t>(c));
    p.push_back(0);
    Asm a;
    a.Record(0x8F, p);
    a.out.insert(a.out.end(), body.out.begin(), body.out.end());
    a.out.insert(a.out.end(), handler.out.begin(), handler.out.end());
    a.out.insert(a.out.end(), fin.out.begin(), fin.out.end());
    a.PushStr("after").Trace();
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"boom", "finally", "after"}));
}

TEST(Interpreter, UncaughtThrowEndsOnlyThatScript) {
    Engine e(7);
    Asm a;
    a.PushStr("x").Op(kThrow).PushStr("not reached").Trace();
    EXPECT_FALSE(e.Run(a));
    Asm b;
    b.PushStr("next script runs").Trace();
    EXPECT_TRUE(e.Run(b));
    EXPECT_EQ(e.host.traces, std::vector<std::string>{"next script runs"});
}

TEST(Interpreter, VersionRulesForUndefinedAndNames) {
    for (int v : {6, 7}) {
        Engine e(v);
        Asm a;
        a.PushStr("a").Get("nothing").Op(kAdd2).Trace();
        a.SetNum("Mixed", 1).Get("mixed").Trace();
        EXPECT_TRUE(e.Run(a));
        if (v == 6)
            EXPECT_EQ(e.host.traces, (std::vector<std::string>{"a", "1"}));
        else
            EXPECT_EQ(e.host.traces, (std::vector<std::string>{"aundefined", "undefined"}));
    }
}

TEST(Interpreter, SlashAndDotPathsAndTellTarget) {
    Engine e(7);
    ClipId child = e.host.AddClip(1, "kid");
    Asm a;
    a.PushStr("/kid:v").PushNum(9).Op(kSetVar);
    a.Get("_root.kid.v").Trace();
    a.Get("kid/:v").Trace();
    std::vector<uint8_t> t{'k', 'i', 'd', 0};
    a.Record(0x8B, t).Op(0x07).Record(0x8B, {0}); // tellTarget("kid") { stop(); }
    a.Get("_root.kid._name").Trace();
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"9", "9", "kid"}));
    EXPECT_FALSE(e.host.clips[child].playing);
    EXPECT_TRUE(e.host.clips[1].playing);
}

TEST(Interpreter, EnumerationMostRecentFirst) {
    // An object literal is filled last pair first, so it lists in source order.
    Engine e(7);
    Asm a;
    a.PushStr("o").PushStr("a").PushNum(1).PushStr("b").PushNum(2).PushStr("c").PushNum(3);
    a.PushInt(3).Op(kInitObject).Op(kSetVar);
    a.Get("o").Op(kEnumerate2);
    a.Label("loop").StoreReg(0).PushUndef().Op(kEquals2).If("done");
    a.PushReg(0).Trace().Jump("loop");
    a.Label("done");
    a.Get("o").PushStr("d").PushNum(4).Op(kSetMember);
    a.Get("o").Op(kEnumerate2);
    a.Label("loop2").StoreReg(0).PushUndef().Op(kEquals2).If("done2");
    a.PushReg(0).Trace().Jump("loop2");
    a.Label("done2");
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"a", "b", "c", "d", "a", "b", "c"}));
}

TEST(Interpreter, ConstructorsAndPrototypes) {
    Engine e(7);
    Asm a;
    // function P() { this.x = 5; } P.prototype.get = function() { return this.x; }
    a.Function2("P", {}, 2, 0x01).PushReg(1).PushStr("x").PushNum(5).Op(kSetMember).EndFunction();
    a.Get("P").PushStr("prototype").Op(kGetMember).PushStr("get");
    a.Function2("", {}, 2, 0x01).PushReg(1).PushStr("x").Op(kGetMember).Op(kReturn).EndFunction();
    a.Op(kSetMember);
    a.PushStr("p").PushInt(0).PushStr("P").Op(kNewObject).Op(kSetVar);
    a.PushInt(0).Get("p").PushStr("get").Op(kCallMethod).Trace();
    a.Get("p").Get("P").Op(0x54).Trace(); // instanceof
    EXPECT_TRUE(e.Run(a));
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"5", "true"}));
}

// ---- hostile code

TEST(InterpreterHostile, InfiniteLoopStopsAndTheMovieGoesOn) {
    Engine e(7);
    e.rt.limits.stepsPerEntry = 100000;
    Asm a;
    a.Label("top").Jump("top");
    EXPECT_FALSE(e.Run(a));
    EXPECT_TRUE(e.rt.lastRunAborted());
    Asm b;
    b.PushStr("alive").Trace();
    EXPECT_TRUE(e.Run(b));
    EXPECT_EQ(e.host.traces, std::vector<std::string>{"alive"});
}

TEST(InterpreterHostile, UnboundedRecursionStops) {
    Engine e(7);
    Asm a;
    a.Function2("f", {}, 1, 0).Call("f", 0).Op(kReturn).EndFunction();
    a.Call("f", 0).Op(kPop);
    EXPECT_FALSE(e.Run(a));
    EXPECT_STREQ(e.rt.lastAbortReason(), "call depth");
}

TEST(InterpreterHostile, StringDoublingIsBounded) {
    Engine e(7);
    e.rt.limits.stringBytes = 1 << 16;
    Asm a;
    a.PushStr("s").PushStr("xxxxxxxx").Op(kSetVar);
    a.Label("top").PushStr("s").Get("s").Get("s").Op(kAdd2).Op(kSetVar).Jump("top");
    EXPECT_FALSE(e.Run(a));
    EXPECT_STREQ(e.rt.lastAbortReason(), "string too long");
}

TEST(InterpreterHostile, TruncatedAndOutOfRangeRecords) {
    Engine e(7);
    // A Push whose string runs off the end, a record longer than the block,
    // a register and a constant that do not exist, and a pop of an empty stack.
    std::vector<std::vector<uint8_t>> blocks = {
        {0x96, 0x04, 0x00, 0x00, 'a', 'b', 'c'},
        {0x96, 0xFF, 0xFF, 0x00},
        {0x96, 0x02, 0x00, 0x04, 0xFE, 0x26},
        {0x96, 0x02, 0x00, 0x08, 0x33, 0x26},
        {0x17, 0x17, 0x26},
        {0x99, 0x02, 0x00, 0xFF, 0x7F},         // jump far past the end
        {0x99, 0x02, 0x00, 0x00, 0x80},         // jump before the start
        {0x9B, 0x05, 0x00, 'f', 0, 0, 0, 0xFF}, // function body past the end
        {0x8F, 0x03, 0x00, 0x00, 0x00, 0x00},   // truncated try
        {0x94, 0x02, 0x00, 0xFF, 0xFF},         // with body past the end
    };
    for (auto& b : blocks) {
        auto bytes = std::make_shared<std::vector<uint8_t>>(b);
        e.rt.RunActions(bytes, 1);
    }
    EXPECT_EQ(e.host.traces, (std::vector<std::string>{"undefined", "undefined", "undefined"}));
    EXPECT_TRUE(e.rt.RunActions(nullptr, 0, 1));
}

TEST(InterpreterHostile, DeepWithNestingIsBounded) {
    Engine e(7);
    // with (o) { with (o) { ... } } nested far beyond the limit: each With
    // body is the rest of the block.
    Asm a;
    a.PushStr("o").PushInt(0).Op(kInitObject).Op(kSetVar);
    const int depth = 200;
    std::vector<uint8_t> code = a.out;
    std::vector<uint8_t> tail{0x96, 0x02, 0x00, 0x03, 0x00}; // push undefined... trace
    tail.push_back(0x26);
    std::vector<uint8_t> inner = tail;
    for (int i = 0; i < depth; ++i) {
        Asm w;
        w.Get("o");
        std::vector<uint8_t> rec = w.out;
        rec.push_back(0x94);
        rec.push_back(2);
        rec.push_back(0);
        rec.push_back(static_cast<uint8_t>(inner.size() & 0xFF));
        rec.push_back(static_cast<uint8_t>(inner.size() >> 8));
        rec.insert(rec.end(), inner.begin(), inner.end());
        inner = rec;
        if (inner.size() > 60000)
            break;
    }
    code.insert(code.end(), inner.begin(), inner.end());
    EXPECT_FALSE(e.rt.RunActions(code.data(), code.size(), 1));
    EXPECT_STREQ(e.rt.lastAbortReason(), "scope too deep");
}
