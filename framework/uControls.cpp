#include "framework/uControls.h"

#include <algorithm>
#include <stdexcept>

#include "framework/uApplication.h"

namespace zembra {

namespace {

// Window properties: the bound control, and the original procedure of a
// subclassed window (kept while our procedure is still installed, so that
// messages can be passed on even after the control let go).
const char* const kControlProp = "ZembraControl";
const char* const kOrigProcProp = "ZembraOrigProc";

LPCSTR CursorResource(TCursor c) noexcept {
    switch (c) {
    case crHandPoint:
        return IDC_HAND;
    case crArrow:
        return IDC_ARROW;
    default:
        return nullptr;
    }
}

} // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    font_.OnChange = [this] {
        if (!copyingFont_)
            parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    BeginDestroy();
    font_.OnChange = nullptr;
    if (parent_)
        parent_->RemoveControl(this);
    parent_ = nullptr;
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == parent_)
        return;
    for (TControl* p = AParent; p; p = p->parent_)
        if (p == this)
            throw std::logic_error("a control cannot be its own parent");
    TWinControl* old = parent_;
    if (old)
        old->RemoveControl(this);
    parent_ = nullptr;
    if (AParent)
        AParent->InsertControl(this);
    if (parentFont_)
        CopyParentFont();
    ParentChanged(old);
    RequestAlign();
}

void TControl::CopyParentFont() {
    if (!parent_)
        return;
    copyingFont_ = true;
    try {
        font_.Assign(parent_->Font());
    } catch (...) {
        copyingFont_ = false;
        throw;
    }
    copyingFont_ = false;
}

void TControl::SetParentFont(bool value) {
    parentFont_ = value;
    if (value)
        CopyParentFont();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_)
        return;
    StoreBounds(ALeft, ATop, AWidth, AHeight);
    BoundsChanged();
}

RECT TControl::BoundsRect() const noexcept {
    return RECT{left_, top_, left_ + width_, top_ + height_};
}

void TControl::SetClientSize(int w, int h) {
    const SIZE frame = FrameSize();
    SetBounds(left_, top_, w + frame.cx, h + frame.cy);
}

void TControl::SetVisible(bool value) {
    if (value == visible_)
        return;
    visible_ = value;
    VisibleChanged();
}

void TControl::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    EnabledChanged();
}

void TControl::SetAlign(TAlign value) {
    if (value == align_)
        return;
    align_ = value;
    RequestAlign();
}

void TControl::RequestAlign() {
    if (align_ == TAlign::alClient && parent_)
        SetBounds(0, 0, parent_->ClientWidth(), parent_->ClientHeight());
}

void TControl::SetCursor(TCursor value) {
    if (value == cursor_)
        return;
    cursor_ = value;
    CursorChanged();
}

void TControl::SetCaption(const std::string& value) {
    if (value == caption_)
        return;
    caption_ = value;
    CaptionChanged();
}

void TControl::SetColor(TColor value) {
    if (value == color_)
        return;
    color_ = value;
    ColorChanged();
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
}

