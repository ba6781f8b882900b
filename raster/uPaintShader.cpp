#include "raster/uPaintShader.h"
#include "raster/uPixel.h"

#include <algorithm>
#include <cmath>

namespace zembra::raster {

namespace {

template <SpreadMode S> inline int SpreadIndex(float t) {
    if (!(t == t)) // NaN
        t = 0;
    if (S == SpreadMode::Pad) {
        t = std::clamp(t, 0.0f, 1.0f);
    } else if (S == SpreadMode::Repeat) {
        t = std::clamp(t, -1e6f, 1e6f);
        t -= std::floor(t);
    } else {
        t = std::fabs(std::clamp(t, -1e6f, 1e6f));
        t -= 2.0f * std::floor(t * 0.5f);
        if (t > 1.0f)
            t = 2.0f - t;
    }
    return static_cast<int>(t * 255.0f + 0.5f) & 255;
}

// Table index of a position counted in entries (256 a period when spreading).
template <SpreadMode S> inline int FixedIndex(int64_t v) {
    if (S == SpreadMode::Pad)
        return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
    if (S == SpreadMode::Repeat)
        return static_cast<int>(v & 255);
    const int w = static_cast<int>(v & 511);
    return w < 256 ? w : 511 - w;
}

// Bitmap coordinates far outside any bitmap are all alike; keeping them
// small keeps the integer conversions defined.
inline double Bounded(double v) {
    if (!(v > -1e9))
        return -1e9;
    return v < 1e9 ? v : 1e9;
}

inline long long Wrap(long long v, int size) {
    const long long m = v % size;
    return m < 0 ? m + size : m;
}

// (a * (256 - f) + b * f) / 256 per channel, f in 0..256.
inline uint32_t Lerp256(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    const uint32_t ag = (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
    return rb | ag;
}

} // namespace

bool PaintShader::Prepare(const Paint& paint, const Matrix& toPixels, const ColorTransform& color,
                          bool smoothAllowed) {
    kind_ = paint.kind;
    solid_ = false;
    opaque_ = false;
    bitmap_ = nullptr;
    spread_ = paint.spread;
    switch (paint.kind) {
    case Paint::Kind::Solid: {
        const Rgba c = color.Apply(paint.color);
        solid_ = true;
        solidColor_ = Premultiply(c);
        opaque_ = c.a == 255;
        return c.a != 0;
    }
    case Paint::Kind::Linear:
    case Paint::Kind::Radial:
    case Paint::Kind::Focal: {
        table_ = &gradients_.Get(paint.stops, paint.interpolation, color);
        if (table_->Transparent())
            return false;
        opaque_ = table_->Opaque();
        if (!toPixels.Concat(paint.matrix).Invert(inverse_)) {
            // A gradient squeezed to nothing: its last colour fills the shape.
            solid_ = true;
            solidColor_ = table_->Colors()[GradientTable::kSize - 1];
            return true;
        }
        focal_ = std::clamp(paint.focalPoint, -0.99, 0.99);
        if (!(focal_ == focal_))
            focal_ = 0;
        return true;
    }
    case Paint::Kind::Bitmap: {
        const Bitmap* b = paint.bitmap.get();
        if (!b || b->width <= 0 || b->height <= 0 ||
            // 64-bit: the product must not wrap where size_t is 32 bits.
            static_cast<uint64_t>(b->pixels.size()) <
                static_cast<uint64_t>(b->width) * static_cast<uint64_t>(b->height))
            return false;
        if (!toPixels.Concat(paint.matrix).Invert(inverse_))
            return false;
        bitmap_ = b;
        repeat_ = paint.repeat;
        smooth_ = paint.smooth && smoothAllowed;
        transformColors_ = !color.IsIdentity();
        color_ = color;
        return true;
    }
    }
    return false;
}

void PaintShader::Shade(int y, int x, int len, uint32_t* out) const {
    if (solid_) {
        std::fill(out, out + len, solidColor_);
        return;
    }
    const double px = x + 0.5, py = y + 0.5;
    switch (kind_) {
    case Paint::Kind::Linear:
        if (spread_ == SpreadMode::Pad)
            ShadeLinear<SpreadMode::Pad>(px, py, len, out);
        else if (spread_ == SpreadMode::Repeat)
            ShadeLinear<SpreadMode::Repeat>(px, py, len, out);
        else
            ShadeLinear<SpreadMode::Reflect>(px, py, len, out);
        break;
    case Paint::Kind::Radial:
        if (spread_ == SpreadMode::Pad)
            // Padded circles match the player taken at the pixel's corner.
            ShadeRadial<SpreadMode::Pad>(x, y, len, out);
        else if (spread_ == SpreadMode::Repeat)
            ShadeRadial<SpreadMode::Repeat>(px, py, len, out);
        else
            ShadeRadial<SpreadMode::Reflect>(px, py, len, out);
        break;
    case Paint::Kind::Focal:
        if (spread_ == SpreadMode::Pad)
            ShadeFocal<SpreadMode::Pad>(px, py, len, out);
        else if (spread_ == SpreadMode::Repeat)
            ShadeFocal<SpreadMode::Repeat>(px, py, len, out);
        else
            ShadeFocal<SpreadMode::Reflect>(px, py, len, out);
        break;
    case Paint::Kind::Bitmap:
        ShadeBitmap(px, py, len, out);
        break;
    case Paint::Kind::Solid:
        break;
    }
}

template <SpreadMode S>
void PaintShader::ShadeLinear(double px, double py, int len, uint32_t* out) const {
    // t = (gx + 16384) / 32768 steps by a constant per pixel: table
    // positions in 16.16 fixed point (256 a period when spreading).
    const Matrix& m = inverse_;
    const double scale = (S == SpreadMode::Pad ? 255.0 : 256.0) * 65536.0;
    const double t0 = std::clamp((m.a * px + m.c * py + m.tx + 16384.0) / 32768.0, -1e6, 1e6);
    const double step = std::clamp(m.a / 32768.0, -1e3, 1e3);
    int64_t pos = static_cast<int64_t>(t0 * scale + (S == SpreadMode::Pad ? 32768.0 : 0.0));
    const int64_t delta = static_cast<int64_t>(step * scale);
    const uint32_t* colors = table_->Colors();
    if (delta == 0) { // a gradient across the rows: one colour a row
        std::fill(out, out + len, colors[FixedIndex<S>(pos >> 16)]);
        return;
    }
    for (int i = 0; i < len; ++i, pos += delta)
        out[i] = colors[FixedIndex<S>(pos >> 16)];
}

template <SpreadMode S>
void PaintShader::ShadeRadial(double px, double py, int len, uint32_t* out) const {
    // Distances a chunk at a time in a loop the compiler can vectorise, then
    // the lookups.
    const Matrix& m = inverse_;
    const float gx =
        static_cast<float>(std::clamp((m.a * px + m.c * py + m.tx) / 16384.0, -1e7, 1e7));
    const float gy =
        static_cast<float>(std::clamp((m.b * px + m.d * py + m.ty) / 16384.0, -1e7, 1e7));
    const float dx = static_cast<float>(std::clamp(m.a / 16384.0, -1e3, 1e3));
    const float dy = static_cast<float>(std::clamp(m.b / 16384.0, -1e3, 1e3));
    const uint32_t* colors = table_->Colors();
    constexpr int kChunk = 64;
    float dist[kChunk];
    for (int start = 0; start < len; start += kChunk) {
        const int n = std::min(kChunk, len - start);
        for (int j = 0; j < n; ++j) {
            const float k = static_cast<float>(start + j);
            const float x = gx + dx * k, y = gy + dy * k;
            dist[j] = std::sqrt(x * x + y * y);
        }
        if (S == SpreadMode::Pad) {
            // The entry below the nearest one: bands of one entry (stops
            // at one ratio) then fall where the player draws them.
            for (int j = 0; j < n; ++j)
                out[start + j] =
                    colors[static_cast<int>(std::clamp(dist[j] * 255.0f - 0.5f, 0.0f, 255.0f))];
        } else {
            for (int j = 0; j < n; ++j)
                out[start + j] = colors[SpreadIndex<S>(dist[j])];
        }
    }
}

template <SpreadMode S>
void PaintShader::ShadeFocal(double px, double py, int len, uint32_t* out) const {
    // The ratio runs from the focal point F (0) to the unit circle (1) along
    // each ray from F: t = |d|^2 / (sqrt((F.d)^2 - |d|^2 (|F|^2 - 1)) - F.d)
    // for d = p - F.
    const Matrix& m = inverse_;
    const float f = static_cast<float>(focal_);
    const float k = 1.0f / 16384.0f;
    float gx = static_cast<float>(std::clamp((m.a * px + m.c * py + m.tx) / 16384.0, -1e7, 1e7));
    float gy = static_cast<float>(std::clamp((m.b * px + m.d * py + m.ty) / 16384.0, -1e7, 1e7));
    const float dx = static_cast<float>(m.a) * k, dy = static_cast<float>(m.b) * k;
    const float ff1 = f * f - 1.0f;
    const uint32_t* colors = table_->Colors();
    for (int i = 0; i < len; ++i) {
        const float ux = gx - f, uy = gy;
        const float dd = ux * ux + uy * uy;
        const float fd = f * ux;
        const float denom = std::sqrt(fd * fd - dd * ff1) - fd;
        const float t = denom > 0 ? dd / denom : 0.0f;
        out[i] = colors[SpreadIndex<S>(t)];
        gx += dx;
        gy += dy;
    }
}

uint32_t PaintShader::Texel(long long u, long long v) const {
    const int w = bitmap_->width, h = bitmap_->height;
    if (repeat_) {
        u = Wrap(u, w);
        v = Wrap(v, h);
    } else {
        u = std::clamp<long long>(u, 0, w - 1);
        v = std::clamp<long long>(v, 0, h - 1);
    }
    return bitmap_
        ->pixels[static_cast<size_t>(v) * static_cast<size_t>(w) + static_cast<size_t>(u)];
}

void PaintShader::ShadeBitmap(double px, double py, int len, uint32_t* out) const {
    const Matrix& m = inverse_;
    for (int i = 0; i < len; ++i) {
        const double x = px + i;
        double u = Bounded(m.a * x + m.c * py + m.tx);
        double v = Bounded(m.b * x + m.d * py + m.ty);
        uint32_t c;
        if (smooth_) {
            u -= 0.5;
            v -= 0.5;
            const double fu = std::floor(u), fv = std::floor(v);
            const long long iu = static_cast<long long>(fu), iv = static_cast<long long>(fv);
            const uint32_t wu = static_cast<uint32_t>((u - fu) * 256.0 + 0.5);
            const uint32_t wv = static_cast<uint32_t>((v - fv) * 256.0 + 0.5);
            const uint32_t top = Lerp256(Texel(iu, iv), Texel(iu + 1, iv), wu);
            const uint32_t bottom = Lerp256(Texel(iu, iv + 1), Texel(iu + 1, iv + 1), wu);
            c = Lerp256(top, bottom, wv);
        } else {
            c = Texel(static_cast<long long>(std::floor(u)), static_cast<long long>(std::floor(v)));
        }
        if (transformColors_)
            c = Premultiply(color_.Apply(Unpremultiply(c)));
        out[i] = c;
    }
}

} // namespace zembra::raster
