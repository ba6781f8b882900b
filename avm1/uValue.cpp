#include "avm1/uValue.h"
#include "util/uUtf8.h"

#include <cmath>
#include <limits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zembra::avm1 {

std::string NumberToString(double d) {
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", d);
    // buf: [-]d.ddddddddddddddde[+-]xx
    std::string out;
    const char* p = buf;
    bool neg = false;
    if (*p == '-') {
        neg = true;
        ++p;
    }
    std::string digits;
    while (*p && *p != 'e') {
        if (*p != '.')
            digits += *p;
        ++p;
    }
    int exp = (*p == 'e') ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    if (neg)
        out += '-';
    if (exp >= 15 || exp < -5) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'e';
        out += exp < 0 ? '-' : '+';
        out += std::to_string(exp < 0 ? -exp : exp);
    } else if (exp < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exp - 1), '0');
        out += digits;
    } else {
        size_t intLen = static_cast<size_t>(exp) + 1;
        if (digits.size() <= intLen) {
            out += digits;
            out.append(intLen - digits.size(), '0');
        } else {
            out.append(digits, 0, intLen);
            out += '.';
            out.append(digits, intLen, std::string::npos);
        }
    }
    return out;
}

std::string NumberToStringRadix(double d, int radix) {
    if (radix == 10 || radix < 2 || radix > 36)
        return NumberToString(d);
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    // The player works on the 32-bit integer value for other radixes.
    int32_t i = ToInt32(d);
    bool neg = i < 0;
    uint64_t u = neg ? static_cast<uint64_t>(-static_cast<int64_t>(i)) : static_cast<uint64_t>(i);
    std::string out;
    do {
        int digit = static_cast<int>(u % static_cast<uint64_t>(radix));
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        u /= static_cast<uint64_t>(radix);
    } while (u);
    if (neg)
        out.insert(out.begin(), '-');
    return out;
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Longest decimal number at s[i..]; returns the characters used (0 = none).
size_t ScanDecimal(const std::string& s, size_t i, double& out) {
    size_t start = i;
    size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digitsStart = i;
    bool any = false;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
        ++i;
        any = true;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            ++i;
            any = true;
        }
    }
    if (!any) {
        (void)digitsStart;
        return 0;
    }
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < n && s[j] >= '0' && s[j] <= '9') {
            while (j < n && s[j] >= '0' && s[j] <= '9')
                ++j;
            i = j;
        }
    }
    out = std::strtod(s.substr(start, i - start).c_str(), nullptr);
    return i - start;
}

} // namespace

double StringToNumber(const std::string& s, int version) {
    if (version <= 4) {
        // The oldest players read the leading number and call the rest 0.
        double d = ParseFloatPrefix(s);
        return std::isnan(d) ? 0.0 : d;
    }
    size_t i = 0;
    size_t n = s.size();
    while (i < n && IsSpace(s[i]))
        ++i;
    if (i == n)
        return std::nan("");
    if (version >= 6) {
        size_t j = i;
        bool neg = false;
        if (s[j] == '+' || s[j] == '-') {
            neg = s[j] == '-';
            ++j;
        }
        if (j + 1 < n && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
            // Hex text is a 32-bit word: digits past it wrap, exactly.
            uint32_t w = 0;
            size_t k = j + 2;
            // The digits may carry their own sign ("0x-10" is -16).
            if (k < n && (s[k] == '+' || s[k] == '-')) {
                if (s[k] == '-')
                    neg = !neg;
                ++k;
            }
            if (k == n)
                return std::nan("");
            for (; k < n; ++k) {
                int dv = DigitValue(s[k]);
                if (dv >= 16)
                    return std::nan("");
                w = w * 16 + static_cast<uint32_t>(dv);
            }
            double v = static_cast<int32_t>(w);
            return neg ? -v : v;
        }
        // Octal only when the text starts right away; after blanks it is decimal.
        if (i == 0 && j + 1 < n && s[j] == '0') {
            bool octal = true;
            for (size_t k = j; k < n; ++k)
                if (s[k] < '0' || s[k] > '7') {
                    octal = false;
                    break;
                }
            if (octal) {
                uint32_t w = 0;
                for (size_t k = j; k < n; ++k)
                    w = w * 8 + static_cast<uint32_t>(s[k] - '0');
                double v = static_cast<int32_t>(w);
                return neg ? -v : v;
            }
        }
    }
    double v = 0;
    size_t used = ScanDecimal(s, i, v);
    if (used == 0 || i + used != n)
        return std::nan("");
    return v;
}

