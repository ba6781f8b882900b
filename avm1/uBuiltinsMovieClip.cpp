// MovieClip methods: each asks the host about the clip it is called on.
#include <algorithm>
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

ClipId ThisClip(const Value& thisv) {
    Object* o = thisv.AsObject();
    return (o && o->kind == ObjKind::Clip) ? o->clip : 0;
}

enum { kPlay, kStop, kNext, kPrev, kGotoPlay, kGotoStop };

Value Timeline(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    Host& h = rt.host();
    switch (self->nativeTag) {
    case kPlay:
        h.Play(c);
        break;
    case kStop:
        h.Stop(c);
        break;
    case kNext:
        h.NextFrame(c);
        break;
    case kPrev:
        h.PrevFrame(c);
        break;
    default: {
        bool play = self->nativeTag == kGotoPlay;
        const Value& f = Arg(args, 0);
        if (f.IsString() || f.IsObject()) {
            // "path:frame" names a frame of another clip, from this one;
            // objects count by their text.
            std::string frame = f.IsString() ? f.AsString() : rt.ToString(f);
            const size_t colon = frame.rfind(':');
            if (colon != std::string::npos) {
                Object* t = rt.ResolveTarget(frame.substr(0, colon), c);
                c = t && t->kind == ObjKind::Clip ? t->clip : 0;
                frame = frame.substr(colon + 1);
                if (!c)
                    break;
            }
            double n = StringToNumber(frame, rt.version());
            if (std::isnan(n))
                h.GotoLabel(c, frame, play);
            else
                h.GotoFrame(c, ToClampedInt(n), play);
        } else {
            double n = rt.ToNumber(f);
            if (std::isnan(n))
                break;
            // The method counts in 32-bit integers: a frame past the end is
            // the last one, one before the first goes nowhere.
            const int32_t index = static_cast<int32_t>(static_cast<uint32_t>(ToInt32(n)) - 1u);
            if (index < 0)
                break;
            const double total = h.GetProperty(c, ClipProp::TotalFrames);
            const int last = total >= 1 ? static_cast<int>(std::min(total, 2147483647.0)) : 1;
            h.GotoFrame(c, std::min(index, last - 1) + 1, play);
        }
    }
    }
    return Value::Undef();
}

// The name and depth a new clip is given, from args[first] on.
struct NewClipArgs {
    std::string name;
    int depth = 0;
};

NewClipArgs ReadNewClip(Runtime& rt, const Args& args, size_t first) {
    NewClipArgs out;
    out.name = StrArg(rt, args, first);
    out.depth = ToInt32(NumArg(rt, args, first + 1));
    return out;
}

// The object of a clip just made, given the properties of `init` (if it is
// an object).
Value NewClipObject(Runtime& rt, ClipId clip, const Value& init) {
    Object* o = rt.ClipObject(clip);
    Object* from = init.AsObject();
    if (o && from) {
        // Copied first: a setter may change the init object meanwhile.
        std::vector<std::pair<std::string, Value>> props;
        for (const Property* p : from->OwnInReverse())
            props.emplace_back(p->name, p->value);
        for (auto& p : props)
            rt.SetMember(o, p.first, p.second);
    }
    return Value::Obj(o);
}

Value CreateEmpty(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    const NewClipArgs a = ReadNewClip(rt, args, 0);
    return NewClipObject(rt, rt.host().CreateEmpty(c, a.name, a.depth), Value::Undef());
}

Value Duplicate(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    const NewClipArgs a = ReadNewClip(rt, args, 0);
    return NewClipObject(rt, rt.host().Duplicate(c, a.name, a.depth), Arg(args, 2));
}

Value Attach(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    const std::string linkage = StrArg(rt, args, 0);
    const NewClipArgs a = ReadNewClip(rt, args, 1);
    return NewClipObject(rt, rt.host().Attach(c, linkage, a.name, a.depth), Arg(args, 3));
}

Value RemoveClip(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (ClipId c = ThisClip(thisv))
        rt.host().Remove(c);
    return Value::Undef();
}

Value GetDepth(Runtime& rt, Object*, const Value& thisv, Args&) {
    ClipId c = ThisClip(thisv);
    return c ? Value::Num(rt.host().Depth(c)) : Value::Undef();
}

Value NextDepth(Runtime& rt, Object*, const Value& thisv, Args&) {
    ClipId c = ThisClip(thisv);
    return c ? Value::Num(rt.host().NextHighestDepth(c)) : Value::Undef();
}

Value AtDepth(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c || args.empty())
        return Value::Undef();
    const double d = NumArg(rt, args, 0);
    if (!std::isfinite(d))
        return Value::Undef();
    ClipId found = rt.host().InstanceAtDepth(c, ToInt32(d));
    return found ? Value::Obj(rt.ClipObject(found)) : Value::Undef();
}

