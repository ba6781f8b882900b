#include "uMain.h"

#include <exception>
#include <string>

#include "framework/uApplication.h"
#include "saver/uDuplicate.h"

namespace zembra {

namespace {

// The form's font name is given in UTF-8 here; the font API wants it in the
// system's ANSI code page (Shift-JIS on a Japanese system).
std::string Utf8ToAnsi(const char* utf8) {
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wideLength <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], wideLength);
    const int ansiLength =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0)
        return {};
    std::string ansi(static_cast<size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &ansi[0], ansiLength, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(ansiLength - 1));
    return ansi;
}

[[noreturn]] void SilentTerminate() noexcept {
    TerminateProcess(GetCurrentProcess(), 3);
    std::abort();
}

LONG WINAPI SilentUnhandledException(EXCEPTION_POINTERS*) noexcept {
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void MaskFloatingPointExceptions() noexcept {
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short controlWord = 0x133F;
    __asm__ __volatile__("fldcw %0" : : "m"(controlWord));
#endif
}

void SilenceFatalErrorBoxes() noexcept {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(SilentUnhandledException);
    std::set_terminate(SilentTerminate);
}

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmMain");
    SetCaption("Zembra ScreenSaver");
    SetColor(clBlack);
    SetBorderIcons(0);
    SetBounds(0, 0, 180, 180);
    Font().SetName(Utf8ToAnsi("ＭＳ Ｐゴシック"));
    Font().SetCharset(SHIFTJIS_CHARSET);
    Font().SetHeight(-12);

    ScreenSaver = new TScreenSaver(this);
    ScreenSaver->SetName("ScreenSaver");
    ScreenSaver->CustomizeFormName = "frmDialog";
    ScreenSaver->SetInterval(1000);
    ScreenSaver->OnTerminate = [this](TComponent* Sender) { ScreenSaverTerminate(Sender); };

    OnCreate = [this](TComponent* Sender) { FormCreate(Sender); };
    OnShow = [this](TComponent* Sender) { FormShow(Sender); };
    OnDestroy = [this](TComponent* Sender) { FormDestroy(Sender); };

    FinishCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate(TComponent*) {
    MoviePending = true;
    MaskFloatingPointExceptions();
    SilenceFatalErrorBoxes();
    if (Application)
        Application->OnException = [this](TComponent* Sender, const std::exception* E) {
            IgnoreException(Sender, E);
        };

    CreatePlayers();

    const TScreenSaverMode mode = ScreenSaver->Mode();
    if (mode == smPreview || mode == smRun)
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TfrmMain::FormShow(TComponent*) {
    if (!MoviePending || !MovieAssignable())
        return;
    MoviePending = false;
    if (!AssignMovie())
        MoviePending = true;
    if (ScreenSaver->Mode() == smRun)
        TakeKeyboardFocus();
}

void TfrmMain::FormDestroy(TComponent*) {
    if (InstanceGuard)
        ReleaseInstanceGuard(InstanceGuard);
}

void TfrmMain::IgnoreException(TComponent*, const std::exception*) {}

void TfrmMain::ScreenSaverTerminate(TComponent*) {}

void TfrmMain::TakeKeyboardFocus() noexcept {
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    HWND window = WindowHandle();
    if (!window)
        return;
    const DWORD ownThread = GetWindowThreadProcessId(window, nullptr);
    AttachThreadInput(ownThread, foregroundThread, TRUE);
    ::SetFocus(window);
    AttachThreadInput(ownThread, foregroundThread, FALSE);
}

} // namespace zembra
