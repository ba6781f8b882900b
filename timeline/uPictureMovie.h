// A JPEG, PNG or GIF file loaded into a clip plays as a one-frame movie
// that shows the picture at its own size from the clip's origin. Portable.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra::timeline {

// True when the bytes start like a JPEG, PNG or GIF file.
bool LooksLikePicture(const std::vector<uint8_t>& bytes);

// The movie file that shows the picture; empty when it cannot be decoded.
// `width` and `height` get its size in pixels.
std::vector<uint8_t> PictureMovie(const std::vector<uint8_t>& picture, int& width, int& height);

} // namespace zembra::timeline
