#include "raster/uRasterTypes.h"

#include <cmath>

namespace zembra::raster {

namespace {

uint8_t Channel(uint8_t c, double mul, double add) {
    const double v = c * mul + add;
    if (!(v > 0)) // also NaN
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<uint8_t>(std::lround(v));
}

} // namespace

Rgba ColorTransform::Apply(Rgba c) const {
    return Rgba{Channel(c.r, rMul, rAdd), Channel(c.g, gMul, gAdd), Channel(c.b, bMul, bAdd),
                Channel(c.a, aMul, aAdd)};
}

ColorTransform ColorTransform::Concat(const ColorTransform& inner) const {
    // outer(inner(c)) = (c*im + ia)*om + oa; the clamp between the two is
    // dropped, as players compose nested transforms before applying them.
    ColorTransform out;
    out.rMul = rMul * inner.rMul;
    out.gMul = gMul * inner.gMul;
    out.bMul = bMul * inner.bMul;
    out.aMul = aMul * inner.aMul;
    out.rAdd = inner.rAdd * rMul + rAdd;
    out.gAdd = inner.gAdd * gMul + gAdd;
    out.bAdd = inner.bAdd * bMul + bAdd;
    out.aAdd = inner.aAdd * aMul + aAdd;
    return out;
}

} // namespace zembra::raster
