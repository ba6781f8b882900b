// Built-in classes through the runtime's own call surface: arrays and their
// sort flags, strings by UTF-16 units, accessors and property flags,
// numbers, dates, timers, and the heap collecting what nothing reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

struct Fixture {
    explicit Fixture(int version = 8) : e(version) {}
    Engine e;
    Runtime& rt() { return e.rt; }
    Value Global(const char* name) { return rt().GetMember(rt().global, name); }
    Value Call(const Value& target, const char* method, Args args = {}) {
        return rt().CallMethod(target, method, args);
    }
    std::string Str(const Value& v) { return rt().ToString(v); }
    Value Array(std::vector<Value> v) { return Value::Obj(rt().MakeArray(v)); }
    Value N(double d) { return Value::Num(d); }
    Value S(const char* s) { return Value::Str(s); }
};

} // namespace

TEST(ArrayBuiltins, EditingMethods) {
    Fixture f;
    Value a = f.Array({f.N(1), f.N(2), f.N(3), f.N(4)});
    EXPECT_EQ(f.Str(f.Call(a, "push", {f.N(5)})), "5");
    EXPECT_EQ(f.Str(f.Call(a, "pop")), "5");
    EXPECT_EQ(f.Str(f.Call(a, "shift")), "1");
    f.Call(a, "unshift", {f.S("x"), f.S("y")});
    EXPECT_EQ(f.Str(a), "x,y,2,3,4");
    Value removed = f.Call(a, "splice", {f.N(1), f.N(2), f.S("z")});
    EXPECT_EQ(f.Str(removed), "y,2");
    EXPECT_EQ(f.Str(a), "x,z,3,4");
    EXPECT_EQ(f.Str(f.Call(a, "slice", {f.N(-2)})), "3,4");
    EXPECT_EQ(f.Str(f.Call(a, "join", {f.S("-")})), "x-z-3-4");
    EXPECT_EQ(f.Str(f.Call(a, "concat", {f.Array({f.N(7)}), f.N(8)})), "x,z,3,4,7,8");
    f.Call(a, "reverse");
    EXPECT_EQ(f.Str(a), "4,3,z,x");
}

TEST(ArrayBuiltins, LengthTruncatesAndBoundsIndexes) {
    Fixture f;
    Object* a = f.rt().MakeArray({f.N(1), f.N(2), f.N(3)});
    f.rt().SetMember(a, "length", f.N(1));
    EXPECT_EQ(f.Str(Value::Obj(a)), "1");
    EXPECT_TRUE(f.rt().GetMember(a, "2").IsUndefined());
    f.rt().SetMember(a, "4", f.N(9));
    EXPECT_EQ(f.rt().ArrayLength(a), 5);
    // Names that are no index (negative, 2^31 and up) leave the length alone.
    f.rt().SetMember(a, "-1", f.N(0));
    f.rt().SetMember(a, "2147483648", f.N(0));
    EXPECT_EQ(f.rt().ArrayLength(a), 5);
}

TEST(ArrayBuiltins, MovingMethodsRewriteElementsInPlayerOrder) {
    Fixture f;
    auto keys = [&](const Value& a) {
        std::string out;
        for (auto& k : f.rt().EnumerableNames(a.AsObject()))
            out += k + ",";
        return out;
    };
    Value a = f.Array({f.N(1), f.N(2), f.N(3)});
    f.Call(a, "reverse");
    EXPECT_EQ(f.Str(a), "3,2,1");
    EXPECT_EQ(keys(a), "2,0,1,"); // the middle stays, the pair is written anew

    Value holes = f.Array({});
    f.rt().SetMember(holes.AsObject(), "2", f.N(2));
    f.Call(holes, "unshift", {f.N(9)});
    EXPECT_EQ(f.Str(holes), "9,undefined,undefined,2");
    EXPECT_EQ(keys(holes), "0,1,2,3,"); // holes moved up become elements

    // An element that cannot be deleted keeps its place and outlives shift.
    Value b = f.Array({f.N(1), f.N(2), f.N(3)});
    Args flags{b, f.S("2"), f.N(2)};
    f.rt().Call(f.Global("ASSetPropFlags"), Value::Undef(), flags);
    EXPECT_EQ(f.Str(f.Call(b, "shift")), "1");
    EXPECT_EQ(f.Str(b), "2,3");
    EXPECT_EQ(keys(b), "1,0,2,");

    // Bad splice counts change nothing.
    Value c = f.Array({f.N(1), f.N(2)});
    EXPECT_TRUE(f.Call(c, "splice", {f.N(0), f.N(-1)}).IsUndefined());
    EXPECT_EQ(f.Str(c), "1,2");
}

