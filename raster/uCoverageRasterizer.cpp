#include "raster/uCoverageRasterizer.h"

#include <algorithm>
#include <cmath>

namespace zembra::raster {

ClipRect Intersect(const ClipRect& a, const ClipRect& b) {
    return ClipRect{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1),
                    std::min(a.y1, b.y1)};
}

namespace {

inline int CountTrailingZeros(uint64_t v) {
    return __builtin_ctzll(v);
}

inline uint8_t AreaCoverage(float acc, FillRule rule) {
    float a = std::fabs(acc);
    if (rule == FillRule::EvenOdd) {
        a -= 2.0f * std::floor(a * 0.5f);
        if (a > 1.0f)
            a = 2.0f - a;
    } else if (a > 1.0f) {
        a = 1.0f;
    }
    return static_cast<uint8_t>(a * 255.0f + 0.5f);
}

inline uint8_t CentreCoverage(float acc, FillRule rule) {
    const long w = std::lround(acc);
    if (rule == FillRule::EvenOdd)
        return (w & 1) ? 255 : 0;
    return w != 0 ? 255 : 0;
}

} // namespace

void CoverageRasterizer::Reset(const ClipRect& clip) {
    clip_ = clip;
    if (clip_.x0 < 0)
        clip_.x0 = 0;
    if (clip_.y0 < 0)
        clip_.y0 = 0;
    poisoned_ = false;
    edges_.clear();
    const size_t columns = clip_.Empty() ? 0 : static_cast<size_t>(clip_.x1) + 2;
    if (delta_.size() < columns) {
        delta_.assign(columns, 0.0f);
        touched_.assign((columns + 63) / 64, 0);
        cover_.assign(columns, 0);
    }
}

bool CoverageRasterizer::MayCover() const {
    return !poisoned_ && !edges_.empty() && !clip_.Empty();
}

void CoverageRasterizer::AddLine(double x0, double y0, double x1, double y1) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
        poisoned_ = true;
        return;
    }
    if (poisoned_ || clip_.Empty() || y0 == y1)
        return;
    const double top = clip_.y0, bottom = clip_.y1;
    if ((y0 <= top && y1 <= top) || (y0 >= bottom && y1 >= bottom))
        return;
    // Rows outside the clip never need this edge: cut it to the clip's rows.
    auto xAt = [&](double y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
    double ax = x0, ay = y0, bx = x1, by = y1;
    if (ay < top) {
        ax = xAt(top);
        ay = top;
    } else if (ay > bottom) {
        ax = xAt(bottom);
        ay = bottom;
    }
    if (by < top) {
        bx = xAt(top);
        by = top;
    } else if (by > bottom) {
        bx = xAt(bottom);
        by = bottom;
    }
    AddClipped(ax, ay, bx, by);
}

void CoverageRasterizer::AddClipped(double x0, double y0, double x1, double y1) {
    // Left of the clip an edge still covers everything to its right, so it
    // becomes a vertical edge on the clip's left side; right of the clip it
    // covers nothing visible and is dropped.
    const double left = clip_.x0, right = clip_.x1;
    if (x0 >= left && x1 >= left && x0 <= right && x1 <= right) { // the usual case
        PushEdge(x0, y0, x1, y1);
        return;
    }
    double ts[4] = {0, 0, 0, 1};
    int n = 1;
    if (x0 != x1) {
        for (double bound : {left, right}) {
            const double t = (bound - x0) / (x1 - x0);
            if (t > 0 && t < 1)
                ts[n++] = t;
        }
    }
    if (n == 3 && ts[1] > ts[2])
        std::swap(ts[1], ts[2]);
    ts[n] = 1;
    double px = x0, py = y0;
    for (int i = 1; i <= n; ++i) {
        const double t = ts[i];
        const double qx = (i == n) ? x1 : x0 + (x1 - x0) * t;
        const double qy = (i == n) ? y1 : y0 + (y1 - y0) * t;
        const double mid = (px + qx) * 0.5;
        if (mid <= left)
            PushEdge(left, py, left, qy);
        else if (mid < right)
            PushEdge(std::clamp(px, left, right), py, std::clamp(qx, left, right), qy);
        px = qx;
        py = qy;
    }
}

