#include "uDialogLayout.h"

#include <algorithm>
#include <limits>

namespace zembra {

namespace {

constexpr std::int32_t RowGap = 4;
constexpr std::int32_t SideMargin = 16;

std::int32_t ClampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Centres a row of the given size in the content width, below y.
LayoutBox PlaceRow(std::int32_t contentWidth, std::int32_t width, std::int32_t height,
                   std::int32_t& y) {
    LayoutBox box;
    box.Left = (contentWidth - width) / 2;
    box.Top = y + RowGap;
    box.Width = width;
    box.Height = height;
    y = box.Top + box.Height;
    return box;
}

} // namespace

void FitKeepingAspect(std::int32_t& width, std::int32_t& height, std::int32_t boundWidth,
                      std::int32_t boundHeight) {
    if (width <= 0 || height <= 0)
        return;
    const std::int64_t w0 = width, h0 = height;
    const std::int64_t wb = std::max<std::int32_t>(boundWidth, 1);
    const std::int64_t hb = std::max<std::int32_t>(boundHeight, 1);
    if (w0 <= wb && h0 <= hb)
        return;
    // Compare wb/w0 with hb/h0 without division: the smaller ratio decides.
    std::int64_t w, h;
    if (wb * h0 <= hb * w0) {
        w = wb;
        h = h0 * wb / w0;
    } else {
        h = hb;
        w = w0 * hb / h0;
    }
    width = static_cast<std::int32_t>(std::max<std::int64_t>(w, 1));
    height = static_cast<std::int32_t>(std::max<std::int64_t>(h, 1));
}

DialogLayout ComputeDialogLayout(const DialogLayoutInput& in) {
    DialogLayout out;

    // The rows below the picture and the frame take their share of the
    // screen before the picture does.
    std::int64_t reserveX = in.FrameWidth;
    std::int64_t reserveY = in.FrameHeight;
    if (in.LabelVisible)
        reserveY += std::int64_t(in.LabelHeight) + RowGap;
    // The margin under the button counts too, or a shrunk picture would
    // leave the box that much taller than the screen.
    if (in.ButtonVisible)
        reserveY += std::int64_t(in.ButtonHeight) + 2 * RowGap;

    // Without a monitor nothing is clamped.
    std::int64_t boundW = std::numeric_limits<std::int32_t>::max();
    std::int64_t boundH = std::numeric_limits<std::int32_t>::max();
    for (const LayoutRect& r : in.WorkAreas) {
        boundW = std::min<std::int64_t>(boundW, std::int64_t(r.Right) - r.Left);
        boundH = std::min<std::int64_t>(boundH, std::int64_t(r.Bottom) - r.Top);
    }
    boundW -= reserveX;
    boundH -= reserveY;

    std::int32_t picW = in.PictureWidth;
    std::int32_t picH = in.PictureHeight;
    if (picW > boundW || picH > boundH) {
        out.PictureStretched = true;
        FitKeepingAspect(picW, picH, ClampToInt32(boundW), ClampToInt32(boundH));
    }

    std::int32_t content = picW;
    if (in.LabelVisible)
        content = std::max(content, ClampToInt32(std::int64_t(in.LabelWidth) + SideMargin));
    if (in.ButtonVisible)
        content = std::max(content, ClampToInt32(std::int64_t(in.ButtonWidth) + SideMargin));

    std::int32_t y = -RowGap;
    out.Picture = PlaceRow(content, picW, picH, y);
    if (in.LabelVisible)
        out.Label = PlaceRow(content, in.LabelWidth, in.LabelHeight, y);
    if (in.ButtonVisible) {
        out.Button = PlaceRow(content, in.ButtonWidth, in.ButtonHeight, y);
        y += RowGap;
    }

    out.ClientWidth = content;
    out.ClientHeight = y;

    const std::int64_t formW = std::int64_t(content) + in.FrameWidth;
    const std::int64_t formH = std::int64_t(y) + in.FrameHeight;
    const std::int64_t areaW = std::int64_t(in.CenterArea.Right) - in.CenterArea.Left;
    const std::int64_t areaH = std::int64_t(in.CenterArea.Bottom) - in.CenterArea.Top;
    out.Form.Left = ClampToInt32(in.CenterArea.Left + (areaW - formW) / 2);
    out.Form.Top = ClampToInt32(in.CenterArea.Top + (areaH - formH) / 2);
    out.Form.Width = ClampToInt32(formW);
    out.Form.Height = ClampToInt32(formH);
    return out;
}

} // namespace zembra