TEST(ArrayBuiltins, SortFlags) {
    Fixture f;
    Value a = f.Array({f.N(10), f.N(9), f.N(1), f.N(100)});
    f.Call(a, "sort");
    EXPECT_EQ(f.Str(a), "1,10,100,9"); // as text by default
    f.Call(a, "sort", {f.N(16 | 2)});  // NUMERIC | DESCENDING
    EXPECT_EQ(f.Str(a), "100,10,9,1");
    Value idx = f.Call(a, "sort", {f.N(16 | 8)}); // RETURNINDEXEDARRAY leaves the array
    EXPECT_EQ(f.Str(idx), "3,2,1,0");
    EXPECT_EQ(f.Str(a), "100,10,9,1");

    Value words = f.Array({f.S("b"), f.S("A"), f.S("a")});
    EXPECT_EQ(f.Str(f.Call(words, "sort", {f.N(1 | 4)})), "0"); // UNIQUESORT finds a tie
    EXPECT_EQ(f.Str(words), "b,A,a");
    f.Call(words, "sort", {f.N(1)});
    EXPECT_EQ(f.Str(f.rt().GetMember(words, "2")), "b");
}

TEST(ArrayBuiltins, SortWithComparatorAndSortOn) {
    Fixture f;
    NativeFn byDesc = [](Runtime& rt, Object*, const Value&, Args& args) {
        return Value::Num(rt.ToNumber(Arg(args, 1)) - rt.ToNumber(Arg(args, 0)));
    };
    Value a = f.Array({f.N(3), f.N(1), f.N(2)});
    f.Call(a, "sort", {Value::Obj(f.rt().NewNative(byDesc))});
    EXPECT_EQ(f.Str(a), "3,2,1");
    // A comparator that answers at random must not break the sort.
    NativeFn chaos = [](Runtime& rt, Object*, const Value&, Args&) {
        rt.randomState = rt.randomState * 1664525u + 1013904223u;
        return Value::Num(static_cast<double>(rt.randomState % 3) - 1);
    };
    std::vector<Value> many;
    for (int i = 0; i < 200; ++i)
        many.push_back(f.N(i));
    Value big = f.Array(many);
    f.Call(big, "sort", {Value::Obj(f.rt().NewNative(chaos))});
    EXPECT_EQ(f.rt().ArrayLength(big.AsObject()), 200);

    auto rec = [&](const char* name, double age) {
        Object* o = f.rt().NewPlain();
        f.rt().SetMember(o, "name", f.S(name));
        f.rt().SetMember(o, "age", f.N(age));
        return Value::Obj(o);
    };
    Value people = f.Array({rec("bo", 30), rec("al", 4), rec("cy", 12)});
    f.Call(people, "sortOn", {f.S("age"), f.N(16)});
    EXPECT_EQ(f.Str(f.rt().GetMember(f.rt().GetMember(people, "0"), "name")), "al");
    f.Call(people, "sortOn", {f.S("name"), f.N(2)});
    EXPECT_EQ(f.Str(f.rt().GetMember(f.rt().GetMember(people, "0"), "name")), "cy");
}

