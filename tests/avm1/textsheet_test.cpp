// TextSnapshot over a host's static text, and TextField.StyleSheet: CSS
// read all or nothing, styles kept apart from their text formats.
#include <gtest/gtest.h>

#include "tests/avm1/uTestSupport.h"

using namespace zembra;
using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

class StaticTextHost : public FakeHost {
  public:
    std::vector<std::u16string> lines;
    std::vector<std::u16string> StaticTextLines(ClipId clip) override {
        return clip == 1 ? lines : std::vector<std::u16string>();
    }
};

struct Fixture {
    Fixture() : rt(host, 8) {}
    StaticTextHost host;
    Runtime rt;
    Value Root() { return Value::Obj(rt.ClipObject(1)); }
    Value Call(const Value& target, const char* method, Args args = {}) {
        return rt.CallMethod(target, method, args);
    }
    std::string Str(const Value& v) { return rt.ToString(v); }
    Value Snapshot() {
        Args a{Root()};
        return rt.Construct(rt.GetMember(rt.global, "TextSnapshot"), a);
    }
    Value Sheet() {
        Value field = rt.GetMember(rt.global, "TextField");
        Args none;
        return rt.Construct(rt.GetMember(field, "StyleSheet"), none);
    }
};

Value N(double d) {
    return Value::Num(d);
}
Value S(const char* s) {
    return Value::Str(s);
}

} // namespace

TEST(TextSnapshotBuiltin, ReadsRangesHeldInsideTheTextAndMarksLineStarts) {
    Fixture f;
    f.host.lines = {u"ABCDEF", u"GHIJK"};
    Value ts = f.Snapshot();
    EXPECT_EQ(f.Str(f.Call(ts, "getCount")), "11");
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(1), N(3)})), "BC");
    // Out-of-range ends are held inside; at least one character comes back.
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(100), N(200)})), "K");
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(3), N(1)})), "D");
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(-5), N(2)})), "AB");
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(0), N(7), Value::Bool(true)})), "ABCDEF\nG");
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(0), N(6), Value::Bool(true)})), "ABCDEF");
    EXPECT_TRUE(f.Call(ts, "getText", {N(0)}).IsUndefined());
    EXPECT_TRUE(f.Call(ts, "getText", {N(0), N(1), N(1), N(1)}).IsUndefined());
}

TEST(TextSnapshotBuiltin, FindsTextFromAnIndexWithOrWithoutCase) {
    Fixture f;
    f.host.lines = {u"ABCDEF", u"GHIJK"};
    Value ts = f.Snapshot();
    EXPECT_EQ(f.Str(f.Call(ts, "findText", {N(0), S("eF"), Value::Bool(false)})), "4");
    EXPECT_EQ(f.Str(f.Call(ts, "findText", {N(0), S("eF"), Value::Bool(true)})), "-1");
    EXPECT_EQ(f.Str(f.Call(ts, "findText", {N(5), S("EF"), Value::Bool(true)})), "-1");
    // Line ends are not part of the text searched; empty and negative find nothing.
    EXPECT_EQ(f.Str(f.Call(ts, "findText", {N(0), S("F\nG"), Value::Bool(true)})), "-1");
    EXPECT_EQ(f.Str(f.Call(ts, "findText", {N(0), S(""), Value::Bool(true)})), "-1");
    EXPECT_EQ(f.Str(f.Call(ts, "findText", {N(-1), S("A"), Value::Bool(true)})), "-1");
    EXPECT_TRUE(f.Call(ts, "findText", {N(0), S("A")}).IsUndefined());
}

TEST(TextSnapshotBuiltin, KeepsTheTextOfWhenItWasTakenAndNothingIsUndefined) {
    Fixture f;
    f.host.lines = {u"AB"};
    Value ts = f.Snapshot();
    f.host.lines.clear();
    EXPECT_EQ(f.Str(f.Call(ts, "getText", {N(0), N(9)})), "AB");
    EXPECT_TRUE(f.Call(f.Snapshot(), "getText", {N(0), N(9)}).IsUndefined());
}

TEST(StyleSheetBuiltin, CssIsReadWholeOrNotAtAll) {
    Fixture f;
    Value sheet = f.Sheet();
    EXPECT_TRUE(f.Call(sheet, "parseCSS", {S("one { color: red; }")}).AsBool());
    EXPECT_FALSE(f.Call(sheet, "parseCSS", {S("one { color: blue; }; junk")}).AsBool());
    EXPECT_EQ(f.Str(f.rt.GetMember(f.Call(sheet, "getStyle", {S("one")}), "color")), "red");
    // Selectors and names with white space inside, or a name without its
    // colon, make the whole text fail.
    EXPECT_FALSE(f.Call(sheet, "parseCSS", {S("long key { a: 1 }")}).AsBool());
    EXPECT_FALSE(f.Call(sheet, "parseCSS", {S("k { a b: 1 }")}).AsBool());
    EXPECT_FALSE(f.Call(sheet, "parseCSS", {S("a{name}")}).AsBool());
    EXPECT_FALSE(f.Call(sheet, "parseCSS", {S("a{key:value")}).AsBool());
}

