#include "uFakeBrowser.h"

#include <fstream>

namespace zembra::test {

namespace {
constexpr char ClientsKey[] = "Software\\Clients\\StartMenuInternet";
constexpr char FakeClient[] = "ZembraFakeBrowser";
} // namespace

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    const std::size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

std::string FakeBrowserPath() {
    // The launcher drops every token of the browser command that holds a
    // "-" (a switch), so the build folder's path would not survive: install
    // a copy under a path that has none, but has blanks, which must.
    static const std::string path = [] {
        const std::string folder = "C:\\Zembra Test Browser";
        const std::string target = folder + "\\fakebrowser.exe";
        CreateDirectoryA(folder.c_str(), nullptr);
        CopyFileA((ProgramFolder() + "fakebrowser.exe").c_str(), target.c_str(), FALSE);
        return target;
    }();
    return path;
}

TFakeBrowserLog::TFakeBrowserLog(const std::string& name)
    : path_(ProgramFolder() + name + ".log"), argsPath_(ProgramFolder() + name + ".args") {
    DeleteFileA(path_.c_str());
    DeleteFileA(argsPath_.c_str());
    SetEnvironmentVariableA("ZEMBRA_FAKEBROWSER_LOG", path_.c_str());
    SetEnvironmentVariableA("ZEMBRA_FAKEBROWSER_ARGS", argsPath_.c_str());
}

TFakeBrowserLog::~TFakeBrowserLog() {
    SetEnvironmentVariableA("ZEMBRA_FAKEBROWSER_LOG", nullptr);
    SetEnvironmentVariableA("ZEMBRA_FAKEBROWSER_ARGS", nullptr);
    DeleteFileA(path_.c_str());
    DeleteFileA(argsPath_.c_str());
}

namespace {
std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
} // namespace

std::vector<std::string> TFakeBrowserLog::Lines() const {
    return ReadLines(path_);
}

std::vector<std::string> TFakeBrowserLog::ArgumentLines() const {
    return ReadLines(argsPath_);
}

std::vector<std::string> TFakeBrowserLog::WaitForLines(std::size_t count, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    std::vector<std::string> lines = Lines();
    while (lines.size() < count && GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(50);
        lines = Lines();
    }
    return lines;
}

void RegisterFakeBrowser(TTestRegistry& registry, const std::string& commandTail) {
    registry.SetDefault(HKEY_LOCAL_MACHINE, ClientsKey, FakeClient);
    registry.SetDefault(HKEY_LOCAL_MACHINE,
                        std::string(ClientsKey) + "\\" + FakeClient + "\\shell\\open\\command",
                        "\"" + FakeBrowserPath() + "\"" + commandTail);
}

void UnregisterBrowsers(TTestRegistry& registry) {
    registry.ClearDefault(HKEY_LOCAL_MACHINE, ClientsKey);
    registry.ClearDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\.htm");
}

} // namespace zembra::test
