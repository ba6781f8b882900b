// Reading recorded input scripts for `zembra-swf run --input`.
#include <gtest/gtest.h>

#include "tools/swf/uInputScript.h"

using zembra::swftool::InputEvent;
using zembra::swftool::KeyCodeFor;
using zembra::swftool::ParseInputScript;

TEST(InputScript, ReadsMouseKeysTextAndWaits) {
    const std::string json = R"([
      { "type": "MouseMove", "pos": [ 160.5, 20 ] },
      { "type": "Wait" },
      { "type": "MouseDown", "pos": [1, 2], "btn": "Left" },
      { "type": "KeyDown", "key": { "Char": "a" } },
      { "type": "TextInput", "codepoint": "\u00e9" },
      { "type": "KeyUp", "key": "ArrowLeft" },
      { "type": "SetClipboardText", "text": "x" }
    ])";
    std::vector<InputEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript(json, events, error)) << error;
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].type, InputEvent::Type::MouseMove);
    EXPECT_DOUBLE_EQ(events[0].x, 160.5);
    EXPECT_DOUBLE_EQ(events[0].y, 20);
    EXPECT_EQ(events[1].type, InputEvent::Type::Wait);
    EXPECT_EQ(events[2].type, InputEvent::Type::MouseDown);
    EXPECT_EQ(events[3].keyCode, 65);
    EXPECT_EQ(events[4].text, "\xc3\xa9");
    EXPECT_EQ(events[5].type, InputEvent::Type::KeyUp);
    EXPECT_EQ(events[5].keyCode, 37);
    EXPECT_EQ(events[6].type, InputEvent::Type::Clipboard);
    EXPECT_EQ(events[6].text, "x");
    EXPECT_EQ(events[3].codepoint, 97u);
    EXPECT_EQ(events[4].codepoint, 0xe9u);
}

TEST(InputScript, RefusesWhatIsNoEventListAndBoundsNesting) {
    std::vector<InputEvent> events;
    std::string error;
    EXPECT_FALSE(ParseInputScript("", events, error));
    EXPECT_FALSE(ParseInputScript("{\"type\": \"Wait\"}", events, error));
    EXPECT_FALSE(ParseInputScript("[{\"type\": \"Wait\"}", events, error));
    EXPECT_FALSE(ParseInputScript("[\"unterminated]", events, error));
    EXPECT_FALSE(ParseInputScript("[1] trailing", events, error));
    // Deep nesting is refused rather than followed.
    EXPECT_FALSE(
        ParseInputScript(std::string(100000, '[') + std::string(100000, ']'), events, error));
    EXPECT_TRUE(ParseInputScript("[]", events, error));
    EXPECT_TRUE(events.empty());
}

TEST(InputScript, KeyNames) {
    EXPECT_EQ(KeyCodeFor("Enter"), 13);
    EXPECT_EQ(KeyCodeFor("Escape"), 27);
    EXPECT_EQ(KeyCodeFor("z"), 90);
    EXPECT_EQ(KeyCodeFor("7"), 55);
    EXPECT_EQ(KeyCodeFor("NoSuchKey"), 0);
}
