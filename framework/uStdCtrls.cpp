#include <windowsx.h>

#include "framework/uApplication.h"
#include "framework/uControls.h"
#include "framework/uDeviceContext.h"

namespace zembra {

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    StoreBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.WinClassName = "BUTTON";
    p.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
    p.Style |= WS_TABSTOP | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void TButton::HandleCreated() {
    TWinControl::HandleCreated();
    SendMessageA(WindowHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
}

void TButton::FontChanged() {
    TWinControl::FontChanged();
    if (HandleAllocated())
        SendMessageA(WindowHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
}

void TButton::SetDefault(bool value) {
    if (value == default_)
        return;
    default_ = value;
    if (HandleAllocated())
        SendMessageA(WindowHandle(), BM_SETSTYLE, default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
}

bool TButton::CommandNotify(WORD code) {
    if (code != BN_CLICKED)
        return false;
    Click();
    return true;
}

void TButton::Click() {
    TWinControl::Click();
    if (ModalResult != mrNone)
        if (TForm* form = ParentForm())
            form->ModalResult = ModalResult;
}

// ---------------------------------------------------------------- TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle = csCaptureMouse | csClickEvents;
}

TColor TCustomControl::BackColor() const noexcept {
    if (Transparent && Parent())
        return Parent()->Color();
    return Color();
}

void TCustomControl::MouseEnter() {
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TCustomControl::MouseLeave() {
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TCustomControl::Paint(HDC, const RECT&) {}

void TCustomControl::TrackMouse(int x, int y) noexcept {
    HWND h = WindowHandle();
    RECT r;
    if (!h || !GetClientRect(h, &r))
        return;
    const POINT pt{x, y};
    const bool in = PtInRect(&r, pt) != FALSE;
    try {
        if (in && !inside_) {
            inside_ = true;
            TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, h, 0};
            TrackMouseEvent(&tme);
            MouseEnter();
        } else if (!in && inside_) {
            inside_ = false;
            MouseLeave();
        }
    } catch (...) {
        HandleCallbackException(this);
    }
}

void TCustomControl::WndProc(TMessage& m) {
    HWND h = WindowHandle();
    switch (m.Msg) {
    case WM_ERASEBKGND:
        m.Result = 1; // painted together with the content, without flicker
        return;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (dc) {
            RECT client;
            GetClientRect(h, &client);
            const int w = client.right, hgt = client.bottom;
            {
                // Without a memory bitmap it paints straight into the window.
                TMemoryDC buffer(dc, w, hgt);
                HDC target = buffer.Valid() ? buffer.Handle() : dc;
                HBRUSH brush = CreateSolidBrush(ColorToRGB(BackColor()));
                FillRect(target, &client, brush);
                DeleteObject(brush);
                try {
                    Paint(target, client);
                } catch (...) {
                    HandleCallbackException(this);
                }
                if (buffer.Valid())
                    BitBlt(dc, 0, 0, w, hgt, buffer.Handle(), 0, 0, SRCCOPY);
            }
            EndPaint(h, &ps);
        }
        m.Result = 0;
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        if (ControlStyle & csCaptureMouse)
            SetCapture(h);
        pressed_ = true;
        TrackMouse(x, y);
        if (OnMouseDown)
            OnMouseDown(this, x, y);
        m.Result = 0;
        return;
    }
    case WM_LBUTTONUP: {
        const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (GetCapture() == h)
            ReleaseCapture();
        RECT r;
        GetClientRect(h, &r);
        const bool over = PtInRect(&r, POINT{x, y}) != FALSE;
        TrackMouse(x, y);
        if (OnMouseUp)
            OnMouseUp(this, x, y);
        if (wasPressed && over && (ControlStyle & csClickEvents))
            Click();
        m.Result = 0;
        return;
    }
    case WM_MOUSEMOVE:
        TrackMouse(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        break;
    case WM_MOUSELEAVE: {
        // Still inside while captured: the pointer only left another way.
        POINT pt;
        RECT r;
        if (GetCapture() == h && GetCursorPos(&pt) && ScreenToClient(h, &pt) &&
            GetClientRect(h, &r) && PtInRect(&r, pt)) {
            TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, h, 0};
            TrackMouseEvent(&tme);
        } else {
            if (GetCapture() != h)
                pressed_ = false;
            if (inside_) {
                inside_ = false;
                MouseLeave();
            }
        }
        m.Result = 0;
        return;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(m.LParam) != h)
            pressed_ = false;
        break;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent* AOwner) : TCustomControl(AOwner) {
    StoreBounds(0, 0, 65, 17);
}

UINT TLabel::TextFlags() const noexcept {
    UINT flags = DT_LEFT | DT_EXPANDTABS | DT_NOCLIP;
    if (!showAccelChar_)
        flags |= DT_NOPREFIX;
    return flags;
}

void TLabel::Paint(HDC dc, const RECT& client) {
    const std::string& text = Caption();
    if (text.empty())
        return;
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Enabled() ? ColorToRGB(Font().Color()) : GetSysColor(COLOR_GRAYTEXT));
    RECT r = client;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFlags());
    SelectObject(dc, old);
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || Destroying())
        return;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return;
    // An empty caption still takes one line, as a blank would.
    std::string text = Caption().empty() ? std::string(" ") : Caption();
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFlags() | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    adjusting_ = true;
    try {
        TCustomControl::SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
    } catch (...) {
        adjusting_ = false;
        throw;
    }
    adjusting_ = false;
}

void TLabel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (autoSize_ && !adjusting_)
        AdjustBounds();
}

void TLabel::SetAutoSize(bool value) {
    if (value == autoSize_)
        return;
    autoSize_ = value;
    AdjustBounds();
}

void TLabel::SetShowAccelChar(bool value) {
    if (value == showAccelChar_)
        return;
    showAccelChar_ = value;
    AdjustBounds();
    Invalidate();
}

void TLabel::CaptionChanged() {
    TCustomControl::CaptionChanged();
    AdjustBounds();
    Invalidate();
}

void TLabel::FontChanged() {
    TCustomControl::FontChanged();
    AdjustBounds();
}

void TLabel::Loaded() {
    TCustomControl::Loaded();
    AdjustBounds();
}

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* AOwner) : TCustomControl(AOwner) {
    StoreBounds(0, 0, 105, 105);
    picture_.OnChange = [this] { PictureChanged(); };
}

void TImage::PictureChanged() {
    if (autoSize_ && picture_.HasBitmap())
        SetBounds(Left(), Top(), picture_.BitmapWidth(), picture_.BitmapHeight());
    Invalidate();
}

void TImage::SetAutoSize(bool value) {
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (autoSize_)
        PictureChanged();
}

void TImage::SetStretch(bool value) {
    if (value == stretch_)
        return;
    stretch_ = value;
    Invalidate();
}

void TImage::Paint(HDC dc, const RECT& client) {
    if (!picture_.HasBitmap())
        return;
    RECT dest = client;
    if (!stretch_)
        dest = RECT{0, 0, picture_.BitmapWidth(), picture_.BitmapHeight()};
    picture_.Draw(dc, dest);
}

} // namespace zembra
