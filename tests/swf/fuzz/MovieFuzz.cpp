// Feeds arbitrary bytes to the player as a movie: load, run a few frames
// with their scripts and the pointer and keys moving, draw each at a small
// size. Nothing may crash, read out of bounds, leak, or take unbounded time
// or memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "timeline/uMoviePlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zembra::movie::MoviePlayer player;
    player.OnTrace = [](const std::string&) {};
    player.OnFSCommand = [](const std::string&, const std::string&) {};
    // Scripts get little time, so each input stays fast.
    player.SetScriptTimeLimit(0.02);
    if (!player.Load(std::vector<uint8_t>(data, data + size)))
        return 0;
    zembra::raster::FrameBuffer fb(32, 24);
    for (int i = 0; i < 4; ++i) {
        player.Advance();
        player.MouseMove(8.0 * i, 6.0 * i);
        player.MouseButton(i == 1);
        player.Key(37 + i, i != 2);
        player.Render(fb);
    }
    return 0;
}
