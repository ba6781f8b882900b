#include "app/uSafeName.h"

#include "util/uMbcs.h"

#include <cctype>

namespace zembra {

namespace {

constexpr std::size_t kMaxNameLength = 255;

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool IsForbiddenByte(unsigned char c) {
    if (c < 0x20)
        return true;
    switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '/':
    case '\\':
    case '|':
    case '?':
    case '*':
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsReservedDeviceName(const std::string& Name) {
    // Windows ignores everything from the first dot on, and blanks before it.
    std::string base = Name.substr(0, Name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    base = UpperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
        base[3] >= '0' && base[3] <= '9')
        return true;
    return false;
}

bool IsPlainName(const std::string& Name) {
    if (Name.empty() || Name.size() > kMaxNameLength)
        return false;
    const char first = Name.front();
    const char last = Name.back();
    if (first == '.' || first == ' ' || last == '.' || last == ' ')
        return false;
    for (std::size_t i = 0; i < Name.size();) {
        const auto c = static_cast<unsigned char>(Name[i]);
        if (IsLeadByte(c)) {
            // A lead byte without its trail byte would swallow whatever the
            // file system appends.
            if (i + 1 >= Name.size() || Name[i + 1] == '\0')
                return false;
            i += 2;
            continue;
        }
        if (IsForbiddenByte(c))
            return false;
        if (c == '.' && i + 1 < Name.size() && Name[i + 1] == '.')
            return false;
        ++i;
    }
    return !IsReservedDeviceName(Name);
}

std::string NamePart(const std::string& Path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < Path.size(); i += MbcsCharLength(Path, i)) {
        const char c = Path[i];
        if (c == '\\' || c == '/' || c == ':')
            start = i + 1;
    }
    return Path.substr(start);
}

std::string SafeFileName(const std::string& Text) {
    std::string name = NamePart(Text);
    return IsPlainName(name) ? name : std::string();
}

} // namespace zembra
