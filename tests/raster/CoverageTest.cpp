// Filled paths: covered area, anti-aliased edges, fill rules, clipping and
// input that must not hurt.
#include "raster/uCanvas.h"
#include "uRasterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace zembra::raster {
namespace {

using namespace test;

const ColorTransform kNone;
const Matrix kIdentity;

double FillArea(const std::vector<Segment>& path, FillRule rule = FillRule::NonZero,
                Quality q = Quality::High, const Matrix& m = kIdentity, int w = 64, int h = 64) {
    FrameBuffer fb(w, h);
    Canvas canvas(fb);
    canvas.SetQuality(q);
    canvas.FillPath(path, rule, SolidPaint(255, 0, 0), m, kNone);
    return CoveredArea(fb);
}

// A five-pointed star drawn in one stroke: its centre pentagon is wound
// twice.
std::vector<Segment> Star(double cx, double cy, double r) {
    std::vector<Segment> out;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 5; ++i) {
        const double a0 = -pi / 2 + 4 * pi * i / 5, a1 = -pi / 2 + 4 * pi * (i + 1) / 5;
        out.push_back(Line(cx + r * std::cos(a0), cy + r * std::sin(a0), cx + r * std::cos(a1),
                           cy + r * std::sin(a1)));
    }
    return out;
}

TEST(FillCoverage, RectanglesCoverTheirAreaExactly) {
    // Whole pixels, fractional edges and a transform all give the area.
    EXPECT_NEAR(FillArea(Rect(10, 10, 30, 20)), 200.0, 0.05);
    // Edge pixels are rounded to 1/255 each.
    EXPECT_NEAR(FillArea(Rect(10.25, 10.5, 30.75, 20.1)), 20.5 * 9.6, 0.2);
    Matrix rotated; // 30 degrees, scaled by 2
    rotated.a = 2 * std::cos(0.5236);
    rotated.b = 2 * std::sin(0.5236);
    rotated.c = -rotated.b;
    rotated.d = rotated.a;
    rotated.tx = 32;
    rotated.ty = 16;
    EXPECT_NEAR(FillArea(Rect(0, 0, 10, 5), FillRule::NonZero, Quality::High, rotated), 200.0, 0.1);
}

TEST(FillCoverage, DirectionAndOrderOfSegmentsDoNotMatter) {
    // The same rectangle with its edges shuffled and reversed.
    std::vector<Segment> shuffled = {Line(30, 20, 30, 10), Line(10, 10, 30, 10),
                                     Line(10, 10, 10, 20), Line(30, 20, 10, 20)};
    EXPECT_NEAR(FillArea(shuffled), 200.0, 0.05);
    EXPECT_NEAR(FillArea(shuffled, FillRule::EvenOdd), 200.0, 0.05);
}

TEST(FillCoverage, CircleAreaWithinTolerance) {
    const double pi = 3.14159265358979323846;
    EXPECT_NEAR(FillArea(Circle(32, 32, 20)), pi * 400, pi * 400 * 0.003);
    EXPECT_NEAR(FillArea(Circle(32.3, 31.7, 7.5)), pi * 56.25, pi * 56.25 * 0.005);
    // Twips and a low quality: the same disc, without partial pixels.
    const double twips = FillArea(Circle(640, 640, 400), FillRule::NonZero, Quality::Low, Twips());
    EXPECT_NEAR(twips, pi * 400, pi * 400 * 0.02);
}

TEST(FillCoverage, HalfCoveredPixelsAreHalfTransparent) {
    FrameBuffer fb(8, 8);
    Canvas canvas(fb);
    canvas.FillPath(Rect(2.5, 2, 6, 6), FillRule::NonZero, SolidPaint(255, 255, 255), kIdentity,
                    kNone);
    EXPECT_NEAR(Alpha(At(fb, 2, 3)), 128u, 1u);
    EXPECT_EQ(Alpha(At(fb, 3, 3)), 255u);
    EXPECT_EQ(Alpha(At(fb, 6, 3)), 0u);
    EXPECT_EQ(Alpha(At(fb, 1, 3)), 0u);
    // A diagonal through pixel centres halves the pixels it crosses.
    FrameBuffer tri(8, 8);
    Canvas c2(tri);
    c2.FillPath({Line(0, 0, 8, 8), Line(8, 8, 0, 8), Line(0, 8, 0, 0)}, FillRule::NonZero,
                SolidPaint(255, 255, 255), kIdentity, kNone);
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(Alpha(At(tri, i, i)), 128u, 1u) << i;
    EXPECT_EQ(Alpha(At(tri, 0, 5)), 255u);
    EXPECT_EQ(Alpha(At(tri, 5, 0)), 0u);
}

