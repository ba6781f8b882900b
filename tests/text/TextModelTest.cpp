#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "text/uHtmlText.h"
#include "text/uTextField.h"
#include "text/uUtf16.h"

using namespace zembra::text;

namespace {

std::u16string U(const std::string& s) {
    return ToUtf16(s);
}

TextFormat Base() {
    TextFormat f = TextFormat::Default();
    f.font = "Noto Sans";
    f.size = 6;
    return f;
}

const char* const kOpen = "<P ALIGN=\"LEFT\"><FONT FACE=\"Noto Sans\" SIZE=\"6\" COLOR=\"#000000\" "
                          "LETTERSPACING=\"0\" KERNING=\"0\">";
const char* const kClose = "</FONT></P>";

} // namespace

// ---- Formats

TEST(TextFormatModel, MergeTakesOnlySetAttributesAndIntersectKeepsCommonOnes) {
    TextFormat a = TextFormat::Default();
    TextFormat b;
    b.bold = true;
    b.size = 20;
    a.MergeFrom(b);
    EXPECT_EQ(a.bold, true);
    EXPECT_EQ(a.size, 20.0);
    EXPECT_EQ(a.font, "Times New Roman"); // untouched

    TextFormat c = a;
    c.color = 0xFF0000;
    c.IntersectWith(a);
    EXPECT_FALSE(c.color.has_value());
    EXPECT_EQ(c.size, 20.0);
    EXPECT_EQ(c, [&] {
        TextFormat d = a;
        d.color.reset();
        return d;
    }());
}

TEST(TextFormatModel, AlignNamesReadInAnyCaseAndRejectOthers) {
    EXPECT_EQ(AlignFromName("RIght"), Align::Right);
    EXPECT_EQ(AlignFromName("center"), Align::Center);
    EXPECT_FALSE(AlignFromName("middle").has_value());
    EXPECT_STREQ(AlignName(Align::Justify), "justify");
}

// ---- Reading html

TEST(HtmlRead, EntitiesNewlinesAndUnknownTags) {
    HtmlOptions o;
    StyledText t = ReadHtml("a&lt;b&gt;&amp;&#65;&#x42;&bogus;<blink>x</blink>\r\ny\nz", Base(), o);
    EXPECT_EQ(ToUtf8(t.text), "a<b>&AB&bogus;x\ry\rz");
    ASSERT_EQ(t.spans.size(), 1u);
    EXPECT_EQ(t.spans[0].length, t.text.size());
}

TEST(HtmlRead, ParagraphsBreakOnlyInMultilineFields) {
    HtmlOptions single;
    single.multiline = false;
    EXPECT_EQ(ToUtf8(ReadHtml("<p>a</p><p>b</p>", Base(), single).text), "ab");
    HtmlOptions multi;
    EXPECT_EQ(ToUtf8(ReadHtml("<p>a</p><p>b</p>", Base(), multi).text), "a\rb\r");
    // A list item starts a paragraph of its own.
    EXPECT_EQ(ToUtf8(ReadHtml(" <li>t</li> ", Base(), multi).text), " \rt\r ");
}

TEST(HtmlRead, StylesNestAndCloseBack) {
    HtmlOptions o;
    StyledText t =
        ReadHtml("<font size=\"20\" color=\"#ff0000\">a<b>b</b></font><i>c</i>", Base(), o);
    EXPECT_EQ(ToUtf8(t.text), "abc");
    ASSERT_EQ(t.spans.size(), 3u);
    EXPECT_EQ(t.spans[0].format.size, 20.0);
    EXPECT_EQ(t.spans[0].format.color, 0xFF0000u);
    EXPECT_EQ(t.spans[1].format.bold, true);
    EXPECT_EQ(t.spans[1].format.size, 20.0);
    EXPECT_EQ(t.spans[2].format.italic, true);
    EXPECT_EQ(t.spans[2].format.size, 6.0);
    EXPECT_EQ(t.spans[2].format.bold, false);
}

