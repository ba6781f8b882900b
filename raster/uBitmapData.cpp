#include "raster/uBitmapData.h"

#include <algorithm>
#include <cmath>

namespace zembra::raster {

namespace {

uint32_t Div255(uint32_t v) {
    return (v + 127) / 255;
}

uint32_t Byte(uint32_t p, int shift) {
    return (p >> shift) & 0xFF;
}

// Intersection of two rectangles in 64-bit arithmetic (script values may
// be near the int range).
PixelRect Intersect(PixelRect a, int64_t x, int64_t y, int64_t w, int64_t h) {
    int64_t x0 = std::max<int64_t>(a.x, x), y0 = std::max<int64_t>(a.y, y);
    int64_t x1 = std::min<int64_t>(int64_t(a.x) + a.w, x + w);
    int64_t y1 = std::min<int64_t>(int64_t(a.y) + a.h, y + h);
    if (x1 <= x0 || y1 <= y0)
        return PixelRect{};
    return PixelRect{int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

// Source and destination of a copy between two pictures, both clipped.
struct CopyArea {
    PixelRect src; // in the source
    int dx = 0, dy = 0;
};

CopyArea ClipCopy(PixelRect from, int srcW, int srcH, int64_t dx, int64_t dy, int dstW, int dstH) {
    CopyArea out;
    PixelRect s = Intersect(PixelRect{0, 0, srcW, srcH}, from.x, from.y, from.w, from.h);
    if (s.Empty())
        return out;
    // Where the clipped source lands, then clip that to the destination.
    int64_t tx = dx + (s.x - from.x), ty = dy + (s.y - from.y);
    PixelRect d = Intersect(PixelRect{0, 0, dstW, dstH}, tx, ty, s.w, s.h);
    if (d.Empty())
        return out;
    out.src = PixelRect{int(s.x + (d.x - tx)), int(s.y + (d.y - ty)), d.w, d.h};
    out.dx = d.x;
    out.dy = d.y;
    return out;
}

bool Passes(BitmapData::Test t, uint32_t a, uint32_t b) {
    switch (t) {
    case BitmapData::Test::Less:
        return a < b;
    case BitmapData::Test::LessEqual:
        return a <= b;
    case BitmapData::Test::Greater:
        return a > b;
    case BitmapData::Test::GreaterEqual:
        return a >= b;
    case BitmapData::Test::Equal:
        return a == b;
    case BitmapData::Test::NotEqual:
        return a != b;
    }
    return false;
}

int ChannelShift(uint32_t channel) {
    switch (channel) {
    case kRed:
        return 16;
    case kGreen:
        return 8;
    case kBlue:
        return 0;
    case kAlpha:
        return 24;
    default:
        return -1;
    }
}

} // namespace

// The destination's share is cut down, not rounded, as the player's is.
uint32_t BitmapData::Over(uint32_t p, uint32_t d) const {
    const uint32_t inv = 255 - (p >> 24);
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8)
        out |= std::min<uint32_t>(255, Byte(p, sh) + Byte(d, sh) * inv / 255) << sh;
    return transparent_ ? out : (out | 0xFF000000u);
}

uint32_t PremultiplyArgb(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 255)
        return argb;
    if (a == 0)
        return 0;
    return (a << 24) | (Div255(Byte(argb, 16) * a) << 16) | (Div255(Byte(argb, 8) * a) << 8) |
           Div255(Byte(argb, 0) * a);
}

uint32_t UnpremultiplyArgb(uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 255 || a == 0)
        return a ? p : 0;
    auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
    return (a << 24) | (un(Byte(p, 16)) << 16) | (un(Byte(p, 8)) << 8) | un(Byte(p, 0));
}

bool BitmapData::SizeAllowed(double width, double height, int swfVersion) {
    if (!(width >= 1 && height >= 1))
        return false;
    if (swfVersion < 10)
        return width <= 2880 && height <= 2880;
    return width <= 8191 && height <= 8191 && width * height < 16777216.0;
}

BitmapData::BitmapData(int width, int height, bool transparent, uint32_t fillArgb)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), transparent_(transparent),
      pixels_(static_cast<size_t>(width_) * height_, Store(fillArgb)) {}

uint32_t BitmapData::Store(uint32_t argb) const {
    return transparent_ ? PremultiplyArgb(argb) : (argb | 0xFF000000u);
}

