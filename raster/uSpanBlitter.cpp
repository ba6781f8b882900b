#include "raster/uSpanBlitter.h"
#include "raster/uCompositeRow.h"
#include "raster/uPixel.h"

#include <algorithm>

namespace zembra::raster {

void SpanBlitter::TargetPicture(uint32_t* pixels, int stride, const PaintShader* shader) {
    pixels_ = pixels;
    mask_ = nullptr;
    stride_ = stride;
    shader_ = shader;
}

void SpanBlitter::TargetMask(uint8_t* mask, int stride) {
    pixels_ = nullptr;
    mask_ = mask;
    stride_ = stride;
    shader_ = nullptr;
}

void SpanBlitter::ClipTo(const uint8_t* clip, int stride) {
    clip_ = clip;
    clipStride_ = stride;
}

void SpanBlitter::Reserve(int width) {
    const size_t n = width > 0 ? static_cast<size_t>(width) : 0;
    if (clipped_.size() < n)
        clipped_.resize(n);
    if (colors_.size() < n)
        colors_.resize(n);
}

ClipRect SpanBlitter::TakeDirty() {
    const ClipRect d = dirty_;
    dirty_ = ClipRect{0, 0, 0, 0};
    return d;
}

void SpanBlitter::Span(int y, int x, int len, const uint8_t* cover, uint8_t constant) {
    if (len <= 0)
        return;
    if (clip_) {
        if (clipped_.size() < static_cast<size_t>(len))
            clipped_.resize(static_cast<size_t>(len));
        const uint8_t* m = clip_ + static_cast<size_t>(y) * clipStride_ + x;
        uint8_t* out = clipped_.data();
        for (int i = 0; i < len; ++i)
            out[i] = static_cast<uint8_t>(Mul255(cover ? cover[i] : constant, m[i]));
        cover = out;
    }
    if (dirty_.Empty()) {
        dirty_ = ClipRect{x, y, x + len, y + 1};
    } else {
        dirty_.x0 = std::min(dirty_.x0, x);
        dirty_.x1 = std::max(dirty_.x1, x + len);
        dirty_.y0 = std::min(dirty_.y0, y);
        dirty_.y1 = std::max(dirty_.y1, y + 1);
    }
    if (mask_) {
        uint8_t* dst = mask_ + static_cast<size_t>(y) * stride_ + x;
        for (int i = 0; i < len; ++i) {
            const uint32_t c = cover ? cover[i] : constant;
            dst[i] = static_cast<uint8_t>(dst[i] + c - Mul255(dst[i], c));
        }
        return;
    }
    if (pixels_ && shader_)
        PaintSpan(pixels_ + static_cast<size_t>(y) * stride_ + x, y, x, len, cover, constant);
}

void SpanBlitter::PaintSpan(uint32_t* dst, int y, int x, int len, const uint8_t* cover,
                            uint8_t constant) {
    if (shader_->IsSolid()) {
        OverSolidRow(dst, shader_->SolidColor(), cover, constant, len);
        return;
    }
    if (colors_.size() < static_cast<size_t>(len))
        colors_.resize(static_cast<size_t>(len));
    uint32_t* src = colors_.data();
    shader_->Shade(y, x, len, src);
    if (!cover && constant == 255 && shader_->IsOpaque()) {
        std::copy(src, src + len, dst);
        return;
    }
    OverRow(dst, src, cover, constant, len);
}

} // namespace zembra::raster
