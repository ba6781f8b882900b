// Frame buffers to and from PNG files (straight alpha on disk, premultiplied
// in memory).
#pragma once

#include <string>

#include "raster/uCanvas.h"

namespace zembra::swftool {

bool WritePng(const std::string& path, const raster::FrameBuffer& fb);
// False when the file cannot be read or decoded.
bool ReadPng(const std::string& path, raster::FrameBuffer& fb);

} // namespace zembra::swftool
