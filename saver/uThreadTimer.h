// A timer whose period is measured by a worker thread of its own, so that it
// keeps ticking while the main thread's message loop is busy. A tick is
// delivered by calling OnTimer on the worker thread (default), on the main
// thread through the thread's synchronisation (UseSyncronize), or by posting
// WM_USER + MessageNo to the owner window (UseMessage).
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <memory>

#include "framework/uComponent.h"
#include "framework/uThread.h"

namespace zembra {

class TThreadTimer;

// The worker: waits out whole periods in 10 ms steps and fires while its
// enabled flag is set. Once started it runs until it is terminated, the
// program's modules are finalised or the application terminates. The timer
// owns it and joins its thread before freeing it, so nothing ever looks at a
// worker that is gone.
class TThreadTimerExec : public TThread {
  public:
    explicit TThreadTimerExec(TThreadTimer* timer);

    std::atomic<bool> Running{false};
    std::atomic<bool> EnabledFlag{false};

  protected:
    void Execute() override;

  private:
    TThreadTimer* timer_;
};

class TThreadTimer : public TComponent {
  public:
    explicit TThreadTimer(TComponent* AOwner);
    // Waits for a tick in progress, then for the worker's thread to end.
    // Must not run inside this timer's own OnTimer.
    ~TThreadTimer() override;

    // Read by the worker on every tick; set them before enabling.
    std::atomic<bool> UseSyncronize{false};
    std::atomic<bool> UseMessage{false};
    // Free for the user; the timer never reads it.
    int Data = 0;
    // The posted message is WM_USER + MessageNo.
    std::atomic<int> MessageNo{0x300};
    // Called with the timer as sender; on the worker thread in direct
    // delivery, so it must only do what is safe from another thread. Set it
    // before enabling the timer.
    TNotifyEvent OnTimer;

    bool Enabled() const noexcept { return enabled_.load(); }
    // The first change starts the worker; disabling only gates the ticks.
    // Enabling needs an Interval above 0.
    void SetEnabled(bool value);
    int Interval() const noexcept { return interval_.load(); }
    // Values below 10 ms become 10 ms.
    void SetInterval(int value) noexcept;
    TThreadPriority Priority() const noexcept;
    void SetPriority(TThreadPriority value) noexcept;

    // Delivers one tick (called by the worker, directly or synchronised).
    void Fire();

    // Set when the program's modules are finalised: every worker leaves its
    // loop at the next test.
    static bool Finishing() noexcept;

  private:
    TComponent* owner_;
    std::unique_ptr<TThreadTimerExec> worker_;
    bool workerStarted_ = false;
    std::atomic<bool> busy_{false};
    std::atomic<bool> enabled_{false};
    std::atomic<int> interval_{100};
    std::atomic<bool> destroying_{false};
};

} // namespace zembra

#endif // _WIN32
