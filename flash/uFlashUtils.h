// Questions about the player control installed on the machine. Nothing is
// cached: every call probes the control and reads the registry again.
// COM must be initialised on the calling thread. None of these throws.
#pragma once
#ifdef _WIN32

#include <string>

namespace zembra {

// True only when an instance of the player control can be created right now
// (CoCreateInstance answers exactly S_OK).
bool CanCreateFlashPlayer() noexcept;

// Sets Version to the product version of the registered player module:
// "0.0.0.0" when the registration or its file is missing, empty when the
// file has no readable version resource.
void GetFlashPlayerVersion(std::string& Version) noexcept;

// True when the control can be created and its version is at least
// Required (compared with VersionAtLeast). The registry is not read when
// the control cannot be created.
bool IsFlashPlayerVersionAtLeast(const std::string& Required) noexcept;

} // namespace zembra

#endif // _WIN32