uint32_t BitmapData::GetPixel32(int x, int y) const {
    return UnpremultiplyArgb(Premultiplied(x, y));
}

uint32_t BitmapData::Premultiplied(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return At(x, y);
}

void BitmapData::SetPixel32(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    At(x, y) = Store(argb);
}

void BitmapData::SetPixel(int x, int y, uint32_t rgb) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    const uint32_t alpha = At(x, y) & 0xFF000000u;
    At(x, y) = Store(alpha | (rgb & 0xFFFFFF));
}

void BitmapData::SetPremultiplied(int x, int y, uint32_t p) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    At(x, y) = transparent_ ? p : (UnpremultiplyArgb(p) | 0xFF000000u);
}

PixelRect BitmapData::Clip(PixelRect r) const {
    return Intersect(PixelRect{0, 0, width_, height_}, r.x, r.y, r.w, r.h);
}

void BitmapData::FillRect(PixelRect r, uint32_t argb) {
    r = Clip(r);
    const uint32_t v = Store(argb);
    for (int y = r.y; y < r.y + r.h; ++y)
        std::fill_n(&At(r.x, y), r.w, v);
}

void BitmapData::CopyPixels(const BitmapData& src, PixelRect from, int dx, int dy,
                            const BitmapData* alpha, int ax, int ay, bool mergeAlpha) {
    CopyArea c = ClipCopy(from, src.width_, src.height_, dx, dy, width_, height_);
    if (c.src.Empty())
        return;
    // Copy through a buffer: the source may be this picture.
    std::vector<uint32_t> rows(static_cast<size_t>(c.src.w) * c.src.h);
    for (int y = 0; y < c.src.h; ++y)
        for (int x = 0; x < c.src.w; ++x) {
            uint32_t p = src.At(c.src.x + x, c.src.y + y);
            if (alpha) {
                // The alpha picture is aligned with the copied rectangle.
                const int64_t px = int64_t(ax) + (c.src.x - from.x) + x;
                const int64_t py = int64_t(ay) + (c.src.y - from.y) + y;
                uint32_t a = 0;
                if (px >= 0 && py >= 0 && px < alpha->width_ && py < alpha->height_)
                    a = alpha->At(int(px), int(py)) >> 24;
                const uint32_t s = UnpremultiplyArgb(p);
                p = PremultiplyArgb((Div255((s >> 24) * a) << 24) | (s & 0xFFFFFF));
            }
            rows[static_cast<size_t>(y) * c.src.w + x] = p;
        }
    for (int y = 0; y < c.src.h; ++y)
        for (int x = 0; x < c.src.w; ++x) {
            const uint32_t p = rows[static_cast<size_t>(y) * c.src.w + x];
            uint32_t& d = At(c.dx + x, c.dy + y);
            // An opaque picture cannot take the alpha: the pixel is laid over it.
            d = (mergeAlpha || !transparent_) ? Over(p, d) : p;
        }
}

void BitmapData::CopyChannel(const BitmapData& src, PixelRect from, int dx, int dy,
                             uint32_t srcChannel, uint32_t dstChannel) {
    const int ss = ChannelShift(srcChannel), ds = ChannelShift(dstChannel);
    if (ss < 0 || ds < 0)
        return;
    CopyArea c = ClipCopy(from, src.width_, src.height_, dx, dy, width_, height_);
    if (c.src.Empty())
        return;
    std::vector<uint32_t> values(static_cast<size_t>(c.src.w) * c.src.h);
    for (int y = 0; y < c.src.h; ++y)
        for (int x = 0; x < c.src.w; ++x)
            values[static_cast<size_t>(y) * c.src.w + x] =
                Byte(src.GetPixel32(c.src.x + x, c.src.y + y), ss);
    for (int y = 0; y < c.src.h; ++y)
        for (int x = 0; x < c.src.w; ++x) {
            uint32_t s = GetPixel32(c.dx + x, c.dy + y);
            if (ds == 24 && !transparent_)
                continue;
            s = (s & ~(0xFFu << ds)) | (values[static_cast<size_t>(y) * c.src.w + x] << ds);
            At(c.dx + x, c.dy + y) = Store(s);
        }
}

