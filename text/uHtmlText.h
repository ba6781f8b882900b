// The html of text fields: reading markup into text with per-character
// formats, and writing a field's text and formats back as the markup the
// player's htmlText gives (paragraph by paragraph, FONT/A/B/I/U nested by
// difference from the enclosing format).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/uTextFormat.h"

namespace zembra::text {

// A stretch of text in one (fully set) format.
struct FormatSpan {
    size_t length = 0; // UTF-16 code units
    TextFormat format;
};

struct StyledText {
    std::u16string text; // paragraphs end with '\r'
    std::vector<FormatSpan> spans;

    // Appends text in a format, joining equal neighbours.
    void Append(const std::u16string& s, const TextFormat& f);
};

struct HtmlOptions {
    bool multiline = true; // closing </p>, <br> and </li> break the text
    // Runs of white space read as one space; from version 8 on, none at
    // the start of a line.
    bool condenseWhite = false;
    // Movies before version 8: text between tags that is only white space
    // is dropped, and FONT's KERNING and LETTERSPACING are not read.
    bool legacy = false;
};

// Unknown tags are dropped, their text kept; nesting is bounded.
StyledText ReadHtml(const std::string& html, const TextFormat& base, const HtmlOptions& options);

// `text` and `spans` as the field holds them; `empty` is the format shown
// for a field without text.
std::string WriteHtml(const StyledText& styled, const TextFormat& empty);

} // namespace zembra::text
