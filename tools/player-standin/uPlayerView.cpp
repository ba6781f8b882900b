#include "uPlayerView.h"

#include "uStandinLog.h"
#include "uStandinModule.h"

#include <string>

namespace zembra::standin {
namespace {

constexpr UINT_PTR kFrameTimerId = 1;

// Keyboard, mouse, tablet and pen messages count as input.
bool IsInputMessage(UINT msg) noexcept {
    return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) ||
           (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || (msg >= 0x02C0 && msg <= 0x02DF) ||
           (msg >= 0x0380 && msg <= 0x038F);
}

bool SameRect(const RECT& a, const RECT& b) noexcept {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Keeps the owner alive for one message; the release is the last thing the
// window procedure does, since it may free the owner and this view.
class OwnerHold {
  public:
    explicit OwnerHold(PlayerViewOwner* owner) noexcept : owner_(owner) {
        if (owner_)
            owner_->HoldOwner();
    }
    ~OwnerHold() {
        if (owner_)
            owner_->ReleaseOwner();
    }
    OwnerHold(const OwnerHold&) = delete;
    OwnerHold& operator=(const OwnerHold&) = delete;

  private:
    PlayerViewOwner* owner_;
};

} // namespace

PlayerView::~PlayerView() {
    owner_ = nullptr;
    Destroy();
}

bool PlayerView::Create(HWND parent, const RECT& pos) noexcept {
    if (hwnd_ || !EnsureViewClass(&PlayerView::WindowProc))
        return false;
    creating_ = true;
    HWND hwnd = CreateWindowExW(0, ViewClassName(), L"", WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE,
                                pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                                parent, nullptr, ModuleInstance(), this);
    creating_ = false;
    if (!hwnd)
        return false;
    // hwnd_ was set on WM_NCCREATE.
    SetTimer(hwnd_, kFrameTimerId, kFrameIntervalMs, nullptr);
    LogRect(true);
    return true;
}

void PlayerView::Destroy() noexcept {
    if (hwnd_)
        DestroyWindow(hwnd_); // WM_NCDESTROY clears hwnd_
    hwnd_ = nullptr;
}

void PlayerView::Move(const RECT& pos) noexcept {
    if (hwnd_)
        SetWindowPos(hwnd_, nullptr, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlayerView::Show(bool visible) noexcept {
    if (hwnd_)
        ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void PlayerView::SetDisplay(ViewDisplay display) noexcept {
    display_ = std::move(display);
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

void PlayerView::ResetFrames() noexcept {
    frames_ = 0;
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT CALLBACK PlayerView::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            auto* view = static_cast<PlayerView*>(cs->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
            view->hwnd_ = hwnd;
        }
        auto* view = reinterpret_cast<PlayerView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!view)
            return DefWindowProcW(hwnd, msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            view->hwnd_ = nullptr;
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        OwnerHold hold(view->owner_);
        return view->Handle(hwnd, msg, wp, lp);
    } catch (...) {
        return 0;
    }
}

LRESULT PlayerView::Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (IsInputMessage(msg)) {
        LogEvent("input " + HexText(msg) + " " + HexText(static_cast<std::uint32_t>(wp)) + " " +
                 HexText(static_cast<std::uint32_t>(lp)));
    }
    switch (msg) {
    case WM_TIMER:
        if (wp == kFrameTimerId) {
            OnTimer();
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        const auto* wpos = reinterpret_cast<const WINDOWPOS*>(lp);
        if (!creating_ && (wpos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
            LogRect(false);
        break; // DefWindowProc turns it into WM_MOVE and WM_SIZE
    }
    case WM_ERASEBKGND:
        return 1; // WM_PAINT fills everything
    case WM_PAINT:
        Paint();
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kFrameTimerId);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void PlayerView::OnTimer() {
    if (!playing_)
        return;
    ++frames_;
    if (owner_)
        owner_->OnFrameAdvanced(frames_);
    // The owner's event handlers may have destroyed the window.
    if (!hwnd_)
        return;
    // A moved parent moves this window on the screen without telling it.
    LogRect(false);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PlayerView::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (!dc)
        return;
    RECT client;
    GetClientRect(hwnd_, &client);
    HBRUSH brush = CreateSolidBrush(display_.background);
    if (brush) {
        FillRect(dc, &client, brush);
        DeleteObject(brush);
    }
    // Black or white text, whichever stands out more from the background.
    const COLORREF bg = display_.background;
    const unsigned luma =
        (GetRValue(bg) * 299u + GetGValue(bg) * 587u + GetBValue(bg) * 114u) / 1000u;
    SetTextColor(dc, luma > 128 ? RGB(0, 0, 0) : RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    std::wstring text = L"Movie: " + display_.movieName + L"\nFlashVars: " + display_.flashVars +
                        L"\nScale: " + display_.scale + L"\nFrame: " + std::to_wstring(frames_);
    RECT box = client;
    InflateRect(&box, -6, -6);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
}

void PlayerView::LogRect(bool force) noexcept {
    if (!hwnd_)
        return;
    RECT r;
    if (!GetWindowRect(hwnd_, &r))
        return;
    if (!force && rectLogged_ && SameRect(r, loggedRect_))
        return;
    loggedRect_ = r;
    rectLogged_ = true;
    try {
        LogEvent("window " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                 std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top));
    } catch (...) {
    }
}

} // namespace zembra::standin