TEST(FillCoverage, EvenOddLeavesTheStarsCentreEmptyNonZeroFillsIt) {
    const double nonZero = FillArea(Star(32, 32, 30));
    const double evenOdd = FillArea(Star(32, 32, 30), FillRule::EvenOdd);
    // The centre pentagon of a star of radius r has area ~0.3 of the star's.
    EXPECT_GT(nonZero - evenOdd, 0.2 * nonZero);
    FrameBuffer a(64, 64), b(64, 64);
    Canvas ca(a), cb(b);
    ca.FillPath(Star(32, 32, 30), FillRule::EvenOdd, SolidPaint(0, 0, 255), kIdentity, kNone);
    cb.FillPath(Star(32, 32, 30), FillRule::NonZero, SolidPaint(0, 0, 255), kIdentity, kNone);
    EXPECT_EQ(Alpha(At(a, 32, 32)), 0u);
    EXPECT_EQ(Alpha(At(b, 32, 32)), 255u);
    // A point of the star is filled either way.
    EXPECT_EQ(Alpha(At(a, 32, 8)), 255u);
}

TEST(FillCoverage, HolesByRuleAndDirection) {
    std::vector<Segment> ringSame = Rect(10, 10, 50, 50);
    for (const Segment& s : Rect(20, 20, 40, 40))
        ringSame.push_back(s);
    EXPECT_NEAR(FillArea(ringSame, FillRule::EvenOdd), 1600.0 - 400.0, 0.1);
    EXPECT_NEAR(FillArea(ringSame, FillRule::NonZero), 1600.0, 0.1);
    std::vector<Segment> ringOpposite = Rect(10, 10, 50, 50);
    for (const Segment& s : Rect(20, 40, 40, 20))
        ringOpposite.push_back(s);
    EXPECT_NEAR(FillArea(ringOpposite, FillRule::NonZero), 1200.0, 0.1);
}

TEST(FillCoverage, LowQualityHasNoPartialPixels) {
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.SetQuality(Quality::Low);
    canvas.FillPath(Circle(32, 32, 20), FillRule::NonZero, SolidPaint(0, 255, 0), kIdentity, kNone);
    for (uint32_t p : fb.Pixels())
        ASSERT_TRUE(Alpha(p) == 0 || Alpha(p) == 255);
    // Pixel centres decide: x 2.4..6.6 covers centres 2.5 .. 6.5.
    FrameBuffer r(8, 4);
    Canvas cr(r);
    cr.SetQuality(Quality::Low);
    cr.FillPath(Rect(2.4, 0, 6.6, 4), FillRule::NonZero, SolidPaint(0, 255, 0), kIdentity, kNone);
    EXPECT_EQ(Alpha(At(r, 1, 1)), 0u);
    EXPECT_EQ(Alpha(At(r, 2, 1)), 255u);
    EXPECT_EQ(Alpha(At(r, 6, 1)), 255u);
    EXPECT_EQ(Alpha(At(r, 7, 1)), 0u);
}

TEST(FillCoverage, ShapesAreClippedToTheFrame) {
    // Partly outside on every side: only the inside counts.
    EXPECT_NEAR(FillArea(Rect(-10, -10, 74, 74)), 64.0 * 64.0, 0.1);
    EXPECT_NEAR(FillArea(Rect(-100, 10, 20, 20)), 200.0, 0.05);
    EXPECT_NEAR(FillArea(Rect(40, 10, 500, 20)), 240.0, 0.05);
    // A slanted edge starting far left: the clipped part still counts.
    EXPECT_NEAR(FillArea({Line(-64, 0, 64, 64), Line(64, 64, -64, 64), Line(-64, 64, -64, 0)}),
                1024.0, 0.2);
    EXPECT_EQ(FillArea(Rect(70, 70, 90, 90)), 0.0);
    EXPECT_EQ(FillArea(Rect(-90, 10, -70, 20)), 0.0);
}

TEST(FillCoverage, SolidColoursArePremultiplied) {
    FrameBuffer fb(4, 4);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 4, 4), FillRule::NonZero, SolidPaint(200, 100, 50, 128), kIdentity,
                    kNone);
    const uint32_t p = At(fb, 1, 1);
    EXPECT_EQ(Alpha(p), 128u);
    EXPECT_EQ(Red(p), 100u);
    EXPECT_EQ(Green(p), 50u);
    EXPECT_EQ(Blue(p), 25u);
    // Drawn again on top: source over.
    canvas.FillPath(Rect(0, 0, 4, 4), FillRule::NonZero, SolidPaint(0, 0, 255, 255), kIdentity,
                    kNone);
    EXPECT_EQ(At(fb, 1, 1), 0xFFFF0000u);
}

