// flash.geom.Point: plain x and y properties and the arithmetic on them.
// Values are kept as given (a point may hold undefined or an object) and
// only turned into numbers where a method computes. flash.geom.ColorTransform:
// eight numbers behind accessors, the packed rgb view and concatenation.
// flash.geom.Matrix and Rectangle: plain properties, arithmetic on numbers;
// Transform: a view of a clip's matrix and colour through the host.
#include <algorithm>
#include <cmath>
#include <vector>

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


// ---- Matrix and Rectangle: plain properties like Point's, computed as
// numbers. Their natives keep the Point constructor in extra[0] and their
// own in extra[1].

Object* OwnCtorOf(Object* self) {
    return self && self->extra.size() > 1 ? self->extra[1].AsObject() : nullptr;
}

Value NewOwn(Runtime& rt, Object* self, std::initializer_list<double> values) {
    Args a;
    for (double v : values)
        a.push_back(Value::Num(v));
    return rt.Construct(Value::Obj(OwnCtorOf(self)), a);
}

const char* const kMatrixNames[6] = {"a", "b", "c", "d", "tx", "ty"};

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Affine ReadMatrix(Runtime& rt, const Value& v) {
    return Affine{Num(rt, v, "a"), Num(rt, v, "b"),  Num(rt, v, "c"),
                  Num(rt, v, "d"), Num(rt, v, "tx"), Num(rt, v, "ty")};
}

void WriteMatrix(Runtime& rt, Object* o, const Affine& m) {
    const double vals[6] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (int i = 0; i < 6; ++i)
        rt.SetMember(o, kMatrixNames[i], Value::Num(vals[i]));
}

// first, then second.
Affine Then(const Affine& m, const Affine& n) {
    return Affine{m.a * n.a + m.b * n.c,          m.a * n.b + m.b * n.d,
                  m.c * n.a + m.d * n.c,          m.c * n.b + m.d * n.d,
                  m.tx * n.a + m.ty * n.c + n.tx, m.tx * n.b + m.ty * n.d + n.ty};
}

Value MatrixCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    if (args.empty()) {
        WriteMatrix(rt, o, Affine{});
    } else {
        for (size_t i = 0; i < 6; ++i)
            rt.SetMember(o, kMatrixNames[i], Arg(args, i));
    }
    return Value::Undef();
}

Value MxToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    std::string out = "(";
    for (int i = 0; i < 6; ++i) {
        if (i)
            out += ", ";
        out += std::string(kMatrixNames[i]) + "=" + rt.ToString(rt.GetMember(thisv, kMatrixNames[i]));
    }
    return Value::Str(out + ")");
}

Value MxClone(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Args a;
    for (const char* n : kMatrixNames)
        a.push_back(rt.GetMember(thisv, n));
    return rt.Construct(Value::Obj(OwnCtorOf(self)), a);
}

Value MxIdentity(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Object* o = thisv.AsObject())
        WriteMatrix(rt, o, Affine{});
    return Value::Undef();
}

Value MxConcat(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (Object* o = thisv.AsObject())
        WriteMatrix(rt, o, Then(ReadMatrix(rt, thisv), ReadMatrix(rt, Arg(args, 0))));
    return Value::Undef();
}

Value MxTranslate(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    Affine m = ReadMatrix(rt, thisv);
    m.tx += NumArg(rt, args, 0);
    m.ty += NumArg(rt, args, 1);
    WriteMatrix(rt, o, m);
    return Value::Undef();
}

Value MxScale(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    const double sx = NumArg(rt, args, 0), sy = NumArg(rt, args, 1);
    WriteMatrix(rt, o, Then(ReadMatrix(rt, thisv), Affine{sx, 0, 0, sy, 0, 0}));
    return Value::Undef();
}

Value MxRotate(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    const double q = NumArg(rt, args, 0);
    const double cs = std::cos(q), sn = std::sin(q);
    WriteMatrix(rt, o, Then(ReadMatrix(rt, thisv), Affine{cs, sn, -sn, cs, 0, 0}));
    return Value::Undef();
}

