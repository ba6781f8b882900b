// Stand-in for the system's Password.CPL in password tests. Its verification
// answers from a file instead of a dialog: the file named by
// FAKE_PASSWORD_ANSWER holds "1" (right password) or anything else (wrong).
// Each call appends one line to the file named by FAKE_PASSWORD_LOG.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND focus) {
    BOOL right = FALSE;
    if (const char* answer = std::getenv("FAKE_PASSWORD_ANSWER")) {
        if (FILE* f = std::fopen(answer, "r")) {
            right = std::fgetc(f) == '1';
            std::fclose(f);
        }
    }
    CURSORINFO ci{};
    ci.cbSize = sizeof(ci);
    GetCursorInfo(&ci);
    if (const char* log = std::getenv("FAKE_PASSWORD_LOG")) {
        if (FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "VerifyScreenSavePwd focus=%lu answer=%d cursorshowing=%d\n",
                         static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(focus)),
                         right ? 1 : 0, (ci.flags & CURSOR_SHOWING) ? 1 : 0);
            std::fclose(f);
        }
    }
    return right;
}
