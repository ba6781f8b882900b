// The case files' TOML subset: frame counts, named pictures with their
// frames and tolerances, check tables, renderer quality.
#include <gtest/gtest.h>

#include "tests/corpus/uCaseConfig.h"

using zembra::corpus::CaseConfig;
using zembra::corpus::ParseCaseConfig;

TEST(CaseConfig, PicturesFramesAndOptions) {
    CaseConfig c;
    ASSERT_TRUE(ParseCaseConfig(R"(# comment
num_ticks = 12
image_comparisons."output.02".trigger = 2

[image_comparisons."output.01"]
tolerance = 3
max_outliers = 40
trigger = 1

[image_comparisons.last]
tolerance = 7

[player_options]
with_renderer = { optional = false, quality = "low" }
viewport_dimensions = { width = 200, height = 200, scale_factor = 1 }

[subtests.swf9]
num_frames = 99
)",
                                c));
    EXPECT_EQ(c.frames, 12);
    EXPECT_EQ(c.quality, "low");
    ASSERT_EQ(c.images.size(), 3u);
    EXPECT_EQ(c.images[0].name, "output.01"); // ordered by the frame they are taken at
    EXPECT_EQ(c.images[0].tolerance, 3);
    EXPECT_EQ(c.images[0].maxOutliers, 40);
    EXPECT_EQ(c.images[1].name, "output.02");
    EXPECT_EQ(c.images[1].trigger, 2);
    EXPECT_EQ(c.images[2].name, "last");
    EXPECT_EQ(c.images[2].trigger, -1);

    ASSERT_TRUE(ParseCaseConfig(R"(num_frames = 1
[[image_comparisons.output.checks]]
tolerance = 0
max_outliers = 40000

[[image_comparisons.output.checks]]
tolerance = 64
)",
                                c));
    ASSERT_EQ(c.images.size(), 1u);
    ASSERT_EQ(c.images[0].checks.size(), 2u);
    EXPECT_EQ(c.images[0].checks[0].second, 40000);
    EXPECT_EQ(c.images[0].checks[1].first, 64);
    EXPECT_EQ(c.quality, "high");

    EXPECT_FALSE(ParseCaseConfig("num_frames = 3\n", c));
}
