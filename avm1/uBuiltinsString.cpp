// String and its methods; indexes count UTF-16 code units.
#include <algorithm>
#include <cmath>

#include "avm1/uBuiltinUtil.h"
#include "avm1/uCaseMap.h"

namespace zembra::avm1 {

namespace {

std::u16string This16(Runtime& rt, const Value& thisv) {
    // Long strings cost in proportion, so loops over them stay bounded in time.
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::String)
        rt.Charge(o->primitive.AsString().size() / 256 + 1);
    else if (thisv.IsString())
        rt.Charge(thisv.AsString().size() / 256 + 1);
    if (o && o->kind == ObjKind::String)
        return Utf8ToUtf16(o->primitive.AsString());
    return Utf8ToUtf16(rt.ToString(thisv));
}

Value Str16(Runtime& rt, const std::u16string& s) {
    std::string out = Utf16ToUtf8(s);
    rt.CheckString(out);
    return Value::Str(std::move(out));
}

Value StringCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    std::string s = args.empty() ? std::string() : rt.ToString(args[0]);
    Object* o = thisv.AsObject();
    if (o && o == rt.constructing) {
        o->kind = ObjKind::String;
        o->primitive = Value::Str(s);
        return thisv;
    }
    return Value::Str(s);
}

Value ToStr(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::String)
        return o->primitive;
    return Value::Str(rt.ToString(thisv));
}

Value FromCharCode(Runtime& rt, Object*, const Value&, Args& args) {
    std::u16string s;
    for (auto& a : args) {
        uint32_t u = ToUint32(rt.ToNumber(a)) & 0xFFFF;
        if (u == 0)
            break;
        s.push_back(static_cast<char16_t>(u));
    }
    return Str16(rt, s);
}

Value CharAt(Runtime& rt, Object*, const Value& thisv, Args& args) {
    std::u16string s = This16(rt, thisv);
    double i = ToInt32(rt.ToNumber(Arg(args, 0)));
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value::Str("");
    return Str16(rt, s.substr(static_cast<size_t>(i), 1));
}

