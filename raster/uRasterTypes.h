// What the software renderer draws with: points, matrices, colour
// transforms, paints and stroke styles. Portable, no platform headers.
//
// Coordinates handed to the canvas are in the shape's own units (twips for
// movie shapes); the matrix given with each draw maps them to frame-buffer
// pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zembra::raster {

struct Point {
    double x = 0;
    double y = 0;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty (the movie file's order).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    Point Apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // this * inner: applies `inner` first, then this.
    Matrix Concat(const Matrix& inner) const {
        return {a * inner.a + c * inner.b,
                b * inner.a + d * inner.b,
                a * inner.c + c * inner.d,
                b * inner.c + d * inner.d,
                a * inner.tx + c * inner.ty + tx,
                b * inner.tx + d * inner.ty + ty};
    }
    // False when the matrix cannot be inverted (degenerate scale).
    bool Invert(Matrix& out) const {
        const double det = a * d - b * c;
        if (det == 0 || det != det)
            return false;
        out.a = d / det;
        out.b = -b / det;
        out.c = -c / det;
        out.d = a / det;
        out.tx = -(out.a * tx + out.c * ty);
        out.ty = -(out.b * tx + out.d * ty);
        return true;
    }
};

// Straight (not premultiplied) 8-bit colour.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// c' = clamp(c * mul + add) per channel; add is in 0..255 units.
struct ColorTransform {
    double rMul = 1, gMul = 1, bMul = 1, aMul = 1;
    double rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    Rgba Apply(Rgba c) const;
    // this * inner: applies `inner` first, then this.
    ColorTransform Concat(const ColorTransform& inner) const;
    bool IsIdentity() const {
        return rMul == 1 && gMul == 1 && bMul == 1 && aMul == 1 && rAdd == 0 && gAdd == 0 &&
               bAdd == 0 && aAdd == 0;
    }
};

// A path segment: a line (curved == false, control ignored) or a quadratic
// Bezier curve. A fill's segments may come in any order and direction, as
// long as together they form closed outlines.
struct Segment {
    Point from;
    Point control;
    Point to;
    bool curved = false;
};

enum class FillRule { EvenOdd, NonZero };

// A decoded picture in premultiplied RGBA, row after row without padding.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAABBGGRR, premultiplied
};

struct GradientStop {
    double ratio = 0; // 0..255
    Rgba color;
};

enum class SpreadMode { Pad, Reflect, Repeat };
enum class Interpolation { Rgb, LinearRgb };

struct Paint {
    enum class Kind { Solid, Linear, Radial, Focal, Bitmap };
    Kind kind = Kind::Solid;
    Rgba color; // Solid

    // Gradients: `matrix` maps the gradient square (-16384..16384 on both
    // axes, the file's units) to the shape's coordinates.
    std::vector<GradientStop> stops;
    SpreadMode spread = SpreadMode::Pad;
    Interpolation interpolation = Interpolation::Rgb;
    double focalPoint = 0; // Focal: -1..1 along the x axis
    Matrix matrix;

    // Bitmaps: `matrix` maps bitmap pixels to the shape's coordinates.
    std::shared_ptr<const Bitmap> bitmap;
    bool repeat = true;
    bool smooth = true;
};

enum class CapStyle { Round, None, Square };
enum class JoinStyle { Round, Bevel, Miter };

struct StrokeStyle {
    double width = 20; // shape units; 0 = hairline (one pixel at any scale)
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3;
    bool scaleHorizontally = true; // false: width not scaled by the matrix in x
    bool scaleVertically = true;
    bool pixelHinting = false;
    // Pixels per shape unit in a direction the width is not scaled in (the
    // stage's own scale: 1/20 for twips shown at 100%). Set by the engine
    // when the stage is zoomed.
    double unscaledPixelsPerUnit = 0.05;
    Paint paint; // solid colour or, for fills on lines, any paint
};

// How a layer is put onto what lies below it.
enum class BlendMode {
    Normal, Layer, Multiply, Screen, Lighten, Darken, Difference, Add, Subtract,
    Invert, Alpha, Erase, Overlay, HardLight
};

enum class Quality { Low, Medium, High, Best };

} // namespace zembra::raster
