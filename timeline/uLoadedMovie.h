// A movie file loaded into a clip while the main movie plays: its own file,
// characters, timelines and exported names. The main movie owns it for as
// long as it plays, so what its clips and scripts point into stays valid.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "chars/uCharacters.h"
#include "swf/uSwfFile.h"
#include "text/uDictionaryFonts.h"
#include "timeline/uTimelineDef.h"

namespace zembra::timeline {

struct LoadedMovie {
    swf::File file;
    chars::Dictionary dict;
    text::DictionaryFonts fonts{&dict};
    TimelineDef rootDef;
    std::map<uint16_t, std::unique_ptr<TimelineDef>> spriteDefs;
    std::map<std::string, uint16_t> exports; // lower-cased linkage -> character id
    std::set<uint16_t> initDone;             // sprites whose init actions ran
    std::string url;
    int version = 0;
    bool picture = false; // a JPEG, PNG or GIF file shown as a movie
    uint32_t bytes = 0; // as loaded

    LoadedMovie() = default;
    LoadedMovie(const LoadedMovie&) = delete;
    LoadedMovie& operator=(const LoadedMovie&) = delete;
};

} // namespace zembra::timeline
