#include "raster/uGradientTable.h"
#include "raster/uPixel.h"

#include <algorithm>
#include <cmath>

namespace zembra::raster {

namespace {

// More stops than this cannot come from a file; the rest are ignored.
constexpr size_t kMaxStops = 256;

struct LinearTables {
    uint8_t toSrgb[4096]; // indexed by linear value * 4095
    LinearTables() {
        for (int i = 0; i < 4096; ++i) {
            const double l = i / 4095.0;
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            toSrgb[i] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
    }
};

const LinearTables& Linear() {
    static const LinearTables tables;
    return tables;
}

float ToLinear(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

// Linear light is kept in 1/255 steps, rounded down.
float Step(float v) {
    return std::floor(std::clamp(v, 0.0f, 1.0f) * 255.0f + 1e-4f) / 255.0f;
}

double ClampRatio(double r) {
    if (!(r > 0))
        return 0;
    return r > 255 ? 255 : r;
}

} // namespace

void GradientTable::Build(const std::vector<GradientStop>& stops, Interpolation interpolation,
                          const ColorTransform& color) {
    const size_t count = std::min(stops.size(), kMaxStops);
    if (count == 0) {
        std::fill(colors_, colors_ + kSize, 0u);
        opaque_ = false;
        transparent_ = true;
        return;
    }
    struct Stop {
        double ratio;
        float c[4]; // r, g, b (linear when asked), a; 0..1
    };
    Stop sorted[kMaxStops];
    const bool linear = interpolation == Interpolation::LinearRgb;
    for (size_t i = 0; i < count; ++i) {
        const Rgba c = color.Apply(stops[i].color);
        Stop& s = sorted[i];
        s.ratio = ClampRatio(stops[i].ratio);
        s.c[3] = c.a / 255.0f;
        if (linear) {
            // The player takes the premultiplied colour into linear light
            // and divides the alpha out only after: translucent stops come
            // out darker than their straight colour would.
            const float a = s.c[3];
            s.c[0] = Step(ToLinear(c.r / 255.0f * a));
            s.c[1] = Step(ToLinear(c.g / 255.0f * a));
            s.c[2] = Step(ToLinear(c.b / 255.0f * a));
        } else {
            s.c[0] = c.r / 255.0f;
            s.c[1] = c.g / 255.0f;
            s.c[2] = c.b / 255.0f;
        }
    }
    // Stable insertion sort: few stops, and no allocation.
    for (size_t i = 1; i < count; ++i) {
        const Stop s = sorted[i];
        size_t j = i;
        for (; j > 0 && sorted[j - 1].ratio > s.ratio; --j)
            sorted[j] = sorted[j - 1];
        sorted[j] = s;
    }

    const LinearTables* tables = linear ? &Linear() : nullptr;
    auto entry = [tables](const float* c) {
        auto byte = [](float v) {
            return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
        };
        if (!tables)
            return Rgba{byte(c[0]), byte(c[1]), byte(c[2]), byte(c[3])};
        // Back to straight linear colour, then to sRGB.
        const float inv = c[3] > 0 ? 1.0f / c[3] : 0.0f;
        auto srgb = [tables, inv](float v) {
            return tables
                ->toSrgb[static_cast<int>(std::clamp(Step(v) * inv, 0.0f, 1.0f) * 4095 + 0.5f)];
        };
        return Rgba{srgb(c[0]), srgb(c[1]), srgb(c[2]), byte(c[3])};
    };
    bool opaque = true, transparent = true;
    auto put = [&](int i, Rgba out) {
        colors_[i] = Premultiply(out);
        opaque = opaque && out.a == 255;
        transparent = transparent && out.a == 0;
    };
    // Entries before the first stop, between each pair of stops (none
    // between two at one ratio: a hard edge), then after the last.
    int i = 0;
    const Rgba first = entry(sorted[0].c);
    for (; i < kSize && i < sorted[0].ratio; ++i)
        put(i, first);
    for (size_t k = 0; k + 1 < count; ++k) {
        const Stop& a = sorted[k];
        const Stop& b = sorted[k + 1];
        if (!(b.ratio > a.ratio))
            continue;
        const float inv = static_cast<float>(1.0 / (b.ratio - a.ratio));
        if (!tables) {
            // Straight colour in 0..255 units; 0 <= t < 1 keeps every
            // channel between its two stops, so no clamping.
            float ca[4], cd[4];
            for (int j = 0; j < 4; ++j) {
                ca[j] = a.c[j] * 255.0f + 0.5f;
                cd[j] = (b.c[j] - a.c[j]) * 255.0f;
            }
            for (; i < kSize && i < b.ratio; ++i) {
                const float t = static_cast<float>(i - a.ratio) * inv;
                put(i, Rgba{static_cast<uint8_t>(ca[0] + cd[0] * t),
                            static_cast<uint8_t>(ca[1] + cd[1] * t),
                            static_cast<uint8_t>(ca[2] + cd[2] * t),
                            static_cast<uint8_t>(ca[3] + cd[3] * t)});
            }
            continue;
        }
        for (; i < kSize && i < b.ratio; ++i) {
            const float t = static_cast<float>(i - a.ratio) * inv;
            float c[4];
            for (int j = 0; j < 4; ++j)
                c[j] = a.c[j] + (b.c[j] - a.c[j]) * t;
            put(i, entry(c));
        }
    }
    const Rgba last = entry(sorted[count - 1].c);
    for (; i < kSize; ++i)
        put(i, last);
    opaque_ = opaque;
    transparent_ = transparent;
}

namespace {

uint64_t Mix(uint64_t h, const void* data, size_t size) {
    // FNV-1a.
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

bool SameStops(const std::vector<GradientStop>& a, const std::vector<GradientStop>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const Rgba& x = a[i].color;
        const Rgba& y = b[i].color;
        if (a[i].ratio != b[i].ratio || x.r != y.r || x.g != y.g || x.b != y.b || x.a != y.a)
            return false;
    }
    return true;
}

bool SameTransform(const ColorTransform& a, const ColorTransform& b) {
    return a.rMul == b.rMul && a.gMul == b.gMul && a.bMul == b.bMul && a.aMul == b.aMul &&
           a.rAdd == b.rAdd && a.gAdd == b.gAdd && a.bAdd == b.bAdd && a.aAdd == b.aAdd;
}

} // namespace

GradientCache::GradientCache() : entries_(kEntries) {}

const GradientTable& GradientCache::Get(const std::vector<GradientStop>& stops,
                                        Interpolation interpolation, const ColorTransform& color) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (const GradientStop& s : stops) {
        h = Mix(h, &s.ratio, sizeof s.ratio);
        const uint8_t c[4] = {s.color.r, s.color.g, s.color.b, s.color.a};
        h = Mix(h, c, sizeof c);
    }
    const double ct[8] = {color.rMul, color.gMul, color.bMul, color.aMul,
                          color.rAdd, color.gAdd, color.bAdd, color.aAdd};
    h = Mix(h, ct, sizeof ct);
    h = Mix(h, &interpolation, sizeof interpolation);
    Entry& e = entries_[(h ^ (h >> 32)) % kEntries];
    if (!e.used || e.interpolation != interpolation || !SameTransform(e.color, color) ||
        !SameStops(e.stops, stops)) {
        e.table.Build(stops, interpolation, color);
        e.stops = stops;
        e.interpolation = interpolation;
        e.color = color;
        e.used = true;
    }
    return e.table;
}

} // namespace zembra::raster
