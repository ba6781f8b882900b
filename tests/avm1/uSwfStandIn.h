// Just enough of the movie file for running the corpus's scripts before the
// file and tag layers exist: header, zlib body, frames with their action
// blocks, labels, sprite definitions and placements with names and clip
// actions. Test-only; the real layers replace it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chars/uCharacters.h"

namespace zembra::avm1::standin {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

struct ClipAction {
    uint32_t events = 0;
    Bytes code;
};

struct Placement {
    bool remove = false;
    bool move = false;
    int depth = 0;
    int character = -1;
    double x = 0, y = 0; // translation, pixels
    bool hasMatrix = false;
    std::string name;
    std::vector<ClipAction> actions;
};

struct Frame {
    std::vector<Placement> places;
    std::vector<Bytes> actions;                     // DoAction, in order
    std::vector<std::pair<int, Bytes>> initActions; // DoInitAction: sprite id, code
    std::string label;
};

struct Timeline {
    std::vector<Frame> frames;
};

struct Movie {
    int version = 0;
    int frameCount = 0;
    double frameRate = 0;
    Timeline root;
    std::map<int, Timeline> sprites;
    std::map<std::string, int> exports;                              // linkage name -> character id
    std::map<int, std::vector<std::pair<int, Bytes>>> buttonActions; // unused for now
    // Definitions (fonts, edit texts) read by the character layer; they
    // point into `body`, which lives as long as the movie.
    std::shared_ptr<std::vector<uint8_t>> body;
    std::shared_ptr<chars::Dictionary> dictionary;
};

// Reads a whole movie file; returns false with a reason when it cannot.
bool LoadMovie(const std::vector<uint8_t>& file, Movie& out, std::string& error);

} // namespace zembra::avm1::standin
