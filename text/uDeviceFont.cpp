#include "text/uDeviceFont.h"

namespace zembra::text {

namespace {

// Widths in thousandths of an em for U+0020..U+007E.
constexpr unsigned short kSans[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333,  278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667,  611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 333, 556, 556, 500, 556, 556, 278,  556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,  500, 334, 260, 334, 584};
constexpr unsigned short kSerif[95] = {
    250, 333, 408, 500, 500, 833, 778, 180, 333, 333, 500, 564, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, 921, 722, 667, 667, 722, 611,
    556, 722, 722, 333, 389, 722, 611, 889, 722, 722, 556, 722, 667, 556, 611, 722, 722, 944, 722,
    722, 611, 333, 278, 333, 469, 500, 333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500,
    278, 778, 500, 500, 500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541};

bool IsSerif(const std::string& face) {
    std::string f;
    for (char c : face)
        f += static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    return f == "_serif" || f.rfind("times", 0) == 0 || f == "serif" || f == "georgia";
}

} // namespace

DeviceFont DeviceFont::For(const std::string& face) {
    return DeviceFont(IsSerif(face));
}

double DeviceFont::Advance(char16_t c) const {
    if (c >= 0x20 && c <= 0x7E)
        return (serif_ ? kSerif : kSans)[c - 0x20] / 1000.0;
    if (c == u'\t' || c == u'\r')
        return 0;
    if (c >= 0x2E80)
        return 1.0; // ideographs and kana are square
    return serif_ ? 0.5 : 0.556;
}

} // namespace zembra::text