TForm* TControl::ParentForm() const noexcept {
    const TControl* c = this;
    while (c->parent_)
        c = c->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::ScaleBy(int M, int D) {
    if (D == 0 || M == D)
        return;
    SetBounds(MulDiv(left_, M, D), MulDiv(top_, M, D), MulDiv(width_, M, D), MulDiv(height_, M, D));
    if (!parentFont_)
        font_.SetHeight(MulDiv(font_.Height(), M, D));
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
}

TWinControl::~TWinControl() {
    BeginDestroy();
    // Owned components go first: they may still use this window (a
    // component that took over WindowProc puts it back here).
    DestroyComponents();
    for (TControl* c : controls_)
        c->parent_ = nullptr;
    controls_.clear();
    DestroyHandle();
    WindowProc = nullptr;
}

void TWinControl::InsertControl(TControl* c) {
    controls_.push_back(c);
    c->parent_ = this;
}

void TWinControl::RemoveControl(TControl* c) noexcept {
    auto it = std::find(controls_.begin(), controls_.end(), c);
    if (it != controls_.end())
        controls_.erase(it);
    c->parent_ = nullptr;
}

TControl* TWinControl::Controls(int index) const noexcept {
    if (index < 0 || index >= ControlCount())
        return nullptr;
    return controls_[static_cast<std::size_t>(index)];
}

HWND TWinControl::Handle() {
    if (!handle_ && !Destroying() && !creatingHandle_) {
        if (Parent())
            Parent()->HandleNeeded(); // creates this window among its children
        if (!handle_) {
            creatingHandle_ = true;
            try {
                CreateWnd();
            } catch (...) {
                creatingHandle_ = false;
                throw;
            }
            creatingHandle_ = false;
            if (handle_)
                HandleCreated();
        }
    }
    return handle_;
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.Caption = Caption();
    p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (Parent() || parentWindow_) {
        p.Style |= WS_CHILD;
        if (Visible())
            p.Style |= WS_VISIBLE;
        p.WndParent = Parent() ? Parent()->handle_ : parentWindow_;
    } else {
        p.Style |= WS_POPUP;
        p.WndParent = Application ? Application->Handle() : nullptr;
    }
    if (!Enabled())
        p.Style |= WS_DISABLED;
    p.X = Left();
    p.Y = Top();
    p.Width = Width();
    p.Height = Height();
}

void TWinControl::CreateWnd() {
    RegisterFrameworkClasses();
    TCreateParams p;
    CreateParams(p);
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (p.WinClassName.empty()) {
        HWND h = CreateWindowExA(p.ExStyle, FrameworkWindowClass, p.Caption.c_str(), p.Style, p.X,
                                 p.Y, p.Width, p.Height, p.WndParent, nullptr, inst, this);
        if (!h)
            throw std::runtime_error("window could not be created");
        if (!handle_) // bound on WM_NCCREATE; anything else is a failed creation
            throw std::runtime_error("window was not bound");
    } else {
        HWND h = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X,
                                 p.Y, p.Width, p.Height, p.WndParent, nullptr, inst, nullptr);
        if (!h)
            throw std::runtime_error("window could not be created");
        try {
            AttachHandle(h);
        } catch (...) {
            DestroyWindow(h);
            throw;
        }
    }
}

void TWinControl::HandleCreated() {
    UpdateBoundsFromWindow();
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(controls_[i]))
            w->HandleNeeded();
    AlignControls();
}

void TWinControl::AttachHandle(HWND h) {
    if (!h || !IsWindow(h))
        throw std::invalid_argument("not a window");
    if (handle_)
        throw std::logic_error("control has a window already");
    if (GetPropA(h, kControlProp))
        throw std::logic_error("window is bound to another control");
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC));
    if (old == &StaticWndProc) {
        // Still carries our procedure from an earlier control: reuse the
        // original it passes messages on to.
        old = reinterpret_cast<WNDPROC>(GetPropA(h, kOrigProcProp));
        if (!old)
            throw std::logic_error("window procedure unknown");
    } else {
        SetPropA(h, kOrigProcProp, reinterpret_cast<HANDLE>(old));
    }
    originalProc_ = old;
    Bind(h);
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc));
}

void TWinControl::Bind(HWND h) noexcept {
    handle_ = h;
    SetPropA(h, kControlProp, reinterpret_cast<HANDLE>(this));
}

void TWinControl::Unbind() noexcept {
    HWND h = handle_;
    if (!h)
        return;
    handle_ = nullptr;
    if (GetPropA(h, kControlProp) == reinterpret_cast<HANDLE>(this))
        RemovePropA(h, kControlProp);
    if (originalProc_) {
        // Put the original back unless someone subclassed on top of us; then
        // our procedure stays in the chain and keeps passing messages on.
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)) == &StaticWndProc) {
            SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc_));
            RemovePropA(h, kOrigProcProp);
        }
        originalProc_ = nullptr;
    }
}

void TWinControl::DestroyWnd() {
    HWND h = handle_;
    if (!h)
        return;
    if (!IsWindow(h) || GetPropA(h, kControlProp) != reinterpret_cast<HANDLE>(this)) {
        // Destroyed behind our back: only forget it.
        handle_ = nullptr;
        originalProc_ = nullptr;
        return;
    }
    if (originalProc_) {
        Unbind();
        DestroyWindow(h);
    } else {
        DestroyWindow(h); // WM_NCDESTROY unbinds
        if (handle_ == h)
            Unbind();
    }
}

