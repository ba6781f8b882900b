#include "uStandinModule.h"

namespace zembra::standin {
namespace {

HINSTANCE g_instance = nullptr;
volatile LONG g_locks = 0;
volatile LONG g_classRegistered = 0;

} // namespace

void SetModuleInstance(HINSTANCE instance) noexcept {
    g_instance = instance;
}
HINSTANCE ModuleInstance() noexcept {
    return g_instance;
}

void LockModule() noexcept {
    InterlockedIncrement(&g_locks);
}
void UnlockModule() noexcept {
    InterlockedDecrement(&g_locks);
}
bool ModuleInUse() noexcept {
    return InterlockedCompareExchange(&g_locks, 0, 0) != 0;
}

const wchar_t* ViewClassName() noexcept {
    return L"ZembraPlayerStandinView";
}

bool EnsureViewClass(WNDPROC proc) noexcept {
    if (InterlockedCompareExchange(&g_classRegistered, 0, 0) != 0)
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    // Double clicks reach the player as the real one would see them.
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = ViewClassName();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    InterlockedExchange(&g_classRegistered, 1);
    return true;
}

void UnregisterViewClass() noexcept {
    if (InterlockedExchange(&g_classRegistered, 0) != 0)
        UnregisterClassW(ViewClassName(), g_instance);
}

} // namespace zembra::standin
