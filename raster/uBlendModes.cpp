#include "raster/uBlendModes.h"
#include "raster/uPixel.h"

#include <algorithm>

namespace zembra::raster {

namespace {

inline int Div255(int v) {
    // Rounded v / 255 for 0 <= v <= 255 * 255 * 2.
    return (v + 128 + ((v + 128) >> 8)) >> 8;
}

inline int Chan(uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFF);
}

// Term for the part where both layers are present, in 255 * 255 units, of
// the separable modes.
inline int Both(BlendMode mode, int s, int d, int sa, int da) {
    switch (mode) {
    case BlendMode::Multiply:
        return s * d;
    case BlendMode::Screen:
        return s * da + d * sa - s * d;
    case BlendMode::Lighten:
        return std::max(s * da, d * sa);
    case BlendMode::Darken:
        return std::min(s * da, d * sa);
    case BlendMode::Difference:
        return s * da + d * sa - 2 * std::min(s * da, d * sa);
    case BlendMode::Overlay:
        return 2 * d <= da ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
    case BlendMode::HardLight:
        return 2 * s <= sa ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
    default:
        return s * da;
    }
}

} // namespace

uint32_t BlendPixel(BlendMode mode, uint32_t src, uint32_t dst) {
    const int sa = static_cast<int>(src >> 24), da = static_cast<int>(dst >> 24);
    switch (mode) {
    case BlendMode::Normal:
    case BlendMode::Layer:
        return Over(src, dst);
    case BlendMode::Alpha:
        return ScalePixel(dst, static_cast<uint32_t>(sa));
    case BlendMode::Erase:
        return ScalePixel(dst, static_cast<uint32_t>(255 - sa));
    default:
        break;
    }
    if (sa == 0 && mode != BlendMode::Add)
        return dst;
    int out[4];
    int alpha;
    switch (mode) {
    case BlendMode::Add:
        alpha = std::min(255, sa + da);
        for (int i = 0; i < 3; ++i)
            out[i] = std::min(alpha, Chan(src, i * 8) + Chan(dst, i * 8));
        break;
    case BlendMode::Subtract:
        alpha = sa + da - Div255(sa * da);
        for (int i = 0; i < 3; ++i)
            out[i] = std::max(0, Chan(dst, i * 8) - Chan(src, i * 8));
        break;
    case BlendMode::Invert:
        // The backdrop's colour turned inside out where the layer covers it.
        alpha = da;
        for (int i = 0; i < 3; ++i) {
            const int d = Chan(dst, i * 8);
            out[i] = Div255((da - d) * sa + d * (255 - sa));
        }
        break;
    default:
        alpha = sa + da - Div255(sa * da);
        for (int i = 0; i < 3; ++i) {
            const int s = Chan(src, i * 8), d = Chan(dst, i * 8);
            const int v = Both(mode, s, d, sa, da) + s * (255 - da) + d * (255 - sa);
            out[i] = Div255(std::clamp(v, 0, 255 * 255));
        }
        break;
    }
    for (int i = 0; i < 3; ++i)
        out[i] = std::clamp(out[i], 0, alpha);
    return Pack(static_cast<uint32_t>(out[0]), static_cast<uint32_t>(out[1]),
                static_cast<uint32_t>(out[2]), static_cast<uint32_t>(alpha));
}

void BlendRow(BlendMode mode, const uint32_t* src, uint32_t* dst, int len) {
    if (mode == BlendMode::Normal || mode == BlendMode::Layer) {
        for (int i = 0; i < len; ++i) {
            const uint32_t s = src[i];
            if (s >> 24 == 255)
                dst[i] = s;
            else if (s)
                dst[i] = Over(s, dst[i]);
        }
        return;
    }
    for (int i = 0; i < len; ++i)
        dst[i] = BlendPixel(mode, src[i], dst[i]);
}

} // namespace zembra::raster
