// Masks as drawn: a mask limits by its fills only, a script mask hides
// itself and limits one clip at a time, and setMask takes over from the
// masking the timeline gave either clip.
#include <gtest/gtest.h>

#include "raster/uCanvas.h"
#include "tests/swf/uSwfBuilder.h"
#include "timeline/uDisplayRenderer.h"
#include "timeline/uMovie.h"
#include "timeline/uScriptHost.h"

using namespace zembra;
using namespace zembra::testing;
using avm1::ClipId;

namespace {

constexpr uint32_t kRed = 0xff0000ff, kBlue = 0x0000ffff, kGreen = 0x00ff00ff;

std::vector<uint8_t> Sprite(uint16_t id, const std::vector<uint8_t>& tags) {
    BitWriter w;
    w.U16(id);
    w.U16(1);
    w.Bytes(tags);
    return Tag(39, w.bytes, true);
}

// A named placement at (tx, ty) twips; a layer mask when clipDepth > 0.
std::vector<uint8_t> Place(uint16_t depth, uint16_t id, int32_t tx, int32_t ty,
                           const std::string& name, uint16_t clipDepth = 0) {
    BitWriter w;
    w.U8(static_cast<uint8_t>(0x02 | 0x04 | 0x20 | (clipDepth ? 0x40 : 0)));
    w.U16(depth);
    w.U16(id);
    w.Matrix(tx, ty);
    w.Str(name);
    if (clipDepth)
        w.U16(clipDepth);
    return Tag(26, w.bytes);
}

// Characters every scene uses: 1 a 20 px red square outlined 4 px wide,
// 2 a blue 100 x 20 px band, 3 a green 20 px square; sprites 11..13 hold
// them so scripts can name them.
std::vector<uint8_t> Library() {
    return Concat({RectShape(1, 1, 0, 0, 400, 400, kRed, 80),
                   RectShape(2, 1, 0, 0, 2000, 400, kBlue), RectShape(3, 1, 0, 0, 400, 400, kGreen),
                   Sprite(11, Concat({PlaceObject2(1, 1, 0, 0), ShowFrame(), End()})),
                   Sprite(12, Concat({PlaceObject2(1, 2, 0, 0), ShowFrame(), End()})),
                   Sprite(13, Concat({PlaceObject2(1, 3, 0, 0), ShowFrame(), End()}))});
}

struct Scene {
    timeline::Movie movie;
    raster::FrameBuffer fb{120, 60};

    explicit Scene(const std::vector<uint8_t>& places) {
        std::string error;
        EXPECT_TRUE(movie.Open(
            Movie(Concat({Library(), places, ShowFrame(), End()}), 2400, 1200, 1, 'F', 8), error))
            << error;
        movie.Advance();
    }
    timeline::ScriptHost& Host() { return movie.Host(); }
    ClipId Clip(const std::string& name) { return Host().Child(Host().Root(), name, false); }
    void Draw() {
        fb.Clear({255, 255, 255, 255});
        raster::Canvas canvas(fb);
        timeline::DisplayRenderer renderer(canvas, movie.Dictionary());
        renderer.SetMaskLookup(
            [this](uint32_t clip, const timeline::DisplayObject*& obj, raster::Matrix& parent) {
                return Host().MaskPlace(clip, obj, parent);
            });
        renderer.DrawList(movie.Root(), raster::Matrix{1.0 / 20, 0, 0, 1.0 / 20, 0, 0},
                          raster::ColorTransform());
    }
    // The pixel's colour as 0xRRGGBB.
    uint32_t At(int x, int y) const {
        const uint32_t p = fb.Row(y)[x];
        return ((p & 0xff) << 16) | (p & 0xff00) | ((p >> 16) & 0xff);
    }
};

constexpr uint32_t kWhite = 0xffffff, kRgbRed = 0xff0000, kRgbBlue = 0x0000ff, kRgbGreen = 0x00ff00,
                   kBlack = 0x000000;

} // namespace

