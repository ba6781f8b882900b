// Window placement: topmost band, clamping a size to the monitors' work
// areas, centring in a rectangle. The arithmetic lives in uPlacementMath.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/uPlacementMath.h"

namespace zembra {

class TWinControl;
class TForm;

// Moves the window to the top of the topmost band without moving, resizing
// or activating it; Flags are added to SWP_NOSIZE|SWP_NOMOVE|SWP_NOACTIVATE.
BOOL SetTopMostHandle(HWND window, UINT flags) noexcept;

// The same for a control's window, which is created if it does not exist.
BOOL SetTopMost(TWinControl& control, UINT flags);

// The work area of every monitor, in the system's enumeration order.
std::vector<PlacementRect> MonitorWorkAreas();
// The full bounds of every monitor, in the system's enumeration order.
std::vector<PlacementRect> MonitorBounds();

// Clamps Width and Height to the smallest monitor work area less the margins.
void FitToWorkArea(std::int32_t& width, std::int32_t& height, std::int32_t marginX,
                   std::int32_t marginY);

// Centres the form (keeping its size) in Rect.
void CenterInRect(TForm& form, const RECT& rect);

// Centres a top-level window (keeping its size) in Rect.
void CenterWindowInRect(HWND window, const RECT& rect) noexcept;

} // namespace zembra

#endif // _WIN32
