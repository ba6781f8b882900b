// The 256 colours of a gradient, premultiplied and colour-transformed, as
// the paint shaders look them up.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

class GradientTable {
  public:
    static constexpr int kSize = 256;

    // Stops may come in any order and repeat a ratio (a hard edge there:
    // below it the earlier stop's colour, from it on the later one's).
    // Without stops the table is transparent.
    void Build(const std::vector<GradientStop>& stops, Interpolation interpolation,
               const ColorTransform& color);

    const uint32_t* Colors() const { return colors_; }
    bool Opaque() const { return opaque_; }
    bool Transparent() const { return transparent_; }

  private:
    uint32_t colors_[kSize] = {};
    bool opaque_ = false;
    bool transparent_ = true;
};

// Tables built lately, so that a gradient drawn every frame is built once.
class GradientCache {
  public:
    GradientCache();
    const GradientTable& Get(const std::vector<GradientStop>& stops, Interpolation interpolation,
                             const ColorTransform& color);

  private:
    struct Entry {
        bool used = false;
        std::vector<GradientStop> stops;
        Interpolation interpolation = Interpolation::Rgb;
        ColorTransform color;
        GradientTable table;
    };
    static constexpr size_t kEntries = 256;
    std::vector<Entry> entries_;
};

} // namespace zembra::raster
