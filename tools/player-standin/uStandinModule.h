// Process-wide state of the stand-in DLL: its module handle, the count of
// live objects and server locks (for DllCanUnloadNow) and the window class
// of the in-place view.
#pragma once

#include <windows.h>

namespace zembra::standin {

void SetModuleInstance(HINSTANCE instance) noexcept;
HINSTANCE ModuleInstance() noexcept;

// Every live COM object and every IClassFactory::LockServer(TRUE) holds one.
void LockModule() noexcept;
void UnlockModule() noexcept;
bool ModuleInUse() noexcept;

// Registers the view's window class on first use; false when that fails.
bool EnsureViewClass(WNDPROC proc) noexcept;
const wchar_t* ViewClassName() noexcept;
// Called when the DLL is unloaded.
void UnregisterViewClass() noexcept;

} // namespace zembra::standin
