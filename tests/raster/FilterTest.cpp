// Box blurs and bitmap filters on small known pictures: spreading,
// conservation, offsets along the angle, the ways a shade is put with the
// object, colour matrices, convolution edges, and filtered layers on the
// canvas.
#include "raster/uBoxBlur.h"
#include "raster/uCanvas.h"
#include "raster/uFilters.h"
#include "raster/uPixel.h"
#include "uRasterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace zembra::raster {
namespace {

using namespace test;

constexpr uint32_t kRed = 0xFF0000FFu;
constexpr double kPi = 3.14159265358979323846;

struct Picture {
    int w, h;
    std::vector<uint32_t> px;
    Picture(int width, int height) : w(width), h(height), px(size_t(width) * height, 0) {}
    uint32_t& At(int x, int y) { return px[size_t(y) * w + x]; }
    uint32_t Alpha(int x, int y) const { return px[size_t(y) * w + x] >> 24; }
    long AlphaSum() const {
        long s = 0;
        for (uint32_t p : px)
            s += p >> 24;
        return s;
    }
};

// An opaque red square [x0, x1) x [y0, y1).
void Square(Picture& p, int x0, int y0, int x1, int y1, uint32_t color = kRed) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            p.At(x, y) = color;
}

Filter Shade(Filter::Kind kind, double blur, double distance = 0, double angle = 0) {
    Filter f;
    f.kind = kind;
    f.blurX = f.blurY = blur;
    f.distance = distance;
    f.angle = angle;
    f.color = Rgba{0, 0, 255, 255};
    return f;
}

TEST(BoxBlur, WidthFromAmountAndZoom) {
    auto is = [](BoxWidth b, int radius, int edge) { return b.radius == radius && b.edge == edge; };
    EXPECT_TRUE(is(BlurBox(0, 1), 0, 0));
    EXPECT_TRUE(is(BlurBox(1, 1), 0, 0));   // 1 leaves the picture alone
    EXPECT_TRUE(is(BlurBox(1, 4), 0, 0));   // at any zoom
    EXPECT_TRUE(is(BlurBox(2, 1), 0, 128)); // two pixels wide: half of each neighbour
    EXPECT_TRUE(is(BlurBox(2, 2), 1, 0));   // three pixels at twice the size
    EXPECT_TRUE(is(BlurBox(5, 1), 2, 0));
    EXPECT_TRUE(is(BlurBox(10, 2), 9, 0));
    EXPECT_EQ(BlurBox(2, 1).Spread(), 1);
    EXPECT_TRUE(is(BlurBox(1e9, 1), kMaxBlurRadius, 0));
    EXPECT_TRUE(is(BlurBox(std::nan(""), 1), 0, 0));
}

TEST(BoxBlur, FractionalWidthTakesAShareOfTheNeighbours) {
    Picture p(9, 1);
    p.At(4, 0) = Pack(0, 0, 0, 255);
    BoxBlur blur;
    blur.BlurPixels(p.px.data(), p.w, p.h, BoxWidth{0, 128}, BoxWidth{}, 1);
    EXPECT_NEAR(double(p.Alpha(3, 0)), 64, 1);
    EXPECT_NEAR(double(p.Alpha(4, 0)), 128, 1);
    EXPECT_NEAR(double(p.Alpha(5, 0)), 64, 1);
    EXPECT_EQ(p.Alpha(2, 0), 0u);
    EXPECT_EQ(p.Alpha(6, 0), 0u);
}

