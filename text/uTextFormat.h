// A text format: every attribute may be unset. Fields hold fully set
// formats per character; scripts see partial ones (a range's common
// attributes, or only what a script assigned).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zembra::text {

enum class Align : uint8_t { Left, Right, Center, Justify };

const char* AlignName(Align a); // "left", "right", "center", "justify"
std::optional<Align> AlignFromName(const std::string& name);

struct TextFormat {
    std::optional<std::string> font;
    std::optional<double> size;
    std::optional<uint32_t> color; // 0xRRGGBB
    std::optional<bool> bold, italic, underline;
    std::optional<std::string> url, target;
    std::optional<Align> align;
    std::optional<double> leftMargin, rightMargin, indent, blockIndent, leading;
    std::optional<double> letterSpacing;
    std::optional<bool> bullet, kerning;
    std::optional<std::vector<double>> tabStops;

    // The player's format of a new field: Times New Roman 12, black, left.
    static TextFormat Default();
    // Sets every attribute that `o` sets.
    void MergeFrom(const TextFormat& o);
    // Keeps only the attributes that equal those of `o`.
    void IntersectWith(const TextFormat& o);
    bool operator==(const TextFormat& o) const;
    bool operator!=(const TextFormat& o) const { return !(*this == o); }
};

// The attributes that belong to a whole paragraph.
void MergeParagraph(TextFormat& into, const TextFormat& from);

} // namespace zembra::text
