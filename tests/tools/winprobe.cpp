// winprobe: a small Windows helper for the scenario tests. It looks at the
// windows, processes, mutexes and registry of the Wine prefix from inside,
// and makes a host window for preview tests. Usage is documented at the top
// of tests/scenario/harness.py; every command prints plain text lines and
// exits 0 on success, 1 on failure, 2 on a usage error.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

std::wstring Wide(const char* s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s, -1, &w[0], n);
    w.resize(static_cast<size_t>(n - 1));
    return w;
}

// Newlines inside a window text would break the one-line-per-window output.
std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    return s;
}

unsigned long ParseNumber(const char* s) {
    return std::strtoul(s, nullptr, 0);
}

// Handles are pointer-sized: parsed and printed at full width on 64-bit.
HWND ParseHwnd(const char* s) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(s, nullptr, 0)));
}

unsigned long long HandleValue(const void* h) {
    return static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h));
}

struct ListFilter {
    DWORD pid = 0;
    std::wstring className;
    HWND parent = nullptr;
};

void PrintWindow(HWND w, int depth) {
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(w, &pid);
    RECT r{};
    GetWindowRect(w, &r);
    RECT c{};
    GetClientRect(w, &c);
    wchar_t cls[256] = L"";
    GetClassNameW(w, cls, 256);
    // WM_GETTEXT with a timeout: a hung window must not hang the probe.
    wchar_t text[1024] = L"";
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &got);
    text[1023] = 0;
    std::printf("window hwnd=0x%08llX pid=%lu tid=%lu parent=0x%08llX owner=0x%08llX depth=%d "
                "class=%s rect=%ld,%ld,%ld,%ld client=%ldx%ld style=0x%08lX exstyle=0x%08lX "
                "visible=%d enabled=%d text=%s\n",
                HandleValue(w), pid, tid, HandleValue(GetAncestor(w, GA_PARENT)),
                HandleValue(GetWindow(w, GW_OWNER)),
                depth, Utf8(cls).c_str(), r.left, r.top, r.right, r.bottom, c.right - c.left,
                c.bottom - c.top, static_cast<unsigned long>(GetWindowLongW(w, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(w, GWL_EXSTYLE)),
                IsWindowVisible(w) ? 1 : 0, IsWindowEnabled(w) ? 1 : 0,
                OneLine(Utf8(text)).c_str());
}

bool Matches(HWND w, const ListFilter& f) {
    if (f.pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != f.pid)
            return false;
    }
    if (!f.className.empty()) {
        wchar_t cls[256] = L"";
        GetClassNameW(w, cls, 256);
        if (lstrcmpiW(cls, f.className.c_str()) != 0)
            return false;
    }
    return true;
}

int DepthBelow(HWND w, HWND top) {
    int d = 0;
    while (w && w != top) {
        w = GetAncestor(w, GA_PARENT);
        ++d;
        if (d > 64)
            break;
    }
    return d;
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM p) noexcept {
    try {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void ListTree(HWND top, const ListFilter& f, bool topMatches) {
    if (topMatches)
        PrintWindow(top, 0);
    std::vector<HWND> children;
    EnumChildWindows(top, CollectWindow, reinterpret_cast<LPARAM>(&children));
    for (HWND c : children)
        if (topMatches || Matches(c, f))
            PrintWindow(c, DepthBelow(c, top));
}

int CmdList(int argc, char** argv) {
    ListFilter f;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pid") && i + 1 < argc)
            f.pid = ParseNumber(argv[++i]);
        else if (!std::strcmp(argv[i], "--class") && i + 1 < argc)
            f.className = Wide(argv[++i]);
        else if (!std::strcmp(argv[i], "--parent") && i + 1 < argc)
            f.parent = ParseHwnd(argv[++i]);
        else
            return 2;
    }
    if (f.parent) {
        if (!IsWindow(f.parent))
            return 1;
        ListTree(f.parent, f, true);
        std::fflush(stdout);
        return 0;
    }
    std::vector<HWND> tops;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&tops));
    for (HWND w : tops)
        ListTree(w, f, Matches(w, f));
    std::fflush(stdout);
    return 0;
}

