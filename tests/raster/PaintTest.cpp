// Paints: gradient tables, spreads and shapes of gradients, bitmap sampling
// and colour transforms.
#include "raster/uCanvas.h"
#include "raster/uGradientTable.h"
#include "raster/uPixel.h"
#include "uRasterTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace zembra::raster {
namespace {

using namespace test;

const ColorTransform kNone;
const Matrix kIdentity;

GradientStop Stop(double ratio, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    GradientStop s;
    s.ratio = ratio;
    s.color = Rgba{r, g, b, a};
    return s;
}

TEST(GradientTable, InterpolatesBetweenStopsAndPadsOutside) {
    GradientTable t;
    t.Build({Stop(64, 0, 0, 0), Stop(192, 255, 0, 0)}, Interpolation::Rgb, kNone);
    EXPECT_EQ(t.Colors()[0], 0xFF000000u);
    EXPECT_EQ(t.Colors()[64], 0xFF000000u);
    EXPECT_NEAR(Red(t.Colors()[128]), 128u, 1u);
    EXPECT_EQ(t.Colors()[192], 0xFF0000FFu);
    EXPECT_EQ(t.Colors()[255], 0xFF0000FFu);
    EXPECT_TRUE(t.Opaque());
}

TEST(GradientTable, StopsOutOfOrderAreSortedAndEqualRatiosMakeAHardEdge) {
    GradientTable t;
    // Out of order; two stops at 128: red up to it, blue from it on.
    t.Build({Stop(255, 0, 0, 255), Stop(128, 255, 0, 0), Stop(0, 255, 0, 0), Stop(128, 0, 0, 255)},
            Interpolation::Rgb, kNone);
    EXPECT_EQ(t.Colors()[0], 0xFF0000FFu);
    EXPECT_EQ(t.Colors()[127], 0xFF0000FFu);
    EXPECT_EQ(t.Colors()[128], 0xFFFF0000u);
    EXPECT_EQ(t.Colors()[255], 0xFFFF0000u);
    // Equal ratios keep their given order (stable), whatever the others do.
    GradientTable u;
    u.Build({Stop(100, 0, 255, 0), Stop(100, 0, 0, 255), Stop(0, 0, 255, 0)}, Interpolation::Rgb,
            kNone);
    EXPECT_EQ(u.Colors()[99], 0xFF00FF00u);
    EXPECT_EQ(u.Colors()[100], 0xFFFF0000u);
}

TEST(GradientTable, TransparencyColourTransformAndOddInput) {
    GradientTable t;
    t.Build({Stop(0, 255, 255, 255, 0), Stop(255, 255, 255, 255, 255)}, Interpolation::Rgb, kNone);
    EXPECT_FALSE(t.Opaque());
    const uint32_t mid = t.Colors()[128];
    EXPECT_NEAR(Alpha(mid), 128u, 1u);
    EXPECT_LE(Red(mid), Alpha(mid)); // premultiplied
    // The colour transform acts on each stop.
    ColorTransform halfRed;
    halfRed.rMul = 0.5;
    halfRed.bAdd = 300;
    GradientTable c;
    c.Build({Stop(0, 200, 0, 0)}, Interpolation::Rgb, halfRed);
    EXPECT_EQ(c.Colors()[77], 0xFFFF0064u);
    // No stops: nothing; ratios out of range and NaN are clamped.
    GradientTable e;
    e.Build({}, Interpolation::Rgb, kNone);
    EXPECT_TRUE(e.Transparent());
    GradientTable odd;
    odd.Build({Stop(std::numeric_limits<double>::quiet_NaN(), 255, 0, 0), Stop(1e9, 0, 0, 255)},
              Interpolation::Rgb, kNone);
    EXPECT_EQ(odd.Colors()[0], 0xFF0000FFu);
    EXPECT_EQ(odd.Colors()[255], 0xFFFF0000u);
}

TEST(GradientTable, LinearRgbIsBrighterInTheMiddle) {
    GradientTable rgb, lin;
    rgb.Build({Stop(0, 0, 0, 0), Stop(255, 255, 255, 255)}, Interpolation::Rgb, kNone);
    lin.Build({Stop(0, 0, 0, 0), Stop(255, 255, 255, 255)}, Interpolation::LinearRgb, kNone);
    EXPECT_NEAR(Red(rgb.Colors()[128]), 128u, 1u);
    // Half the light is about 188 in the display encoding.
    EXPECT_NEAR(Red(lin.Colors()[128]), 188u, 2u);
    EXPECT_EQ(Red(lin.Colors()[0]), 0u);
    EXPECT_EQ(Red(lin.Colors()[255]), 255u);
}

TEST(GradientTable, LinearRgbTranslucentStopsAndDarkChannels) {
    // A translucent stop goes into linear light premultiplied, so its
    // colour comes back darker: blue at alpha 140 reads about 184.
    GradientTable t;
    t.Build({Stop(0, 14, 20, 255, 140)}, Interpolation::LinearRgb, kNone);
    const uint32_t c = t.Colors()[100];
    EXPECT_EQ(Alpha(c), 140u);
    EXPECT_NEAR(Blue(c) * 255.0 / Alpha(c), 184, 3);
    // Dark channels lose to the 1/255 steps of linear light (20 -> 13),
    // also when opaque; full and zero channels stay exact.
    GradientTable o;
    o.Build({Stop(0, 255, 20, 0), Stop(255, 255, 20, 0)}, Interpolation::LinearRgb, kNone);
    EXPECT_EQ(Red(o.Colors()[50]), 255u);
    EXPECT_NEAR(Green(o.Colors()[50]), 13u, 1u);
    EXPECT_EQ(Blue(o.Colors()[50]), 0u);
    EXPECT_TRUE(o.Opaque());
    // Fully transparent entries stay clear, with no division by zero.
    GradientTable z;
    z.Build({Stop(0, 255, 255, 255, 0), Stop(255, 255, 255, 255, 0)}, Interpolation::LinearRgb,
            kNone);
    EXPECT_TRUE(z.Transparent());
    EXPECT_EQ(z.Colors()[128], 0u);
}

TEST(GradientTable, CacheRebuildsWhenAnyInputChanges) {
    GradientCache cache;
    std::vector<GradientStop> stops = {Stop(0, 255, 0, 0), Stop(255, 0, 0, 255)};
    EXPECT_EQ(cache.Get(stops, Interpolation::Rgb, kNone).Colors()[0], 0xFF0000FFu);
    stops[0].color.g = 255; // same stops otherwise: must not reuse the old table
    EXPECT_EQ(cache.Get(stops, Interpolation::Rgb, kNone).Colors()[0], 0xFF00FFFFu);
    ColorTransform noRed;
    noRed.rMul = 0;
    EXPECT_EQ(cache.Get(stops, Interpolation::Rgb, noRed).Colors()[0], 0xFF00FF00u);
    const uint32_t rgbMid = cache.Get(stops, Interpolation::Rgb, kNone).Colors()[128];
    EXPECT_NE(cache.Get(stops, Interpolation::LinearRgb, kNone).Colors()[128], rgbMid);
    // Many different gradients in turn: each still gets its own colours.
    for (int i = 0; i < 300; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        EXPECT_EQ(cache.Get({Stop(0, v, 0, 0)}, Interpolation::Rgb, kNone).Colors()[7],
                  0xFF000000u | v);
    }
}

// A linear gradient black to red across the 64 pixels of a 64x4 frame.
FrameBuffer LinearStrip(SpreadMode spread, double squareToPixels) {
    Paint p;
    p.kind = Paint::Kind::Linear;
    p.stops = {Stop(0, 0, 0, 0), Stop(255, 255, 0, 0)};
    p.spread = spread;
    p.matrix.a = p.matrix.d = squareToPixels;
    p.matrix.tx = 32;
    FrameBuffer fb(64, 4);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 64, 4), FillRule::NonZero, p, kIdentity, kNone);
    return fb;
}

