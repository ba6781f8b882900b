#include "app/uMain.h"

#include <windows.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <vector>

#include "app/uLoaderFiles.h"
#include "flash/uFlashUtils.h"
#include "player/uBuiltinPlayer.h"
#include "framework/uApplication.h"
#include "package/uExeAdder.h"
#include "saver/uDuplicate.h"
#include "framework/uFormUtils.h"
#include "ui/uDialog.h"
#include "util/uFileOperation.h"
#include "util/uUtils.h"

namespace zembra {

namespace {

constexpr char kMainCaption[] = "Zembra ScreenSaver";
// "ＭＳ Ｐゴシック" in UTF-8; the form keeps fonts in the ANSI code page.
constexpr char kMainFontName[] =
    "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";
constexpr int kMainFontHeight = -12;
constexpr char kMinimumVersionForLocalSecurity[] = "8.0";
constexpr char kQuitCommand[] = "quit";

// DeletePath lets waiting messages run; not while the main window is being
// torn down, when they could reach a half-destroyed window.
bool gPumpAllowed = true;

void PumpMessages() {
    if (gPumpAllowed && Application)
        Application->ProcessMessages();
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string WideToAnsi(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), n,
                        nullptr, nullptr);
    return ansi;
}

// Locale-aware ANSI lower-casing, double-byte characters kept.
std::string LowerAnsi(std::string text) {
    if (!text.empty())
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

[[noreturn]] void SilentTerminate() noexcept {
    TerminateProcess(GetCurrentProcess(), 3);
    std::abort();
}

LONG WINAPI SilentUnhandledException(EXCEPTION_POINTERS*) noexcept {
    return EXCEPTION_EXECUTE_HANDLER;
}

std::vector<TScreenRect> MonitorRects() {
    std::vector<TScreenRect> list;
    for (const PlacementRect& r : MonitorBounds())
        list.push_back({r.Left, r.Top, r.Right, r.Bottom});
    return list;
}

TScreenRect DesktopRect() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Runs one step on a player; a failure is swallowed.
template <typename F> void Guarded(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
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

// The loader's side effects that touch the main window's objects.
class TfrmMain::TLoaderHostImpl : public TFileLoaderHost {
  public:
    explicit TLoaderHostImpl(TfrmMain& form) : form_(form) {}

    void CreateInstanceGuard(const std::string& Name) override {
        // A second GUID item replaces the first guard instead of leaking it.
        ReleaseInstanceGuard(form_.InstanceGuard);
        zembra::CreateInstanceGuard(form_.InstanceGuard, Name);
    }
    void SetTerminateOnMouseMove(bool Value) override {
        form_.ScreenSaver->TerminateOnMouseMove = Value;
    }
    void SetTerminateOnKeyDown(bool Value) override {
        form_.ScreenSaver->TerminateOnKeyDown = Value;
    }
    void SetShowMouseCursor(bool Value) override { form_.ScreenSaver->SetShowMouseCursor(Value); }
    void SetDialogCaption(const std::string& Text) override {
        if (frmDialog)
            frmDialog->SetCaption(Text);
    }
    void SetLinkCaption(const std::string& Text) override {
        if (frmDialog)
            frmDialog->SetLinkText(Text);
    }
    void SetLinkURL(const std::string& Text) override {
        if (frmDialog)
            frmDialog->SetLinkURL(Text);
    }
    void SetCloseButtonVisible(bool Value) override {
        if (frmDialog)
            frmDialog->SetCloseButtonVisible(Value);
    }
    void LoadDialogPicture(const unsigned char* Data, std::int32_t Size) override {
        if (frmDialog && Size > 0)
            frmDialog->LoadPicture(Data, static_cast<std::size_t>(Size));
    }

  private:
    TfrmMain& form_;
};

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmMain");
    SetCaption(kMainCaption);
    SetColor(clBlack);
    SetBorderIcons(0);
    SetBounds(0, 0, 180, 180);
    Font().SetName(Utf8ToAnsi(kMainFontName));
    Font().SetCharset(SHIFTJIS_CHARSET);
    Font().SetHeight(kMainFontHeight);

    ScreenSaver = new TScreenSaver(this);
    ScreenSaver->SetName("ScreenSaver");
    ScreenSaver->CustomizeFormName = "frmDialog";
    ScreenSaver->SetInterval(1000);
    ScreenSaver->OnTerminate = [this](TComponent* s) { ScreenSaverTerminate(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
    OnShow = [this](TComponent* s) { FormShow(s); };
    OnDestroy = [this](TComponent* s) { FormDestroy(s); };
    FinishCreate();
}

TfrmMain::~TfrmMain() {
    // The base destructor would fire OnDestroy after this object's fields
    // are gone; run it here while they exist.
    OnDestroy = nullptr;
    try {
        FormDestroy(this);
    } catch (...) {
    }
}

void TfrmMain::IgnoreException(TComponent*, const std::exception*) {}

void TfrmMain::FormCreate(TComponent*) {
    MoviePending = true;
    MaskFloatingPointExceptions();
    SilenceFatalErrorBoxes();
    if (Application)
        Application->OnException = [this](TComponent* s, const std::exception* e) {
            IgnoreException(s, e);
        };
    SetDeletePathMessagePump(PumpMessages);
    Players.clear();

    // The package says which player it wants, so it is read first; with
    // the installed player demanded and missing, nothing of it is applied.
    TOwnedItems items;
    ReadItems(OwnExecutablePath(), items.Items);
    const TPlayerKind kind = PackagePlayerKind(items.Items);
    const bool installed = kind != TPlayerKind::Builtin && CanCreateFlashPlayer();
    // A bare saver without a package has nothing for the built-in player.
    if ((kind == TPlayerKind::System || items.Items.empty()) && !installed)
        return;

    LoadPackageItems(items.Items);
    const TPlayerUse use = ChoosePlayer(
        kind, installed, installed && IsFlashPlayerVersionAtLeast(Settings.RequiredVersion));
    if (use == TPlayerUse::None)
        return;
    useBuiltin_ = use == TPlayerUse::Builtin;

    std::string modeText;
    const TScreenSaverMode mode = ScreenSaver->Mode();
    std::vector<TScreenRect> monitors;
    if (mode == smPreview) {
        modeText = "preview";
    } else if (mode == smRun) {
        modeText = "normal";
        desktop_ = DesktopRect();
        monitors = MonitorRects();
    }
    for (const TPlayerSlot& slot : PlanPlayers(mode == smPreview, mode == smRun, Settings.Layout,
                                               static_cast<int>(monitors.size()))) {
        if (slot.FillClient) {
            AddClientPlayer();
        } else {
            AddPlayer();
            PlacePlayerOnMonitor(slot.Monitor);
        }
    }

    const std::wstring flashVars = AnsiToWide(BuildFlashVars(Settings.ExtraFlashVars, modeText));
    for (TShockwaveFlashEx* player : Players) {
        Guarded([&] { player->SetLoop(Settings.LoopMovie); });
        Guarded([&] { player->SetMenu(Settings.MenuEnabled); });
        Guarded([&] { player->SetQuality(Settings.Quality); });
        Guarded([&] { player->SetFlashVars(flashVars); });
        Guarded([&] { player->SetBackgroundColor(Settings.BackgroundColor); });
    }

    if (mode == smPreview || mode == smRun)
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);

    if (Application)
        Application->SetTitle(TitleFromPath(ResolveShellPath(OwnExecutablePath())));
}

void TfrmMain::LoadPackageItems() {
    TOwnedItems items;
    ReadItems(OwnExecutablePath(), items.Items);
    LoadPackageItems(items.Items);
}

void TfrmMain::LoadPackageItems(const TItemTypes& Items) {
    if (!frmDialog)
        frmDialog = new TfrmDialog(Application);
    TLoaderHostImpl host(*this);
    TPackageLoader(host, Settings).Load(Items);
}

void TfrmMain::AddPlayer() {
    const TScreenSaverMode mode = ScreenSaver->Mode();
    ComPtr<IOleObject> builtin;
    if (useBuiltin_)
        OleCheck(player::CreateBuiltinPlayer(IID_IOleObject,
                                             reinterpret_cast<void**>(builtin.Receive())),
                 "CreateBuiltinPlayer");
    auto owned = std::make_unique<TShockwaveFlashEx>(this, mode != smRun, Settings.ThrottlePreview,
                                                     builtin.Get());
    TShockwaveFlashEx* player = owned.get();
    Players.push_back(player);
    owned.release(); // owned by this window as a component, listed in Players
    Guarded([&] {
        player->OnFSCommand = [this](TComponent* s, const std::wstring& c, const std::wstring& a) {
            PlayerFSCommand(s, c, a);
        };
    });
    Guarded([&] {
        if (!useBuiltin_ && IsFlashPlayerVersionAtLeast(kMinimumVersionForLocalSecurity))
            player->DisableLocalSecurity();
    });
    if (!Settings.RightClickEnabled)
        player->BlockMessage(WM_RBUTTONDOWN);
    if (mode != smRun)
        for (const TMessageRange& range : PreviewBlockedRanges())
            for (unsigned m = range.First; m <= range.Last; ++m)
                player->BlockMessage(m);
    player->SetParent(this);
}

void TfrmMain::AddClientPlayer() {
    AddPlayer();
    Guarded([&] { Players.back()->SetAlign(TAlign::alClient); });
}

void TfrmMain::PlacePlayerOnMonitor(int Index) {
    Guarded([&] {
        const std::vector<TScreenRect> monitors = MonitorRects();
        if (Index < 0 || static_cast<std::size_t>(Index) >= monitors.size() || Players.empty())
            return;
        const TPlayerBounds b =
            PlayerBoundsOnMonitor(monitors[static_cast<std::size_t>(Index)], desktop_);
        Players.back()->SetBounds(b.Left, b.Top, b.Width, b.Height);
    });
}

void TfrmMain::FormShow(TComponent*) {
    if (!MoviePending)
        return;
    const bool run = ScreenSaver->Mode() == smRun;
    // The built-in player plays every movie the package carries.
    if (!useBuiltin_ && !IsFlashPlayerVersionAtLeast(Settings.RequiredVersion)) {
        // No movie, but keys must still reach the saver to end it.
        if (run)
            TakeKeyboardFocus();
        return;
    }
    MoviePending = false;
    const std::wstring movie = AnsiToWide(Settings.MoviePath);
    const std::wstring scale = AnsiToWide(Settings.ScaleText);
    for (TShockwaveFlashEx* player : Players) {
        try {
            player->SetMovie(movie);
        } catch (...) {
            MoviePending = true;
        }
        if (run && !scale.empty()) {
            try {
                player->SetScale(scale);
            } catch (...) {
                MoviePending = true;
            }
        }
    }
    if (run)
        TakeKeyboardFocus();
}

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

void TfrmMain::FormDestroy(TComponent*) {
    if (destroyed_)
        return;
    destroyed_ = true;
    gPumpAllowed = false;
    ReleasePlayers();
    Players.clear();
    ReleaseInstanceGuard(InstanceGuard);
}

void TfrmMain::ScreenSaverTerminate(TComponent*) {
    ReleasePlayers();
}

void TfrmMain::PlayerFSCommand(TComponent*, const std::wstring& Command, const std::wstring&) {
    if (LowerAnsi(WideToAnsi(Command)) == kQuitCommand && ScreenSaver->Mode() == smRun)
        Close();
}

void TfrmMain::WndProc(TMessage& Message) {
    TForm::WndProc(Message);
    if (!IsForwardedInputMessage(Message.Msg))
        return;
    for (TShockwaveFlashEx* player : Players)
        if (player->HandleAllocated())
            PostMessageA(player->WindowHandle(), Message.Msg, Message.WParam, Message.LParam);
}

void TfrmMain::ReleasePlayers() noexcept {
    // Every player stops taking timer messages before the first one stops.
    for (TShockwaveFlashEx* player : Players)
        player->Closing = true;
    for (TShockwaveFlashEx* player : Players) {
        Guarded([&] { player->Stop(); });
        Guarded([&] { player->StopPlay(); });
        Guarded([&] { player->Hide(); });
        Guarded([&] { player->Free(); });
    }
    Players.clear();
    RemoveWrittenFiles(Settings);
}

} // namespace zembra
