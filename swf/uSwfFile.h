// A movie file opened: the header checked, the body decompressed within
// hard limits, and the tag stream split into tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "swf/uSwfReader.h"

namespace zembra::swf {

enum class Compression { None, Zlib, Lzma };

// No movie inflates beyond this; a header declaring more is refused as a
// decompression bomb.
constexpr uint32_t kMaxMovieLength = 64u << 20;
// Tags per timeline beyond this are dropped (each tag costs memory even when
// empty).
constexpr size_t kMaxTagsPerTimeline = 1u << 20;

struct Header {
    int version = 0;
    Compression compression = Compression::None;
    uint32_t fileLength = 0; // declared, uncompressed, header included
    Rect frame;
    double frameRate = 0;
    int frameCount = 0;
};

struct Tag {
    uint16_t code = 0;
    const uint8_t* data = nullptr;
    uint32_t length = 0;

    Reader Read() const { return Reader(data, length); }
};

namespace tags {
enum : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DefineBits = 6,
    DefineButton = 7,
    JPEGTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineFontInfo = 13,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    DefineShape2 = 22,
    DefineButtonCxform = 23,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJPEG3 = 35,
    DefineBitsLossless2 = 36,
    DefineEditText = 37,
    DefineSprite = 39,
    FrameLabel = 43,
    ExportAssets = 56,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    DoInitAction = 59,
    ScriptLimits = 65,
    DefineFontInfo2 = 62,
    FileAttributes = 69,
    PlaceObject3 = 70,
    DefineFontAlignZones = 73,
    DefineFont3 = 75,
    DefineScalingGrid = 78,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    DefineSceneAndFrameLabelData = 86,
    DefineBitsJPEG4 = 90,
};
}

// Splits tag data into tags up to the End tag. A tag whose declared length
// runs past the data is dropped and the list ends there (truncation keeps
// what came before); *truncated tells.
std::vector<Tag> SplitTags(const uint8_t* data, size_t size, bool* truncated = nullptr);

class File {
  public:
    // False with a one-line reason in `error` when the bytes are no playable
    // movie (bad signature, truncated header, bomb, undecodable start).
    bool Open(std::vector<uint8_t> bytes, std::string& error);

    const Header& GetHeader() const { return header_; }
    // The tags of the main timeline.
    const std::vector<Tag>& Tags() const { return tags_; }
    // True when the body or the tag stream ended early.
    bool Truncated() const { return truncated_; }

  private:
    Header header_;
    std::vector<uint8_t> body_; // everything after the 8-byte header, inflated
    std::vector<Tag> tags_;
    bool truncated_ = false;
};

} // namespace zembra::swf
