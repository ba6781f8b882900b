#include "util/uUtils.h"

#include "util/uMbcs.h"

#include <climits>

namespace zembra {

namespace {

int HexDigitValue(char C) noexcept {
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

const char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& Out, unsigned Value) {
    Out += kHexDigits[(Value >> 4) & 0x0F];
    Out += kHexDigits[Value & 0x0F];
}

// A version field as a number; 0 when it is not a decimal integer.
long long FieldValue(const std::string& Field) {
    const std::string text = Trim(Field);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return 0;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return 0; // not a 32-bit integer
    }
    return negative ? -value : value;
}

// True when Text holds nothing but the "%1" placeholder, quotes and blanks:
// such a quoted part is the argument, not the program.
bool IsOnlyPlaceholder(const std::string& Text) {
    return Trim(MbcsReplaceAll(MbcsReplaceAll(Text, "%1", ""), "'", "")).empty();
}

} // namespace

std::string Trim(const std::string& Text) {
    std::size_t first = 0;
    std::size_t last = Text.size();
    while (first < last && static_cast<unsigned char>(Text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(Text[last - 1]) <= ' ')
        --last;
    return Text.substr(first, last - first);
}

std::string RemoveTrailing(const std::string& Text, char Ch) {
    if (!Text.empty() && Text.back() == Ch)
        return Text.substr(0, Text.size() - 1);
    return Text;
}

std::string QuoteString(const std::string& Text, char Quote) {
    const std::string quote(1, Quote);
    return quote + MbcsReplaceAll(Text, quote, quote + quote) + quote;
}

std::string UnquoteString(const std::string& Text, char Quote) {
    if (Text.empty() || Text[0] != Quote)
        return Text;
    std::string taken;
    std::size_t i = 1;
    while (i < Text.size()) {
        if (Text[i] == Quote) {
            if (i + 1 < Text.size() && Text[i + 1] == Quote) {
                taken += Quote;
                i += 2;
                continue;
            }
            break; // the closing quote; what follows is dropped
        }
        const std::size_t len = MbcsCharLength(Text, i);
        taken.append(Text, i, len);
        i += len;
    }
    return taken.empty() ? Text : taken;
}

int TakeHexByte(std::string& Text) {
    const std::size_t count = Text.size() < 2 ? Text.size() : 2;
    int value = 0;
    bool valid = count > 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = HexDigitValue(Text[i]);
        if (digit < 0)
            valid = false;
        value = value * 16 + digit;
    }
    Text.erase(0, count);
    return valid ? value : 0;
}

std::string DecodeHexText(const std::string& Encoded) {
    if (Encoded.empty())
        return std::string();
    if (Encoded.size() < 8)
        throw EConvertError("encoded text without its rotation count");
    std::uint32_t rotation = 0;
    for (std::size_t i = Encoded.size() - 8; i < Encoded.size(); ++i) {
        const int digit = HexDigitValue(Encoded[i]);
        if (digit < 0)
            throw EConvertError("rotation count of an encoded text is not hexadecimal");
        rotation = rotation * 16 + static_cast<std::uint32_t>(digit);
    }
    std::string text = Encoded.substr(0, Encoded.size() - 8);

    // Undo the left rotation: the last N characters move to the front.
    if (rotation <= text.size())
        text = text.substr(text.size() - rotation) + text.substr(0, text.size() - rotation);

    const std::size_t filler = 2 * static_cast<std::size_t>(TakeHexByte(text));
    text.erase(text.size() - (filler < text.size() ? filler : text.size()));
    const int key = TakeHexByte(text);

    std::string plain;
    plain.reserve(text.size() / 2);
    while (text.size() >= 2)
        plain += static_cast<char>(TakeHexByte(text) ^ key);
    return plain;
}

std::string EncodeHexText(const std::string& Plain, std::uint8_t P, std::uint8_t K,
                          std::uint32_t N) {
    std::string text;
    text.reserve(4 + 2 * Plain.size() + 2 * P + 8);
    AppendHexByte(text, P);
    AppendHexByte(text, K);
    for (char c : Plain)
        AppendHexByte(text, static_cast<unsigned char>(c) ^ K);
    // Filler: any hexadecimal digits do; derive them from the key so the
    // output is reproducible.
    for (unsigned i = 0; i < 2u * P; ++i)
        text += kHexDigits[(K * 7u + i * 11u + 3u) & 0x0F];
    if (N <= text.size())
        text = text.substr(N) + text.substr(0, N);
    for (int shift = 28; shift >= 0; shift -= 4)
        text += kHexDigits[(N >> shift) & 0x0F];
    return text;
}

void SplitString(std::vector<std::string>& List, std::string Text, const std::string& Separator) {
    List.clear();
    if (Separator.empty()) {
        if (!Text.empty())
            List.push_back(Text);
        return;
    }
    std::size_t start = 0;
    while (start < Text.size()) {
        const std::size_t at = MbcsFind(Text, Separator, start);
        if (at == std::string::npos) {
            List.push_back(Text.substr(start));
            break;
        }
        List.push_back(Text.substr(start, at - start));
        start = at + Separator.size();
    }
}

bool VersionAtLeast(const std::string& A, const std::string& B) {
    bool result = A == B;
    std::vector<std::string> a;
    std::vector<std::string> b;
    SplitString(a, A, ".");
    SplitString(b, B, ".");
    const std::size_t count = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < count; ++i) {
        const long long x = FieldValue(a[i]);
        const long long y = FieldValue(b[i]);
        if (x != y)
            return x > y;
        result = true;
    }
    return result;
}

std::string ReduceOpenCommand(const std::string& Command) {
    std::string command = Command;

    // A quoted part names the program, unless it is just the quoted "%1"
    // behind an unquoted program path.
    const std::size_t open = MbcsFindChar(command, '"');
    if (open != std::string::npos) {
        const std::size_t close = MbcsFindChar(command, '"', open + 1);
        if (close != std::string::npos) {
            const std::string inner = command.substr(open + 1, close - open - 1);
            if (!IsOnlyPlaceholder(inner))
                command = inner;
        }
    }

    if (MbcsFindChar(command, '"') != std::string::npos) {
        const std::size_t dash = MbcsFind(command, " -");
        if (dash != std::string::npos)
            command.erase(dash);
        const std::size_t slash = MbcsFind(command, " /");
        if (slash != std::string::npos)
            command.erase(slash);
        command = MbcsReplaceAll(command, "\"", "");
    }

    command = Trim(MbcsReplaceAll(MbcsReplaceAll(command, "%1", ""), "'", ""));
    if (command.empty())
        return std::string();
    return QuoteString(command, '"');
}

} // namespace zembra
