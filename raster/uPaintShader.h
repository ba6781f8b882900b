// Colours of a paint for runs of pixels: solid colours, gradients through
// their lookup table and bitmaps, all colour-transformed and premultiplied.
#pragma once

#include <cstdint>

#include "raster/uGradientTable.h"
#include "raster/uRasterTypes.h"

namespace zembra::raster {

class PaintShader {
  public:
    // False when the paint draws nothing (transparent, no bitmap, no stops).
    // `smoothAllowed` false samples bitmaps nearest even when smoothing is
    // asked for (low quality).
    bool Prepare(const Paint& paint, const Matrix& toPixels, const ColorTransform& color,
                 bool smoothAllowed);

    // One colour for every pixel; SolidColor() gives it.
    bool IsSolid() const { return solid_; }
    uint32_t SolidColor() const { return solidColor_; }
    // Every colour it gives has full alpha.
    bool IsOpaque() const { return opaque_; }

    // Colours of pixels [x, x + len) of row y, sampled at pixel centres.
    void Shade(int y, int x, int len, uint32_t* out) const;

  private:
    template <SpreadMode S> void ShadeLinear(double px, double py, int len, uint32_t* out) const;
    template <SpreadMode S> void ShadeRadial(double px, double py, int len, uint32_t* out) const;
    template <SpreadMode S> void ShadeFocal(double px, double py, int len, uint32_t* out) const;
    void ShadeBitmap(double px, double py, int len, uint32_t* out) const;
    uint32_t Texel(long long u, long long v) const;

    Paint::Kind kind_ = Paint::Kind::Solid;
    bool solid_ = true;
    bool opaque_ = false;
    uint32_t solidColor_ = 0;
    SpreadMode spread_ = SpreadMode::Pad;
    Matrix inverse_; // pixels to gradient square or bitmap pixels
    double focal_ = 0;
    GradientCache gradients_;
    const GradientTable* table_ = nullptr; // from gradients_, for this paint
    // Bitmaps.
    const Bitmap* bitmap_ = nullptr;
    bool repeat_ = true;
    bool smooth_ = true;
    bool transformColors_ = false;
    ColorTransform color_;
};

} // namespace zembra::raster
