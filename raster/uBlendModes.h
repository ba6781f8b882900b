// Puts a row of premultiplied layer pixels onto the row below with a blend
// mode (the usual separable definitions on premultiplied colour).
#pragma once

#include <cstdint>

#include "raster/uRasterTypes.h"

namespace zembra::raster {

uint32_t BlendPixel(BlendMode mode, uint32_t src, uint32_t dst);

void BlendRow(BlendMode mode, const uint32_t* src, uint32_t* dst, int len);

} // namespace zembra::raster
