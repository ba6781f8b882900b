#include "uThreadTimer.h"

#include <chrono>

#include "framework/uApplication.h"
#include "framework/uControls.h"

namespace zembra {

namespace {

std::atomic<bool> gFinishing{false};

// Raises the finishing flag when the program's static objects are torn down.
struct FinishingFlag {
    ~FinishingFlag() { gFinishing = true; }
} gFinishingFlag;

bool ApplicationTerminated() noexcept {
    TApplication* app = Application;
    return app && app->Terminated();
}

} // namespace

bool TThreadTimer::Finishing() noexcept {
    return gFinishing.load();
}

TThreadTimerExec::TThreadTimerExec(TThreadTimer* timer) : TThread(true), timer_(timer) {}

void TThreadTimerExec::Execute() {
    Running = true;
    try {
        using Clock = std::chrono::steady_clock;
        while (!Terminated() && !gFinishing && !ApplicationTerminated()) {
            // A monotonic clock: changing the system time must not stretch or
            // cut short the period.
            const auto deadline = Clock::now() + std::chrono::milliseconds(timer_->Interval());
            do {
                Sleep(10);
            } while (Clock::now() <= deadline && !Terminated());
            if (Terminated() || !EnabledFlag)
                continue;
            if (timer_->UseSyncronize) {
                TThreadTimer* timer = timer_;
                Synchronize([timer] { timer->Fire(); });
            } else {
                timer_->Fire();
            }
        }
    } catch (...) {
        // A failing tick stops this timer for good; nothing is reported.
    }
    Running = false;
}

TThreadTimer::TThreadTimer(TComponent* AOwner)
    : TComponent(AOwner), owner_(AOwner), worker_(std::make_unique<TThreadTimerExec>(this)) {}

TThreadTimer::~TThreadTimer() {
    // Mark first, then wait: Fire raises busy before it looks at the mark,
    // so a tick either sees the mark or is waited for here.
    destroying_ = true;
    while (busy_) {
        if (Application && GetCurrentThreadId() == TApplication::MainThreadId())
            Application->ProcessMessages();
        else
            Sleep(1);
    }
    OnTimer = nullptr;
    worker_->Terminate();
    // The thread's own end is the only safe sign that the worker is done:
    // a flag it clears on its way out may be read just as it goes. A worker
    // that never ran ends at once without running its body; on the main
    // thread the wait serves a synchronised tick that is waiting for it
    // (the tick returns at once now).
    try {
        if (workerStarted_)
            worker_->WaitFor();
    } catch (...) {
        // WaitFor refuses only on the worker's own thread; the base
        // destructor below then skips the wait as well.
    }
    worker_.reset();
    owner_ = nullptr;
}

void TThreadTimer::SetEnabled(bool value) {
    const bool state = value && interval_ > 0;
    if (state == enabled_)
        return;
    enabled_ = state;
    worker_->EnabledFlag = state;
    if (!workerStarted_) {
        workerStarted_ = true;
        while (worker_->Suspended()) {
            worker_->Resume();
            Sleep(10);
        }
    }
}

void TThreadTimer::SetInterval(int value) noexcept {
    if (value < 10)
        value = 10;
    if (value != interval_)
        interval_ = value;
}

TThreadPriority TThreadTimer::Priority() const noexcept {
    return worker_->Priority();
}

void TThreadTimer::SetPriority(TThreadPriority value) noexcept {
    worker_->SetPriority(value);
}

void TThreadTimer::Fire() {
    if (busy_.exchange(true))
        return;
    struct ClearBusy {
        std::atomic<bool>& flag;
        ~ClearBusy() { flag = false; }
    } clear{busy_};
    if (destroying_)
        return;
    if (UseMessage) {
        auto* control = dynamic_cast<TWinControl*>(owner_);
        HWND window = control ? control->WindowHandle() : nullptr;
        if (!window)
            return;
        const UINT message = WM_USER + static_cast<UINT>(MessageNo.load());
        MSG queued{};
        queued.message = 0;
        if (!PeekMessageA(&queued, window, message, message, PM_NOREMOVE) ||
            queued.message != message)
            PostMessageA(window, message, 0, 0);
        return;
    }
    if (OnTimer)
        OnTimer(this);
}

} // namespace zembra
