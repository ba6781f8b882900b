// The order in which the Tab key visits what can take the focus: by the
// objects' tabIndex when any has one, otherwise by where they are on the
// stage, rows from the top, each row from the left.
#pragma once

#include <cstdint>
#include <vector>

namespace zembra::timeline {

struct TabStop {
    uint32_t id = 0;
    bool hasIndex = false;
    double index = 0; // tabIndex when hasIndex
    // The top-left corner of its bounds on the stage, whole pixels.
    double x = 0, y = 0;
};

// `stops` in display order (bottom to top, parents first). When any stop
// has a tabIndex, only those take part, by ascending index (equal indexes
// keep display order); otherwise all take part by position, and of those
// at the same place only the first in display order.
std::vector<uint32_t> TabOrder(const std::vector<TabStop>& stops);

// The stop after `current` in `order` (before it when `backward`),
// wrapping around; the first (last) when `current` is not in the order;
// 0 when the order is empty.
uint32_t NextTabStop(const std::vector<uint32_t>& order, uint32_t current, bool backward);

} // namespace zembra::timeline
