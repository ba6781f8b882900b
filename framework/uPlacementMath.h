// Window placement arithmetic, free of Windows calls: the Windows side feeds
// in the monitor work areas it reads from the system.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra {

struct PlacementRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct PlacementBounds {
    std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

// Clamps Width and Height to the smallest work-area width and height found
// among the monitors, less the margins. The two minima may come from
// different monitors; with no monitor nothing is clamped.
void FitSizeToWorkAreas(std::int32_t& width, std::int32_t& height, std::int32_t marginX,
                        std::int32_t marginY, const std::vector<PlacementRect>& workAreas);

// Bounds that centre a width x height box in Rect (halves truncate toward
// zero). A box larger than the rectangle overhangs it evenly.
PlacementBounds CenterBoundsInRect(std::int32_t width, std::int32_t height,
                                   const PlacementRect& rect);

// The drawing size a preview works at: the largest multiple of the preview
// size that fits the screen size, so the picture shrinks by a whole factor.
// 0 when the preview size is 0 or negative.
std::int32_t PreviewLogicalExtent(std::int32_t screenExtent, std::int32_t previewExtent);

} // namespace zembra