TEST(GradientFill, LinearRunsAlongXOfTheSquare) {
    const FrameBuffer fb = LinearStrip(SpreadMode::Pad, 64.0 / 32768);
    EXPECT_LE(Red(At(fb, 0, 1)), 4u);
    EXPECT_NEAR(Red(At(fb, 32, 1)), 128u, 4u);
    EXPECT_GE(Red(At(fb, 63, 1)), 251u);
    for (int x = 1; x < 64; ++x)
        EXPECT_GE(Red(At(fb, x, 2)), Red(At(fb, x - 1, 2)));
}

TEST(GradientFill, RotatedLinearRunsDownTheRows) {
    // Gradient x along pixel y: every row one colour, darkest at the top.
    Paint p;
    p.kind = Paint::Kind::Linear;
    p.stops = {Stop(0, 0, 0, 0), Stop(255, 255, 0, 0)};
    p.matrix = Matrix{0, 64.0 / 32768, -64.0 / 32768, 0, 32, 32};
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 64, 64), FillRule::NonZero, p, kIdentity, kNone);
    for (int y = 0; y < 64; y += 9) {
        EXPECT_EQ(At(fb, 0, y), At(fb, 63, y)) << y;
        EXPECT_NEAR(Red(At(fb, 5, y)), (y + 0.5) / 64 * 255, 3.0) << y;
    }
}