double ParseFloatPrefix(const std::string& s) {
    // The player's own reader: fraction digits are added one scaled digit at
    // a time (so results may differ from correct rounding in the last bit),
    // further dots are skipped but end any exponent, and the exponent wraps
    // as a 32-bit integer.
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && IsSpace(s[i]))
        ++i;
    bool neg = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    double v = 0;
    bool any = false;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        any = true;
        ++i;
    }
    bool exponentAllowed = true;
    if (i < n && s[i] == '.') {
        double scale = 1;
        bool firstDot = true;
        while (i < n && (s[i] == '.' || (s[i] >= '0' && s[i] <= '9'))) {
            if (s[i] == '.') {
                if (!firstDot)
                    exponentAllowed = false;
                firstDot = false;
            } else {
                scale /= 10;
                v += (s[i] - '0') * scale;
                any = true;
            }
            ++i;
        }
    }
    if (!any)
        return std::nan("");
    if (exponentAllowed && i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        bool eneg = false;
        if (j < n && (s[j] == '+' || s[j] == '-')) {
            eneg = s[j] == '-';
            ++j;
        }
        if (j < n && s[j] >= '0' && s[j] <= '9') {
            uint32_t e = 0;
            for (; j < n && s[j] >= '0' && s[j] <= '9'; ++j)
                e = e * 10 + static_cast<uint32_t>(s[j] - '0');
            int64_t ex = static_cast<int32_t>(e);
            if (eneg)
                ex = -ex;
            v *= std::pow(10.0, static_cast<double>(ex));
        }
    }
    return neg ? -v : v;
}

double ParseIntPrefix(const std::string& s, int radix) {
    size_t i = 0;
    size_t n = s.size();
    while (i < n && IsSpace(s[i]))
        ++i;
    bool neg = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (radix == 0) {
        if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            radix = 16;
            hex = true;
            i += 2;
        } else {
            radix = 10;
        }
    } else if (radix == 16 && i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
    }
    if (radix < 2 || radix > 36)
        return std::nan("");
    double v = 0;
    bool any = false;
    for (; i < n; ++i) {
        int dv = DigitValue(s[i]);
        if (dv >= radix)
            break;
        v = v * radix + dv;
        any = true;
    }
    if (!any)
        return std::nan("");
    if (hex)
        v = ToInt32(v); // "0x" numbers are 32-bit words
    return neg ? -v : v;
}

int32_t ToInt32(double d) {
    if (!std::isfinite(d))
        return 0;
    double t = std::trunc(d);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    uint32_t u = static_cast<uint32_t>(m);
    return static_cast<int32_t>(u);
}

int ToClampedInt(double d) {
    if (std::isnan(d))
        return 0;
    constexpr double lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(std::min(hi, std::max(lo, d))));
}

uint32_t ToUint32(double d) {
    return static_cast<uint32_t>(ToInt32(d));
}

double ToIntegerValue(double d) {
    if (std::isnan(d))
        return 0;
    if (std::isinf(d))
        return d;
    return std::trunc(d);
}

std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            // Stray byte: keep it as its own unit so nothing is lost.
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + len > n) {
            out.push_back(c);
            ++i;
            continue;
        }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0xD800 && cp < 0xE000)
            cp = 0xFFFD; // an encoded lone surrogate reads as the replacement character
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        zembra::AppendUtf8(out, c);
    }
    return out;
}

std::string CodeUnitToUtf8(uint32_t unit) {
    std::string out;
    zembra::AppendUtf8(out, unit & 0xFFFF);
    return out;
}

} // namespace zembra::avm1