LRESULT CALLBACK HostProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    switch (msg) {
    case WM_PARENTNOTIFY:
        if (LOWORD(wp) == WM_CREATE || LOWORD(wp) == WM_DESTROY) {
            std::printf("%s 0x%08llX\n",
                        LOWORD(wp) == WM_CREATE ? "child-created" : "child-destroyed",
                        static_cast<unsigned long long>(static_cast<ULONG_PTR>(lp)));
            std::fflush(stdout);
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

// A visible borderless window of exactly W x H at (X, Y), standing in for the
// display settings' preview area. Runs until closed or killed.
int CmdHost(int argc, char** argv) {
    int w = 152, h = 112, x = 40, y = 40;
    if (argc >= 2) {
        w = static_cast<int>(ParseNumber(argv[0]));
        h = static_cast<int>(ParseNumber(argv[1]));
    }
    if (argc >= 4) {
        x = static_cast<int>(ParseNumber(argv[2]));
        y = static_cast<int>(ParseNumber(argv[3]));
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"ZembraProbeHost";
    if (!RegisterClassW(&wc))
        return 1;
    HWND host = CreateWindowExW(0, L"ZembraProbeHost", L"probe host",
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, h, nullptr,
                                nullptr, wc.hInstance, nullptr);
    if (!host)
        return 1;
    std::printf("hwnd=%llu\n", HandleValue(host));
    std::fflush(stdout);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    std::printf("host-closed\n");
    std::fflush(stdout);
    return 0;
}

int CmdPost(int argc, char** argv, bool send) {
    if (argc < 2)
        return 2;
    HWND w = ParseHwnd(argv[0]);
    UINT msg = static_cast<UINT>(ParseNumber(argv[1]));
    WPARAM wp = argc > 2 ? static_cast<WPARAM>(std::strtoull(argv[2], nullptr, 0)) : 0;
    LPARAM lp = argc > 3 ? static_cast<LPARAM>(std::strtoull(argv[3], nullptr, 0)) : 0;
    if (send) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result))
            return 1;
        std::printf("result=%lu\n", static_cast<unsigned long>(result));
        return 0;
    }
    return PostMessageW(w, msg, wp, lp) ? 0 : 1;
}

bool SplitKey(const char* full, HKEY& root, std::string& sub) {
    std::string s(full);
    size_t slash = s.find('\\');
    std::string head = s.substr(0, slash);
    sub = slash == std::string::npos ? std::string() : s.substr(slash + 1);
    if (head == "HKCU" || head == "HKEY_CURRENT_USER")
        root = HKEY_CURRENT_USER;
    else if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE")
        root = HKEY_LOCAL_MACHINE;
    else if (head == "HKCR" || head == "HKEY_CLASSES_ROOT")
        root = HKEY_CLASSES_ROOT;
    else
        return false;
    return true;
}

int CmdReg(int argc, char** argv) {
    if (argc < 3)
        return 2;
    HKEY root;
    std::string sub;
    if (!SplitKey(argv[1], root, sub))
        return 2;
    const char* op = argv[0];
    const char* name = argv[2];
    HKEY key = nullptr;
    if (!std::strcmp(op, "get")) {
        if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return 1;
        BYTE data[1024];
        DWORD size = sizeof(data) - 2, type = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, data, &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return 1;
        if (type == REG_DWORD && size == 4) {
            DWORD v;
            std::memcpy(&v, data, 4);
            std::printf("dword=%lu\n", v);
        } else {
            data[size] = 0;
            std::printf("sz=%s\n", reinterpret_cast<char*>(data));
        }
        return 0;
    }
    if (RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 1;
    LONG rc = ERROR_INVALID_PARAMETER;
    if (!std::strcmp(op, "set-dword") && argc >= 4) {
        DWORD v = ParseNumber(argv[3]);
        rc = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    } else if (!std::strcmp(op, "set-sz") && argc >= 4) {
        rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[3]),
                            static_cast<DWORD>(std::strlen(argv[3]) + 1));
    } else if (!std::strcmp(op, "delete")) {
        rc = RegDeleteValueA(key, name);
        if (rc == ERROR_FILE_NOT_FOUND)
            rc = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? 0 : 1;
}

