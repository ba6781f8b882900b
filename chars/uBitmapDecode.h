// Bitmap characters decoded into premultiplied RGBA: JPEG (with the movie's
// shared tables and the alpha plane of the later variants), PNG and GIF
// data, and the lossless colour-mapped, 15-bit and 24/32-bit formats.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::chars {

// No bitmap larger than this on either side or in pixels is decoded.
constexpr int kMaxBitmapSide = 16384;
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 25;

// JPEG, PNG or GIF bytes. `tables` (may be empty) are the movie's shared
// JPEG tables, put in front of JPEG data that has none. The stray
// end/start-of-image marker pairs that old files carry are removed first.
std::shared_ptr<raster::Bitmap> DecodeImage(const uint8_t* data, size_t size,
                                            const std::vector<uint8_t>& tables);

// Applies a zlib-compressed alpha plane (one byte per pixel) to a decoded
// JPEG; a plane that is short or damaged leaves the rest opaque.
void ApplyAlphaPlane(raster::Bitmap& bitmap, const uint8_t* zdata, size_t size);

// DefineBitsLossless (version 1) and DefineBitsLossless2 (version 2), the
// tag body after the character id.
std::shared_ptr<raster::Bitmap> DecodeLossless(const uint8_t* data, size_t size, int version);

// Inflates at most `maxOut` bytes of a zlib stream; returns what came out.
std::vector<uint8_t> InflateLimited(const uint8_t* data, size_t size, size_t maxOut);

} // namespace zembra::chars
