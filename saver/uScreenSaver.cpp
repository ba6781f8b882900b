#include "uScreenSaver.h"

#include <imm.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/uApplication.h"
#include "saver/uDuplicate.h"
#include "framework/uFormUtils.h"
#include "framework/uPlacementMath.h"
#include "saver/uSaverCommandLine.h"
#include "saver/uSaverResources.h"
#include "util/uHandles.h"
#include "util/uUtils.h"

namespace zembra {

const char* const ScreenSaverInstanceName = "9EA00A9F-18F3-4842-82F5-6677E57A79FA";

namespace {

TScreenSaver* gCurrentSaver = nullptr;
UniqueHook gMouseHook;
UniqueHook gKeyboardHook;

// ShowCursor moves a counter; a few dozen calls reach any sane target, and
// the bound keeps a broken counter from spinning forever.
constexpr int MaxCursorCalls = 64;


std::wstring LoadResourceText(UINT id, const wchar_t* fallback) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a read-only pointer into
    // the resource itself, so no length limit applies.
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n > 0 && text)
        return std::wstring(text, static_cast<size_t>(n));
    return fallback;
}

// A mouse message the hook may hand over: client or non-client mouse input.
bool IsMouseMessage(WPARAM message) noexcept {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

} // namespace

std::string SaverChildCommandLine(const std::string& programPath) {
    return "\"" + programPath + "\" /E";
}

char GetCommandLetter() {
    return CommandLetterOfArguments(SplitCommandLine(GetCommandLineA()));
}

void RunSaverProcess() noexcept {
    try {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        GetStartupInfoA(&startup);
        const std::string path = OwnExecutablePath();
        if (path.empty())
            return;
        std::string commandLine = SaverChildCommandLine(path);
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &info))
            return;
        UniqueHandle process(info.hProcess);
        UniqueHandle thread(info.hThread);
        while (WaitForSingleObject(process.Get(), 100) == WAIT_TIMEOUT) {
            if (Application)
                Application->ProcessMessages();
            Sleep(100);
        }
    } catch (...) {
        // The launcher ends with code 0 whatever happened.
    }
}

bool RunSaverProcessIfRequested() noexcept {
    try {
        if (GetCommandLetter() != 'S')
            return false;
    } catch (...) {
        return false;
    }
    RunSaverProcess();
    return true;
}

void HideApplicationWindow() noexcept {
    TApplication* app = Application;
    if (app && app->Handle())
        ShowWindow(app->Handle(), SW_HIDE);
}

TScreenSaver* TScreenSaver::Current() noexcept {
    return gCurrentSaver;
}

TScreenSaver::TScreenSaver(TComponent* AOwner) : TComponent(AOwner) {
    HideApplicationWindow();
    if (Application)
        Application->ShowMainForm = false;

    ReadPasswordSetting();

    ownerWindow_ = dynamic_cast<TWinControl*>(AOwner);
    if (ownerWindow_)
        savedWindowProc_ = ownerWindow_->WindowProc;

    moveCount_ = 0;
    TerminateOnMouseMove = true;
    TerminateOnKeyDown = true;

    logicalWidth_ = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    logicalHeight_ = GetSystemMetrics(SM_CYVIRTUALSCREEN);

    const std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
    if (arguments.size() >= 3) {
        parentHandle_ =
            reinterpret_cast<HWND>(static_cast<INT_PTR>(ParentHandleOfArguments(arguments)));
        if (GetWindowRect(parentHandle_, &parentRect_)) {
            previewWidth_ = parentRect_.right - parentRect_.left;
            previewHeight_ = parentRect_.bottom - parentRect_.top;
        } else {
            parentRect_ = RECT{};
        }
    }

    mode_ = smNone;
    switch (CommandLetterOfArguments(arguments)) {
    case 'A':
        mode_ = smPassword;
        ChangePassword();
        break;
    case 'C':
        mode_ = smConfig;
        break;
    case 'E':
        mode_ = smRun;
        SetShowMouseCursor(false);
        break;
    case 'P':
        mode_ = smPreview;
        if (ownerWindow_)
            ownerWindow_->SetParentWindow(parentHandle_);
        logicalWidth_ = PreviewLogicalExtent(GetSystemMetrics(SM_CXSCREEN), previewWidth_);
        logicalHeight_ = PreviewLogicalExtent(GetSystemMetrics(SM_CYSCREEN), previewHeight_);
        break;
    default:
        break;
    }

    // The window is created below (the IME window needs it): it must be
    // born with its final frame and size, or the system may show it for a
    // moment, or keep it, at the form's design size. Not active yet, so
    // this does not show it.
    ApplyBounds();

    active_ = mode_ == smNone || mode_ == smPreview || mode_ == smRun;
    if (active_) {
        HideApplicationWindow();
        if (mode_ == smRun) {
            BOOL scratch = FALSE;
            SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &scratch, 0);
        }
    }

    gCurrentSaver = this;

    if (ownerWindow_) {
        ownerWindow_->WindowProc = [this](TMessage& message) { SaverWindowProc(message); };
        windowProcInstalled_ = true;
    }
    if (Application) {
        Application->OnIdle = [this](TComponent*, bool& done) { ApplicationIdle(done); };
        idleInstalled_ = true;
    }
    if (mode_ == smPreview && ownerWindow_) {
        SetWindowLongA(ownerWindow_->Handle(), GWL_STYLE, WS_CHILD | WS_DISABLED);
    } else if (mode_ == smRun) {
        InstallHooks();
    }

    visible_ = true;

    if (ownerWindow_)
        imeWindow_ = ImmGetDefaultIMEWnd(ownerWindow_->Handle());

    intervalTimer_ = new TTimer(this);
    intervalTimer_->SetEnabled(false);
    intervalTimer_->SetInterval(500);
    intervalTimer_->OnTimer = [this](TComponent*) {
        if (!terminating_)
            Tick();
    };

    threadTimer_ = new TThreadTimer(this);
    threadTimer_->SetInterval(100);
    threadTimer_->OnTimer = [this](TComponent*) { ThreadTick(); };
    threadTimer_->SetPriority(tpHighest);
    threadTimer_->SetEnabled(active_);

    if (mode_ == smRun && !RegisterInstance(ScreenSaverInstanceName)) {
        // Another running saver holds the name: end quietly.
        if (Application)
            Application->Terminate();
    }
}