TEST(StringBuiltins, IndexingByCodeUnits) {
    Fixture f;
    Value s = f.S("h\xC3\xA9llo w\xC3\xB6rld"); // é and ö are one unit each
    EXPECT_EQ(f.Str(f.rt().GetMember(s, "length")), "11");
    EXPECT_EQ(f.Str(f.Call(s, "charCodeAt", {f.N(1)})), "233");
    EXPECT_EQ(f.Str(f.Call(s, "charAt", {f.N(7)})), "\xC3\xB6");
    EXPECT_EQ(f.Str(f.Call(s, "substr", {f.N(-5), f.N(3)})), "w\xC3\xB6r");
    EXPECT_EQ(f.Str(f.Call(s, "substring", {f.N(5), f.N(1)})), "\xC3\xA9llo");
    EXPECT_EQ(f.Str(f.Call(s, "slice", {f.N(-3)})), "rld");
    EXPECT_EQ(f.Str(f.Call(s, "indexOf", {f.S("o")})), "4");
    EXPECT_EQ(f.Str(f.Call(s, "lastIndexOf", {f.S("o")})), "4");
    EXPECT_EQ(f.Str(f.Call(s, "toUpperCase")), "H\xC3\x89LLO W\xC3\x96RLD");
    EXPECT_EQ(f.Str(f.Call(f.S("a,b,,c"), "split", {f.S(","), f.N(3)})), "a,b,");
    EXPECT_EQ(f.Str(f.Call(f.Global("String"), "fromCharCode", {f.N(72), f.N(105)})), "Hi");
    EXPECT_TRUE(std::isnan(f.rt().ToNumber(f.Call(s, "charCodeAt", {f.N(99)}))));
}

TEST(StringBuiltins, ArgumentRules) {
    Fixture f;
    Value s = f.S("Hello1234");
    // Indexes wrap as 32-bit integers.
    EXPECT_EQ(f.Str(f.Call(s, "charAt", {f.N(4294967297.0)})), "e");
    EXPECT_EQ(f.Str(f.Call(s, "slice", {f.N(4294967296.0), f.N(4294967298.0)})), "He");
    EXPECT_EQ(f.Str(f.Call(s, "substr", {f.N(4294967296.0), f.N(-4294967294.0)})), "He");
    EXPECT_EQ(f.Str(f.Call(s, "indexOf", {f.S("l"), f.N(4294967299.0)})), "3");
    // No argument at all gives undefined, an empty needle past the end -1.
    for (const char* m : {"indexOf", "lastIndexOf", "slice", "substr", "substring"})
        EXPECT_TRUE(f.Call(s, m).IsUndefined()) << m;
    EXPECT_EQ(f.Str(f.Call(s, "indexOf", {f.S(""), f.N(100)})), "-1");
    EXPECT_EQ(f.Str(f.Call(s, "lastIndexOf", {f.S("l"), f.N(-1)})), "-1");
    // split: a null limit is zero, an absent separator keeps the text whole.
    EXPECT_EQ(
        f.Str(f.rt().GetMember(f.Call(f.S("a,b"), "split", {f.S(","), Value::Null()}), "length")),
        "0");
    EXPECT_EQ(f.Str(f.rt().GetMember(f.Call(f.S("a,b"), "split"), "length")), "1");
    Fixture v5(5);
    EXPECT_EQ(v5.Str(v5.rt().GetMember(v5.Call(v5.S("a,b"), "split"), "length")), "2");
    EXPECT_EQ(v5.Str(v5.rt().GetMember(v5.Call(v5.S("a,b"), "split", {v5.S("")}), "length")), "1");
}