TEST(BoxBlur, PointSpreadsSymmetricallyAndKeepsItsAlpha) {
    Picture p(21, 21);
    // 225 splits evenly over a 3x3 box on both passes' rounding.
    p.At(10, 10) = Pack(225, 225, 225, 225);
    BoxBlur blur;
    blur.BlurPixels(p.px.data(), p.w, p.h, BoxWidth{1, 0}, BoxWidth{1, 0}, 1);
    EXPECT_EQ(p.AlphaSum(), 225);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            EXPECT_EQ(p.At(10 + dx, 10 + dy), Pack(25, 25, 25, 25)) << dx << "," << dy;
    EXPECT_EQ(p.At(8, 10), 0u);
    EXPECT_EQ(p.At(10, 12), 0u);

    // Two passes make a tent: symmetric around the point, highest in it.
    Picture q(21, 21);
    q.At(10, 10) = Pack(0, 0, 0, 255);
    blur.BlurPixels(q.px.data(), q.w, q.h, BoxWidth{2, 0}, BoxWidth{}, 2);
    for (int d = 1; d <= 4; ++d) {
        EXPECT_EQ(q.Alpha(10 - d, 10), q.Alpha(10 + d, 10)) << d;
        EXPECT_LE(q.Alpha(10 + d, 10), q.Alpha(10 + d - 1, 10)) << d;
    }
    EXPECT_GT(q.Alpha(14, 10), 0u);
    EXPECT_EQ(q.Alpha(15, 10), 0u);
    EXPECT_EQ(q.Alpha(10, 9), 0u); // no vertical radius
}

TEST(BoxBlur, StepEdgeRampsAndColourStaysUnderAlpha) {
    Picture p(30, 3);
    Square(p, 10, 0, 30, 3, Pack(200, 10, 0, 255));
    BoxBlur blur;
    blur.BlurPixels(p.px.data(), p.w, p.h, BoxWidth{2, 0}, BoxWidth{}, 1);
    EXPECT_EQ(p.Alpha(7, 1), 0u);
    EXPECT_EQ(p.Alpha(8, 1), 51u);
    EXPECT_EQ(p.Alpha(9, 1), 102u);
    EXPECT_EQ(p.Alpha(10, 1), 153u);
    EXPECT_EQ(p.Alpha(12, 1), 255u);
    for (uint32_t px : p.px)
        for (int c = 0; c < 3; ++c)
            EXPECT_LE((px >> (8 * c)) & 0xFF, px >> 24);
}

TEST(BoxBlur, PlaneAtThePictureEdgeTreatsOutsideAsEmpty) {
    std::vector<uint8_t> plane(5 * 5, 255);
    BoxBlur blur;
    blur.BlurPlane(plane.data(), 5, 5, BoxWidth{1, 0}, BoxWidth{1, 0}, 1);
    EXPECT_EQ(plane[0], 113); // 4 of 9 covered
    EXPECT_EQ(plane[2 * 5 + 2], 255);
    blur.BlurPlane(plane.data(), 0, 0, BoxWidth{1, 0}, BoxWidth{1, 0},
                   1); // nothing to do, no crash
}

TEST(Filters, ColourMatrixIdentityKeepsPixelsAndOffsetsAddColour) {
    Filter f;
    f.kind = Filter::Kind::ColorMatrix;
    f.matrix = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    Picture p(4, 1);
    p.At(0, 0) = Premultiply(Rgba{10, 200, 30, 255});
    p.At(1, 0) = Premultiply(Rgba{250, 100, 0, 128});
    const std::vector<uint32_t> before = p.px;
    FilterRunner run;
    run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
    EXPECT_EQ(p.px, before);

    // Swap red and blue, then add 20 to green: on straight colour.
    f.matrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 20, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
    const Rgba c = Unpremultiply(p.At(0, 0));
    EXPECT_EQ(c.r, 30);
    EXPECT_EQ(c.g, 220);
    EXPECT_EQ(c.b, 10);
    EXPECT_EQ(p.At(3, 0), 0u); // no alpha, no colour
}

TEST(Filters, DropShadowMovesAlongTheAngleAndStaysUnderTheObject) {
    FilterRunner run;
    const struct {
        double angle;
        int dx, dy;
    } cases[] = {{0, 4, 0}, {kPi / 2, 0, 4}, {kPi, -4, 0}, {-kPi / 2, 0, -4}};
    for (const auto& c : cases) {
        Picture p(20, 20);
        Square(p, 8, 8, 12, 12);
        run.Apply({Shade(Filter::Kind::DropShadow, 0, 4, c.angle)}, 1, 1, p.px.data(), p.w, p.h);
        EXPECT_EQ(p.At(9, 9), kRed) << c.angle; // the object stays on top
        // The shadow (blue) is where the square moved and the square is not.
        const int sx = c.dx > 0 ? 13 : c.dx < 0 ? 6 : 9;
        const int sy = c.dy > 0 ? 13 : c.dy < 0 ? 6 : 9;
        EXPECT_EQ(p.At(sx, sy), 0xFFFF0000u) << c.angle;
        EXPECT_EQ(p.At(19 - sx, 19 - sy), 0u) << c.angle;
    }
    // Distances scale with the stage.
    Picture p(30, 10);
    Square(p, 2, 2, 6, 6);
    run.Apply({Shade(Filter::Kind::DropShadow, 0, 4)}, 2, 2, p.px.data(), p.w, p.h);
    EXPECT_EQ(p.At(13, 4), 0xFFFF0000u);
    EXPECT_EQ(p.At(14, 4), 0u);
}