void CoverageRasterizer::PushEdge(double x0, double y0, double x1, double y1) {
    if (y0 == y1)
        return;
    Edge e;
    if (y0 < y1) {
        e = Edge{float(x0), float(y0), float(x1), float(y1), 0, 1.0f};
    } else {
        e = Edge{float(x1), float(y1), float(x0), float(y0), 0, -1.0f};
    }
    if (!(e.y0 < e.y1)) // collapsed by the conversion to float
        return;
    e.dxdy = (e.x1 - e.x0) / (e.y1 - e.y0);
    edges_.push_back(e);
}

void CoverageRasterizer::AccumulateArea(float xa, float ya, float xb, float yb, float dir) {
    const float dy = (yb - ya) * dir;
    if (xa > xb)
        std::swap(xa, xb);
    const float lo = static_cast<float>(clip_.x0), hi = static_cast<float>(clip_.x1);
    xa = std::clamp(xa, lo, hi);
    xb = std::clamp(xb, lo, hi);
    const int c0 = static_cast<int>(xa);
    const int c1 = static_cast<int>(xb);
    float* d = delta_.data();
    Widen(c0, c1 + 1);
    if (c0 == c1 || xb - xa < 1e-6f) {
        // One column: the part of the pixel right of the piece is covered.
        const float m = (xa + xb) * 0.5f - static_cast<float>(c0);
        d[c0] += dy * (1.0f - m);
        d[c0 + 1] += dy * m;
        Touch(c0);
        Touch(c0 + 1);
        return;
    }
    // Several columns: dy is spread evenly over x, each column's share
    // treated as a one-column piece.
    const float k = dy / (xb - xa);
    const float w0 = static_cast<float>(c0 + 1) - xa;
    const float m0 = 1.0f - w0 * 0.5f;
    d[c0] += k * w0 * (1.0f - m0);
    d[c0 + 1] += k * w0 * m0;
    Touch(c0);
    const float half = k * 0.5f;
    for (int c = c0 + 1; c < c1; ++c) {
        d[c] += half;
        d[c + 1] += half;
        Touch(c);
    }
    const float w1 = xb - static_cast<float>(c1);
    const float m1 = w1 * 0.5f;
    d[c1] += k * w1 * (1.0f - m1);
    d[c1 + 1] += k * w1 * m1;
    Touch(c1);
    Touch(c1 + 1);
}

void CoverageRasterizer::AccumulateCentre(const Edge& e, float yc) {
    if (!(e.y0 <= yc && yc < e.y1))
        return;
    const float xi = e.x0 + (yc - e.y0) * e.dxdy;
    // Pixel i is inside from this edge on when its centre i + 0.5 >= xi.
    float fi = std::ceil(xi - 0.5f);
    fi = std::clamp(fi, static_cast<float>(clip_.x0), static_cast<float>(clip_.x1));
    const int i = static_cast<int>(fi);
    delta_[i] += e.dir;
    Touch(i);
    Widen(i, i);
}

