#include <gtest/gtest.h>

#include <limits>

#include "framework/uPlacementMath.h"

using namespace zembra;

TEST(PlacementMath, FitClampsToSmallestWorkAreaPerAxis) {
    const std::vector<PlacementRect> areas{{0, 0, 1280, 984}, {1280, 0, 2304, 740}};
    std::int32_t w = 1100, h = 800;
    FitSizeToWorkAreas(w, h, 8, 27, areas);
    EXPECT_EQ(w, 1016);
    EXPECT_EQ(h, 713);

    w = 800;
    h = 600;
    FitSizeToWorkAreas(w, h, 8, 27, areas);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);

    // The minima may come from different monitors.
    const std::vector<PlacementRect> mixed{{0, 0, 640, 1000}, {-900, 0, 0, 500}};
    w = 2000;
    h = 2000;
    FitSizeToWorkAreas(w, h, 0, 0, mixed);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 500);
}

TEST(PlacementMath, FitWithoutMonitorsOrWithHugeMarginsDoesNotWrap) {
    std::int32_t w = 5000, h = 4000;
    FitSizeToWorkAreas(w, h, 8, 27, {});
    EXPECT_EQ(w, 5000);
    EXPECT_EQ(h, 4000);

    // A negative margin on the "no monitor" limit must not overflow into a clamp.
    w = std::numeric_limits<std::int32_t>::max();
    FitSizeToWorkAreas(w, h, -10, 0, {});
    EXPECT_EQ(w, std::numeric_limits<std::int32_t>::max());
}

TEST(PlacementMath, CenterInRect) {
    PlacementBounds b = CenterBoundsInRect(300, 200, {0, 0, 1024, 738});
    EXPECT_EQ(b.Left, 362);
    EXPECT_EQ(b.Top, 269);
    EXPECT_EQ(b.Width, 300);
    EXPECT_EQ(b.Height, 200);

    // Larger than the rectangle: overhangs evenly, halves truncate toward zero.
    b = CenterBoundsInRect(1101, 800, {100, 50, 1124, 818});
    EXPECT_EQ(b.Left, 100 + (1024 - 1101) / 2);
    EXPECT_EQ(b.Left, 62);
    EXPECT_EQ(b.Top, 50 + (768 - 800) / 2);
}

TEST(PlacementMath, PreviewLogicalExtent) {
    EXPECT_EQ(PreviewLogicalExtent(1024, 152), 912);
    EXPECT_EQ(PreviewLogicalExtent(768, 112), 672);
    EXPECT_EQ(PreviewLogicalExtent(1024, 0), 0);
    EXPECT_EQ(PreviewLogicalExtent(1024, -3), 0);
    EXPECT_EQ(PreviewLogicalExtent(100, 200), 0);
}
