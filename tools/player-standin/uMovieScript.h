// Scripted movies of the player stand-in. A movie file whose first line is
// "#player-standin" is a script instead of a real movie; every further line
//   after <ms> fscommand <command> [<args>]
// asks the stand-in to raise FSCommand once that many milliseconds of frames
// have played. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zembra::standin {

// Never more than this much of a movie file is read.
constexpr std::size_t kMaxMovieScriptBytes = 64 * 1024;
// Instructions beyond this count are ignored.
constexpr std::size_t kMaxScriptEvents = 1024;
// A delay above one day is treated as a malformed line.
constexpr std::uint32_t kMaxScriptDelayMs = 24u * 60u * 60u * 1000u;

struct ScriptEvent {
    std::uint32_t afterMs = 0;
    std::string command;
    std::string args; // rest of the line, may be empty or hold spaces
};

struct MovieScript {
    bool scripted = false;           // the header line was present
    std::vector<ScriptEvent> events; // sorted by afterMs, file order kept for ties
};

// Parses the first bytes of a movie file. `truncated` says that the file
// went on beyond `content`; its last, incomplete line is then dropped.
// Malformed lines are skipped; an input without the header gives an
// unscripted, empty result.
MovieScript ParseMovieScript(std::string_view content, bool truncated);

} // namespace zembra::standin