TScreenSaver::~TScreenSaver() {
    BeginDestroy();
    if (gCurrentSaver == this)
        gCurrentSaver = nullptr;
    RemoveHooks();
    if (intervalTimer_)
        intervalTimer_->SetEnabled(false);
    if (windowProcInstalled_ && ownerWindow_) {
        ownerWindow_->WindowProc = savedWindowProc_;
        windowProcInstalled_ = false;
    }
    if (idleInstalled_ && Application) {
        Application->OnIdle = nullptr;
        idleInstalled_ = false;
    }

    delete intervalTimer_;
    intervalTimer_ = nullptr;
    if (mode_ == smRun) {
        BOOL scratch = FALSE;
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &scratch, 0);
    }
    UnregisterInstance();
    bitmap_.reset();
    // The thread timer goes last; its destruction waits for its worker,
    // whose tick still uses this object.
    DestroyComponents();
    threadTimer_ = nullptr;
}

void TScreenSaver::ReadPasswordSetting() noexcept {
    usePassword_ = false;
    UniqueHKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE,
                      key.Receive()) != ERROR_SUCCESS)
        return;
    char value[4] = {};
    DWORD size = sizeof(value);
    DWORD type = REG_DWORD;
    // A string or binary value longer than four bytes fails with
    // ERROR_MORE_DATA and counts as "no password".
    if (RegQueryValueExA(key.Get(), "ScreenSaveUsePassword", nullptr, &type,
                         reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // The setting is often stored as the text "0" or "1": its bytes
        // are never zero, so the text is what counts.
        usePassword_ =
            std::strtol(std::string(value, strnlen(value, size)).c_str(), nullptr, 10) != 0;
        return;
    }
    DWORD number = 0;
    std::memcpy(&number, value, sizeof(number));
    usePassword_ = number != 0;
}

void TScreenSaver::Loaded() {
    TComponent::Loaded();
    ApplyBounds();
}

void TScreenSaver::ApplyBounds() {
    if (!ownerWindow_)
        return;
    if (auto* form = dynamic_cast<TForm*>(ownerWindow_)) {
        if (form->BorderStyle() != TFormBorderStyle::bsNone) {
            form->SetBorderStyle(TFormBorderStyle::bsNone);
            // The new border must not undo the preview's child style.
            if (mode_ == smPreview && form->HandleAllocated()) {
                const LONG visible = GetWindowLongA(form->WindowHandle(), GWL_STYLE) & WS_VISIBLE;
                SetWindowLongA(form->WindowHandle(), GWL_STYLE, WS_CHILD | WS_DISABLED | visible);
            }
        }
    }
    if (mode_ == smPreview) {
        ownerWindow_->SetBounds(0, 0, previewWidth_, previewHeight_);
    } else if (mode_ == smRun) {
        ownerWindow_->SetBounds(GetSystemMetrics(SM_XVIRTUALSCREEN),
                                GetSystemMetrics(SM_YVIRTUALSCREEN), logicalWidth_, logicalHeight_);
    }
    const bool shown =
        ownerWindow_->HandleAllocated() && IsWindowVisible(ownerWindow_->WindowHandle());
    if (active_ && !shown && visible_)
        ApplyVisible();
}