TEST(Filters, GlowKnockoutInnerAndHiddenObject) {
    FilterRunner run;
    auto glowed = [&](bool inner, bool knockout, bool composite) {
        Picture p(20, 20);
        Square(p, 6, 6, 14, 14);
        Filter f = Shade(Filter::Kind::Glow, 5);
        f.inner = inner;
        f.knockout = knockout;
        f.compositeSource = composite;
        run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
        return p;
    };
    Picture outer = glowed(false, false, true);
    EXPECT_EQ(outer.At(10, 10), kRed);
    EXPECT_EQ(outer.At(5, 10), Pack(0, 0, 102, 102)); // 2 of 5 covered, in blue
    EXPECT_EQ(outer.At(4, 10), Pack(0, 0, 51, 51));
    EXPECT_EQ(outer.At(3, 10), 0u);

    Picture knocked = glowed(false, true, true);
    EXPECT_EQ(knocked.At(10, 10), 0u); // the object is cut out
    EXPECT_EQ(knocked.At(5, 10), Pack(0, 0, 102, 102));

    Picture hidden = glowed(false, false, false);
    EXPECT_EQ(hidden.At(10, 10), 0xFFFF0000u); // the glow alone, under the object too
    EXPECT_EQ(hidden.At(5, 10), Pack(0, 0, 102, 102));

    Picture inner = glowed(true, false, true);
    EXPECT_EQ(inner.At(5, 10), 0u);    // nothing outside the object
    EXPECT_EQ(inner.At(10, 10), kRed); // far from the edge: the object
    EXPECT_EQ(inner.At(6, 10) >> 24, 255u);
    EXPECT_GT((inner.At(6, 10) >> 16) & 0xFF, 0u); // at the edge: some of the glow

    Picture innerKnocked = glowed(true, true, true);
    EXPECT_EQ(innerKnocked.At(10, 10), 0u);
    EXPECT_EQ(innerKnocked.At(6, 10), Pack(0, 0, 102, 102)); // 2 of 5 outside
}

TEST(Filters, StrengthAmplifiesAndSaturates) {
    FilterRunner run;
    Picture p(20, 3);
    Square(p, 10, 0, 20, 3);
    Filter f = Shade(Filter::Kind::Glow, 5);
    f.blurY = 0;
    f.strength = 2;
    run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
    EXPECT_EQ(p.At(9, 1), Pack(0, 0, 204, 204)); // 2 * 102
    EXPECT_EQ(p.At(8, 1), Pack(0, 0, 102, 102)); // 2 * 51
    f.strength = 255;
    Square(p, 0, 0, 10, 3, 0);
    run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
    EXPECT_EQ(p.At(8, 1), 0xFFFF0000u);
}

TEST(Filters, BevelLightsTheSideTowardsTheLight) {
    FilterRunner run;
    Picture p(30, 30);
    Square(p, 10, 10, 20, 20, 0xFF808080u);
    Filter f = Shade(Filter::Kind::Bevel, 3, 4, kPi / 4);
    f.highlight = Rgba{255, 255, 255, 255};
    f.color = Rgba{0, 0, 0, 255};
    f.inner = true;
    run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
    EXPECT_EQ(p.At(10, 10), 0xFFFFFFFFu); // top left: lit
    EXPECT_EQ(p.At(19, 19), 0xFF000000u); // bottom right: shaded
    EXPECT_EQ(p.At(15, 15), 0xFF808080u); // the middle as it was
    EXPECT_EQ(p.At(8, 8), 0u);            // inner: nothing outside
}