void BitmapData::ColorTransform(PixelRect r, const double mul[4], const double add[4]) {
    r = Clip(r);
    const int shifts[4] = {16, 8, 0, 24};
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) {
            const uint32_t s = GetPixel32(x, y);
            uint32_t out = 0;
            for (int i = 0; i < 4; ++i) {
                double v = Byte(s, shifts[i]) * mul[i] + add[i];
                v = std::isnan(v) ? 0 : std::min(255.0, std::max(0.0, v));
                out |= uint32_t(v) << shifts[i];
            }
            At(x, y) = Store(out);
        }
}

uint32_t BitmapData::Threshold(const BitmapData& src, PixelRect from, int dx, int dy, Test test,
                               uint32_t threshold, uint32_t color, uint32_t mask, bool copySource) {
    CopyArea c = ClipCopy(from, src.width_, src.height_, dx, dy, width_, height_);
    if (c.src.Empty())
        return 0;
    const uint32_t target = threshold & mask;
    std::vector<uint32_t> out(static_cast<size_t>(c.src.w) * c.src.h);
    std::vector<uint8_t> write(out.size(), 0);
    uint32_t hits = 0;
    for (int y = 0; y < c.src.h; ++y)
        for (int x = 0; x < c.src.w; ++x) {
            const size_t i = static_cast<size_t>(y) * c.src.w + x;
            const uint32_t p = src.GetPixel32(c.src.x + x, c.src.y + y);
            if (Passes(test, p & mask, target)) {
                out[i] = Store(color);
                write[i] = 1;
                ++hits;
            } else if (copySource) {
                out[i] = Store(p);
                write[i] = 1;
            }
        }
    for (int y = 0; y < c.src.h; ++y)
        for (int x = 0; x < c.src.w; ++x) {
            const size_t i = static_cast<size_t>(y) * c.src.w + x;
            if (write[i])
                At(c.dx + x, c.dy + y) = out[i];
        }
    return hits;
}

bool BitmapData::HitPoint(int x, int y, uint32_t threshold) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return false;
    const uint32_t a = At(x, y) >> 24;
    return a != 0 && a >= threshold;
}

bool BitmapData::HitRect(PixelRect r, uint32_t threshold) const {
    // Corners included: a rectangle reaches the pixel at its right and bottom edges.
    PixelRect c =
        Intersect(PixelRect{0, 0, width_, height_}, r.x, r.y, int64_t(r.w) + 1, int64_t(r.h) + 1);
    for (int y = c.y; y < c.y + c.h; ++y)
        for (int x = c.x; x < c.x + c.w; ++x)
            if (HitPoint(x, y, threshold))
                return true;
    return false;
}

bool BitmapData::HitBitmap(int x1, int y1, uint32_t threshold1, const BitmapData& other, int x2,
                           int y2, uint32_t threshold2) const {
    // The overlap in a common space where this picture sits at (x1, y1).
    PixelRect mine{x1, y1, width_, height_};
    PixelRect both = Intersect(mine, x2, y2, other.width_, other.height_);
    for (int y = both.y; y < both.y + both.h; ++y)
        for (int x = both.x; x < both.x + both.w; ++x)
            if (HitPoint(x - x1, y - y1, threshold1) && other.HitPoint(x - x2, y - y2, threshold2))
                return true;
    return false;
}

int BitmapData::Compare(const BitmapData& a, const BitmapData& b, std::vector<uint32_t>& diff) {
    if (a.width_ != b.width_)
        return -3;
    if (a.height_ != b.height_)
        return -4;
    diff.assign(a.pixels_.size(), 0);
    bool any = false;
    for (size_t i = 0; i < a.pixels_.size(); ++i) {
        const uint32_t p = UnpremultiplyArgb(a.pixels_[i]);
        const uint32_t q = UnpremultiplyArgb(b.pixels_[i]);
        if (p == q)
            continue;
        any = true;
        if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
            uint32_t v = 0xFF000000u;
            for (int sh = 0; sh < 24; sh += 8)
                v |= ((Byte(p, sh) - Byte(q, sh)) & 0xFF) << sh;
            diff[i] = v;
        } else {
            diff[i] = (((Byte(p, 24) - Byte(q, 24)) & 0xFF) << 24) | 0xFFFFFF;
        }
    }
    return any ? 1 : 0;
}

