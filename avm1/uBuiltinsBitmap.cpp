// flash.display.BitmapData: script access to a raster::BitmapData kept in
// the object's native data. A disposed picture answers -1 to nearly
// everything, as the player's does; rectangles and points are read
// duck-typed from any object with the right members.
#include <cmath>
#include <memory>

#include "avm1/uBuiltinUtil.h"
#include "raster/uBitmapData.h"

namespace zembra::avm1 {

namespace {

struct BitmapHolder : NativeData {
    // Shared with the display list where attached; null once disposed.
    std::shared_ptr<raster::BitmapData> pixels;
};

// Natives keep the BitmapData constructor in extra[0], the Rectangle
// constructor in extra[1].
Object* BitmapCtorOf(Object* self) {
    return self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
}

BitmapHolder* HolderOf(const Value& v) {
    Object* o = v.AsObject();
    return o ? dynamic_cast<BitmapHolder*>(o->nativeData.get()) : nullptr;
}

// The live picture behind a value; null when it is none or disposed.
raster::BitmapData* PixelsOf(const Value& v) {
    BitmapHolder* h = HolderOf(v);
    return h ? h->pixels.get() : nullptr;
}

// Script numbers to pixel coordinates: NaN is 0, the rest is cut toward
// zero within a range no picture reaches.
int Coord(double v) {
    if (!(v == v))
        return 0;
    return static_cast<int>(std::fmax(-1e9, std::fmin(1e9, std::trunc(v))));
}

int CoordArg(Runtime& rt, const Args& args, size_t i) {
    return Coord(NumArg(rt, args, i));
}

uint32_t ColorArg(Runtime& rt, const Args& args, size_t i) {
    return ToUint32(NumArg(rt, args, i));
}

Value Int(int32_t v) {
    return Value::Num(v);
}

Value Argb(uint32_t v) {
    return Value::Num(static_cast<int32_t>(v));
}

raster::PixelRect RectOf(Runtime& rt, const Value& v) {
    return raster::PixelRect{Coord(rt.ToNumber(rt.GetMember(v, "x"))),
                             Coord(rt.ToNumber(rt.GetMember(v, "y"))),
                             Coord(rt.ToNumber(rt.GetMember(v, "width"))),
                             Coord(rt.ToNumber(rt.GetMember(v, "height")))};
}

// An own x and y, as hitTest insists on.
bool OwnPoint(Runtime& rt, const Value& v, int& x, int& y) {
    Object* o = v.AsObject();
    if (!o || !o->Find("x") || !o->Find("y"))
        return false;
    x = Coord(rt.ToNumber(rt.GetMember(o, "x")));
    y = Coord(rt.ToNumber(rt.GetMember(o, "y")));
    return true;
}

Value NewRectangle(Runtime& rt, Object* self, const raster::PixelRect& r) {
    Object* ctor = self && self->extra.size() > 1 ? self->extra[1].AsObject() : nullptr;
    Args a{Value::Num(r.x), Value::Num(r.y), Value::Num(r.w), Value::Num(r.h)};
    return rt.Construct(Value::Obj(ctor), a);
}

Value NewBitmap(Runtime& rt, Object* self, std::unique_ptr<raster::BitmapData> pixels) {
    // Made at the smallest size, then given the pixels.
    Args small{Value::Num(1), Value::Num(1)};
    Value v = rt.Construct(Value::Obj(BitmapCtorOf(self)), small);
    if (BitmapHolder* h = HolderOf(v))
        h->pixels = std::move(pixels);
    return v;
}

Value BitmapCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || rt.constructing != o)
        return Value::Undef();
    const double w = NumArg(rt, args, 0), h = NumArg(rt, args, 1);
    if (!raster::BitmapData::SizeAllowed(w, h, rt.version())) {
        rt.constructionRefused = true;
        return Value::Undef();
    }
    const bool transparent = args.size() > 2 ? rt.ToBoolean(args[2]) : true;
    const uint32_t fill = args.size() > 3 ? ColorArg(rt, args, 3) : 0xFFFFFFFFu;
    auto holder = std::make_unique<BitmapHolder>();
    holder->pixels = std::make_shared<raster::BitmapData>(static_cast<int>(w), static_cast<int>(h),
                                                          transparent, fill);
    o->nativeData = std::move(holder);
    return Value::Undef();
}

// Getters: 0 width, 1 height, 2 transparent, 3 rectangle.
Value BdGet(Runtime& rt, Object* self, const Value& thisv, Args&) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    switch (self->nativeTag) {
    case 0:
        return Int(bd->Width());
    case 1:
        return Int(bd->Height());
    case 2:
        return Value::Bool(bd->Transparent());
    default:
        return NewRectangle(rt, self, raster::PixelRect{0, 0, bd->Width(), bd->Height()});
    }
}

