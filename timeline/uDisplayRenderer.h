// Draws display lists through the canvas: shapes, morphs, bitmaps, texts,
// text fields, sprites and buttons, with masks (clip depths) and blend
// layers.
#pragma once

#include "raster/uCanvas.h"
#include "timeline/uDisplayList.h"

namespace zembra::timeline {

class DisplayRenderer {
  public:
    DisplayRenderer(raster::Canvas& canvas, chars::Dictionary& dict) : canvas_(canvas), dict_(dict) {}

    // `toPixels` maps the list's twips to frame-buffer pixels.
    void DrawList(const SpriteInstance& s, const raster::Matrix& toPixels,
                  const raster::ColorTransform& color);

  private:
    void DrawObject(const DisplayObject& obj, const raster::Matrix& parent,
                    const raster::ColorTransform& parentColor);
    void DrawCharacter(const chars::Character* c, const DisplayObject* obj, uint16_t ratio,
                       ButtonState state, const raster::Matrix& m,
                       const raster::ColorTransform& color, int nesting);
    void DrawGeometry(const chars::ShapeGeometry& g, const raster::Matrix& m,
                      const raster::ColorTransform& color);
    void DrawText(const chars::TextChar& t, const raster::Matrix& m,
                  const raster::ColorTransform& color);
    void DrawEditText(const chars::EditTextChar& e, const raster::Matrix& m,
                      const raster::ColorTransform& color);

    raster::Canvas& canvas_;
    chars::Dictionary& dict_;
};

} // namespace zembra::timeline
