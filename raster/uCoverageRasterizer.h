// Scanline rasterizer with exact area coverage. Lines are added in pixel
// coordinates; Render walks the rows of the clip rectangle top to bottom and
// hands each row's covered spans to a sink. Memory is reused between paths,
// so a rasterizer should live as long as the canvas that uses it.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

struct ClipRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // [x0, x1) x [y0, y1)
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

ClipRect Intersect(const ClipRect& a, const ClipRect& b);

class SpanSink {
  public:
    virtual ~SpanSink() = default;
    // Pixels [x, x + len) of row y: coverage cover[i] (0..255), or `constant`
    // for all of them when cover is null.
    virtual void Span(int y, int x, int len, const uint8_t* cover, uint8_t constant) = 0;
};

class CoverageRasterizer {
  public:
    // Starts a new path clipped to `clip` (which must lie inside 0..16384).
    void Reset(const ClipRect& clip);
    // Adds one edge. Non-finite coordinates poison the path, which then
    // draws nothing.
    void AddLine(double x0, double y0, double x1, double y1);
    // False when nothing of the path so far can reach the clip rectangle.
    bool MayCover() const;
    // antiAlias false samples pixel centres only.
    void Render(FillRule rule, bool antiAlias, SpanSink& sink);

  private:
    struct Edge {
        float x0, y0, x1, y1; // y0 < y1
        float dxdy;
        float dir; // +1 downwards in the original path, -1 upwards
    };

    void AddClipped(double x0, double y0, double x1, double y1);
    void PushEdge(double x0, double y0, double x1, double y1);
    void AccumulateArea(float xa, float ya, float xb, float yb, float dir);
    void AccumulateCentre(const Edge& e, float yc);
    // Marks entry i written; Widen(lo, hi) widens the row's written range.
    void Touch(int i) { touched_[static_cast<size_t>(i) >> 6] |= uint64_t(1) << (i & 63); }
    void Widen(int lo, int hi) {
        rowMin_ = lo < rowMin_ ? lo : rowMin_;
        rowMax_ = hi > rowMax_ ? hi : rowMax_;
    }
    template <FillRule R, bool AA> void EmitRow(int y, SpanSink& sink);

    ClipRect clip_;
    bool poisoned_ = false;
    std::vector<Edge> edges_;
    std::vector<Edge> sorted_;       // edges_ by first row
    std::vector<uint32_t> rowStart_; // bucket bounds in sorted_
    std::vector<const Edge*> active_;
    std::vector<float> delta_;           // per column, index x (absolute), plus one
    std::vector<uint64_t> touched_;      // bit per delta_ entry written this row
    int rowMin_ = 1 << 30, rowMax_ = -1; // of the entries written this row
    std::vector<uint8_t> cover_;
};

} // namespace zembra::raster
