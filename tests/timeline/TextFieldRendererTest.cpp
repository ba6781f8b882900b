// Drawing a text field from its model: rectangle, colours, scrolling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "raster/uCanvas.h"
#include "text/uTextField.h"
#include "timeline/uTextFieldRenderer.h"

using namespace zembra;

namespace {

uint32_t Pixel(const raster::FrameBuffer& fb, int x, int y) {
    return fb.Row(y)[x];
}

// Pixels of `fb` differing from the white it was cleared with.
int Inked(const raster::FrameBuffer& fb, int x0, int y0, int x1, int y1) {
    const uint32_t white = Pixel(fb, 0, 0);
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += Pixel(fb, x, y) != white;
    return n;
}

struct Scene {
    raster::FrameBuffer fb{60, 60};
    raster::Canvas canvas{fb};
    Scene() { fb.Clear({255, 255, 255, 255}); }
    void Draw(const text::TextField& f) {
        timeline::TextFieldRenderer(canvas, [](size_t) {
            return true;
        }).Draw(f, raster::Matrix{1.0 / 20, 0, 0, 1.0 / 20, 0, 0}, raster::ColorTransform());
    }
};

} // namespace

TEST(TextFieldRenderer, BackgroundAndBorderFillTheFieldsRectangleOnly) {
    Scene s;
    text::TextField f;
    f.x = 10;
    f.y = 20;
    f.SetSize(20, 10);
    f.background = true;
    f.backgroundColor = 0xFF0000;
    f.border = true;
    f.borderColor = 0x0000FF;
    s.Draw(f);
    const uint32_t inside = Pixel(s.fb, 20, 25);
    EXPECT_NE(inside, Pixel(s.fb, 5, 5));
    EXPECT_NE(Pixel(s.fb, 10, 25), inside); // the border column
    EXPECT_NE(Pixel(s.fb, 10, 25), Pixel(s.fb, 5, 5));
    EXPECT_EQ(Inked(s.fb, 0, 0, 60, 19), 0);  // nothing above
    EXPECT_EQ(Inked(s.fb, 32, 0, 60, 60), 0); // nothing right of it
}

TEST(TextFieldRenderer, ScrolledLinesAboveTheFieldAreNotDrawn) {
    text::TextField f;
    f.SetSize(56, 18); // room for one line of 12 px text
    f.SetText(u"WWW\rWWW\rWWW");
    Scene all;
    all.Draw(f);
    const int first = Inked(all.fb, 0, 0, 60, 60);
    EXPECT_GT(first, 0);
    f.SetScroll(3);
    Scene scrolled;
    scrolled.Draw(f);
    // One line shows either way, always inside the field.
    EXPECT_GT(Inked(scrolled.fb, 0, 0, 60, 18), 0);
    EXPECT_EQ(Inked(scrolled.fb, 0, 19, 60, 60), 0);
    f.SetText(u"");
    Scene empty;
    empty.Draw(f);
    EXPECT_EQ(Inked(empty.fb, 0, 0, 60, 60), 0);
}

TEST(TextFieldRenderer, TextPastTheSidesIsCutAtTheGutter) {
    text::TextField f;
    f.x = 10;
    f.SetSize(30, 18);
    f.SetText(u"WWWWWWWWWWWW"); // far wider than the field
    Scene wide;
    wide.Draw(f);
    EXPECT_GT(Inked(wide.fb, 12, 0, 38, 18), 0);
    EXPECT_EQ(Inked(wide.fb, 38, 0, 60, 60), 0); // right of the gutter
    f.SetHScroll(f.MaxHScroll());
    Scene scrolled;
    scrolled.Draw(f);
    EXPECT_GT(Inked(scrolled.fb, 12, 0, 38, 18), 0);
    EXPECT_EQ(Inked(scrolled.fb, 0, 0, 12, 60), 0); // left of the gutter
    EXPECT_EQ(Inked(scrolled.fb, 38, 0, 60, 60), 0);

    // Drawn into a mask, the text is not cut: what it covers is the mask.
    Scene masked;
    timeline::TextFieldRenderer r(masked.canvas, [](size_t) { return true; });
    r.ClipToField(false);
    r.Draw(f, raster::Matrix{1.0 / 20, 0, 0, 1.0 / 20, 0, 0}, raster::ColorTransform());
    EXPECT_GT(Inked(masked.fb, 0, 0, 12, 60), 0);
}

TEST(TextFieldRenderer, DeviceTextIsNeverTurnedOrMirrored) {
    using timeline::TextFieldRenderer;
    EXPECT_TRUE(TextFieldRenderer::DeviceTextShows({1, 0, 0, 1, 0, 0}));
    EXPECT_TRUE(TextFieldRenderer::DeviceTextShows({2, 0.005, -0.005, 2, 0, 0}));
    EXPECT_FALSE(TextFieldRenderer::DeviceTextShows({-1, 0, 0, 1, 0, 0}));
    EXPECT_FALSE(TextFieldRenderer::DeviceTextShows({1, 0, 0, -1, 0, 0}));
    EXPECT_FALSE(TextFieldRenderer::DeviceTextShows({0, 1, -1, 0, 0, 0})); // turned
    EXPECT_FALSE(TextFieldRenderer::DeviceTextShows({1, 0.5, 0, 1, 0, 0}));

    // Turned, a device-font field draws nothing; with embedded fonts its
    // frame still shows.
    text::TextField f;
    f.x = 10;
    f.y = 10;
    f.SetSize(20, 20);
    f.border = true;
    const raster::Matrix turned{0, 1.0 / 20, -1.0 / 20, 0, 50, 0};
    Scene device;
    TextFieldRenderer(device.canvas, [](size_t) {
        return true;
    }).Draw(f, turned, raster::ColorTransform());
    EXPECT_EQ(Inked(device.fb, 0, 0, 60, 60), 0);
    f.SetEmbedFonts(true);
    Scene embedded;
    TextFieldRenderer(embedded.canvas, [](size_t) {
        return true;
    }).Draw(f, turned, raster::ColorTransform());
    EXPECT_GT(Inked(embedded.fb, 0, 0, 60, 60), 0);
}

TEST(TextFieldRenderer, TheFrameStaysOnePixelWideUnderAnyTransform) {
    text::TextField f;
    f.SetSize(10, 10);
    f.border = true;
    f.SetEmbedFonts(true);
    // Longest run of inked pixels across row y.
    auto widest = [](const raster::FrameBuffer& fb, int y) {
        int best = 0, run = 0;
        for (int x = 0; x < fb.Width(); ++x) {
            run = fb.Row(y)[x] != fb.Row(0)[0] ? run + 1 : 0;
            best = std::max(best, run);
        }
        return best;
    };
    // Turned a quarter and doubled: still on whole pixels, one wide.
    Scene quarter;
    timeline::TextFieldRenderer(quarter.canvas, [](size_t) {
        return true;
    }).Draw(f, raster::Matrix{0, 2.0 / 20, -2.0 / 20, 0, 40, 10}, raster::ColorTransform());
    EXPECT_EQ(widest(quarter.fb, 20), 1);
    // Turned by 45 degrees and tripled: a thin line, not three pixels thick
    // (some five across a row).
    const double k = 3.0 / 20 * std::sqrt(0.5);
    Scene slanted;
    timeline::TextFieldRenderer(slanted.canvas, [](size_t) {
        return true;
    }).Draw(f, raster::Matrix{k, k, -k, k, 30, 5}, raster::ColorTransform());
    EXPECT_GT(widest(slanted.fb, 25), 0);
    EXPECT_LE(widest(slanted.fb, 25), 3);
}