TEST(GradientFill, SpreadModesBeyondTheSquare) {
    // The square spans 16 pixels around x = 32: 24..40.
    const double k = 16.0 / 32768;
    const FrameBuffer pad = LinearStrip(SpreadMode::Pad, k);
    EXPECT_EQ(Red(At(pad, 2, 0)), 0u);
    EXPECT_EQ(Red(At(pad, 60, 0)), 255u);
    const FrameBuffer repeat = LinearStrip(SpreadMode::Repeat, k);
    // Pixel 44 is 0.28 into the next repetition, pixel 20 0.22 before the
    // start (so 0.78 into the one before).
    EXPECT_NEAR(Red(At(repeat, 28, 0)), 72u, 3u);
    EXPECT_NEAR(Red(At(repeat, 44, 0)), 72u, 3u);
    EXPECT_NEAR(Red(At(repeat, 20, 0)), 199u, 3u);
    const FrameBuffer reflect = LinearStrip(SpreadMode::Reflect, k);
    // Mirrored at both ends.
    EXPECT_NEAR(Red(At(reflect, 44, 0)), 183u, 3u);
    EXPECT_NEAR(Red(At(reflect, 20, 0)), 56u, 3u);
}

TEST(GradientFill, RadialAndFocal) {
    Paint p;
    p.kind = Paint::Kind::Radial;
    p.stops = {Stop(0, 255, 255, 255), Stop(255, 0, 0, 0)};
    p.matrix.a = p.matrix.d = 20.0 / 16384; // radius 20 pixels
    p.matrix.tx = p.matrix.ty = 32;
    FrameBuffer fb(64, 64);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 64, 64), FillRule::NonZero, p, kIdentity, kNone);
    EXPECT_GE(Red(At(fb, 32, 32)), 245u);
    EXPECT_NEAR(Red(At(fb, 42, 32)), Red(At(fb, 32, 42)), 2u);
    EXPECT_NEAR(Red(At(fb, 42, 32)), 128u, 8u);
    EXPECT_EQ(Red(At(fb, 60, 60)), 0u);
    // The focal point moves the bright centre towards +x.
    p.kind = Paint::Kind::Focal;
    p.focalPoint = 0.75;
    FrameBuffer ff(64, 64);
    Canvas cf(ff);
    cf.FillPath(Rect(0, 0, 64, 64), FillRule::NonZero, p, kIdentity, kNone);
    // Pixel 47 is 0.1 of the way from the focus (x = 47) to the circle.
    EXPECT_NEAR(Red(At(ff, 47, 32)), 230u, 4u);
    EXPECT_LT(Red(At(ff, 32, 32)), Red(At(ff, 40, 32)));
    // Still black at and past the circle.
    EXPECT_LE(Red(At(ff, 12, 32)), 8u);
    EXPECT_LE(Red(At(ff, 53, 32)), 8u);
}

