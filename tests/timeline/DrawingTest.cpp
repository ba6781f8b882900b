// Drawing commands into shape geometry: fills stay whole across line style
// changes, open fills are drawn closed, bounds cover strokes.
#include <gtest/gtest.h>

#include "timeline/uDrawing.h"

using zembra::raster::Paint;
using zembra::raster::Point;
using zembra::raster::StrokeStyle;
using zembra::timeline::Drawing;

namespace {

Paint Red() {
    Paint p;
    p.color = {255, 0, 0, 255};
    return p;
}

} // namespace

TEST(Drawing, FillsStayWholeAcrossLineStyleChangesAndCloseThemselves) {
    Drawing d;
    EXPECT_TRUE(d.Empty());
    d.BeginFill(Red());
    StrokeStyle line;
    line.width = 40;
    d.LineStyle(&line);
    d.MoveTo({0, 0});
    d.LineTo({2000, 0});
    d.LineStyle(nullptr); // the fill goes on with the same outline
    d.LineTo({2000, 2000});
    // No endFill: drawn as if closed back to (0, 0).
    const auto& g = d.Geometry();
    ASSERT_EQ(g.layers.size() >= 1, true);
    size_t fills = 0, strokes = 0;
    for (const auto& layer : g.layers) {
        fills += layer.fills.size();
        strokes += layer.strokes.size();
    }
    EXPECT_EQ(fills, 1u);
    EXPECT_EQ(strokes, 1u);
    EXPECT_TRUE(g.HitTest({1500, 500}));
    EXPECT_FALSE(g.HitTest({500, 1500}));

    const auto b = d.Bounds();
    EXPECT_EQ(b.xMin, -20);
    EXPECT_EQ(b.yMin, -20);
    EXPECT_EQ(b.xMax, 2020);
    EXPECT_EQ(b.yMax, 2000);

    d.Clear();
    EXPECT_TRUE(d.Empty());
    EXPECT_EQ(d.Bounds().xMax, 0);
}

TEST(Drawing, CommandsAreBounded) {
    Drawing d;
    d.MoveTo({0, 0});
    for (size_t i = 0; i < Drawing::kMaxOps + 10; ++i)
        d.LineTo({double(i % 7), 1});
    const auto& g = d.Geometry();
    (void)g;
    EXPECT_FALSE(d.Empty());
    EXPECT_LE(d.Bounds().xMax, 7);
}
