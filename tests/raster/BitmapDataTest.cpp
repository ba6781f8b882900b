// Script pictures: the size rule, premultiplied storage, copies clipped at
// every edge, threshold, hit tests and the comparison picture.
#include <gtest/gtest.h>

#include "raster/uBitmapData.h"

using zembra::raster::BitmapData;
using zembra::raster::PixelRect;

TEST(BitmapData, SizeRuleDependsOnVersion) {
    EXPECT_TRUE(BitmapData::SizeAllowed(2880, 2880, 8));
    EXPECT_FALSE(BitmapData::SizeAllowed(2881, 1, 9));
    EXPECT_TRUE(BitmapData::SizeAllowed(8191, 1, 10));
    EXPECT_FALSE(BitmapData::SizeAllowed(8192, 1, 10));
    EXPECT_TRUE(BitmapData::SizeAllowed(4095, 4096, 10));
    EXPECT_FALSE(BitmapData::SizeAllowed(4096, 4096, 10));
    EXPECT_FALSE(BitmapData::SizeAllowed(0, 5, 10));
    EXPECT_FALSE(BitmapData::SizeAllowed(0.0 / 0.0, 5, 10));
}

TEST(BitmapData, PixelsKeepAlphaRulesAndStayInside) {
    BitmapData t(4, 4, true, 0);
    t.SetPixel32(0, 0, 0x80FFFFFF);
    EXPECT_EQ(t.GetPixel32(0, 0), 0x80FFFFFFu);
    t.SetPixel(0, 0, 0xBBBBBB); // keeps alpha; survives premultiplying
    EXPECT_EQ(t.GetPixel32(0, 0), 0x80BBBBBBu);
    t.SetPixel32(1, 0, 0x00FFFFFF);
    EXPECT_EQ(t.GetPixel32(1, 0), 0u);

    BitmapData o(4, 4, false, 0xFF000000);
    o.SetPixel32(0, 0, 0x00123456);
    EXPECT_EQ(o.GetPixel32(0, 0), 0xFF123456u);

    // Outside: reads give 0, writes do nothing.
    t.SetPixel32(-1, 0, 0xFFFFFFFF);
    t.SetPixel32(4, 4, 0xFFFFFFFF);
    EXPECT_EQ(t.GetPixel32(-1, 0), 0u);
    EXPECT_EQ(t.GetPixel32(0, 4), 0u);
    t.FillRect(PixelRect{-100, -100, 1000000000, 102}, 0xFF00FF00);
    EXPECT_EQ(t.GetPixel32(3, 1), 0xFF00FF00u);
    EXPECT_EQ(t.GetPixel32(3, 2), 0u);
}

TEST(BitmapData, CopyPixelsClipsBothPicturesAndOverlapsItself) {
    BitmapData src(3, 3, true, 0xFFFF0000);
    BitmapData dst(4, 4, true, 0);
    // Source rectangle past its picture, destination partly off the left.
    dst.CopyPixels(src, PixelRect{-1, -1, 10, 10}, -2, 1, nullptr, 0, 0, false);
    // The source's pixels 0..2 land at x -1..1, y 2..4.
    EXPECT_EQ(dst.GetPixel32(0, 2), 0xFFFF0000u);
    EXPECT_EQ(dst.GetPixel32(1, 3), 0xFFFF0000u);
    EXPECT_EQ(dst.GetPixel32(2, 2), 0u);
    EXPECT_EQ(dst.GetPixel32(0, 1), 0u);
    // Huge offsets do not wrap around.
    dst.CopyPixels(src, PixelRect{0, 0, 3, 3}, 2147483647, -2147483647, nullptr, 0, 0, false);
    EXPECT_EQ(dst.GetPixel32(3, 3), 0u);

    // Copying a picture onto itself moves from the original pixels.
    BitmapData row(4, 1, true, 0);
    row.SetPixel32(0, 0, 0xFF000001);
    row.SetPixel32(1, 0, 0xFF000002);
    row.CopyPixels(row, PixelRect{0, 0, 3, 1}, 1, 0, nullptr, 0, 0, false);
    EXPECT_EQ(row.GetPixel32(1, 0), 0xFF000001u);
    EXPECT_EQ(row.GetPixel32(2, 0), 0xFF000002u);
}

