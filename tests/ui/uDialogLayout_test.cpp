#include "ui/uDialogLayout.h"

#include <gtest/gtest.h>

using namespace zembra;

namespace {

// A dialog in its design state: 105 x 105 picture, 100 x 20 button, a
// 6 x 25 frame, one 1024 x 738 monitor.
DialogLayoutInput DesignInput() {
    DialogLayoutInput in;
    in.PictureWidth = 105;
    in.PictureHeight = 105;
    in.LabelVisible = false;
    in.LabelWidth = 61;
    in.LabelHeight = 12;
    in.ButtonVisible = true;
    in.ButtonWidth = 100;
    in.ButtonHeight = 20;
    in.FrameWidth = 6;
    in.FrameHeight = 25;
    in.WorkAreas = {{0, 0, 1024, 738}};
    in.CenterArea = {0, 0, 1024, 738};
    return in;
}

void ExpectBox(const LayoutBox& b, int left, int top, int width, int height) {
    EXPECT_EQ(b.Left, left);
    EXPECT_EQ(b.Top, top);
    EXPECT_EQ(b.Width, width);
    EXPECT_EQ(b.Height, height);
}

} // namespace

TEST(DialogLayout, HiddenLabelTakesNoSpace) {
    DialogLayout out = ComputeDialogLayout(DesignInput());
    EXPECT_FALSE(out.PictureStretched);
    // Narrow picture with the button: content width is the button's + 16.
    EXPECT_EQ(out.ClientWidth, 116);
    ExpectBox(out.Picture, 5, 0, 105, 105);
    ExpectBox(out.Button, 8, 109, 100, 20);
    EXPECT_EQ(out.ClientHeight, 133);
    ExpectBox(out.Form, (1024 - 122) / 2, (738 - 158) / 2, 122, 158);
}

TEST(DialogLayout, AllRowsAndWideLabel) {
    DialogLayoutInput in = DesignInput();
    in.PictureWidth = 50;
    in.PictureHeight = 40;
    in.LabelVisible = true;
    in.LabelWidth = 80;
    DialogLayout out = ComputeDialogLayout(in);
    EXPECT_EQ(out.ClientWidth, 116);
    ExpectBox(out.Picture, 33, 0, 50, 40);
    ExpectBox(out.Label, 18, 44, 80, 12);
    ExpectBox(out.Button, 8, 60, 100, 20);
    EXPECT_EQ(out.ClientHeight, 84);

    // A wide text widens the box to its width + 16; the rest is centred.
    in.LabelWidth = 300;
    out = ComputeDialogLayout(in);
    EXPECT_EQ(out.ClientWidth, 316);
    ExpectBox(out.Picture, 133, 0, 50, 40);
    ExpectBox(out.Label, 8, 44, 300, 12);
    ExpectBox(out.Button, 108, 60, 100, 20);
}

TEST(DialogLayout, HiddenButtonLeavesNoBottomMargin) {
    DialogLayoutInput in = DesignInput();
    in.ButtonVisible = false;
    in.PictureWidth = 200;
    in.PictureHeight = 100;
    DialogLayout out = ComputeDialogLayout(in);
    EXPECT_EQ(out.ClientWidth, 200);
    EXPECT_EQ(out.ClientHeight, 100);

    in.LabelVisible = true;
    in.LabelWidth = 150;
    out = ComputeDialogLayout(in);
    EXPECT_EQ(out.ClientWidth, 200);
    ExpectBox(out.Label, 25, 104, 150, 12);
    EXPECT_EQ(out.ClientHeight, 116);
}

TEST(DialogLayout, OversizePictureShrinksWithinBothBounds) {
    DialogLayoutInput in = DesignInput();
    in.LabelVisible = true;
    in.FrameWidth = 8;
    in.FrameHeight = 27;
    // The smallest width and height come from different monitors.
    in.WorkAreas = {{0, 0, 1280, 984}, {1280, 0, 2304, 740}};
    in.CenterArea = {1280, 0, 2304, 740};
    // Bounds: 1024 - 8 = 1016 wide; 740 - 27 - (12 + 4) - (20 + 4 + 4) = 669
    // high, the margin under the button included.
    struct Case {
        int w0, h0, w, h;
    } cases[] = {
        {3000, 1000, 1016, 338}, // width is the tighter bound
        {500, 3000, 111, 669},   // height is the tighter bound
        {800, 2000, 267, 669},   // only the height exceeds
        {2000, 100, 1016, 50},   // only the width exceeds; height must not grow
        {1017, 669, 1016, 668},  // one pixel too wide
        {100000, 1, 1016, 1},    // a side never drops to 0
    };
    for (const Case& c : cases) {
        in.PictureWidth = c.w0;
        in.PictureHeight = c.h0;
        DialogLayout out = ComputeDialogLayout(in);
        SCOPED_TRACE(testing::Message() << c.w0 << "x" << c.h0);
        EXPECT_TRUE(out.PictureStretched);
        EXPECT_EQ(out.Picture.Width, c.w);
        EXPECT_EQ(out.Picture.Height, c.h);
        EXPECT_LE(out.Form.Width, 1024);
        EXPECT_LE(out.Form.Height, 740);
        // Centred on the main window's monitor, not on the first one.
        EXPECT_EQ(out.Form.Left, 1280 + (1024 - out.Form.Width) / 2);
        EXPECT_EQ(out.Form.Top, (740 - out.Form.Height) / 2);
    }

    // Exactly at the bounds: kept as it is.
    in.PictureWidth = 1016;
    in.PictureHeight = 669;
    DialogLayout out = ComputeDialogLayout(in);
    EXPECT_FALSE(out.PictureStretched);
    EXPECT_EQ(out.Form.Width, 1024);
    EXPECT_EQ(out.Form.Height, 740);
}

TEST(DialogLayout, DegenerateScreens) {
    DialogLayoutInput in = DesignInput();
    // A work area smaller than the frame: the picture shrinks to 1 x 1.
    in.WorkAreas = {{0, 0, 4, 4}};
    DialogLayout out = ComputeDialogLayout(in);
    EXPECT_TRUE(out.PictureStretched);
    ExpectBox(out.Picture, 57, 0, 1, 1);
    // No monitor at all: nothing is clamped.
    in.WorkAreas.clear();
    in.PictureWidth = 5000;
    out = ComputeDialogLayout(in);
    EXPECT_FALSE(out.PictureStretched);
    EXPECT_EQ(out.Picture.Width, 5000);
    // A form larger than the area overhangs it evenly.
    EXPECT_EQ(out.Form.Left, (1024 - 5006) / 2);
}

TEST(DialogLayout, FitKeepingAspectLeavesFittingSizes) {
    int w = 300, h = 200;
    FitKeepingAspect(w, h, 300, 200);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 200);
    w = 0;
    h = 50;
    FitKeepingAspect(w, h, 10, 10);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 50);
}
