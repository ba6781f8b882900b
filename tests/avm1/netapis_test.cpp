// The built-ins that talk to the outside world: AMF0 as remoting requests
// carry it, requests that are only ever handed to the host, shared objects
// kept in memory, the local sandbox, and the helpers that work without a
// container.
#include <gtest/gtest.h>

#include "avm1/uAmf0.h"
#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

struct NetHost : FakeHost {
    struct Request {
        std::string url, method, mime;
        std::vector<uint8_t> body;
    };
    std::vector<Request> requests;
    std::vector<std::string> sockets;
    bool network = false;
    void ConnectSocket(const std::string& host, int port) override {
        sockets.push_back(host + ":" + std::to_string(port));
    }
    void SendRequest(const std::string& url, const std::string& method, const std::string& mime,
                     const std::vector<uint8_t>& body) override {
        requests.push_back({url, method, mime, body});
    }
    bool LocalWithNetwork() override { return network; }
};

struct Net {
    explicit Net(int version = 8, bool network = false)
        : rt((host.network = network, host), version) {}
    NetHost host;
    Runtime rt;
    Value Global(const char* name) { return rt.GetMember(rt.global, name); }
    Value New(const char* cls, Args args = {}) { return rt.Construct(Global(cls), args); }
    Value Call(const Value& target, const char* method, Args args = {}) {
        return rt.CallMethod(target, method, args);
    }
    Object* Plain() { return rt.NewPlain(); }
    std::vector<uint8_t> Amf(const Value& v, Object* aliasStore = nullptr) {
        ClassAliases aliases(aliasStore);
        Amf0Writer w(rt, aliasStore ? &aliases : nullptr);
        w.WriteValue(v);
        return w.Bytes();
    }
};

using B = std::vector<uint8_t>;