TEST(StyleSheetBuiltin, SelectorsListsValuesAndNames) {
    Fixture f;
    Value sheet = f.Sheet();
    ASSERT_TRUE(f.Call(sheet, "parseCSS",
                       {S("a, b { kerning: 5 }\nc {font-size: 9;this--one: x;;e:1}\nd{")})
                    .AsBool());
    Value a = f.Call(sheet, "getStyle", {S("a")});
    EXPECT_EQ(f.Str(f.rt.GetMember(a, "kerning")), "5 "); // trailing space kept
    EXPECT_EQ(f.Str(f.rt.GetMember(f.Call(sheet, "getStyle", {S("b")}), "kerning")), "5 ");
    Value c = f.Call(sheet, "getStyle", {S("c")});
    EXPECT_EQ(f.Str(f.rt.GetMember(c, "fontSize")), "9");
    EXPECT_EQ(f.Str(f.rt.GetMember(c, "this-one")), "x");
    EXPECT_EQ(f.Str(f.rt.GetMember(c, ";e")), "1");
    // A block left open at the end is an empty style.
    EXPECT_TRUE(f.Call(sheet, "getStyle", {S("d")}).IsObject());
    EXPECT_TRUE(f.Call(sheet, "getStyle", {S("none")}).IsNull());
}

TEST(StyleSheetBuiltin, StylesAreCopiesAndTransformMakesFormats) {
    Fixture f;
    Value sheet = f.Sheet();
    Object* style = f.rt.NewPlain();
    f.rt.SetMember(style, "color", S("#FF0000"));
    f.rt.SetMember(style, "fontFamily", S("  A ,, B"));
    f.rt.SetMember(style, "marginLeft", S("-4"));
    f.rt.SetMember(style, "textAlign", S("CENTER"));
    f.Call(sheet, "setStyle", {S("x"), Value::Obj(style)});
    f.rt.SetMember(style, "color", S("changed"));
    Value kept = f.Call(sheet, "getStyle", {S("x")});
    EXPECT_EQ(f.Str(f.rt.GetMember(kept, "color")), "#FF0000");
    EXPECT_NE(kept.AsObject(), style);

    Value tf = f.rt.GetMember(f.rt.GetMember(sheet, "_styles"), "x");
    EXPECT_EQ(f.Str(f.rt.GetMember(tf, "color")), "16711680");
    EXPECT_EQ(f.Str(f.rt.GetMember(tf, "font")), "A ,B");
    EXPECT_EQ(f.Str(f.rt.GetMember(tf, "leftMargin")), "0");
    EXPECT_EQ(f.Str(f.rt.GetMember(tf, "align")), "center");
    EXPECT_EQ(f.Str(f.rt.GetMember(tf, "display")), "block");
    EXPECT_TRUE(f.Call(sheet, "transform", {Value::Null()}).IsNull());

    f.Call(sheet, "clear");
    EXPECT_TRUE(f.Call(sheet, "getStyle", {S("x")}).IsNull());
}

TEST(StyleSheetBuiltin, TooManyPropertiesOverAllSelectorsAreRefused) {
    // 300 selectors sharing 300 properties would be 90000 properties kept.
    std::string css;
    for (int i = 0; i < 300; ++i)
        css += (i ? ",s" : "s") + std::to_string(i);
    css += "{";
    for (int i = 0; i < 300; ++i)
        css += "p" + std::to_string(i) + ":1;";
    css += "}";
    Fixture f;
    Value sheet = f.Sheet();
    EXPECT_FALSE(f.Call(sheet, "parseCSS", {Value::Str(css)}).AsBool());
    EXPECT_EQ(f.Str(f.rt.GetMember(f.Call(sheet, "getStyleNames"), "length")), "0");
    // A long search pattern is no slower than a short one.
    f.host.lines = {std::u16string(100000, u'a') + u"b"};
    Value ts = f.Snapshot();
    EXPECT_EQ(f.Str(f.Call(ts, "findText",
                           {N(0), Value::Str(std::string(50000, 'A') + "B"), Value::Bool(false)})),
              "50000");
}
