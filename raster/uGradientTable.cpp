#include "raster/uGradientTable.h"
#include "raster/uPixel.h"

#include <algorithm>
#include <cmath>

namespace zembra::raster {

namespace {

// More stops than this cannot come from a file; the rest are ignored.
constexpr size_t kMaxStops = 256;

struct LinearTables {
    float toLinear[256];
    uint8_t toSrgb[4096]; // indexed by linear value * 4095
    LinearTables() {
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            toLinear[i] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
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
        s.c[0] = linear ? Linear().toLinear[c.r] : c.r / 255.0f;
        s.c[1] = linear ? Linear().toLinear[c.g] : c.g / 255.0f;
        s.c[2] = linear ? Linear().toLinear[c.b] : c.b / 255.0f;
        s.c[3] = c.a / 255.0f;
    }
    std::stable_sort(sorted, sorted + count,
                     [](const Stop& a, const Stop& b) { return a.ratio < b.ratio; });

    size_t k = 0; // sorted[k] is the last stop at or before entry i
    bool opaque = true, transparent = true;
    for (int i = 0; i < kSize; ++i) {
        while (k + 1 < count && sorted[k + 1].ratio <= i)
            ++k;
        float c[4];
        const Stop& a = sorted[k];
        if (i < a.ratio || k + 1 == count) {
            std::copy(a.c, a.c + 4, c);
        } else {
            const Stop& b = sorted[k + 1];
            const float t = static_cast<float>((i - a.ratio) / (b.ratio - a.ratio));
            for (int j = 0; j < 4; ++j)
                c[j] = a.c[j] + (b.c[j] - a.c[j]) * t;
        }
        auto byte = [](float v) {
            return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
        };
        Rgba out;
        if (linear) {
            auto srgb = [](float v) {
                return Linear().toSrgb[static_cast<int>(std::clamp(v, 0.0f, 1.0f) * 4095 + 0.5f)];
            };
            out = Rgba{srgb(c[0]), srgb(c[1]), srgb(c[2]), byte(c[3])};
        } else {
            out = Rgba{byte(c[0]), byte(c[1]), byte(c[2]), byte(c[3])};
        }
        colors_[i] = Premultiply(out);
        opaque = opaque && out.a == 255;
        transparent = transparent && out.a == 0;
    }
    opaque_ = opaque;
    transparent_ = transparent;
}

} // namespace zembra::raster
