#include "tests/package/uTestSupport.h"
#include "tools/pack/uManifest.h"
#include "tools/pack/uPackError.h"

#include <gtest/gtest.h>

#include <string>

namespace zembra {
namespace {

using test::Bytes;
using test::TTempFile;

std::string ErrorOf(const std::string& Text) {
    try {
        ParseManifestText(Text, "saver.ini");
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecInput);
        return e.what();
    }
    return "no error";
}

TEST(Manifest, SyntaxErrorsNameFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"Loop=1\n", "saver.ini:1: key outside the [package] section"},
        {"; c\n[other]\n", "saver.ini:2: unknown section [other]"},
        {"[package]\n[package]\n", "saver.ini:2: section [package] given twice"},
        {"[package\n", "saver.ini:1: section header without closing ']'"},
        {"[package]\n\nLoop\n", "saver.ini:3: expected key=value"},
        {"[package]\nloop=1\n", "saver.ini:2: unknown key 'loop' (did you mean 'Loop'?)"},
        {"[package]\nExtraFileName0=a\n", "saver.ini:2: unknown key 'ExtraFileName0' (extra"},
        {"[package]\nExtraFileCount=1\n", "saver.ini:2: unknown key 'ExtraFileCount' (extra"},
        {"[package]\n=1\n", "saver.ini:2: empty key"},
        {"[package]\nLoop=1\r\n# x\r\nLoop=0\r\n",
         "saver.ini:4: 'Loop' given twice (first on line 2)"},
        {"; only a comment\n", "saver.ini: no [package] section"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.first).rfind(c.second, 0), 0u)
            << "got: " << ErrorOf(c.first) << "\nwant: " << c.second;
}

TEST(Manifest, AcceptsCommentsBlanksQuotesBomAndRepeatedExtraFiles) {
    const TManifest m = ParseManifestText("\xEF\xBB\xBF; comment\r\n"
                                          "  [ Package ]  \r\n"
                                          "# another\r\n"
                                          "FlashVars = \"  padded  \"\r\n"
                                          "AboutCaption=a = b\r\n"
                                          "ExtraFile=x.png\n"
                                          "ExtraFile=y.png",
                                          "m.ini");
    ASSERT_EQ(m.Entries.size(), 4u);
    EXPECT_EQ(m.Entries[0].Key, "FlashVars");
    EXPECT_EQ(m.Entries[0].Value, "  padded  ");
    EXPECT_EQ(m.Entries[0].Line, 4);
    EXPECT_EQ(m.Entries[1].Value, "a = b");
    EXPECT_EQ(m.Entries[3].Value, "y.png");
    EXPECT_EQ(m.Entries[3].Line, 7);
}

TEST(Manifest, ValueParsers) {
    bool flag = false;
    for (const char* yes : {"true", "YES", "1", "Yes"}) {
        EXPECT_TRUE(ParseFlagValue(yes, flag) && flag) << yes;
    }
    for (const char* no : {"false", "No", "0"}) {
        EXPECT_TRUE(ParseFlagValue(no, flag) && !flag) << no;
    }
    for (const char* bad : {"", "2", "on", "truee"})
        EXPECT_FALSE(ParseFlagValue(bad, flag)) << bad;

    int32_t n = 0;
    EXPECT_TRUE(ParseNumberValue("-2147483648", n) && n == INT32_MIN);
    EXPECT_TRUE(ParseNumberValue("+2147483647", n) && n == INT32_MAX);
    EXPECT_TRUE(ParseNumberValue("0xFFFFFFFF", n) && n == -1);
    for (const char* bad :
         {"", "-", "2147483648", "-2147483649", "0x100000000", "12a", "0x", " 1", "1.5"})
        EXPECT_FALSE(ParseNumberValue(bad, n)) << bad;

    EXPECT_TRUE(ParseColorValue("#102030", n));
    EXPECT_EQ(n, 0x00302010);
    EXPECT_TRUE(ParseColorValue("#FFfFfF", n));
    EXPECT_EQ(n, 0x00FFFFFF);
    EXPECT_TRUE(ParseColorValue("0x00112233", n));
    EXPECT_EQ(n, 0x00112233);
    for (const char* bad : {"#12345", "#1234567", "#GG0000", "#"})
        EXPECT_FALSE(ParseColorValue(bad, n)) << bad;

    const char* qualities[] = {"low", "high", "autolow", "autohigh", "medium", "best"};
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(ParseQualityValue(qualities[i], n) && n == i) << qualities[i];
    EXPECT_TRUE(ParseQualityValue("BEST", n) && n == 5);
    EXPECT_TRUE(ParseQualityValue("7", n) && n == 7);
    EXPECT_FALSE(ParseQualityValue("fast", n));

    const char* layouts[] = {"whole-desktop", "first-monitor", "per-monitor"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ParseLayoutValue(layouts[i], n) && n == i);
        EXPECT_TRUE(ParseLayoutValue(std::to_string(i), n) && n == i);
    }
    for (const char* bad : {"3", "-1", "per monitor", ""})
        EXPECT_FALSE(ParseLayoutValue(bad, n)) << bad;

    for (const char* good : {"auto", "system", "builtin"})
        EXPECT_TRUE(ParsePlayerValue(good)) << good;
    for (const char* bad : {"", "Auto", "built-in", "installed", "builtin "})
        EXPECT_FALSE(ParsePlayerValue(bad)) << bad;
}

std::string ItemsError(const std::string& Text, const std::string& FileName) {
    try {
        ManifestItems(ParseManifestText(Text, FileName));
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecInput);
        return e.what();
    }
    return "no error";
}

