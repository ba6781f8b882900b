// Metrics of the device font the player falls back to when a field's font
// is not embedded: a sans-serif table for the printable ASCII range, one
// width for the rest. Units are ems (multiply by the point size).
#pragma once

namespace zembra::text {

struct DeviceFont {
    static constexpr double kAscent = 0.905;
    static constexpr double kDescent = 0.212;
    // Advance of a UTF-16 code unit.
    static double Advance(char16_t c);
};

} // namespace zembra::text