void TScreenSaver::ApplyVisible() {
    if (!ownerWindow_)
        return;
    if (!visible_) {
        ownerWindow_->Hide();
        return;
    }
    ownerWindow_->Show();
    if (imeWindow_ && TerminateOnKeyDown)
        SendMessageA(imeWindow_, WM_IME_CONTROL, IMC_CLOSESTATUSWINDOW, 0);
    KeepOnTop();
}

void TScreenSaver::KeepOnTop() noexcept {
    if (ownerWindow_) {
        try {
            SetTopMost(*ownerWindow_, 0);
        } catch (...) {
            // Staying on top is best effort.
        }
    }
    HideApplicationWindow();
}

void TScreenSaver::SetBitmapNeeded(bool value) {
    bitmapNeeded_ = value;
    bitmap_.reset();
    if (value)
        bitmap_ = std::make_unique<TMemoryDC>(nullptr, logicalWidth_, logicalHeight_);
}

void TScreenSaver::SetTimerEnabled(bool value) {
    timerEnabled_ = value;
    if (intervalTimer_)
        intervalTimer_->SetEnabled(value && active_);
}

int TScreenSaver::Interval() const noexcept {
    return intervalTimer_ ? static_cast<int>(intervalTimer_->Interval()) : 0;
}

void TScreenSaver::SetInterval(int value) {
    if (!intervalTimer_)
        return;
    intervalTimer_->SetInterval(value > 0 ? static_cast<unsigned>(value) : 0u);
    intervalTimer_->SetEnabled(value > 0 && active_);
}

void TScreenSaver::SetVisible(bool value) {
    if (value == visible_)
        return;
    visible_ = value;
    ApplyVisible();
}

void TScreenSaver::SetShowMouseCursor(bool value) noexcept {
    showMouseCursor_ = value;
    if (mode_ != smRun)
        return;
    // The cursor shows while the display count is 0 or more.
    if (value) {
        for (int i = 0; i < MaxCursorCalls; ++i)
            if (ShowCursor(TRUE) >= 0)
                break;
    } else {
        for (int i = 0; i < MaxCursorCalls; ++i)
            if (ShowCursor(FALSE) < 0)
                break;
    }
}

void TScreenSaver::ApplicationIdle(bool& /*done*/) {
    if (mode_ == smConfig) {
        // Once, at the first idle moment.
        if (!customizeShown_) {
            customizeShown_ = true;
            ShowCustomizeForm();
        }
        return;
    }
    if (OnIdle)
        OnIdle(this);
}

void TScreenSaver::ShowCustomizeForm() {
    if (mode_ != smConfig)
        return;
    TForm* found = nullptr;
    if (Application) {
        for (int i = 0; i < Application->FormCount() && !found; ++i) {
            TForm* form = Application->Forms(i);
            if (form && CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, form->Name().c_str(),
                                       -1, CustomizeFormName.c_str(), -1) == CSTR_EQUAL)
                found = form;
        }
    }
    if (found) {
        RECT workArea{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
        CenterInRect(*found, workArea);
        // A form must be hidden before it can be shown modally.
        found->Hide();
        found->ShowModal();
    }
    Terminate();
}

bool TScreenSaver::Tick() {
    if (inTick_)
        return false;
    inTick_ = true;
    struct ClearFlag {
        bool& flag;
        ~ClearFlag() { flag = false; }
    } clear{inTick_};

    KeepOnTop();
    if (OnTimer)
        OnTimer(this);
    if (!bitmap_ || !bitmap_->Valid() || !ownerWindow_ || !ownerWindow_->HandleAllocated())
        return false;
    TWindowDC dc(ownerWindow_->WindowHandle());
    if (!dc)
        return false;
    // The bitmap is drawn at the logical size; the window's mapping shrinks
    // it into the window (by a whole factor in the preview).
    SetCanvasScale(dc.Handle());
    const int w = bitmap_->Width();
    const int h = bitmap_->Height();
    StretchBlt(dc.Handle(), 0, 0, w, h, bitmap_->Handle(), 0, 0, w, h, SRCCOPY);
    return true;
}

