#include "player/uPlayerValues.h"
#include "util/uUtf8.h"

namespace zembra::player {

namespace {

bool SameIgnoringAsciiCase(const std::wstring& a, const char* b) noexcept {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        wchar_t c = a[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != static_cast<wchar_t>(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && !b[i];
}

} // namespace

raster::Quality QualityFromControl(std::int32_t value) noexcept {
    switch (value) {
    case 0:
    case 2:
        return raster::Quality::Low;
    case 4:
        return raster::Quality::Medium;
    case 5:
        return raster::Quality::Best;
    default:
        return raster::Quality::High;
    }
}

bool ScaleModeFromText(const std::wstring& text, movie::ScaleMode& mode) noexcept {
    if (SameIgnoringAsciiCase(text, "exactfit"))
        mode = movie::ScaleMode::ExactFit;
    else if (SameIgnoringAsciiCase(text, "showall"))
        mode = movie::ScaleMode::ShowAll;
    else if (SameIgnoringAsciiCase(text, "noborder"))
        mode = movie::ScaleMode::NoBorder;
    else if (SameIgnoringAsciiCase(text, "noscale"))
        mode = movie::ScaleMode::NoScale;
    else
        return false;
    return true;
}

std::int32_t EngineColorFromControl(std::int32_t colorRef) noexcept {
    if (colorRef < 0)
        return colorRef;
    const std::uint32_t v = static_cast<std::uint32_t>(colorRef);
    return static_cast<std::int32_t>(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
}

std::string Utf8FromUtf16(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(text[i]) & 0xFFFF;
        if (sizeof(wchar_t) > 2)
            c = static_cast<std::uint32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const std::uint32_t low = static_cast<std::uint32_t>(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        } else if (c > 0x10FFFF) {
            c = 0xFFFD;
        }
        zembra::AppendUtf8(out, c);
    }
    return out;
}

void ToOpaqueBgra(const std::uint32_t* source, std::uint32_t* target, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = source[i];
        // Premultiplied colour is already the colour over black.
        target[i] = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
    }
}

} // namespace zembra::player