B Str(const std::string& s) {
    B out{0x02, static_cast<uint8_t>(s.size() >> 8), static_cast<uint8_t>(s.size())};
    out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(s.size()));
    return out;
}
B Name(const std::string& s) {
    B out = Str(s);
    out.erase(out.begin());
    return out;
}
B Cat(std::initializer_list<B> parts) {
    B out;
    for (const B& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
const B kEnd{0x00, 0x00, 0x09};

} // namespace

TEST(Amf0Writer, Primitives) {
    Net n;
    EXPECT_EQ(n.Amf(Value::Num(1)), (B{0x00, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(n.Amf(Value::Bool(true)), (B{0x01, 0x01}));
    EXPECT_EQ(n.Amf(Value::Null()), (B{0x05}));
    EXPECT_EQ(n.Amf(Value::Undef()), (B{0x06}));
    EXPECT_EQ(n.Amf(Value::Str("hi")), Str("hi"));
    // Past a short string's reach the long form carries a 32-bit length.
    B longText = n.Amf(Value::Str(std::string(70000, 'x')));
    ASSERT_EQ(longText.size(), 5u + 70000u);
    EXPECT_EQ(longText[0], 0x0C);
    EXPECT_EQ(longText[2], 0x01);
}

TEST(Amf0Writer, ObjectsKeepStoredValuesWithoutRunningScript) {
    Net n;
    Object* o = n.Plain();
    n.rt.SetMember(o, "b", Value::Str("x"));
    n.rt.SetMember(o, "a", Value::Num(0));
    // Functions have no wire form and are left out.
    n.rt.SetMember(o, "f", n.Global("Object"));
    // A getter would run script: its slot is written as undefined instead.
    Object* getter = n.rt.GetMember(n.rt.global, "trace").AsObject();
    Property& p = o->Put("g", Value::Undef());
    p.getter = getter;
    o->Put("hidden", Value::Num(3), kDontEnum);
    EXPECT_EQ(n.Amf(Value::Obj(o)), Cat({{0x03},
                                         Name("b"),
                                         Str("x"),
                                         Name("a"),
                                         {0x00, 0, 0, 0, 0, 0, 0, 0, 0},
                                         Name("g"),
                                         {0x06},
                                         kEnd}));
    EXPECT_TRUE(n.host.traces.empty());
}

TEST(Amf0Writer, CyclesBecomeReferencesAndDepthIsBounded) {
    Net n;
    Object* o = n.Plain();
    n.rt.SetMember(o, "self", Value::Obj(o));
    EXPECT_EQ(n.Amf(Value::Obj(o)), Cat({{0x03}, Name("self"), {0x07, 0x00, 0x00}, kEnd}));

    // A chain deeper than the writer follows ends in undefined, not in a
    // stack overflow.
    Object* head = n.Plain();
    Object* cur = head;
    for (int i = 0; i < 1000; ++i) {
        Object* next = n.Plain();
        n.rt.SetMember(cur, "n", Value::Obj(next));
        cur = next;
    }
    B bytes = n.Amf(Value::Obj(head));
    EXPECT_LT(bytes.size(), 1000u * 8);
    EXPECT_EQ(bytes.back(), 0x09);
}

TEST(Amf0Writer, ArraysStrictOrWithNames) {
    Net n;
    Object* dense = n.rt.MakeArray({Value::Str("a")});
    n.rt.SetMember(dense, "3", Value::Num(1)); // holes are undefined
    EXPECT_EQ(
        n.Amf(Value::Obj(dense)),
        Cat({{0x0A, 0, 0, 0, 4}, Str("a"), {0x06, 0x06}, {0x00, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}}));
    Object* named = n.rt.MakeArray({Value::Str("a")});
    n.rt.SetMember(named, "k", Value::Str("v"));
    EXPECT_EQ(n.Amf(Value::Obj(named)),
              Cat({{0x08, 0, 0, 0, 1}, Name("0"), Str("a"), Name("k"), Str("v"), kEnd}));
}

TEST(Amf0Writer, RegisteredClassesAreTypedByTheirLastAlias) {
    for (int version : {6, 8}) {
        Net n(version);
        Value ctor = Value::Obj(n.rt.NewFunctionObject());
        Value other = Value::Obj(n.rt.NewFunctionObject());
        Value objectCtor = n.Global("Object");
        n.Call(objectCtor, "registerClass", {Value::Str("First"), ctor});
        n.Call(objectCtor, "registerClass", {Value::Str("Second"), ctor});
        n.Call(objectCtor, "registerClass", {Value::Str("shared"), other});
        n.Call(objectCtor, "registerClass", {Value::Str("SHARED"), ctor});
        Args none;
        Value inst = n.rt.Construct(ctor, none);
        Value otherInst = n.rt.Construct(other, none);
        Object* store = n.rt.GetMember(objectCtor, "registerClass").AsObject()->extra[1].AsObject();
        // The most recent alias wins; before version 7 an alias differing
        // only in case replaces the earlier one.
        EXPECT_EQ(n.Amf(inst, store), Cat({{0x10}, Name("SHARED"), kEnd})) << version;
        EXPECT_EQ(n.Amf(otherInst, store),
                  version < 7 ? Cat({{0x03}, kEnd}) : Cat({{0x10}, Name("shared"), kEnd}))
            << version;
    }
}

TEST(NetConnection, CallsAreHandedToTheHostOnlyWhenAGatewayIsSet) {
    Net n;
    Value nc = n.New("NetConnection");
    n.Call(nc, "call", {Value::Str("m"), Value::Null()});
    EXPECT_TRUE(n.host.requests.empty()); // not connected: nothing at all

    n.Call(nc, "connect", {Value::Str("http://example.org/gw")});
    n.Call(nc, "call", {Value::Str("svc.m"), Value::Obj(n.Plain()), Value::Bool(true)});
    ASSERT_EQ(n.host.requests.size(), 1u);
    const auto& r = n.host.requests[0];
    EXPECT_EQ(r.url, "http://example.org/gw");
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.mime, "application/x-amf");
    EXPECT_EQ(r.body, Cat({{0, 0, 0, 0, 0, 1},
                           Name("svc.m"),
                           Name("/1"),
                           {0, 0, 0, 7},
                           {0x0A, 0, 0, 0, 1, 0x01, 0x01}}));

    // A null connection connects at once and sends nothing.
    n.Call(nc, "connect", {Value::Null()});
    EXPECT_TRUE(n.rt.ToBoolean(n.rt.GetMember(nc, "isConnected")));
    n.Call(nc, "call", {Value::Str("m"), Value::Null()});
    EXPECT_EQ(n.host.requests.size(), 1u);
}

TEST(SharedObject, KeptInMemoryPerNameAndPath) {
    Net n;
    Value so = n.Global("SharedObject");
    Value a = n.Call(so, "getLocal", {Value::Str("prefs")});
    Value again = n.Call(so, "getLocal", {Value::Str("prefs")});
    Value other = n.Call(so, "getLocal", {Value::Str("prefs"), Value::Str("/x")});
    ASSERT_TRUE(a.IsObject());
    EXPECT_EQ(a.AsObject(), again.AsObject());
    EXPECT_NE(a.AsObject(), other.AsObject());
    n.rt.SetMember(n.rt.GetMember(a, "data").AsObject(), "score", Value::Num(7));
    EXPECT_TRUE(n.Call(a, "flush").AsBool());
    EXPECT_EQ(n.rt.ToNumber(n.rt.GetMember(n.rt.GetMember(again, "data"), "score")), 7);
    for (const char* bad : {"", "a b", "a:b", "x?y"})
        EXPECT_TRUE(n.Call(so, "getLocal", {Value::Str(bad)}).IsNull()) << bad;
    // Names are exact even where script names fold case.
    Net v6(6);
    Value so6 = v6.Global("SharedObject");
    Value upper = v6.Call(so6, "getLocal", {Value::Str("Prefs")});
    Value lower = v6.Call(so6, "getLocal", {Value::Str("prefs")});
    EXPECT_NE(upper.AsObject(), lower.AsObject());
    EXPECT_EQ(v6.Call(so6, "getLocal", {Value::Str("Prefs")}).AsObject(), upper.AsObject());
    // The table of open objects is bounded.
    int made = 0;
    for (int i = 0; i < 1100; ++i)
        made += n.Call(so, "getLocal", {Value::Str("n" + std::to_string(i))}).IsObject();
    EXPECT_LT(made, 1100);
}

TEST(Sandbox, LocalSandboxFollowsTheFileAndCannotBeChanged) {
    for (bool network : {false, true}) {
        Net n(8, network);
        Object* sec = n.rt.GetMember(n.Global("System"), "security").AsObject();
        const char* want = network ? "localWithNetwork" : "localWithFile";
        EXPECT_EQ(n.rt.ToString(n.rt.GetMember(sec, "sandboxType")), want);
        n.rt.SetMember(sec, "sandboxType", Value::Str("remote"));
        EXPECT_EQ(n.rt.ToString(n.rt.GetMember(sec, "sandboxType")), want);
    }
}

TEST(OutsideWorld, NothingAnswersAsIfItWereThere) {
    Net n;
    Value ei = n.rt.GetMember(n.rt.GetMember(n.Global("flash"), "external"), "ExternalInterface");
    EXPECT_FALSE(n.rt.ToBoolean(n.rt.GetMember(ei, "available")));
    EXPECT_TRUE(n.Call(ei, "call", {Value::Str("alert")}).IsNull());
    EXPECT_FALSE(
        n.Call(ei, "addCallback", {Value::Str("f"), Value::Null(), Value::Null()}).AsBool());
    Value job = n.New("PrintJob");
    EXPECT_FALSE(n.Call(job, "start").AsBool());
}

TEST(ExternalInterfaceHelpers, ValuesThatHoldThemselvesStop) {
    Net n;
    Value ei = n.rt.GetMember(n.rt.GetMember(n.Global("flash"), "external"), "ExternalInterface");
    Object* o = n.Plain();
    n.rt.SetMember(o, "self", Value::Obj(o));
    // The depth limit ends the walk: the call stops instead of crashing.
    EXPECT_FALSE(n.rt.CallObjectMethod(ei.AsObject(), "_toXML", {Value::Obj(o)}));
    EXPECT_EQ(n.rt.ToString(n.Call(ei, "_toXML", {Value::Str("<a&'\">")})),
              "<string>&lt;a&amp;&apos;&quot;&gt;</string>");
    // A huge length is a budget matter, not a hang.
    Object* fake = n.Plain();
    n.rt.SetMember(fake, "length", Value::Num(1e12));
    n.rt.limits.stepsPerEntry = 100000;
    EXPECT_FALSE(n.rt.CallObjectMethod(ei.AsObject(), "_arrayToXML", {Value::Obj(fake)}));
}

TEST(SoundOwner, FoundAgainByPathOnEachCall) {
    Net n;
    ClipId mc = n.host.AddClip(1, "mc");
    Value s = n.New("Sound", {Value::Obj(n.rt.ClipObject(mc))});
    Value t = n.New("Sound", {Value::Str("mc")}); // a path names the same clip
    n.Call(s, "setVolume", {Value::Num(40)});
    EXPECT_EQ(n.rt.ToNumber(n.Call(t, "getVolume")), 40);
    n.host.clips[mc].name = "renamed";
    EXPECT_TRUE(n.Call(s, "getVolume").IsUndefined());
    n.Call(s, "setVolume", {Value::Num(5)}); // out of reach: dropped
    n.host.clips[mc].name = "mc";
    EXPECT_EQ(n.rt.ToNumber(n.Call(s, "getVolume")), 40);
}

namespace {

// Handlers that trace their own name and their first argument.
Value Record(Runtime& rt, Object* self, const Value&, Args& args) {
    rt.host().Trace(rt.ToString(self->extra[0]) + " " + rt.ToString(Arg(args, 0)));
    return Value::Undef();
}

Object* Listener(Net& n, std::initializer_list<const char*> events) {
    Object* l = n.Plain();
    for (const char* e : events) {
        Object* f = n.rt.NewNative(Record);
        f->extra.push_back(Value::Str(e));
        n.rt.SetMember(l, e, Value::Obj(f));
    }
    return l;
}

Object* Filter(Net& n, const char* description, const char* extension) {
    Object* f = n.Plain();
    if (description)
        n.rt.SetMember(f, "description", Value::Str(description));
    if (extension)
        n.rt.SetMember(f, "extension", Value::Str(extension));
    return f;
}

} // namespace

TEST(FileDialogs, FiltersCheckedOneDialogAtATimeAndItIsCancelled) {
    Net n;
    Value net = n.rt.GetMember(n.Global("flash"), "net");
    Args none;
    Value list = n.rt.Construct(n.rt.GetMember(net, "FileReferenceList"), none);
    Value file = n.rt.Construct(n.rt.GetMember(net, "FileReference"), none);
    n.Call(file, "addListener", {Value::Obj(Listener(n, {"onCancel", "onSelect"}))});
    auto browse = [&](const Value& target, Args args) {
        return n.rt.ToBoolean(n.Call(target, "browse", args));
    };
    auto filters = [&](std::vector<Value> v) { return Value::Obj(n.rt.MakeArray(v)); };
    EXPECT_FALSE(browse(list, {filters({})}));
    EXPECT_FALSE(browse(list, {Value::Str("*.txt")}));
    EXPECT_FALSE(browse(list, {filters({Value::Str("not a filter")})}));
    EXPECT_FALSE(browse(list, {filters({Value::Obj(Filter(n, "Text", nullptr))})}));
    EXPECT_FALSE(browse(list, {filters({Value::Obj(Filter(n, "", "*.txt"))})}));
    // Fields only inherited do not count.
    Object* inherits = n.rt.NewObject(Filter(n, "Text", "*.txt"));
    EXPECT_FALSE(browse(list, {filters({Value::Obj(inherits)})}));

    EXPECT_TRUE(browse(file, {filters({Value::Obj(Filter(n, "Text", "*.txt"))})}));
    EXPECT_FALSE(browse(list, {})); // the dialog is still open
    EXPECT_FALSE(n.rt.ToBoolean(n.Call(file, "upload", {Value::Str("http://example.org/")})));
    n.rt.Tick();
    EXPECT_EQ(n.host.traces, (std::vector<std::string>{"onCancel " + n.rt.ToString(file)}));
    EXPECT_TRUE(browse(list, {})); // closed: another may open
    EXPECT_TRUE(n.host.requests.empty());
}

TEST(XmlSocket, ConnectionsAreOnlyToldAndThenFail) {
    Net n;
    Value socket = n.New("XMLSocket");
    n.rt.SetMember(socket.AsObject(), "onConnect",
                   Value::Obj(Listener(n, {"onConnect"})->Find("onConnect")->value.AsObject()));
    EXPECT_TRUE(n.Call(socket, "connect", {Value::Null(), Value::Num(1024)}).AsBool());
    n.Call(socket, "connect", {Value::Str("example.com"), Value::Num(1e9)});
    EXPECT_EQ(n.host.sockets, (std::vector<std::string>{"localhost:1024", "example.com:0"}));
    n.Call(socket, "send", {Value::Str("hello")});
    n.rt.Tick();
    EXPECT_EQ(n.host.traces, (std::vector<std::string>{"onConnect false", "onConnect false"}));
}
