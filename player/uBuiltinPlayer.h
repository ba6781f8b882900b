// The built-in movie player control: an in-process object with the same
// OLE, automation and event surface as the installed player's control,
// made directly (no registration, no class factory lookup).
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <ole2.h>

namespace zembra::player {

// A new control with one reference, asked for `iid`. E_OUTOFMEMORY when it
// cannot be made, E_NOINTERFACE for an interface it does not have.
HRESULT CreateBuiltinPlayer(REFIID iid, void** out) noexcept;

} // namespace zembra::player

#endif // _WIN32