TEST(ObjectBuiltins, AccessorsFlagsAndWatch) {
    Fixture f;
    Object* o = f.rt().NewPlain();
    NativeFn getter = [](Runtime&, Object*, const Value&, Args&) { return Value::Num(42); };
    NativeFn setter = [](Runtime& rt, Object*, const Value& self, Args& args) {
        rt.SetMember(self.AsObject(), "stored", Arg(args, 0));
        return Value::Undef();
    };
    f.Call(Value::Obj(o), "addProperty",
           {f.S("v"), Value::Obj(f.rt().NewNative(getter)), Value::Obj(f.rt().NewNative(setter))});
    EXPECT_EQ(f.Str(f.rt().GetMember(o, "v")), "42");
    f.rt().SetMember(o, "v", f.N(7));
    EXPECT_EQ(f.Str(f.rt().GetMember(o, "stored")), "7");

    f.rt().SetMember(o, "hidden", f.N(1));
    f.rt().SetMember(o, "fixed", f.N(1));
    Args flags1{Value::Obj(o), f.S("hidden"), f.N(1)};
    f.rt().Call(f.Global("ASSetPropFlags"), Value::Undef(), flags1);
    Args flags2{Value::Obj(o), f.S("fixed"), f.N(4 | 2)};
    f.rt().Call(f.Global("ASSetPropFlags"), Value::Undef(), flags2);
    std::vector<std::string> names = f.rt().EnumerableNames(o);
    EXPECT_EQ(std::count(names.begin(), names.end(), "hidden"), 0);
    f.rt().SetMember(o, "fixed", f.N(2));
    EXPECT_EQ(f.Str(f.rt().GetMember(o, "fixed")), "1");
    EXPECT_FALSE(f.rt().DeleteMember(o, "fixed"));

    NativeFn doubler = [](Runtime& rt, Object*, const Value&, Args& args) {
        return Value::Num(rt.ToNumber(Arg(args, 2)) * 2);
    };
    f.Call(Value::Obj(o), "watch", {f.S("w"), Value::Obj(f.rt().NewNative(doubler))});
    f.rt().SetMember(o, "w", f.N(5));
    EXPECT_EQ(f.Str(f.rt().GetMember(o, "w")), "10");
    EXPECT_EQ(f.Str(f.Call(Value::Obj(o), "hasOwnProperty", {f.S("w")})), "true");
    EXPECT_EQ(f.Str(f.Call(Value::Obj(o), "hasOwnProperty", {f.S("")})), "false");

    // The watcher sees the inherited value as the old one; one that throws
    // leaves the property undefined and the exception goes on.
    Object* child = f.rt().NewObject(o);
    NativeFn keepOld = [](Runtime&, Object*, const Value&, Args& args) { return Arg(args, 1); };
    f.Call(Value::Obj(child), "watch", {f.S("w"), Value::Obj(f.rt().NewNative(keepOld))});
    f.rt().SetMember(child, "w", f.N(3));
    EXPECT_EQ(f.Str(f.rt().GetMember(child, "w")), "10");
    NativeFn thrower = [](Runtime&, Object*, const Value&, Args& args) -> Value {
        throw ScriptThrow{Arg(args, 2)};
    };
    f.Call(Value::Obj(child), "watch", {f.S("w"), Value::Obj(f.rt().NewNative(thrower))});
    try {
        f.rt().SetMember(child, "w", f.N(5));
        ADD_FAILURE() << "the watcher's exception was lost";
    } catch (const ScriptThrow& t) {
        EXPECT_EQ(f.Str(t.value), "5");
    }
    EXPECT_TRUE(f.rt().GetMember(child, "w").IsUndefined());
}

TEST(NumberAndMathBuiltins, ConversionsAndRounding) {
    Fixture f;
    Object* num = f.rt().ToObject(f.N(255));
    EXPECT_EQ(f.Str(f.Call(Value::Obj(num), "toString", {f.N(16)})), "ff");
    Value math = f.Global("Math");
    EXPECT_EQ(f.Str(f.Call(math, "round", {f.N(2.5)})), "3");
    EXPECT_EQ(f.Str(f.Call(math, "round", {f.N(-2.5)})), "-2");
    EXPECT_EQ(f.Str(f.Call(math, "max", {f.N(1), f.N(3)})), "3");
    EXPECT_EQ(f.Str(f.Call(math, "min")), "Infinity");
    Args pi{f.S("0x10")};
    EXPECT_EQ(f.Str(f.rt().Call(f.Global("parseInt"), Value::Undef(), pi)), "16");
    Args esc{f.S("a b&c")};
    EXPECT_EQ(f.Str(f.rt().Call(f.Global("escape"), Value::Undef(), esc)), "a%20b%26c");
}

