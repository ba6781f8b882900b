// The built-in player's translation of the control's property values into
// the movie engine's settings, and of the engine's pixels into what GDI
// shows. Portable, no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/uRasterTypes.h"
#include "timeline/uMoviePlayer.h"

namespace zembra::player {

// Quality numbers as hosts pass them: 0 low, 1 high, 2 autolow, 3 autohigh,
// 4 medium, 5 best. The automatic ones start at their named level; unknown
// numbers give high.
raster::Quality QualityFromControl(std::int32_t value) noexcept;

// Scale texts exactfit, showall, noborder and noscale, in any letter case.
// False (Mode untouched) for any other text.
bool ScaleModeFromText(const std::wstring& text, movie::ScaleMode& mode) noexcept;

// The control's colour is a Windows colour value, 0x00BBGGRR; the engine
// takes 0x00RRGGBB. Negative values (no colour) stay negative.
std::int32_t EngineColorFromControl(std::int32_t colorRef) noexcept;

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(const std::wstring& text);

// Premultiplied 0xAABBGGRR pixels to opaque 32-bit GDI pixels (blue in the
// lowest byte): what the frame shows over black.
void ToOpaqueBgra(const std::uint32_t* source, std::uint32_t* target, std::size_t count) noexcept;

} // namespace zembra::player
