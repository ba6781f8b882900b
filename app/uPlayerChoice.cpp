#include "app/uPlayerChoice.h"

namespace zembra {

namespace {

std::string LowerTrimmed(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    std::string out = text.substr(b, e - b);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

bool ParsePlayerKind(const std::string& Text, TPlayerKind& Kind) {
    const std::string t = LowerTrimmed(Text);
    if (t == "auto")
        Kind = TPlayerKind::Auto;
    else if (t == "system")
        Kind = TPlayerKind::System;
    else if (t == "builtin")
        Kind = TPlayerKind::Builtin;
    else
        return false;
    return true;
}

TPlayerUse ChoosePlayer(TPlayerKind Kind, bool InstalledCreatable, bool InstalledRecentEnough) {
    switch (Kind) {
    case TPlayerKind::Builtin:
        return TPlayerUse::Builtin;
    case TPlayerKind::System:
        return InstalledCreatable ? TPlayerUse::Installed : TPlayerUse::None;
    case TPlayerKind::Auto:
    default:
        return InstalledCreatable && InstalledRecentEnough ? TPlayerUse::Installed
                                                           : TPlayerUse::Builtin;
    }
}

} // namespace zembra
