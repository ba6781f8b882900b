// Typing into text fields: what restrict and maxChars let in, line breaks,
// the selection, deleting and moving the caret.
#include <gtest/gtest.h>

#include "text/uTextEditing.h"
#include "text/uUtf16.h"

using namespace zembra::text;

namespace {

TextField Field(const std::string& text, bool multiline = false) {
    TextField f;
    f.input = true;
    f.SetMultiline(multiline);
    f.SetText(ToUtf16(text));
    return f;
}

std::string Text(const TextField& f) {
    return f.TextUtf8();
}

EditState Caret(size_t at) {
    EditState s;
    s.anchor = s.caret = at;
    return s;
}

} // namespace

TEST(TextRestrict, RangesExclusionsEscapesAndCase) {
    EXPECT_EQ(ApplyRestrict("", false, u'x'), u'x');
    EXPECT_EQ(ApplyRestrict("", true, u'x'), 0); // set to nothing: refuses all
    EXPECT_EQ(ApplyRestrict("a-c", true, u'b'), u'b');
    EXPECT_EQ(ApplyRestrict("a-c", true, u'd'), 0);
    // Only the other case is allowed: it is typed in that case.
    EXPECT_EQ(ApplyRestrict("a-c", true, u'B'), u'b');
    EXPECT_EQ(ApplyRestrict("A-Z", true, u'q'), u'Q');
    // A leading caret allows all but what follows; a later one excludes
    // from the allowed set.
    EXPECT_EQ(ApplyRestrict("^0-9", true, u'5'), 0);
    EXPECT_EQ(ApplyRestrict("^0-9", true, u'x'), u'x');
    EXPECT_EQ(ApplyRestrict("a-z^m", true, u'm'), 0);
    EXPECT_EQ(ApplyRestrict("a-z^m", true, u'n'), u'n');
    // Escaped specials stand for themselves.
    EXPECT_EQ(ApplyRestrict("\\-", true, u'-'), u'-');
    EXPECT_EQ(ApplyRestrict("\\^", true, u'^'), u'^');
    EXPECT_EQ(ApplyRestrict("\\-", true, u'a'), 0);
    // A dangling range end is no range.
    EXPECT_EQ(ApplyRestrict("a-", true, u'a'), u'a');
    EXPECT_EQ(ApplyRestrict("a-", true, u'-'), u'-');
}

TEST(TextEditing, InsertReplacesTheSelectionAndHonoursMaxChars) {
    TextField f = Field("hello");
    EditState s;
    s.anchor = 1;
    s.caret = 4; // "ell"
    EXPECT_TRUE(InsertTyped(f, s, u"ipp"));
    EXPECT_EQ(Text(f), "hippo");
    EXPECT_EQ(s.caret, 4u);
    EXPECT_EQ(s.anchor, 4u);

    f.maxChars = 7;
    s = Caret(5);
    EXPECT_TRUE(InsertTyped(f, s, u"potamus"));
    EXPECT_EQ(Text(f), "hippopo"); // cut at the limit
    EXPECT_FALSE(InsertTyped(f, s, u"x"));
    EXPECT_EQ(Text(f), "hippopo");

    // Nothing let in keeps the selection's text.
    f.maxChars = 0;
    f.restrict = "0-9";
    f.restrictSet = true;
    s.anchor = 0;
    s.caret = 2;
    EXPECT_FALSE(InsertTyped(f, s, u"zz"));
    EXPECT_EQ(Text(f), "hippopo");
    EXPECT_EQ(s.Begin(), 0u);
    EXPECT_EQ(s.End(), 2u);
}

TEST(TextEditing, LineBreaksOnlyGoIntoMultilineFields) {
    TextField one = Field("ab");
    EditState s = Caret(2);
    EXPECT_TRUE(InsertTyped(one, s, u"cd\r\nef"));
    EXPECT_EQ(Text(one), "abcd"); // a pasted text ends at its first break
    s = Caret(0);
    EXPECT_FALSE(InsertTyped(one, s, u"\r"));

    TextField many = Field("ab", true);
    s = Caret(1);
    EXPECT_TRUE(InsertTyped(many, s, u"x\r\ny\nz"));
    EXPECT_EQ(many.Text(), u"ax\ry\rzb");
    EXPECT_EQ(s.caret, 6u);
}

TEST(TextEditing, DeletingAndMovingStayInsideTheText) {
    TextField f = Field("abc");
    EditState s = Caret(0);
    EXPECT_FALSE(DeleteBackward(f, s));
    EXPECT_TRUE(DeleteForward(f, s));
    EXPECT_EQ(Text(f), "bc");
    s = Caret(2);
    EXPECT_FALSE(DeleteForward(f, s));
    EXPECT_TRUE(DeleteBackward(f, s));
    EXPECT_EQ(Text(f), "b");
    EXPECT_EQ(s.caret, 1u);

    // A state past the end (the text shrank under it) is pulled back.
    s = Caret(50);
    MoveCaret(f, s, 1, false);
    EXPECT_EQ(s.caret, 1u);
    MoveCaret(f, s, -1, false);
    MoveCaret(f, s, -1, false);
    EXPECT_EQ(s.caret, 0u);

    // Moving without extending collapses a selection to its side.
    f = Field("abcdef");
    s.anchor = 1;
    s.caret = 4;
    MoveCaret(f, s, -1, false);
    EXPECT_EQ(s.caret, 1u);
    EXPECT_EQ(s.anchor, 1u);
    MoveCaret(f, s, 1, true);
    MoveCaret(f, s, 1, true);
    EXPECT_EQ(SelectedText(f, s), u"bc");
    MoveCaretToEnd(f, s, true, false);
    EXPECT_EQ(s.caret, 6u);
    EXPECT_EQ(SelectedText(f, s), u"");
}

TEST(TextEditing, CodePointsBeyondTheBasicPlaneBecomePairs) {
    std::u16string out;
    AppendCodePoint(out, 0x41);
    AppendCodePoint(out, 0x1F600);
    AppendCodePoint(out, 0x110000); // no character: dropped
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1], 0xD83D);
    EXPECT_EQ(out[2], 0xDE00);
}
