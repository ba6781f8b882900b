#include "util/uEncodedNames.h"
#include "util/uUtils.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

using namespace zembra;

TEST(EncodedNames, DecodeToTheItemNames) {
    const std::pair<const char*, const char*> names[] = {
        {kItemLoop, "Loop"},
        {kItemStretchToFit, "StretchToFit"},
        {kItemRightClick, "RightClick"},
        {kItemMenu, "Menu"},
        {kItemQuality, "Quality"},
        {kItemFlashVars, "FlashVars"},
        {kItemBackgroundColor, "BackgroundColor"},
        {kItemMovieFileName, "MovieFileName"},
        {kItemMovie, "Movie"},
        {kItemThrottlePreview, "ThrottlePreview"},
        {kItemRequiredVersion, "RequiredVersion"},
        {kItemExtraFileCount, "ExtraFileCount"},
        {kItemExtraFileNamePrefix, "ExtraFileName"},
        {kItemExtraFileDataPrefix, "ExtraFileData"},
        {kItemExitOnMouseMove, "ExitOnMouseMove"},
        {kItemExitOnKeyDown, "ExitOnKeyDown"},
        {kItemShowCursor, "ShowCursor"},
        {kItemLayout, "Layout"},
        {kItemAboutCaption, "AboutCaption"},
        {kItemAboutLinkText, "AboutLinkText"},
        {kItemAboutLinkURL, "AboutLinkURL"},
        {kItemAboutCloseButton, "AboutCloseButton"},
        {kItemAboutImage, "AboutImage"},
        {kScaleExactFit, "exactfit"},
        {kScaleShowAll, "showall"},
    };
    std::set<std::string> keys;
    for (const auto& [encoded, plain] : names) {
        EXPECT_EQ(DecodeHexText(encoded), plain);
        // Varied keys: the same letters do not show up as the same digits.
        keys.insert(std::string(encoded).substr(std::string(encoded).size() - 8));
    }
    EXPECT_GT(keys.size(), 10u);
}
