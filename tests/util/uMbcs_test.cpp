#include "util/uMbcs.h"

#include "util_test_dbcs.h"

#include <gtest/gtest.h>

using namespace zembra;

namespace {
// "表" in Shift-JIS: its second byte is a backslash.
const std::string kHyou = "\x95\x5c";
// A double-byte character whose second byte is a double quote.
const std::string kQuoteTrail = "\x83\x22";
} // namespace

TEST(Mbcs, LeadByteRangesOfCodePage932) {
    EXPECT_FALSE(IsLeadByte932(0x80));
    EXPECT_TRUE(IsLeadByte932(0x81));
    EXPECT_TRUE(IsLeadByte932(0x9F));
    EXPECT_FALSE(IsLeadByte932(0xA0)); // half-width katakana are single bytes
    EXPECT_FALSE(IsLeadByte932(0xDF));
    EXPECT_TRUE(IsLeadByte932(0xE0));
    EXPECT_TRUE(IsLeadByte932(0xFC));
    EXPECT_FALSE(IsLeadByte932(0xFD));
    EXPECT_FALSE(IsLeadByte932('\\'));
}

TEST(Mbcs, LeadByteFollowsTheSystemCodePage) {
    EXPECT_EQ(IsLeadByte(0x95), DbcsCodePageActive());
    EXPECT_EQ(IsLeadByte(0xE0), DbcsCodePageActive());
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte('"'));
#ifdef _WIN32
    if (DbcsCodePageActive()) {
        EXPECT_EQ(GetACP(), 932u);
    }
#endif
}

TEST(Mbcs, SearchesSkipSecondBytes) {
    REQUIRE_DBCS_CODE_PAGE();
    const std::string path = "C:\\" + kHyou + "\\x";
    EXPECT_EQ(MbcsFindChar(path, '\\'), 2u);
    EXPECT_EQ(MbcsFindChar(path, '\\', 3), 5u); // not 4, the second byte of the character
    EXPECT_EQ(MbcsFind(path, "\\x"), 5u);
    EXPECT_EQ(MbcsFind(kHyou, "\\"), std::string::npos);
    EXPECT_EQ(MbcsFind(kQuoteTrail + "\"", "\""), 2u);
    // A double-byte character itself is found.
    EXPECT_EQ(MbcsFind("a" + kHyou, kHyou), 1u);
    EXPECT_EQ(MbcsReplaceAll(path, "\\", "/"), "C:/" + kHyou + "/x");
    EXPECT_EQ(MbcsReplaceAll(kQuoteTrail + kQuoteTrail, "\"", "\"\""), kQuoteTrail + kQuoteTrail);
}

TEST(Mbcs, LeadByteAtTheEndStaysInsideTheText) {
    REQUIRE_DBCS_CODE_PAGE();
    const std::string text = "ab\x95";
    EXPECT_EQ(MbcsCharLength(text, 2), 1u);
    EXPECT_EQ(MbcsFindChar(text, '\x95'), 2u);
    EXPECT_EQ(MbcsFind(text, "\x95\x5c"), std::string::npos);
    EXPECT_EQ(MbcsReplaceAll(text, "b", "c"), "ac\x95");
}

TEST(Mbcs, PlainSearchAndReplace) {
    EXPECT_EQ(MbcsFind("abcabc", "bc"), 1u);
    EXPECT_EQ(MbcsFind("abcabc", "bc", 2), 4u);
    EXPECT_EQ(MbcsFind("abc", ""), 0u);
    EXPECT_EQ(MbcsFind("abc", "", 3), 3u);
    EXPECT_EQ(MbcsFind("abc", "", 4), std::string::npos);
    EXPECT_EQ(MbcsFind("ab", "abc"), std::string::npos);
    EXPECT_EQ(MbcsFindChar("", 'a'), std::string::npos);
    EXPECT_EQ(MbcsReplaceAll("%1 %1%1", "%1", ""), " ");
    EXPECT_EQ(MbcsReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(MbcsReplaceAll("abc", "", "x"), "abc");
}