TEST(Manifest, ItemsComeInLoaderOrderWithTheirStorageForms) {
    TTempFile movie(Bytes{'S', 'W', 'F'}, "movie.swf");
    const std::string dir = movie.Dir() + "/";
    TTempFile::Write(dir + "sub/data.xml", Bytes{'<', '/', '>'});
    TTempFile::Write(dir + "pic.bmp", Bytes{'B', 'M'});
    TTempFile::Write(dir + "empty.txt", Bytes{});
    // Deliberately out of order in the manifest.
    const std::string text = "[package]\n"
                             "ExtraFile=sub/data.xml\n"
                             "AboutImage=pic.bmp\n"
                             "Movie=movie.swf\n"
                             "Layout=first-monitor\n"
                             "Player=builtin\n"
                             "MovieFileName=main.swf\n"
                             "ExtraFile=empty.txt\n"
                             "Loop=yes\n"
                             "RequiredVersion=\n"
                             "BackgroundColor=#0000FF\n"
                             "GUID={A-1}\n";
    const std::vector<TPackageItem> items = ManifestItems(ParseManifestText(text, dir + "s.ini"));
    std::vector<std::string> names;
    for (const TPackageItem& i : items)
        names.push_back(i.Name);
    const std::vector<std::string> expected = {
        "GUID",           "Loop",           "BackgroundColor", "RequiredVersion", "Layout",
        "Player",         "MovieFileName",  "Movie",           "ExtraFileCount",  "ExtraFileName0",
        "ExtraFileData0", "ExtraFileName1", "ExtraFileData1",  "AboutImage"};
    ASSERT_EQ(names, expected);
    auto find = [&](const std::string& name) -> const TPackageItem& {
        for (const TPackageItem& i : items)
            if (i.Name == name)
                return i;
        throw std::runtime_error(name);
    };
    EXPECT_EQ(find("Loop").Data, Bytes{1});
    EXPECT_FALSE(find("Loop").Compress);
    EXPECT_EQ(find("BackgroundColor").Data, (Bytes{0x00, 0x00, 0xFF, 0x00}));
    EXPECT_EQ(find("Layout").Data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(find("ExtraFileCount").Data, (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(find("ExtraFileName0").Data, (Bytes{'d', 'a', 't', 'a', '.', 'x', 'm', 'l'}));
    EXPECT_EQ(find("ExtraFileData0").Data, (Bytes{'<', '/', '>'}));
    EXPECT_TRUE(find("ExtraFileData0").Compress);
    EXPECT_TRUE(find("ExtraFileData1").Data.empty());
    EXPECT_TRUE(find("Movie").Compress);
    EXPECT_EQ(find("Movie").Data, (Bytes{'S', 'W', 'F'}));
    EXPECT_TRUE(find("GUID").Compress);
    EXPECT_TRUE(find("RequiredVersion").Data.empty());
    EXPECT_EQ(find("Player").Data, (Bytes{'b', 'u', 'i', 'l', 't', 'i', 'n'}));
}

TEST(Manifest, ItemErrorsNameFileAndLine) {
    TTempFile movie(Bytes{'S'}, "m.swf");
    const std::string ini = movie.Dir() + "/s.ini";
    TTempFile::Write(movie.Dir() + "/M.SWF.txt", Bytes{'x'});
    const std::pair<std::string, std::string> cases[] = {
        {"[package]\nLoop=maybe\n", ":2: 'Loop' must be true/false/yes/no/1/0, not 'maybe'"},
        {"[package]\n\nQuality=fast\n", ":3: 'Quality' must be a number or low/"},
        {"[package]\nLayout=3\n", ":2: 'Layout' must be 0/1/2 or whole-desktop"},
        {"[package]\nPlayer=flash\n", ":2: 'Player' must be auto/system/builtin, not 'flash'"},
        {"[package]\nBackgroundColor=#12\n", ":2: 'BackgroundColor' must be #RRGGBB"},
        {"[package]\nGUID=g\nMovie=missing.swf\n", ":3: cannot read '"},
        {"[package]\nGUID=g\nMovie=\n", ":3: 'Movie' needs a file path"},
        {"[package]\nMovie=m.swf\n", ":2: a movie or extra files need a non-empty GUID"},
        {"[package]\nGUID=\nMovie=m.swf\n", ":3: a movie or extra files need a non-empty GUID"},
        {"[package]\nGUID=../up\n", ":2: GUID '../up' may hold only"},
        {"[package]\nGUID=g\nExtraFile=m.swf\n", ":3: extra files need a Movie"},
        {"[package]\nGUID=g\nMovie=m.swf\nMovieFileName=a/b.swf\n",
         ":4: MovieFileName 'a/b.swf' must be a plain file name"},
        {"[package]\nGUID=g\nMovie=m.swf\nExtraFile=m.swf\nExtraFile=./m.swf\n",
         ":5: file name 'm.swf' already used on line 4"},
        {"[package]\nGUID=g\nMovie=m.swf\nExtraFile=G.swf\n",
         ":4: file name 'G.swf' already used on line 2"},
    };
    for (const auto& c : cases) {
        const std::string error = ItemsError(c.first, ini);
        EXPECT_EQ(error.rfind(ini + c.second, 0), 0u) << "got: " << error << "\nwant: " << c.second;
    }
}

TEST(Manifest, LoadManifestReportsUnreadableFile) {
    try {
        LoadManifest("/no/such/dir/saver.ini");
        ADD_FAILURE();
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecInput);
        EXPECT_EQ(std::string(e.what()).rfind("/no/such/dir/saver.ini: cannot read manifest", 0),
                  0u);
    }
}

} // namespace
} // namespace zembra