Value StartDrag(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (ClipId c = ThisClip(thisv)) {
        bool lock = rt.ToBoolean(Arg(args, 0));
        double l = NumArg(rt, args, 1), t = NumArg(rt, args, 2);
        double r = NumArg(rt, args, 3), b = NumArg(rt, args, 4);
        rt.host().StartDrag(c, lock, args.size() >= 5, l, t, r, b);
    }
    return Value::Undef();
}

Value StopDrag(Runtime& rt, Object*, const Value&, Args&) {
    rt.host().StopDrag();
    return Value::Undef();
}

Value SwapDepths(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    const Value& target = Arg(args, 0);
    if (Object* o = target.AsObject()) {
        if (o->kind == ObjKind::Clip && o->clip)
            rt.host().SwapWith(c, o->clip);
        return Value::Undef();
    }
    double d = rt.ToNumber(target);
    if (std::isfinite(d))
        rt.host().SwapDepths(c, ToInt32(d));
    return Value::Undef();
}

enum { kToGlobal, kToLocal };

Value ConvertPoint(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    Object* pt = Arg(args, 0).AsObject();
    if (!c || !pt)
        return Value::Undef();
    double x = rt.ToNumber(rt.GetMember(pt, "x"));
    double y = rt.ToNumber(rt.GetMember(pt, "y"));
    rt.host().ConvertPoint(c, x, y, self->nativeTag == kToGlobal);
    rt.SetMember(pt, "x", Value::Num(x));
    rt.SetMember(pt, "y", Value::Num(y));
    return Value::Undef();
}

Value GetBounds(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    ClipId space = c;
    if (!args.empty()) {
        Object* o = Arg(args, 0).AsObject();
        if (!o && Arg(args, 0).IsString())
            o = rt.ResolveTarget(rt.ToString(Arg(args, 0)), c);
        if (!o || o->kind != ObjKind::Clip || !o->clip)
            return Value::Undef();
        space = o->clip;
    }
    double x0 = 6710886.35, y0 = 6710886.35, x1 = 6710886.35, y1 = 6710886.35;
    if (!rt.host().Bounds(c, space, x0, y0, x1, y1))
        x0 = y0 = x1 = y1 = 6710886.35; // what the player gives for nothing drawn
    Object* r = rt.NewPlain();
    rt.SetMember(r, "xMin", Value::Num(x0));
    rt.SetMember(r, "xMax", Value::Num(x1));
    rt.SetMember(r, "yMin", Value::Num(y0));
    rt.SetMember(r, "yMax", Value::Num(y1));
    return Value::Obj(r);
}

Value HitTest(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    if (args.size() >= 2) {
        double x = NumArg(rt, args, 0), y = NumArg(rt, args, 1);
        bool shape = rt.ToBoolean(Arg(args, 2));
        return Value::Bool(rt.host().HitTestPoint(c, x, y, shape));
    }
    Object* o = Arg(args, 0).AsObject();
    if (!o && Arg(args, 0).IsString())
        o = rt.ResolveTarget(rt.ToString(Arg(args, 0)), c);
    if (!o || o->kind != ObjKind::Clip || !o->clip)
        return Value::Bool(false);
    return Value::Bool(rt.host().HitTestClip(c, o->clip));
}

// ---- The drawing API

enum { kMoveTo, kLineTo, kCurveTo };

Value DrawPath(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    const size_t need = self->nativeTag == kCurveTo ? 4 : 2;
    if (args.size() < need)
        return Value::Undef();
    double v[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < need; ++i)
        v[i] = NumArg(rt, args, i);
    if (self->nativeTag == kCurveTo)
        rt.host().DrawPath(c, 2, v[0], v[1], v[2], v[3]);
    else
        rt.host().DrawPath(c, self->nativeTag == kMoveTo ? 0 : 1, 0, 0, v[0], v[1]);
    return Value::Undef();
}

Value DrawClear(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (ClipId c = ThisClip(thisv))
        rt.host().DrawClear(c);
    return Value::Undef();
}

uint32_t ColorArg(Runtime& rt, const Value& v) {
    return ToUint32(rt.ToNumber(v)) & 0xffffff;
}

Value BeginFill(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    if (args.empty() || Arg(args, 0).IsUndefined()) {
        rt.host().DrawFillStyle(c, nullptr);
        return Value::Undef();
    }
    DrawFill fill;
    fill.colors.push_back(ColorArg(rt, Arg(args, 0)));
    fill.alphas.push_back(args.size() > 1 ? NumArg(rt, args, 1) : 100);
    rt.host().DrawFillStyle(c, &fill);
    return Value::Undef();
}

