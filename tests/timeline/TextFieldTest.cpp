// Text fields drawn with an embedded font: where the pen puts each glyph.
#include <gtest/gtest.h>

#include "raster/uCanvas.h"
#include "tests/swf/uSwfBuilder.h"
#include "timeline/uTextFieldRenderer.h"

using namespace zembra;
using namespace zembra::testing;

namespace {

// A font with a laid-out empty 'a' of the given advance and a 'b' that
// fills its whole em square (20480 units, baseline at the bottom).
std::vector<uint8_t> FontWithBox(int16_t advanceA) {
    BitWriter box;
    box.UB(1, 4); // fill bits
    box.UB(0, 4); // line bits
    box.UB(0, 1);
    box.UB(0, 1); // new styles
    box.UB(0, 1); // line
    box.UB(0, 1); // fill1
    box.UB(1, 1); // fill0
    box.UB(1, 1); // move
    const unsigned mb = BitWriter::Bits({0, -20480});
    box.UB(mb, 5);
    box.SB(0, mb);
    box.SB(-20480, mb);
    box.UB(1, 1);
    auto line = [&](int32_t dx, int32_t dy) {
        box.UB(1, 1);
        box.UB(1, 1);
        const unsigned nb = BitWriter::Bits({dx, dy});
        box.UB(nb - 2, 4);
        box.UB(1, 1);
        box.SB(dx, nb);
        box.SB(dy, nb);
    };
    line(20480, 0);
    line(0, 20480);
    line(-20480, 0);
    line(0, -20480);
    box.UB(0, 6);
    box.Align();

    BitWriter w;
    w.U16(1);
    w.U8(0x84); // layout, wide codes
    w.U8(0);
    w.U8(1);
    w.U8('T');
    w.U16(2);
    w.U16(6); // offsets from the offset table
    w.U16(8);
    w.U16(static_cast<uint16_t>(8 + box.bytes.size()));
    w.U8(0x10); // 'a': no edges
    w.U8(0x00);
    w.Bytes(box.bytes);
    w.U16('a');
    w.U16('b');
    w.U16(20480); // ascent
    w.U16(0);
    w.U16(0);
    w.U16(static_cast<uint16_t>(advanceA));
    w.U16(20480);
    w.Rect(0, 0, 0, 0);
    w.Rect(0, 0, 0, 0);
    w.U16(0); // no kerning
    return w.bytes;
}

TEST(TextField, AdvancesAreWholeTwipsCutDown) {
    // 10239 units at 20 pixels are 199.98 twips, taken as 199: ten of them
    // put the box at 99.5 pixels, so pixel 99 is half covered.
    const std::vector<uint8_t> font = FontWithBox(10239);
    chars::Dictionary dict;
    ASSERT_TRUE(dict.Define(swf::Tag{75, font.data(), static_cast<uint32_t>(font.size())}));
    chars::EditTextChar e;
    e.bounds = {-40, 4000, -40, 800}; // the 2-pixel gutter puts the text at 0, 0
    e.hasFont = true;
    e.fontId = 1;
    e.height = 400;
    e.color = {255, 0, 0, 255};
    e.text = "aaaaaaaaaab";
    raster::FrameBuffer fb(160, 24);
    raster::Canvas canvas(fb);
    timeline::TextFieldRenderer renderer(canvas, dict, [](size_t) { return true; });
    renderer.Draw(e, raster::Matrix{0.05, 0, 0, 0.05, 0, 0}, raster::ColorTransform());
    auto red = [&](int x) { return fb.Row(10)[x] & 0xff; };
    EXPECT_EQ(red(98), 0u);
    EXPECT_NEAR(red(99), 128u, 16u);
    EXPECT_EQ(red(100), 255u);
    EXPECT_EQ(red(118), 255u);
    EXPECT_NEAR(red(119), 128u, 16u);
    EXPECT_EQ(red(120), 0u);
}

} // namespace
