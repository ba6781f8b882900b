#include "tools/pack/uCodePage.h"

#include <cstdio>

namespace zembra {

namespace {

// Length of the UTF-8 sequence starting at Text[At], 0 when it is not a
// valid one (overlong forms, surrogates and values above U+10FFFF are not).
std::size_t SequenceLength(const std::string& Text, std::size_t At, uint32_t& Value) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(Text[i]); };
    const unsigned char lead = byte(At);
    std::size_t n;
    uint32_t min;
    if (lead < 0x80) {
        Value = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
        min = 0x80;
        Value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        min = 0x800;
        Value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        min = 0x10000;
        Value = lead & 0x07;
    } else {
        return 0;
    }
    if (Text.size() - At < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(At + i) & 0xC0) != 0x80)
            return 0;
        Value = Value << 6 | (byte(At + i) & 0x3F);
    }
    if (Value < min || Value > 0x10FFFF || (Value >= 0xD800 && Value <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

bool IsValidUtf8(const std::string& Text) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < Text.size();) {
        const std::size_t n = SequenceLength(Text, i, value);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string FirstUnrepresentable(const TCodePage& Page, const std::string& Utf8) {
    std::string converted;
    uint32_t value = 0;
    for (std::size_t i = 0; i < Utf8.size();) {
        const std::size_t n = SequenceLength(Utf8, i, value);
        if (n == 0)
            return "an invalid UTF-8 sequence";
        const std::string character = Utf8.substr(i, n);
        if (!Page.FromUtf8(character, converted)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(value));
            return std::string(code) + (value >= 0x20 ? " '" + character + "'" : std::string());
        }
        i += n;
    }
    return std::string();
}

} // namespace zembra
