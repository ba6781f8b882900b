// Box blurs of 8-bit planes and premultiplied pictures: the building block
// of the blur, glow, drop shadow and bevel filters. Every pass averages a
// window centred on each pixel (first along rows, then along columns) whose
// width need not be whole: 2 * radius + 1 pixels and a share of the next
// pixel on either side. What lies outside the picture counts as
// transparent. Portable.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra::raster {

// Radii above this are cut down to it.
constexpr int kMaxBlurRadius = 512;
// Passes above this are cut down to it.
constexpr int kMaxBlurPasses = 15;

struct BoxWidth {
    int radius = 0; // pixels taken whole on each side
    int edge = 0;   // 256ths of the pixel after them taken on each side
    // Pixels a pass spreads a picture by on each side.
    int Spread() const { return radius + (edge > 0 ? 1 : 0); }
};

// The box a blur of `amount` stage pixels makes at `scale` frame-buffer
// pixels per stage pixel: (amount - 1) * scale + 1 pixels wide, so that a
// blur of 1 or less leaves the picture alone at any zoom.
BoxWidth BlurBox(double amount, double scale);

class BoxBlur {
  public:
    // `plane` holds width * height values, row after row.
    void BlurPlane(uint8_t* plane, int width, int height, BoxWidth x, BoxWidth y, int passes);
    // `pixels` are 0xAABBGGRR premultiplied; each channel is blurred alike,
    // so colour stays at most alpha.
    void BlurPixels(uint32_t* pixels, int width, int height, BoxWidth x, BoxWidth y, int passes);

  private:
    std::vector<uint32_t> sums_;
    std::vector<uint8_t> planeRow_;
};

} // namespace zembra::raster