TEST(DateBuiltins, UtcFieldsAndSetters) {
    // Local fields equal UTC ones in the UTC zone.
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    Fixture f;
    Args utc{f.N(2001), f.N(1), f.N(3), f.N(4), f.N(5), f.N(6)};
    Value t = f.Call(f.Global("Date"), "UTC", utc);
    EXPECT_EQ(f.Str(t), "981173106000");
    Args one{t};
    Value d = f.rt().Construct(f.Global("Date"), one);
    EXPECT_EQ(f.Str(f.Call(d, "getFullYear")), "2001");
    EXPECT_EQ(f.Str(f.Call(d, "getMonth")), "1");
    EXPECT_EQ(f.Str(f.Call(d, "getDay")), "6");
    EXPECT_EQ(f.Str(d), "Sat Feb 3 04:05:06 GMT+0000 2001");
    f.Call(d, "setMonth", {f.N(13)}); // rolls into the next year
    EXPECT_EQ(f.Str(f.Call(d, "getFullYear")), "2002");
    EXPECT_EQ(f.Str(f.Call(d, "getMonth")), "1");
    if (oldZone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(Timers, IntervalsFollowTheHostClock) {
    Fixture f;
    NativeFn count = [](Runtime& rt, Object*, const Value&, Args&) {
        rt.host().Trace("tick");
        return Value::Undef();
    };
    Args a{Value::Obj(f.rt().NewNative(count)), f.N(100)};
    Value id = f.rt().Call(f.Global("setInterval"), Value::Undef(), a);
    f.e.host.now = 50;
    f.rt().Tick();
    EXPECT_TRUE(f.e.host.traces.empty());
    f.e.host.now = 100;
    f.rt().Tick();
    f.e.host.now = 200;
    f.rt().Tick();
    EXPECT_EQ(f.e.host.traces.size(), 2u);
    Args c{id};
    f.rt().Call(f.Global("clearInterval"), Value::Undef(), c);
    f.e.host.now = 1000;
    f.rt().Tick();
    EXPECT_EQ(f.e.host.traces.size(), 2u);
}

TEST(Heap, CollectsWhatNothingReaches) {
    Fixture f;
    f.rt().CollectGarbage();
    size_t base = f.rt().HeapSize();
    Object* kept = f.rt().NewPlain();
    f.rt().SetMember(f.rt().global, "kept", Value::Obj(kept));
    for (int i = 0; i < 1000; ++i)
        f.rt().NewPlain();
    f.rt().CollectGarbage();
    EXPECT_EQ(f.rt().HeapSize(), base + 1);
    EXPECT_EQ(f.rt().GetMember(f.rt().global, "kept").AsObject(), kept);
}

TEST(Heap, ObjectLimitStopsTheScript) {
    Engine e(7);
    e.rt.limits.objects = e.rt.HeapSize() + 500;
    Asm a;
    a.Label("top").PushStr("o").PushInt(0).Op(0x43).Op(0x1D).Jump("top");
    // Every object made here is garbage at once; the collector cannot run
    // inside the script, so the limit is what ends it.
    EXPECT_FALSE(e.Run(a));
    EXPECT_STREQ(e.rt.lastAbortReason(), "too many objects");
}

TEST(ObjectBuiltins, AccessorInsideItselfUsesTheSlot) {
    Fixture f;
    Object* o = f.rt().NewPlain();
    // The getter reads its own property and the setter writes it: neither
    // may recurse.
    NativeFn getter = [](Runtime& rt, Object*, const Value& self, Args&) {
        return Value::Str("got:" + rt.ToString(rt.GetMember(self, "p")));
    };
    NativeFn setter = [](Runtime& rt, Object*, const Value& self, Args& args) {
        rt.SetMember(self.AsObject(), "p", Arg(args, 0));
        return Value::Undef();
    };
    f.Call(Value::Obj(o), "addProperty",
           {f.S("p"), Value::Obj(f.rt().NewNative(getter)), Value::Obj(f.rt().NewNative(setter))});
    f.rt().SetMember(o, "p", f.S("x"));
    EXPECT_EQ(f.Str(f.rt().GetMember(o, "p")), "got:x");
    EXPECT_FALSE(f.rt().lastRunAborted());
}

TEST(ObjectBuiltins, VersionFlagsHideFromOlderMovies) {
    Fixture f(6);
    Object* o = f.rt().NewPlain();
    f.rt().SetMember(o, "p", f.S("v"));
    Args flags{Value::Obj(o), f.S("p"), f.N(0x1000)}; // from version 8 on
    f.rt().Call(f.Global("ASSetPropFlags"), Value::Undef(), flags);
    EXPECT_TRUE(f.rt().GetMember(o, "p").IsUndefined());
    EXPECT_EQ(f.Str(f.Call(Value::Obj(o), "hasOwnProperty", {f.S("p")})), "true");
    f.rt().SetMember(o, "p", f.S("w"));
    EXPECT_EQ(f.Str(f.rt().GetMember(o, "p")), "w");
}

TEST(GeomClasses, ColorTransformAndPoint) {
    Fixture f;
    Value geom = f.rt().GetMember(f.Global("flash"), "geom");
    auto make = [&](const char* cls, Args args) {
        return f.rt().Construct(f.rt().GetMember(geom, cls), args);
    };
    Value ct =
        make("ColorTransform", {f.N(1), f.N(1), f.N(1), f.N(1), f.N(300), f.N(25), f.N(0), f.N(0)});
    EXPECT_EQ(f.Str(f.rt().GetMember(ct, "rgb")), "2889984"); // red offset 300 wraps to 0x2C
    f.rt().SetMember(ct.AsObject(), "rgb", f.N(0x203040));
    EXPECT_EQ(f.Str(ct), "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, "
                         "alphaMultiplier=1, redOffset=32, greenOffset=48, blueOffset=64, "
                         "alphaOffset=0)");
    Value half = make("ColorTransform",
                      {f.N(0.5), f.N(0.5), f.N(0.5), f.N(0.5), f.N(10), f.N(20), f.N(30), f.N(40)});
    Value other = make("ColorTransform", {f.N(0.5), f.N(0.5), f.N(0.5), f.N(0.5), f.N(50), f.N(60),
                                          f.N(70), f.N(80)});
    f.Call(half, "concat", {other});
    EXPECT_EQ(f.Str(f.rt().GetMember(half, "redOffset")), "35");
    EXPECT_EQ(f.Str(f.rt().GetMember(half, "alphaMultiplier")), "0.25");
    f.Call(half, "concat", {f.N(3)}); // not a transform: nothing changes
    EXPECT_EQ(f.Str(f.rt().GetMember(half, "redOffset")), "35");

    Value p = make("Point", {f.N(-200), f.N(100)});
    f.Call(p, "normalize", {f.N(10)});
    EXPECT_EQ(f.Str(p), "(x=-8.94427190999916, y=4.47213595499958)");
    Value odd = make("Point", {f.N(std::nan("")), f.N(100)});
    f.Call(odd, "normalize", {f.N(1)}); // no positive length: unchanged
    EXPECT_EQ(f.Str(odd), "(x=NaN, y=100)");
    Value point = f.rt().GetMember(geom, "Point");
    EXPECT_TRUE(f.Call(point, "distance", {Value::Obj(f.rt().NewPlain()), p}).IsUndefined());
    EXPECT_EQ(f.Str(f.Call(point, "distance",
                           {make("Point", {f.N(3), f.N(0)}), make("Point", {f.N(0), f.N(4)})})),
              "5");
}

TEST(ContextMenuClasses, CopiesDoNotShareItems) {
    Fixture f;
    Args none;
    Value menu = f.rt().Construct(f.Global("ContextMenu"), none);
    Args itemArgs{f.S("About")};
    Value item = f.rt().Construct(f.Global("ContextMenuItem"), itemArgs);
    f.Call(f.rt().GetMember(menu, "customItems"), "push", {item});
    f.Call(menu, "hideBuiltInItems");
    Value copy = f.Call(menu, "copy");
    EXPECT_EQ(f.Str(f.rt().GetMember(f.rt().GetMember(copy, "builtInItems"), "play")), "false");
    Value copiedItem = f.rt().GetMember(f.rt().GetMember(copy, "customItems"), "0");
    EXPECT_NE(copiedItem.AsObject(), item.AsObject());
    EXPECT_EQ(f.Str(f.rt().GetMember(copiedItem, "caption")), "About");
    EXPECT_EQ(f.Str(f.rt().GetMember(copiedItem, "enabled")), "true");
    f.rt().SetMember(f.rt().GetMember(copy, "builtInItems").AsObject(), "zoom", Value::Bool(true));
    EXPECT_EQ(f.Str(f.rt().GetMember(f.rt().GetMember(menu, "builtInItems"), "zoom")), "false");
}

TEST(SoundClass, SilentStateReadsBack) {
    Fixture f;
    Args none;
    Value s = f.rt().Construct(f.Global("Sound"), none);
    EXPECT_EQ(f.Str(f.Call(s, "getVolume")), "100");
    f.Call(s, "setVolume", {f.N(50.5)});
    EXPECT_EQ(f.Str(f.Call(s, "getVolume")), "50");
    f.Call(s, "setPan", {f.N(-25)});
    EXPECT_EQ(f.Str(f.Call(s, "getPan")), "-25");
    Object* t = f.rt().NewPlain();
    t->Put("ll", f.N(10));
    f.Call(s, "setTransform", {Value::Obj(t)});
    EXPECT_EQ(f.Str(f.Call(s, "getPan")), "90");
    Value back = f.Call(s, "getTransform");
    EXPECT_EQ(f.Str(f.rt().GetMember(back, "rr")), "75"); // untouched by the partial transform
    // A plain object borrowing the method has no sound.
    Args self{Value::Obj(f.rt().NewPlain())};
    Value getVolume = f.rt().GetMember(s, "getVolume");
    EXPECT_TRUE(f.Call(getVolume, "call", self).IsUndefined());
    // Version 5 movies do not see the later methods.
    Fixture v5(5);
    Value old = v5.rt().Construct(v5.Global("Sound"), none);
    EXPECT_TRUE(v5.rt().GetMember(old, "getDuration").IsUndefined());
    EXPECT_FALSE(v5.rt().GetMember(old, "start").IsUndefined());
}

TEST(FunctionBuiltins, CalledAsAFunction) {
    Fixture f;
    Args one{Value::Bool(true)};
    EXPECT_EQ(f.Str(f.rt().Call(f.Global("Function"), Value::Undef(), one)), "true");
    Args none;
    Value bare = f.rt().Call(f.Global("Function"), Value::Undef(), none);
    ASSERT_TRUE(bare.IsObject());
    EXPECT_EQ(bare.AsObject()->proto, nullptr);
    EXPECT_TRUE(f.rt().Call(f.Global("Boolean"), Value::Undef(), none).IsUndefined());
    EXPECT_EQ(f.Str(f.rt().Call(f.Global("isNaN"), Value::Undef(), none)), "true");
}
