// What is on stage: display objects by depth, and the playing state of the
// main timeline and every placed sprite.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chars/uCharacters.h"
#include "raster/uBitmapData.h"
#include "text/uTextField.h"
#include "timeline/uTimelineDef.h"

namespace zembra::timeline {

struct SpriteInstance;
struct LoadedMovie;
class Drawing;

enum class ButtonState { Up, Over, Down };

// A script's view of the transform: scales and rotation as last set, since
// the matrix alone cannot give them back (a zero scale loses the rotation).
struct ScriptTransform {
    bool valid = false;                // false: derive from the matrix on next use
    double xscale = 100, yscale = 100; // percent
    double rotation = 0, skew = 0;     // degrees; skew = y axis angle - x axis angle
};

struct DisplayObject {
    uint16_t characterId = 0;
    chars::Character* character = nullptr; // owned by the dictionary
    // Text fields: what scripts read and change, and what is drawn. Fields
    // made by scripts have no character.
    std::shared_ptr<text::TextField> textField;
    raster::Matrix matrix;
    raster::ColorTransform cxform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;
    raster::BlendMode blend = raster::BlendMode::Normal;
    bool visible = true;
    bool hasBackground = false;
    raster::Rgba background;
    std::shared_ptr<const std::vector<raster::Filter>> filters; // null: none
    // Kept for scripts to read; drawn as ordinary drawing.
    bool cacheAsBitmap = false;
    // setMask: the clip whose drawing limits this one (0: none), and
    // whether this one is such a mask (then it is not drawn itself).
    uint32_t maskClip = 0;
    bool usedAsMask = false;
    uint32_t maskedClip = 0; // the clip this one masks while usedAsMask
    // attachBitmap: a script's picture, drawn as it is at each frame.
    std::shared_ptr<const raster::BitmapData> scriptBitmap;
    bool bitmapSmoothing = false;
    // Placed by a frame (as opposed to created by a script): a rewind may
    // take it away.
    bool fromTimeline = true;
    int placeFrame = -1;                    // the parent's frame whose placement made it
    std::unique_ptr<SpriteInstance> sprite; // sprites only
    ButtonState buttonState = ButtonState::Up;
    // The script engine's handle (0: not scriptable: shapes, static text).
    uint32_t clipId = 0;
    std::vector<ClipEventAction> clipActions; // onClipEvent handlers of the placement
    ScriptTransform scriptTransform;
    // A script moved, scaled, rotated or recoloured it: the timeline's own
    // moves of the same placement no longer apply.
    bool scriptMoved = false;
    // _focusrect as a script set it: -1 unset (the main timeline's choice
    // applies), 0 no rectangle, 1 a rectangle.
    int8_t focusRect = -1;
};

struct SpriteInstance {
    const TimelineDef* def = nullptr;
    int frame = -1; // index of the frame shown; -1 before the first
    bool playing = true;
    int nesting = 0; // 0 for the main timeline
    SpriteInstance* parent = nullptr;
    // The tick it was placed in: its first frame is shown then, so it
    // advances from the next tick on.
    uint64_t bornTick = 0;
    std::map<int, DisplayObject> children;
    uint32_t clipId = 0; // the script handle of the clip this instance plays (1: the main timeline)
    uint16_t characterId = 0;
    std::shared_ptr<Drawing> drawing; // what its drawing commands drew, under its children
    // The loaded movie whose characters this timeline plays; null: the main
    // movie's. Owned by the movie.
    LoadedMovie* loaded = nullptr;

    int FrameCount() const { return def ? static_cast<int>(def->frames.size()) : 0; }
};

} // namespace zembra::timeline