TEST(HtmlRead, StyledRunsBreaksAndEntitiesOfAStaticField) {
    HtmlOptions o;
    StyledText t = ReadHtml("<p align=\"left\"><b>Bold <i>both</i></b> &amp; <font "
                            "color=\"#ff0000\" size='20' face=\"Serif\">red</font><br>x "
                            "&lt;y&gt;</p><p>next</p>",
                            Base(), o);
    EXPECT_EQ(ToUtf8(t.text), "Bold both & red\rx <y>\rnext\r");
    ASSERT_GE(t.spans.size(), 5u);
    EXPECT_EQ(t.spans[0].length, 5u);
    EXPECT_EQ(t.spans[0].format.bold, true);
    EXPECT_EQ(t.spans[1].format.italic, true);
    EXPECT_EQ(t.spans[2].format.bold, false);
    EXPECT_EQ(t.spans[3].format.font, "Serif");
    EXPECT_EQ(t.spans[3].format.size, 20.0);
    // Stray closing tags are dropped and open ones stay in force.
    std::string deep;
    for (int i = 0; i < 500; ++i)
        deep += "<b><i>";
    deep += "t</x></b>";
    StyledText odd = ReadHtml(deep, Base(), o);
    ASSERT_EQ(odd.spans.size(), 1u);
    EXPECT_EQ(ToUtf8(odd.text), "t");
    EXPECT_EQ(odd.spans[0].format.bold, true);
    EXPECT_EQ(odd.spans[0].format.italic, true);
}

TEST(HtmlRead, CondenseWhiteAndBrokenMarkup) {
    HtmlOptions o;
    o.condenseWhite = true;
    EXPECT_EQ(ToUtf8(ReadHtml("a  \n\t b", Base(), o).text), "a b");
    // An unfinished tag ends the text; deep nesting is bounded, not fatal.
    HtmlOptions plain;
    EXPECT_EQ(ToUtf8(ReadHtml("ab<font size=", Base(), plain).text), "ab");
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<b>";
    deep += "x";
    EXPECT_EQ(ToUtf8(ReadHtml(deep, Base(), plain).text), "x");
}

TEST(HtmlRead, OlderMoviesDropWhiteSpaceBetweenTagsAndKerning) {
    HtmlOptions o;
    o.legacy = true;
    o.multiline = false;
    EXPECT_EQ(ToUtf8(ReadHtml(" <p>test</p>  <p>test</p> ", Base(), o).text), "testtest");
    EXPECT_EQ(ToUtf8(ReadHtml("<b> </b>\n", Base(), o).text), "");
    EXPECT_EQ(ToUtf8(ReadHtml("<b> test </b>", Base(), o).text), " test ");
    EXPECT_EQ(ToUtf8(ReadHtml("test\n", Base(), o).text), "test\r");
    StyledText k = ReadHtml("<font kerning=\"1\">x</font>", Base(), o);
    EXPECT_EQ(k.spans[0].format.kerning, false);
    o.legacy = false;
    EXPECT_EQ(ToUtf8(ReadHtml(" <p>test</p> ", Base(), o).text), " test ");
}

// ---- Writing html

TEST(HtmlWrite, EmptyTextIsEmptyAndParagraphsAreWrittenOneByOne) {
    StyledText empty;
    EXPECT_EQ(WriteHtml(empty, Base()), "");
    StyledText t;
    t.Append(U("a\rb"), Base());
    EXPECT_EQ(WriteHtml(t, Base()), std::string(kOpen) + "a" + kClose + kOpen + "b" + kClose);
    // A final break opens no empty paragraph.
    StyledText u;
    u.Append(U("a\r"), Base());
    EXPECT_EQ(WriteHtml(u, Base()), std::string(kOpen) + "a" + kClose);
}

TEST(HtmlWrite, FontsNestByDifferenceAndStylesWrapEachRun) {
    TextFormat big = Base();
    big.size = 14;
    TextFormat bold = Base();
    bold.bold = true;
    StyledText t;
    t.Append(U("a"), Base());
    t.Append(U("b"), big);
    t.Append(U("c"), Base());
    t.Append(U("d"), bold);
    EXPECT_EQ(WriteHtml(t, Base()),
              std::string(kOpen) + "a<FONT SIZE=\"14\">b</FONT>c<B>d</B>" + kClose);
}

TEST(HtmlWrite, ParagraphLayoutAndEscaping) {
    TextFormat f = Base();
    f.leading = 2;
    f.leftMargin = 5;
    f.align = Align::Center;
    StyledText t;
    t.Append(U("<&>"), f);
    EXPECT_EQ(WriteHtml(t, Base()),
              "<TEXTFORMAT LEFTMARGIN=\"5\" LEADING=\"2\"><P ALIGN=\"CENTER\"><FONT FACE=\"Noto "
              "Sans\" SIZE=\"6\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">&lt;&amp;&gt;"
              "</FONT></P></TEXTFORMAT>");
    TextFormat li = Base();
    li.bullet = true;
    StyledText l;
    l.Append(U("x"), li);
    EXPECT_EQ(WriteHtml(l, Base()),
              "<LI><FONT FACE=\"Noto Sans\" SIZE=\"6\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
              "KERNING=\"0\">x</FONT></LI>");
}

