// Masks (nested, anti-aliased, unions) and blend layers on known colours.
#include "raster/uBlendModes.h"
#include "raster/uCanvas.h"
#include "raster/uCompositeRow.h"
#include "raster/uPixel.h"
#include "uRasterTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace zembra::raster {
namespace {

using namespace test;

const ColorTransform kNone;
const Matrix kIdentity;

void Fill(Canvas& c, const std::vector<Segment>& path, uint8_t r, uint8_t g, uint8_t b,
          uint8_t a = 255) {
    c.FillPath(path, FillRule::NonZero, SolidPaint(r, g, b, a), kIdentity, kNone);
}

TEST(Mask, DrawsOnlyInsideTheMaskAndOnlyUntilPopped) {
    FrameBuffer fb(32, 32);
    Canvas c(fb);
    c.BeginMask();
    Fill(c, Rect(0, 0, 16, 32), 1, 2, 3);
    c.EndMask();
    EXPECT_EQ(CoveredArea(fb), 0.0); // the mask itself is not drawn
    Fill(c, Rect(0, 0, 32, 32), 255, 0, 0);
    EXPECT_EQ(At(fb, 4, 4), 0xFF0000FFu);
    EXPECT_EQ(At(fb, 20, 4), 0u);
    c.PopMask();
    Fill(c, Rect(24, 0, 32, 32), 0, 255, 0);
    EXPECT_EQ(At(fb, 28, 4), 0xFF00FF00u);
}

TEST(Mask, NestedMasksIntersect) {
    FrameBuffer fb(32, 32);
    Canvas c(fb);
    c.BeginMask();
    Fill(c, Rect(0, 0, 16, 32), 0, 0, 0); // left half
    c.EndMask();
    c.BeginMask();
    Fill(c, Rect(0, 0, 32, 16), 0, 0, 0); // top half
    c.EndMask();
    Fill(c, Rect(0, 0, 32, 32), 255, 0, 0);
    EXPECT_NEAR(CoveredArea(fb), 256.0, 0.01);
    EXPECT_EQ(At(fb, 4, 4), 0xFF0000FFu);
    EXPECT_EQ(At(fb, 20, 4), 0u);
    EXPECT_EQ(At(fb, 4, 20), 0u);
    c.PopMask();
    // Back to the left half alone.
    Fill(c, Rect(0, 0, 32, 32), 0, 0, 255);
    EXPECT_EQ(At(fb, 4, 20), 0xFFFF0000u);
    EXPECT_EQ(At(fb, 20, 20), 0u);
}

TEST(Mask, MaskedShapesInsideAMaskDefinitionBuildTheMask) {
    FrameBuffer fb(32, 32);
    Canvas c(fb);
    c.BeginMask(); // the outer mask's shape is itself masked...
    c.BeginMask();
    Fill(c, Rect(0, 0, 16, 32), 0, 0, 0); // ...to the left half
    c.EndMask();
    Fill(c, Rect(0, 0, 32, 16), 0, 0, 0); // top half, clipped: top-left
    c.PopMask();
    c.EndMask();
    EXPECT_EQ(CoveredArea(fb), 0.0); // nothing of either shows
    Fill(c, Rect(0, 0, 32, 32), 255, 0, 0);
    c.PopMask();
    EXPECT_NEAR(CoveredArea(fb), 256.0, 0.01);
    EXPECT_EQ(At(fb, 4, 4), 0xFF0000FFu);
}

TEST(Mask, CoverageIsTheUnionOfTheShapesNotTheirColours) {
    FrameBuffer fb(32, 32);
    Canvas c(fb);
    c.BeginMask();
    // Overlapping, one half transparent: the union of both, fully.
    Fill(c, Rect(0, 0, 16, 16), 0, 0, 0, 128);
    Fill(c, Rect(8, 8, 24, 24), 0, 0, 0);
    c.EndMask();
    Fill(c, Rect(0, 0, 32, 32), 255, 255, 255);
    EXPECT_NEAR(CoveredArea(fb), 256.0 + 256.0 - 64.0, 0.01);
    EXPECT_EQ(Alpha(At(fb, 2, 2)), 255u);
    c.PopMask();
}

TEST(Mask, EdgesOfMaskAndShapeMultiply) {
    FrameBuffer fb(8, 8);
    Canvas c(fb);
    c.BeginMask();
    Fill(c, Rect(0, 0, 4.5, 8), 0, 0, 0);
    c.EndMask();
    Fill(c, Rect(0, 0, 8, 4.5), 255, 255, 255);
    c.PopMask();
    EXPECT_EQ(Alpha(At(fb, 1, 1)), 255u);
    EXPECT_NEAR(Alpha(At(fb, 4, 1)), 128u, 1u);
    EXPECT_NEAR(Alpha(At(fb, 1, 4)), 128u, 1u);
    EXPECT_NEAR(Alpha(At(fb, 4, 4)), 64u, 1u);
}

TEST(Mask, EmptyMasksHideEverythingAndStrayCallsAreHarmless) {
    FrameBuffer fb(16, 16);
    Canvas c(fb);
    c.PopMask();
    c.EndMask();
    c.PopLayer(BlendMode::Multiply);
    c.BeginMask();
    c.EndMask();
    Fill(c, Rect(0, 0, 16, 16), 255, 0, 0);
    c.StrokePath(Rect(2, 2, 14, 14), StrokeStyle{}, kIdentity, kNone);
    EXPECT_EQ(CoveredArea(fb), 0.0);
    c.PopMask();
    c.PopMask();
    Fill(c, Rect(0, 0, 16, 16), 255, 0, 0);
    EXPECT_NEAR(CoveredArea(fb), 256.0, 0.01);
    // An ignored mask (too deep) shows none of its shapes.
    for (int i = 0; i < 70; ++i)
        c.BeginMask();
    Fill(c, Rect(0, 0, 16, 16), 0, 0, 255);
    for (int i = 0; i < 70; ++i) {
        c.EndMask();
        c.PopMask();
    }
    EXPECT_EQ(At(fb, 2, 2), 0xFF0000FFu);
    // Deep nesting is bounded and still balanced.
    for (int i = 0; i < 100; ++i) {
        c.PushLayer();
        c.BeginMask();
        Fill(c, Rect(0, 0, 16, 16), 0, 0, 0);
        c.EndMask();
    }
    for (int i = 0; i < 100; ++i) {
        c.PopMask();
        c.PopLayer(BlendMode::Normal);
    }
    Fill(c, Rect(0, 0, 8, 16), 0, 255, 0);
    EXPECT_EQ(At(fb, 2, 2), 0xFF00FF00u);
}

// A layer of `src` over a backdrop of `dst`, composited with `mode`.
uint32_t Blend(BlendMode mode, Rgba src, Rgba dst) {
    FrameBuffer fb(4, 4);
    Canvas c(fb);
    Fill(c, Rect(0, 0, 4, 4), dst.r, dst.g, dst.b, dst.a);
    c.PushLayer();
    Fill(c, Rect(0, 0, 4, 4), src.r, src.g, src.b, src.a);
    c.PopLayer(mode);
    return At(fb, 1, 1);
}

void ExpectRgb(uint32_t p, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
    EXPECT_NEAR(Red(p), r, 1u);
    EXPECT_NEAR(Green(p), g, 1u);
    EXPECT_NEAR(Blue(p), b, 1u);
    EXPECT_NEAR(Alpha(p), a, 1u);
}

TEST(BlendLayer, SeparableModesOnOpaqueColours) {
    const Rgba s{200, 100, 50, 255}, d{100, 200, 250, 255};
    ExpectRgb(Blend(BlendMode::Normal, s, d), 200, 100, 50);
    ExpectRgb(Blend(BlendMode::Layer, s, d), 200, 100, 50);
    ExpectRgb(Blend(BlendMode::Multiply, s, d), 78, 78, 49);
    ExpectRgb(Blend(BlendMode::Screen, s, d), 222, 222, 251);
    ExpectRgb(Blend(BlendMode::Lighten, s, d), 200, 200, 250);
    ExpectRgb(Blend(BlendMode::Darken, s, d), 100, 100, 50);
    ExpectRgb(Blend(BlendMode::Difference, s, d), 100, 100, 200);
    ExpectRgb(Blend(BlendMode::Add, s, d), 255, 255, 255);
    ExpectRgb(Blend(BlendMode::Subtract, s, d), 0, 100, 200);
    ExpectRgb(Blend(BlendMode::Invert, s, d), 155, 55, 5);
    // Overlay looks at the backdrop, hard light at the layer.
    ExpectRgb(Blend(BlendMode::Overlay, s, d), 157, 188, 247);
    ExpectRgb(Blend(BlendMode::HardLight, s, d), 188, 157, 98);
}

TEST(BlendLayer, AlphaAndEraseUseTheLayersAlpha) {
    const Rgba d{200, 100, 50, 255};
    ExpectRgb(Blend(BlendMode::Alpha, Rgba{0, 0, 0, 128}, d), 100, 50, 25, 128);
    ExpectRgb(Blend(BlendMode::Erase, Rgba{0, 0, 0, 128}, d), 100, 50, 25, 127);
    ExpectRgb(Blend(BlendMode::Erase, Rgba{0, 0, 0, 255}, d), 0, 0, 0, 0);
}

TEST(BlendLayer, TranslucentLayersStayPremultiplied) {
    // Half-transparent layers keep colour <= alpha in every mode.
    for (int m = 0; m <= static_cast<int>(BlendMode::HardLight); ++m) {
        const uint32_t p =
            Blend(static_cast<BlendMode>(m), Rgba{250, 10, 130, 100}, Rgba{30, 240, 128, 160});
        EXPECT_LE(Red(p), Alpha(p)) << m;
        EXPECT_LE(Green(p), Alpha(p)) << m;
        EXPECT_LE(Blue(p), Alpha(p)) << m;
    }
    // Normal with half alpha: source over.
    ExpectRgb(Blend(BlendMode::Normal, Rgba{255, 0, 0, 128}, Rgba{0, 0, 255, 255}), 128, 0, 127);
    // Transparent layer pixels leave the backdrop as it was.
    EXPECT_EQ(BlendPixel(BlendMode::Multiply, 0u, 0xFF336699u), 0xFF336699u);
    EXPECT_EQ(BlendPixel(BlendMode::Difference, 0u, 0xFF336699u), 0xFF336699u);
}

TEST(BlendLayer, LayersNestAndOnlyTheirContentIsBlended) {
    FrameBuffer fb(16, 16);
    Canvas c(fb);
    Fill(c, Rect(0, 0, 16, 16), 255, 255, 255);
    c.PushLayer();
    Fill(c, Rect(0, 0, 8, 16), 255, 0, 0);
    c.PushLayer();
    Fill(c, Rect(0, 0, 16, 8), 0, 0, 255);
    c.PopLayer(BlendMode::Multiply); // blue times red: black top-left
    c.PopLayer(BlendMode::Multiply);
    EXPECT_EQ(At(fb, 2, 2), 0xFF000000u);
    EXPECT_EQ(At(fb, 2, 12), 0xFF0000FFu);
    EXPECT_EQ(At(fb, 12, 2), 0xFFFF0000u);
    EXPECT_EQ(At(fb, 12, 12), 0xFFFFFFFFu);
    // A layer left open when the canvas goes is drawn as a normal one.
    {
        Canvas d(fb);
        d.PushLayer();
        Fill(d, Rect(12, 12, 16, 16), 0, 255, 0);
    }
    EXPECT_EQ(At(fb, 13, 13), 0xFF00FF00u);
}

TEST(BlendLayer, FrameResizedUnderOpenLayersAndMasks) {
    FrameBuffer fb(16, 16);
    Canvas c(fb);
    c.PushLayer();
    c.BeginMask();
    Fill(c, Rect(0, 0, 16, 16), 0, 0, 0);
    c.EndMask();
    Fill(c, Rect(0, 0, 16, 16), 255, 0, 0);
    fb.Resize(40, 8); // wider and lower than the open layer
    Fill(c, Rect(0, 0, 40, 40), 0, 255, 0);
    c.PopMask();
    c.PopLayer(BlendMode::Normal);
    EXPECT_EQ(At(fb, 3, 3), 0xFF00FF00u);
    EXPECT_EQ(At(fb, 30, 3), 0u); // beyond the layer: nothing
    fb.Resize(4, 4);
    c.PushLayer();
    Fill(c, Rect(0, 0, 40, 40), 0, 0, 255);
    c.PopLayer(BlendMode::Screen);
    EXPECT_EQ(At(fb, 3, 3), 0xFFFF0000u);
}

TEST(BlendLayer, MasksClipDrawsInsideLayers) {
    FrameBuffer fb(16, 16);
    Canvas c(fb);
    c.BeginMask();
    Fill(c, Rect(0, 0, 8, 16), 0, 0, 0);
    c.EndMask();
    c.PushLayer();
    Fill(c, Rect(0, 0, 16, 16), 255, 0, 0);
    c.PopLayer(BlendMode::Normal);
    c.PopMask();
    EXPECT_NEAR(CoveredArea(fb), 128.0, 0.01);
}

uint32_t RandomPremultiplied(std::mt19937& rng) {
    // Often opaque or clear, as real pictures are.
    const uint32_t pick = rng() % 4;
    const uint32_t a = pick == 0 ? 255 : (pick == 1 ? 0 : rng() & 0xFF);
    return Pack(rng() % (a + 1), rng() % (a + 1), rng() % (a + 1), a);
}

TEST(CompositeRow, RowsMatchThePixelByPixelDefinition) {
    std::mt19937 rng(7);
    for (int len = 0; len < 23; ++len) {
        std::vector<uint32_t> src(len), dst(len), color(len);
        std::vector<uint8_t> cover(len);
        for (int i = 0; i < len; ++i) {
            src[i] = RandomPremultiplied(rng);
            dst[i] = RandomPremultiplied(rng);
            cover[i] = static_cast<uint8_t>(rng() % 3 == 0 ? 255 : rng() & 0xFF);
        }
        const uint32_t solid = RandomPremultiplied(rng);
        const uint8_t constant = static_cast<uint8_t>(rng() & 0xFF);
        auto expect = [&](const std::vector<uint32_t>& got, auto source, auto coverAt) {
            for (int i = 0; i < len; ++i)
                ASSERT_EQ(got[i], Over(ScalePixel(source(i), coverAt(i)), dst[i]))
                    << len << " " << i;
        };
        std::vector<uint32_t> out = dst;
        OverRow(out.data(), src.data(), cover.data(), 0, len);
        expect(
            out, [&](int i) { return src[i]; }, [&](int i) { return cover[i]; });
        out = dst;
        OverRow(out.data(), src.data(), nullptr, constant, len);
        expect(
            out, [&](int i) { return src[i]; }, [&](int) { return constant; });
        out = dst;
        OverSolidRow(out.data(), solid, cover.data(), 0, len);
        expect(
            out, [&](int) { return solid; }, [&](int i) { return cover[i]; });
        out = dst;
        OverSolidRow(out.data(), solid, nullptr, constant, len);
        expect(
            out, [&](int) { return solid; }, [&](int) { return constant; });
    }
}

} // namespace
} // namespace zembra::raster
