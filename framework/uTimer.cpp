#include "framework/uTimer.h"

#include <mutex>
#include <stdexcept>

#include "framework/uApplication.h"

namespace zembra {

namespace {

const char* const kTimerClass = "ZembraTimer";
constexpr UINT_PTR kTimerId = 1;

} // namespace

LRESULT CALLBACK TTimer::TimerWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) noexcept {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    if (msg == WM_TIMER && w == kTimerId) {
        if (auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(h, GWLP_USERDATA)))
            timer->Tick();
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TTimer::TimerWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kTimerClass;
        RegisterClassExA(&wc);
    });
    window_.Reset(CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), this));
    if (!window_)
        throw std::runtime_error("timer window could not be created");
    UpdateTimer();
}

TTimer::~TTimer() {
    BeginDestroy();
    if (window_) {
        KillTimer(window_.Get(), kTimerId);
        SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
    }
    window_.Reset();
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
    if (value == interval_)
        return;
    interval_ = value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!window_)
        return;
    KillTimer(window_.Get(), kTimerId);
    running_ = false;
    if (enabled_ && interval_ != 0 && !Destroying())
        running_ = SetTimer(window_.Get(), kTimerId, interval_, nullptr) != 0;
}

void TTimer::Tick() noexcept {
    try {
        if (OnTimer && !Destroying())
            OnTimer(this);
    } catch (...) {
        HandleCallbackException(this);
    }
}

} // namespace zembra