Value BdGetPixel(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd || args.size() < 2)
        return Int(-1);
    const uint32_t p = bd->GetPixel32(CoordArg(rt, args, 0), CoordArg(rt, args, 1));
    return self->nativeTag ? Argb(p) : Int(static_cast<int32_t>(p & 0xFFFFFF));
}

// Tag 0 setPixel, 1 setPixel32.
Value BdSetPixel(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    if (args.size() < 3)
        return Value::Undef();
    const int x = CoordArg(rt, args, 0), y = CoordArg(rt, args, 1);
    if (self->nativeTag)
        bd->SetPixel32(x, y, ColorArg(rt, args, 2));
    else
        bd->SetPixel(x, y, ColorArg(rt, args, 2));
    return Value::Undef();
}

Value BdFillRect(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd || args.size() < 2 || !Arg(args, 0).IsObject())
        return Value::Undef();
    bd->FillRect(RectOf(rt, args[0]), ColorArg(rt, args, 1));
    return Value::Undef();
}

Value BdClone(Runtime& rt, Object* self, const Value& thisv, Args&) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    return NewBitmap(rt, self, std::make_unique<raster::BitmapData>(*bd));
}

Value BdDispose(Runtime&, Object*, const Value& thisv, Args&) {
    BitmapHolder* h = HolderOf(thisv);
    if (!h || !h->pixels)
        return Int(-1);
    h->pixels.reset();
    return Value::Undef();
}

// copyPixels(src, srcRect, destPoint, alphaBitmap, alphaPoint, mergeAlpha)
Value BdCopyPixels(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    raster::BitmapData* src = PixelsOf(Arg(args, 0));
    if (!src || args.size() < 3)
        return Value::Undef();
    const raster::PixelRect from = RectOf(rt, args[1]);
    const int dx = Coord(rt.ToNumber(rt.GetMember(args[2], "x")));
    const int dy = Coord(rt.ToNumber(rt.GetMember(args[2], "y")));
    raster::BitmapData* alpha = PixelsOf(Arg(args, 3));
    int ax = 0, ay = 0;
    if (alpha && Arg(args, 4).IsObject()) {
        ax = Coord(rt.ToNumber(rt.GetMember(args[4], "x")));
        ay = Coord(rt.ToNumber(rt.GetMember(args[4], "y")));
    }
    bd->CopyPixels(*src, from, dx, dy, alpha, ax, ay, rt.ToBoolean(Arg(args, 5)));
    return Value::Undef();
}

// copyChannel(src, srcRect, destPoint, srcChannel, destChannel)
Value BdCopyChannel(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    raster::BitmapData* src = PixelsOf(Arg(args, 0));
    if (!src || args.size() < 5)
        return Value::Undef();
    bd->CopyChannel(*src, RectOf(rt, args[1]), Coord(rt.ToNumber(rt.GetMember(args[2], "x"))),
                    Coord(rt.ToNumber(rt.GetMember(args[2], "y"))), ColorArg(rt, args, 3),
                    ColorArg(rt, args, 4));
    return Value::Undef();
}

// colorTransform(rect, colorTransform)
Value BdColorTransform(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    Object* ctClass = nullptr;
    if (Object* flash = rt.GetMember(rt.global, "flash").AsObject())
        ctClass = rt.GetMember(rt.GetMember(flash, "geom"), "ColorTransform").AsObject();
    if (args.size() < 2 || !rt.InstanceOf(args[1].AsObject(), ctClass))
        return Value::Undef();
    const char* const names[8] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                  "alphaMultiplier", "redOffset",       "greenOffset",
                                  "blueOffset",      "alphaOffset"};
    double v[8];
    for (int i = 0; i < 8; ++i)
        v[i] = rt.ToNumber(rt.GetMember(args[1], names[i]));
    bd->ColorTransform(RectOf(rt, args[0]), v, v + 4);
    return Value::Undef();
}

bool TestOf(const std::string& op, raster::BitmapData::Test& out) {
    using T = raster::BitmapData::Test;
    static const std::pair<const char*, T> ops[] = {{"<", T::Less},    {"<=", T::LessEqual},
                                                    {">", T::Greater}, {">=", T::GreaterEqual},
                                                    {"==", T::Equal},  {"!=", T::NotEqual}};
    for (auto& o : ops)
        if (op == o.first) {
            out = o.second;
            return true;
        }
    return false;
}

