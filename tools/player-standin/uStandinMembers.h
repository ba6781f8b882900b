// The automation members the player stand-in knows: the properties the host
// writes and the methods it calls, with their dispatch ids, plus the list of
// members that are told to fail. Portable: no Windows headers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zembra::standin {

enum class MemberKind { BoolProperty, IntProperty, StringProperty, Method };

struct MemberInfo {
    const char* name;
    long dispid;
    MemberKind kind;
};

// Dispatch ids of the properties, as the host writes them.
constexpr long kDispidMovie = 102;
constexpr long kDispidQuality = 105;
constexpr long kDispidLoop = 106;
constexpr long kDispidBackgroundColor = 123;
constexpr long kDispidMenu = 135;
constexpr long kDispidScale = 137;
constexpr long kDispidFlashVars = 170;
// The methods are found by name, so their ids are our own.
constexpr long kDispidStop = 0x5A01;
constexpr long kDispidStopPlay = 0x5A02;
constexpr long kDispidDisableLocalSecurity = 0x5A03;
// Event id of FSCommand on the event interface.
constexpr long kDispidFSCommand = 150;

// Null when the name is unknown. Names compare ASCII case-insensitively.
const MemberInfo* FindMemberByName(std::wstring_view name) noexcept;
// Null when the id is unknown.
const MemberInfo* FindMemberById(long dispid) noexcept;

// ASCII case-insensitive equality; other characters must match exactly.
bool EqualsIgnoreAsciiCase(std::wstring_view a, std::string_view b) noexcept;

// The members named in a comma-separated list (blanks around names ignored,
// empty entries skipped), e.g. the value of PLAYER_STANDIN_FAIL.
class FailList {
  public:
    FailList() = default;
    explicit FailList(std::string_view list);
    bool Contains(std::string_view name) const noexcept;
    bool Empty() const noexcept { return names_.empty(); }

  private:
    std::vector<std::string> names_;
};

} // namespace zembra::standin
