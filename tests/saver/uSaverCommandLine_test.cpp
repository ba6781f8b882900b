#include <gtest/gtest.h>

#include "saver/uSaverCommandLine.h"

using namespace zembra;

TEST(SaverCommandLine, LetterOfFirstArgument) {
    // Only the character after the switch counts, in either case.
    EXPECT_EQ(CommandLetterOf("/c:1234"), 'C');
    EXPECT_EQ(CommandLetterOf("/C"), 'C');
    EXPECT_EQ(CommandLetterOf("-c"), 'C');
    EXPECT_EQ(CommandLetterOf("c"), 'C');
    EXPECT_EQ(CommandLetterOf("/s"), 'S');
    EXPECT_EQ(CommandLetterOf("/p"), 'P');
    EXPECT_EQ(CommandLetterOf("e"), 'E');
    EXPECT_EQ(CommandLetterOf("/x"), 'X');
    // Non-letters are not case-mapped.
    EXPECT_EQ(CommandLetterOf("/1"), '1');
    EXPECT_EQ(CommandLetterOf("//"), '/');
}

TEST(SaverCommandLine, MissingOrBareSwitchMeansConfiguration) {
    EXPECT_EQ(CommandLetterOf(""), 'C');
    EXPECT_EQ(CommandLetterOf("/"), 'C');
    EXPECT_EQ(CommandLetterOf("-"), 'C');
    EXPECT_EQ(CommandLetterOfArguments({"saver.scr"}), 'C');
    EXPECT_EQ(CommandLetterOfArguments({}), 'C');
    EXPECT_EQ(CommandLetterOfArguments({"saver.scr", "/a"}), 'A');
}

TEST(SaverCommandLine, SplitsAtBlanksAndGroupsQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("saver.scr /p 1234"), (V{"saver.scr", "/p", "1234"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\My Savers\\z.scr\"  /E"), (V{"C:\\My Savers\\z.scr", "/E"}));
    EXPECT_EQ(SplitCommandLine("a\t\"b c\"d  "), (V{"a", "b cd"}));
    EXPECT_EQ(SplitCommandLine("   "), V{});
    // An unclosed quote runs to the end of the line.
    EXPECT_EQ(SplitCommandLine("x \"y z"), (V{"x", "y z"}));
}

TEST(SaverCommandLine, ParentHandleArgument) {
    EXPECT_EQ(ParentHandleOfArguments({"s.scr", "/p", "1234"}), 1234);
    // The handle is read from the second argument whatever the letter.
    EXPECT_EQ(ParentHandleOfArguments({"s.scr", "/c", "77"}), 77);
    // Joined to the switch it is not read.
    EXPECT_EQ(ParentHandleOfArguments({"s.scr", "/p:1234"}), 0);
    EXPECT_EQ(ParseWindowHandleArgument("abc"), 0);
    EXPECT_EQ(ParseWindowHandleArgument(""), 0);
    EXPECT_EQ(ParseWindowHandleArgument("12x"), 0);
    EXPECT_EQ(ParseWindowHandleArgument("$1F"), 31);
    EXPECT_EQ(ParseWindowHandleArgument("0x1f"), 31);
    EXPECT_EQ(ParseWindowHandleArgument("-5"), -5);
    // Handles are 32 bits: a large unsigned value wraps, a longer one is no number.
    EXPECT_EQ(ParseWindowHandleArgument("4294967295"), -1);
    EXPECT_EQ(ParseWindowHandleArgument("4294967296"), 0);
    EXPECT_EQ(ParseWindowHandleArgument("99999999999999999999999"), 0);
}
