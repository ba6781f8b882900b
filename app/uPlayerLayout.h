// The main window's arithmetic, free of Windows calls: which player controls
// a mode and layout ask for, where a per-monitor control goes, the Flash
// variables, which input messages are passed on to the players, and the
// application title made from the program path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

struct TScreenRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TPlayerBounds {
    std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TPlayerBounds& o) const {
        return Left == o.Left && Top == o.Top && Width == o.Width && Height == o.Height;
    }
};

// One control to create: filling the client area, or over monitor Monitor.
struct TPlayerSlot {
    bool FillClient = false;
    int Monitor = 0;
};

// The controls for a mode: preview gives one client-filling control whatever
// the layout; run gives one client-filling control (layout 0), one over the
// first monitor (1), one per monitor (2), none for any other layout; every
// other mode gives none.
std::vector<TPlayerSlot> PlanPlayers(bool PreviewMode, bool RunMode, std::uint8_t Layout,
                                     int MonitorCount);

// Bounds of a control over Monitor, relative to the main window, which
// covers Desktop (the bounding rectangle of all monitors).
TPlayerBounds PlayerBoundsOnMonitor(const TScreenRect& Monitor, const TScreenRect& Desktop);

// "zembramode=" + ModeText, behind ExtraFlashVars and "&" when there are any.
std::string BuildFlashVars(const std::string& ExtraFlashVars, const std::string& ModeText);

// Key downs and ups and every mouse button and wheel message (0x0201 to
// 0x020A); not mouse moves, not characters.
bool IsForwardedInputMessage(unsigned Msg);

// Inclusive message ranges that a preview player swallows: mouse, keyboard,
// tablet and pen.
struct TMessageRange {
    unsigned First, Last;
};
const std::vector<TMessageRange>& PreviewBlockedRanges();

// The file-name part of Path without its extension ("C:\\a\\My.scr" gives
// "My"). Double-byte aware.
std::string TitleFromPath(const std::string& Path);

} // namespace zembra