void TWinControl::DestroyHandle() noexcept {
    try {
        DestroyWnd();
    } catch (...) {
    }
    if (handle_)
        Unbind();
}

TWinControl* TWinControl::FromHandle(HWND h) noexcept {
    if (!h)
        return nullptr;
    return reinterpret_cast<TWinControl*>(GetPropA(h, kControlProp));
}

TWinControl* TWinControl::FindControl(HWND h) noexcept {
    for (; h; h = GetAncestor(h, GA_PARENT)) {
        if (TWinControl* c = FromHandle(h))
            return c;
    }
    return nullptr;
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) noexcept {
    TWinControl* c = FromHandle(h);
    if (!c && msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
        c = static_cast<TWinControl*>(cs->lpCreateParams);
        if (c && !c->handle_ && c->creatingHandle_)
            c->Bind(h);
        else
            c = nullptr;
    }
    if (!c) {
        if (auto orig = reinterpret_cast<WNDPROC>(GetPropA(h, kOrigProcProp)))
            return CallWindowProcA(orig, h, msg, w, l);
        return DefWindowProcA(h, msg, w, l);
    }
    return c->MainWndProc(msg, w, l);
}

LRESULT TWinControl::MainWndProc(UINT msg, WPARAM w, LPARAM l) noexcept {
    TMessage m{msg, w, l, 0};
    try {
        if (WindowProc)
            WindowProc(m);
        else
            WndProc(m);
    } catch (...) {
        HandleCallbackException(this);
    }
    if (msg == WM_NCDESTROY)
        Unbind();
    return m.Result;
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (!handle_)
        return;
    if (originalProc_)
        m.Result = CallWindowProcA(originalProc_, handle_, m.Msg, m.WParam, m.LParam);
    else
        m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (WindowProc)
        WindowProc(m);
    else
        WndProc(m);
    return m.Result;
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_WINDOWPOSCHANGED:
        DefaultHandler(m);
        UpdateBoundsFromWindow();
        return;
    case WM_SIZE:
        DefaultHandler(m);
        AlignControls();
        return;
    case WM_COMMAND:
        if (m.LParam != 0) {
            TWinControl* child = FromHandle(reinterpret_cast<HWND>(m.LParam));
            if (child && child != this && child->CommandNotify(HIWORD(m.WParam))) {
                m.Result = 0;
                return;
            }
        }
        break;
    case WM_ERASEBKGND:
        if (!originalProc_ && EraseBackground(reinterpret_cast<HDC>(m.WParam))) {
            m.Result = 1;
            return;
        }
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (!originalProc_) {
            SetBkColor(reinterpret_cast<HDC>(m.WParam), ColorToRGB(Color()));
            m.Result = reinterpret_cast<LRESULT>(BackgroundBrush());
            return;
        }
        break;
    case WM_SETCURSOR:
        if (Cursor() != crDefault && reinterpret_cast<HWND>(m.WParam) == handle_ &&
            LOWORD(m.LParam) == HTCLIENT) {
            if (LPCSTR res = CursorResource(Cursor())) {
                ::SetCursor(LoadCursorA(nullptr, res));
                m.Result = TRUE;
                return;
            }
        }
        break;
    default:
        break;
    }
    DefaultHandler(m);
}

void TWinControl::UpdateBoundsFromWindow() noexcept {
    if (!handle_)
        return;
    RECT r;
    if (!GetWindowRect(handle_, &r))
        return;
    if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) {
        HWND parent = GetParent(handle_);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    }
    StoreBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

HBRUSH TWinControl::BackgroundBrush() noexcept {
    const TColor c = Color();
    if (c & clSystemColor)
        return GetSysColorBrush(static_cast<int>(c & 0xFF));
    if (!brush_ || brushColor_ != c) {
        brush_.Reset(CreateSolidBrush(ColorToRGB(c)));
        brushColor_ = c;
    }
    return static_cast<HBRUSH>(brush_.Get());
}

bool TWinControl::EraseBackground(HDC dc) noexcept {
    if (!dc || !handle_)
        return false;
    RECT r;
    GetClientRect(handle_, &r);
    FillRect(dc, &r, BackgroundBrush());
    return true;
}

