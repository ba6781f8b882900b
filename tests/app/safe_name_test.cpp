#include "app/uSafeName.h"

#include "util/uMbcs.h"

#include <gtest/gtest.h>

namespace zembra {
namespace {

TEST(SafeName, PlainNamesAreAccepted) {
    for (const char* name :
         {"G", "{0A1B-22}", "movie.swf", "a b.swf", "CONSOLE", "COM10", "LPT", "my.con", "x.y.z"})
        EXPECT_TRUE(IsPlainName(name)) << name;
}

// Double-byte names only under a double-byte code page (always natively,
// under Wine with the Japanese locale).
TEST(SafeName, DoubleByteCharactersAreWhole) {
    if (!IsLeadByte(0x95))
        GTEST_SKIP() << "single-byte code page";
    // Its trail byte is a backslash (0x95 0x5C), which is no separator.
    EXPECT_TRUE(IsPlainName("\x95\x5C.swf"));
    EXPECT_EQ(NamePart("d\\\x95\x5C.swf"), "\x95\x5C.swf");
    EXPECT_EQ(SafeFileName("\x95\x5C.swf"), "\x95\x5C.swf");
    // A lead byte with nothing after it.
    EXPECT_FALSE(IsPlainName("abc\x95"));
}

TEST(SafeName, NamesThatCouldLeaveTheFolderOrMisbehaveAreRejected) {
    for (const char* name :
         {"",           ".",           "..",       "..\\x",   "../x",     "a\\b",   "a/b",
          "C:",         "C:\\Windows", "x:y",      "a..b",    ".hidden",  "trail.", " lead",
          "trail ",     "a<b",         "a>b",      "a\"b",    "a|b",      "a?b",    "a*b",
          "tab\there",  "CON",         "con",      "Con.swf", "CON .txt", "PRN",    "AUX",
          "NUL.tar.gz", "COM1",        "com9.swf", "LPT1",    "lpt0",     "CONIN$", "conout$.x"})
        EXPECT_FALSE(IsPlainName(name)) << name;
    EXPECT_FALSE(IsPlainName(std::string("a\0b", 3)));
    EXPECT_FALSE(IsPlainName(std::string(256, 'a')));
    EXPECT_TRUE(IsPlainName(std::string(255, 'a')));
}

TEST(SafeName, FileNameIsReducedToItsLastPart) {
    EXPECT_EQ(SafeFileName("..\\..\\x"), "x");
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("C:\\Windows"), "Windows");
    EXPECT_EQ(SafeFileName("C:movie.swf"), "movie.swf");
    EXPECT_EQ(SafeFileName("\\\\server\\share\\m.swf"), "m.swf");
    EXPECT_EQ(SafeFileName("sub\\"), "");
    EXPECT_EQ(SafeFileName("a\\.."), "");
    EXPECT_EQ(SafeFileName("dir\\CON"), "");
    EXPECT_EQ(SafeFileName("dir\\AUX.swf"), "");
}

} // namespace
} // namespace zembra