TEST(ScriptMask, LimitsByTheMasksFillAndHidesTheMask) {
    // The red square at 10..30 px, masked by another at 20..40 px whose
    // outline reaches out to 18 px.
    Scene s(Concat({Place(1, 11, 200, 200, "box"), Place(2, 11, 400, 400, "cut")}));
    s.Draw();
    EXPECT_EQ(s.At(15, 15), kRgbRed);
    EXPECT_EQ(s.At(35, 35), kRgbRed);
    EXPECT_EQ(s.At(10, 15), kBlack); // outlines are drawn as ever

    ASSERT_TRUE(s.Clip("box") && s.Clip("cut"));
    s.Host().SetMask(s.Clip("box"), s.Clip("cut"));
    s.Draw();
    EXPECT_EQ(s.At(25, 25), kRgbRed);
    EXPECT_EQ(s.At(15, 15), kWhite); // outside the mask
    EXPECT_EQ(s.At(35, 35), kWhite); // the mask itself is not drawn
    EXPECT_EQ(s.At(19, 25), kWhite); // under the mask's outline only
    EXPECT_EQ(s.At(28, 29), kBlack); // the box's own outline, inside the mask

    // Taken away: both show again.
    s.Host().SetMask(s.Clip("box"), 0);
    s.Draw();
    EXPECT_EQ(s.At(15, 15), kRgbRed);
    EXPECT_EQ(s.At(35, 35), kRgbRed);
}

TEST(ScriptMask, LimitsOneClipAtATime) {
    // Green squares at 10..30 and 50..70 px; the blue band covers y 20..40.
    Scene s(Concat(
        {Place(1, 13, 200, 200, "a"), Place(2, 13, 1000, 200, "b"), Place(3, 12, 0, 400, "band")}));
    const ClipId a = s.Clip("a"), b = s.Clip("b"), band = s.Clip("band");
    ASSERT_TRUE(a && b && band);
    s.Host().SetMask(a, band);
    s.Draw();
    EXPECT_EQ(s.At(20, 15), kWhite); // a's upper half is cut
    EXPECT_EQ(s.At(20, 25), kRgbGreen);
    EXPECT_EQ(s.At(60, 15), kRgbGreen);
    EXPECT_EQ(s.At(90, 30), kWhite); // the band is not drawn

    // The band moves to b: a is whole again.
    s.Host().SetMask(b, band);
    s.Draw();
    EXPECT_EQ(s.At(20, 15), kRgbGreen);
    EXPECT_EQ(s.At(60, 15), kWhite);
    EXPECT_EQ(s.At(60, 25), kRgbGreen);
    EXPECT_EQ(s.At(90, 30), kWhite);

    // a's old mask is no longer a's to take away: b keeps it.
    s.Host().SetMask(a, 0);
    s.Draw();
    EXPECT_EQ(s.At(60, 15), kWhite);
    EXPECT_EQ(s.At(90, 30), kWhite);

    s.Host().SetMask(b, 0);
    s.Draw();
    EXPECT_EQ(s.At(60, 15), kRgbGreen);
    EXPECT_EQ(s.At(90, 30), kRgbBlue);

    // A clip is never its own mask.
    s.Host().SetMask(a, a);
    s.Draw();
    EXPECT_EQ(s.At(20, 15), kRgbGreen);
}

TEST(ScriptMask, TakesOverFromLayerMasks) {
    // The band masks depths 2..3 (green squares at x 10..30 and 50..70 px,
    // y 10..30): only their lower halves show.
    Scene s(Concat({Place(1, 12, 0, 400, "band", 3), Place(2, 13, 200, 200, "a"),
                    Place(3, 13, 1000, 200, "b")}));
    s.Draw();
    EXPECT_EQ(s.At(20, 15), kWhite);
    EXPECT_EQ(s.At(60, 15), kWhite);
    EXPECT_EQ(s.At(60, 25), kRgbGreen);

    // Given to a by script, the band masks a only: b is whole.
    s.Host().SetMask(s.Clip("a"), s.Clip("band"));
    s.Draw();
    EXPECT_EQ(s.At(20, 15), kWhite);
    EXPECT_EQ(s.At(20, 25), kRgbGreen);
    EXPECT_EQ(s.At(60, 15), kRgbGreen);
    EXPECT_EQ(s.At(90, 30), kWhite);
}

TEST(ScriptMask, AMaskedLayerMaskIsDrawnAsAClip) {
    // The band is a layer mask over the green square at depth 2; masked by
    // that square in turn, it shows as blue where the two meet.
    Scene s(Concat({Place(1, 12, 0, 400, "band", 2), Place(2, 13, 200, 200, "a")}));
    s.Draw();
    EXPECT_EQ(s.At(20, 25), kRgbGreen);
    s.Host().SetMask(s.Clip("band"), s.Clip("a"));
    s.Draw();
    EXPECT_EQ(s.At(20, 25), kRgbBlue);
    EXPECT_EQ(s.At(20, 15), kWhite); // the square is not drawn
    EXPECT_EQ(s.At(50, 25), kWhite); // the band outside the square
}
