// Draws display lists through the canvas: shapes, morphs, bitmaps, texts,
// text fields, sprites and buttons, with masks (clip depths) and blend
// layers.
#pragma once

#include <functional>

#include "raster/uCanvas.h"
#include "timeline/uDisplayList.h"

namespace zembra::timeline {

class DisplayRenderer {
  public:
    DisplayRenderer(raster::Canvas& canvas, chars::Dictionary& dict)
        : canvas_(canvas), dict_(&dict) {}

    // `toPixels` maps the list's twips to frame-buffer pixels.
    void DrawList(const SpriteInstance& s, const raster::Matrix& toPixels,
                  const raster::ColorTransform& color);

    // Finds a setMask mask: its object and its parent's matrix relative to
    // the first list drawn. Without it, such masks are left out.
    using MaskLookup =
        std::function<bool(uint32_t clip, const DisplayObject*& obj, raster::Matrix& parent)>;
    void SetMaskLookup(MaskLookup lookup) { maskLookup_ = std::move(lookup); }

    // The object's bounds in its parent's twips (an empty rect when it has
    // none).
    swf::Rect Bounds(const DisplayObject& obj, int nesting = 0);

  private:
    swf::Rect LocalBounds(const DisplayObject& obj, int nesting);
    void DrawObject(const DisplayObject& obj, const raster::Matrix& parent,
                    const raster::ColorTransform& parentColor);
    void DrawCharacter(const chars::Character* c, const DisplayObject* obj, uint16_t ratio,
                       ButtonState state, const raster::Matrix& m,
                       const raster::ColorTransform& color, int nesting);
    void DrawSpriteFirstFrame(const chars::SpriteChar& sprite, const raster::Matrix& m,
                              const raster::ColorTransform& color, int nesting);
    void DrawUnmasked(const DisplayObject& obj, const raster::Matrix& parent,
                      const raster::ColorTransform& parentColor);
    void DrawScriptBitmap(const raster::BitmapData& bd, bool smooth, const raster::Matrix& m,
                          const raster::ColorTransform& color);
    void DrawGeometry(const chars::ShapeGeometry& g, const raster::Matrix& m,
                      const raster::ColorTransform& color);
    void DrawText(const chars::TextChar& t, const raster::Matrix& m,
                  const raster::ColorTransform& color);
    void DrawEditText(const chars::EditTextChar& e, const raster::Matrix& m,
                      const raster::ColorTransform& color);

    // Draws through a layer when the object blends or has filters.
    void PushLayerFor(raster::BlendMode blend, const raster::FilterList* filters);
    void PopLayerFor(raster::BlendMode blend, const raster::FilterList* filters);

    raster::Canvas& canvas_;
    int layers_ = 0; // enclosing objects drawn in Layer mode
    int lists_ = 0;  // display lists being drawn (0: the next one is the stage)
    int masks_ = 0;  // masks being drawn: filters make no difference to them
    // Frame-buffer pixels per stage pixel, the unit of filter sizes.
    double stageScaleX_ = 1, stageScaleY_ = 1;
    // Segments handed to the canvas in this drawing; past the bound the
    // rest of the picture is left out rather than taking forever.
    size_t segments_ = 0;
    bool Spend(size_t n);
    size_t firstFrameWork_ = 0; // tags and objects of sprites inside buttons
    // The dictionary of the timeline being drawn (a loaded movie has its own).
    chars::Dictionary& Dict() { return *dict_; }
    chars::Dictionary* dict_;
    MaskLookup maskLookup_;
    raster::Matrix firstListToPixels_; // where setMask masks are placed from
    int scriptMasks_ = 0;              // setMask masks being drawn
};

} // namespace zembra::timeline
