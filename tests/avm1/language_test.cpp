// The language core where the player's rules are its own: text to number,
// comparisons of objects with primitives, case mapping of the wider
// alphabets, and dates in the machine's local zone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "avm1/uCaseMap.h"
#include "avm1/uLocalTime.h"
#include "avm1/uValue.h"
#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

// Sets the process's time zone for one test and puts the old one back.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    bool had_ = false;
    std::string old_;
};

std::string Text(Runtime& rt, const Value& v) {
    return rt.ToString(v);
}

} // namespace

TEST(Conversions, ParseFloatReadsAsThePlayerDoes) {
    // Fraction digits are added one at a time: not the nearest double.
    EXPECT_EQ(ParseFloatPrefix(".1499999"), 0.14999990000000005);
    EXPECT_EQ(ParseFloatPrefix("  -034.1+e20"), -34.1);
    // A second dot goes on with the fraction but ends the exponent.
    EXPECT_EQ(NumberToString(ParseFloatPrefix("1.2345.678")), "1.2345678");
    EXPECT_EQ(NumberToString(ParseFloatPrefix("1.2345.6e50")), "1.23456");
    // The exponent wraps as a 32-bit number; a bare "e" is no exponent.
    EXPECT_EQ(ParseFloatPrefix("1e4294967297"), 10);
    EXPECT_EQ(ParseFloatPrefix("10e-"), 10);
    EXPECT_TRUE(std::isinf(ParseFloatPrefix("9e99999")));
    EXPECT_TRUE(std::isnan(ParseFloatPrefix("e10")));
    EXPECT_TRUE(std::isnan(ParseFloatPrefix("Infinity")));
    EXPECT_TRUE(std::isnan(ParseFloatPrefix("-")));
    EXPECT_EQ(ParseFloatPrefix("0xff"), 0);
}

TEST(Conversions, HexTextMayCarryASignAfterThePrefix) {
    EXPECT_EQ(StringToNumber("0x-10", 6), -16);
    EXPECT_EQ(StringToNumber("-0x-10", 6), 16);
    EXPECT_EQ(StringToNumber("0x+1F", 6), 31);
    EXPECT_TRUE(std::isnan(StringToNumber("0x-", 6)));
}

TEST(Conversions, ObjectsAgainstPrimitives) {
    for (int version : {5, 7}) {
        Engine e(version);
        Runtime& rt = e.rt;
        // An object without valueOf is undefined as a primitive.
        Object* bare = rt.NewObject(nullptr);
        EXPECT_TRUE(rt.AbstractEquals(Value::Obj(bare), Value::Undef())) << version;
        EXPECT_TRUE(rt.AbstractEquals(Value::Null(), Value::Obj(bare))) << version;
        Object* plain = rt.NewPlain();
        EXPECT_FALSE(rt.AbstractEquals(Value::Obj(plain), Value::Undef())) << version;
        // An operand that stays an object makes `<` false, not undefined.
        EXPECT_EQ(rt.AbstractLess(Value::Obj(plain), Value::Num(0)), 0) << version;
        EXPECT_EQ(rt.AbstractLess(Value::Num(0), Value::Obj(plain)), 0) << version;
        EXPECT_EQ(rt.AbstractLess(Value::Num(1), Value::Num(std::nan(""))), -1) << version;
        // Two boxed numbers: equal by value in version 5 only.
        Args one{Value::Num(1)};
        Value a = rt.Construct(rt.GetMember(rt.global, "Number"), one);
        Value b = rt.Construct(rt.GetMember(rt.global, "Number"), one);
        EXPECT_EQ(rt.AbstractEquals(a, b), version == 5) << version;
        EXPECT_TRUE(rt.AbstractEquals(a, a)) << version;
    }
}

TEST(Conversions, PrototypeLinkCanBeCut) {
    Engine e(7);
    Runtime& rt = e.rt;
    Object* o = rt.NewPlain();
    rt.SetMember(o, "__proto__", Value::Undef());
    EXPECT_EQ(o->proto, nullptr);
    EXPECT_TRUE(rt.GetMember(o, "toString").IsUndefined());
    EXPECT_EQ(Text(rt, Value::Obj(o)), "[type Object]");
}

