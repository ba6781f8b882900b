// Puts covered spans onto a target: paint colours composited over a
// premultiplied picture, or bare coverage added to a mask being built.
// Optionally multiplies the coverage by a clip mask first.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/uCoverageRasterizer.h"
#include "raster/uPaintShader.h"

namespace zembra::raster {

class SpanBlitter : public SpanSink {
  public:
    // Paint onto `pixels` (row stride in pixels).
    void TargetPicture(uint32_t* pixels, int stride, const PaintShader* shader);
    // Coverage union into `mask`: m = m + c - m * c.
    void TargetMask(uint8_t* mask, int stride);
    // Coverage multiplied by `clip` (same layout as the target); null: none.
    void ClipTo(const uint8_t* clip, int stride);

    // Makes room for spans up to `width` pixels, so drawing them never
    // allocates.
    void Reserve(int width);

    // The rows and columns written since the last call, then forgotten.
    ClipRect TakeDirty();

    void Span(int y, int x, int len, const uint8_t* cover, uint8_t constant) override;

  private:
    void PaintSpan(uint32_t* dst, int y, int x, int len, const uint8_t* cover, uint8_t constant);

    uint32_t* pixels_ = nullptr;
    uint8_t* mask_ = nullptr;
    int stride_ = 0;
    const PaintShader* shader_ = nullptr;
    const uint8_t* clip_ = nullptr;
    int clipStride_ = 0;
    ClipRect dirty_{0, 0, 0, 0};
    std::vector<uint8_t> clipped_;
    std::vector<uint32_t> colors_;
};

} // namespace zembra::raster