TEST(Filters, ConvolutionEdgesAndBounds) {
    FilterRunner run;
    Filter f;
    f.kind = Filter::Kind::Convolution;
    f.matrixX = f.matrixY = 3;
    f.matrix.assign(9, 1.0f);
    f.divisor = 9;
    f.preserveAlpha = false;
    Picture p(3, 3);
    Square(p, 0, 0, 3, 3);
    Picture q = p;
    run.Apply({f}, 1, 1, p.px.data(), p.w, p.h);
    EXPECT_EQ(p.At(0, 0), kRed); // clamped edges repeat the edge pixels
    f.clamp = false;
    f.defaultColor = Rgba{0, 0, 0, 0};
    run.Apply({f}, 1, 1, q.px.data(), q.w, q.h);
    EXPECT_EQ(q.At(0, 0) >> 24, 113u); // 4 of 9 inside
    EXPECT_EQ(q.At(1, 1), kRed);

    // A kernel bigger than it says it is does nothing.
    f.matrixX = 200;
    run.Apply({f}, 1, 1, q.px.data(), q.w, q.h);
    EXPECT_EQ(q.At(1, 1), kRed);
}

TEST(Filters, MarginCoversSpreadAndOffset) {
    Filter shadow = Shade(Filter::Kind::DropShadow, 5, 4, 0);
    shadow.passes = 2;
    FilterMargin m = FilterRunner::Margin({shadow}, 1, 1);
    EXPECT_EQ(m.left, 4);
    EXPECT_EQ(m.right, 8);
    EXPECT_EQ(m.top, 4);
    EXPECT_EQ(m.bottom, 4);
    m = FilterRunner::Margin({shadow, Shade(Filter::Kind::Blur, 5)}, 2, 2);
    EXPECT_EQ(m.left, 2 * 4 + 4);
    EXPECT_EQ(m.right, 2 * 4 + 8 + 4);
    // Absurd sizes stay bounded.
    Filter huge = Shade(Filter::Kind::Blur, 1e12);
    huge.passes = 1000;
    m = FilterRunner::Margin(std::vector<Filter>(100, huge), 1e6, 1e6);
    EXPECT_LE(m.left, int(kMaxFilters) * kMaxBlurRadius * kMaxBlurPasses);
}

TEST(Filters, CanvasLayerSpreadsPastWhatWasDrawnAndKeepsMasks) {
    FrameBuffer fb(40, 20);
    Canvas c(fb);
    c.SetQuality(Quality::Low);
    c.PushLayer();
    c.FillPath(Rect(10, 5, 20, 15), FillRule::NonZero, SolidPaint(255, 0, 0), Matrix(),
               ColorTransform());
    c.PopLayer(BlendMode::Normal, {Shade(Filter::Kind::Glow, 5)}, 1, 1);
    EXPECT_EQ(At(fb, 15, 10), kRed);
    EXPECT_EQ(At(fb, 9, 10), Pack(0, 0, 102, 102));
    EXPECT_EQ(At(fb, 7, 10), 0u);

    // Under a mask, the glow is clipped too.
    FrameBuffer fb2(40, 20);
    Canvas c2(fb2);
    c2.SetQuality(Quality::Low);
    c2.BeginMask();
    c2.FillPath(Rect(0, 0, 10, 20), FillRule::NonZero, SolidPaint(0, 0, 0), Matrix(),
                ColorTransform());
    c2.EndMask();
    c2.PushLayer();
    c2.FillPath(Rect(4, 5, 8, 15), FillRule::NonZero, SolidPaint(255, 0, 0), Matrix(),
                ColorTransform());
    c2.PopLayer(BlendMode::Normal, {Shade(Filter::Kind::Glow, 5)}, 1, 1);
    c2.PopMask();
    EXPECT_EQ(At(fb2, 9, 10), Pack(0, 0, 51, 51)); // inside the mask
    EXPECT_EQ(At(fb2, 10, 10), 0u);                // outside it
}

} // namespace
} // namespace zembra::raster
