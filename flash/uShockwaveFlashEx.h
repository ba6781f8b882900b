// The player control the main window creates per display area. Its window
// procedure decides, message by message, what reaches the player: it
// swallows a per-control set of input messages, withholds timer messages
// while shutting down or while a preview is not visible, and slows timer
// messages down in a preview when asked to.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <vector>

#include "flash/uShockwaveFlash.h"

namespace zembra {

class TShockwaveFlashEx : public TShockwaveFlash {
  public:
    // Shortest gap between two timer messages a throttled preview lets
    // through without pausing, and the pause itself.
    static constexpr DWORD ThrottleIntervalMs = 50;

    // MainWindow becomes the owner; its window is created now if needed.
    // The player's window only appears once the control gets a parent, so
    // the fields hold before any message can arrive. Throws EOleError when
    // the player cannot be created. Player, when given, is hosted instead
    // of a new instance of the installed one.
    TShockwaveFlashEx(TWinControl* MainWindow, bool PreviewMode, bool ThrottleTimer,
                      IOleObject* Player = nullptr);
    ~TShockwaveFlashEx() override;

    // Messages with this number never reach the player (result 0).
    // Duplicates are harmless.
    void BlockMessage(UINT Msg);

    // Set when the saver shuts down: from then on no timer message passes.
    bool Closing = false;

    bool PreviewMode() const noexcept { return previewMode_; }
    bool ThrottleTimer() const noexcept { return throttleTimer_; }
    HWND OwnerWindow() const noexcept { return ownerWindow_; }
    DWORD LastTimerTick() const noexcept { return lastTimerTick_; }
    const std::vector<UINT>& BlockedMessages() const noexcept { return blockedMessages_; }

  protected:
    void WndProc(TMessage& Message) override;

  private:
    bool ShouldPass(UINT Msg);

    std::vector<UINT> blockedMessages_;
    bool throttleTimer_;
    bool previewMode_;
    HWND ownerWindow_;
    DWORD lastTimerTick_ = 0;
};

} // namespace zembra

#endif // _WIN32
