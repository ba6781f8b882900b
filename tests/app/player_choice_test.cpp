#include "app/uPackageLoader.h"
#include "app/uPlayerChoice.h"

#include <gtest/gtest.h>

#include <string>

namespace zembra {
namespace {

TEST(PlayerChoice, ParsesTheThreeWordsAndNothingElse) {
    TPlayerKind k = TPlayerKind::System;
    EXPECT_TRUE(ParsePlayerKind("auto", k));
    EXPECT_EQ(k, TPlayerKind::Auto);
    EXPECT_TRUE(ParsePlayerKind(" BuiltIn\t", k));
    EXPECT_EQ(k, TPlayerKind::Builtin);
    EXPECT_TRUE(ParsePlayerKind("System", k));
    EXPECT_EQ(k, TPlayerKind::System);
    for (const char* bad : {"", "built-in", "systems", "auto1", "a uto", "\xEF\xBD\x81uto"}) {
        k = TPlayerKind::Builtin;
        EXPECT_FALSE(ParsePlayerKind(bad, k)) << bad;
        EXPECT_EQ(k, TPlayerKind::Builtin) << bad;
    }
}

TEST(PlayerChoice, WhichControlForEveryMachine) {
    // kind, installed creatable, installed recent enough -> use
    struct Case {
        TPlayerKind kind;
        bool creatable, recent;
        TPlayerUse use;
    } cases[] = {
        {TPlayerKind::Auto, true, true, TPlayerUse::Installed},
        {TPlayerKind::Auto, true, false, TPlayerUse::Builtin},
        {TPlayerKind::Auto, false, false, TPlayerUse::Builtin},
        {TPlayerKind::System, true, true, TPlayerUse::Installed},
        // Too old: hosted all the same; the movie just stays pending.
        {TPlayerKind::System, true, false, TPlayerUse::Installed},
        {TPlayerKind::System, false, false, TPlayerUse::None},
        {TPlayerKind::Builtin, true, true, TPlayerUse::Builtin},
        {TPlayerKind::Builtin, false, false, TPlayerUse::Builtin},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChoosePlayer(c.kind, c.creatable, c.recent), c.use)
            << static_cast<int>(c.kind) << c.creatable << c.recent;
}

TItemType TextItem(const std::string& name, std::string& storage) {
    TItemType item;
    item.Name = name;
    item.Size = static_cast<std::int32_t>(storage.size());
    item.Data = storage.empty() ? nullptr : reinterpret_cast<unsigned char*>(storage.data());
    return item;
}

TEST(PlayerChoice, PackageItemLastValidOneWinsOlderPackagesMeanAuto) {
    EXPECT_EQ(PackagePlayerKind({}), TPlayerKind::Auto);

    std::string builtin = "builtin", bogus = "flash", system = "system", movie = "FWS";
    TItemTypes items = {TextItem("Player", builtin), TextItem("Movie", movie)};
    EXPECT_EQ(PackagePlayerKind(items), TPlayerKind::Builtin);
    items.push_back(TextItem("Player", bogus));
    EXPECT_EQ(PackagePlayerKind(items), TPlayerKind::Builtin);
    items.push_back(TextItem("Player", system));
    EXPECT_EQ(PackagePlayerKind(items), TPlayerKind::System);
    // Names match byte for byte.
    TItemTypes other = {TextItem("player", builtin)};
    EXPECT_EQ(PackagePlayerKind(other), TPlayerKind::Auto);
    // A text item without its bytes is no valid item.
    TItemType broken;
    broken.Name = "Player";
    broken.Size = 7;
    EXPECT_EQ(PackagePlayerKind({broken}), TPlayerKind::Auto);
}

} // namespace
} // namespace zembra
