#include "text/uTextFormat.h"

namespace zembra::text {

namespace {

template <class T> void Take(std::optional<T>& into, const std::optional<T>& from) {
    if (from)
        into = from;
}
template <class T> void Keep(std::optional<T>& mine, const std::optional<T>& other) {
    if (mine != other)
        mine.reset();
}

} // namespace

const char* AlignName(Align a) {
    switch (a) {
    case Align::Right:
        return "right";
    case Align::Center:
        return "center";
    case Align::Justify:
        return "justify";
    default:
        return "left";
    }
}

std::optional<Align> AlignFromName(const std::string& name) {
    std::string n;
    for (char c : name)
        n += static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    if (n == "left")
        return Align::Left;
    if (n == "right")
        return Align::Right;
    if (n == "center")
        return Align::Center;
    if (n == "justify")
        return Align::Justify;
    return std::nullopt;
}

TextFormat TextFormat::Default() {
    TextFormat f;
    f.font = "Times New Roman";
    f.size = 12;
    f.color = 0;
    f.bold = f.italic = f.underline = false;
    f.url = f.target = "";
    f.align = Align::Left;
    f.leftMargin = f.rightMargin = f.indent = f.blockIndent = f.leading = 0;
    f.letterSpacing = 0;
    f.bullet = f.kerning = false;
    f.tabStops = std::vector<double>();
    return f;
}

void TextFormat::MergeFrom(const TextFormat& o) {
    Take(font, o.font);
    Take(size, o.size);
    Take(color, o.color);
    Take(bold, o.bold);
    Take(italic, o.italic);
    Take(underline, o.underline);
    Take(url, o.url);
    Take(target, o.target);
    Take(letterSpacing, o.letterSpacing);
    Take(kerning, o.kerning);
    MergeParagraph(*this, o);
}

void MergeParagraph(TextFormat& into, const TextFormat& from) {
    Take(into.align, from.align);
    Take(into.leftMargin, from.leftMargin);
    Take(into.rightMargin, from.rightMargin);
    Take(into.indent, from.indent);
    Take(into.blockIndent, from.blockIndent);
    Take(into.leading, from.leading);
    Take(into.bullet, from.bullet);
    Take(into.tabStops, from.tabStops);
}

void TextFormat::IntersectWith(const TextFormat& o) {
    Keep(font, o.font);
    Keep(size, o.size);
    Keep(color, o.color);
    Keep(bold, o.bold);
    Keep(italic, o.italic);
    Keep(underline, o.underline);
    Keep(url, o.url);
    Keep(target, o.target);
    Keep(align, o.align);
    Keep(leftMargin, o.leftMargin);
    Keep(rightMargin, o.rightMargin);
    Keep(indent, o.indent);
    Keep(blockIndent, o.blockIndent);
    Keep(leading, o.leading);
    Keep(letterSpacing, o.letterSpacing);
    Keep(bullet, o.bullet);
    Keep(kerning, o.kerning);
    Keep(tabStops, o.tabStops);
}

bool TextFormat::operator==(const TextFormat& o) const {
    return font == o.font && size == o.size && color == o.color && bold == o.bold &&
           italic == o.italic && underline == o.underline && url == o.url && target == o.target &&
           align == o.align && leftMargin == o.leftMargin && rightMargin == o.rightMargin &&
           indent == o.indent && blockIndent == o.blockIndent && leading == o.leading &&
           letterSpacing == o.letterSpacing && bullet == o.bullet && kerning == o.kerning &&
           tabStops == o.tabStops;
}

} // namespace zembra::text
