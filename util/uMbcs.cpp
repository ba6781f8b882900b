#include "util/uMbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zembra {

bool IsLeadByte932(unsigned char C) noexcept {
    return (C >= 0x81 && C <= 0x9F) || (C >= 0xE0 && C <= 0xFC);
}

bool IsLeadByte(unsigned char C) noexcept {
#ifdef _WIN32
    return IsDBCSLeadByte(C) != FALSE;
#else
    return IsLeadByte932(C);
#endif
}

std::size_t MbcsCharLength(const std::string& Text, std::size_t Pos) noexcept {
    if (Pos + 1 < Text.size() && IsLeadByte(static_cast<unsigned char>(Text[Pos])))
        return 2;
    return 1;
}

std::size_t MbcsFind(const std::string& Text, const std::string& What, std::size_t From) {
    // Walk character by character from the start: only there are the
    // boundaries known. The end of the text is a boundary too (empty What).
    std::size_t i = 0;
    while (true) {
        if (i >= From && Text.size() - i >= What.size() && Text.compare(i, What.size(), What) == 0)
            return i;
        if (i >= Text.size())
            break;
        i += MbcsCharLength(Text, i);
    }
    return std::string::npos;
}

std::size_t MbcsFindChar(const std::string& Text, char Ch, std::size_t From) {
    for (std::size_t i = 0; i < Text.size(); i += MbcsCharLength(Text, i)) {
        if (i >= From && Text[i] == Ch)
            return i;
    }
    return std::string::npos;
}

std::string MbcsReplaceAll(const std::string& Text, const std::string& What,
                           const std::string& With) {
    if (What.empty())
        return Text;
    std::string result;
    result.reserve(Text.size());
    std::size_t i = 0;
    while (i < Text.size()) {
        if (Text.size() - i >= What.size() && Text.compare(i, What.size(), What) == 0) {
            result += With;
            i += What.size();
        } else {
            const std::size_t len = MbcsCharLength(Text, i);
            result.append(Text, i, len);
            i += len;
        }
    }
    return result;
}

} // namespace zembra
