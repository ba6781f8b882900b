// The software renderer: draws filled and stroked paths into a premultiplied
// RGBA frame buffer, with anti-aliasing, masks and blend layers. Portable.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

struct Filter;

// The pixels the canvas draws into: 0xAABBGGRR premultiplied, row after row.
class FrameBuffer {
  public:
    FrameBuffer() = default;
    // Sizes are clamped to 0..16384 on each side.
    FrameBuffer(int width, int height);
    void Resize(int width, int height);
    void Clear(Rgba color);

    int Width() const { return width_; }
    int Height() const { return height_; }
    uint32_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const std::vector<uint32_t>& Pixels() const { return pixels_; }
    std::vector<uint32_t>& Pixels() { return pixels_; }

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

class Canvas {
  public:
    explicit Canvas(FrameBuffer& target);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Low draws without anti-aliasing; medium and above with it.
    void SetQuality(Quality quality);
    Quality GetQuality() const;

    // Fills the area the segments enclose. `toPixels` maps segment (and
    // paint) coordinates to frame-buffer pixels; `color` is applied to every
    // colour of the paint.
    void FillPath(const std::vector<Segment>& segments, FillRule rule, const Paint& paint,
                  const Matrix& toPixels, const ColorTransform& color);

    // Strokes the segments as lines: consecutive segments whose ends meet
    // are joined, others start a new line (capped at both ends); a line
    // whose last point meets its first is closed and joined there.
    void StrokePath(const std::vector<Segment>& segments, const StrokeStyle& style,
                    const Matrix& toPixels, const ColorTransform& color);

    // Masks. Between BeginMask and EndMask every draw adds to the new mask
    // instead of the picture; after EndMask draws are clipped to it (and to
    // every enclosing mask) until the matching PopMask.
    // A mask takes only the shapes' anti-aliased coverage; the colours and
    // alpha of their paints do not matter. Calls without their partner are
    // ignored; masks and layers nest up to 64 deep, deeper ones are ignored
    // (with their partners).
    void BeginMask();
    void EndMask();
    void PopMask();

    // Blend layers. Draws between PushLayer and PopLayer go to a transparent
    // layer, which PopLayer puts onto what lies below with `mode`.
    // Only the area the layer's draws touched is blended, so Alpha, Erase and
    // Invert leave what lies outside it alone. Layers still open when the
    // canvas is destroyed are put down as Normal.
    void PushLayer();
    void PopLayer(BlendMode mode);
    // The same, running `filters` over the layer's picture first: they may
    // spread it past what was drawn (as far as the frame), and the mask in
    // force clips what they make. `scaleX` and `scaleY` are frame-buffer
    // pixels per stage pixel, the unit of the filters' sizes.
    void PopLayer(BlendMode mode, const std::vector<Filter>& filters, double scaleX, double scaleY);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace zembra::raster
