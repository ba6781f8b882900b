// Number text, text to number and the integer conversions, as the player
// prints and reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "avm1/uValue.h"

using namespace zembra::avm1;

TEST(NumberToString, IntegersAndFractions) {
    EXPECT_EQ(NumberToString(0), "0");
    EXPECT_EQ(NumberToString(-0.0), "0");
    EXPECT_EQ(NumberToString(42), "42");
    EXPECT_EQ(NumberToString(-7.5), "-7.5");
    EXPECT_EQ(NumberToString(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumberToString(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(NumberToString(0.0001), "0.0001");
    EXPECT_EQ(NumberToString(999999999999999), "999999999999999");
    EXPECT_EQ(NumberToString(127254174732347), "127254174732347");
}

TEST(NumberToString, ExponentForms) {
    EXPECT_EQ(NumberToString(1e15), "1e+15");
    EXPECT_EQ(NumberToString(1e21), "1e+21");
    EXPECT_EQ(NumberToString(8.64e15), "8.64e+15");
    EXPECT_EQ(NumberToString(1.5e-7), "1.5e-7");
    EXPECT_EQ(NumberToString(5e-25), "5e-25");
    EXPECT_EQ(NumberToString(-2e19), "-2e+19");
    EXPECT_EQ(NumberToString(123456789012345678.0), "1.23456789012346e+17");
}

TEST(NumberToString, NonFinite) {
    EXPECT_EQ(NumberToString(std::nan("")), "NaN");
    EXPECT_EQ(NumberToString(HUGE_VAL), "Infinity");
    EXPECT_EQ(NumberToString(-HUGE_VAL), "-Infinity");
}

TEST(NumberToString, Radix) {
    EXPECT_EQ(NumberToStringRadix(255, 16), "ff");
    EXPECT_EQ(NumberToStringRadix(-255, 16), "-ff");
    EXPECT_EQ(NumberToStringRadix(5, 2), "101");
    EXPECT_EQ(NumberToStringRadix(35, 36), "z");
    EXPECT_EQ(NumberToStringRadix(10.75, 10), "10.75");
    EXPECT_EQ(NumberToStringRadix(std::nan(""), 16), "NaN");
}

TEST(StringToNumber, DecimalAndJunk) {
    EXPECT_EQ(StringToNumber("12", 7), 12);
    EXPECT_EQ(StringToNumber("  -3.5e2", 7), -350);
    EXPECT_EQ(StringToNumber(".5", 7), 0.5);
    EXPECT_TRUE(std::isnan(StringToNumber("12abc", 7)));
    EXPECT_TRUE(std::isnan(StringToNumber("abc", 7)));
    EXPECT_TRUE(std::isnan(StringToNumber("-", 7)));
}

TEST(StringToNumber, VersionRules) {
    // Empty text and junk are 0 to the oldest players, NaN later.
    EXPECT_EQ(StringToNumber("", 4), 0);
    EXPECT_TRUE(std::isnan(StringToNumber("", 5)));
    EXPECT_EQ(StringToNumber("ab", 4), 0);
    // Hex is read from version 6.
    EXPECT_EQ(StringToNumber("0x1F", 6), 31);
    EXPECT_EQ(StringToNumber("-0x10", 7), -16);
    EXPECT_TRUE(std::isnan(StringToNumber("0x1F", 5)));
    EXPECT_EQ(StringToNumber("0xFFFFFFFF", 6), -1);
    EXPECT_EQ(StringToNumber("-0xFFFFFFFF", 6), 1);
    EXPECT_EQ(StringToNumber("010", 6), 8);
    EXPECT_EQ(StringToNumber("-037777777777", 6), 1);
    EXPECT_EQ(StringToNumber("010", 5), 10);
    EXPECT_EQ(StringToNumber("019", 8), 19);
    EXPECT_TRUE(std::isnan(StringToNumber("0x", 7)));
    EXPECT_TRUE(std::isnan(StringToNumber("0xZZ", 7)));
    // Long hex wraps exactly to 32 bits, past what a double holds.
    EXPECT_EQ(StringToNumber("0x1999999981ffffff", 6), -2113929217);
    // Blanks before the number make it decimal.
    EXPECT_EQ(StringToNumber(" 010", 6), 10);
    EXPECT_EQ(StringToNumber(" -010", 7), -10);
    EXPECT_EQ(StringToNumber("+010", 7), 8);
}

TEST(ParsePrefix, FloatAndInt) {
    EXPECT_EQ(ParseFloatPrefix("3.25px"), 3.25);
    EXPECT_EQ(ParseFloatPrefix("  -1e3x"), -1000);
    EXPECT_TRUE(std::isnan(ParseFloatPrefix("px")));
    EXPECT_EQ(ParseIntPrefix("42abc", 0), 42);
    EXPECT_EQ(ParseIntPrefix("0x1A", 0), 26);
    EXPECT_EQ(ParseIntPrefix("010", 0), 10);
    EXPECT_EQ(ParseIntPrefix("-0xFFFFFFFF", 0), 1);
    EXPECT_EQ(ParseIntPrefix("ff", 16), 255);
    EXPECT_EQ(ParseIntPrefix("-12.9", 10), -12);
    EXPECT_TRUE(std::isnan(ParseIntPrefix("z", 10)));
    EXPECT_TRUE(std::isnan(ParseIntPrefix("1", 99)));
}

TEST(IntegerConversions, WrapModulo32Bits) {
    EXPECT_EQ(ToInt32(4294967295.0), -1);
    EXPECT_EQ(ToInt32(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(ToInt32(-1.9), -1);
    EXPECT_EQ(ToInt32(std::nan("")), 0);
    EXPECT_EQ(ToInt32(HUGE_VAL), 0);
    EXPECT_EQ(ToInt32(1e20), ToInt32(std::fmod(1e20, 4294967296.0)));
    EXPECT_EQ(ToUint32(-1), 4294967295u);
    EXPECT_EQ(ToIntegerValue(-2.7), -2);
    EXPECT_EQ(ToIntegerValue(std::nan("")), 0);
}

// Frame numbers and depths from script values never convert out of range.
TEST(IntegerConversions, ClampedIntHoldsEveryValueInRange) {
    EXPECT_EQ(ToClampedInt(std::nan("")), 0);
    EXPECT_EQ(ToClampedInt(HUGE_VAL), 2147483647);
    EXPECT_EQ(ToClampedInt(-HUGE_VAL), -2147483647 - 1);
    EXPECT_EQ(ToClampedInt(1e300), 2147483647);
    EXPECT_EQ(ToClampedInt(-3.7), -3);
    EXPECT_EQ(ToClampedInt(16383.9), 16383);
}

TEST(Utf16, RoundTripAndStrayBytes) {
    std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::u16string u = Utf8ToUtf16(s);
    ASSERT_EQ(u.size(), 5u); // a, e-acute, euro, surrogate pair
    EXPECT_EQ(u[1], 0xE9);
    EXPECT_EQ(Utf16ToUtf8(u), s);
    // A truncated sequence keeps its byte instead of vanishing or reading on.
    std::u16string bad = Utf8ToUtf16("x\xE2\x82");
    EXPECT_EQ(bad.size(), 3u);
    EXPECT_EQ(CodeUnitToUtf8(0x41), "A");
    // Lone surrogates, written or read, become U+FFFD; a pair stays one character.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D, u'b'}), "a\xEF\xBF\xBD"
                                                               "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDE00}), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\xBD"), std::u16string(1, 0xFFFD));
}