Affine Box(double sx, double sy, double rot, double tx, double ty) {
    const double cs = std::cos(rot), sn = std::sin(rot);
    return Affine{sx * cs, sy * sn, -sx * sn, sy * cs, tx, ty};
}

// createBox(scaleX, scaleY, rotation, tx, ty)
Value MxCreateBox(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (Object* o = thisv.AsObject()) {
        const double rot = args.size() > 2 ? NumArg(rt, args, 2) : 0;
        const double tx = args.size() > 3 ? NumArg(rt, args, 3) : 0;
        const double ty = args.size() > 4 ? NumArg(rt, args, 4) : 0;
        WriteMatrix(rt, o, Box(NumArg(rt, args, 0), NumArg(rt, args, 1), rot, tx, ty));
    }
    return Value::Undef();
}

// A gradient's square is 1638.4 pixels wide around its centre.
Value MxCreateGradientBox(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (Object* o = thisv.AsObject()) {
        const double w = NumArg(rt, args, 0), h = NumArg(rt, args, 1);
        const double rot = args.size() > 2 ? NumArg(rt, args, 2) : 0;
        const double tx = args.size() > 3 ? NumArg(rt, args, 3) : 0;
        const double ty = args.size() > 4 ? NumArg(rt, args, 4) : 0;
        WriteMatrix(rt, o, Box(w / 1638.4, h / 1638.4, rot, tx + w / 2, ty + h / 2));
    }
    return Value::Undef();
}

// A matrix that cannot be inverted becomes the identity.
Value MxInvert(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    const Affine m = ReadMatrix(rt, thisv);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0 || !std::isfinite(det)) {
        WriteMatrix(rt, o, Affine{});
        return Value::Undef();
    }
    Affine r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    WriteMatrix(rt, o, r);
    return Value::Undef();
}

// Tag 1: without the translation (deltaTransformPoint).
Value MxTransformPoint(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    const Affine m = ReadMatrix(rt, thisv);
    const double x = Num(rt, Arg(args, 0), "x"), y = Num(rt, Arg(args, 0), "y");
    const bool delta = self->nativeTag == 1;
    return NewPoint(rt, self, Value::Num(m.a * x + m.c * y + (delta ? 0 : m.tx)),
                    Value::Num(m.b * x + m.d * y + (delta ? 0 : m.ty)));
}

const char* const kRectNames[4] = {"x", "y", "width", "height"};

struct Box4 {
    double x = 0, y = 0, w = 0, h = 0;
};

Box4 ReadRect(Runtime& rt, const Value& v) {
    return Box4{Num(rt, v, "x"), Num(rt, v, "y"), Num(rt, v, "width"), Num(rt, v, "height")};
}

void WriteRect(Runtime& rt, Object* o, const Box4& r) {
    const double vals[4] = {r.x, r.y, r.w, r.h};
    for (int i = 0; i < 4; ++i)
        rt.SetMember(o, kRectNames[i], Value::Num(vals[i]));
}

Value RectCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    if (args.empty()) {
        WriteRect(rt, o, Box4{});
    } else {
        for (size_t i = 0; i < 4; ++i)
            rt.SetMember(o, kRectNames[i], Arg(args, i));
    }
    return Value::Undef();
}

Value RcToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Value::Str("(x=" + rt.ToString(rt.GetMember(thisv, "x")) +
                      ", y=" + rt.ToString(rt.GetMember(thisv, "y")) +
                      ", w=" + rt.ToString(rt.GetMember(thisv, "width")) +
                      ", h=" + rt.ToString(rt.GetMember(thisv, "height")) + ")");
}

Value RcClone(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Args a;
    for (const char* n : kRectNames)
        a.push_back(rt.GetMember(thisv, n));
    return rt.Construct(Value::Obj(OwnCtorOf(self)), a);
}

Value RcIsEmpty(Runtime& rt, Object*, const Value& thisv, Args&) {
    const Box4 r = ReadRect(rt, thisv);
    return Value::Bool(!(r.w > 0) || !(r.h > 0));
}

Value RcSetEmpty(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Object* o = thisv.AsObject())
        WriteRect(rt, o, Box4{});
    return Value::Undef();
}

