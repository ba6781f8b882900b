// Which display objects lie under a point: the filled areas and strokes of
// shapes, morphs and drawings (each with its own winding rule), the boxes of
// text and bitmaps, buttons by their hit state, children cut by their masks.
#pragma once

#include "chars/uCharacters.h"
#include "timeline/uDisplayList.h"

namespace zembra::timeline {

class HitTester {
  public:
    explicit HitTester(chars::Dictionary& dict) : dict_(dict) {}

    // Whether `stagePoint` (twips) lies on what the object draws;
    // `parentWorld` maps its parent's space to the stage. With
    // `visibleOnly`, hidden objects and their children are missed.
    bool Object(const DisplayObject& obj, const raster::Matrix& parentWorld,
                raster::Point stagePoint, bool visibleOnly, int nesting = 0) const;
    // The same for everything a sprite instance shows (its drawing and
    // children), with `world` mapping its own space to the stage.
    bool Instance(const SpriteInstance& s, const raster::Matrix& world, raster::Point stagePoint,
                  bool visibleOnly, int nesting = 0) const;
    // A button's hit-state characters.
    bool ButtonArea(const chars::ButtonChar& button, const raster::Matrix& world,
                    raster::Point stagePoint, int nesting = 0) const;

  private:
    bool Character(const chars::Character* c, uint16_t ratio, const raster::Matrix& world,
                   raster::Point stagePoint, int nesting) const;

    chars::Dictionary& dict_;
};

} // namespace zembra::timeline