TEST(FillCoverage, HostileInputDrawsNothingAndStaysSafe) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FillArea({Line(0, 0, nan, 10), Line(nan, 10, 0, 10), Line(0, 10, 0, 0)}), 0.0);
    EXPECT_EQ(FillArea(Rect(0, 0, inf, 10)), 0.0);
    Matrix bad;
    bad.a = nan;
    EXPECT_EQ(FillArea(Rect(0, 0, 10, 10), FillRule::NonZero, Quality::High, bad), 0.0);
    // Huge but finite coordinates are clipped, not overflowed.
    EXPECT_NEAR(FillArea(Rect(-1e30, -1e30, 1e30, 1e30)), 64.0 * 64.0, 0.1);
    EXPECT_NEAR(FillArea(Circle(0, 0, 1e30)), 64.0 * 64.0, 1.0);
    // A degenerate matrix squeezes everything onto a line: no area.
    Matrix flat;
    flat.d = 0;
    EXPECT_EQ(FillArea(Circle(32, 32, 20), FillRule::NonZero, Quality::High, flat), 0.0);
    // Open paths and single segments cover a bounded area, never the frame.
    EXPECT_LE(FillArea({Line(10, 10, 20, 30)}), 64.0 * 20);
    EXPECT_EQ(FillArea({}), 0.0);
    // No pixels to draw into.
    EXPECT_EQ(FillArea(Rect(0, 0, 10, 10), FillRule::NonZero, Quality::High, kIdentity, 0, 0), 0.0);
    EXPECT_EQ(FillArea(Rect(0, 0, 10, 10), FillRule::NonZero, Quality::High, kIdentity, -5, 10),
              0.0);
    // A curve with a control point far away is split boundedly.
    EXPECT_GE(FillArea({Curve(0, 0, 1e15, 1e15, 64, 0), Line(64, 0, 0, 0)}), 0.0);
}

TEST(FillCoverage, RandomHostileDrawsKeepPixelsValid) {
    // Garbage of every kind through every kind of draw: nothing may crash
    // (the sanitizer build checks the memory) and pixels stay premultiplied.
    std::mt19937 rng(99);
    const double specials[] = {0,
                               -0.0,
                               1e-300,
                               1e300,
                               -1e30,
                               1e30,
                               16384,
                               -16384,
                               0.5,
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity()};
    auto value = [&]() -> double {
        if (rng() % 8 == 0)
            return specials[rng() % (sizeof specials / sizeof specials[0])];
        return std::uniform_real_distribution<double>(-100, 200)(rng);
    };
    FrameBuffer fb(37, 23);
    Canvas canvas(fb);
    for (int round = 0; round < 300; ++round) {
        std::vector<Segment> path;
        const int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i)
            path.push_back(rng() % 2 ? Curve(value(), value(), value(), value(), value(), value())
                                     : Line(value(), value(), value(), value()));
        Matrix m;
        if (rng() % 3 == 0)
            m = Matrix{value() / 50, value() / 50, value() / 50, value() / 50, value(), value()};
        Paint paint = SolidPaint(static_cast<uint8_t>(rng()), 0, 255, static_cast<uint8_t>(rng()));
        if (rng() % 2) {
            paint.kind = static_cast<Paint::Kind>(rng() % 5);
            paint.stops = {GradientStop{value(), Rgba{255, 0, 0, 200}},
                           GradientStop{value(), Rgba{0, 0, 255, 255}}};
            paint.matrix = Matrix{value(), value(), value(), value(), value(), value()};
            paint.focalPoint = value();
            paint.spread = static_cast<SpreadMode>(rng() % 3);
            auto bmp = std::make_shared<Bitmap>();
            bmp->width = 3;
            bmp->height = 2;
            bmp->pixels.assign(6, 0x80402010u);
            paint.bitmap = bmp;
            paint.smooth = rng() % 2;
        }
        canvas.SetQuality(static_cast<Quality>(rng() % 4));
        switch (rng() % 6) {
        case 0:
            canvas.BeginMask();
            break;
        case 1:
            canvas.EndMask();
            break;
        case 2:
            canvas.PopMask();
            break;
        case 3:
            rng() % 2 ? canvas.PushLayer() : canvas.PopLayer(static_cast<BlendMode>(rng() % 14));
            break;
        default:
            break;
        }
        if (rng() % 2) {
            canvas.FillPath(path, rng() % 2 ? FillRule::EvenOdd : FillRule::NonZero, paint, m,
                            kNone);
        } else {
            StrokeStyle style;
            style.width = value();
            style.miterLimit = value();
            style.join = static_cast<JoinStyle>(rng() % 3);
            style.startCap = static_cast<CapStyle>(rng() % 3);
            style.paint = paint;
            canvas.StrokePath(path, style, m, kNone);
        }
    }
    for (uint32_t p : fb.Pixels()) {
        ASSERT_LE(Red(p), Alpha(p));
        ASSERT_LE(Green(p), Alpha(p));
        ASSERT_LE(Blue(p), Alpha(p));
    }
}

TEST(FrameBufferSize, SizesAreClamped) {
    FrameBuffer fb(-3, 20000);
    EXPECT_EQ(fb.Width(), 0);
    EXPECT_EQ(fb.Height(), 16384);
    EXPECT_TRUE(fb.Pixels().empty());
    fb.Resize(3, 2);
    fb.Clear(Rgba{255, 0, 0, 128});
    EXPECT_EQ(fb.Pixels().size(), 6u);
    EXPECT_EQ(At(fb, 2, 1), 0x80000080u);
}

} // namespace
} // namespace zembra::raster
