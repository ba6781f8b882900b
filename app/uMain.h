// The main window: a black, borderless top-level form that the screen-saver
// component turns into the saver's window. It has the content package
// loaded into its playback settings, hosts one player control per display
// area in preview and run mode, hands them the movie, reacts to the movie's
// "quit" and removes what the package wrote when the saver ends.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/uPackageLoader.h"
#include "app/uPlayerLayout.h"
#include "flash/uShockwaveFlashEx.h"
#include "framework/uControls.h"
#include "saver/uScreenSaver.h"
#include "util/uHandles.h"

namespace zembra {

class TfrmMain : public TForm {
  public:
    explicit TfrmMain(TComponent* AOwner);
    // Runs FormDestroy while this object's fields still exist.
    ~TfrmMain() override;

    // Owned component; its mode is fixed before FormCreate runs.
    TScreenSaver* ScreenSaver = nullptr;

    // The playback settings: what LoadPackageItems read from the package,
    // the files it wrote and the working folder it created.
    TPlaybackSettings Settings;
    // The player controls in creation order; also owned by this window.
    std::vector<TShockwaveFlashEx*> Players;
    // True from the start of FormCreate until the movie was handed to the
    // player controls.
    bool MoviePending = false;
    // Named mutex made from the package's "GUID" item, or empty.
    UniqueHandle InstanceGuard;

    void FormCreate(TComponent* Sender);
    void FormShow(TComponent* Sender);
    void FormDestroy(TComponent* Sender);
    // The application's exception event: every exception that reaches the
    // message loop is dropped without a word.
    void IgnoreException(TComponent* Sender, const std::exception* E);
    // ScreenSaver.OnTerminate: the players stop and the written files go.
    void ScreenSaverTerminate(TComponent* Sender);

    // A player control owned by this window, listed in Players, bound to
    // PlayerFSCommand, with the input it must not see blocked.
    void AddPlayer();
    // AddPlayer, filling the client area.
    void AddClientPlayer();
    // The newest player over monitor Index (enumeration order), relative to
    // the desktop rectangle the window covers.
    void PlacePlayerOnMonitor(int Index);
    // Creates the about dialog, then applies the package behind the program
    // file to the settings (writing the movie and its companion files).
    void LoadPackageItems();
    // The same with items read already.
    void LoadPackageItems(const TItemTypes& Items);
    // The players are the built-in control rather than the installed one.
    bool UsesBuiltinPlayer() const noexcept { return useBuiltin_; }
    // "quit" in any case ends a running saver, without the password check.
    void PlayerFSCommand(TComponent* Sender, const std::wstring& Command, const std::wstring& Args);
    // Stops and frees every player, deletes the written files and the
    // working folder this run created. Safe to run more than once.
    void ReleasePlayers() noexcept;

  protected:
    // Passes key and mouse-button messages on to every player.
    void WndProc(TMessage& Message) override;

    // Joins the foreground window's input state for a moment to take the
    // keyboard focus (run mode), so that keys reach the saver.
    void TakeKeyboardFocus() noexcept;

  private:
    class TLoaderHostImpl;

    TScreenRect desktop_;
    bool destroyed_ = false;
    bool useBuiltin_ = false;
};

// Masks every floating-point exception of the x87 unit before any player
// code runs (control word 0x133F: all masks, extended precision, nearest).
void MaskFloatingPointExceptions() noexcept;

// No error box of the run-time or the system: a fatal error ends the
// program silently.
void SilenceFatalErrorBoxes() noexcept;

} // namespace zembra

#endif // _WIN32