std::string ProcessPath(DWORD pid) {
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p)
        return {};
    wchar_t path[MAX_PATH * 2] = L"";
    DWORD size = MAX_PATH * 2;
    std::string result;
    if (QueryFullProcessImageNameW(p, 0, path, &size))
        result = Utf8(path);
    CloseHandle(p);
    return result;
}

int CmdProcs() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return 1;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        std::printf("proc pid=%lu parent=%lu path=%s\n", e.th32ProcessID, e.th32ParentProcessID,
                    ProcessPath(e.th32ProcessID).c_str());
    CloseHandle(snap);
    std::fflush(stdout);
    return 0;
}

int CmdKill(int argc, char** argv) {
    if (argc < 1)
        return 2;
    int rc = 0;
    for (int i = 0; i < argc; ++i) {
        HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ParseNumber(argv[i]));
        if (!p) {
            rc = 1;
            continue;
        }
        if (!TerminateProcess(p, 9))
            rc = 1;
        WaitForSingleObject(p, 5000);
        CloseHandle(p);
    }
    return rc;
}

// The command line of another process, read from its process parameters.
int CmdCmdline(int argc, char** argv) {
    if (argc < 1)
        return 2;
    HANDLE p =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ParseNumber(argv[0]));
    if (!p)
        return 1;
    int rc = 1;
    PROCESS_BASIC_INFORMATION pbi{};
    ULONG got = 0;
    if (NtQueryInformationProcess(p, ProcessBasicInformation, &pbi, sizeof(pbi), &got) == 0 &&
        pbi.PebBaseAddress) {
        PEB peb{};
        RTL_USER_PROCESS_PARAMETERS params{};
        if (ReadProcessMemory(p, pbi.PebBaseAddress, &peb, sizeof(peb), nullptr) &&
            ReadProcessMemory(p, peb.ProcessParameters, &params, sizeof(params), nullptr)) {
            // Bounded: a command line is at most 32767 characters.
            USHORT bytes = params.CommandLine.Length;
            std::wstring cmd(bytes / sizeof(wchar_t), L'\0');
            if (cmd.empty() ||
                ReadProcessMemory(p, params.CommandLine.Buffer, &cmd[0], bytes, nullptr)) {
                std::printf("cmdline=%s\n", Utf8(cmd).c_str());
                rc = 0;
            }
        }
    }
    CloseHandle(p);
    return rc;
}

int CmdMutex(int argc, char** argv) {
    if (argc < 1)
        return 2;
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, argv[0]);
    std::printf("exists=%d\n", m ? 1 : 0);
    if (m)
        CloseHandle(m);
    return 0;
}

int CmdState() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    CURSORINFO ci{};
    ci.cbSize = sizeof(ci);
    GetCursorInfo(&ci);
    POINT pt{};
    GetCursorPos(&pt);
    std::printf("screensaverrunning=%d cursorshowing=%d cursor=%ld,%ld foreground=0x%08llX "
                "virtual=%d,%d,%d,%d\n",
                running ? 1 : 0, (ci.flags & CURSOR_SHOWING) ? 1 : 0, pt.x, pt.y,
                HandleValue(GetForegroundWindow()),
                GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    return 0;
}

// Handles of process Pid in the system's handle table, or 0 when the table
// cannot be read. Wine answers GetProcessHandleCount with 0 for every
// process but keeps this table.
DWORD HandlesInSystemTable(DWORD pid) {
    struct Entry {
        ULONG OwnerPid;
        BYTE ObjectType;
        BYTE HandleFlags;
        USHORT HandleValue;
        PVOID ObjectPointer;
        ULONG AccessMask;
    };
    struct Table {
        ULONG Count;
        Entry Handles[1];
    };
    const auto SystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    const NTSTATUS LengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySystemInformation(
            SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == LengthMismatch && buffer.size() < (64u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0 || buffer.size() < sizeof(Table))
            return 0;
        break;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    const std::size_t room = (buffer.size() - offsetof(Table, Handles)) / sizeof(Entry);
    const std::size_t count = table->Count < room ? table->Count : room;
    DWORD n = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (table->Handles[i].OwnerPid == pid)
            ++n;
    return n;
}

BOOL CALLBACK CountWindow(HWND w, LPARAM param) noexcept {
    auto* counter = reinterpret_cast<std::pair<DWORD, DWORD>*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == counter->first)
        ++counter->second;
    return TRUE;
}

