// Single-instance guard: a named mutex whose mere existence tells that some
// process holds the name. Nobody owns or waits on it; the name lives as long
// as any process keeps a handle (process exit closes them).
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "util/uHandles.h"

namespace zembra {

// True when no process held Name and a handle to a new mutex of that name is
// now in Guard. False (Guard empty) when the name is already held or the
// mutex cannot be created. A guard held before is given up first. Two
// processes racing between the look-up and the creation may both get true.
bool CreateInstanceGuard(UniqueHandle& guard, const std::string& name) noexcept;

// Gives up a guard; an empty guard is left alone. Guard is empty afterwards.
// A guard that is simply destroyed is given up as well.
void ReleaseInstanceGuard(UniqueHandle& guard) noexcept;

// CreateInstanceGuard on the unit's own guard handle.
bool RegisterInstance(const std::string& name) noexcept;

// ReleaseInstanceGuard on the unit's own guard handle.
void UnregisterInstance() noexcept;

} // namespace zembra

#endif // _WIN32
