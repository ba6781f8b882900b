// The main window: a black, borderless top-level form that the screen-saver
// component turns into the saver's window, and that hosts the player
// controls in preview and run mode.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <exception>
#include <string>

#include "framework/uControls.h"
#include "saver/uScreenSaver.h"

namespace zembra {

class TfrmMain : public TForm {
  public:
    explicit TfrmMain(TComponent* AOwner);
    ~TfrmMain() override;

    // Owned component; its mode is fixed before FormCreate runs.
    TScreenSaver* ScreenSaver = nullptr;

    // True from the start of FormCreate until the movie was handed to the
    // player controls.
    bool MoviePending = false;
    // Named mutex made from the package's "GUID" item, or null.
    HANDLE InstanceGuard = nullptr;

    void FormCreate(TComponent* Sender);
    void FormShow(TComponent* Sender);
    void FormDestroy(TComponent* Sender);
    // The application's exception event: every exception that reaches the
    // message loop is dropped without a word.
    void IgnoreException(TComponent* Sender, const std::exception* E);
    // ScreenSaver.OnTerminate: the players stop and the written files go.
    void ScreenSaverTerminate(TComponent* Sender);

  protected:
    // Steps of FormCreate and FormShow that belong to the player host and
    // the package loader. They do nothing yet; the player host fills them.
    //
    // Creates the player controls for the mode and layout and gives them
    // their properties (run after the error handling is set up).
    virtual void CreatePlayers() {}
    // Whether the movie may be handed to the players now (installed player
    // recent enough).
    virtual bool MovieAssignable() { return true; }
    // Hands the movie to every player; false when an assignment failed (the
    // next showing then tries again).
    virtual bool AssignMovie() { return true; }

    // Joins the foreground window's input state for a moment to take the
    // keyboard focus (run mode), so that keys reach the saver.
    void TakeKeyboardFocus() noexcept;
};

// Masks every floating-point exception of the x87 unit before any player
// code runs (control word 0x133F: all masks, extended precision, nearest).
void MaskFloatingPointExceptions() noexcept;

// No error box of the run-time or the system: a fatal error ends the
// program silently.
void SilenceFatalErrorBoxes() noexcept;

} // namespace zembra

#endif // _WIN32
