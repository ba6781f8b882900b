// Message-loop timer: ticks arrive as WM_TIMER on a hidden window of the
// thread that created the timer.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include "framework/uComponent.h"
#include "util/uHandles.h"

namespace zembra {

class TTimer : public TComponent {
  public:
    // Enabled with an interval of 1000 ms from the start.
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds; 0 stops the timer.
    unsigned Interval() const noexcept { return interval_; }
    void SetInterval(unsigned value);

    // Exceptions from it go to the application's exception handling.
    TNotifyEvent OnTimer;

  private:
    static LRESULT CALLBACK TimerWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) noexcept;
    void UpdateTimer();
    void Tick() noexcept;

    UniqueWindow window_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    bool running_ = false;
};

} // namespace zembra

#endif // _WIN32
