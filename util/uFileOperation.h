// Deleting a file or a whole folder through the shell's file operation,
// without progress window, confirmation or error box.
#pragma once

#include <string>

#include <windows.h>

namespace zembra {

// Deletes the file or folder Path (a folder with all its files and
// subfolders; nothing goes to the recycle bin). One trailing backslash is
// ignored. False at once, without calling the shell, when nothing of that
// name exists (wildcards name nothing) or Path is a drive root; false when
// the shell reports a failure. Lets the waiting window messages run before it
// returns. Main thread only.
bool DeletePath(const std::string& Path);

// The routine that processes the waiting window messages after a deletion.
// nullptr restores the default: a PeekMessage/TranslateMessage/
// DispatchMessage loop over the calling thread's queue that leaves a
// WM_QUIT in place.
void SetDeletePathMessagePump(void (*Pump)());

// The routine that gives the owner window for the shell operation. nullptr
// restores the default, GetActiveWindow().
void SetDeletePathOwnerWindow(HWND (*Owner)());

} // namespace zembra