TEST(GradientFill, PaddedRadialEdgeFallsOneEntryOut) {
    // Radius 255 pixels about the origin: a pixel's corner lies its x
    // entries out. The hard edge at entry 100 shows from pixel 101 on, as
    // the player draws one-entry bands of equal-ratio stops.
    Paint p;
    p.kind = Paint::Kind::Radial;
    p.stops = {Stop(100, 0, 0, 0), Stop(100, 255, 0, 0)};
    p.matrix.a = p.matrix.d = 255.0 / 16384;
    FrameBuffer fb(128, 1);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 128, 1), FillRule::NonZero, p, kIdentity, kNone);
    EXPECT_EQ(Red(At(fb, 0, 0)), 0u);
    EXPECT_EQ(Red(At(fb, 100, 0)), 0u);
    EXPECT_EQ(Red(At(fb, 101, 0)), 255u);
    EXPECT_EQ(Red(At(fb, 127, 0)), 255u);
}

TEST(GradientFill, DegenerateMatrixFillsWithTheLastColour) {
    Paint p;
    p.kind = Paint::Kind::Linear;
    p.stops = {Stop(0, 255, 0, 0), Stop(255, 0, 0, 255)};
    p.matrix.a = 0;
    FrameBuffer fb(8, 8);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 8, 8), FillRule::NonZero, p, kIdentity, kNone);
    EXPECT_EQ(At(fb, 4, 4), 0xFFFF0000u);
}

std::shared_ptr<Bitmap> Checker2x2() {
    auto b = std::make_shared<Bitmap>();
    b->width = b->height = 2;
    b->pixels = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
    return b;
}

FrameBuffer BitmapFill(bool smooth, bool repeat, double scale, const ColorTransform& ct = kNone) {
    Paint p;
    p.kind = Paint::Kind::Bitmap;
    p.bitmap = Checker2x2();
    p.smooth = smooth;
    p.repeat = repeat;
    p.matrix.a = p.matrix.d = scale;
    FrameBuffer fb(16, 16);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 16, 16), FillRule::NonZero, p, kIdentity, ct);
    return fb;
}

