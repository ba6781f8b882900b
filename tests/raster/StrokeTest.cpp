// Strokes measured by the area they cover: widths and their scaling, caps,
// joins, closed and curved lines, and hostile input.
#include "raster/uCanvas.h"
#include "raster/uStroker.h"
#include "uRasterTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace zembra::raster {
namespace {

using namespace test;

const ColorTransform kNone;
const Matrix kIdentity;
const double kPi = 3.14159265358979323846;

StrokeStyle Style(double width, CapStyle cap = CapStyle::None, JoinStyle join = JoinStyle::Miter) {
    StrokeStyle s;
    s.width = width;
    s.startCap = s.endCap = cap;
    s.join = join;
    s.paint = SolidPaint(0, 0, 0);
    return s;
}

double StrokeArea(const std::vector<Segment>& path, const StrokeStyle& style,
                  const Matrix& m = kIdentity) {
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.StrokePath(path, style, m, kNone);
    return CoveredArea(fb);
}

TEST(StrokeWidth, CapsAddToTheEnds) {
    const std::vector<Segment> line = {Line(10, 32, 50, 32)};
    EXPECT_NEAR(StrokeArea(line, Style(4, CapStyle::None)), 160.0, 0.3);
    EXPECT_NEAR(StrokeArea(line, Style(4, CapStyle::Square)), 176.0, 0.3);
    EXPECT_NEAR(StrokeArea(line, Style(4, CapStyle::Round)), 160.0 + kPi * 4, 0.5);
    // Start and end caps are independent.
    StrokeStyle mixed = Style(4, CapStyle::None);
    mixed.endCap = CapStyle::Square;
    EXPECT_NEAR(StrokeArea(line, mixed), 168.0, 0.3);
}

TEST(StrokeWidth, ScaledByTheSquareRootOfTheAreaScaleWhenUneven) {
    const std::vector<Segment> twips = {Line(200, 640, 1000, 640)};
    EXPECT_NEAR(StrokeArea(twips, Style(80), Twips()), 160.0, 0.3);
    // x twice y: the width grows by the square root of 2.
    Matrix uneven;
    uneven.a = 2;
    const std::vector<Segment> line = {Line(5, 32, 25, 32)};
    EXPECT_NEAR(StrokeArea(line, Style(4), uneven), 40 * 4 * std::sqrt(2.0), 0.5);
    EXPECT_NEAR(Stroker::PixelWidth(Style(4), uneven), 4 * std::sqrt(2.0), 1e-9);
    // Skewed: the area the matrix scales by counts, not the axes' lengths.
    Matrix skew;
    skew.c = 3;
    EXPECT_NEAR(Stroker::PixelWidth(Style(4), skew), 4.0, 1e-9);
    // Scaled vertically only: the vertical scale whole, whatever x does.
    StrokeStyle fixedX = Style(40);
    fixedX.scaleHorizontally = false;
    Matrix big;
    big.a = 3;
    big.d = 0.5;
    EXPECT_NEAR(Stroker::PixelWidth(fixedX, big), 40 * 0.5, 1e-9);
    StrokeStyle fixedY = Style(40);
    fixedY.scaleVertically = false;
    EXPECT_NEAR(Stroker::PixelWidth(fixedY, big), 40 * 3.0, 1e-9);
    fixedX.scaleVertically = false;
    EXPECT_NEAR(Stroker::PixelWidth(fixedX, big), 2.0, 1e-9);
}

TEST(StrokeWidth, HairlinesAndThinLinesAreOnePixel) {
    const std::vector<Segment> line = {Line(10, 32.5, 50, 32.5)};
    EXPECT_NEAR(StrokeArea(line, Style(0)), 40.0, 0.2);
    EXPECT_NEAR(StrokeArea(line, Style(0.01)), 40.0, 0.2);
    // Hairlines ignore the matrix's scale.
    Matrix tiny;
    tiny.a = tiny.d = 0.001;
    EXPECT_NEAR(Stroker::PixelWidth(Style(0), Twips()), 1.0, 1e-12);
    EXPECT_NEAR(Stroker::PixelWidth(Style(20), tiny), 1.0, 1e-12);
    // A one-pixel line on a pixel row covers that row only.
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.StrokePath(line, Style(0), kIdentity, kNone);
    EXPECT_EQ(Alpha(At(fb, 30, 32)), 255u);
    EXPECT_EQ(Alpha(At(fb, 30, 31)), 0u);
    EXPECT_EQ(Alpha(At(fb, 30, 33)), 0u);
}

TEST(StrokeWidth, HintedLinesSitOnWholePixels) {
    // 1.2 pixels wide between rows: hinted, one whole row.
    StrokeStyle hinted = Style(1.2);
    hinted.pixelHinting = true;
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.StrokePath({Line(10.3, 32.2, 50.3, 32.2)}, hinted, kIdentity, kNone);
    EXPECT_NEAR(CoveredArea(fb), 40.0, 0.01);
    EXPECT_EQ(Alpha(At(fb, 30, 32)), 255u);
    // Two pixels wide: on the pixel corners, two whole rows.
    hinted.width = 2.3;
    FrameBuffer two(64, 64);
    Canvas c2(two);
    c2.StrokePath({Line(10.3, 31.8, 50.3, 31.8)}, hinted, kIdentity, kNone);
    EXPECT_NEAR(CoveredArea(two), 80.0, 0.01);
    EXPECT_EQ(Alpha(At(two, 30, 31)), 255u);
    EXPECT_EQ(Alpha(At(two, 30, 32)), 255u);
}

// An L: right along y = 10, then down along x = 40; width 10, no caps.
const std::vector<Segment> kCorner = {Line(10, 10, 40, 10), Line(40, 10, 40, 40)};
// Without any join the two bars cover 575 pixels.
const double kBars = 575;

TEST(StrokeJoin, MiterBevelAndRoundCorners) {
    EXPECT_NEAR(StrokeArea(kCorner, Style(10, CapStyle::None, JoinStyle::Miter)), kBars + 25, 0.5);
    EXPECT_NEAR(StrokeArea(kCorner, Style(10, CapStyle::None, JoinStyle::Bevel)), kBars + 12.5,
                0.5);
    EXPECT_NEAR(StrokeArea(kCorner, Style(10, CapStyle::None, JoinStyle::Round)),
                kBars + kPi * 25 / 4, 0.5);
    // A right angle's miter is sqrt(2) half-widths long: a limit below that
    // bevels.
    StrokeStyle limited = Style(10, CapStyle::None, JoinStyle::Miter);
    limited.miterLimit = 1.3;
    EXPECT_NEAR(StrokeArea(kCorner, limited), kBars + 12.5, 0.5);
}

TEST(StrokeJoin, TurningBackAndSharpZigZagsLeaveNoHoles) {
    // Out and straight back: the same as the longer leg alone.
    const std::vector<Segment> back = {Line(10, 32, 50, 32), Line(50, 32, 20, 32)};
    EXPECT_NEAR(StrokeArea(back, Style(4, CapStyle::Round, JoinStyle::Round)),
                StrokeArea({Line(10, 32, 50, 32)}, Style(4, CapStyle::Round)), 0.5);
    EXPECT_NEAR(StrokeArea(back, Style(4, CapStyle::None, JoinStyle::Bevel)), 160.0, 0.5);
    // Out and back to the start: one capped piece, not a loop. Both sides of
    // a piece drawn back over itself lie on each other, so off the pixel
    // grid its anti-aliased rim comes out up to twice as strong; on the grid
    // (as here) the area is exact.
    const std::vector<Segment> there = {Line(10, 32, 50, 32), Line(50, 32, 10, 32)};
    EXPECT_NEAR(StrokeArea(there, Style(4, CapStyle::Round, JoinStyle::Round)),
                StrokeArea({Line(10, 32, 50, 32)}, Style(4, CapStyle::Round)), 1.5);
    EXPECT_NEAR(StrokeArea(there, Style(4, CapStyle::None, JoinStyle::Round)), 160.0 + 2 * kPi,
                0.5);
    // A tight zig-zag: every pixel on the centre line is covered.
    std::vector<Segment> zig;
    for (int i = 0; i < 10; ++i)
        zig.push_back(Line(10 + 4 * i, i % 2 ? 20 : 40, 14 + 4 * i, i % 2 ? 40 : 20));
    for (JoinStyle j : {JoinStyle::Miter, JoinStyle::Bevel, JoinStyle::Round}) {
        FrameBuffer fb(64, 64);
        Canvas canvas(fb);
        canvas.StrokePath(zig, Style(6, CapStyle::Round, j), kIdentity, kNone);
        for (int i = 0; i < 10; ++i) {
            const int x = 12 + 4 * i; // middle of a leg
            EXPECT_EQ(Alpha(At(fb, x, 30)), 255u) << static_cast<int>(j) << " " << i;
        }
    }
}

TEST(StrokeShape, ClosedLinesAreJoinedAtTheStart) {
    // A square outline: a ring of 44^2 - 36^2 with mitred corners.
    EXPECT_NEAR(StrokeArea(Rect(10, 10, 50, 50), Style(4, CapStyle::Round, JoinStyle::Miter)),
                640.0, 0.5);
    // Rounded corners lose 4 - pi each.
    EXPECT_NEAR(StrokeArea(Rect(10, 10, 50, 50), Style(4, CapStyle::None, JoinStyle::Round)),
                640.0 - 4 * (4 - kPi), 0.5);
    // The hole stays empty.
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.StrokePath(Rect(10, 10, 50, 50), Style(4), kIdentity, kNone);
    EXPECT_EQ(Alpha(At(fb, 30, 30)), 0u);
    EXPECT_EQ(Alpha(At(fb, 10, 30)), 255u);
}

TEST(StrokeShape, CurvesAndSeparateLines) {
    EXPECT_NEAR(StrokeArea(Circle(32, 32, 20), Style(4, CapStyle::None, JoinStyle::Round)),
                kPi * (22 * 22 - 18 * 18), 1.0);
    // Two lines that do not meet are capped separately.
    const std::vector<Segment> two = {Line(10, 20, 30, 20), Line(10, 40, 30, 40)};
    EXPECT_NEAR(StrokeArea(two, Style(4, CapStyle::Square)), 2 * 24 * 4.0, 0.5);
    // A zero-length line shows its caps.
    const std::vector<Segment> dot = {Line(32, 32, 32, 32)};
    EXPECT_NEAR(StrokeArea(dot, Style(10, CapStyle::Round)), kPi * 25, 1.0);
    EXPECT_NEAR(StrokeArea(dot, Style(10, CapStyle::Square)), 100.0, 0.5);
    EXPECT_EQ(StrokeArea(dot, Style(10, CapStyle::None)), 0.0);
}

TEST(StrokeShape, LinesTakeAnyPaint) {
    StrokeStyle s = Style(8);
    s.paint.kind = Paint::Kind::Linear;
    GradientStop a, b;
    a.color = Rgba{255, 0, 0, 255};
    b.ratio = 255;
    b.color = Rgba{0, 0, 255, 255};
    s.paint.stops = {a, b};
    s.paint.matrix.a = 64.0 / 32768;
    s.paint.matrix.tx = 32;
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.StrokePath({Line(0, 32, 64, 32)}, s, kIdentity, kNone);
    EXPECT_GT(Red(At(fb, 4, 32)), 220u);
    EXPECT_GT(Blue(At(fb, 60, 32)), 220u);
}

TEST(StrokeShape, HostileInputStaysBounded) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(StrokeArea({Line(10, 10, nan, 20)}, Style(4)), 0.0);
    EXPECT_EQ(StrokeArea({Line(10, 10, 20, 20)}, Style(nan)),
              StrokeArea({Line(10, 10, 20, 20)}, Style(0)));
    // Enormous widths and coordinates cover at most the frame.
    EXPECT_NEAR(StrokeArea({Line(10, 10, 20, 20)}, Style(1e30, CapStyle::Round)), 64.0 * 64.0, 0.5);
    EXPECT_LE(StrokeArea({Line(-1e30, -1e30, 1e30, 1e30)}, Style(4)), 64.0 * 64.0);
    EXPECT_EQ(StrokeArea({}, Style(4)), 0.0);
    Matrix flat;
    flat.a = flat.b = flat.c = flat.d = 0;
    EXPECT_GE(StrokeArea(Circle(32, 32, 20), Style(4, CapStyle::Round), flat), 0.0);
}

} // namespace
} // namespace zembra::raster
