// NetConnection: remoting calls are written as the player writes them
// (an AMF0 request) and handed to the host, which may log them; nothing is
// ever sent and no answer comes back. A null connection (the local
// "connection" used for progressive streams) connects at once.
#include "avm1/uAmf0.h"
#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// State in extra: the url (undefined when none), connected, calls made.
enum NcSlot : size_t { kUrl, kConnected, kCalls, kNcSlots };

Object* StateOf(const Value& thisv) {
    Object* o = thisv.AsObject();
    if (o && o->extra.empty() && o->kind == ObjKind::Plain)
        o->extra = {Value::Undef(), Value::Bool(false), Value::Num(0)};
    return o && o->extra.size() == kNcSlots ? o : nullptr;
}

// Natives keep the alias store in extra[0].
Object* AliasStore(Object* self) {
    return self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
}

void Status(Runtime& rt, Object* nc, const char* code) {
    Object* info = rt.NewPlain();
    info->Put("level", Value::Str("status"));
    info->Put("code", Value::Str(code));
    rt.CallObjectMethod(nc, "onStatus", {Value::Obj(info)});
}

Value NcCtor(Runtime&, Object*, const Value& thisv, Args&) {
    StateOf(thisv);
    return Value::Undef();
}

bool Open(Object* nc) {
    return nc->extra[kConnected].AsBool() || nc->extra[kUrl].IsString();
}

Value Close(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* nc = StateOf(thisv);
    if (!nc || !Open(nc))
        return Value::Undef();
    nc->extra[kUrl] = Value::Undef();
    nc->extra[kConnected] = Value::Bool(false);
    Status(rt, nc, "NetConnection.Connect.Closed");
    return Value::Undef();
}

Value Connect(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* nc = StateOf(thisv);
    if (!nc)
        return Value::Bool(false);
    if (Open(nc))
        Close(rt, self, thisv, args);
    const Value& url = Arg(args, 0);
    if (url.IsNullish()) {
        nc->extra[kConnected] = Value::Bool(true);
        Status(rt, nc, "NetConnection.Connect.Success");
        return Value::Bool(true);
    }
    // A remoting gateway: calls are made per request, nothing opens now.
    nc->extra[kUrl] = Value::Str(rt.ToString(url));
    return Value::Bool(true);
}

Value Call(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* nc = StateOf(thisv);
    if (!nc || !nc->extra[kUrl].IsString() || args.empty())
        return Value::Undef();
    const std::string method = rt.ToString(args[0]);
    std::string response = "null";
    if (Arg(args, 1).IsObject()) {
        const double n = nc->extra[kCalls].AsNumber() + 1;
        nc->extra[kCalls] = Value::Num(n);
        response = "/" + rt.ToString(Value::Num(n));
    }
    Object* store = AliasStore(self);
    ClassAliases aliases(store);
    Amf0Writer body(rt, store ? &aliases : nullptr);
    body.WriteArguments(
        std::vector<Value>(args.begin() + std::min<size_t>(2, args.size()), args.end()));
    Amf0Writer req(rt, nullptr);
    req.U16(0); // version
    req.U16(0); // headers
    req.U16(1); // messages
    req.ShortString(method);
    req.ShortString(response);
    req.U32(static_cast<uint32_t>(body.Bytes().size()));
    if (body.Overflowed())
        return Value::Undef(); // too large to write: the call is dropped
    std::vector<uint8_t> bytes = req.Bytes();
    bytes.insert(bytes.end(), body.Bytes().begin(), body.Bytes().end());
    rt.host().SendRequest(rt.ToString(nc->extra[kUrl]), "POST", "application/x-amf", bytes);
    return Value::Undef();
}

Value IsConnected(Runtime&, Object*, const Value& thisv, Args&) {
    Object* nc = StateOf(thisv);
    return Value::Bool(nc && nc->extra[kConnected].AsBool());
}

Value Uri(Runtime&, Object*, const Value& thisv, Args&) {
    Object* nc = StateOf(thisv);
    if (!nc)
        return Value::Undef();
    return nc->extra[kConnected].AsBool() ? Value::Str("null") : nc->extra[kUrl];
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

// Object.registerClass as before, and the alias remembered for the wire.
Value RegisterClassAlias(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    if (!self || self->extra.size() < 2)
        return Value::Undef();
    const std::string name = rt.ToString(Arg(args, 0));
    Args a{Value::Str(name), Arg(args, 1)};
    Value r = rt.Call(self->extra[0], thisv, a);
    if (Object* store = self->extra[1].AsObject())
        ClassAliases(store).Register(name, Arg(args, 1).AsObject(), rt.caseSensitive());
    return r;
}

} // namespace

void InstallNetConnection(Runtime& rt) {
    Object* store = rt.NewPlain();
    if (Object* reg = rt.GetMember(rt.objectCtor, "registerClass").AsObject()) {
        Object* wrap = Def(rt, rt.objectCtor, "registerClass", RegisterClassAlias);
        wrap->extra = {Value::Obj(reg), Value::Obj(store)};
    }
    Object* proto = rt.NewPlain();
    DefClass(rt, "NetConnection", NcCtor, NcCtor, proto);
    Def(rt, proto, "connect", Connect);
    Def(rt, proto, "close", Close);
    Def(rt, proto, "call", Call)->extra.push_back(Value::Obj(store));
    Def(rt, proto, "addHeader", Noop);
    Property& c = proto->Put("isConnected", Value::Undef(), kDontEnum);
    c.getter = rt.NewNative(IsConnected);
    Property& u = proto->Put("uri", Value::Undef(), kDontEnum);
    u.getter = rt.NewNative(Uri);
}

} // namespace zembra::avm1