TEST(BitmapFill, NearestRepeatAndClamp) {
    const FrameBuffer near = BitmapFill(false, true, 4);
    EXPECT_EQ(At(near, 1, 1), 0xFF0000FFu);
    EXPECT_EQ(At(near, 5, 1), 0xFF00FF00u);
    EXPECT_EQ(At(near, 1, 5), 0xFFFF0000u);
    EXPECT_EQ(At(near, 5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(At(near, 9, 9), 0xFF0000FFu); // repeated
    const FrameBuffer clamp = BitmapFill(false, false, 4);
    EXPECT_EQ(At(clamp, 14, 14), 0xFFFFFFFFu); // edge pixels stretched
    EXPECT_EQ(At(clamp, 14, 1), 0xFF00FF00u);
}

TEST(BitmapFill, SmoothBlendsNeighbours) {
    const FrameBuffer smooth = BitmapFill(true, false, 8);
    // Texel centres sit at 4 and 12; halfway between red and green at x=8.
    EXPECT_EQ(At(smooth, 2, 2), 0xFF0000FFu);
    const uint32_t mid = At(smooth, 7, 2);
    EXPECT_NEAR(Red(mid), 143u, 20u);
    EXPECT_NEAR(Green(mid), 112u, 20u);
    EXPECT_EQ(Alpha(mid), 255u);
}

TEST(BitmapFill, ColourTransformAppliesToEverySampleAndBadBitmapsDrawNothing) {
    ColorTransform ct;
    ct.gMul = 0;
    ct.gAdd = 64;
    ct.aMul = 0.5;
    const FrameBuffer fb = BitmapFill(false, true, 4, ct);
    const uint32_t p = At(fb, 5, 5); // white, then green 64, alpha 128
    EXPECT_EQ(Alpha(p), 128u);
    EXPECT_EQ(Red(p), 128u);
    EXPECT_EQ(Green(p), 32u);
    // Too few pixels for the size, or a degenerate matrix: nothing drawn.
    Paint p2;
    p2.kind = Paint::Kind::Bitmap;
    auto broken = std::make_shared<Bitmap>();
    broken->width = broken->height = 100;
    broken->pixels.resize(10);
    p2.bitmap = broken;
    FrameBuffer out(8, 8);
    Canvas canvas(out);
    canvas.FillPath(Rect(0, 0, 8, 8), FillRule::NonZero, p2, kIdentity, kNone);
    auto wraps = std::make_shared<Bitmap>(); // 65536 * 65537 wraps to 65536 in 32 bits
    wraps->width = 65536;
    wraps->height = 65537;
    wraps->pixels.resize(65536);
    p2.bitmap = wraps;
    canvas.FillPath(Rect(0, 0, 8, 8), FillRule::NonZero, p2, kIdentity, kNone);
    p2.bitmap = Checker2x2();
    p2.matrix.a = 0;
    canvas.FillPath(Rect(0, 0, 8, 8), FillRule::NonZero, p2, kIdentity, kNone);
    p2.bitmap = nullptr;
    canvas.FillPath(Rect(0, 0, 8, 8), FillRule::NonZero, p2, kIdentity, kNone);
    EXPECT_EQ(CoveredArea(out), 0.0);
    // Huge scales keep the sampling in range.
    const FrameBuffer huge = BitmapFill(true, true, 1e-12);
    const FrameBuffer tiny = BitmapFill(true, true, 1e12);
    EXPECT_EQ(Alpha(At(huge, 3, 3)), 255u);
    EXPECT_EQ(Alpha(At(tiny, 3, 3)), 255u);
}

TEST(ColorTransform, MultiplyThenAddClamped) {
    ColorTransform ct;
    ct.rMul = 2;
    ct.gMul = -1;
    ct.bAdd = -300;
    ct.aMul = 0.5;
    ct.aAdd = 10;
    const Rgba out = ct.Apply(Rgba{200, 100, 50, 100});
    EXPECT_EQ(out.r, 255);
    EXPECT_EQ(out.g, 0);
    EXPECT_EQ(out.b, 0);
    EXPECT_EQ(out.a, 60);
    ColorTransform nan;
    nan.rMul = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(nan.Apply(Rgba{200, 1, 1, 1}).r, 0);
    // Concat applies the inner transform first.
    ColorTransform inner, outer;
    inner.rMul = 0.5;
    inner.rAdd = 10;
    outer.rMul = 2;
    outer.rAdd = 1;
    EXPECT_EQ(outer.Concat(inner).Apply(Rgba{100, 0, 0, 255}).r, 121);
}

TEST(ColorTransform, SolidFillsGoThroughIt) {
    ColorTransform ct;
    ct.rMul = 0;
    ct.rAdd = 255;
    ct.aMul = 0.5;
    FrameBuffer fb(4, 4);
    Canvas canvas(fb);
    canvas.FillPath(Rect(0, 0, 4, 4), FillRule::NonZero, SolidPaint(0, 0, 0), kIdentity, ct);
    EXPECT_EQ(At(fb, 2, 2), 0x80000080u);
}

TEST(PixelMath, PremultiplyRoundTrip) {
    for (int a = 1; a < 256; a += 17)
        for (int c = 0; c < 256; c += 15) {
            const Rgba in{static_cast<uint8_t>(c), 0, 0, static_cast<uint8_t>(a)};
            const Rgba out = Unpremultiply(Premultiply(in));
            EXPECT_NEAR(out.r, c, 255.0 / a + 1) << a << " " << c;
        }
    EXPECT_EQ(Over(0xFF0000FFu, 0xFFFFFFFFu), 0xFF0000FFu);
    EXPECT_EQ(Over(0x80000080u, 0xFFFF0000u), 0xFF7F0080u);
}

} // namespace
} // namespace zembra::raster
