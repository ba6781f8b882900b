#include "uDuplicate.h"

namespace zembra {

namespace {

// The unit's own guard, used by the screen saver's single-instance check.
std::string gGuardName;
HANDLE gGuardHandle = nullptr;

} // namespace

bool CreateInstanceGuard(HANDLE& guard, const std::string& name) noexcept {
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
    if (existing) {
        // Owns nothing, so releasing changes nothing; it only mirrors the
        // release on our own guards.
        ReleaseMutex(existing);
        CloseHandle(existing);
        guard = nullptr;
        return false;
    }
    guard = CreateMutexA(nullptr, FALSE, name.c_str());
    return guard != nullptr;
}

void ReleaseInstanceGuard(HANDLE& guard) noexcept {
    if (guard) {
        ReleaseMutex(guard);
        CloseHandle(guard);
        guard = nullptr;
    }
}

bool RegisterInstance(const std::string& name) noexcept {
    try {
        gGuardName = name;
    } catch (...) {
        // Out of memory for a short name: the guard still works without it.
    }
    // A guard held from an earlier call would otherwise leak.
    ReleaseInstanceGuard(gGuardHandle);
    return CreateInstanceGuard(gGuardHandle, name);
}

void UnregisterInstance() noexcept {
    ReleaseInstanceGuard(gGuardHandle);
}

} // namespace zembra
