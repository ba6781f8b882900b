#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "framework/uGraphics.h"

namespace zembra {
namespace {

// Builds a BMP file image with the given header fields; the pixel bytes
// follow the colour table directly.
struct BmpSpec {
    std::uint32_t headerSize = 40;
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t bpp = 8;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colors = 2; // table entries written (and stored in biClrUsed)
};

std::vector<std::uint8_t> Build(const BmpSpec& s) {
    std::vector<std::uint8_t> b;
    auto u16 = [&](std::uint32_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const std::uint32_t table = s.colors * 4;
    const std::uint32_t stride = ((static_cast<std::uint32_t>(s.width) * s.bpp + 31) / 32) * 4;
    const std::uint32_t absH = static_cast<std::uint32_t>(s.height < 0 ? -s.height : s.height);
    const std::uint32_t off = 14 + s.headerSize + table;
    b.push_back('B');
    b.push_back('M');
    u32(off + stride * absH);
    u32(0);
    u32(off);
    u32(s.headerSize);
    u32(static_cast<std::uint32_t>(s.width));
    u32(static_cast<std::uint32_t>(s.height));
    u16(1);
    u16(s.bpp);
    u32(s.compression);
    u32(stride * absH);
    u32(2835);
    u32(2835);
    u32(s.colors);
    u32(0);
    b.resize(14 + s.headerSize, 0);
    // Colour 0 green, colour 1 red, the rest grey.
    for (std::uint32_t i = 0; i < s.colors; ++i) {
        const std::uint8_t q[4] = {static_cast<std::uint8_t>(i == 0   ? 0
                                                             : i == 1 ? 0
                                                                      : 0x80),
                                   static_cast<std::uint8_t>(i == 0   ? 0xFF
                                                             : i == 1 ? 0
                                                                      : 0x80),
                                   static_cast<std::uint8_t>(i == 0   ? 0
                                                             : i == 1 ? 0xFF
                                                                      : 0x80),
                                   0};
        b.insert(b.end(), q, q + 4);
    }
    // Row order as stored: first stored row all colour 1, the rest colour 0.
    for (std::uint32_t y = 0; y < absH; ++y)
        for (std::uint32_t x = 0; x < stride; ++x)
            b.push_back(y == 0 && s.bpp == 8 ? 1 : 0);
    return b;
}

COLORREF PixelAfterDraw(const TPicture& p, int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, p.BitmapWidth(), p.BitmapHeight());
    HGDIOBJ old = SelectObject(dc, target);
    p.Draw(dc, RECT{0, 0, p.BitmapWidth(), p.BitmapHeight()});
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return c;
}

TEST(Picture, LoadsPaletteBitmapsInBothRowOrders) {
    TPicture p;
    int changes = 0;
    p.OnChange = [&] { ++changes; };
    auto bottomUp = Build(BmpSpec{});
    p.LoadBitmapFromStream(bottomUp.data(), bottomUp.size());
    ASSERT_TRUE(p.HasBitmap());
    EXPECT_EQ(p.BitmapWidth(), 4);
    EXPECT_EQ(p.BitmapHeight(), 2);
    EXPECT_EQ(changes, 1);
    // Bottom-up: the first stored row (red) is the bottom one.
    EXPECT_EQ(PixelAfterDraw(p, 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(PixelAfterDraw(p, 0, 0), RGB(0, 255, 0));

    BmpSpec topDown;
    topDown.height = -2;
    auto td = Build(topDown);
    p.LoadBitmapFromStream(td.data(), td.size());
    EXPECT_EQ(p.BitmapHeight(), 2);
    EXPECT_EQ(PixelAfterDraw(p, 0, 0), RGB(255, 0, 0));

    // A table of all 256 entries when biClrUsed is 0.
    BmpSpec full;
    full.colors = 256;
    auto f = Build(full);
    f[46] = f[47] = f[48] = f[49] = 0;
    p.LoadBitmapFromStream(f.data(), f.size());
    EXPECT_EQ(PixelAfterDraw(p, 3, 1), RGB(255, 0, 0));

    BmpSpec rgb32;
    rgb32.bpp = 32;
    rgb32.colors = 0;
    auto r = Build(rgb32);
    p.LoadBitmapFromStream(r.data(), r.size());
    EXPECT_EQ(PixelAfterDraw(p, 0, 0), RGB(0, 0, 0));
}

TEST(Picture, RejectsDamagedDataAndKeepsTheOldPicture) {
    TPicture p;
    auto good = Build(BmpSpec{});
    p.LoadBitmapFromStream(good.data(), good.size());
    auto expectRejected = [&](std::vector<std::uint8_t> data) {
        EXPECT_THROW(p.LoadBitmapFromStream(data.data(), data.size()), std::runtime_error);
        EXPECT_TRUE(p.HasBitmap());
        EXPECT_EQ(p.BitmapWidth(), 4);
    };
    // Every truncation of a valid image is refused, never read past.
    for (std::size_t n = 0; n < good.size(); ++n)
        expectRejected(std::vector<std::uint8_t>(good.begin(), good.begin() + n));
    EXPECT_THROW(p.LoadBitmapFromStream(nullptr, 100), std::runtime_error);

    auto noMagic = good;
    noMagic[0] = 'X';
    expectRejected(noMagic);

    BmpSpec s;
    s.headerSize = 200; // larger than any known header
    expectRejected(Build(s));
    s = BmpSpec{};
    s.bpp = 7;
    expectRejected(Build(s));
    s = BmpSpec{};
    s.compression = BI_RLE8; // compressed pixels are not accepted
    expectRejected(Build(s));
    s = BmpSpec{};
    s.colors = 257; // more colours than 8 bits can index
    expectRejected(Build(s));
    s = BmpSpec{};
    s.width = 0;
    expectRejected(Build(s));

    // Huge dimensions must fail on the size check, not allocate.
    auto huge = good;
    huge[18] = huge[19] = huge[20] = 0xFF;
    huge[21] = 0x7F;
    expectRejected(huge);
    // A pixel offset pointing past the data.
    auto farOffset = good;
    farOffset[10] = 0xF0;
    farOffset[11] = 0xFF;
    expectRejected(farOffset);

    // Random bytes behind a valid signature.
    std::vector<std::uint8_t> garbage(300);
    std::uint32_t seed = 12345;
    for (auto& g : garbage) {
        seed = seed * 1103515245u + 12345u;
        g = static_cast<std::uint8_t>(seed >> 16);
    }
    garbage[0] = 'B';
    garbage[1] = 'M';
    expectRejected(garbage);
}

TEST(Font, HandleIsRecreatedOnChangeAndColourAloneKeepsIt) {
    TFont f;
    int changes = 0;
    f.OnChange = [&] { ++changes; };
    HFONT a = f.Handle();
    ASSERT_NE(a, nullptr);
    f.SetColor(clRed);
    EXPECT_EQ(f.Handle(), a);
    f.SetHeight(-20);
    HFONT b = f.Handle();
    LOGFONTA lf{};
    GetObjectA(b, sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -20);
    f.SetStyle(fsUnderline | fsBold);
    GetObjectA(f.Handle(), sizeof lf, &lf);
    EXPECT_TRUE(lf.lfUnderline);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    f.SetCharset(SHIFTJIS_CHARSET);
    f.SetCharset(SHIFTJIS_CHARSET); // no change, no event
    EXPECT_EQ(changes, 4);
    // Names longer than the face-name field are cut, not overrun.
    f.SetName(std::string(100, 'x'));
    EXPECT_NE(f.Handle(), nullptr);

    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456u);
}

} // namespace
} // namespace zembra