void TScreenSaver::SetCanvasScale(HDC dc) noexcept {
    if (!ownerWindow_)
        return;
    const int width = ownerWindow_->Width();
    const int height = ownerWindow_->Height();
    if (width == 0 || height == 0)
        return;
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    if (logicalHeight_ != 0)
        SetWindowExtEx(dc, logicalWidth_ / width, logicalHeight_ / height, nullptr);
}

void TScreenSaver::ThreadTick() {
    // Runs on the thread timer's worker thread.
    threadTimer_->SetEnabled(false);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    HideApplicationWindow();
    threadTimer_->SetEnabled(true);
}

void TScreenSaver::InstallHooks() noexcept {
    hooked_ = true;
    const DWORD thread = GetCurrentThreadId();
    gMouseHook.Reset(SetWindowsHookExA(WH_MOUSE, MouseHookProc, nullptr, thread));
    gKeyboardHook.Reset(SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, nullptr, thread));
}

void TScreenSaver::RemoveHooks() noexcept {
    if (!hooked_)
        return;
    gKeyboardHook.Close();
    gMouseHook.Close();
    hooked_ = false;
}

LRESULT CALLBACK TScreenSaver::MouseHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    // A negative code belongs to the hook chain alone: pass it on untouched
    // and do not look at lParam, which need not point at a MOUSEHOOKSTRUCT.
    if (code < 0)
        return CallNextHookEx(gMouseHook.Get(), code, wParam, lParam);
    const LRESULT result = CallNextHookEx(gMouseHook.Get(), code, wParam, lParam);
    TScreenSaver* saver = gCurrentSaver;
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    if (saver && info && saver->TerminateOnMouseMove && !saver->verifying_ && saver->ownerWindow_) {
        HWND owner = saver->ownerWindow_->WindowHandle();
        if (owner && info->hwnd != owner) {
            const LPARAM position =
                static_cast<LPARAM>((static_cast<DWORD>(info->pt.x) & 0xFFFF) |
                                    ((static_cast<DWORD>(info->pt.y) & 0xFFFF) << 16));
            PostMessageA(owner, WM_SAVERMOUSE, wParam, position);
        }
    }
    return result;
}

LRESULT CALLBACK TScreenSaver::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code < 0)
        return CallNextHookEx(gKeyboardHook.Get(), code, wParam, lParam);
    const LRESULT result = CallNextHookEx(gKeyboardHook.Get(), code, wParam, lParam);
    TScreenSaver* saver = gCurrentSaver;
    if (saver && saver->TerminateOnKeyDown && !saver->verifying_ && saver->ownerWindow_) {
        if (HWND owner = saver->ownerWindow_->WindowHandle())
            PostMessageA(owner, WM_SAVERKEY, wParam, lParam);
    }
    return result;
}

void TScreenSaver::PassOn(TMessage& message) {
    if (savedWindowProc_)
        savedWindowProc_(message);
}

void TScreenSaver::SaverWindowProc(TMessage& message) {
    if (terminating_) {
        PassOn(message);
        return;
    }
    HWND owner = ownerWindow_ ? ownerWindow_->WindowHandle() : nullptr;
    switch (message.Msg) {
    case WM_MOUSEMOVE: {
        const WORD x = LOWORD(message.LParam);
        const WORD y = HIWORD(message.LParam);
        // The count is tested before it is updated: the first move after
        // three position changes ends the saver.
        if (TerminateOnMouseMove && mode_ == smRun && moveCount_ >= 3)
            VerifyAndTerminate();
        if ((x != lastX_ || y != lastY_) && moveCount_ < 3)
            ++moveCount_;
        lastX_ = x;
        lastY_ = y;
        PassOn(message);
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
        if (TerminateOnMouseMove && mode_ == smRun)
            VerifyAndTerminate();
        PassOn(message);
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (TerminateOnKeyDown && mode_ == smRun)
            VerifyAndTerminate();
        PassOn(message);
        break;
    case WM_SAVERKEY:
        if (owner)
            SendMessageA(owner, (message.LParam & 0x80000000) ? WM_KEYUP : WM_KEYDOWN,
                         message.WParam, message.LParam);
        PassOn(message);
        break;
    case WM_SAVERMOUSE:
        // Only mouse input is re-sent: anyone may post this message number,
        // and other messages could carry pointers in lParam.
        if (owner && IsMouseMessage(message.WParam))
            SendMessageA(owner, static_cast<UINT>(message.WParam), 0, message.LParam);
        PassOn(message);
        break;
    case WM_CLOSE:
        if (ownerWindow_) {
            // Out of sight first: bottom-right corner of the virtual desktop.
            ownerWindow_->SetBounds(
                GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN),
                ownerWindow_->Width(), ownerWindow_->Height());
        }
        DetachPreview();
        PassOn(message);
        break;
    case WM_DESTROY:
        // A preview window lives inside the host's window, and a host that
        // goes takes it along without a close request: nothing else would
        // end the program then. The main window's own destruction at the
        // end of the program stops the players and removes the files.
        if (mode_ == smPreview && Application)
            Application->Terminate();
        PassOn(message);
        break;
    case WM_ERASEBKGND:
        if (Tick()) {
            message.Result = 1;
        } else {
            PassOn(message);
            message.Result = 1;
        }
        break;
    case WM_SYSCOMMAND:
        if ((message.WParam & 0xFFF0) == SC_SCREENSAVE)
            message.Result = 1;
        else
            PassOn(message);
        break;
    default:
        PassOn(message);
        break;
    }
    if (!terminating_ && message.Msg == WM_PAINT)
        Tick();
}

