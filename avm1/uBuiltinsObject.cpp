// Object, Function, Error, ASBroadcaster and the global functions.
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

Value ObjectCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    const Value& a = Arg(args, 0);
    if (a.IsObject())
        return a;
    if (!a.IsNullish())
        return Value::Obj(rt.ToObject(a));
    if (rt.constructing && thisv.AsObject() == rt.constructing)
        return thisv;
    // Called as a function it makes an object that inherits nothing.
    return Value::Obj(rt.NewObject(nullptr));
}

Value ObjToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::Clip)
        return Value::Str(rt.ClipPath(o->clip, false));
    return Value::Str(o && o->IsFunction() ? "[type Function]" : "[object Object]");
}

Value ObjValueOf(Runtime&, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (o && (o->kind == ObjKind::Number || o->kind == ObjKind::String ||
              o->kind == ObjKind::Boolean || o->kind == ObjKind::Date))
        return o->primitive;
    return thisv;
}

Value HasOwn(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || args.empty())
        return Value::Bool(false);
    std::string name = rt.ToString(Arg(args, 0));
    if (name.empty())
        return Value::Bool(false);
    if (o->kind == ObjKind::Array && name == "length")
        return Value::Bool(true);
    if (name == "__proto__")
        return Value::Bool(o->proto != nullptr);
    return Value::Bool(o->Find(name) != nullptr);
}

Value IsPrototypeOf(Runtime&, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    Object* v = Arg(args, 0).AsObject();
    if (!o || !v)
        return Value::Bool(false);
    int d = 0;
    for (Object* p = v->proto; p && d < 256; p = p->proto, ++d)
        if (p == o)
            return Value::Bool(true);
    return Value::Bool(false);
}

Value PropIsEnumerable(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Bool(false);
    Property* p = o->Find(rt.ToString(Arg(args, 0)));
    return Value::Bool(p && !(p->flags & kDontEnum));
}

Value AddProperty(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    std::string name = rt.ToString(Arg(args, 0));
    Object* getter = Arg(args, 1).AsObject();
    Object* setter = Arg(args, 2).AsObject();
    if (!o || name.empty() || !getter || !getter->IsFunction())
        return Value::Bool(false);
    if (setter && !setter->IsFunction() && !Arg(args, 2).IsNull())
        return Value::Bool(false);
    Property* p = o->Find(name);
    if (!p)
        p = &o->Put(name, Value::Undef());
    p->value = Value::Undef();
    p->getter = getter;
    p->setter = (setter && setter->IsFunction()) ? setter : nullptr;
    return Value::Bool(true);
}

Value Watch(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    Object* cb = Arg(args, 1).AsObject();
    if (!o || !cb || !cb->IsFunction())
        return Value::Bool(false);
    o->watches[rt.ToString(Arg(args, 0))] = Object::Watch{cb, Arg(args, 2)};
    return Value::Bool(true);
}

Value Unwatch(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Bool(false);
    return Value::Bool(o->watches.erase(rt.ToString(Arg(args, 0))) > 0);
}

Value RegisterClass(Runtime& rt, Object*, const Value&, Args& args) {
    std::string name = rt.ToString(Arg(args, 0));
    Object* ctor = Arg(args, 1).AsObject();
    std::string key;
    for (char c : name)
        key += static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    if (ctor)
        rt.registeredClasses[key] = ctor;
    else
        rt.registeredClasses.erase(key);
    return Value::Bool(true);
}

// Function(x) gives its first argument back, whatever it is; there is no
// compiling of source text. Without one it makes an object that inherits
// nothing.
Value FunctionCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (!args.empty())
        return args[0];
    if (rt.constructing && thisv.AsObject() == rt.constructing)
        return thisv;
    return Value::Obj(rt.NewObject(nullptr));
}

Value FnCall(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Value self = Arg(args, 0);
    Args rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    if (self.IsNullish())
        self = Value::Obj(rt.ClipObject(rt.host().Root()));
    return rt.Call(thisv, self, rest);
}

