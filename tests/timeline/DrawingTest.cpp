// Drawing commands into shape geometry: fills stay whole across line style
// changes, open fills are drawn closed, bounds cover strokes.
#include <gtest/gtest.h>

#include <cmath>

#include "timeline/uDrawing.h"
#include "timeline/uScriptHost.h"

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

// ---- The paint a script's gradient stands for

namespace {

zembra::avm1::DrawFill Gradient(zembra::avm1::DrawFill::Kind kind, size_t stops) {
    zembra::avm1::DrawFill f;
    f.kind = kind;
    for (size_t i = 0; i < stops; ++i) {
        f.colors.push_back(i % 2 ? 0xffffff : 0);
        f.alphas.push_back(100);
        f.ratios.push_back(static_cast<double>(i * 255 / (stops > 1 ? stops - 1 : 1)));
    }
    return f;
}

} // namespace

TEST(ScriptPaint, FocalPointStepsTowardZeroAndStopsShortOfTheEdge) {
    using zembra::avm1::DrawFill;
    using zembra::timeline::PaintOf;
    DrawFill f = Gradient(DrawFill::Kind::Radial, 2);
    auto focal = [&](double v) {
        f.focal = v;
        return PaintOf(f);
    };
    EXPECT_DOUBLE_EQ(focal(0.9).focalPoint, 230 / 256.0);
    EXPECT_DOUBLE_EQ(focal(-0.945).focalPoint, -241 / 256.0);
    EXPECT_DOUBLE_EQ(focal(0.98).focalPoint, 250 / 256.0);
    // Past 0.98 every value draws alike.
    EXPECT_DOUBLE_EQ(focal(0.985).focalPoint, 0.98);
    EXPECT_DOUBLE_EQ(focal(-0.995).focalPoint, -0.98);
    EXPECT_DOUBLE_EQ(focal(-1000).focalPoint, -0.98);
    EXPECT_EQ(focal(0.8).kind, Paint::Kind::Focal);
    // Below one step, and NaN, there is no focal point at all.
    EXPECT_EQ(focal(0.003).kind, Paint::Kind::Radial);
    EXPECT_EQ(focal(std::nan("")).kind, Paint::Kind::Radial);
    // A linear gradient has none either.
    DrawFill l = Gradient(DrawFill::Kind::Linear, 2);
    l.focal = 0.5;
    EXPECT_EQ(PaintOf(l).kind, Paint::Kind::Linear);
    EXPECT_EQ(PaintOf(l).focalPoint, 0);
}

TEST(ScriptPaint, StopsAndInterpolation) {
    using zembra::avm1::DrawFill;
    using zembra::timeline::PaintOf;
    // No more stops than a shape record holds.
    EXPECT_EQ(PaintOf(Gradient(DrawFill::Kind::Linear, 40)).stops.size(), DrawFill::kMaxStops);
    // Ratios that do not increase become one stop per entry, blended in
    // the colour space asked for: plain RGB gives the plain midpoint.
    DrawFill same = Gradient(DrawFill::Kind::Linear, 3);
    same.colors = {0, 0xffffff, 0xffffff};
    same.ratios = {0, 255, 255};
    const Paint rgb = PaintOf(same);
    ASSERT_EQ(rgb.stops.size(), 256u);
    EXPECT_NEAR(rgb.stops[127].color.r, 128, 2);
    same.linearRgb = true;
    EXPECT_GT(PaintOf(same).stops[127].color.r, 170);
}