TEST(HtmlWrite, WrittenHtmlReadsBackToTheSameText) {
    TextFormat red = Base();
    red.color = 0xFF0000;
    red.italic = true;
    StyledText t;
    t.Append(U("one "), Base());
    t.Append(U("two"), red);
    t.Append(U("\rthree"), Base());
    HtmlOptions o;
    StyledText back = ReadHtml(WriteHtml(t, Base()), Base(), o);
    EXPECT_EQ(ToUtf8(back.text), "one two\rthree\r");
    ASSERT_GE(back.spans.size(), 2u);
    EXPECT_EQ(back.spans[1].length, 3u);
    EXPECT_EQ(back.spans[1].format.color, 0xFF0000u);
    EXPECT_EQ(back.spans[1].format.italic, true);
}

// ---- The field's text and formats

TEST(TextFieldModel, NewlinesBecomeCarriageReturnsAndLengthCountsUtf16) {
    TextField f;
    f.SetText(U("a\r\nb\nc\rd"));
    EXPECT_EQ(f.TextUtf8(), "a\r\rb\rc\rd"); // "\r\n" is two breaks
    f.SetText(U("\xF0\x9F\x98\x80"));        // one character outside the basic plane
    EXPECT_EQ(f.Length(), 2u);
}

TEST(TextFieldModel, ReplaceTextClampsAndKeepsNeighbourFormats) {
    TextField f;
    f.SetText(U("hello"));
    TextFormat bold;
    bold.bold = true;
    f.SetTextFormat(0, 2, bold);
    f.ReplaceText(1, 1, U("XY"));
    EXPECT_EQ(f.TextUtf8(), "hXYello");
    EXPECT_EQ(f.GetTextFormat(1, 3).bold, true); // took the format at the insertion
    EXPECT_EQ(f.GetTextFormat(4, 7).bold, false);
    f.ReplaceText(5, 1000, U("!"));
    EXPECT_EQ(f.TextUtf8(), "hXYel!");
    f.ReplaceText(1000, 2000, U("?"));
    EXPECT_EQ(f.TextUtf8(), "hXYel!?");
}

TEST(TextFieldModel, FormatsOfRangesAndParagraphs) {
    TextField f;
    f.SetText(U("ab\rcd"));
    TextFormat red;
    red.color = 0xFF0000;
    red.align = Align::Right;
    f.SetTextFormat(1, 2, red);
    // Character attributes on the range only, paragraph ones on the paragraph.
    EXPECT_EQ(f.GetTextFormat(0, 1).color, 0u);
    EXPECT_EQ(f.GetTextFormat(0, 1).align, Align::Right);
    EXPECT_EQ(f.GetTextFormat(3, 4).align, Align::Left);
    TextFormat mixed = f.GetTextFormat(0, 2);
    EXPECT_FALSE(mixed.color.has_value());
    EXPECT_EQ(mixed.size, 12.0);
    // An empty range or an empty field answers the new-text format.
    EXPECT_EQ(f.GetTextFormat(4, 4), f.NewTextFormat());
    f.SetTextFormat(3, 1, red); // reversed: nothing
    EXPECT_EQ(f.GetTextFormat(3, 4).color, 0u);
}

TEST(TextFieldModel, HtmlTextIsPlainTextWhenTheFieldIsNotHtml) {
    TextField f;
    f.SetHtmlText("<b>x</b>");
    EXPECT_EQ(f.TextUtf8(), "<b>x</b>");
    f.SetHtml(true);
    f.SetHtmlText("<b>x</b>");
    EXPECT_EQ(f.TextUtf8(), "x");
    EXPECT_EQ(f.GetTextFormat(0, 1).bold, true);
}

// ---- Layout

