// TScreenSaver turns the form that owns it into a Windows screen saver: it
// reads the screen-saver command line, fixes the mode, places and shows the
// owner window for it, watches the input in run mode, asks for the system's
// screen-saver password and ends the program.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/uComponent.h"
#include "framework/uControls.h"
#include "framework/uDeviceContext.h"
#include "framework/uTimer.h"
#include "saver/uThreadTimer.h"

namespace zembra {

enum TScreenSaverMode : std::uint8_t {
    smNone = 0,     // unknown letter: shown, but input does not end it
    smPassword = 1, // "A": change the password, then end
    smConfig = 2,   // "C" or no argument: show the configuration form, then end
    smPreview = 3,  // "P <hwnd>": a disabled child filling the host window
    smRun = 4,      // "E": the full-screen saver
};

// Private messages the thread hooks post to the owner window.
constexpr UINT WM_SAVERKEY = WM_APP;       // wParam key code, lParam keystroke flags
constexpr UINT WM_SAVERMOUSE = WM_APP + 1; // wParam mouse message, lParam x | y << 16

// The running saver's single-instance name.
extern const char* const ScreenSaverInstanceName;

// The mode letter of this process's command line.
char GetCommandLetter();

// Starts this program again with " /E" and waits for it to end. The path is
// quoted on the child's command line, so a folder with a blank in its name
// neither breaks the start nor starts another program.
void RunSaverProcess() noexcept;

// The command line RunSaverProcess gives the child for a program path.
std::string SaverChildCommandLine(const std::string& programPath);

// Runs the "S" start-up step: returns true when this process was the
// launcher (the child has ended and the caller should exit with code 0).
bool RunSaverProcessIfRequested() noexcept;

// Hides the application's own (task-bar) window, when there is one.
void HideApplicationWindow() noexcept;

class TScreenSaver : public TComponent {
  public:
    // AOwner is the form the component serves; it must be a TWinControl.
    // Construction reads the command line and prepares the owner window (see
    // the unit comment); in password mode it runs the change dialog and ends.
    explicit TScreenSaver(TComponent* AOwner);
    ~TScreenSaver() override;

    // Places the owner window and shows it (modes none, preview and run).
    void Loaded() override;

    TScreenSaverMode Mode() const noexcept { return mode_; }

    bool BitmapNeeded() const noexcept { return bitmapNeeded_; }
    void SetBitmapNeeded(bool value);
    bool TimerEnabled() const noexcept { return timerEnabled_; }
    void SetTimerEnabled(bool value);
    bool ShowMouseCursor() const noexcept { return showMouseCursor_; }
    void SetShowMouseCursor(bool value) noexcept;
    std::string CustomizeFormName;
    int Interval() const noexcept;
    void SetInterval(int value);
    bool TerminateOnMouseMove = true;
    bool TerminateOnKeyDown = true;
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool value);

    TNotifyEvent OnIdle;
    TNotifyEvent OnTimer;
    TNotifyEvent OnTerminate;

    // Ends the saver in every mode: OnTerminate, then the main window closes.
    void Terminate();
    // Password check (when the user has one), then Terminate; a wrong
    // password leaves the saver running with the move count reset.
    void VerifyAndTerminate();
    // The system's change-password dialog, then Terminate.
    void ChangePassword();
    // Shows Text in an error box (caption "エラー", stop icon, OK).
    static void ShowErrorMessage(const std::wstring& text) noexcept;

    // Logical drawing size and the preview host's size.
    int LogicalWidth() const noexcept { return logicalWidth_; }
    int LogicalHeight() const noexcept { return logicalHeight_; }
    int PreviewWidth() const noexcept { return previewWidth_; }
    int PreviewHeight() const noexcept { return previewHeight_; }
    HWND ParentHandle() const noexcept { return parentHandle_; }
    int MoveCount() const noexcept { return moveCount_; }
    bool Terminating() const noexcept { return terminating_; }
    bool UsePassword() const noexcept { return usePassword_; }

    // One periodic step: keep on top, OnTimer, draw the off-screen bitmap.
    // True when the bitmap was drawn.
    bool Tick();

    // The owner window's message handler while the component is installed.
    void SaverWindowProc(TMessage& message);

    // The saver currently installed, or null.
    static TScreenSaver* Current() noexcept;

    // The thread hooks of run mode. A negative code is handed straight to
    // the next hook and nothing else is done with the call. Public so tests
    // can drive them with codes the system seldom sends.
    static LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

  private:
    void ReadPasswordSetting() noexcept;
    void ApplyBounds();
    void ApplyVisible();
    void KeepOnTop() noexcept;
    void ApplicationIdle(bool& done);
    void ShowCustomizeForm();
    void ThreadTick();
    void DetachPreview();
    void SetCanvasScale(HDC dc) noexcept;
    void PassOn(TMessage& message);
    void InstallHooks() noexcept;
    void RemoveHooks() noexcept;

    TTimer* intervalTimer_ = nullptr;
    TThreadTimer* threadTimer_ = nullptr;
    TScreenSaverMode mode_ = smNone;
    bool showMouseCursor_ = false;
    HWND parentHandle_ = nullptr;
    RECT parentRect_{};
    TWinControl* ownerWindow_ = nullptr;
    // The off-screen picture of the logical drawing size, while needed.
    std::unique_ptr<TMemoryDC> bitmap_;
    TWndMethod savedWindowProc_;
    bool windowProcInstalled_ = false;
    int logicalHeight_ = 0;
    int logicalWidth_ = 0;
    int moveCount_ = 0;
    bool active_ = false;
    bool usePassword_ = false;
    WORD lastX_ = 0;
    WORD lastY_ = 0;
    bool terminating_ = false;
    int previewWidth_ = 0;
    int previewHeight_ = 0;
    HWND imeWindow_ = nullptr;
    bool hooked_ = false;
    bool verifying_ = false;
    bool inTick_ = false;
    bool bitmapNeeded_ = false;
    bool timerEnabled_ = false;
    bool visible_ = true;
    bool inDetach_ = false;
    bool customizeShown_ = false;
    bool idleInstalled_ = false;
};

} // namespace zembra

#endif // _WIN32
