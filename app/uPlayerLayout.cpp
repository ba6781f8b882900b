#include "app/uPlayerLayout.h"

#include "app/uSafeName.h"
#include "util/uMbcs.h"

namespace zembra {

std::vector<TPlayerSlot> PlanPlayers(bool PreviewMode, bool RunMode, std::uint8_t Layout,
                                     int MonitorCount) {
    std::vector<TPlayerSlot> slots;
    if (PreviewMode) {
        slots.push_back({true, 0});
    } else if (RunMode) {
        switch (Layout) {
        case 0:
            slots.push_back({true, 0});
            break;
        case 1:
            slots.push_back({false, 0});
            break;
        case 2:
            for (int i = 0; i < MonitorCount; ++i)
                slots.push_back({false, i});
            break;
        default:
            break;
        }
    }
    return slots;
}

TPlayerBounds PlayerBoundsOnMonitor(const TScreenRect& Monitor, const TScreenRect& Desktop) {
    // 64-bit intermediates: rectangles from the system never overflow, but
    // nothing here should trap on odd ones either.
    auto narrow = [](std::int64_t v) { return static_cast<std::int32_t>(v); };
    return {narrow(std::int64_t{Monitor.Left} - Desktop.Left),
            narrow(std::int64_t{Monitor.Top} - Desktop.Top),
            narrow(std::int64_t{Monitor.Right} - Monitor.Left),
            narrow(std::int64_t{Monitor.Bottom} - Monitor.Top)};
}

std::string BuildFlashVars(const std::string& ExtraFlashVars, const std::string& ModeText) {
    std::string vars = "zembramode=" + ModeText;
    if (!ExtraFlashVars.empty())
        vars = ExtraFlashVars + "&" + vars;
    return vars;
}

bool IsForwardedInputMessage(unsigned Msg) {
    return Msg == 0x0100 || Msg == 0x0101 || (Msg >= 0x0201 && Msg <= 0x020A);
}

const std::vector<TMessageRange>& PreviewBlockedRanges() {
    static const std::vector<TMessageRange> ranges = {
        {0x0200, 0x020A}, {0x0100, 0x0108}, {0x02C0, 0x02DF}, {0x0380, 0x038F}};
    return ranges;
}

std::string TitleFromPath(const std::string& Path) {
    std::string name = NamePart(Path);
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < name.size(); i += MbcsCharLength(name, i))
        if (name[i] == '.')
            dot = i;
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace zembra
