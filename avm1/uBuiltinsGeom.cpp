// flash.geom.Point: plain x and y properties and the arithmetic on them.
// Values are kept as given (a point may hold undefined or an object) and
// only turned into numbers where a method computes. flash.geom.ColorTransform:
// eight numbers behind accessors, the packed rgb view and concatenation.
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// Natives keep the Point constructor in extra[0].
Object* PointCtorOf(Object* self) {
    return self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
}

Value NewPoint(Runtime& rt, Object* self, const Value& x, const Value& y) {
    Args a{x, y};
    return rt.Construct(Value::Obj(PointCtorOf(self)), a);
}

double Num(Runtime& rt, const Value& v, const char* name) {
    return rt.ToNumber(rt.GetMember(v, name));
}

Value PointCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    if (args.empty()) {
        rt.SetMember(o, "x", Value::Num(0));
        rt.SetMember(o, "y", Value::Num(0));
    } else {
        rt.SetMember(o, "x", Arg(args, 0));
        rt.SetMember(o, "y", Arg(args, 1));
    }
    return Value::Undef();
}

Value PtToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Str("(x=" + rt.ToString(rt.GetMember(thisv, "x")) +
                      ", y=" + rt.ToString(rt.GetMember(thisv, "y")) + ")");
}

Value PtAdd(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    const Value& p = Arg(args, 0);
    return NewPoint(rt, self, rt.Add2(rt.GetMember(thisv, "x"), rt.GetMember(p, "x")),
                    rt.Add2(rt.GetMember(thisv, "y"), rt.GetMember(p, "y")));
}

Value PtSubtract(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    const Value& p = Arg(args, 0);
    return NewPoint(rt, self, Value::Num(Num(rt, thisv, "x") - Num(rt, p, "x")),
                    Value::Num(Num(rt, thisv, "y") - Num(rt, p, "y")));
}

Value PtLength(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Num(std::hypot(Num(rt, thisv, "x"), Num(rt, thisv, "y")));
}

// Point.distance works on points only; anything else has no distance.
Value PtDistance(Runtime& rt, Object* self, const Value&, Args& args) {
    Object* a = Arg(args, 0).AsObject();
    if (!a || !rt.InstanceOf(a, PointCtorOf(self)))
        return Value::Undef();
    Args b{Arg(args, 1)};
    Value d = rt.CallMethod(Value::Obj(a), "subtract", b);
    return rt.GetMember(d, "length");
}

Value PtEquals(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* p = Arg(args, 0).AsObject();
    if (!p || !rt.InstanceOf(p, PointCtorOf(self)))
        return Value::Bool(false);
    return Value::Bool(
        rt.AbstractEquals(rt.GetMember(thisv, "x"), rt.GetMember(Value::Obj(p), "x")) &&
        rt.AbstractEquals(rt.GetMember(thisv, "y"), rt.GetMember(Value::Obj(p), "y")));
}

Value PtClone(Runtime& rt, Object* self, const Value& thisv, Args&) {
    return NewPoint(rt, self, rt.GetMember(thisv, "x"), rt.GetMember(thisv, "y"));
}

// interpolate(a, b, f) = b + f * (a - b)
Value PtInterpolate(Runtime& rt, Object* self, const Value&, Args& args) {
    const Value& a = Arg(args, 0);
    const Value& b = Arg(args, 1);
    double f = rt.ToNumber(Arg(args, 2));
    double bx = Num(rt, b, "x"), by = Num(rt, b, "y");
    return NewPoint(rt, self, Value::Num(bx + f * (Num(rt, a, "x") - bx)),
                    Value::Num(by + f * (Num(rt, a, "y") - by)));
}

// Scales to the given length; a point without a positive length stays.
Value PtNormalize(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    double x = Num(rt, thisv, "x"), y = Num(rt, thisv, "y");
    double len = std::hypot(x, y);
    if (len > 0) {
        double k = rt.ToNumber(Arg(args, 0)) / len;
        rt.SetMember(o, "x", Value::Num(x * k));
        rt.SetMember(o, "y", Value::Num(y * k));
    }
    return Value::Undef();
}

Value PtOffset(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    rt.SetMember(o, "x", Value::Num(Num(rt, thisv, "x") + rt.ToNumber(Arg(args, 0))));
    rt.SetMember(o, "y", Value::Num(Num(rt, thisv, "y") + rt.ToNumber(Arg(args, 1))));
    return Value::Undef();
}

Value PtPolar(Runtime& rt, Object* self, const Value&, Args& args) {
    double len = rt.ToNumber(Arg(args, 0));
    double angle = rt.ToNumber(Arg(args, 1));
    return NewPoint(rt, self, Value::Num(len * std::cos(angle)), Value::Num(len * std::sin(angle)));
}

// ---- ColorTransform: the numbers live in extra[0..7], extra[8] is the
// constructor as a mark of a real instance.

enum CtField { kRedMul, kGreenMul, kBlueMul, kAlphaMul, kRedOff, kGreenOff, kBlueOff, kAlphaOff };
constexpr size_t kCtFields = 8;
constexpr size_t kRgb = 8; // accessor tag of the packed offsets
const char* const kCtNames[kCtFields] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                         "alphaMultiplier", "redOffset",       "greenOffset",
                                         "blueOffset",      "alphaOffset"};

Object* CtOf(Object* self, const Value& v) {
    Object* o = v.AsObject();
    Object* ctor = self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
    if (o && ctor && o->extra.size() == kCtFields + 1 && o->extra[kCtFields].AsObject() == ctor)
        return o;
    return nullptr;
}