bool Inside(const Box4& r, double x, double y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

// Tag 0: contains(x, y); 1: containsPoint(p); 2: containsRectangle(r).
Value RcContains(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    const Box4 r = ReadRect(rt, thisv);
    if (self->nativeTag == 2) {
        const Box4 o = ReadRect(rt, Arg(args, 0));
        return Value::Bool(o.x >= r.x && o.y >= r.y && o.x + o.w <= r.x + r.w &&
                           o.y + o.h <= r.y + r.h);
    }
    if (self->nativeTag == 1)
        return Value::Bool(Inside(r, Num(rt, Arg(args, 0), "x"), Num(rt, Arg(args, 0), "y")));
    return Value::Bool(Inside(r, NumArg(rt, args, 0), NumArg(rt, args, 1)));
}

Value RcEquals(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = Arg(args, 0).AsObject();
    if (!o || !rt.InstanceOf(o, OwnCtorOf(self)))
        return Value::Bool(false);
    for (const char* n : kRectNames)
        if (!rt.AbstractEquals(rt.GetMember(thisv, n), rt.GetMember(Value::Obj(o), n)))
            return Value::Bool(false);
    return Value::Bool(true);
}

// Tag 0: inflate(dx, dy); 1: inflatePoint(p); 2: offset(dx, dy); 3: offsetPoint(p).
Value RcMove(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    const int tag = self->nativeTag;
    double dx, dy;
    if (tag == 1 || tag == 3) {
        dx = Num(rt, Arg(args, 0), "x");
        dy = Num(rt, Arg(args, 0), "y");
    } else {
        dx = NumArg(rt, args, 0);
        dy = NumArg(rt, args, 1);
    }
    Box4 r = ReadRect(rt, thisv);
    if (tag < 2) {
        r.x -= dx, r.y -= dy, r.w += 2 * dx, r.h += 2 * dy;
    } else {
        r.x += dx, r.y += dy;
    }
    WriteRect(rt, o, r);
    return Value::Undef();
}

bool Overlap(const Box4& a, const Box4& b, Box4& out) {
    const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (!(x1 > x0 && y1 > y0))
        return false;
    out = Box4{x0, y0, x1 - x0, y1 - y0};
    return true;
}

Value RcIntersects(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Box4 out;
    return Value::Bool(Overlap(ReadRect(rt, thisv), ReadRect(rt, Arg(args, 0)), out));
}

Value RcIntersection(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Box4 out;
    if (!Overlap(ReadRect(rt, thisv), ReadRect(rt, Arg(args, 0)), out))
        out = Box4{};
    return NewOwn(rt, self, {out.x, out.y, out.w, out.h});
}

// The union of an empty rectangle with another is the other.
Value RcUnion(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    const Box4 a = ReadRect(rt, thisv), b = ReadRect(rt, Arg(args, 0));
    const bool aEmpty = !(a.w > 0 && a.h > 0), bEmpty = !(b.w > 0 && b.h > 0);
    Box4 out;
    if (aEmpty)
        out = b;
    else if (bEmpty)
        out = a;
    else {
        const double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
        out = Box4{x0, y0, std::max(a.x + a.w, b.x + b.w) - x0,
                   std::max(a.y + a.h, b.y + b.h) - y0};
    }
    return NewOwn(rt, self, {out.x, out.y, out.w, out.h});
}

// Accessors: 0 left, 1 right, 2 top, 3 bottom, 4 topLeft, 5 bottomRight, 6 size.
Value RcGet(Runtime& rt, Object* self, const Value& thisv, Args&) {
    switch (self->nativeTag) {
    case 0:
        return rt.GetMember(thisv, "x");
    case 1:
        return rt.Add2(rt.GetMember(thisv, "x"), rt.GetMember(thisv, "width"));
    case 2:
        return rt.GetMember(thisv, "y");
    case 3:
        return rt.Add2(rt.GetMember(thisv, "y"), rt.GetMember(thisv, "height"));
    case 4:
        return NewPoint(rt, self, rt.GetMember(thisv, "x"), rt.GetMember(thisv, "y"));
    case 5:
        return NewPoint(rt, self, rt.Add2(rt.GetMember(thisv, "x"), rt.GetMember(thisv, "width")),
                        rt.Add2(rt.GetMember(thisv, "y"), rt.GetMember(thisv, "height")));
    default:
        return NewPoint(rt, self, rt.GetMember(thisv, "width"), rt.GetMember(thisv, "height"));
    }
}

// Moving an edge keeps the opposite one where it is.
Value RcSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    Box4 r = ReadRect(rt, thisv);
    const Value& v = Arg(args, 0);
    switch (self->nativeTag) {
    case 0: {
        const double x = rt.ToNumber(v);
        rt.SetMember(o, "width", Value::Num(r.w + r.x - x));
        rt.SetMember(o, "x", Value::Num(x));
        break;
    }
    case 1:
        rt.SetMember(o, "width", Value::Num(rt.ToNumber(v) - r.x));
        break;
    case 2: {
        const double y = rt.ToNumber(v);
        rt.SetMember(o, "height", Value::Num(r.h + r.y - y));
        rt.SetMember(o, "y", Value::Num(y));
        break;
    }
    case 3:
        rt.SetMember(o, "height", Value::Num(rt.ToNumber(v) - r.y));
        break;
    case 4: {
        const double x = Num(rt, v, "x"), y = Num(rt, v, "y");
        rt.SetMember(o, "width", Value::Num(r.w + r.x - x));
        rt.SetMember(o, "height", Value::Num(r.h + r.y - y));
        rt.SetMember(o, "x", Value::Num(x));
        rt.SetMember(o, "y", Value::Num(y));
        break;
    }
    case 5:
        rt.SetMember(o, "width", Value::Num(Num(rt, v, "x") - r.x));
        rt.SetMember(o, "height", Value::Num(Num(rt, v, "y") - r.y));
        break;
    default:
        rt.SetMember(o, "width", rt.GetMember(v, "x"));
        rt.SetMember(o, "height", rt.GetMember(v, "y"));
        break;
    }
    return Value::Undef();
}

