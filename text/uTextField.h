// The state of one text field as scripts and the renderer see it: its text
// with a format per character, the field's properties, and the line layout
// that the metrics (textWidth, textHeight, scroll limits) and autoSize come
// from. Positions and sizes are pixels; text indexes are UTF-16 units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/uHtmlText.h"
#include "text/uTextFormat.h"

namespace zembra::chars {
struct FontChar;
}

namespace zembra::text {

// Where embedded fonts come from (the movie's dictionary).
class FontSource {
  public:
    virtual ~FontSource() = default;
    virtual const chars::FontChar* Find(const std::string& face, bool bold, bool italic) const = 0;
};

enum class AutoSize : uint8_t { None, Left, Center, Right };

struct TextLine {
    size_t begin = 0, end = 0; // text range, the break itself excluded
    double x = 0;              // left of the line inside the gutter
    double width = 0;
    double ascent = 0, descent = 0, leading = 0;
    double top = 0; // from the text's top
};

class TextField {
  public:
    // Longest text a field keeps; longer assignments are cut.
    static constexpr size_t kMaxLength = 1u << 20;

    TextField();

    // ---- Geometry (the field's rectangle in its parent, pixels)
    double x = 0, y = 0;
    double Width() const { return width_; }
    double Height() const { return height_; }
    void SetSize(double w, double h);

    // ---- Plain properties
    bool border = false, background = false;
    uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
    bool selectable = true, password = false, input = false;
    bool mouseWheelEnabled = true;
    int maxChars = 0;     // 0: no limit
    std::string restrict; // empty: anything
    bool restrictSet = false;
    std::string variable;
    int64_t tabIndex = -1; // 0 .. 2^32-1; -1: unset
    // How the text is anti-aliased: kept for scripts; drawing is the same.
    std::string antiAliasType = "normal"; // "normal", "advanced"
    std::string gridFitType = "pixel";    // "none", "pixel", "subpixel"
    double thickness = 0, sharpness = 0;

    // The movie's file version: html reading differs before version 8.
    void SetMovieVersion(int version) { legacyHtml_ = version < 8; }

    bool Html() const { return html_; }
    // Turning html off aligns the field left again.
    void SetHtml(bool on);
    bool Multiline() const { return multiline_; }
    void SetMultiline(bool on);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on);
    bool CondenseWhite() const { return condenseWhite_; }
    void SetCondenseWhite(bool on) { condenseWhite_ = on; }
    bool EmbedFonts() const { return embedFonts_; }
    void SetEmbedFonts(bool on);
    AutoSize GetAutoSize() const { return autoSize_; }
    void SetAutoSize(AutoSize a);

    // ---- Text
    const std::u16string& Text() const { return styled_.text; }
    std::string TextUtf8() const;
    // Newlines ("\r\n", "\n") become "\r"; the text takes the new-text format.
    void SetText(const std::u16string& text);
    std::string HtmlText() const; // the text when the field is not html
    void SetHtmlText(const std::string& html);
    size_t Length() const { return styled_.text.size(); }
    // Replaces [begin, end) (clamped) with text in the format of the first
    // replaced character (or the new-text format).
    void ReplaceText(size_t begin, size_t end, const std::u16string& text);
    const StyledText& Styled() const { return styled_; }

    // ---- Formats
    // Common attributes of [begin, end); the new-text format when empty.
    TextFormat GetTextFormat(size_t begin, size_t end) const;
    // Sets the attributes `f` sets on [begin, end); paragraph attributes on
    // the whole paragraphs touched.
    void SetTextFormat(size_t begin, size_t end, const TextFormat& f);
    const TextFormat& NewTextFormat() const { return newFormat_; }
    void SetNewTextFormat(const TextFormat& f);
    // The colour of new text; setting it colours all text too.
    uint32_t TextColor() const;
    void SetTextColor(uint32_t rgb);

    // ---- Layout
    void SetFontSource(const FontSource* fonts);
    // For drawing character i: its format, its embedded font (null: the
    // device font) and its advance in pixels, letter spacing included.
    const TextFormat& FormatAt(size_t i) const;
    const chars::FontChar* FontAt(size_t i) const;
    double AdvanceAt(size_t i) const;
    const std::vector<TextLine>& Lines() const;
    double TextWidth() const;
    double TextHeight() const;
    int Scroll() const { return scroll_; }
    void SetScroll(int line);
    int MaxScroll() const;
    int BottomScroll() const;
    double HScroll() const { return hscroll_; }
    void SetHScroll(double px);
    double MaxHScroll() const;

  private:
    void Changed();
    void Layout() const;
    void ApplyAutoSize();
    void NormalizeParagraphs();
    // Line metrics and advances of one format.
    struct Metrics {
        const chars::FontChar* font = nullptr;
        bool serif = false; // which device font, when there is no font
        double size = 12;
        double ascent = 0, descent = 0;
        double Advance(char16_t c) const;
    };
    Metrics MetricsFor(const TextFormat& f) const;
    std::vector<const TextFormat*> FormatsPerChar() const;

    StyledText styled_;
    TextFormat newFormat_;
    double width_ = 100, height_ = 100;
    bool html_ = false, multiline_ = false, wordWrap_ = false, condenseWhite_ = false;
    bool embedFonts_ = false;
    bool legacyHtml_ = false;
    AutoSize autoSize_ = AutoSize::None;
    int scroll_ = 1;
    double hscroll_ = 0;
    const FontSource* fonts_ = nullptr;

    mutable bool dirty_ = true;
    mutable std::vector<TextLine> lines_;
    mutable std::vector<uint32_t> spanOf_; // span index per character
    mutable std::vector<Metrics> metrics_; // per span
    mutable double textWidth_ = 0, textHeight_ = 0;
};

} // namespace zembra::text
