// Stands in for a web browser in the launcher tests: appends its own command
// line, as one line, to the file named by ZEMBRA_FAKEBROWSER_LOG, or to
// fakebrowser.log beside itself, and exits.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetEnvironmentVariableA("ZEMBRA_FAKEBROWSER_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return 1;
        char* slash = std::strrchr(path, '\\');
        if (!slash || static_cast<size_t>(slash - path) + 16 >= MAX_PATH)
            return 1;
        std::strcpy(slash + 1, "fakebrowser.log");
    }
    std::FILE* f = std::fopen(path, "ab");
    if (!f)
        return 1;
    std::fprintf(f, "%s\n", GetCommandLineA());
    std::fclose(f);
    return 0;
}
