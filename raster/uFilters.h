// Bitmap filters on a display object's picture: blur, drop shadow, glow,
// bevel, gradient glow and bevel, convolution and colour matrix. They work
// on the object as drawn into a transparent layer in frame-buffer pixels;
// sizes and distances are given in stage pixels and scaled by the stage's
// zoom. Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/uBoxBlur.h"
#include "raster/uRasterTypes.h"

namespace zembra::raster {

struct Filter {
    enum class Kind {
        DropShadow,
        Blur,
        Glow,
        Bevel,
        GradientGlow,
        Convolution,
        ColorMatrix,
        GradientBevel
    };
    Kind kind = Kind::Blur;

    // Everything but convolution and colour matrix: the box blur's size in
    // stage pixels and how often it runs.
    double blurX = 4, blurY = 4;
    int passes = 1;

    // Shadows, glows and bevels.
    Rgba color{0, 0, 0, 255};           // shadow, glow, a bevel's shadow side
    Rgba highlight{255, 255, 255, 255}; // a bevel's lit side
    double angle = 0;                   // radians; the y axis points down
    double distance = 0;                // stage pixels
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;        // false: the object itself is not drawn
    bool onTop = false;                 // bevels: inside and outside the edges
    std::vector<GradientStop> gradient; // gradient glows and bevels

    // Convolution: a matrixX by matrixY kernel, row after row. Colour
    // matrix: 20 values, four rows of five (r, g, b, a, offset).
    int matrixX = 0, matrixY = 0;
    std::vector<float> matrix;
    float divisor = 1, bias = 0;
    Rgba defaultColor{0, 0, 0, 0};
    bool clamp = true;
    bool preserveAlpha = true;
};

using FilterList = std::vector<Filter>;

// Pixels a picture may spread by on each side.
struct FilterMargin {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Filters past this many in one list are left out.
constexpr size_t kMaxFilters = 16;

class FilterRunner {
  public:
    // How far the filters may spread what is drawn, at `scaleX` by
    // `scaleY` frame-buffer pixels per stage pixel.
    static FilterMargin Margin(const std::vector<Filter>& filters, double scaleX, double scaleY);

    // Runs the filters in order over a premultiplied picture of
    // width * height pixels (row after row), in place. The picture should
    // already hold the margin around what was drawn: nothing spreads past
    // its edges.
    void Apply(const std::vector<Filter>& filters, double scaleX, double scaleY, uint32_t* pixels,
               int width, int height);

  private:
    void Shadow(const Filter& f, double scaleX, double scaleY, uint32_t* pixels, int width,
                int height);
    void Bevel(const Filter& f, double scaleX, double scaleY, uint32_t* pixels, int width,
               int height);
    void Convolve(const Filter& f, uint32_t* pixels, int width, int height);
    static void ColorMatrix(const Filter& f, uint32_t* pixels, int width, int height);

    BoxBlur blur_;
    std::vector<uint8_t> alpha_;
    std::vector<uint32_t> copy_;
};

} // namespace zembra::raster
