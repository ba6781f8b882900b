#include "uUiTestKit.h"

#include <cstdio>
#include <cstring>

#include "framework/uApplication.h"
#include "framework/uControls.h"

namespace zembra::test {

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        if (Application) {
            Application->ProcessMessages();
        } else {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return done();
        PumpFor(10);
    }
    return true;
}

std::wstring WindowTextW(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

std::vector<TChildWindow> ChildWindows(HWND parent) {
    std::vector<TChildWindow> children;
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        TChildWindow c;
        c.Handle = h;
        char cls[128] = {};
        GetClassNameA(h, cls, sizeof(cls));
        c.ClassName = cls;
        c.Text = WindowTextW(h);
        c.Visible = IsWindowVisible(h) != FALSE;
        GetWindowRect(h, &c.Rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&c.Rect), 2);
        children.push_back(std::move(c));
    }
    return children;
}

namespace {

void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        const int w = GetSystemMetrics(SM_CXSCREEN);
        const int h = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = static_cast<LONG>((x * 65536LL + w / 2) / (w > 0 ? w : 1));
        input.mi.dy = static_cast<LONG>((y * 65536LL + h / 2) / (h > 0 ? h : 1));
    }
    SendInput(1, &input, sizeof(input));
}

void SendKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

} // namespace

void MouseMoveTo(int x, int y) {
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    PumpFor(60);
}

void MouseButton(bool down) {
    SendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    PumpFor(60);
}

void ClickAt(int x, int y) {
    MouseMoveTo(x, y);
    MouseButton(true);
    MouseButton(false);
}

void PressKey(WORD vk, bool alt) {
    if (alt)
        SendKey(VK_MENU, false);
    SendKey(vk, false);
    SendKey(vk, true);
    if (alt)
        SendKey(VK_MENU, true);
    PumpFor(100);
}

POINT WindowCentre(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool TakeScreenshot(const std::string& name) {
    char dir[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("ZEMBRA_SCREENSHOT_DIR", dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    PumpFor(200); // let the windows paint first
    const std::string png = std::string(dir) + "/" + name + ".png";
    const std::string done = png + ".done";
    // Unix paths; Wine shows the root as drive Z.
    auto windowsPath = [](std::string path) {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        return "Z:" + path;
    };
    const std::string doneWin = windowsPath(done);
    // Remove the old marker before starting, or it would count as finished.
    DeleteFileA(doneWin.c_str());
    DeleteFileA(windowsPath(png).c_str());
    // Wine starts a Unix program when given one; it hands back no process
    // handle to wait on, so the script leaves a marker file when finished.
    std::string command =
        "Z:\\bin\\sh -c \"import -window root '" + png + "'; touch '" + done + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (pi.hThread)
        CloseHandle(pi.hThread);
    const bool finished = PumpUntil(
        [&] { return GetFileAttributesA(doneWin.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
    DeleteFileA(doneWin.c_str());
    return finished;
}

std::vector<std::uint8_t> MakeBmpImage(int width, int height) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t pixels = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> bmp(54 + pixels, 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        bmp[at] = static_cast<std::uint8_t>(v);
        bmp[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<std::uint32_t>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    put16(26, 1);
    put16(28, 24);
    put32(34, pixels);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &bmp[54 + static_cast<std::size_t>(y) * stride];
        for (int x = 0; x < width; ++x) {
            const bool frame = x < 3 || y < 3 || x >= width - 3 || y >= height - 3;
            row[x * 3 + 0] = frame ? 0x20 : static_cast<std::uint8_t>(255 * x / width);
            row[x * 3 + 1] = frame ? 0x20 : static_cast<std::uint8_t>(255 * y / height);
            row[x * 3 + 2] = frame ? 0x20 : 0xC0;
        }
    }
    return bmp;
}

namespace {

struct TModalScript {
    TForm* Form = nullptr;
    const std::function<void()>* Script = nullptr;
    DWORD TimeoutMs = 0;
    UINT_PTR Timer = 0;
    bool Ran = false;
};
TModalScript* activeScript = nullptr;

void CALLBACK ModalScriptTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    TModalScript* s = activeScript;
    if (!s || id != s->Timer || s->Ran || !s->Form->HandleAllocated() ||
        !IsWindowVisible(s->Form->WindowHandle()))
        return;
    s->Ran = true;
    KillTimer(nullptr, s->Timer);
    s->Timer = 0;
    try {
        (*s->Script)();
        PumpUntil([&] { return s->Form->ModalResult != mrNone || !s->Form->Modal(); },
                  s->TimeoutMs);
        if (s->Form->Modal() && s->Form->ModalResult == mrNone)
            s->Form->ModalResult = -1;
    } catch (...) {
        s->Form->ModalResult = -1;
    }
}

} // namespace

int RunModalScript(TForm& form, const std::function<void()>& script, DWORD timeoutMs) {
    TModalScript s;
    s.Form = &form;
    s.Script = &script;
    s.TimeoutMs = timeoutMs;
    activeScript = &s;
    s.Timer = SetTimer(nullptr, 0, 50, ModalScriptTimer);
    const int result = form.ShowModal();
    if (s.Timer)
        KillTimer(nullptr, s.Timer);
    activeScript = nullptr;
    return result;
}

} // namespace zembra::test
