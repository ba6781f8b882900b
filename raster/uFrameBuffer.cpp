#include "raster/uCanvas.h"
#include "raster/uPixel.h"

#include <algorithm>

namespace zembra::raster {

namespace {

constexpr int kMaxSide = 16384;

int ClampSide(int v) {
    return v < 0 ? 0 : (v > kMaxSide ? kMaxSide : v);
}

} // namespace

FrameBuffer::FrameBuffer(int width, int height) {
    Resize(width, height);
}

void FrameBuffer::Resize(int width, int height) {
    width_ = ClampSide(width);
    height_ = ClampSide(height);
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
}

void FrameBuffer::Clear(Rgba color) {
    std::fill(pixels_.begin(), pixels_.end(), Premultiply(color));
}

} // namespace zembra::raster
