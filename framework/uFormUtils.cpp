#include "framework/uFormUtils.h"

#include "framework/uControls.h"

#include <utility>

namespace zembra {

BOOL SetTopMostHandle(HWND window, UINT flags) noexcept {
    return SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                        flags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

namespace {

// Collects either the full bounds or the work area of every monitor.
struct MonitorCollector {
    bool workArea;
    std::vector<PlacementRect> rects;
};

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM param) noexcept {
    auto* collector = reinterpret_cast<MonitorCollector*>(param);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = collector->workArea ? info.rcWork : info.rcMonitor;
        try {
            collector->rects.push_back({r.left, r.top, r.right, r.bottom});
        } catch (...) {
            return FALSE;
        }
    }
    return TRUE;
}

std::vector<PlacementRect> CollectMonitors(bool workArea) {
    MonitorCollector collector{workArea, {}};
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&collector));
    return std::move(collector.rects);
}

} // namespace

std::vector<PlacementRect> MonitorWorkAreas() { return CollectMonitors(true); }

std::vector<PlacementRect> MonitorBounds() { return CollectMonitors(false); }

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
