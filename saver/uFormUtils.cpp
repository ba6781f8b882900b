#include "uFormUtils.h"

#include "framework/uControls.h"

namespace zembra {

BOOL SetTopMostHandle(HWND window, UINT flags) noexcept {
    return SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                        flags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

namespace {

BOOL CALLBACK CollectWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM param) noexcept {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(monitor, &info)) {
        try {
            reinterpret_cast<std::vector<PlacementRect>*>(param)->push_back(
                {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
        } catch (...) {
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

std::vector<PlacementRect> MonitorWorkAreas() {
    std::vector<PlacementRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, CollectWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

void FitToWorkArea(std::int32_t& width, std::int32_t& height, std::int32_t marginX,
                   std::int32_t marginY) {
    FitSizeToWorkAreas(width, height, marginX, marginY, MonitorWorkAreas());
}

void CenterWindowInRect(HWND window, const RECT& rect) noexcept {
    RECT current{};
    if (!GetWindowRect(window, &current))
        return;
    const PlacementBounds b =
        CenterBoundsInRect(current.right - current.left, current.bottom - current.top,
                           {rect.left, rect.top, rect.right, rect.bottom});
    SetWindowPos(window, nullptr, b.Left, b.Top, b.Width, b.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL SetTopMost(TWinControl& control, UINT flags) {
    return SetTopMostHandle(control.Handle(), flags);
}

void CenterInRect(TForm& form, const RECT& rect) {
    const PlacementBounds b = CenterBoundsInRect(form.Width(), form.Height(),
                                                 {rect.left, rect.top, rect.right, rect.bottom});
    form.SetBounds(b.Left, b.Top, b.Width, b.Height);
}

} // namespace zembra
