#include "ui/uBrowserText.h"

#include <gtest/gtest.h>

using namespace zembra;

TEST(BrowserText, ReduceKeepsOnlyTheProgramPath) {
    // Unquoted path followed by switches and a quoted placeholder.
    EXPECT_EQ(ReduceBrowserCommand(R"(C:\PROGRA~1\Web\web.exe -nohome "%1")"),
              R"(C:\PROGRA~1\Web\web.exe)");
    // A path with blanks is put together again from its tokens.
    EXPECT_EQ(ReduceBrowserCommand(R"(C:\Program Files\Web Browser\web.exe /new %1)"),
              R"(C:\Program Files\Web Browser\web.exe)");
    // Control characters and commas split like blanks; empty pieces vanish.
    EXPECT_EQ(ReduceBrowserCommand("\tC:\\a b.exe,,-x\r\n"), R"(C:\a b.exe)");
    // A quoted token runs to its closing quote; doubled quotes stand for one.
    EXPECT_EQ(ReduceBrowserCommand(R"("C:\x y\w.exe" "a""b")"), R"(C:\x y\w.exe a"b)");
    // An unterminated quote takes the rest.
    EXPECT_EQ(ReduceBrowserCommand(R"("C:\x y\w.exe)"), R"(C:\x y\w.exe)");
    // A directory named with "-" is dropped too: the start then fails
    // silently, which is the documented price of the simple rule.
    EXPECT_EQ(ReduceBrowserCommand(R"(C:\my-apps\web.exe)"), "");
    EXPECT_EQ(ReduceBrowserCommand(""), "");
    EXPECT_EQ(ReduceBrowserCommand(" , \t"), "");
}

TEST(BrowserText, ReduceLeavesDoubleByteCharactersWhole) {
    // "\x83\x5C" is a katakana whose second byte is a backslash; the path
    // comes through byte for byte.
    const std::string path = "C:\\\x83\x5C\x83\x74\x83\x67\\web.exe";
    EXPECT_EQ(ReduceBrowserCommand(path + " -url %1"), path);
}

TEST(BrowserText, PercentEscapes) {
    EXPECT_NO_THROW(CheckPercentEscapes(""));
    EXPECT_NO_THROW(CheckPercentEscapes("http://a/%41%7e%7E"));
    EXPECT_NO_THROW(CheckPercentEscapes("100%%"));
    EXPECT_NO_THROW(CheckPercentEscapes("%%%41"));
    EXPECT_THROW(CheckPercentEscapes("%"), EUrlError);
    EXPECT_THROW(CheckPercentEscapes("a%4"), EUrlError);
    EXPECT_THROW(CheckPercentEscapes("a%4g"), EUrlError);
    EXPECT_THROW(CheckPercentEscapes("a%zz"), EUrlError);
    EXPECT_THROW(CheckPercentEscapes("100%%%"), EUrlError);
    EXPECT_THROW(CheckPercentEscapes("http://%:80"), EUrlError);
}

TEST(BrowserText, NormalizeAddsSchemeOnlyWhenMissing) {
    EXPECT_EQ(NormalizeURL("www.example.com/a b"), "http://www.example.com/a b");
    EXPECT_EQ(NormalizeURL("https://example.com"), "https://example.com");
    EXPECT_EQ(NormalizeURL("mailto:someone@example.com"), "mailto:someone@example.com");
    EXPECT_EQ(NormalizeURL("example.com:8080"), "example.com:8080");
    // An empty address stays empty, so clearing an address never opens
    // a bare "http://".
    EXPECT_EQ(NormalizeURL(""), "");
    EXPECT_THROW(NormalizeURL("example.com/%zz"), EUrlError);
}

TEST(BrowserText, SafeCommandArgument) {
    EXPECT_TRUE(IsSafeCommandArgument("http://example.com/a b?c=%41&d"));
    EXPECT_TRUE(IsSafeCommandArgument("http://example.jp/\x83\x5C"));
    EXPECT_FALSE(IsSafeCommandArgument(R"(http://x" --evil "y)"));
    EXPECT_FALSE(IsSafeCommandArgument("http://x\r\nfoo"));
    EXPECT_FALSE(IsSafeCommandArgument("http://x\tfoo"));
    EXPECT_FALSE(IsSafeCommandArgument("http://x\x7f"));
}
