#include "framework/uPlacementMath.h"

#include <algorithm>
#include <limits>

namespace zembra {

void FitSizeToWorkAreas(std::int32_t& width, std::int32_t& height, std::int32_t marginX,
                        std::int32_t marginY, const std::vector<PlacementRect>& workAreas) {
    // 64-bit intermediates: a margin subtracted from the "no monitor" limit
    // or from a degenerate area must not wrap around.
    std::int64_t smallestWidth = std::numeric_limits<std::int32_t>::max();
    std::int64_t smallestHeight = std::numeric_limits<std::int32_t>::max();
    for (const PlacementRect& r : workAreas) {
        smallestWidth = std::min<std::int64_t>(smallestWidth, std::int64_t(r.Right) - r.Left);
        smallestHeight = std::min<std::int64_t>(smallestHeight, std::int64_t(r.Bottom) - r.Top);
    }
    smallestWidth -= marginX;
    smallestHeight -= marginY;
    if (smallestWidth < width)
        width = static_cast<std::int32_t>(
            std::max<std::int64_t>(smallestWidth, std::numeric_limits<std::int32_t>::min()));
    if (height > smallestHeight)
        height = static_cast<std::int32_t>(
            std::max<std::int64_t>(smallestHeight, std::numeric_limits<std::int32_t>::min()));
}

PlacementBounds CenterBoundsInRect(std::int32_t width, std::int32_t height,
                                   const PlacementRect& rect) {
    PlacementBounds b;
    const std::int64_t rectWidth = std::int64_t(rect.Right) - rect.Left;
    const std::int64_t rectHeight = std::int64_t(rect.Bottom) - rect.Top;
    b.Left = static_cast<std::int32_t>(rect.Left + (rectWidth - width) / 2);
    b.Top = static_cast<std::int32_t>(rect.Top + (rectHeight - height) / 2);
    b.Width = width;
    b.Height = height;
    return b;
}

std::int32_t PreviewLogicalExtent(std::int32_t screenExtent, std::int32_t previewExtent) {
    if (previewExtent <= 0)
        return 0;
    return (screenExtent / previewExtent) * previewExtent;
}

} // namespace zembra
