// A timeline as stored: the control tags of each frame and the frame
// labels, for the main movie and for every sprite.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "swf/uSwfFile.h"

namespace zembra::timeline {

struct FrameDef {
    std::vector<swf::Tag> tags; // placement, removal, actions, labels, background
};

struct TimelineDef {
    std::vector<FrameDef> frames;
    std::map<std::string, int> labels; // lower-cased label -> frame index

    int FrameOfLabel(const std::string& label) const; // -1 when unknown
};

// Splits tags at ShowFrame. Definition tags are left out (the dictionary
// takes them); tags after the last ShowFrame belong to no shown frame. A
// timeline always has at least one (possibly empty) frame.
TimelineDef BuildTimeline(const std::vector<swf::Tag>& tags, int version);

// Clip event flags as PlaceObject2/3 store them (the 2-byte form of
// version 5 and earlier holds the low 16 bits).
namespace clipevents {
enum : uint32_t {
    Load = 0x1,
    EnterFrame = 0x2,
    Unload = 0x4,
    MouseMove = 0x8,
    MouseDown = 0x10,
    MouseUp = 0x20,
    KeyDown = 0x40,
    KeyUp = 0x80,
    Data = 0x100,
    Initialize = 0x200,
    Press = 0x400,
    Release = 0x800,
    ReleaseOutside = 0x1000,
    RollOver = 0x2000,
    RollOut = 0x4000,
    DragOver = 0x8000,
    DragOut = 0x10000,
    KeyPress = 0x20000,
    Construct = 0x40000,
};
}

// One onClipEvent handler; the code points into the movie's bytes.
struct ClipEventAction {
    uint32_t events = 0;
    uint8_t key = 0; // keyPress: the key code
    const uint8_t* code = nullptr;
    size_t size = 0;
};

// One PlaceObject (1, 2 or 3) record.
struct Placement {
    uint16_t depth = 0;
    bool move = false;
    bool hasCharacter = false;
    uint16_t characterId = 0;
    bool hasMatrix = false;
    raster::Matrix matrix;
    bool hasCxform = false;
    raster::ColorTransform cxform;
    bool hasRatio = false;
    uint16_t ratio = 0;
    bool hasName = false;
    std::string name;
    bool hasClipDepth = false;
    uint16_t clipDepth = 0;
    bool hasBlend = false;
    raster::BlendMode blend = raster::BlendMode::Normal;
    bool hasVisible = false;
    bool visible = true;
    bool hasBackground = false;
    raster::Rgba background; // opaque background behind the object's bounds
    std::vector<ClipEventAction> clipActions;
};

// False when the tag is too short to name a depth.
bool ReadPlacement(const swf::Tag& tag, int version, Placement& out);

bool IsPlaceTag(uint16_t code);
bool IsRemoveTag(uint16_t code);
// The depth a RemoveObject (1 or 2) names.
uint16_t RemovedDepth(const swf::Tag& tag);

} // namespace zembra::timeline