// threshold(src, srcRect, destPoint, op, threshold, color, mask, copySource)
Value BdThreshold(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    raster::BitmapData* src = PixelsOf(Arg(args, 0));
    raster::BitmapData::Test test;
    if (!src || args.size() < 5 || !TestOf(rt.ToString(args[3]), test))
        return Int(0);
    const uint32_t color = args.size() > 5 ? ColorArg(rt, args, 5) : 0;
    const uint32_t mask = args.size() > 6 ? ColorArg(rt, args, 6) : 0xFFFFFFFFu;
    const uint32_t hits =
        bd->Threshold(*src, RectOf(rt, args[1]), Coord(rt.ToNumber(rt.GetMember(args[2], "x"))),
                      Coord(rt.ToNumber(rt.GetMember(args[2], "y"))), test, ColorArg(rt, args, 4),
                      color, mask, rt.ToBoolean(Arg(args, 7)));
    return Value::Num(hits);
}

uint32_t Threshold255(Runtime& rt, const Value& v) {
    return ToUint32(rt.ToNumber(v)) & 0xFF;
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondPoint,
// secondAlphaThreshold): errors are -2 (first point), -3 (second object),
// -4 (second point).
Value BdHitTest(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    int x1, y1;
    if (!OwnPoint(rt, Arg(args, 0), x1, y1))
        return Int(-2);
    const uint32_t t1 = Threshold255(rt, Arg(args, 1));
    const Value& second = Arg(args, 2);
    if (HolderOf(second)) {
        raster::BitmapData* other = PixelsOf(second);
        if (!other)
            return Int(-3);
        int x2, y2;
        if (!OwnPoint(rt, Arg(args, 3), x2, y2))
            return Int(-4);
        const uint32_t t2 = args.size() > 4 ? Threshold255(rt, args[4]) : 1;
        return Value::Bool(bd->HitBitmap(x1, y1, t1, *other, x2, y2, t2));
    }
    Object* o = second.AsObject();
    if (o && o->Find("width") && o->Find("height") && o->Find("x") && o->Find("y")) {
        raster::PixelRect r = RectOf(rt, second);
        r.x -= x1, r.y -= y1;
        return Value::Bool(bd->HitRect(r, t1));
    }
    int px, py;
    if (!OwnPoint(rt, second, px, py))
        return Int(-3);
    (void)self;
    return Value::Bool(bd->HitPoint(px - x1, py - y1, t1));
}

Value BdCompare(Runtime&, Object* self, const Value& thisv, Args& args);

// floodFill(x, y, color)
Value BdFloodFill(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    if (args.size() >= 3)
        bd->FloodFill(CoordArg(rt, args, 0), CoordArg(rt, args, 1), ColorArg(rt, args, 2));
    return Value::Undef();
}

// getColorBoundsRect(mask, color, findColor = true)
Value BdColorBounds(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    if (args.size() < 2)
        return Int(-1);
    const bool find = args.size() > 2 ? rt.ToBoolean(args[2]) : true;
    return NewRectangle(rt, self,
                        bd->ColorBounds(ColorArg(rt, args, 0), ColorArg(rt, args, 1), find));
}

// noise(seed, low = 0, high = 255, channels = 7, grayScale = false)
Value BdNoise(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    if (args.empty())
        return Value::Undef();
    const int low = args.size() > 1 ? CoordArg(rt, args, 1) : 0;
    const int high = args.size() > 2 ? CoordArg(rt, args, 2) : 255;
    const uint32_t channels = args.size() > 3 ? ColorArg(rt, args, 3) : 7;
    bd->Noise(ColorArg(rt, args, 0), low, high, channels, rt.ToBoolean(Arg(args, 4)));
    return Value::Undef();
}

Value BdScroll(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    if (args.size() >= 2)
        bd->Scroll(CoordArg(rt, args, 0), CoordArg(rt, args, 1));
    return Value::Undef();
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a
// BitmapData source is copied through the matrix; clips through the host.
Value BdDraw(Runtime& rt, Object*, const Value& thisv, Args& args) {
    raster::BitmapData* bd = PixelsOf(thisv);
    if (!bd)
        return Int(-1);
    double m[6] = {1, 0, 0, 1, 0, 0};
    if (Arg(args, 1).IsObject()) {
        const char* const names[6] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i)
            m[i] = rt.ToNumber(rt.GetMember(args[1], names[i]));
    }
    raster::PixelRect clip{0, 0, bd->Width(), bd->Height()};
    if (Arg(args, 4).IsObject())
        clip = RectOf(rt, args[4]);
    if (raster::BitmapData* src = PixelsOf(Arg(args, 0))) {
        if (src == bd) {
            const raster::BitmapData copy(*src);
            bd->DrawBitmap(copy, m, clip);
        } else {
            bd->DrawBitmap(*src, m, clip);
        }
        return Value::Undef();
    }
    Object* o = Arg(args, 0).AsObject();
    if (o && o->kind == ObjKind::Clip && o->clip) {
        std::vector<uint32_t> frame;
        if (rt.host().RenderClip(o->clip, m, bd->Width(), bd->Height(), frame))
            bd->DrawFrame(frame, clip);
    }
    return Value::Undef();
}

// MovieClip.attachBitmap(bitmap, depth, pixelSnapping, smoothing)
Value ClipAttachBitmap(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    BitmapHolder* h = HolderOf(Arg(args, 0));
    if (!o || o->kind != ObjKind::Clip || !o->clip || !h || !h->pixels || args.size() < 2)
        return Value::Undef();
    const double depth = NumArg(rt, args, 1);
    if (!std::isfinite(depth))
        return Value::Undef();
    rt.host().AttachBitmap(o->clip, h->pixels, Coord(depth), rt.ToBoolean(Arg(args, 3)));
    return Value::Undef();
}

// Methods the engine does not run yet: a disposed picture still says -1.
Value BdNotYet(Runtime&, Object*, const Value& thisv, Args&) {
    if (!PixelsOf(thisv))
        return Int(-1);
    return Value::Undef();
}

Value BdNotYetAlways(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

} // namespace

namespace {

Value BdCompare(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    raster::BitmapData* a = PixelsOf(thisv);
    if (!a)
        return Int(-1);
    raster::BitmapData* b = PixelsOf(Arg(args, 0));
    if (!b)
        return Int(-2);
    std::vector<uint32_t> diff;
    const int r = raster::BitmapData::Compare(*a, *b, diff);
    if (r <= 0)
        return Int(r);
    auto out = std::make_unique<raster::BitmapData>(a->Width(), a->Height(), true, 0);
    for (int y = 0; y < a->Height(); ++y)
        for (int x = 0; x < a->Width(); ++x)
            out->SetPixel32(x, y, diff[static_cast<size_t>(y) * a->Width() + x]);
    return NewBitmap(rt, self, std::move(out));
}

} // namespace

void InstallBitmap(Runtime& rt) {
    Object* flash = rt.GetMember(rt.global, "flash").AsObject();
    Object* display = flash ? rt.GetMember(flash, "display").AsObject() : nullptr;
    Object* geom = flash ? rt.GetMember(flash, "geom").AsObject() : nullptr;
    if (!display || !geom)
        return;
    Object* rectCtor = rt.GetMember(geom, "Rectangle").AsObject();
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(BitmapCtor);
    ctor->nativeCtor = BitmapCtor;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    display->Put("BitmapData", Value::Obj(ctor));
    ctor->Put("RED_CHANNEL", Value::Num(raster::kRed));
    ctor->Put("GREEN_CHANNEL", Value::Num(raster::kGreen));
    ctor->Put("BLUE_CHANNEL", Value::Num(raster::kBlue));
    ctor->Put("ALPHA_CHANNEL", Value::Num(raster::kAlpha));

    auto mark = [&](Object* f) {
        f->extra.push_back(Value::Obj(ctor));
        f->extra.push_back(Value::Obj(rectCtor));
        return f;
    };
    auto def = [&](const char* name, NativeFn fn, int tag = 0) {
        mark(Def(rt, proto, name, fn, tag));
    };
    const char* const getters[] = {"width", "height", "transparent", "rectangle"};
    for (int i = 0; i < 4; ++i) {
        Property& p = proto->Put(getters[i], Value::Undef(), kDontEnum);
        p.getter = mark(rt.NewNative(BdGet, i));
        p.setter = rt.NewNative(BdNotYetAlways);
    }
    def("getPixel", BdGetPixel, 0);
    def("getPixel32", BdGetPixel, 1);
    def("setPixel", BdSetPixel, 0);
    def("setPixel32", BdSetPixel, 1);
    def("fillRect", BdFillRect);
    def("clone", BdClone);
    def("dispose", BdDispose);
    def("copyPixels", BdCopyPixels);
    def("copyChannel", BdCopyChannel);
    def("colorTransform", BdColorTransform);
    def("threshold", BdThreshold);
    def("hitTest", BdHitTest);
    def("compare", BdCompare);
    def("floodFill", BdFloodFill);
    def("getColorBoundsRect", BdColorBounds);
    def("noise", BdNoise);
    def("scroll", BdScroll);
    def("draw", BdDraw);
    for (const char* n : {"applyFilter", "generateFilterRect", "merge", "paletteMap", "perlinNoise",
                          "pixelDissolve"})
        def(n, BdNotYet);
    def("loadBitmap", BdNotYetAlways);
    if (rt.clipProto)
        Def(rt, rt.clipProto, "attachBitmap", ClipAttachBitmap);
}

} // namespace zembra::avm1
