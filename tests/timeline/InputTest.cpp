// What the pointer hits (fill rules, masks, transforms, hidden objects),
// the order the Tab key visits objects in, and keys, focus and typing
// through a playing movie.
#include <gtest/gtest.h>

#include <memory>

#include "avm1/uObject.h"
#include "tests/swf/uSwfBuilder.h"
#include "timeline/uHitTest.h"
#include "timeline/uMovie.h"
#include "timeline/uTabOrder.h"
#include "text/uUtf16.h"

using namespace zembra;
using namespace zembra::timeline;

namespace {

void Square(std::vector<raster::Segment>& out, double x0, double y0, double x1, double y1) {
    const raster::Point p[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (int i = 0; i < 4; ++i) {
        raster::Segment s;
        s.from = p[i];
        s.to = s.control = p[(i + 1) % 4];
        out.push_back(s);
    }
}

std::unique_ptr<chars::ShapeChar> SquareShape(double x0, double y0, double x1, double y1) {
    auto c = std::make_unique<chars::ShapeChar>();
    c->geometry.bounds = {int32_t(x0), int32_t(x1), int32_t(y0), int32_t(y1)};
    c->geometry.layers.resize(1);
    c->geometry.layers[0].fills.resize(1);
    Square(c->geometry.layers[0].fills[0].segments, x0, y0, x1, y1);
    return c;
}

DisplayObject Placed(chars::Character* c, double tx = 0, double ty = 0) {
    DisplayObject o;
    o.character = c;
    o.matrix.tx = tx;
    o.matrix.ty = ty;
    return o;
}

// A movie (version 8) with a red square clip "btn" at (0, 0), 100 pixels
// wide.
std::vector<uint8_t> SquareClipMovie() {
    using namespace zembra::testing;
    BitWriter sprite;
    sprite.U16(5);
    sprite.U16(1);
    sprite.Bytes(Concat({PlaceObject2(1, 1, 0, 0), ShowFrame(), End()}));
    BitWriter place;
    place.U8(0x02 | 0x20);
    place.U16(1);
    place.U16(5);
    place.Str("btn");
    return zembra::testing::Movie(
        Concat({RectShape(1, 1, 0, 0, 2000, 2000, 0xff0000ff), Tag(39, sprite.bytes, true),
                Tag(26, place.bytes), ShowFrame(), End()}),
        8000, 6000, 1, 'F', 8);
}

struct Playing {
    timeline::Movie movie;
    avm1::ClipId btn = 0;
    Playing() {
        std::string error;
        EXPECT_TRUE(movie.Open(SquareClipMovie(), error)) << error;
        movie.Advance();
        btn = movie.Scripts()->host().Child(timeline::ScriptHost::kRoot, "btn", true);
        EXPECT_NE(btn, 0u);
    }
    void Set(avm1::ClipId clip, const char* name, const avm1::Value& v) {
        movie.Scripts()->ClipObject(clip)->Put(name, v);
    }
    avm1::ClipId Field() {
        const avm1::ClipId id =
            movie.CreateTextField(timeline::ScriptHost::kRoot, "field", 20000, 0, 200, 100, 20);
        if (text::TextField* f = movie.Scripts()->host().TextFieldModel(id))
            f->input = true;
        return id;
    }
    std::string Text(avm1::ClipId field) {
        text::TextField* f = movie.Scripts()->host().TextFieldModel(field);
        return f ? f->TextUtf8() : "?";
    }
};

TabStop Stop(uint32_t id, double x, double y) {
    TabStop t;
    t.id = id;
    t.x = x;
    t.y = y;
    return t;
}

TabStop Indexed(uint32_t id, double index) {
    TabStop t;
    t.id = id;
    t.hasIndex = true;
    t.index = index;
    return t;
}

} // namespace

TEST(HitTest, TheFillRuleDecidesOverlapsOfOnePath) {
    chars::Dictionary dict;
    HitTester hit(dict);
    // Two overlapping squares drawn the same way round, as one fill.
    chars::ShapeChar shape;
    shape.geometry.bounds = {0, 3000, 0, 3000};
    shape.geometry.layers.resize(1);
    shape.geometry.layers[0].fills.resize(1);
    auto& segs = shape.geometry.layers[0].fills[0].segments;
    Square(segs, 0, 0, 2000, 2000);
    Square(segs, 1000, 1000, 3000, 3000);
    const DisplayObject obj = Placed(&shape);
    const raster::Point overlap{1500, 1500}, single{500, 500}, outside{2500, 500};

    shape.geometry.rule = raster::FillRule::NonZero;
    EXPECT_TRUE(hit.Object(obj, raster::Matrix(), overlap, true));
    shape.geometry.rule = raster::FillRule::EvenOdd;
    EXPECT_FALSE(hit.Object(obj, raster::Matrix(), overlap, true));
    EXPECT_TRUE(hit.Object(obj, raster::Matrix(), single, true));
    // Inside the bounds but on no fill.
    EXPECT_FALSE(hit.Object(obj, raster::Matrix(), outside, true));
}

TEST(HitTest, TransformsHiddenObjectsAndMasks) {
    chars::Dictionary dict;
    HitTester hit(dict);
    auto small = SquareShape(0, 0, 100, 100);
    auto big = SquareShape(0, 0, 1000, 1000);

    // Moved by the parent's and its own matrix.
    DisplayObject moved = Placed(big.get(), 2000, 0);
    raster::Matrix parent;
    parent.ty = 500;
    EXPECT_TRUE(hit.Object(moved, parent, {2500, 1000}, true));
    EXPECT_FALSE(hit.Object(moved, parent, {500, 1000}, true));
    // Hidden: missed by the pointer, still found by scripts' hit tests.
    moved.visible = false;
    EXPECT_FALSE(hit.Object(moved, parent, {2500, 1000}, true));
    EXPECT_TRUE(hit.Object(moved, parent, {2500, 1000}, false));

    // A mask at depth 1 cuts depths 2..3; depth 4 is whole.
    SpriteInstance s;
    DisplayObject mask = Placed(small.get());
    mask.clipDepth = 3;
    s.children.emplace(1, std::move(mask));
    s.children.emplace(2, Placed(big.get()));
    EXPECT_TRUE(hit.Instance(s, raster::Matrix(), {50, 50}, true));
    EXPECT_FALSE(hit.Instance(s, raster::Matrix(), {500, 500}, true));
    // The mask itself is never what is hit.
    s.children.erase(2);
    EXPECT_FALSE(hit.Instance(s, raster::Matrix(), {50, 50}, true));
    s.children.emplace(4, Placed(big.get()));
    EXPECT_TRUE(hit.Instance(s, raster::Matrix(), {500, 500}, true));
}

TEST(HitTest, TextFieldsAreHitOnTheirBox) {
    chars::Dictionary dict;
    HitTester hit(dict);
    DisplayObject field;
    field.textField = std::make_shared<text::TextField>();
    field.textField->x = 10; // pixels
    field.textField->SetSize(50, 20);
    EXPECT_TRUE(hit.Object(field, raster::Matrix(), {300, 300}, true));
    EXPECT_FALSE(hit.Object(field, raster::Matrix(), {100, 300}, true));
    EXPECT_FALSE(hit.Object(field, raster::Matrix(), {300, 500}, true));
}

TEST(TabOrder, AutomaticGoesByRowsThenColumnsAndVisitsAPlaceOnce) {
    const std::vector<TabStop> stops = {Stop(1, 300, 10), Stop(2, 10, 200), Stop(3, 10, 10),
                                        Stop(4, 10, 10), Stop(5, 100, 10)};
    const std::vector<uint32_t> want = {3, 5, 1, 2};
    EXPECT_EQ(TabOrder(stops), want);
}

TEST(TabOrder, IndexesChooseAndOrderTheStops) {
    // Any index makes the order custom: the others are left out.
    const std::vector<TabStop> stops = {Stop(1, 0, 0), Indexed(2, 5), Indexed(3, -3), Indexed(4, 5),
                                        Indexed(5, 0)};
    const std::vector<uint32_t> want = {3, 5, 2, 4}; // ties keep display order
    EXPECT_EQ(TabOrder(stops), want);
}

TEST(TabOrder, NextWrapsBothWaysAndStartsAtAnEnd) {
    const std::vector<uint32_t> order = {7, 8, 9};
    EXPECT_EQ(NextTabStop(order, 7, false), 8u);
    EXPECT_EQ(NextTabStop(order, 9, false), 7u);
    EXPECT_EQ(NextTabStop(order, 7, true), 9u);
    EXPECT_EQ(NextTabStop(order, 0, false), 7u);
    EXPECT_EQ(NextTabStop(order, 0, true), 9u);
    EXPECT_EQ(NextTabStop(order, 42, false), 7u); // focus outside the order
    EXPECT_EQ(NextTabStop({}, 7, false), 0u);
}

TEST(MovieFocus, ScriptsFocusOnlyWhatMayHaveIt) {
    Playing p;
    // A plain clip refuses; focusEnabled or a button handler lets it in.
    EXPECT_FALSE(p.movie.SetFocus(p.btn));
    EXPECT_EQ(p.movie.Focus(), 0u);
    EXPECT_FALSE(p.movie.SetFocus(timeline::ScriptHost::kRoot));
    p.Set(p.btn, "focusEnabled", avm1::Value::Bool(true));
    EXPECT_TRUE(p.movie.SetFocus(p.btn));
    EXPECT_EQ(p.movie.Focus(), p.btn);
    // Turned off again: the focus is gone with it.
    p.Set(p.btn, "focusEnabled", avm1::Value::Bool(false));
    EXPECT_EQ(p.movie.Focus(), 0u);
    p.Set(p.btn, "onRelease", avm1::Value::Undef()); // present is enough
    EXPECT_TRUE(p.movie.SetFocus(p.btn));
    // Hidden or removed, the focus goes to nothing.
    EXPECT_TRUE(p.movie.DropFocusInside(timeline::ScriptHost::kRoot));
    EXPECT_EQ(p.movie.Focus(), 0u);
}

TEST(MovieFocus, TabAndKeysAndTheFocusRectangle) {
    Playing p;
    p.Set(p.btn, "onPress", avm1::Value::Num(1));
    swf::Rect r;
    p.movie.KeyEvent(9, true);
    EXPECT_TRUE(p.movie.KeyIsDown(9));
    EXPECT_EQ(p.movie.LastKeyCode(), 9);
    EXPECT_EQ(p.movie.LastKeyAscii(), 9);
    EXPECT_EQ(p.movie.Focus(), p.btn);
    ASSERT_TRUE(p.movie.FocusHighlight(r));
    EXPECT_EQ(r.xMin, 0);
    EXPECT_EQ(r.xMax, 2000);
    p.movie.KeyEvent(9, false);
    EXPECT_FALSE(p.movie.KeyIsDown(9));
    // Out-of-range key codes are remembered but never indexed.
    p.movie.KeyEvent(100000, true);
    EXPECT_FALSE(p.movie.KeyIsDown(100000));
    EXPECT_EQ(p.movie.LastKeyCode(), 100000);
    // Before version 9 the pointer moving hides the rectangle; keys show it.
    p.movie.PointerMove({5000, 5000});
    EXPECT_FALSE(p.movie.FocusHighlight(r));
    p.movie.KeyEvent(65, true, 'a');
    EXPECT_EQ(p.movie.LastKeyAscii(), 'a');
    EXPECT_TRUE(p.movie.FocusHighlight(r));
    // A clip that turns its rectangle off has none the next time it
    // takes the focus.
    p.movie.Scripts()->host().SetProperty(p.btn, avm1::ClipProp::FocusRect, 0, "false");
    ASSERT_TRUE(p.movie.SetFocus(0));
    p.movie.KeyEvent(9, true);
    EXPECT_EQ(p.movie.Focus(), p.btn);
    EXPECT_FALSE(p.movie.FocusHighlight(r));
}

TEST(MovieTyping, InputFieldsTakeTypedTextWithinTheirRules) {
    Playing p;
    const avm1::ClipId field = p.Field();
    ASSERT_NE(field, 0u);
    ASSERT_TRUE(p.movie.SetFocus(field));
    p.movie.TextInput('h');
    p.movie.TextInput('i');
    EXPECT_EQ(p.Text(field), "hi");
    p.movie.TextControl("Backspace");
    EXPECT_EQ(p.Text(field), "h");
    // Enter does nothing in a one-line field; tabs and the Tab key's text
    // are never typed.
    p.movie.TextControl("Enter");
    p.movie.TextInput('\t');
    p.movie.TextInput(0x110000); // no character
    EXPECT_EQ(p.Text(field), "h");
    p.movie.SetClipboard(u"ey");
    p.movie.TextControl("Paste");
    EXPECT_EQ(p.Text(field), "hey");
    int begin = 0, end = 0, caret = 0;
    ASSERT_TRUE(p.movie.TextSelection(begin, end, caret));
    EXPECT_EQ(caret, 3);
    // Selections from scripts are held inside the text.
    p.movie.SetTextSelection(1, 99);
    ASSERT_TRUE(p.movie.TextSelection(begin, end, caret));
    EXPECT_EQ(begin, 1);
    EXPECT_EQ(end, 3);
    p.movie.TextControl("Cut");
    EXPECT_EQ(p.Text(field), "h");
    EXPECT_EQ(p.movie.Clipboard(), u"ey");
}

TEST(MovieTyping, PasswordsStayOutOfTheClipboardAndDynamicFieldsStayPut) {
    Playing p;
    const avm1::ClipId field = p.Field();
    text::TextField* f = p.movie.Scripts()->host().TextFieldModel(field);
    ASSERT_NE(f, nullptr);
    f->password = true;
    f->SetText(u"secret");
    ASSERT_TRUE(p.movie.SetFocus(field));
    p.movie.SetClipboard(u"before");
    p.movie.TextControl("SelectAll");
    p.movie.TextControl("Copy");
    p.movie.TextControl("Cut");
    EXPECT_EQ(p.movie.Clipboard(), u"before");
    EXPECT_EQ(p.Text(field), "secret");
    // Not an input field: typing changes nothing.
    f->password = false;
    f->input = false;
    p.movie.TextInput('x');
    p.movie.TextControl("Paste");
    EXPECT_EQ(p.Text(field), "secret");
}
