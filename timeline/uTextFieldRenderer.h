// Draws a text field (from its model, or a tag's initial text): border and background, styled runs
// (HTML fields), line breaks, word wrapping and alignment, with the
// embedded font's outlines or, for device fonts, a small built-in block
// font so the text still shows.
#pragma once

#include <functional>

#include "chars/uCharacters.h"
#include "raster/uCanvas.h"

namespace zembra::text {
class TextField;
}

namespace zembra::timeline {

class TextFieldRenderer {
  public:
    // `spend` is asked before each path is drawn and says whether the
    // drawing's segment budget allows it.
    TextFieldRenderer(raster::Canvas& canvas, const chars::Dictionary& dict,
                      std::function<bool(size_t)> spend)
        : canvas_(canvas), dict_(dict), spend_(std::move(spend)) {}

    void Draw(const chars::EditTextChar& e, const raster::Matrix& m,
              const raster::ColorTransform& color);
    // A field as its model holds it now: the rectangle at (x, y) of the
    // object's space, background and border in their colours, the lines
    // from the scrolled one on, each character in its own format.
    void Draw(const text::TextField& field, const raster::Matrix& m,
              const raster::ColorTransform& color);

  private:
    void DrawFrame(const chars::EditTextChar& e, const raster::Matrix& m,
                   const raster::ColorTransform& color);

    raster::Canvas& canvas_;
    const chars::Dictionary& dict_;
    std::function<bool(size_t)> spend_;
};

} // namespace zembra::timeline