Value FnApply(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Value self = Arg(args, 0);
    Args list;
    if (Object* a = Arg(args, 1).AsObject())
        list = rt.ArrayValues(a);
    if (self.IsNullish())
        self = Value::Obj(rt.ClipObject(rt.host().Root()));
    return rt.Call(thisv, self, list);
}

Value FnToString(Runtime&, Object*, const Value&, Args&) {
    return Value::Str("[type Function]");
}

Value ErrorCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o != rt.constructing)
        o = rt.NewObject(rt.errorProto);
    o->kind = ObjKind::Error;
    if (!Arg(args, 0).IsUndefined())
        o->Put("message", Arg(args, 0));
    return Value::Obj(o);
}

Value ErrorToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Str(rt.ToString(rt.GetMember(thisv, "message")));
}

// ---- global functions

Value Trace(Runtime& rt, Object*, const Value&, Args& args) {
    const Value& v = Arg(args, 0);
    rt.host().Trace(v.IsUndefined() ? "undefined" : rt.ToString(v));
    return Value::Undef();
}

Value IsNaN(Runtime& rt, Object*, const Value&, Args& args) {
    if (args.empty())
        return Value::Bool(true); // nothing given is not a number in any version
    return Value::Bool(std::isnan(rt.ToNumber(Arg(args, 0))));
}

Value IsFinite(Runtime& rt, Object*, const Value&, Args& args) {
    if (args.empty())
        return Value::Bool(false);
    return Value::Bool(std::isfinite(rt.ToNumber(Arg(args, 0))));
}

Value ParseInt(Runtime& rt, Object*, const Value&, Args& args) {
    int radix = 0;
    if (args.size() > 1) {
        double r = rt.ToNumber(args[1]);
        radix = std::isnan(r) ? 0 : static_cast<int>(r);
        if (radix != 0 && (radix < 2 || radix > 36))
            return Value::Num(std::nan(""));
    }
    return Value::Num(ParseIntPrefix(rt.ToString(Arg(args, 0)), radix));
}

Value ParseFloat(Runtime& rt, Object*, const Value&, Args& args) {
    if (args.empty())
        return Value::Undef();
    return Value::Num(ParseFloatPrefix(rt.ToString(Arg(args, 0))));
}

Value Escape(Runtime& rt, Object*, const Value&, Args& args) {
    std::string s = rt.ToString(Arg(args, 0));
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    rt.CheckString(out);
    return Value::Str(out);
}

Value Unescape(Runtime& rt, Object*, const Value&, Args& args) {
    std::string s = rt.ToString(Arg(args, 0));
    std::string out;
    auto hv = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && hv(s[i + 1]) >= 0 && hv(s[i + 2]) >= 0) {
            out += static_cast<char>(hv(s[i + 1]) * 16 + hv(s[i + 2]));
            i += 2;
        } else if (s[i] == '+') {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return Value::Str(out);
}

Value GetTimer(Runtime& rt, Object*, const Value&, Args&) {
    return Value::Num(std::floor(rt.host().TimeMs()));
}

Value SetTimer(Runtime& rt, Object* self, const Value&, Args& args) {
    Runtime::Timer t;
    size_t i = 0;
    const Value& a0 = Arg(args, 0);
    if (a0.AsObject() && !a0.AsObject()->IsFunction() && args.size() >= 3) {
        t.fn = a0;
        t.method = rt.ToString(Arg(args, 1));
        i = 2;
    } else if (a0.AsObject() && a0.AsObject()->IsFunction()) {
        t.fn = a0;
        i = 1;
    } else {
        return Value::Undef();
    }
    double ms = rt.ToNumber(Arg(args, i));
    t.interval = std::isnan(ms) || ms < 0 ? 0 : ms;
    for (size_t k = i + 1; k < args.size(); ++k)
        t.args.push_back(args[k]);
    t.repeat = self->nativeTag == 0;
    t.id = rt.nextTimerId++;
    t.due = rt.host().TimeMs() + t.interval;
    if (rt.timers.size() >= 10000)
        return Value::Undef();
    rt.timers.push_back(t);
    return Value::Num(t.id);
}

