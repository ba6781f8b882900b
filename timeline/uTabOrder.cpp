#include "timeline/uTabOrder.h"

#include <algorithm>

namespace zembra::timeline {

std::vector<uint32_t> TabOrder(const std::vector<TabStop>& stops) {
    std::vector<TabStop> chosen;
    const bool custom =
        std::any_of(stops.begin(), stops.end(), [](const TabStop& s) { return s.hasIndex; });
    for (const TabStop& s : stops)
        if (!custom || s.hasIndex)
            chosen.push_back(s);
    if (custom)
        std::stable_sort(chosen.begin(), chosen.end(),
                         [](const TabStop& a, const TabStop& b) { return a.index < b.index; });
    else
        std::stable_sort(chosen.begin(), chosen.end(), [](const TabStop& a, const TabStop& b) {
            return a.y != b.y ? a.y < b.y : a.x < b.x;
        });
    std::vector<uint32_t> out;
    out.reserve(chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i) {
        // Tab moves on to a later place: others at the same one are never reached.
        if (!custom && i > 0 && chosen[i].x == chosen[i - 1].x && chosen[i].y == chosen[i - 1].y)
            continue;
        out.push_back(chosen[i].id);
    }
    return out;
}

uint32_t NextTabStop(const std::vector<uint32_t>& order, uint32_t current, bool backward) {
    if (order.empty())
        return 0;
    auto it = current ? std::find(order.begin(), order.end(), current) : order.end();
    if (it == order.end())
        return backward ? order.back() : order.front();
    if (backward)
        return it == order.begin() ? order.back() : *(it - 1);
    ++it;
    return it == order.end() ? order.front() : *it;
}

} // namespace zembra::timeline
