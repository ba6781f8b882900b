#include "flash/uShockwaveFlashEx.h"

#include <algorithm>

namespace zembra {

TShockwaveFlashEx::TShockwaveFlashEx(TWinControl* MainWindow, bool PreviewMode, bool ThrottleTimer,
                                     IOleObject* Player)
    : TShockwaveFlash(MainWindow, Player), throttleTimer_(ThrottleTimer), previewMode_(PreviewMode),
      ownerWindow_(MainWindow ? MainWindow->Handle() : nullptr) {}

TShockwaveFlashEx::~TShockwaveFlashEx() = default;

void TShockwaveFlashEx::BlockMessage(UINT Msg) {
    blockedMessages_.push_back(Msg);
}

bool TShockwaveFlashEx::ShouldPass(UINT Msg) {
    bool pass =
        std::find(blockedMessages_.begin(), blockedMessages_.end(), Msg) == blockedMessages_.end();
    if (Msg == WM_TIMER) {
        if (Closing) {
            pass = false;
        } else if (previewMode_) {
            // A hidden preview does not animate at all.
            if (!IsWindowVisible(ownerWindow_)) {
                pass = false;
            } else if (throttleTimer_) {
                // Unsigned arithmetic keeps this right across the tick
                // counter's wrap-around.
                if (GetTickCount() - lastTimerTick_ < ThrottleIntervalMs)
                    Sleep(ThrottleIntervalMs);
                lastTimerTick_ = GetTickCount();
            }
        }
    }
    return pass;
}

void TShockwaveFlashEx::WndProc(TMessage& Message) {
    try {
        if (ShouldPass(Message.Msg))
            TShockwaveFlash::WndProc(Message);
        else
            Message.Result = 0;
    } catch (...) {
        // Nothing leaves the window procedure; the message keeps whatever
        // result it had.
    }
}

} // namespace zembra