Value ClearTimer(Runtime& rt, Object*, const Value&, Args& args) {
    double id = rt.ToNumber(Arg(args, 0));
    for (size_t i = 0; i < rt.timers.size(); ++i)
        if (rt.timers[i].id == id) {
            rt.timers.erase(rt.timers.begin() + static_cast<long>(i));
            break;
        }
    return Value::Undef();
}

Value SetPropFlags(Runtime& rt, Object*, const Value&, Args& args) {
    Object* o = Arg(args, 0).AsObject();
    if (!o)
        return Value::Undef();
    const Value& names = Arg(args, 1);
    const int known = kDontEnum | kDontDelete | kReadOnly | kVersionMask;
    int setBits = ToInt32(rt.ToNumber(Arg(args, 2))) & known;
    int clearBits = args.size() > 3 ? ToInt32(rt.ToNumber(args[3])) & known : 0;
    auto apply = [&](Property* p) {
        p->flags = static_cast<uint16_t>((p->flags & ~clearBits) | setBits);
    };
    if (names.IsNull() || names.IsUndefined()) {
        for (Property* p : o->OwnInOrder())
            apply(p);
        return Value::Undef();
    }
    std::vector<std::string> list;
    if (Object* a = names.AsObject()) {
        for (auto& v : rt.ArrayValues(a))
            list.push_back(rt.ToString(v));
    } else {
        std::string s = rt.ToString(names);
        size_t i = 0;
        while (i <= s.size()) {
            size_t j = s.find(',', i);
            if (j == std::string::npos)
                j = s.size();
            list.push_back(s.substr(i, j - i));
            i = j + 1;
        }
    }
    for (auto& n : list)
        if (Property* p = o->Find(n))
            apply(p);
    return Value::Undef();
}

// ---- ASBroadcaster

Value BcAddListener(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* list = rt.GetMember(thisv, "_listeners").AsObject();
    if (!list)
        return Value::Bool(false);
    const Value& l = Arg(args, 0);
    for (auto& v : rt.ArrayValues(list))
        if (v.AsObject() == l.AsObject() && v.type() == l.type())
            return Value::Bool(true);
    rt.ArrayPush(list, l);
    return Value::Bool(true);
}

Value BcRemoveListener(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* list = rt.GetMember(thisv, "_listeners").AsObject();
    if (!list)
        return Value::Bool(false);
    std::vector<Value> vals = rt.ArrayValues(list);
    for (size_t i = 0; i < vals.size(); ++i)
        if (rt.AbstractEquals(vals[i], Arg(args, 0))) {
            vals.erase(vals.begin() + static_cast<long>(i));
            rt.SetArrayLength(list, 0);
            for (auto& v : vals)
                rt.ArrayPush(list, v);
            return Value::Bool(true);
        }
    return Value::Bool(false);
}

Value BcBroadcast(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* list = rt.GetMember(thisv, "_listeners").AsObject();
    if (!list)
        return Value::Undef();
    std::string name = rt.ToString(Arg(args, 0));
    Args rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    std::vector<Value> vals = rt.ArrayValues(list);
    for (auto& v : vals) {
        Args a = rest;
        rt.CallMethod(v, name, a);
    }
    return Value::Bool(!vals.empty());
}

Value BcInitialize(Runtime& rt, Object*, const Value&, Args& args) {
    Object* o = Arg(args, 0).AsObject();
    if (!o)
        return Value::Undef();
    Object* bc = rt.GetMember(rt.global, "AsBroadcaster").AsObject();
    if (!bc)
        return Value::Undef();
    for (const char* n : {"broadcastMessage", "addListener", "removeListener"})
        o->Put(n, rt.GetMember(bc, n), kDontEnum);
    o->Put("_listeners", Value::Obj(rt.NewArray()), kDontEnum);
    return Value::Undef();
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

} // namespace