TEST(BitmapData, CopyPixelsMergesAndTakesAlphaFromAnotherPicture) {
    BitmapData dst(1, 1, true, 0xFF0000FF);
    BitmapData half(1, 1, true, 0x80FF0000);
    dst.CopyPixels(half, PixelRect{0, 0, 1, 1}, 0, 0, nullptr, 0, 0, true);
    const uint32_t p = dst.GetPixel32(0, 0);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_NEAR(double((p >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(double(p & 0xFF), 127, 1);

    // An opaque destination cannot take the alpha: the pixel lands over it.
    BitmapData black(1, 1, false, 0xFF000000);
    BitmapData dim(1, 1, true, 0xF00E0E0E);
    black.CopyPixels(dim, PixelRect{0, 0, 1, 1}, 0, 0, nullptr, 0, 0, false);
    EXPECT_EQ(black.GetPixel32(0, 0), 0xFF0D0D0Du);

    BitmapData plain(1, 1, true, 0);
    BitmapData alpha(2, 1, true, 0);
    alpha.SetPixel32(1, 0, 0x40000000);
    BitmapData red(1, 1, true, 0xFFFF0000);
    plain.CopyPixels(red, PixelRect{0, 0, 1, 1}, 0, 0, &alpha, 1, 0, false);
    EXPECT_EQ(plain.GetPixel32(0, 0) >> 24, 0x40u);
}

TEST(BitmapData, ThresholdCountsAndWritesPassingPixels) {
    BitmapData src(2, 2, true, 0xFF000000);
    src.SetPixel32(1, 1, 0xFFFF0000);
    BitmapData dst(2, 2, true, 0);
    using T = BitmapData::Test;
    EXPECT_EQ(dst.Threshold(src, PixelRect{0, 0, 2, 2}, 0, 0, T::Equal, 0xFF000000, 0xFF00FF00,
                            0xFF000000, false),
              4u);
    EXPECT_EQ(dst.GetPixel32(1, 1), 0xFF00FF00u);
    // Masked compare on the red byte; failing pixels copied from the source.
    BitmapData dst2(2, 2, true, 0);
    EXPECT_EQ(dst2.Threshold(src, PixelRect{0, 0, 2, 2}, 0, 0, T::Greater, 0x00100000, 0xFFFFFFFF,
                             0x00FF0000, true),
              1u);
    EXPECT_EQ(dst2.GetPixel32(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(dst2.GetPixel32(0, 0), 0xFF000000u);
    // Nothing lands outside the destination.
    EXPECT_EQ(dst2.Threshold(src, PixelRect{0, 0, 2, 2}, 5, 5, T::Equal, 0, 0, 0, false), 0u);
}

TEST(BitmapData, HitTestsNeedAlphaAtTheThreshold) {
    BitmapData b(5, 5, true, 0);
    b.SetPixel32(2, 2, 0xFFFFFFFF);
    b.SetPixel32(1, 1, 0xA0FFFFFF);
    EXPECT_FALSE(b.HitPoint(0, 0, 0)); // transparent never hits
    EXPECT_TRUE(b.HitPoint(2, 2, 255));
    EXPECT_FALSE(b.HitPoint(1, 1, 255));
    EXPECT_FALSE(b.HitPoint(10, 10, 0));
    EXPECT_TRUE(b.HitRect(PixelRect{0, 0, 1, 1}, 0x80));
    EXPECT_FALSE(b.HitRect(PixelRect{-10, 10, 1, 1}, 0));
    BitmapData other(5, 5, true, 0);
    other.SetPixel32(0, 0, 0xFFFFFFFF);
    EXPECT_TRUE(b.HitBitmap(0, 0, 1, other, 2, 2, 1));
    EXPECT_FALSE(b.HitBitmap(0, 0, 1, other, 3, 3, 1));
}

TEST(BitmapData, CompareGivesSizesOrDifferencePicture) {
    BitmapData a(2, 1, true, 0xFFFFFFFF), b(2, 1, true, 0xFFFFFFFF), c(3, 1, true, 0),
        d(2, 2, true, 0);
    std::vector<uint32_t> diff;
    EXPECT_EQ(BitmapData::Compare(a, b, diff), 0);
    EXPECT_EQ(BitmapData::Compare(a, c, diff), -3);
    EXPECT_EQ(BitmapData::Compare(a, d, diff), -4);
    b.SetPixel32(0, 0, 0xFF333333);
    b.SetPixel32(1, 0, 0xFEFFFFFF);
    EXPECT_EQ(BitmapData::Compare(a, b, diff), 1);
    EXPECT_EQ(diff[0], 0xFFCCCCCCu);
    EXPECT_EQ(diff[1], 0x01FFFFFFu);
}

TEST(BitmapData, DrawBitmapHonoursMatrixAndClip) {
    BitmapData src(50, 50, false, 0xFFFF0000);
    BitmapData dst(50, 50, false, 0xFF0000FF);
    const double shift[6] = {1, 0, 0, 1, 5, 5};
    dst.DrawBitmap(src, shift, PixelRect{10, 10, 20, 20});
    EXPECT_EQ(dst.GetPixel32(10, 10), 0xFFFF0000u);
    EXPECT_EQ(dst.GetPixel32(29, 29), 0xFFFF0000u);
    EXPECT_EQ(dst.GetPixel32(30, 30), 0xFF0000FFu);
    EXPECT_EQ(dst.GetPixel32(9, 9), 0xFF0000FFu);
    const double flat[6] = {0, 0, 0, 0, 0, 0}; // cannot be inverted: nothing drawn
    BitmapData dst2(4, 4, false, 0xFF0000FF);
    dst2.DrawBitmap(src, flat, PixelRect{0, 0, 4, 4});
    EXPECT_EQ(dst2.GetPixel32(0, 0), 0xFF0000FFu);
}

TEST(BitmapData, FloodFillStopsAtOtherColoursAndOutside) {
    BitmapData b(3, 3, false, 0xFFFFFFFF);
    for (int y = 0; y < 3; ++y)
        b.SetPixel32(1, y, 0xFF000000);
    EXPECT_TRUE(b.FloodFill(0, 0, 0xFFFF0000));
    EXPECT_EQ(b.GetPixel32(0, 2), 0xFFFF0000u);
    EXPECT_EQ(b.GetPixel32(2, 0), 0xFFFFFFFFu);
    EXPECT_FALSE(b.FloodFill(3, 0, 0xFFFF0000));
    const PixelRect r = b.ColorBounds(0xFFFFFFFF, 0xFF000000, true);
    EXPECT_EQ(r.x, 1);
    EXPECT_EQ(r.w, 1);
    EXPECT_EQ(r.h, 3);
}

TEST(BitmapData, ChannelAndColourOperationsStayInTheirChannel) {
    BitmapData src(2, 1, true, 0xFF102030);
    BitmapData dst(2, 1, true, 0xFF000000);
    dst.CopyChannel(src, PixelRect{0, 0, 2, 1}, 1, 0, zembra::raster::kBlue, zembra::raster::kRed);
    EXPECT_EQ(dst.GetPixel32(0, 0), 0xFF000000u); // left of the landing place
    EXPECT_EQ(dst.GetPixel32(1, 0), 0xFF300000u);
    // An opaque picture keeps its alpha whatever channel is copied into it.
    BitmapData opaque(1, 1, false, 0xFF000000);
    BitmapData clear(1, 1, true, 0);
    opaque.CopyChannel(clear, PixelRect{0, 0, 1, 1}, 0, 0, zembra::raster::kAlpha,
                       zembra::raster::kAlpha);
    EXPECT_EQ(opaque.GetPixel32(0, 0), 0xFF000000u);

    // Offsets on a transparent picture come back as given despite
    // premultiplying.
    BitmapData t(1, 1, true, 0);
    const double mul[4] = {0, 0, 0, 0}, add[4] = {32, 32, 32, 32};
    t.ColorTransform(PixelRect{0, 0, 1, 1}, mul, add);
    EXPECT_EQ(t.GetPixel32(0, 0), 0x20202020u);
    // A NaN channel becomes 0, a huge one 255.
    const double nanMul[4] = {0.0 / 0.0, 1, 1, 1}, big[4] = {0, 1e300, 0, 0};
    t.ColorTransform(PixelRect{0, 0, 1, 1}, nanMul, big);
    EXPECT_EQ((t.GetPixel32(0, 0) >> 16) & 0xFF, 0u);
    EXPECT_EQ((t.GetPixel32(0, 0) >> 8) & 0xFF, 0xFFu);
}

TEST(BitmapData, ScrollAndNoiseKeepToThePicture) {
    BitmapData b(3, 1, false, 0xFF000000);
    b.SetPixel32(0, 0, 0xFFFF0000);
    b.Scroll(1, 0);
    EXPECT_EQ(b.GetPixel32(1, 0), 0xFFFF0000u);
    EXPECT_EQ(b.GetPixel32(0, 0), 0xFFFF0000u); // nothing scrolled in: kept
    b.Scroll(-1000000000, 1000000000);
    EXPECT_EQ(b.GetPixel32(1, 0), 0xFFFF0000u);

    BitmapData n(8, 8, true, 0);
    n.Noise(7, 200, 100, zembra::raster::kGreen, false); // bounds given backwards
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint32_t p = n.GetPixel32(x, y);
            EXPECT_EQ(p & 0xFF00FFu, 0xFF000000u & 0xFF00FFu);
            EXPECT_GE((p >> 8) & 0xFF, 100u);
            EXPECT_LE((p >> 8) & 0xFF, 200u);
        }
}

TEST(BitmapData, DrawFrameTakesRendererPixelOrder) {
    BitmapData b(2, 1, true, 0);
    // Renderer pixels are 0xAABBGGRR.
    const std::vector<uint32_t> frame{0xFF0000FFu, 0xFFFF0000u};
    b.DrawFrame(frame, PixelRect{1, 0, 1, 1});
    EXPECT_EQ(b.GetPixel32(0, 0), 0u); // outside the clip
    EXPECT_EQ(b.GetPixel32(1, 0), 0xFF0000FFu);
    // A frame of another size is refused rather than read past its end.
    b.DrawFrame(std::vector<uint32_t>(1, 0xFFFFFFFFu), PixelRect{0, 0, 2, 1});
    EXPECT_EQ(b.GetPixel32(0, 0), 0u);
}