Object* GeomClass(Runtime& rt, Object* geom, const char* name, NativeFn fn) {
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(fn);
    ctor->nativeCtor = fn;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    geom->Put(name, Value::Obj(ctor));
    return ctor;
}

void InstallMatrixAndRectangle(Runtime& rt, Object* geom, Object* pointCtor) {
    Object* mctor = GeomClass(rt, geom, "Matrix", MatrixCtor);
    Object* mproto = rt.GetMember(mctor, "prototype").AsObject();
    auto def = [&](Object* ctor, Object* on, const char* name, NativeFn fn, int tag = 0) {
        Object* f = Def(rt, on, name, fn, tag);
        f->extra.push_back(Value::Obj(pointCtor));
        f->extra.push_back(Value::Obj(ctor));
        return f;
    };
    def(mctor, mproto, "toString", MxToString);
    def(mctor, mproto, "clone", MxClone);
    def(mctor, mproto, "identity", MxIdentity);
    def(mctor, mproto, "concat", MxConcat);
    def(mctor, mproto, "translate", MxTranslate);
    def(mctor, mproto, "scale", MxScale);
    def(mctor, mproto, "rotate", MxRotate);
    def(mctor, mproto, "createBox", MxCreateBox);
    def(mctor, mproto, "createGradientBox", MxCreateGradientBox);
    def(mctor, mproto, "invert", MxInvert);
    def(mctor, mproto, "transformPoint", MxTransformPoint, 0);
    def(mctor, mproto, "deltaTransformPoint", MxTransformPoint, 1);

    Object* rctor = GeomClass(rt, geom, "Rectangle", RectCtor);
    Object* rproto = rt.GetMember(rctor, "prototype").AsObject();
    def(rctor, rproto, "toString", RcToString);
    def(rctor, rproto, "clone", RcClone);
    def(rctor, rproto, "isEmpty", RcIsEmpty);
    def(rctor, rproto, "setEmpty", RcSetEmpty);
    def(rctor, rproto, "contains", RcContains, 0);
    def(rctor, rproto, "containsPoint", RcContains, 1);
    def(rctor, rproto, "containsRectangle", RcContains, 2);
    def(rctor, rproto, "equals", RcEquals);
    def(rctor, rproto, "inflate", RcMove, 0);
    def(rctor, rproto, "inflatePoint", RcMove, 1);
    def(rctor, rproto, "offset", RcMove, 2);
    def(rctor, rproto, "offsetPoint", RcMove, 3);
    def(rctor, rproto, "intersects", RcIntersects);
    def(rctor, rproto, "intersection", RcIntersection);
    def(rctor, rproto, "union", RcUnion);
    const char* const accessors[] = {"left",    "right",       "top", "bottom",
                                     "topLeft", "bottomRight", "size"};
    for (int i = 0; i < 7; ++i) {
        Property& p = rproto->Put(accessors[i], Value::Undef(), kDontEnum);
        p.getter = rt.NewNative(RcGet, i);
        p.getter->extra = {Value::Obj(pointCtor), Value::Obj(rctor)};
        p.setter = rt.NewNative(RcSet, i);
        p.setter->extra = {Value::Obj(pointCtor), Value::Obj(rctor)};
    }
}


