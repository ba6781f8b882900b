// LoadVars: variables to and from url-encoded text. Nothing is fetched
// here: load and sendAndLoad only start the request's counters.
#include "avm1/uBuiltinUtil.h"
#include "text/uHexDigit.h"

namespace zembra::avm1 {

namespace {

Value Escape(Runtime& rt, const std::string& s) {
    Args a{Value::Str(s)};
    return rt.CallMethod(Value::Obj(rt.global), "escape", a);
}

// The player's unescape: %XX pairs and '+' for a space.
std::string Unescape(const std::string& s) {
    auto hex = text::HexDigit;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return out;
}

Value LvCtor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}

// name=value pairs of the enumerable properties, in for..in order.
Value LvToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    std::string out;
    for (auto& name : rt.EnumerableNames(o)) {
        Value v = rt.GetMember(o, name);
        if (v.AsObject() && v.AsObject()->IsFunction())
            continue;
        if (!out.empty())
            out += '&';
        out += rt.ToString(Escape(rt, name)) + '=' + rt.ToString(Escape(rt, rt.ToString(v)));
        rt.CheckString(out);
    }
    return Value::Str(out);
}

Value LvDecode(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || args.empty())
        return Value::Undef();
    std::string s = rt.ToString(args[0]);
    size_t i = 0;
    while (i < s.size()) {
        rt.Charge();
        size_t amp = s.find('&', i);
        if (amp == std::string::npos)
            amp = s.size();
        std::string pair = s.substr(i, amp - i);
        size_t eq = pair.find('=');
        if (eq != std::string::npos && eq > 0)
            rt.SetMember(o, Unescape(pair.substr(0, eq)),
                         Value::Str(Unescape(pair.substr(eq + 1))));
        i = amp + 1;
    }
    return Value::Undef();
}

void StartRequest(Runtime& rt, Object* target) {
    rt.SetMember(target, "loaded", Value::Bool(false));
    rt.SetMember(target, "_bytesLoaded", Value::Num(0));
}

Value LvLoad(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || args.empty() || args[0].IsNullish())
        return Value::Bool(false);
    StartRequest(rt, o);
    return Value::Bool(true);
}

Value LvSendAndLoad(Runtime& rt, Object*, const Value&, Args& args) {
    Object* target = Arg(args, 1).AsObject();
    if (args.empty() || Arg(args, 0).IsNullish() || !target)
        return Value::Bool(false);
    StartRequest(rt, target);
    return Value::Bool(true);
}

Value LvSend(Runtime&, Object*, const Value&, Args& args) {
    return Value::Bool(!args.empty() && !args[0].IsNullish());
}

Value LvGetBytesLoaded(Runtime& rt, Object*, const Value& thisv, Args&) {
    return rt.GetMember(thisv, "_bytesLoaded");
}

Value LvGetBytesTotal(Runtime& rt, Object*, const Value& thisv, Args&) {
    return rt.GetMember(thisv, "_bytesTotal");
}

// The default onData: decode what arrived, then tell onLoad.
Value LvOnData(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    Args result{Value::Bool(false)};
    if (!Arg(args, 0).IsUndefined()) {
        Args text{args[0]};
        rt.CallMethod(thisv, "decode", text);
        rt.SetMember(o, "loaded", Value::Bool(true));
        result[0] = Value::Bool(true);
    }
    rt.CallMethod(thisv, "onLoad", result);
    return Value::Undef();
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

} // namespace

void InstallLoadVars(Runtime& rt) {
    Object* proto = rt.NewPlain();
    DefClass(rt, "LoadVars", LvCtor, LvCtor, proto);
    Def(rt, proto, "toString", LvToString);
    Def(rt, proto, "decode", LvDecode);
    Def(rt, proto, "load", LvLoad);
    Def(rt, proto, "send", LvSend);
    Def(rt, proto, "sendAndLoad", LvSendAndLoad);
    Def(rt, proto, "getBytesLoaded", LvGetBytesLoaded);
    Def(rt, proto, "getBytesTotal", LvGetBytesTotal);
    Def(rt, proto, "addRequestHeader", Noop);
    Def(rt, proto, "onData", LvOnData);
    Def(rt, proto, "onLoad", Noop);
    proto->Put("contentType", Value::Str("application/x-www-form-urlencoded"), kDontEnum);
}

} // namespace zembra::avm1
