// What the pointer hits (fill rules, masks, transforms, hidden objects) and
// the order the Tab key visits objects in.
#include <gtest/gtest.h>

#include <memory>

#include "timeline/uHitTest.h"
#include "timeline/uTabOrder.h"

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
