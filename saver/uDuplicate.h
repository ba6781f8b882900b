// Single-instance guard: a named mutex whose mere existence tells that some
// process holds the name. Nobody owns or waits on it; the name lives as long
// as any process keeps a handle (process exit closes them).
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

namespace zembra {

// True when no process held Name and a handle to a new mutex of that name is
// now in Guard. False (Guard := nullptr) when the name is already held or the
// mutex cannot be created. Two processes racing between the look-up and the
// creation may both get true.
bool CreateInstanceGuard(HANDLE& guard, const std::string& name) noexcept;

// Gives up a guard; a null guard is left alone. Guard is null afterwards.
void ReleaseInstanceGuard(HANDLE& guard) noexcept;

// CreateInstanceGuard on the unit's own guard handle.
bool RegisterInstance(const std::string& name) noexcept;

// ReleaseInstanceGuard on the unit's own guard handle.
void UnregisterInstance() noexcept;

} // namespace zembra

#endif // _WIN32
