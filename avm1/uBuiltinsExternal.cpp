// flash.external.ExternalInterface: the saver has no page around it, so the
// interface is not available; calls go nowhere and callbacks are refused.
// The static helpers that turn values into the container's XML form and
// quote strings work as usual, since scripts use them on their own.
#include <string>

#include "avm1/uBuiltinUtil.h"
#include "avm1/uXmlParser.h"

namespace zembra::avm1 {

namespace {

// No argument and the empty string both give null; anything else is text.
bool TextArg(Runtime& rt, const Args& args, std::string& out) {
    if (args.empty())
        return false;
    out = rt.ToString(args[0]);
    return !out.empty();
}

Value EscapeXmlFn(Runtime& rt, Object*, const Value&, Args& args) {
    std::string s;
    if (!TextArg(rt, args, s))
        return Value::Null();
    std::string out = XmlEscape(s);
    rt.CheckString(out);
    return Value::Str(std::move(out));
}

Value JsQuoteString(Runtime& rt, Object*, const Value&, Args& args) {
    std::string s;
    if (!TextArg(rt, args, s))
        return Value::Null();
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '"')
            out += '\\';
        out += c;
    }
    rt.CheckString(out);
    return Value::Str(std::move(out));
}

std::string ToXml(Runtime& rt, const Value& v);

// Strings give "null" for the empty string, as the escaping helper does.
std::string StringXml(const std::string& s) {
    return "<string>" + (s.empty() ? std::string("null") : XmlEscape(s)) + "</string>";
}

// Elements start..length-1 of anything with a length; other values have none.
template <class Each> void ForIndexes(Runtime& rt, const Value& v, double start, Each&& each) {
    Value len = rt.GetMember(v, "length");
    if (!len.IsNumber())
        return;
    const double n = len.AsNumber();
    for (double i = start; i < n; ++i) {
        rt.Charge();
        each(static_cast<uint64_t>(i));
    }
}

std::string ArrayXml(Runtime& rt, const Value& v) {
    std::string out = "<array>";
    if (!v.IsUndefined() && !v.IsNull())
        ForIndexes(rt, v, 0, [&](uint64_t i) {
            const std::string id = std::to_string(i);
            out += "<property id=\"" + id + "\">" + ToXml(rt, rt.GetMember(v, id)) + "</property>";
            rt.CheckString(out);
        });
    return out + "</array>";
}

std::string ArgumentsXml(Runtime& rt, const Value& v) {
    std::string out = "<arguments>";
    if (!v.IsUndefined() && !v.IsNull())
        ForIndexes(rt, v, 1, [&](uint64_t i) {
            out += ToXml(rt, rt.GetMember(v, std::to_string(i)));
            rt.CheckString(out);
        });
    return out + "</arguments>";
}

std::string ObjectXml(Runtime& rt, const Value& v) {
    std::string out = "<object>";
    if (Object* o = v.AsObject()) {
        for (const std::string& name : rt.EnumerableNames(o)) {
            rt.Charge();
            out +=
                "<property id=\"" + name + "\">" + ToXml(rt, rt.GetMember(o, name)) + "</property>";
            rt.CheckString(out);
        }
    }
    return out + "</object>";
}

std::string ToXml(Runtime& rt, const Value& v) {
    Runtime::DepthGuard depth(rt); // a value that holds itself ends at the depth limit
    switch (v.type()) {
    case Type::Undefined:
        return "<undefined/>";
    case Type::Null:
        return "<null/>";
    case Type::Boolean:
        return v.AsBool() ? "<true/>" : "<false/>";
    case Type::Number:
        return "<number>" + rt.ToString(v) + "</number>";
    case Type::String:
        return StringXml(v.AsString());
    case Type::Object:
        break;
    }
    Object* o = v.AsObject();
    if (o->IsFunction())
        return "<null/>";
    if (rt.GetMember(o, "length").IsNumber())
        return ArrayXml(rt, v);
    return ObjectXml(rt, v);
}

Value ToXmlFn(Runtime& rt, Object*, const Value&, Args& args) {
    return Value::Str(ToXml(rt, Arg(args, 0)));
}
Value ArrayToXml(Runtime& rt, Object*, const Value&, Args& args) {
    return Value::Str(ArrayXml(rt, Arg(args, 0)));
}
Value ArgumentsToXml(Runtime& rt, Object*, const Value&, Args& args) {
    return Value::Str(ArgumentsXml(rt, Arg(args, 0)));
}
Value ObjectToXml(Runtime& rt, Object*, const Value&, Args& args) {
    return Value::Str(ObjectXml(rt, Arg(args, 0)));
}

Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}
Value Null(Runtime&, Object*, const Value&, Args&) {
    return Value::Null();
}
Value PlainCtor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}

} // namespace

void InstallExternalInterface(Runtime& rt) {
    Object* flash = rt.GetMember(rt.global, "flash").AsObject();
    Object* ext = flash ? rt.GetMember(flash, "external").AsObject() : nullptr;
    if (!ext)
        return; // the package exists from version 8 on
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(PlainCtor);
    ctor->nativeCtor = PlainCtor;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    ext->Put("ExternalInterface", Value::Obj(ctor));
    ctor->Put("available", Value::Bool(false), kDontEnum | kDontDelete | kReadOnly);
    Def(rt, ctor, "addCallback", False);
    Def(rt, ctor, "call", Null);
    Def(rt, ctor, "_escapeXML", EscapeXmlFn);
    Def(rt, ctor, "_jsQuoteString", JsQuoteString);
    Def(rt, ctor, "_toXML", ToXmlFn);
    Def(rt, ctor, "_arrayToXML", ArrayToXml);
    Def(rt, ctor, "_argumentsToXML", ArgumentsToXml);
    Def(rt, ctor, "_objectToXML", ObjectToXml);
}

} // namespace zembra::avm1
