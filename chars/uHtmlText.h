// The small HTML subset of text fields, read into styled runs: <b>, <i>,
// <u>, <font color size face>, <p align>, <br>, and the common entities.
#pragma once

#include <string>
#include <vector>

#include "raster/uRasterTypes.h"

namespace zembra::chars {

struct TextStyle {
    bool bold = false, italic = false;
    bool hasColor = false;
    raster::Rgba color;
    double size = 0;  // points (pixels); 0 keeps the field's height
    std::string face; // empty keeps the field's font
};

struct TextRunSpan {
    std::string text; // UTF-8; "\n" for line breaks
    TextStyle style;
};

// Markup that cannot be read is kept as text; nesting depth is bounded.
std::vector<TextRunSpan> ParseHtml(const std::string& html);

} // namespace zembra::chars
