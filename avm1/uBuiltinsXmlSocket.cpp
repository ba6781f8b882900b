// XMLSocket: the saver opens no connections. connect() names the host it
// would reach (a missing host means the movie's own, "localhost" for a
// local file) and tells the host engine, which may log it; the attempt
// then fails when the frame's timers run: onConnect(false). send and
// close on a socket that never connected do nothing.
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

Value SocketCtor(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

// Runs from the timers: the connection attempt failed.
Value ConnectFailed(Runtime& rt, Object* self, const Value&, Args&) {
    if (!self || self->extra.empty())
        return Value::Undef();
    Args a{Value::Bool(false)};
    rt.CallMethod(self->extra[0], "onConnect", a);
    return Value::Undef();
}

Value Connect(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (!thisv.IsObject())
        return Value::Bool(false);
    const Value& hostArg = Arg(args, 0);
    const std::string host = hostArg.IsNullish() ? "localhost" : rt.ToString(hostArg);
    const double p = rt.ToNumber(Arg(args, 1));
    const int port = std::isfinite(p) && p >= 0 && p <= 65535 ? static_cast<int>(p) : 0;
    rt.host().ConnectSocket(host, port);
    Object* fail = rt.NewNative(ConnectFailed);
    fail->extra.push_back(thisv);
    rt.timers.push_back(Runtime::Timer{
        rt.nextTimerId++, Value::Obj(fail), std::string(), {}, 0, rt.host().TimeMs(), false});
    return Value::Bool(true);
}

// The player's default: data is read as XML and handed to onXML.
Value OnData(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Value xmlCtor = rt.GetMember(rt.global, "XML");
    Args a{Arg(args, 0)};
    Value doc = rt.Construct(xmlCtor, a);
    Args b{doc};
    Value fn = rt.GetMember(thisv, "onXML");
    if (fn.AsObject() && fn.AsObject()->IsFunction())
        rt.Call(fn, thisv, b);
    return Value::Undef();
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

} // namespace

void InstallXmlSocket(Runtime& rt) {
    Object* proto = rt.NewPlain();
    DefClass(rt, "XMLSocket", SocketCtor, SocketCtor, proto);
    Def(rt, proto, "connect", Connect);
    Def(rt, proto, "send", Noop);
    Def(rt, proto, "close", Noop);
    Def(rt, proto, "onData", OnData);
}

} // namespace zembra::avm1
