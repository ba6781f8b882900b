// Metrics of the device fonts the player falls back to when a field's font
// is not embedded: a serif table (the default "Times New Roman", "_serif")
// and a sans-serif one for every other face, for the printable ASCII range,
// one width for the rest. Units are ems (multiply by the point size).
#pragma once

#include <string>

namespace zembra::text {

class DeviceFont {
  public:
    // The device font standing in for a face name.
    static DeviceFont For(const std::string& face);

    double Ascent() const { return serif_ ? 0.891 : 0.905; }
    double Descent() const { return serif_ ? 0.216 : 0.212; }
    // Advance of a UTF-16 code unit.
    double Advance(char16_t c) const;

    explicit DeviceFont(bool serif) : serif_(serif) {}
    bool Serif() const { return serif_; }

  private:
    bool serif_;
};

} // namespace zembra::text
