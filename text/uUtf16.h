// UTF-8 <-> UTF-16 for the text layer, which indexes text in UTF-16 code
// units as scripts do. Bad UTF-8 bytes read as U+FFFD. Header-only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "util/uUtf8.h"

namespace zembra::text {

inline std::u16string ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t n = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b >> 5) == 6) {
            n = 2, cp = b & 0x1F;
        } else if ((b >> 4) == 14) {
            n = 3, cp = b & 0x0F;
        } else if ((b >> 3) == 30) {
            n = 4, cp = b & 0x07;
        } else {
            n = 0;
        }
        if (n == 0 || i + n > s.size()) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        bool ok = true;
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok || cp > 0x10FFFF) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

inline std::string ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// A number as html attributes print it: integers plainly, else up to 15 digits.
inline std::string NumberText(double d) {
    char buf[40];
    if (d == static_cast<double>(static_cast<long long>(d)) && d > -1e15 && d < 1e15)
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(d));
    else
        std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

} // namespace zembra::text