void TScreenSaver::DetachPreview() {
    if (inDetach_)
        return;
    inDetach_ = true;
    struct ClearFlag {
        bool& flag;
        ~ClearFlag() { flag = false; }
    } clear{inDetach_};
    if (mode_ != smPreview || !ownerWindow_ || !ownerWindow_->HandleAllocated())
        return;
    if (!GetParent(ownerWindow_->WindowHandle()))
        return;
    ownerWindow_->SetParentWindow(nullptr);
    UnregisterInstance();
    Terminate();
}

void TScreenSaver::Terminate() {
    terminating_ = true;
    if (intervalTimer_)
        intervalTimer_->SetEnabled(false);
    if (OnTerminate)
        OnTerminate(this);
    if (Application)
        Application->ProcessMessages();
    HideApplicationWindow();
    if (Application) {
        Application->ProcessMessages();
        // During construction (password mode) there is no main window yet:
        // end the message loop before it starts, without showing anything.
        if (TForm* main = Application->MainForm())
            main->Close();
        else
            Application->Terminate();
    }
}

void TScreenSaver::VerifyAndTerminate() {
    // Input that arrives while the password dialog runs must not open a
    // second dialog over it.
    if (verifying_)
        return;
    bool verified = true;
    verifying_ = true;
    if (usePassword_) {
        UniqueModule library(LoadLibraryA("Password.CPL"));
        if (library) {
            using VerifyFunction = BOOL(WINAPI*)(HWND);
            auto verify = reinterpret_cast<VerifyFunction>(
                reinterpret_cast<void*>(GetProcAddress(library.Get(), "VerifyScreenSavePwd")));
            if (verify) {
                const bool stored = showMouseCursor_;
                SetShowMouseCursor(true);
                verified = (verify(GetFocus()) & 0xFF) != 0;
                showMouseCursor_ = stored;
            }
        }
    }
    if (verified) {
        Terminate();
        return;
    }
    SetShowMouseCursor(showMouseCursor_);
    moveCount_ = 0;
    verifying_ = false;
}

void TScreenSaver::ChangePassword() {
    const std::wstring unavailable =
        LoadResourceText(IDS_PASSWORD_UNAVAILABLE, L"パスワードダイアログが表示できませんでした");
    {
        UniqueModule library(LoadLibraryA("MPR.DLL"));
        if (library) {
            using ChangeFunction = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);
            auto change = reinterpret_cast<ChangeFunction>(
                reinterpret_cast<void*>(GetProcAddress(library.Get(), "PwdChangePasswordA")));
            if (!change) {
                ShowErrorMessage(unavailable);
            } else {
                HWND owner = ownerWindow_ ? ownerWindow_->Handle() : nullptr;
                if (change("SCRSAVE", owner, 0, 0) != 0)
                    ShowErrorMessage(LoadResourceText(IDS_PASSWORD_CHANGE_FAILED,
                                                      L"パスワードの変更に失敗しました"));
            }
        } else {
            ShowErrorMessage(unavailable);
        }
    }
    Terminate();
}

void TScreenSaver::ShowErrorMessage(const std::wstring& text) noexcept {
    HWND owner = Application ? Application->Handle() : nullptr;
    MessageBoxW(owner, text.c_str(), L"エラー", MB_OK | MB_ICONHAND);
}

} // namespace zembra