void CoverageRasterizer::Render(FillRule rule, bool antiAlias, SpanSink& sink) {
    if (!MayCover())
        return;
    // Edges bucketed by their first row (a counting sort: no comparisons).
    float minY = edges_.front().y0, maxY = 0;
    for (const Edge& e : edges_) {
        minY = std::min(minY, e.y0);
        maxY = std::max(maxY, e.y1);
    }
    const int firstRow = std::max(clip_.y0, static_cast<int>(std::floor(minY)));
    const int endRow = std::min(clip_.y1, static_cast<int>(std::ceil(maxY)));
    if (firstRow >= endRow)
        return;
    const size_t rows = static_cast<size_t>(endRow - firstRow);
    auto rowOf = [&](const Edge& e) {
        const int r = static_cast<int>(e.y0) - firstRow; // y0 >= 0
        return static_cast<size_t>(std::clamp(r, 0, static_cast<int>(rows) - 1));
    };
    rowStart_.assign(rows + 1, 0);
    for (const Edge& e : edges_)
        ++rowStart_[rowOf(e) + 1];
    for (size_t r = 0; r < rows; ++r)
        rowStart_[r + 1] += rowStart_[r];
    sorted_.resize(edges_.size());
    for (const Edge& e : edges_)
        sorted_[rowStart_[rowOf(e)]++] = e;
    // rowStart_[r] now ends bucket r, which begins where bucket r - 1 ends.
    active_.clear();
    active_.reserve(edges_.size()); // no allocation once deltas are written
    for (int y = firstRow; y < endRow; ++y) {
        const float rowTop = static_cast<float>(y), rowBottom = static_cast<float>(y + 1);
        const size_t r = static_cast<size_t>(y - firstRow);
        for (size_t i = r == 0 ? 0 : rowStart_[r - 1]; i < rowStart_[r]; ++i)
            active_.push_back(&sorted_[i]);
        size_t kept = 0;
        for (size_t i = 0; i < active_.size(); ++i) {
            if (active_[i]->y1 > rowTop)
                active_[kept++] = active_[i];
        }
        active_.resize(kept);
        if (active_.empty())
            continue;
        if (antiAlias) {
            for (const Edge* e : active_) {
                const float ya = std::max(e->y0, rowTop);
                const float yb = std::min(e->y1, rowBottom);
                if (!(yb > ya))
                    continue;
                const float xa = ya == e->y0 ? e->x0 : e->x0 + (ya - e->y0) * e->dxdy;
                const float xb = yb == e->y1 ? e->x1 : e->x0 + (yb - e->y0) * e->dxdy;
                // Most pieces stay in one column: done here, without clamping
                // (edges were clipped to the columns when added).
                const int c = static_cast<int>(xa);
                if (c == static_cast<int>(xb) && c >= clip_.x0 && c < clip_.x1) {
                    const float dy = (yb - ya) * e->dir;
                    const float m = (xa + xb) * 0.5f - static_cast<float>(c);
                    delta_[c] += dy * (1.0f - m);
                    delta_[c + 1] += dy * m;
                    Touch(c);
                    Touch(c + 1);
                    Widen(c, c + 1);
                    continue;
                }
                AccumulateArea(xa, ya, xb, yb, e->dir);
            }
        } else {
            for (const Edge* e : active_)
                AccumulateCentre(*e, rowTop + 0.5f);
        }
        if (rule == FillRule::NonZero)
            antiAlias ? EmitRow<FillRule::NonZero, true>(y, sink)
                      : EmitRow<FillRule::NonZero, false>(y, sink);
        else
            antiAlias ? EmitRow<FillRule::EvenOdd, true>(y, sink)
                      : EmitRow<FillRule::EvenOdd, false>(y, sink);
    }
}

template <FillRule R, bool AA> void CoverageRasterizer::EmitRow(int y, SpanSink& sink) {
    const int right = clip_.x1;
    float acc = 0;
    int x = clip_.x0;
    int runStart = -1;
    auto flushRun = [&](int end) {
        if (runStart >= 0 && end > runStart)
            sink.Span(y, runStart, end - runStart, cover_.data() + runStart, 0);
        runStart = -1;
    };
    auto coverage = [](float a) { return AA ? AreaCoverage(a, R) : CentreCoverage(a, R); };
    // Only the words holding this row's entries.
    const size_t firstWord = rowMax_ >= 0 ? static_cast<size_t>(rowMin_) >> 6 : 1;
    const size_t endWord = rowMax_ >= 0 ? (static_cast<size_t>(rowMax_) >> 6) + 1 : 0;
    rowMin_ = 1 << 30;
    rowMax_ = -1;
    for (size_t w = firstWord; w < endWord && w < touched_.size(); ++w) {
        uint64_t bits = touched_[w];
        if (!bits)
            continue;
        touched_[w] = 0;
        while (bits) {
            const int i = static_cast<int>(w * 64) + CountTrailingZeros(bits);
            bits &= bits - 1;
            const float d = delta_[i];
            delta_[i] = 0;
            if (i >= right)
                continue;
            if (i > x) {
                flushRun(x);
                const uint8_t c = coverage(acc);
                if (c)
                    sink.Span(y, x, i - x, nullptr, c);
            }
            acc += d;
            cover_[i] = coverage(acc);
            if (runStart < 0)
                runStart = i;
            x = i + 1;
        }
    }
    flushRun(x);
    if (x < right) {
        const uint8_t c = coverage(acc);
        if (c)
            sink.Span(y, x, right - x, nullptr, c);
    }
}

} // namespace zembra::raster
