#include "app/uPlayerLayout.h"

#include "util/uMbcs.h"

#include <gtest/gtest.h>

namespace zembra {
namespace {

TEST(PlayerLayout, ControlsByModeAndLayout) {
    auto fills = [](const std::vector<TPlayerSlot>& s) { return s.size() == 1 && s[0].FillClient; };
    for (std::uint8_t layout : {0, 1, 2, 3})
        EXPECT_TRUE(fills(PlanPlayers(true, false, layout, 3))) << int(layout);
    EXPECT_TRUE(fills(PlanPlayers(false, true, 0, 3)));
    auto first = PlanPlayers(false, true, 1, 3);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_FALSE(first[0].FillClient);
    EXPECT_EQ(first[0].Monitor, 0);
    auto each = PlanPlayers(false, true, 2, 3);
    ASSERT_EQ(each.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(each[i].Monitor, i);
    EXPECT_TRUE(PlanPlayers(false, true, 3, 3).empty());
    EXPECT_TRUE(PlanPlayers(false, true, 255, 1).empty());
    EXPECT_TRUE(PlanPlayers(false, false, 0, 1).empty()); // configuration, password, none
}

TEST(PlayerLayout, MonitorBoundsAreRelativeToTheDesktop) {
    // A monitor left of the primary one, the primary, and one above right.
    const TScreenRect left{-1280, 0, 0, 1024}, primary{0, 0, 1920, 1080},
        upper{1920, -300, 3200, 724};
    const TScreenRect desktop{-1280, -300, 3200, 1080};
    EXPECT_EQ(PlayerBoundsOnMonitor(left, desktop), (TPlayerBounds{0, 300, 1280, 1024}));
    EXPECT_EQ(PlayerBoundsOnMonitor(primary, desktop), (TPlayerBounds{1280, 300, 1920, 1080}));
    EXPECT_EQ(PlayerBoundsOnMonitor(upper, desktop), (TPlayerBounds{3200, 0, 1280, 1024}));
    EXPECT_EQ(PlayerBoundsOnMonitor(primary, primary), (TPlayerBounds{0, 0, 1920, 1080}));
}

TEST(PlayerLayout, FlashVarsPutThePackagesFirst) {
    EXPECT_EQ(BuildFlashVars("", "normal"), "zembramode=normal");
    EXPECT_EQ(BuildFlashVars("", "preview"), "zembramode=preview");
    EXPECT_EQ(BuildFlashVars("a=1&b=2", "normal"), "a=1&b=2&zembramode=normal");
    EXPECT_EQ(BuildFlashVars("a=1&", "normal"), "a=1&&zembramode=normal");
    EXPECT_EQ(BuildFlashVars("", ""), "zembramode=");
}

TEST(PlayerLayout, ForwardedAndBlockedMessages) {
    EXPECT_TRUE(IsForwardedInputMessage(0x0100));
    EXPECT_TRUE(IsForwardedInputMessage(0x0101));
    EXPECT_TRUE(IsForwardedInputMessage(0x0201));
    EXPECT_TRUE(IsForwardedInputMessage(0x020A));
    EXPECT_FALSE(IsForwardedInputMessage(0x0200)); // mouse move
    EXPECT_FALSE(IsForwardedInputMessage(0x0102)); // character
    EXPECT_FALSE(IsForwardedInputMessage(0x020B));
    auto blocked = [](unsigned m) {
        for (const auto& r : PreviewBlockedRanges())
            if (m >= r.First && m <= r.Last)
                return true;
        return false;
    };
    for (unsigned m :
         {0x0200u, 0x020Au, 0x0100u, 0x0107u, 0x0108u, 0x02C0u, 0x02DFu, 0x0380u, 0x038Fu})
        EXPECT_TRUE(blocked(m)) << std::hex << m;
    for (unsigned m : {0x00FFu, 0x0109u, 0x020Bu, 0x02BFu, 0x02E0u, 0x0390u, 0x0113u})
        EXPECT_FALSE(blocked(m)) << std::hex << m;
}

TEST(PlayerLayout, TitleIsTheFileNameWithoutExtension) {
    EXPECT_EQ(TitleFromPath("C:\\Program Files\\Zembra Demo.scr"), "Zembra Demo");
    EXPECT_EQ(TitleFromPath("C:\\a.b\\My.Saver.scr"), "My.Saver");
    EXPECT_EQ(TitleFromPath("C:\\dir\\NoExt"), "NoExt");
    EXPECT_EQ(TitleFromPath(""), "");
    if (IsLeadByte(0x95)) { // the trail byte 0x5C is no separator
        EXPECT_EQ(TitleFromPath("C:\\\x95\x5C.scr"), "\x95\x5C");
    }
}

} // namespace
} // namespace zembra