void BitmapData::Scroll(int dx, int dy) {
    PixelRect all{0, 0, width_, height_};
    CopyPixels(*this, all, dx, dy, nullptr, 0, 0, false);
}

bool BitmapData::FloodFill(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return false;
    const uint32_t from = At(x, y), to = Store(argb);
    if (from == to)
        return true;
    // An explicit stack bounded by the pixel count: every pixel is pushed
    // at most once per neighbour and changes colour when taken.
    std::vector<std::pair<int, int>> stack{{x, y}};
    while (!stack.empty()) {
        auto [px, py] = stack.back();
        stack.pop_back();
        if (At(px, py) != from)
            continue;
        At(px, py) = to;
        if (px > 0 && At(px - 1, py) == from)
            stack.emplace_back(px - 1, py);
        if (px + 1 < width_ && At(px + 1, py) == from)
            stack.emplace_back(px + 1, py);
        if (py > 0 && At(px, py - 1) == from)
            stack.emplace_back(px, py - 1);
        if (py + 1 < height_ && At(px, py + 1) == from)
            stack.emplace_back(px, py + 1);
    }
    return true;
}

PixelRect BitmapData::ColorBounds(uint32_t mask, uint32_t color, bool find) const {
    int x0 = width_, y0 = height_, x1 = -1, y1 = -1;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const bool same = (GetPixel32(x, y) & mask) == (color & mask);
            if (same != find)
                continue;
            x0 = std::min(x0, x), y0 = std::min(y0, y);
            x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    if (x1 < 0)
        return PixelRect{};
    return PixelRect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void BitmapData::Noise(uint32_t seed, int low, int high, uint32_t channels, bool grayscale) {
    low = std::clamp(low, 0, 255);
    high = std::clamp(high, 0, 255);
    if (high < low)
        std::swap(low, high);
    uint32_t state = seed ? seed : 1;
    auto next = [&state, low, high]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return uint32_t(low + state % uint32_t(high - low + 1));
    };
    for (uint32_t& p : pixels_) {
        uint32_t out = 0xFF000000u;
        if (grayscale) {
            const uint32_t v = next();
            out |= (v << 16) | (v << 8) | v;
        } else {
            if (channels & kRed)
                out |= next() << 16;
            if (channels & kGreen)
                out |= next() << 8;
            if (channels & kBlue)
                out |= next();
        }
        if (channels & kAlpha)
            out = (out & 0xFFFFFF) | (next() << 24);
        p = Store(out);
    }
}

void BitmapData::DrawBitmap(const BitmapData& src, const double m[6], PixelRect clip) {
    clip = Clip(clip);
    const double det = m[0] * m[3] - m[1] * m[2];
    if (clip.Empty() || !std::isfinite(det) || det == 0)
        return;
    // Inverse matrix: destination pixel centres back to source pixels.
    const double ia = m[3] / det, ib = -m[1] / det, ic = -m[2] / det, id = m[0] / det;
    const double itx = -(ia * m[4] + ic * m[5]), ity = -(ib * m[4] + id * m[5]);
    for (int y = clip.y; y < clip.y + clip.h; ++y)
        for (int x = clip.x; x < clip.x + clip.w; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const double sx = std::floor(ia * cx + ic * cy + itx);
            const double sy = std::floor(ib * cx + id * cy + ity);
            if (!(sx >= 0 && sy >= 0 && sx < src.width_ && sy < src.height_))
                continue;
            const uint32_t p = src.At(int(sx), int(sy));
            uint32_t& d = At(x, y);
            d = Over(p, d);
        }
}

void BitmapData::DrawFrame(const std::vector<uint32_t>& abgr, PixelRect clip) {
    clip = Clip(clip);
    if (abgr.size() != pixels_.size())
        return;
    for (int y = clip.y; y < clip.y + clip.h; ++y)
        for (int x = clip.x; x < clip.x + clip.w; ++x) {
            const uint32_t q = abgr[static_cast<size_t>(y) * width_ + x];
            // 0xAABBGGRR to 0xAARRGGBB.
            const uint32_t p = (q & 0xFF00FF00u) | ((q & 0xFF) << 16) | ((q >> 16) & 0xFF);
            uint32_t& d = At(x, y);
            d = Over(p, d);
        }
}

} // namespace zembra::raster
