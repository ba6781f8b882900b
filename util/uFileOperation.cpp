#include "util/uFileOperation.h"

#include <shellapi.h>

#include <vector>

namespace zembra {

namespace {

void DefaultMessagePump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: leave it for the message loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND DefaultOwnerWindow() {
    return GetActiveWindow();
}

void (*gMessagePump)() = DefaultMessagePump;
HWND (*gOwnerWindow)() = DefaultOwnerWindow;

// "C:", "C:\" and "\" name a whole drive or the current drive's root (and
// "C:" the current folder of that drive): never hand them to a delete.
bool IsDriveOrRoot(const std::string& Path) {
    if (Path == "\\")
        return true;
    return (Path.size() == 2 || (Path.size() == 3 && Path[2] == '\\')) && Path[1] == ':';
}

} // namespace

bool DeletePath(const std::string& Path) {
    if (Path.empty() || Path.find('\0') != std::string::npos || IsDriveOrRoot(Path) ||
        GetFileAttributesA(Path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;

    // The shell takes a list of names, each ended by a zero, the list by an
    // empty name.
    std::string from = Path;
    if (from.back() == '\\')
        from.pop_back();
    std::vector<char> names(from.begin(), from.end());
    names.push_back('\0');
    names.push_back('\0');

    SHFILEOPSTRUCTA op = {};
    op.hwnd = gOwnerWindow();
    op.wFunc = FO_DELETE;
    op.pFrom = names.data();
    op.pTo = nullptr;
    // FOF_NOERRORUI too: a failed deletion is never shown to the user.
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    op.fAnyOperationsAborted = FALSE;
    op.hNameMappings = nullptr;
    op.lpszProgressTitle = nullptr;
    const bool deleted = SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted;

    gMessagePump();
    return deleted;
}

void SetDeletePathMessagePump(void (*Pump)()) {
    gMessagePump = Pump ? Pump : DefaultMessagePump;
}

void SetDeletePathOwnerWindow(HWND (*Owner)()) {
    gOwnerWindow = Owner ? Owner : DefaultOwnerWindow;
}

} // namespace zembra
