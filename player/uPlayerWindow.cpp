#include "player/uPlayerWindow.h"

namespace zembra::player {

namespace {

constexpr UINT_PTR kFrameTimerId = 1;
constexpr wchar_t kClassName[] = L"ZembraMoviePlayer";

HINSTANCE OwnModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

bool EnsureClass(WNDPROC proc) noexcept {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(OwnModule(), kClassName, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = OwnModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool IsInputMessage(UINT msg) noexcept {
    return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) ||
           (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST);
}

// Keeps the owner alive for one message; released last, since that may
// free the owner and this window object.
class OwnerHold {
  public:
    explicit OwnerHold(PlayerWindowOwner* owner) noexcept : owner_(owner) {
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
    PlayerWindowOwner* owner_;
};

} // namespace

const wchar_t* PlayerWindow::ClassName() noexcept {
    return kClassName;
}

PlayerWindow::~PlayerWindow() {
    owner_ = nullptr;
    Destroy();
}

bool PlayerWindow::Create(HWND parent, const RECT& pos) noexcept {
    if (hwnd_ || !parent || !EnsureClass(&PlayerWindow::WindowProc))
        return false;
    HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE,
                                pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                                parent, nullptr, OwnModule(), this);
    return hwnd != nullptr; // hwnd_ was set on WM_NCCREATE
}

void PlayerWindow::Destroy() noexcept {
    if (hwnd_)
        DestroyWindow(hwnd_); // WM_DESTROY kills the timer, WM_NCDESTROY clears hwnd_
    hwnd_ = nullptr;
    interval_ = 0;
}

void PlayerWindow::Move(const RECT& pos) noexcept {
    if (hwnd_)
        SetWindowPos(hwnd_, nullptr, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlayerWindow::Show(bool visible) noexcept {
    if (hwnd_)
        ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void PlayerWindow::Invalidate() noexcept {
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

void PlayerWindow::SetFrameInterval(UINT ms) noexcept {
    if (!hwnd_ || ms == interval_)
        return;
    if (ms == 0)
        KillTimer(hwnd_, kFrameTimerId);
    else
        SetTimer(hwnd_, kFrameTimerId, ms, nullptr); // replaces a running one
    interval_ = ms;
}

LRESULT CALLBACK PlayerWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            auto* self = static_cast<PlayerWindow*>(cs->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->hwnd_ = hwnd;
        }
        auto* self = reinterpret_cast<PlayerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self)
            return DefWindowProcW(hwnd, msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            self->interval_ = 0;
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        OwnerHold hold(self->owner_);
        return self->Handle(hwnd, msg, wp, lp);
    } catch (...) {
        return 0;
    }
}

LRESULT PlayerWindow::Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (IsInputMessage(msg) && owner_)
        owner_->OnInput(msg, wp, lp);
    switch (msg) {
    case WM_TIMER:
        if (wp == kFrameTimerId) {
            if (owner_)
                owner_->OnFrameTimer();
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT: {
        // Drawing into a caller's DC (snapshots, tests) without a paint cycle.
        RECT client{};
        GetClientRect(hwnd, &client);
        if (owner_ && wp)
            owner_->OnPaint(reinterpret_cast<HDC>(wp), client.right - client.left,
                            client.bottom - client.top);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(hwnd, kFrameTimerId);
        interval_ = 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void PlayerWindow::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (!dc)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (owner_)
        owner_->OnPaint(dc, client.right - client.left, client.bottom - client.top);
    EndPaint(hwnd_, &ps);
}

bool BlitPixels(HDC dc, const std::vector<std::uint32_t>& pixels, int width, int height) noexcept {
    if (!dc || width <= 0 || height <= 0 ||
        pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0,
                             0, static_cast<UINT>(height), pixels.data(), &info,
                             DIB_RGB_COLORS) != 0;
}

} // namespace zembra::player
