// The about dialog's layout arithmetic, free of Windows calls: the dialog
// feeds in its controls' sizes, its frame and the monitors' work areas and
// applies the result to its windows.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra {

struct LayoutRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct LayoutBox {
    std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

struct DialogLayoutInput {
    // The picture's natural size (its bitmap's, or the design size without one).
    std::int32_t PictureWidth = 0, PictureHeight = 0;
    bool LabelVisible = false;
    std::int32_t LabelWidth = 0, LabelHeight = 0;
    bool ButtonVisible = false;
    std::int32_t ButtonWidth = 0, ButtonHeight = 0;
    // Outer size minus client size of the form: frame and title bar.
    std::int32_t FrameWidth = 0, FrameHeight = 0;
    // Work area of every monitor; the picture must fit the smallest of them.
    std::vector<LayoutRect> WorkAreas;
    // Work area of the monitor that shows the main window; the form is
    // centred on it.
    LayoutRect CenterArea;
};

struct DialogLayout {
    // True when the picture had to shrink: auto size off, stretch on.
    bool PictureStretched = false;
    LayoutBox Picture, Label, Button; // Label and Button only when visible
    std::int32_t ClientWidth = 0, ClientHeight = 0;
    LayoutBox Form; // outer bounds, centred on CenterArea
};

// The largest size of the same aspect ratio as Width x Height that fits
// within both bounds, in whole pixels truncated toward zero, each side at
// least 1: the tighter bound is met exactly and the other side scales with
// it. A size that already fits is returned unchanged.
void FitKeepingAspect(std::int32_t& width, std::int32_t& height, std::int32_t boundWidth,
                      std::int32_t boundHeight);

// Picture on top, label 4 pixels below it, button 4 pixels below that and a
// 4-pixel margin under the button; each row centred in the content width,
// which is the picture's width but at least a visible label's or button's
// width + 16. A picture larger than the smallest work area (less the frame
// and the rows below it) is shrunk to fit, keeping its aspect ratio.
DialogLayout ComputeDialogLayout(const DialogLayoutInput& in);

} // namespace zembra
