#include "util/uUtils.h"

#include "util_test_dbcs.h"

#include <gtest/gtest.h>

#include <random>

using namespace zembra;

namespace {
const std::string kHyou = "\x95\x5c";       // second byte is a backslash
const std::string kQuoteTrail = "\x83\x22"; // second byte is a double quote
} // namespace

TEST(Utils, TrimAndRemoveTrailing) {
    EXPECT_EQ(Trim(" \t\r\n a b \x01\x1f "), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\x81\x40"), "\x81\x40"); // bytes above the blank stay
    EXPECT_EQ(RemoveTrailing("Key\\\\", '\\'), "Key\\");
    EXPECT_EQ(RemoveTrailing("Key", '\\'), "Key");
    EXPECT_EQ(RemoveTrailing("", '\\'), "");
}

TEST(Utils, QuoteAndUnquote) {
    EXPECT_EQ(QuoteString("", '"'), "\"\"");
    EXPECT_EQ(QuoteString("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
    for (const std::string text : {"plain", "a\"b", "\"\"", "C:\\Program Files\\x.exe", "'"}) {
        EXPECT_EQ(UnquoteString(QuoteString(text, '"'), '"'), text) << text;
        EXPECT_EQ(UnquoteString(QuoteString(text, '\''), '\''), text) << text;
    }

    EXPECT_EQ(UnquoteString("no quote", '"'), "no quote");
    EXPECT_EQ(UnquoteString("\"\"", '"'), "\"\"");
    EXPECT_EQ(UnquoteString("", '"'), "");
    EXPECT_EQ(UnquoteString("\"C:\\a b\\x.exe\" -n \"%1\"", '"'), "C:\\a b\\x.exe");
    // An unterminated quote keeps the whole rest, its last character too.
    EXPECT_EQ(UnquoteString("\"C:\\x.exe", '"'), "C:\\x.exe");
    EXPECT_EQ(UnquoteString("\"", '"'), "\"");
}

TEST(Utils, QuotingSkipsSecondBytes) {
    REQUIRE_DBCS_CODE_PAGE();
    EXPECT_EQ(QuoteString(kQuoteTrail, '"'), "\"" + kQuoteTrail + "\"");
    EXPECT_EQ(UnquoteString("\"" + kQuoteTrail + "x\" tail", '"'), kQuoteTrail + "x");
    EXPECT_EQ(UnquoteString("\"" + kQuoteTrail + "\"\"\"", '"'), kQuoteTrail + "\"");
}

TEST(Utils, TakeHexByte) {
    std::string text = "4aF";
    EXPECT_EQ(TakeHexByte(text), 0x4A);
    EXPECT_EQ(text, "F");
    EXPECT_EQ(TakeHexByte(text), 0x0F);
    EXPECT_EQ(text, "");
    EXPECT_EQ(TakeHexByte(text), 0);
    EXPECT_EQ(text, "");

    text = "zz12";
    EXPECT_EQ(TakeHexByte(text), 0); // invalid, but still consumed
    EXPECT_EQ(text, "12");
    text = "1g";
    EXPECT_EQ(TakeHexByte(text), 0);
    text = " 1";
    EXPECT_EQ(TakeHexByte(text), 0);
    text = "fF";
    EXPECT_EQ(TakeHexByte(text), 255);
}

TEST(Utils, DecodeKnownEncodedText) {
    // "Ab" with filler count 1, key 0x20: "01" "20" "61" "42" + two filler
    // characters, rotated left by 3, then the count as eight digits.
    EXPECT_EQ(DecodeHexText("06142XY01200000003"), "Ab");
    // No rotation and no filler.
    EXPECT_EQ(DecodeHexText("0000414200000000"), "AB");
    EXPECT_EQ(DecodeHexText(""), "");
}

TEST(Utils, EncodeDecodeRoundTrip) {
    const std::string texts[] = {
        "", "Loop", "exactfit", std::string("a\0b", 3), "\xff\x80 \x01", kHyou + kQuoteTrail};
    for (const std::string& plain : texts) {
        for (unsigned p : {0u, 1u, 7u, 255u}) {
            for (unsigned k : {0u, 0x5Au, 0xFFu}) {
                const std::size_t length = 4 + 2 * plain.size() + 2 * p;
                for (std::uint32_t n :
                     {std::uint32_t(0), std::uint32_t(1), static_cast<std::uint32_t>(length),
                      static_cast<std::uint32_t>(length + 1), 0xFFFFFFFFu}) {
                    const std::string encoded = EncodeHexText(plain, static_cast<std::uint8_t>(p),
                                                              static_cast<std::uint8_t>(k), n);
                    EXPECT_EQ(DecodeHexText(encoded), plain)
                        << "p=" << p << " k=" << k << " n=" << n << " " << encoded;
                }
            }
        }
    }
}

TEST(Utils, DecodeRejectsMalformedCount) {
    EXPECT_THROW(DecodeHexText("0"), EConvertError);
    EXPECT_THROW(DecodeHexText("1234567"), EConvertError);
    EXPECT_THROW(DecodeHexText("000041420000000G"), EConvertError);
    EXPECT_THROW(DecodeHexText("00004142 0000000"), EConvertError);
    EXPECT_THROW(DecodeHexText("0000414200000000"
                               "-"),
                 std::invalid_argument);
}

TEST(Utils, DecodeOfHostileFieldsStaysInsideTheText) {
    // Filler count beyond the text, odd lengths, rotations beyond the text.
    EXPECT_EQ(DecodeHexText("FF4100000000"), "");
    EXPECT_EQ(DecodeHexText("00000000"), "");
    EXPECT_EQ(DecodeHexText("0000414"
                            "00000000"),
              "A");
    EXPECT_EQ(DecodeHexText("0"
                            "00000000"),
              "");
    EXPECT_EQ(DecodeHexText("00004142FFFFFFFF"), "AB");

    std::mt19937 random(12345);
    const char digits[] = "0123456789abcdefABCDEF";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text += random() % 8 == 0 ? static_cast<char>(random() % 256) : digits[random() % 22];
        char count[9];
        std::snprintf(count, sizeof count, "%08X",
                      static_cast<unsigned>(random() % 3 == 0 ? random() : random() % 48));
        text += count;
        std::string plain;
        ASSERT_NO_THROW(plain = DecodeHexText(text)) << text;
        EXPECT_LE(plain.size(), text.size() / 2);
    }
}

TEST(Utils, SplitString) {
    std::vector<std::string> list = {"stale"};
    SplitString(list, "", ".");
    EXPECT_TRUE(list.empty());
    SplitString(list, "9..0.", ".");
    EXPECT_EQ(list, (std::vector<std::string>{"9", "", "0"}));
    SplitString(list, ".", ".");
    EXPECT_EQ(list, (std::vector<std::string>{""}));
    SplitString(list, "abc", ".");
    EXPECT_EQ(list, (std::vector<std::string>{"abc"}));
    SplitString(list, "a--b", "--");
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    SplitString(list, "a.b", "");
    EXPECT_EQ(list, (std::vector<std::string>{"a.b"}));
}

TEST(Utils, SplitStringSkipsSecondBytes) {
    REQUIRE_DBCS_CODE_PAGE();
    std::vector<std::string> list;
    SplitString(list, kHyou + "\\x\\" + kHyou, "\\");
    EXPECT_EQ(list, (std::vector<std::string>{kHyou, "x", kHyou}));
}

TEST(Utils, VersionAtLeastComparesNumbers) {
    EXPECT_TRUE(VersionAtLeast("10.0", "9.5"));
    EXPECT_FALSE(VersionAtLeast("9.0", "10.0"));
    EXPECT_FALSE(VersionAtLeast("0.0.0.0", "9.0"));
    EXPECT_TRUE(VersionAtLeast("0.0.0.0", "0.0.0.0"));
    EXPECT_TRUE(VersionAtLeast("32.0.0.465", "8.0"));
    EXPECT_FALSE(VersionAtLeast("32.0.0.465", "32.0.0.466"));
    EXPECT_TRUE(VersionAtLeast("32.0.0.466", "32.0.0.465"));
    // Only the fields both have count.
    EXPECT_TRUE(VersionAtLeast("9.0", "9.0.1"));
    EXPECT_TRUE(VersionAtLeast("9.0.0.0", "9"));
    // A field that is no number counts as 0.
    EXPECT_TRUE(VersionAtLeast("x.1", "0.1"));
    EXPECT_FALSE(VersionAtLeast("9.x", "9.1"));
    EXPECT_FALSE(VersionAtLeast("99999999999.0", "1.0")); // out of range: 0
    // Without fields, text equality decides.
    EXPECT_TRUE(VersionAtLeast("", ""));
    EXPECT_FALSE(VersionAtLeast("", "1.0"));
    EXPECT_FALSE(VersionAtLeast("1.0", ""));
}

TEST(Utils, ReduceOpenCommand) {
    // A quoted program path whose folder holds " -" stays whole.
    EXPECT_EQ(ReduceOpenCommand("\"C:\\Program Files\\Web -Tools\\b.exe\" -nohome \"%1\""),
              "\"C:\\Program Files\\Web -Tools\\b.exe\"");
    EXPECT_EQ(ReduceOpenCommand("\"C:\\b.exe\" %1"), "\"C:\\b.exe\"");
    EXPECT_EQ(ReduceOpenCommand("C:\\b.exe %1"), "\"C:\\b.exe\"");
    // Unquoted: switches stay inside the quotes.
    EXPECT_EQ(ReduceOpenCommand("C:\\b.exe -new %1"), "\"C:\\b.exe -new\"");
    // An unquoted path with a quoted "%1" gives the path, not an empty pair.
    EXPECT_EQ(ReduceOpenCommand("C:\\Program Files\\b.exe \"%1\""), "\"C:\\Program Files\\b.exe\"");
    EXPECT_EQ(ReduceOpenCommand("C:\\b.exe -url \"%1\""), "\"C:\\b.exe\"");
    // A lone quote: cut at the switches, quotes removed.
    EXPECT_EQ(ReduceOpenCommand("\"C:\\b.exe /dde -x"), "\"C:\\b.exe\"");
    EXPECT_EQ(ReduceOpenCommand("'C:\\b.exe' %1"), "\"C:\\b.exe\"");
    EXPECT_EQ(ReduceOpenCommand("\"%1\""), "");
    EXPECT_EQ(ReduceOpenCommand(""), "");
}

TEST(Utils, ReduceOpenCommandSkipsSecondBytes) {
    REQUIRE_DBCS_CODE_PAGE();
    // The second byte of the character is a quote, not the closing one.
    const std::string path = "C:\\" + kQuoteTrail + kHyou + "\\b.exe";
    EXPECT_EQ(ReduceOpenCommand("\"" + path + "\" \"%1\""), "\"" + path + "\"");
    EXPECT_EQ(ReduceOpenCommand(path + " %1"), "\"" + path + "\"");
}