TEST(TextFieldLayout, DeviceFontMetricsAndLeading) {
    TextField f;
    TextFormat nf;
    nf.font = "_sans";
    nf.size = 20;
    nf.leading = 5;
    f.SetNewTextFormat(nf);
    f.SetText(U("ii"));
    // Two narrow glyphs of 0.222 em, each cut to whole twips (88 twips).
    EXPECT_EQ(f.TextWidth(), 8);
    // One line: ascent + descent + leading, whole pixels down.
    EXPECT_EQ(f.TextHeight(), std::floor(20 * (0.905 + 0.212) + 5));
    // Two lines: the last line's leading does not count.
    f.SetText(U("i\ri"));
    EXPECT_EQ(f.Lines().size(), 2u);
    EXPECT_EQ(f.TextHeight(), std::floor(2 * 20 * (0.905 + 0.212) + 5));
    f.SetText(U(""));
    EXPECT_EQ(f.TextHeight(), 0);
    EXPECT_TRUE(f.Lines().empty());
    // The default face is the serif one: digits are half an em.
    TextField serif;
    serif.SetText(U("12"));
    EXPECT_EQ(serif.TextWidth(), 12);
    EXPECT_EQ(serif.TextHeight(), std::floor(12 * (0.891 + 0.216)));
}

TEST(TextFieldLayout, WordWrapBreaksAtSpacesAndLongWordsAnywhere) {
    TextField f;
    f.SetSize(4 + 40, 100);
    f.SetWordWrap(true);
    f.SetText(U("aaaa bbbb cccc"));
    ASSERT_EQ(f.Lines().size(), 3u); // 6.672 px per letter at 12
    EXPECT_EQ(f.Lines()[0].begin, 0u);
    EXPECT_EQ(f.Lines()[1].begin, 5u);
    EXPECT_LE(f.Lines()[0].width, 40);
    f.SetText(U("aaaaaaaaaaaaaaaaaaaa"));
    EXPECT_GT(f.Lines().size(), 1u);
    for (const TextLine& l : f.Lines())
        EXPECT_GT(l.end, l.begin); // every line makes progress
}

TEST(TextFieldLayout, AutoSizeMovesTheFieldByItsAlignment) {
    TextField f;
    f.x = 100;
    f.SetSize(200, 50);
    f.SetText(U("iiii"));
    f.SetAutoSize(AutoSize::Center);
    const double w = f.Width();
    EXPECT_NEAR(w, f.TextWidth() + 4, 1);
    EXPECT_DOUBLE_EQ(f.x, 100 + (200 - w) / 2);
    EXPECT_NEAR(f.Height(), f.TextHeight() + 4, 1);
    TextField r;
    r.SetSize(200, 50);
    r.SetText(U("iiii"));
    r.SetAutoSize(AutoSize::Right);
    EXPECT_DOUBLE_EQ(r.x, 200 - w);
}

TEST(TextFieldLayout, ScrollLimits) {
    TextField f;
    f.SetSize(100, 4 + 3 * 12 * (0.905 + 0.212)); // room for three lines
    f.SetText(U("1\r2\r3\r4\r5"));
    EXPECT_EQ(f.MaxScroll(), 3);
    EXPECT_EQ(f.BottomScroll(), 3);
    f.SetScroll(99);
    EXPECT_EQ(f.Scroll(), 3);
    EXPECT_EQ(f.BottomScroll(), 5);
    f.SetScroll(-4);
    EXPECT_EQ(f.Scroll(), 1);
    f.SetText(U("x"));
    EXPECT_EQ(f.Scroll(), 1);
    f.SetHScroll(50);
    EXPECT_EQ(f.HScroll(), 0); // nothing to scroll
}

TEST(TextFieldLayout, WrappedLinesKeepTheirTrailingSpaceOnlyWhenLeftAligned) {
    // _sans at 12: "aaaa" is 26.64 px and a space 3.3 px, so two words
    // never share a line of 30 px.
    auto widest = [](Align a) {
        TextField f;
        TextFormat nf;
        nf.font = "_sans";
        nf.align = a;
        f.SetNewTextFormat(nf);
        f.SetSize(4 + 30, 100);
        f.SetWordWrap(true);
        f.SetText(U("aaaa aaaa"));
        EXPECT_EQ(f.Lines().size(), 2u);
        return f.Lines().front().width;
    };
    const double left = widest(Align::Left), right = widest(Align::Right);
    EXPECT_NEAR(left - right, 3.3, 0.05);
    EXPECT_DOUBLE_EQ(right, widest(Align::Center));
}

// ---- Html paragraph breaks and odd markup