Value CharCodeAt(Runtime& rt, Object*, const Value& thisv, Args& args) {
    std::u16string s = This16(rt, thisv);
    double i = ToInt32(rt.ToNumber(Arg(args, 0)));
    // Past the end, version 5 answers 0 where later versions say NaN.
    if (i >= static_cast<double>(s.size()) && rt.version() < 6)
        return Value::Num(0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value::Num(std::nan(""));
    return Value::Num(s[static_cast<size_t>(i)]);
}

Value IndexOf(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (args.empty())
        return Value::Undef();
    std::u16string s = This16(rt, thisv);
    std::u16string n = Utf8ToUtf16(rt.ToString(Arg(args, 0)));
    double from = args.size() > 1 ? ToInt32(rt.ToNumber(args[1])) : 0;
    if (from < 0)
        from = 0;
    if (from > static_cast<double>(s.size()))
        return Value::Num(-1);
    size_t p = s.find(n, static_cast<size_t>(from));
    return Value::Num(p == std::u16string::npos ? -1 : static_cast<double>(p));
}

Value LastIndexOf(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (args.empty())
        return Value::Undef();
    std::u16string s = This16(rt, thisv);
    std::u16string n = Utf8ToUtf16(rt.ToString(Arg(args, 0)));
    size_t from = std::u16string::npos;
    if (args.size() > 1 && !args[1].IsUndefined()) {
        double f = ToInt32(rt.ToNumber(args[1]));
        if (f < 0)
            return Value::Num(-1);
        if (f < static_cast<double>(s.size()))
            from = static_cast<size_t>(f);
    }
    size_t p = s.rfind(n, from);
    return Value::Num(p == std::u16string::npos ? -1 : static_cast<double>(p));
}

Value Substr(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (args.empty())
        return Value::Undef();
    std::u16string s = This16(rt, thisv);
    double len = static_cast<double>(s.size());
    double start = ToInt32(rt.ToNumber(Arg(args, 0)));
    if (start < 0)
        start = std::max(0.0, len + start);
    if (start > len)
        start = len;
    double count = len - start;
    if (args.size() > 1 && !args[1].IsUndefined()) {
        count = ToInt32(rt.ToNumber(args[1]));
        if (count < 0)
            count = std::max(0.0, len - start + count);
        count = std::min(count, len - start);
    }
    return Str16(rt, s.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

Value Substring(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (args.empty())
        return Value::Undef();
    std::u16string s = This16(rt, thisv);
    double len = static_cast<double>(s.size());
    auto clamp = [&](double d) {
        d = ToInt32(d);
        return std::min(std::max(d, 0.0), len);
    };
    double a = clamp(rt.ToNumber(Arg(args, 0)));
    double b = args.size() > 1 && !args[1].IsUndefined() ? clamp(rt.ToNumber(args[1])) : len;
    if (a > b)
        std::swap(a, b);
    return Str16(rt, s.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
}

Value Slice(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (args.empty())
        return Value::Undef();
    std::u16string s = This16(rt, thisv);
    double len = static_cast<double>(s.size());
    auto clamp = [&](double d) {
        d = ToInt32(d);
        if (d < 0)
            d = std::max(0.0, len + d);
        return std::min(d, len);
    };
    double a = clamp(rt.ToNumber(Arg(args, 0)));
    double b = args.size() > 1 && !args[1].IsUndefined() ? clamp(rt.ToNumber(args[1])) : len;
    if (b <= a)
        return Value::Str("");
    return Str16(rt, s.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
}

Value Split(Runtime& rt, Object*, const Value& thisv, Args& args) {
    std::u16string s = This16(rt, thisv);
    Object* out = rt.NewArray();
    double limit = 4294967295.0;
    if (args.size() > 1 && !args[1].IsUndefined())
        limit = std::max(0, ToInt32(rt.ToNumber(args[1])));
    const bool v5 = rt.version() < 6;
    std::u16string sep;
    if (args.empty() || args[0].IsUndefined()) {
        // Version 5 splits at commas when no separator is given.
        if (!v5) {
            rt.ArrayPush(out, Str16(rt, s));
            return Value::Obj(out);
        }
        sep = u",";
    } else {
        sep = Utf8ToUtf16(rt.ToString(args[0]));
    }
    if (sep.empty() && v5) {
        if (limit > 0)
            rt.ArrayPush(out, Str16(rt, s));
        return Value::Obj(out);
    }
    if (sep.empty()) {
        for (size_t i = 0; i < s.size() && rt.ArrayLength(out) < limit; ++i)
            rt.ArrayPush(out, Str16(rt, s.substr(i, 1)));
        return Value::Obj(out);
    }
    size_t i = 0;
    while (rt.ArrayLength(out) < limit) {
        rt.Charge();
        size_t p = s.find(sep, i);
        if (p == std::u16string::npos) {
            rt.ArrayPush(out, Str16(rt, s.substr(i)));
            break;
        }
        rt.ArrayPush(out, Str16(rt, s.substr(i, p - i)));
        i = p + sep.size();
    }
    return Value::Obj(out);
}

Value Upper(Runtime& rt, Object*, const Value& thisv, Args&) {
    std::u16string s = This16(rt, thisv);
    for (auto& c : s)
        c = UpperCaseUnit(c);
    return Str16(rt, s);
}

Value Lower(Runtime& rt, Object*, const Value& thisv, Args&) {
    std::u16string s = This16(rt, thisv);
    for (auto& c : s)
        c = LowerCaseUnit(c);
    return Str16(rt, s);
}

Value Concat(Runtime& rt, Object*, const Value& thisv, Args& args) {
    std::string s = rt.ToString(thisv);
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::String)
        s = o->primitive.AsString();
    for (auto& a : args) {
        s += rt.ToString(a);
        rt.CheckString(s);
    }
    return Value::Str(s);
}

} // namespace

void InstallString(Runtime& rt) {
    rt.stringProto = rt.NewPlain();
    Object* sp = rt.stringProto;
    Object* ctor = DefClass(rt, "String", StringCtor, StringCtor, sp);
    Def(rt, ctor, "fromCharCode", FromCharCode);
    Def(rt, sp, "toString", ToStr);
    Def(rt, sp, "valueOf", ToStr);
    Def(rt, sp, "charAt", CharAt);
    Def(rt, sp, "charCodeAt", CharCodeAt);
    Def(rt, sp, "indexOf", IndexOf);
    Def(rt, sp, "lastIndexOf", LastIndexOf);
    Def(rt, sp, "substr", Substr);
    Def(rt, sp, "substring", Substring);
    Def(rt, sp, "slice", Slice);
    Def(rt, sp, "split", Split);
    Def(rt, sp, "toUpperCase", Upper);
    Def(rt, sp, "toLowerCase", Lower);
    Def(rt, sp, "concat", Concat);
}

} // namespace zembra::avm1