Value EndFill(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (ClipId c = ThisClip(thisv))
        rt.host().DrawFillStyle(c, nullptr);
    return Value::Undef();
}

// The gradient arguments of beginGradientFill and lineGradientStyle:
// type, colors, alphas, ratios, matrix[, spread, interpolation, focal].
// False when they describe no gradient: a call the player ignores whole.
bool ReadGradient(Runtime& rt, Args& args, DrawFill& out) {
    if (args.size() < 5 || args.size() > 8)
        return false;
    const std::string type = StrArg(rt, args, 0);
    if (type == "linear")
        out.kind = DrawFill::Kind::Linear;
    else if (type == "radial")
        out.kind = DrawFill::Kind::Radial;
    else
        return false;
    Object* colors = Arg(args, 1).AsObject();
    Object* alphas = Arg(args, 2).AsObject();
    Object* ratios = Arg(args, 3).AsObject();
    Object* m = Arg(args, 4).AsObject();
    if (!colors || !alphas || !ratios || !m)
        return false;
    // One stop per colour: arrays of different lengths describe none.
    const double n = rt.ArrayLength(colors);
    if (!(n >= 1) || rt.ArrayLength(alphas) != n || rt.ArrayLength(ratios) != n)
        return false;
    const uint32_t stops = static_cast<uint32_t>(std::min(n, double(DrawFill::kMaxStops)));
    for (uint32_t i = 0; i < stops; ++i) {
        // Ratios are whole steps 0..255; one outside makes the call void
        // (NaN counts as 0).
        const double ratio = rt.ToNumber(rt.ArrayGet(ratios, i));
        if (ratio <= -1 || ratio >= 256)
            return false;
        out.colors.push_back(ColorArg(rt, rt.ArrayGet(colors, i)));
        out.alphas.push_back(rt.ToNumber(rt.ArrayGet(alphas, i)));
        out.ratios.push_back(std::isnan(ratio) ? 0 : std::trunc(ratio));
    }
    auto num = [&](const char* name) { return rt.ToNumber(rt.GetMember(m, name)); };
    if (rt.ToString(rt.GetMember(m, "matrixType")) == "box") {
        const double w = num("w"), h = num("h"), r = num("r");
        const double sx = w / 1638.4, sy = h / 1638.4;
        out.matrix[0] = std::cos(r) * sx;
        out.matrix[1] = std::sin(r) * sy;
        out.matrix[2] = -std::sin(r) * sx;
        out.matrix[3] = std::cos(r) * sy;
        out.matrix[4] = num("x") + w / 2;
        out.matrix[5] = num("y") + h / 2;
    } else if (rt.HasProperty(m, "tx")) {
        const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i)
            out.matrix[i] = num(names[i]);
    } else {
        // The 3x3 form: a b / d e / g h.
        const char* names[] = {"a", "b", "d", "e", "g", "h"};
        for (int i = 0; i < 6; ++i)
            out.matrix[i] = num(names[i]);
    }
    const std::string spread = args.size() > 5 ? StrArg(rt, args, 5) : std::string();
    out.spread = spread == "reflect" ? 1 : (spread == "repeat" ? 2 : 0);
    out.linearRgb = args.size() > 6 && StrArg(rt, args, 6) == "linearRGB";
    out.focal = args.size() > 7 ? NumArg(rt, args, 7) : 0;
    return true;
}

Value BeginGradientFill(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    // No type at all ends the fill, as beginFill() does; any other bad
    // argument leaves the current fill alone.
    if (Arg(args, 0).IsUndefined()) {
        rt.host().DrawFillStyle(c, nullptr);
        return Value::Undef();
    }
    DrawFill fill;
    if (ReadGradient(rt, args, fill))
        rt.host().DrawFillStyle(c, &fill);
    return Value::Undef();
}

Value LineGradientStyle(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    DrawFill fill;
    if (ReadGradient(rt, args, fill))
        rt.host().DrawLineFill(c, fill);
    return Value::Undef();
}

// setMask(mask): a clip, or a target path; null or undefined takes the mask
// away. True when done, false when the mask names no clip.
Value SetMask(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c || args.empty())
        return Value::Undef();
    const Value& m = args[0];
    if (m.IsNullish()) {
        rt.host().SetMask(c, 0);
        return Value::Bool(true);
    }
    Object* mask = nullptr;
    if (m.IsObject())
        mask = m.AsObject();
    else if (m.IsString() || m.IsNumber())
        mask = rt.ResolveTarget(rt.ToString(m), rt.host().Parent(c));
    const ClipId id = ThisClip(Value::Obj(mask));
    if (!id)
        return Value::Bool(false);
    rt.host().SetMask(c, id);
    return Value::Bool(true);
}

