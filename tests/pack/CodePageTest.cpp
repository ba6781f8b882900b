#include "tests/package/uTestSupport.h"
#include "tools/pack/uCodePage.h"
#include "tools/pack/uManifest.h"
#include "tools/pack/uPackError.h"
#include "tools/pack/uPackageInspector.h"
#include "tools/pack/uPackageWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zembra {
namespace {

using test::Bytes;

// "テスト" in UTF-8 and in code page 932.
const std::string kTestUtf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";
const std::string kTest932 = "\x83\x65\x83\x58\x83\x67";
// "ゼンブラの設定" in code page 932.
const std::string kCaption932 = "\x83\x5B\x83\x93\x83\x75\x83\x89\x82\xCC\x90\xDD\x92\xE8";
const std::string kCaptionUtf8 = "ゼンブラの設定";

std::string From(uint32_t CodePage, const std::string& Utf8, bool* Ok = nullptr) {
    const auto page = TCodePage::Open(CodePage);
    std::string out = "(no converter)";
    const bool ok = page && page->FromUtf8(Utf8, out);
    if (Ok != nullptr)
        *Ok = ok;
    return ok ? out : "(refused)";
}

std::string To(uint32_t CodePage, const std::string& Text) {
    const auto page = TCodePage::Open(CodePage);
    std::string out;
    return page && page->ToUtf8(Text, out) ? out : "(refused)";
}

TEST(CodePage, ConvertsBothWaysAndRefusesWhatItCannotHold) {
    // Backslash and tilde stay single bytes in 932: paths and URLs keep
    // their meaning.
    const std::string ascii = "a=1&b=2 C:\\x ~/";
    for (uint32_t cp : {932u, 1252u, 65001u}) {
        EXPECT_EQ(From(cp, ascii), ascii) << cp;
        EXPECT_EQ(To(cp, ascii), ascii) << cp;
        EXPECT_EQ(From(cp, ""), "") << cp;
    }
    EXPECT_EQ(From(932, "a=1&b=" + kTestUtf8), "a=1&b=" + kTest932);
    EXPECT_EQ(To(932, kCaption932), kCaptionUtf8);
    EXPECT_EQ(From(932, kCaptionUtf8), kCaption932);
    EXPECT_EQ(From(1252, "caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    EXPECT_EQ(To(1252, "caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(From(65001, kCaptionUtf8), kCaptionUtf8);

    // Characters without an exact byte sequence: no '?' or look-alike.
    EXPECT_EQ(From(932, "ok \xF0\x9F\x98\x80"), "(refused)"); // U+1F600
    EXPECT_EQ(From(1252, kTestUtf8), "(refused)");
    EXPECT_EQ(From(932, "\xC3\xA9"), "(refused)"); // é has no 932 form
    // Text that is not UTF-8 is refused rather than passed on.
    for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xE3\x83", "\xFF", "\xF4\x90\x80\x80"})
        EXPECT_EQ(From(932, bad), "(refused)") << bad;
    // A lead byte without its trail byte does not decode.
    EXPECT_EQ(To(932, "ab\x83"), "(refused)");
    EXPECT_EQ(To(65001, "\x83"), "(refused)");

    EXPECT_EQ(TCodePage::Open(0), nullptr);
    EXPECT_EQ(TCodePage::Open(70000), nullptr);
    EXPECT_EQ(TCodePage::Open(12345), nullptr);
}

TEST(CodePage, Utf8ValidityAndTheFirstCharacterThatDoesNotFit) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8(kCaptionUtf8 + "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"));
    for (const std::string& bad :
         std::vector<std::string>{"\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xBF\xBF",
                                  "\xF5\x80\x80\x80", "a\xE3\x83", kCaption932})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;

    const auto page932 = TCodePage::Open(932);
    const auto page1252 = TCodePage::Open(1252);
    ASSERT_TRUE(page932 && page1252);
    EXPECT_EQ(FirstUnrepresentable(*page932, "a" + kTestUtf8 + "\xF0\x9F\x98\x80z"),
              "U+1F600 '\xF0\x9F\x98\x80'");
    EXPECT_EQ(FirstUnrepresentable(*page1252, "caf\xC3\xA9" + kTestUtf8), "U+30C6 'テ'");
    EXPECT_EQ(FirstUnrepresentable(*page932, kCaptionUtf8), "");
}

std::string TextItem(const std::vector<TPackageItem>& Items, const std::string& Name) {
    for (const TPackageItem& i : Items)
        if (i.Name == Name)
            return std::string(i.Data.begin(), i.Data.end());
    return "(missing)";
}

std::vector<TPackageItem> Items(const std::string& Text) {
    return ManifestItems(ParseManifestText(Text, "m.ini"));
}

std::string ItemsError(const std::string& Text) {
    try {
        Items(Text);
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecInput);
        return e.what();
    }
    return "no error";
}

