#include "ui/uBrowserText.h"

#include <gtest/gtest.h>

#include <cctype>

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

TEST(BrowserText, OnlyWebAndMailAddressesAreLaunched) {
    for (const char* url :
         {"http://a", "https://a/b c", "mailto:x@y", "HTTP://A", "hTtPs:x", "MailTo:x@y"})
        EXPECT_TRUE(HasLaunchableScheme(url)) << url;
    for (const char* url :
         {"", "http", "file:///C:/Windows/system32/calc.exe", "javascript:alert(1)", "ftp://a",
          "zembratest:hello", "example.com:8080", " http://a", "http ://a", "httpx://a",
          "C:\\a.exe", "\\\\server\\share:x", "-new-window:http://a"})
        EXPECT_FALSE(HasLaunchableScheme(url)) << url;
}

TEST(BrowserText, EncodedAddressIsOneArgument) {
    // Blanks, tabs, quotes and control characters are encoded: nothing is
    // left that would end the argument or quote a part of it.
    EXPECT_EQ(EncodeCommandArgument("http://x --some-switch"), "http://x%20--some-switch");
    EXPECT_EQ(EncodeCommandArgument(R"(http://x" --evil "y)"), "http://x%22%20--evil%20%22y");
    EXPECT_EQ(EncodeCommandArgument("http://x\tfoo\r\nbar\x7f\x01"),
              "http://x%09foo%0D%0Abar%7F%01");
    EXPECT_EQ(EncodeCommandArgument(std::string("a\0b", 3)), "a%00b");
    // Valid escapes are kept as they are (no double encoding); a "%" that
    // starts none is encoded, so the receiver cannot decode it into a blank
    // or a quote.
    EXPECT_EQ(EncodeCommandArgument("http://a/%20%22%7e?q=%41"), "http://a/%20%22%7e?q=%41");
    EXPECT_EQ(EncodeCommandArgument("100%%"), "100%25%25");
    EXPECT_EQ(EncodeCommandArgument("a%2"), "a%252");
    EXPECT_EQ(EncodeCommandArgument("a%"), "a%25");
    // Everything else a web address needs stays readable.
    const std::string plain = "https://user@example.com:8080/a/b\\c?x=1&y=2;z#frag!$'()*+,=~^|";
    EXPECT_EQ(EncodeCommandArgument(plain), plain);
    // Double-byte characters come through byte for byte, including a
    // second byte that is a backslash.
    EXPECT_EQ(EncodeCommandArgument("http://example.jp/\x83\x5C \x83\x74"),
              "http://example.jp/\x83\x5C%20\x83\x74");
    EXPECT_EQ(EncodeCommandArgument(""), "");
}

TEST(BrowserText, EncodedAddressNeverHoldsASplitOrQuote) {
    // Every byte value, alone and between others.
    for (int b = 0; b < 256; ++b) {
        const std::string url = std::string("http://a/") + static_cast<char>(b) + "%z";
        const std::string out = EncodeCommandArgument(url);
        for (unsigned char c : out)
            ASSERT_TRUE(c > ' ' && c != '"' && c != 0x7F) << "byte " << b << ": " << out;
        for (std::size_t i = out.find('%'); i != std::string::npos; i = out.find('%', i + 1))
            ASSERT_TRUE(i + 2 < out.size() &&
                        std::isxdigit(static_cast<unsigned char>(out[i + 1])) &&
                        std::isxdigit(static_cast<unsigned char>(out[i + 2])))
                << "byte " << b << ": " << out;
    }
}
