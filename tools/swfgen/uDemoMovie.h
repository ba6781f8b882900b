// The sample movie of the demo package: a sky-coloured stage with gradient
// hills, a sun that arcs across it and a turning star, then "quit" to the
// host on its last frame. Portable.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra::swfgen {

struct DemoMovieOptions {
    int frames = 150;      // 1..2000
    double frameRate = 30; // 1..120
    bool compress = false; // zlib body
    bool quitAtEnd = true; // getURL "FSCommand:quit" on the last frame
};

// Colours the movie is known by (tests look for them on the screen).
struct DemoPalette {
    static constexpr uint32_t kBackground = 0x102040; // 0xRRGGBB
    static constexpr uint32_t kSunCore = 0xFFF080;
    static constexpr uint32_t kSunEdge = 0xE04010;
    static constexpr uint32_t kHillsTop = 0x30B050;
    static constexpr uint32_t kHillsFoot = 0x106070;
    static constexpr uint32_t kStar = 0xD040A0;
};

constexpr int32_t kDemoStageWidth = 640; // pixels
constexpr int32_t kDemoStageHeight = 480;

// Throws std::invalid_argument for options out of range.
std::vector<uint8_t> BuildDemoMovie(const DemoMovieOptions& options);

} // namespace zembra::swfgen
