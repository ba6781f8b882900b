// Draws a text field from its model: background and border in their
// colours, the laid-out lines from the scrolled one on, each character in
// its own format, with the embedded font's outlines or, for device fonts,
// a small built-in block font so the text still shows.
#pragma once

#include <functional>

#include "raster/uCanvas.h"

namespace zembra::text {
class TextField;
}

namespace zembra::timeline {

class TextFieldRenderer {
  public:
    // `spend` is asked before each path is drawn and says whether the
    // drawing's segment budget allows it.
    TextFieldRenderer(raster::Canvas& canvas, std::function<bool(size_t)> spend)
        : canvas_(canvas), spend_(std::move(spend)) {}

    // The field's rectangle is at (x, y) of the object's space.
    void Draw(const text::TextField& field, const raster::Matrix& m,
              const raster::ColorTransform& color);
    // Whether text reaching past the field's sides is cut there (not while
    // the field is drawn into a mask).
    void ClipToField(bool on) { clipToField_ = on; }
    // Whether a field without embedded fonts shows under `m` (its full
    // transform to pixels).
    static bool DeviceTextShows(const raster::Matrix& m);

  private:
    void DrawLines(const text::TextField& f, const raster::Matrix& m,
                   const raster::ColorTransform& color, size_t first, double top, double room);

    raster::Canvas& canvas_;
    std::function<bool(size_t)> spend_;
    bool clipToField_ = true;
};

} // namespace zembra::timeline