void InstallObjectAndFunction(Runtime& rt) {
    Object* op = rt.objectProto;
    rt.objectCtor = DefClass(rt, "Object", ObjectCtor, ObjectCtor, op);
    Def(rt, op, "toString", ObjToString);
    Def(rt, op, "toLocaleString", ObjToString);
    Def(rt, op, "valueOf", ObjValueOf);
    Def(rt, op, "hasOwnProperty", HasOwn);
    Def(rt, op, "isPrototypeOf", IsPrototypeOf);
    Def(rt, op, "isPropertyEnumerable", PropIsEnumerable);
    Def(rt, op, "addProperty", AddProperty);
    Def(rt, op, "watch", Watch);
    Def(rt, op, "unwatch", Unwatch);
    Def(rt, rt.objectCtor, "registerClass", RegisterClass);

    Object* fp = rt.functionProto;
    Object* fctor = DefClass(rt, "Function", FunctionCtor, FunctionCtor, fp);
    (void)fctor;
    Def(rt, fp, "call", FnCall);
    Def(rt, fp, "apply", FnApply);
    Def(rt, fp, "toString", FnToString);

    rt.errorProto = rt.NewPlain();
    DefClass(rt, "Error", ErrorCtor, ErrorCtor, rt.errorProto);
    rt.errorProto->Put("name", Value::Str("Error"), kDontEnum);
    rt.errorProto->Put("message", Value::Str("Error"), kDontEnum);
    Def(rt, rt.errorProto, "toString", ErrorToString);
}

void InstallGlobals(Runtime& rt) {
    Object* g = rt.global;
    Def(rt, g, "trace", Trace);
    Def(rt, g, "isNaN", IsNaN);
    Def(rt, g, "isFinite", IsFinite);
    Def(rt, g, "parseInt", ParseInt);
    Def(rt, g, "parseFloat", ParseFloat);
    Def(rt, g, "escape", Escape);
    Def(rt, g, "unescape", Unescape);
    Def(rt, g, "getTimer", GetTimer);
    Def(rt, g, "setInterval", SetTimer, 0);
    Def(rt, g, "setTimeout", SetTimer, 1);
    Def(rt, g, "clearInterval", ClearTimer);
    Def(rt, g, "clearTimeout", ClearTimer);
    Def(rt, g, "ASSetPropFlags", SetPropFlags);
    Def(rt, g, "updateAfterEvent", Noop);
    g->Put("NaN", Value::Num(std::nan("")), kDontEnum);
    g->Put("Infinity", Value::Num(HUGE_VAL), kDontEnum);

    Object* bc = rt.NewFunctionObject();
    bc->native = Noop;
    if (rt.version() <= 5)
        bc->Remove("prototype");
    g->Put("AsBroadcaster", Value::Obj(bc), kDontEnum);
    Def(rt, bc, "initialize", BcInitialize);
    Def(rt, bc, "addListener", BcAddListener);
    Def(rt, bc, "removeListener", BcRemoveListener);
    Def(rt, bc, "broadcastMessage", BcBroadcast);

    Object* sys = rt.NewPlain();
    g->Put("System", Value::Obj(sys), kDontEnum);
    Object* caps = rt.NewPlain();
    sys->Put("capabilities", Value::Obj(caps));
    caps->Put("version", Value::Str("WIN 8,0,0,0"));
    caps->Put("os", Value::Str("Windows"));
    caps->Put("playerType", Value::Str("StandAlone"));
    caps->Put("language", Value::Str("en"));
    // The engine does not know the screen; these are a common laptop's.
    caps->Put("screenResolutionX", Value::Num(1536));
    caps->Put("screenResolutionY", Value::Num(864));
    caps->Put("pixelAspectRatio", Value::Num(1));
    caps->Put("screenDPI", Value::Num(72));
    caps->Put("hasAudio", Value::Bool(true));
    Def(rt, sys, "setClipboard", Noop);
    Def(rt, sys, "showSettings", Noop);
}

} // namespace zembra::avm1
