// Shapes and pixel measurements shared by the renderer's tests.
#pragma once

#include "raster/uCanvas.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace zembra::raster::test {

inline Segment Line(double x0, double y0, double x1, double y1) {
    Segment s;
    s.from = {x0, y0};
    s.to = {x1, y1};
    return s;
}

inline Segment Curve(double x0, double y0, double cx, double cy, double x1, double y1) {
    Segment s;
    s.from = {x0, y0};
    s.control = {cx, cy};
    s.to = {x1, y1};
    s.curved = true;
    return s;
}

inline std::vector<Segment> Rect(double x0, double y0, double x1, double y1) {
    return {Line(x0, y0, x1, y0), Line(x1, y0, x1, y1), Line(x1, y1, x0, y1), Line(x0, y1, x0, y0)};
}

// A circle of 16 quadratic arcs (off the true circle by < 0.02% of r).
inline std::vector<Segment> Circle(double cx, double cy, double r) {
    std::vector<Segment> out;
    const int n = 16;
    const double pi = 3.14159265358979323846;
    const double k = r / std::cos(pi / n);
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * pi * i / n, a1 = 2 * pi * (i + 1) / n, am = (a0 + a1) / 2;
        out.push_back(Curve(cx + r * std::cos(a0), cy + r * std::sin(a0), cx + k * std::cos(am),
                            cy + k * std::sin(am), cx + r * std::cos(a1), cy + r * std::sin(a1)));
    }
    return out;
}

inline Paint SolidPaint(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    Paint p;
    p.color = Rgba{r, g, b, a};
    return p;
}

inline uint32_t Alpha(uint32_t p) {
    return p >> 24;
}
inline uint32_t Red(uint32_t p) {
    return p & 0xFF;
}
inline uint32_t Green(uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline uint32_t Blue(uint32_t p) {
    return (p >> 16) & 0xFF;
}

// Covered area in pixels: the sum of alpha / 255.
inline double CoveredArea(const FrameBuffer& fb) {
    double sum = 0;
    for (uint32_t p : fb.Pixels())
        sum += Alpha(p);
    return sum / 255.0;
}

inline int CountAlphaAbove(const FrameBuffer& fb, uint32_t threshold) {
    int n = 0;
    for (uint32_t p : fb.Pixels())
        n += Alpha(p) > threshold;
    return n;
}

inline uint32_t At(const FrameBuffer& fb, int x, int y) {
    return fb.Row(y)[x];
}

// Pixels in twips, as the engine draws: 20 units a pixel.
inline Matrix Twips() {
    Matrix m;
    m.a = m.d = 0.05;
    return m;
}

} // namespace zembra::raster::test