BOOL CALLBACK CollectTopWindow(HWND w, LPARAM param) noexcept {
    try {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

// Windows (top-level and child) that belong to process Pid.
DWORD WindowsOf(DWORD pid) {
    std::vector<HWND> tops;
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&tops));
    std::pair<DWORD, DWORD> counter{pid, 0};
    for (HWND top : tops) {
        CountWindow(top, reinterpret_cast<LPARAM>(&counter));
        EnumChildWindows(top, CountWindow, reinterpret_cast<LPARAM>(&counter));
    }
    return counter.second;
}

// What a process holds: kernel handles, GDI and USER objects, its windows
// and private bytes.
int CmdResources(int argc, char** argv) {
    if (argc < 1)
        return 2;
    const DWORD pid = ParseNumber(argv[0]);
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!p)
        return 1;
    DWORD handles = 0;
    const BOOL haveHandles = GetProcessHandleCount(p, &handles);
    if (haveHandles && handles == 0)
        handles = HandlesInSystemTable(pid);
    // Wine counts neither GDI nor USER objects: both read 0 there.
    const DWORD gdi = GetGuiResources(p, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(p, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    const BOOL haveMemory = GetProcessMemoryInfo(
        p, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    CloseHandle(p);
    if (!haveHandles || !haveMemory)
        return 1;
    // The process's private commit; Wine fills only the page-file figure,
    // which Windows keeps equal to it.
    const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    std::printf("handles=%lu gdi=%lu user=%lu windows=%lu private=%llu\n", handles, gdi, user,
                WindowsOf(pid), static_cast<unsigned long long>(privateBytes));
    return 0;
}

// Brings a window of another process to the foreground so that it gets keys.
int CmdFocus(int argc, char** argv) {
    if (argc < 1)
        return 2;
    HWND w = ParseHwnd(argv[0]);
    if (!IsWindow(w))
        return 1;
    return SetForegroundWindow(w) ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr, "usage: winprobe list [--pid N] [--class NAME] [--parent HWND]\n"
                         "       winprobe host [W H [X Y]]\n"
                         "       winprobe close|post|send HWND [MSG [WPARAM LPARAM]]\n"
                         "       winprobe reg get|set-dword|set-sz|delete KEY VALUE [DATA]\n"
                         "       winprobe procs | kill PID... | cmdline PID | mutex NAME\n"
                         "       winprobe state | focus HWND | resources PID\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const char* cmd = argv[1];
    int rest = argc - 2;
    char** args = argv + 2;
    int rc = 2;
    if (!std::strcmp(cmd, "list"))
        rc = CmdList(rest, args);
    else if (!std::strcmp(cmd, "host"))
        rc = CmdHost(rest, args);
    else if (!std::strcmp(cmd, "close") && rest >= 1)
        rc = PostMessageW(ParseHwnd(args[0]), WM_CLOSE, 0, 0) ? 0 : 1;
    else if (!std::strcmp(cmd, "post"))
        rc = CmdPost(rest, args, false);
    else if (!std::strcmp(cmd, "send"))
        rc = CmdPost(rest, args, true);
    else if (!std::strcmp(cmd, "reg"))
        rc = CmdReg(rest, args);
    else if (!std::strcmp(cmd, "procs"))
        rc = CmdProcs();
    else if (!std::strcmp(cmd, "kill"))
        rc = CmdKill(rest, args);
    else if (!std::strcmp(cmd, "cmdline"))
        rc = CmdCmdline(rest, args);
    else if (!std::strcmp(cmd, "mutex"))
        rc = CmdMutex(rest, args);
    else if (!std::strcmp(cmd, "state"))
        rc = CmdState();
    else if (!std::strcmp(cmd, "focus"))
        rc = CmdFocus(rest, args);
    else if (!std::strcmp(cmd, "resources"))
        rc = CmdResources(rest, args);
    else
        return Usage();
    std::fflush(stdout);
    return rc;
}
