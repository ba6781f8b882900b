// COM for the main thread, for the whole life of the program.
//
// uCommonUnit.cpp holds a static object whose constructor calls CoInitialize
// during static initialisation, before main/WinMain runs (with a high
// initialisation priority, so ahead of ordinary static objects), and whose
// destructor calls CoUninitialize after main returns. Every program linking
// zembra_util gets it: the library makes the linker keep that object file.
// Inside a DLL it does nothing (COM must not be initialised while the loader
// lock is held).
#pragma once

namespace zembra {

// True when the start-up call initialised COM for the main thread.
bool ComInitialized() noexcept;

} // namespace zembra
