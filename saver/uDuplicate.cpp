#include "uDuplicate.h"

namespace zembra {

namespace {

// The unit's own guard, used by the screen saver's single-instance check.
std::string gGuardName;
UniqueHandle gGuardHandle;

} // namespace

bool CreateInstanceGuard(UniqueHandle& guard, const std::string& name) noexcept {
    ReleaseInstanceGuard(guard);
    UniqueHandle existing(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str()));
    if (existing) {
        // Owns nothing, so releasing changes nothing; it only mirrors the
        // release on our own guards.
        ReleaseMutex(existing.Get());
        return false;
    }
    guard.Reset(CreateMutexA(nullptr, FALSE, name.c_str()));
    return guard.Valid();
}

void ReleaseInstanceGuard(UniqueHandle& guard) noexcept {
    if (guard) {
        ReleaseMutex(guard.Get());
        guard.Close();
    }
}

bool RegisterInstance(const std::string& name) noexcept {
    try {
        gGuardName = name;
    } catch (...) {
        // Out of memory for a short name: the guard still works without it.
    }
    return CreateInstanceGuard(gGuardHandle, name);
}

void UnregisterInstance() noexcept {
    ReleaseInstanceGuard(gGuardHandle);
}

} // namespace zembra