TEST(HtmlRead, ParagraphBreaksTakeTheLastClosedFontAndItemsTheirOwn) {
    HtmlOptions o;
    auto breakColor = [&](const std::string& html, size_t at) {
        StyledText t = ReadHtml(html, Base(), o);
        EXPECT_LT(at, t.text.size());
        size_t pos = 0;
        for (const FormatSpan& s : t.spans) {
            if (at < pos + s.length)
                return s.format.color.value_or(0xFFFFFFFF);
            pos += s.length;
        }
        return 0xFFFFFFFFu;
    };
    // Styles around a paragraph do not reach its break...
    StyledText b = ReadHtml("<b><p>x</p></b>", Base(), o);
    ASSERT_EQ(ToUtf8(b.text), "x\r");
    EXPECT_EQ(b.spans.back().format.bold, false);
    // ...but the last FONT closed does, even one of an earlier paragraph.
    EXPECT_EQ(breakColor("<p>a<font color=\"#121212\"></font><p>b</p>", 2), 0x121212u);
    EXPECT_EQ(breakColor("<p>a</p><font color=\"#131313\"><p>b</p></font>", 3), 0u);
    // A list item's break is in the item's own format.
    EXPECT_EQ(breakColor("<li><font color=\"#010101\">t</font></li>", 1), 0u);
    EXPECT_EQ(breakColor("<font color=\"#010101\"><li>t</li></font>", 1), 0x010101u);
}

TEST(HtmlRead, StyleClosesOutOfOrderAreDroppedAndSizesAreWholePoints) {
    HtmlOptions o;
    StyledText t = ReadHtml("<b>a<i>b</b>c</i>d</b>e", Base(), o);
    ASSERT_EQ(ToUtf8(t.text), "abcde");
    std::string styles;
    for (const FormatSpan& s : t.spans)
        for (size_t k = 0; k < s.length; ++k)
            styles += std::string(s.format.bold.value_or(false) ? "B" : "-") +
                      (s.format.italic.value_or(false) ? "I" : "-") + " ";
    EXPECT_EQ(styles, "B- BI BI B- -- ");
    auto size = [&](const std::string& html) {
        return ReadHtml(html, Base(), o).spans.back().format.size.value_or(-1);
    };
    EXPECT_EQ(size("<font size=\"1.9\">x</font>"), 1);
    EXPECT_EQ(size("<font size=\"256\">x</font>"), 127);
    EXPECT_EQ(size("<font size=\"0\">x</font>"), 1);
    EXPECT_EQ(size("<font size=\"-10\">x</font>"), 1); // relative to 6
    EXPECT_EQ(size("<font size=\"+2.5\">x</font>"), 8);
    EXPECT_EQ(size("<font size=\"big\">x</font>"), 6); // no number: unchanged
}

TEST(HtmlRead, CondensedWhiteSpaceStartsNoLineFromVersion8On) {
    HtmlOptions v8;
    v8.condenseWhite = true;
    HtmlOptions v7 = v8;
    v7.legacy = true;
    EXPECT_EQ(ToUtf8(ReadHtml(" test ", Base(), v8).text), "test ");
    EXPECT_EQ(ToUtf8(ReadHtml("<b>test</b> \n", Base(), v8).text), "test ");
    EXPECT_EQ(ToUtf8(ReadHtml(" <p>a</p>  <p>b</p> ", Base(), v8).text), "a\rb\r");
    // Older movies drop the white space between tags and start over after it.
    EXPECT_EQ(ToUtf8(ReadHtml("  <p>  test  </p>  ", Base(), v7).text), " test \r");
    EXPECT_EQ(ToUtf8(ReadHtml("<b> a </b> <b> b </b> ", Base(), v7).text), " a  b ");
}

TEST(TextFieldLayout, ANegativeIndentTakesBackMarginButNoMore) {
    TextField f;
    f.SetSize(200, 50);
    f.SetText(U("abc"));
    TextFormat fmt;
    fmt.indent = -10;
    f.SetTextFormat(0, 3, fmt);
    EXPECT_DOUBLE_EQ(f.Lines()[0].x, 0); // not left of the gutter
    fmt.leftMargin = 8;
    fmt.indent = -4;
    f.SetTextFormat(0, 3, fmt);
    EXPECT_DOUBLE_EQ(f.Lines()[0].x, 4);
    fmt.indent = 5;
    f.SetTextFormat(0, 3, fmt);
    EXPECT_DOUBLE_EQ(f.Lines()[0].x, 13);
}