TEST(CodePage, ManifestTextsAreWrittenInTheCodePage) {
    const std::string body = "[package]\nFlashVars=a=1&b=" + kTestUtf8 +
                             "\nAboutCaption=" + kCaptionUtf8 + "\nAboutLinkURL=http://x/~a\n";
    // UTF-8 with or without a byte-order mark, written in 932 by default.
    for (const std::string& text : {body, "\xEF\xBB\xBF" + body}) {
        const TManifest m = ParseManifestText(text, "m.ini");
        EXPECT_TRUE(m.Utf8);
        const std::vector<TPackageItem> items = ManifestItems(m);
        EXPECT_EQ(TextItem(items, "FlashVars"), "a=1&b=" + kTest932);
        EXPECT_EQ(TextItem(items, "AboutCaption"), kCaption932);
        EXPECT_EQ(TextItem(items, "AboutLinkURL"), "http://x/~a");
        EXPECT_EQ(TextItem(items, kCodePageKey), "(missing)");
    }
    EXPECT_EQ(
        TextItem(Items("[package]\nCodePage=1252\nAboutCaption=caf\xC3\xA9\n"), "AboutCaption"),
        "caf\xE9");
    EXPECT_EQ(TextItem(Items("[package]\nAboutCaption=" + kCaptionUtf8 + "\nCodePage=65001\n"),
                       "AboutCaption"),
              kCaptionUtf8);

    // Not UTF-8: the bytes are already in the code page, as manifests
    // written before were; they go into the package unchanged.
    const TManifest legacy =
        ParseManifestText("[package]\r\nGUID=g\r\nAboutCaption=" + kCaption932 + "\r\n", "m.ini");
    EXPECT_FALSE(legacy.Utf8);
    EXPECT_EQ(legacy.InvalidUtf8Line, 3);
    EXPECT_EQ(TextItem(ManifestItems(legacy), "AboutCaption"), kCaption932);
}

TEST(CodePage, ManifestCodePageErrorsNameFileAndLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"[package]\nGUID=g\nAboutLinkText=(C) " + kTestUtf8 + " \xF0\x9F\x98\x80\n",
         "m.ini:3: 'AboutLinkText': U+1F600 '\xF0\x9F\x98\x80' cannot be written in code page 932"},
        {"[package]\nCodePage=1252\n\nFlashVars=v=" + kTestUtf8 + "\n",
         "m.ini:4: 'FlashVars': U+30C6 'テ' cannot be written in code page 1252"},
        {"[package]\nCodePage=shift-jis\n", "m.ini:2: 'CodePage' must be a code page number"},
        {"[package]\nCodePage=0\n", "m.ini:2: 'CodePage' must be a code page number"},
        {"[package]\nCodePage=70000\n", "m.ini:2: 'CodePage' must be a code page number"},
        {"[package]\nCodePage=12345\n", "m.ini:2: code page 12345 cannot be converted"},
        {"[package]\nCodePage=65001\nAboutCaption=" + kCaption932 + "\n",
         "m.ini:3: not UTF-8, but 'CodePage' is 65001"},
        {"[package]\nCodePage=1\nCodePage=2\n", "m.ini:3: 'CodePage' given twice"},
        {"[package]\ncodepage=932\n", "m.ini:2: unknown key 'codepage' (did you mean 'CodePage'?)"},
        {"\xEF\xBB\xBF[package]\nAboutCaption=" + kCaption932 + "\n",
         "m.ini:2: not UTF-8, though the file starts with a UTF-8 byte-order mark"},
    };
    for (const auto& c : cases) {
        const std::string error = ItemsError(c.first);
        EXPECT_EQ(error.rfind(c.second, 0), 0u) << "got: " << error << "\nwant: " << c.second;
    }
}

TEST(CodePage, ListingDecodesTextsFromTheCodePage) {
    const Bytes package =
        EncodePackage({{"AboutCaption", Bytes(kCaption932.begin(), kCaption932.end()), true},
                       {"FlashVars", {'a', 0x83}, false}},
                      0x5A);
    TMemoryStream stream(package.data(), package.size());
    const TInspection inspection = InspectPackage(stream);
    ASSERT_EQ(inspection.Items.size(), 2u);
    const auto page = TCodePage::Open(932);
    ASSERT_TRUE(page);
    EXPECT_EQ(DescribeValue(inspection.Items[0], page.get()), "\"" + kCaptionUtf8 + "\"");
    // What does not decode is shown byte by byte, as without a code page.
    EXPECT_EQ(DescribeValue(inspection.Items[1], page.get()), "\"a\\x83\"");
    EXPECT_EQ(DescribeValue(inspection.Items[0]).substr(0, 9), "\"\\x83[\\x8");
    const std::string listing = FormatInspection(inspection, "p.scr", page.get());
    EXPECT_NE(listing.find(kCaptionUtf8), std::string::npos) << listing;
}

} // namespace
} // namespace zembra