double Field(Object* ct, size_t i) {
    return ct->extra[i].AsNumber();
}

Value CtCtor(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    o->extra.assign(kCtFields + 1, Value::Num(0));
    for (size_t i = 0; i < kCtFields; ++i)
        o->extra[i] = Value::Num(i < args.size() ? rt.ToNumber(args[i]) : (i < kRedOff ? 1 : 0));
    o->extra[kCtFields] = Value::Obj(self);
    return Value::Undef();
}

int32_t Channel(double offset) {
    return ToInt32(offset) & 0xFF;
}

Value CtGet(Runtime&, Object* self, const Value& thisv, Args&) {
    Object* ct = CtOf(self, thisv);
    if (!ct)
        return Value::Undef();
    size_t tag = static_cast<size_t>(self->nativeTag);
    if (tag == kRgb)
        return Value::Num((Channel(Field(ct, kRedOff)) << 16) |
                          (Channel(Field(ct, kGreenOff)) << 8) | Channel(Field(ct, kBlueOff)));
    return ct->extra[tag];
}

// Setting rgb makes a solid colour: offsets from the bytes, colour
// multipliers zero, alpha untouched.
Value CtSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* ct = CtOf(self, thisv);
    if (!ct)
        return Value::Undef();
    size_t tag = static_cast<size_t>(self->nativeTag);
    double v = rt.ToNumber(Arg(args, 0));
    if (tag == kRgb) {
        uint32_t rgb = ToUint32(v);
        ct->extra[kRedOff] = Value::Num((rgb >> 16) & 0xFF);
        ct->extra[kGreenOff] = Value::Num((rgb >> 8) & 0xFF);
        ct->extra[kBlueOff] = Value::Num(rgb & 0xFF);
        for (size_t i : {kRedMul, kGreenMul, kBlueMul})
            ct->extra[i] = Value::Num(0);
    } else {
        ct->extra[tag] = Value::Num(v);
    }
    return Value::Undef();
}

Value CtToString(Runtime&, Object* self, const Value& thisv, Args&) {
    Object* ct = CtOf(self, thisv);
    if (!ct)
        return Value::Str("[object Object]");
    std::string out = "(";
    for (size_t i = 0; i < kCtFields; ++i) {
        if (i)
            out += ", ";
        out += std::string(kCtNames[i]) + "=" + NumberToString(Field(ct, i));
    }
    return Value::Str(out + ")");
}

// this = this after other: offsets of the other scaled by this one's
// multipliers, multipliers multiplied.
Value CtConcat(Runtime&, Object* self, const Value& thisv, Args& args) {
    Object* ct = CtOf(self, thisv);
    Object* other = CtOf(self, Arg(args, 0));
    if (!ct || !other)
        return Value::Undef();
    for (size_t c = 0; c < 4; ++c) {
        double mul = Field(ct, c);
        ct->extra[kRedOff + c] =
            Value::Num(Field(ct, kRedOff + c) + mul * Field(other, kRedOff + c));
        ct->extra[c] = Value::Num(mul * Field(other, c));
    }
    return Value::Undef();
}

void InstallColorTransform(Runtime& rt, Object* geom) {
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(CtCtor);
    ctor->nativeCtor = CtCtor;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    geom->Put("ColorTransform", Value::Obj(ctor));
    auto mark = [&](Object* f) {
        f->extra.push_back(Value::Obj(ctor));
        return f;
    };
    // Enumerable, as the player's are; for..in lists them newest first.
    const size_t order[] = {kAlphaMul, kRedMul,   kGreenMul, kBlueMul, kAlphaOff,
                            kRedOff,   kGreenOff, kBlueOff,  kRgb};
    for (size_t tag : order) {
        Property& p = proto->Put(tag == kRgb ? "rgb" : kCtNames[tag], Value::Undef());
        p.getter = mark(rt.NewNative(CtGet, static_cast<int>(tag)));
        p.setter = mark(rt.NewNative(CtSet, static_cast<int>(tag)));
    }
    proto->Put("concat", Value::Obj(mark(rt.NewNative(CtConcat))));
    proto->Put("toString", Value::Obj(mark(rt.NewNative(CtToString))));
}

} // namespace

void InstallGeom(Runtime& rt) {
    Object* flash = rt.GetMember(rt.global, "flash").AsObject();
    Object* geom = flash ? rt.GetMember(flash, "geom").AsObject() : nullptr;
    if (!geom)
        return; // the package exists from version 8 on
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(PointCtor);
    ctor->nativeCtor = PointCtor;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    geom->Put("Point", Value::Obj(ctor));
    auto def = [&](Object* on, const char* name, NativeFn fn) {
        Def(rt, on, name, fn)->extra.push_back(Value::Obj(ctor));
    };
    def(proto, "toString", PtToString);
    def(proto, "add", PtAdd);
    def(proto, "subtract", PtSubtract);
    def(proto, "equals", PtEquals);
    def(proto, "clone", PtClone);
    def(proto, "normalize", PtNormalize);
    def(proto, "offset", PtOffset);
    def(ctor, "distance", PtDistance);
    def(ctor, "interpolate", PtInterpolate);
    def(ctor, "polar", PtPolar);
    Property& len = proto->Put("length", Value::Undef(), kDontEnum);
    len.getter = rt.NewNative(PtLength);

    InstallColorTransform(rt, geom);
}

} // namespace zembra::avm1
