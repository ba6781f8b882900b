#include "uStandinMembers.h"

namespace zembra::standin {
namespace {

constexpr MemberInfo kMembers[] = {
    {"Loop", kDispidLoop, MemberKind::BoolProperty},
    {"Menu", kDispidMenu, MemberKind::BoolProperty},
    {"Quality", kDispidQuality, MemberKind::IntProperty},
    {"FlashVars", kDispidFlashVars, MemberKind::StringProperty},
    {"BackgroundColor", kDispidBackgroundColor, MemberKind::IntProperty},
    {"Movie", kDispidMovie, MemberKind::StringProperty},
    {"Scale", kDispidScale, MemberKind::StringProperty},
    {"Stop", kDispidStop, MemberKind::Method},
    {"StopPlay", kDispidStopPlay, MemberKind::Method},
    {"DisableLocalSecurity", kDispidDisableLocalSecurity, MemberKind::Method},
};

template <typename C> C LowerAscii(C c) noexcept {
    return (c >= C('A') && c <= C('Z')) ? C(c - C('A') + C('a')) : c;
}

bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool EqualsIgnoreAsciiCase(std::wstring_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const wchar_t x = LowerAscii(a[i]);
        const wchar_t y = LowerAscii(static_cast<wchar_t>(static_cast<unsigned char>(b[i])));
        if (x != y)
            return false;
    }
    return true;
}

const MemberInfo* FindMemberByName(std::wstring_view name) noexcept {
    for (const MemberInfo& m : kMembers) {
        if (EqualsIgnoreAsciiCase(name, m.name))
            return &m;
    }
    return nullptr;
}

const MemberInfo* FindMemberById(long dispid) noexcept {
    for (const MemberInfo& m : kMembers) {
        if (m.dispid == dispid)
            return &m;
    }
    return nullptr;
}

FailList::FailList(std::string_view list) {
    while (!list.empty()) {
        std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
        while (!item.empty() && IsBlank(item.front()))
            item.remove_prefix(1);
        while (!item.empty() && IsBlank(item.back()))
            item.remove_suffix(1);
        if (!item.empty())
            names_.emplace_back(item);
    }
}

bool FailList::Contains(std::string_view name) const noexcept {
    for (const std::string& n : names_) {
        if (n.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < n.size() && same; ++i)
            same = LowerAscii(n[i]) == LowerAscii(name[i]);
        if (same)
            return true;
    }
    return false;
}

} // namespace zembra::standin
