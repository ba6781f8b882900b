// Registry entries of the stand-in: the player's class id with this DLL as
// its in-process server (apartment threaded).
#pragma once

#include <windows.h>
#include <olectl.h>

namespace zembra::standin {

HRESULT RegisterServer() noexcept;
// Removes the class id's key; a missing key is not an error.
HRESULT UnregisterServer() noexcept;

} // namespace zembra::standin
