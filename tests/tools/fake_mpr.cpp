// Stand-in for the system's MPR.DLL in password tests: its change-password
// function fails without showing anything. Loaded in place of the real one
// with WINEDLLOVERRIDES="mpr=n" from the saver's own folder.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD reserved1,
                                           DWORD reserved2) {
    // FAKE_MPR_LOG names a file that records each call, so a test can see
    // what the saver passed.
    if (const char* log = std::getenv("FAKE_MPR_LOG")) {
        if (FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "PwdChangePasswordA %s %lu %lu %lu\n", provider ? provider : "(null)",
                         static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(parent)), reserved1,
                         reserved2);
            std::fclose(f);
        }
    }
    return ERROR_ACCESS_DENIED;
}
