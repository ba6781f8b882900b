// Box blurs of 8-bit planes and premultiplied pictures: the building block
// of the blur, glow, drop shadow and bevel filters. Every pass averages a
// window of 2 * radius + 1 pixels (first along rows, then along columns);
// what lies outside the picture counts as transparent. Portable.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra::raster {

// Radii above this are cut down to it.
constexpr int kMaxBlurRadius = 512;
// Passes above this are cut down to it.
constexpr int kMaxBlurPasses = 15;

// The radius of the box a blur amount gives, in pixels: a blur of 2 or
// less leaves pixels alone, 3 and 4 average three pixels, 5 and 6 five...
int BlurRadius(double amount);

class BoxBlur {
  public:
    // `plane` holds width * height values, row after row.
    void BlurPlane(uint8_t* plane, int width, int height, int radiusX, int radiusY, int passes);
    // `pixels` are 0xAABBGGRR premultiplied; each channel is blurred alike,
    // so colour stays at most alpha.
    void BlurPixels(uint32_t* pixels, int width, int height, int radiusX, int radiusY, int passes);

  private:
    std::vector<uint32_t> sums_;
    std::vector<uint8_t> planeRow_;
};

} // namespace zembra::raster
