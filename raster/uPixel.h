// Packed premultiplied pixel arithmetic shared by the renderer's units.
// Pixels are 0xAABBGGRR; every helper keeps colour <= alpha.
#pragma once

#include <cstdint>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

// x * y / 255, rounded, for x, y in 0..255.
inline uint32_t Mul255(uint32_t x, uint32_t y) {
    const uint32_t t = x * y + 128;
    return (t + (t >> 8)) >> 8;
}

// Scales all four channels of a packed pixel by a / 255.
inline uint32_t ScalePixel(uint32_t p, uint32_t a) {
    uint32_t rb = (p & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((p >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// Premultiplied source over destination.
inline uint32_t Over(uint32_t src, uint32_t dst) {
    return src + ScalePixel(dst, 255 - (src >> 24));
}

inline uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | (g << 8) | (b << 16) | (a << 24);
}

inline uint32_t Premultiply(Rgba c) {
    return Pack(Mul255(c.r, c.a), Mul255(c.g, c.a), Mul255(c.b, c.a), c.a);
}

// Back to straight colour; a fully transparent pixel becomes transparent black.
inline Rgba Unpremultiply(uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 0)
        return Rgba{0, 0, 0, 0};
    auto un = [a](uint32_t c) {
        const uint32_t v = (c * 255 + a / 2) / a;
        return static_cast<uint8_t>(v > 255 ? 255 : v);
    };
    return Rgba{un(p & 0xFF), un((p >> 8) & 0xFF), un((p >> 16) & 0xFF), static_cast<uint8_t>(a)};
}

} // namespace zembra::raster
