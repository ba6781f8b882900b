// Decoy for the launcher test: placed where an unquoted path with a blank
// would be cut off. If it ever runs, it leaves "<its own path>.ran" behind.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH + 8] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    lstrcatA(path, ".ran");
    if (FILE* f = std::fopen(path, "w")) {
        std::fprintf(f, "%s\n", GetCommandLineA());
        std::fclose(f);
    }
    return 0;
}