// ---- Transform: a live view of one clip's placement. Instances keep the
// clip's object in extra[0] and the Transform constructor in extra[1];
// natives keep the Point, Matrix, ColorTransform, Rectangle and Transform
// constructors in extra[0..4].

enum TransformCtors { kPointCtor, kMatrixCtor, kCtCtor, kRectCtor, kTransformCtor, kCtorCount };

Object* CtorAt(Object* self, size_t i) {
    return self && self->extra.size() > i ? self->extra[i].AsObject() : nullptr;
}

// The clip a Transform (or, with `clipItself`, a clip object) looks at; 0 when none.
ClipId TransformClip(Object* self, const Value& thisv) {
    Object* o = thisv.AsObject();
    if (!o || o->extra.size() != 2 || o->extra[1].AsObject() != CtorAt(self, kTransformCtor))
        return 0;
    Object* clip = o->extra[0].AsObject();
    return clip && clip->kind == ObjKind::Clip ? clip->clip : 0;
}

Value TransformCtor(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    Object* clip = Arg(args, 0).AsObject();
    if (!o || rt.constructing != o)
        return Value::Undef();
    if (!clip || clip->kind != ObjKind::Clip) {
        rt.constructionRefused = true;
        return Value::Undef();
    }
    o->extra = {Value::Obj(clip), Value::Obj(self)};
    return Value::Undef();
}

Value NewFrom(Runtime& rt, Object* ctor, const double* values, size_t n) {
    Args a;
    for (size_t i = 0; i < n; ++i)
        a.push_back(Value::Num(values[i]));
    return rt.Construct(Value::Obj(ctor), a);
}

// The clip's matrix, or its product with every parent's.
bool MatrixOf(Runtime& rt, ClipId clip, bool concatenated, Affine& out) {
    double m[6];
    if (!rt.host().ClipMatrix(clip, m))
        return false;
    out = Affine{m[0], m[1], m[2], m[3], m[4], m[5]};
    ClipId c = rt.host().Parent(clip);
    for (int guard = 0; concatenated && c && guard < 1024; ++guard) {
        if (!rt.host().ClipMatrix(c, m))
            break;
        out = Then(out, Affine{m[0], m[1], m[2], m[3], m[4], m[5]});
        c = rt.host().Parent(c);
    }
    return true;
}

bool ColorOf(Runtime& rt, ClipId clip, bool concatenated, double out[8]) {
    if (!rt.host().ClipColor(clip, out))
        return false;
    ClipId c = rt.host().Parent(clip);
    double outer[8];
    for (int guard = 0; concatenated && c && guard < 1024; ++guard) {
        if (!rt.host().ClipColor(c, outer))
            break;
        for (int i = 0; i < 4; ++i) {
            out[4 + i] = out[4 + i] * outer[i] + outer[4 + i];
            out[i] *= outer[i];
        }
        c = rt.host().Parent(c);
    }
    return true;
}

