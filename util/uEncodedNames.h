// The package item names the loader looks for and the two Scale texts, in
// encoded hexadecimal form. Decode with DecodeHexText right before use;
// zembra-encode prints the encoded form of a plain text.
#pragma once

namespace zembra {

extern const char* const kItemLoop;
extern const char* const kItemStretchToFit;
extern const char* const kItemRightClick;
extern const char* const kItemMenu;
extern const char* const kItemQuality;
extern const char* const kItemFlashVars;
extern const char* const kItemBackgroundColor;
extern const char* const kItemMovieFileName;
extern const char* const kItemMovie;
extern const char* const kItemThrottlePreview;
extern const char* const kItemRequiredVersion;
extern const char* const kItemExtraFileCount;
// Prefixes of the indexed items; the index follows in decimal.
extern const char* const kItemExtraFileNamePrefix;
extern const char* const kItemExtraFileDataPrefix;
extern const char* const kItemExitOnMouseMove;
extern const char* const kItemExitOnKeyDown;
extern const char* const kItemShowCursor;
extern const char* const kItemLayout;
extern const char* const kItemAboutCaption;
extern const char* const kItemAboutLinkText;
extern const char* const kItemAboutLinkURL;
extern const char* const kItemAboutCloseButton;
extern const char* const kItemAboutImage;
// Which player control plays the movie (auto, system, builtin).
extern const char* const kItemPlayer;

// Scale for the stretch choice, and for the aspect-keeping one.
extern const char* const kScaleExactFit;
extern const char* const kScaleShowAll;

} // namespace zembra
