// Source-over of premultiplied pixels along a row, scaled by coverage: the
// inner loops of every fill (vectorised where the target has SSE2).
#pragma once

#include <cstdint>

namespace zembra::raster {

// dst = src * cover + dst * (1 - alpha(src * cover)), pixel by pixel.
// `cover` null means `constant` for every pixel.
void OverRow(uint32_t* dst, const uint32_t* src, const uint8_t* cover, uint8_t constant, int len);

// The same with one colour for every pixel.
void OverSolidRow(uint32_t* dst, uint32_t color, const uint8_t* cover, uint8_t constant, int len);

} // namespace zembra::raster
