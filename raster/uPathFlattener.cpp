#include "raster/uPathFlattener.h"

#include <cmath>

namespace zembra::raster {

int CurveSteps(Point from, Point control, Point to, double tolerance) {
    // A quadratic strays from its chord by at most |p0 - 2p1 + p2| / 4, and
    // by a quarter of that per halving of the step.
    const double dx = from.x - 2 * control.x + to.x;
    const double dy = from.y - 2 * control.y + to.y;
    const double dd = std::sqrt(dx * dx + dy * dy);
    if (!(tolerance > 0))
        tolerance = 0.1;
    const double steps = std::ceil(std::sqrt(dd / (4 * tolerance)));
    if (!(steps >= 1)) // also NaN
        return 1;
    if (steps > kMaxCurveSteps)
        return kMaxCurveSteps;
    return static_cast<int>(steps);
}

void FlattenCurve(Point from, Point control, Point to, double tolerance, std::vector<Point>& out) {
    const int n = CurveSteps(from, control, to, tolerance);
    // Forward differences: p(t) = from + 2t(c - from) + t^2(from - 2c + to).
    const double h = 1.0 / n;
    const double ax = from.x - 2 * control.x + to.x, ay = from.y - 2 * control.y + to.y;
    const double bx = 2 * (control.x - from.x), by = 2 * (control.y - from.y);
    for (int i = 1; i < n; ++i) {
        const double t = i * h;
        out.push_back(Point{from.x + t * (bx + t * ax), from.y + t * (by + t * ay)});
    }
    out.push_back(to);
}

} // namespace zembra::raster