TEST(CaseMapping, LettersBeyondLatin1) {
    EXPECT_EQ(UpperCaseUnit(u'a'), u'A');
    EXPECT_EQ(LowerCaseUnit(u'Z'), u'z');
    EXPECT_EQ(UpperCaseUnit(u'\u00FF'), u'\u0178'); // y diaeresis leaves Latin-1
    EXPECT_EQ(LowerCaseUnit(u'\u0178'), u'\u00FF');
    EXPECT_EQ(UpperCaseUnit(u'\u00F7'), u'\u00F7'); // division sign is no letter
    EXPECT_EQ(LowerCaseUnit(u'\u00D7'), u'\u00D7');
    // Pairs that alternate: only the even unit is the capital.
    EXPECT_EQ(LowerCaseUnit(u'\u0100'), u'\u0101');
    EXPECT_EQ(LowerCaseUnit(u'\u0101'), u'\u0101');
    EXPECT_EQ(UpperCaseUnit(u'\u0101'), u'\u0100');
    // Greek, Cyrillic, fullwidth, and the player's own pairings.
    EXPECT_EQ(UpperCaseUnit(u'\u03C9'), u'\u03A9');
    EXPECT_EQ(LowerCaseUnit(u'\u0416'), u'\u0436');
    EXPECT_EQ(UpperCaseUnit(u'\uFF41'), u'\uFF21');
    EXPECT_EQ(UpperCaseUnit(u'\u03C2'), u'\u03A2');
    EXPECT_EQ(LowerCaseUnit(u'\u0130'), u'i');
    EXPECT_EQ(UpperCaseUnit(u'\u0131'), u'I');
    EXPECT_EQ(LowerCaseUnit(u'\u10A0'), u'\u10D0');
    EXPECT_EQ(UpperCaseUnit(u'\u1F80'), u'\u1F88');
    // Titlecase digraphs go both ways.
    EXPECT_EQ(UpperCaseUnit(u'\u01C5'), u'\u01C4');
    EXPECT_EQ(LowerCaseUnit(u'\u01C5'), u'\u01C6');
    // Outside the table nothing changes, surrogates included.
    EXPECT_EQ(UpperCaseUnit(u'\u4E00'), u'\u4E00');
    EXPECT_EQ(LowerCaseUnit(char16_t{0xD83D}), char16_t{0xD83D});
    EXPECT_EQ(UpperCaseUnit(u'\uFFFF'), u'\uFFFF');
    EXPECT_EQ(LowerCaseUnit(0), 0);
}

TEST(CaseMapping, MappingsAreConsistent) {
    // Every unit that maps somewhere lands on a unit the table knows back,
    // except the one-way folds (dotless i, long s, titlecase, symbols).
    int roundTrips = 0;
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        const char16_t u = static_cast<char16_t>(c);
        const char16_t up = UpperCaseUnit(u);
        if (up != u && LowerCaseUnit(up) == u)
            ++roundTrips;
        EXPECT_EQ(UpperCaseUnit(up), up) << std::hex << c; // capitals stay
    }
    EXPECT_GT(roundTrips, 600);
}

TEST(DateArithmetic, LocalFieldsFollowTheZone) {
    ZoneScope zone("Asia/Kathmandu");
    EXPECT_EQ(LocalOffsetMs(0), 345 * 60000.0); // today's rules, even in 1970
    EXPECT_EQ(LocalOffsetMs(-8.64e15), 345 * 60000.0);
    EXPECT_EQ(LocalOffsetMs(std::nan("")), 0);
    EXPECT_EQ(LocalToUtcMs(345 * 60000.0), 0);

    Engine e(8);
    Runtime& rt = e.rt;
    Args t{Value::Num(981152406000)};
    Value d = rt.Construct(rt.GetMember(rt.global, "Date"), t);
    Args none;
    EXPECT_EQ(Text(rt, d), "Sat Feb 3 04:05:06 GMT+0545 2001");
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getHours", none)), "4");
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getUTCHours", none)), "22");
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getUTCDate", none)), "2");
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getTimezoneOffset", none)), "-345");
    // Setters take local fields; the UTC ones take UTC fields.
    Args h{Value::Num(0)};
    rt.CallMethod(d, "setHours", h);
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getTime", none)), "981138006000");
    rt.CallMethod(d, "setUTCHours", h);
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getUTCHours", none)), "0");
    EXPECT_EQ(Text(rt, rt.CallMethod(d, "getHours", none)), "6");
    // Field constructors are local time too.
    Args fields{Value::Num(1970), Value::Num(0), Value::Num(1), Value::Num(5), Value::Num(45)};
    Value epoch = rt.Construct(rt.GetMember(rt.global, "Date"), fields);
    EXPECT_EQ(Text(rt, rt.CallMethod(epoch, "getTime", none)), "0");
}

TEST(DateArithmetic, ZoneWithSummerTime) {
    ZoneScope zone("America/New_York");
    // Winter and summer of a year, and a year time_t cannot hold: its
    // equivalent recent year gives the rules.
    EXPECT_EQ(LocalOffsetMs(981152406000), -5 * 3600000.0);
    EXPECT_EQ(LocalOffsetMs(995000000000), -4 * 3600000.0);
    EXPECT_EQ(LocalOffsetMs(-8.64e15), -4 * 3600000.0); // April 20th
    // A local time inside the spring gap still gives a UTC time nearby.
    const double gap = LocalToUtcMs(1615689000000.0 - 4 * 3600000.0);
    EXPECT_NEAR(gap, 1615689000000.0, 2 * 3600000.0);
}
