// Turns quadratic curves into polylines in pixel space, within a tolerance
// and a bounded number of steps.
#pragma once

#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

// Largest number of lines one curve becomes, however large it is.
constexpr int kMaxCurveSteps = 256;

// How many lines keep the curve within `tolerance` pixels (1..kMaxCurveSteps).
int CurveSteps(Point from, Point control, Point to, double tolerance);

// Appends the curve's points after `from` (the last one is `to`).
void FlattenCurve(Point from, Point control, Point to, double tolerance, std::vector<Point>& out);

} // namespace zembra::raster
