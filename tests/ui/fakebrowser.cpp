// Stands in for a web browser in the launcher tests: appends its own command
// line, as one line, to the file named by ZEMBRA_FAKEBROWSER_LOG, or to
// fakebrowser.log beside itself, and exits. When ZEMBRA_FAKEBROWSER_ARGS
// names a file, it also appends there how the shell's parser splits that
// command line: the number of arguments after the program, then each one
// in brackets, on one line (UTF-8).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

void WriteArguments(const char* path) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args)
        return;
    if (std::FILE* f = std::fopen(path, "ab")) {
        std::fprintf(f, "%d", count > 0 ? count - 1 : 0);
        for (int i = 1; i < count; ++i) {
            char text[4096] = {};
            WideCharToMultiByte(CP_UTF8, 0, args[i], -1, text, sizeof(text) - 1, nullptr, nullptr);
            std::fprintf(f, " [%s]", text);
        }
        std::fprintf(f, "\n");
        std::fclose(f);
    }
    LocalFree(args);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char argsPath[MAX_PATH + 1] = {};
    const DWORD a = GetEnvironmentVariableA("ZEMBRA_FAKEBROWSER_ARGS", argsPath, MAX_PATH);
    if (a > 0 && a < MAX_PATH)
        WriteArguments(argsPath);

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