Value LineStyle(Runtime& rt, Object*, const Value& thisv, Args& args) {
    ClipId c = ThisClip(thisv);
    if (!c)
        return Value::Undef();
    if (args.empty() || Arg(args, 0).IsUndefined()) {
        rt.host().DrawLineStyle(c, nullptr);
        return Value::Undef();
    }
    DrawLine line;
    line.width = NumArg(rt, args, 0);
    line.color = args.size() > 1 ? ColorArg(rt, Arg(args, 1)) : 0;
    line.alpha = args.size() > 2 ? NumArg(rt, args, 2) : 100;
    line.pixelHinting = rt.ToBoolean(Arg(args, 3));
    const std::string scale = args.size() > 4 ? StrArg(rt, args, 4) : std::string("normal");
    line.scale = scale == "none" ? 1 : scale == "vertical" ? 2 : scale == "horizontal" ? 3 : 0;
    const std::string caps = args.size() > 5 ? StrArg(rt, args, 5) : std::string();
    line.caps = caps == "none" ? 1 : caps == "square" ? 2 : 0;
    const std::string joints = args.size() > 6 ? StrArg(rt, args, 6) : std::string();
    line.joints = joints == "bevel" ? 1 : joints == "miter" ? 2 : 0;
    line.miterLimit = args.size() > 7 ? NumArg(rt, args, 7) : 3;
    rt.host().DrawLineStyle(c, &line);
    return Value::Undef();
}

Value ClipToString(Runtime& rt, Object*, const Value& thisv, Args&) {
    // On anything but a clip (the prototype itself) it is Object's text.
    ClipId c = ThisClip(thisv);
    return Value::Str(c ? rt.ClipPath(c, false) : std::string("[object Object]"));
}

Value GetUrl(Runtime& rt, Object*, const Value&, Args& args) {
    std::string method = StrArg(rt, args, 2);
    int m = method == "GET" ? 1 : (method == "POST" ? 2 : 0);
    rt.host().GetUrl(StrArg(rt, args, 0), args.size() > 1 ? StrArg(rt, args, 1) : std::string(), m);
    return Value::Undef();
}

} // namespace

void InstallMovieClip(Runtime& rt) {
    rt.clipProto = rt.NewPlain();
    Object* p = rt.clipProto;
    Object* ctor = rt.NewFunctionObject();
    ctor->Put("prototype", Value::Obj(p), kDontEnum | kDontDelete);
    p->Put("constructor", Value::Obj(ctor), kDontEnum);
    rt.global->Put("MovieClip", Value::Obj(ctor), kDontEnum);
    Def(rt, p, "play", Timeline, kPlay);
    Def(rt, p, "stop", Timeline, kStop);
    Def(rt, p, "nextFrame", Timeline, kNext);
    Def(rt, p, "prevFrame", Timeline, kPrev);
    Def(rt, p, "gotoAndPlay", Timeline, kGotoPlay);
    Def(rt, p, "gotoAndStop", Timeline, kGotoStop);
    Def(rt, p, "createEmptyMovieClip", CreateEmpty);
    Def(rt, p, "duplicateMovieClip", Duplicate);
    Def(rt, p, "attachMovie", Attach);
    Def(rt, p, "removeMovieClip", RemoveClip);
    Def(rt, p, "getDepth", GetDepth);
    Def(rt, p, "getNextHighestDepth", NextDepth);
    Def(rt, p, "getInstanceAtDepth", AtDepth);
    Def(rt, p, "startDrag", StartDrag);
    Def(rt, p, "stopDrag", StopDrag);
    Def(rt, p, "toString", ClipToString);
    Def(rt, p, "getURL", GetUrl);
    Def(rt, p, "swapDepths", SwapDepths);
    Def(rt, p, "localToGlobal", ConvertPoint, kToGlobal);
    Def(rt, p, "globalToLocal", ConvertPoint, kToLocal);
    Def(rt, p, "getBounds", GetBounds);
    Def(rt, p, "getRect", GetBounds);
    Def(rt, p, "hitTest", HitTest);
    Def(rt, p, "clear", DrawClear);
    Def(rt, p, "moveTo", DrawPath, kMoveTo);
    Def(rt, p, "lineTo", DrawPath, kLineTo);
    Def(rt, p, "curveTo", DrawPath, kCurveTo);
    Def(rt, p, "beginFill", BeginFill);
    Def(rt, p, "beginGradientFill", BeginGradientFill);
    Def(rt, p, "endFill", EndFill);
    Def(rt, p, "lineStyle", LineStyle);
    Def(rt, p, "lineGradientStyle", LineGradientStyle);
    Def(rt, p, "setMask", SetMask);
}

} // namespace zembra::avm1