// Getters: 0 matrix, 1 colorTransform, 2 concatenatedMatrix,
// 3 concatenatedColorTransform, 4 pixelBounds. Each read is a new object.
Value TfGet(Runtime& rt, Object* self, const Value& thisv, Args&) {
    const ClipId clip = TransformClip(self, thisv);
    if (!clip)
        return Value::Undef();
    const int tag = self->nativeTag;
    if (tag == 0 || tag == 2) {
        Affine m;
        if (!MatrixOf(rt, clip, tag == 2, m))
            return Value::Undef();
        const double v[6] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
        return NewFrom(rt, CtorAt(self, kMatrixCtor), v, 6);
    }
    if (tag == 1 || tag == 3) {
        double c[8];
        if (!ColorOf(rt, clip, tag == 3, c))
            return Value::Undef();
        return NewFrom(rt, CtorAt(self, kCtCtor), c, 8);
    }
    double x0, y0, x1, y1;
    if (!rt.host().Bounds(clip, rt.host().Root(), x0, y0, x1, y1))
        x0 = y0 = x1 = y1 = 0;
    const double r[4] = {x0, y0, x1 - x0, y1 - y0};
    return NewFrom(rt, CtorAt(self, kRectCtor), r, 4);
}

// Only real matrices and colour transforms are taken; anything else is ignored.
void ApplyTo(Runtime& rt, Object* self, ClipId clip, int tag, const Value& v) {
    if (tag == 0 && rt.InstanceOf(v.AsObject(), CtorAt(self, kMatrixCtor))) {
        const Affine m = ReadMatrix(rt, v);
        const double values[6] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
        rt.host().SetClipMatrix(clip, values);
    } else if (tag == 1 && rt.InstanceOf(v.AsObject(), CtorAt(self, kCtCtor))) {
        double c[8];
        for (size_t i = 0; i < kCtFields; ++i)
            c[i] = Num(rt, v, kCtNames[i]);
        rt.host().SetClipColor(clip, c);
    }
}

Value TfSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    if (const ClipId clip = TransformClip(self, thisv))
        ApplyTo(rt, self, clip, self->nativeTag, Arg(args, 0));
    return Value::Undef();
}

// MovieClip.transform: a new Transform on each read; assigning one copies
// its clip's matrix and colour transform.
Value ClipTransformGet(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Clip)
        return Value::Undef();
    Args a{thisv};
    return rt.Construct(Value::Obj(CtorAt(self, kTransformCtor)), a);
}

Value ClipTransformSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    const ClipId from = TransformClip(self, Arg(args, 0));
    if (!o || o->kind != ObjKind::Clip || !o->clip || !from)
        return Value::Undef();
    double m[6], c[8];
    if (rt.host().ClipMatrix(from, m) && rt.host().ClipColor(from, c)) {
        rt.host().SetClipMatrix(o->clip, m);
        rt.host().SetClipColor(o->clip, c);
    }
    return Value::Undef();
}

void InstallTransform(Runtime& rt, Object* geom) {
    Object* ctor = GeomClass(rt, geom, "Transform", TransformCtor);
    Object* proto = rt.GetMember(ctor, "prototype").AsObject();
    std::vector<Value> ctors(kCtorCount);
    const char* const names[kCtorCount] = {"Point", "Matrix", "ColorTransform", "Rectangle",
                                           "Transform"};
    for (size_t i = 0; i < kCtorCount; ++i)
        ctors[i] = rt.GetMember(geom, names[i]);
    ctor->extra = ctors;
    auto native = [&](NativeFn fn, int tag) {
        Object* f = rt.NewNative(fn, tag);
        f->extra = ctors;
        return f;
    };
    const char* const props[] = {"matrix", "colorTransform", "concatenatedMatrix",
                                 "concatenatedColorTransform", "pixelBounds"};
    for (int i = 0; i < 5; ++i) {
        Property& p = proto->Put(props[i], Value::Undef(), kDontEnum);
        p.getter = native(TfGet, i);
        p.setter = native(TfSet, i);
    }
    if (rt.clipProto) {
        Property& p = rt.clipProto->Put("transform", Value::Undef(), kDontEnum);
        p.getter = native(ClipTransformGet, 0);
        p.setter = native(ClipTransformSet, 0);
    }
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
    InstallMatrixAndRectangle(rt, geom, ctor);
    InstallTransform(rt, geom);
}

} // namespace zembra::avm1
