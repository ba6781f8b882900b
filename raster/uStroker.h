// Outlines of stroked lines, in pixel space, as closed polygons to be filled
// with the non-zero rule.
#pragma once

#include <cstddef>
#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

struct Outline {
    std::vector<Point> points;
    std::vector<size_t> contourEnds; // one past each contour's last point

    void Clear() {
        points.clear();
        contourEnds.clear();
    }
};

class Stroker {
  public:
    // Width of the stroke in pixels under `toPixels`: scaled by the average
    // of the matrix's scales in the directions the style scales, at least one
    // pixel (hairlines are exactly one).
    static double PixelWidth(const StrokeStyle& style, const Matrix& toPixels);

    // Replaces `out` with the outline of the segments stroked with `style`.
    // Curves are flattened to `tolerance` pixels.
    void Stroke(const std::vector<Segment>& segments, const StrokeStyle& style,
                const Matrix& toPixels, double tolerance, Outline& out);

  private:
    void StrokeLine(const StrokeStyle& style, bool closed, Outline& out);
    void StrokePoint(Point p, const StrokeStyle& style, Outline& out);
    void Join(Point p, Point from, Point to, Point nextDir, double shorter, bool tipSide,
              const StrokeStyle& style, Outline& out);
    void Cap(Point p, Point normal, Point dir, CapStyle cap, Outline& out);
    void Arc(Point centre, Point from, double sweep, Outline& out);
    void CloseContour(Outline& out);

    std::vector<Point> line_;    // the current line, pixel space, no repeated points
    std::vector<Point> dirs_;    // unit direction of each piece of line_
    std::vector<Point> normals_; // its left offset, half the width long
    std::vector<double> lengths_;
    double half_ = 0.5;
    double tolerance_ = 0.1;
};

} // namespace zembra::raster