SIZE TWinControl::FrameSize() const {
    DWORD style, ex;
    if (handle_) {
        style = static_cast<DWORD>(GetWindowLongA(handle_, GWL_STYLE));
        ex = static_cast<DWORD>(GetWindowLongA(handle_, GWL_EXSTYLE));
    } else {
        TCreateParams p;
        const_cast<TWinControl*>(this)->CreateParams(p);
        style = p.Style;
        ex = p.ExStyle;
    }
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, style, FALSE, ex);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

int TWinControl::ClientWidth() const {
    if (handle_) {
        RECT r;
        if (GetClientRect(handle_, &r))
            return r.right - r.left;
    }
    return std::max(0, Width() - static_cast<int>(FrameSize().cx));
}

int TWinControl::ClientHeight() const {
    if (handle_) {
        RECT r;
        if (GetClientRect(handle_, &r))
            return r.bottom - r.top;
    }
    return std::max(0, Height() - static_cast<int>(FrameSize().cy));
}

void TWinControl::BoundsChanged() {
    if (handle_ && !settingBounds_) {
        settingBounds_ = true;
        SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        settingBounds_ = false;
    }
    if (!handle_)
        AlignControls();
}

void TWinControl::AlignControls() {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        controls_[i]->RequestAlign();
}

void TWinControl::VisibleChanged() {
    if (handle_) {
        ShowWindow(handle_, Visible() ? ShowCommand() : SW_HIDE);
    } else if (Visible() && Parent() && Parent()->HandleAllocated()) {
        HandleNeeded(); // created with WS_VISIBLE
    }
}

void TWinControl::EnabledChanged() {
    if (handle_)
        EnableWindow(handle_, Enabled() ? TRUE : FALSE);
}

void TWinControl::CaptionChanged() {
    if (handle_)
        SetWindowTextA(handle_, Caption().c_str());
}

void TWinControl::ColorChanged() {
    if (handle_)
        RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TWinControl::FontChanged() {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i]->ParentFont())
            controls_[i]->CopyParentFont();
    Invalidate();
}

void TWinControl::CursorChanged() {
    if (!handle_)
        return;
    POINT pt;
    if (GetCursorPos(&pt) && WindowFromPoint(pt) == handle_) {
        LPCSTR res = CursorResource(Cursor());
        ::SetCursor(LoadCursorA(nullptr, res ? res : IDC_ARROW));
    }
}

void TWinControl::SetParent(TWinControl* AParent) {
    if (AParent == Parent())
        return;
    if (AParent)
        parentWindow_ = nullptr;
    TControl::SetParent(AParent);
    if (handle_) {
        if (AParent && AParent->HandleAllocated()) {
            LONG style = GetWindowLongA(handle_, GWL_STYLE);
            SetWindowLongA(handle_, GWL_STYLE, (style & ~WS_POPUP) | WS_CHILD);
            ::SetParent(handle_, AParent->handle_);
            SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        } else {
            // Created again when the new parent (or none) needs it.
            DestroyHandle();
        }
    } else if (AParent && AParent->HandleAllocated()) {
        HandleNeeded();
    }
}

void TWinControl::SetParentWindow(HWND parent) {
    if (parent == parentWindow_)
        return;
    if (parent && Parent())
        TControl::SetParent(nullptr);
    parentWindow_ = parent;
    if (!handle_)
        return;
    LONG style = GetWindowLongA(handle_, GWL_STYLE);
    if (parent) {
        // The child style goes on before the window moves into the host.
        SetWindowLongA(handle_, GWL_STYLE, (style & ~WS_POPUP) | WS_CHILD);
        ::SetParent(handle_, parent);
    } else {
        ::SetParent(handle_, nullptr);
        SetWindowLongA(handle_, GWL_STYLE, (style & ~WS_CHILD) | WS_POPUP);
    }
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateBoundsFromWindow();
}

void TWinControl::Invalidate() noexcept {
    if (handle_)
        InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::SetFocus() noexcept {
    try {
        if (HWND h = Handle())
            ::SetFocus(h);
    } catch (...) {
    }
}

bool TWinControl::Focused() const noexcept {
    return handle_ && GetFocus() == handle_;
}

void TWinControl::ScaleBy(int M, int D) {
    if (D == 0 || M == D)
        return;
    TControl::ScaleBy(M, D);
    for (std::size_t i = 0; i < controls_.size(); ++i)
        controls_[i]->ScaleBy(M, D);
}

} // namespace zembra
