#include <stdexcept>
#include <vector>

#include "framework/uApplication.h"
#include "framework/uControls.h"

namespace zembra {

namespace {

constexpr DWORD kBorderStyleMask = WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME |
                                   WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kBorderExStyleMask = WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;

void BorderBits(TFormBorderStyle bs, TBorderIcons icons, DWORD& style, DWORD& ex) noexcept {
    switch (bs) {
    case TFormBorderStyle::bsNone:
        return;
    case TFormBorderStyle::bsSingle:
        style |= WS_CAPTION;
        break;
    case TFormBorderStyle::bsSizeable:
        style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case TFormBorderStyle::bsDialog:
        style |= WS_CAPTION;
        ex |= WS_EX_DLGMODALFRAME;
        break;
    case TFormBorderStyle::bsToolWindow:
        style |= WS_CAPTION;
        ex |= WS_EX_TOOLWINDOW;
        break;
    }
    if (icons & biSystemMenu) {
        style |= WS_SYSMENU;
        if (bs == TFormBorderStyle::bsSingle || bs == TFormBorderStyle::bsSizeable) {
            if (icons & biMinimize)
                style |= WS_MINIMIZEBOX;
            if (icons & biMaximize)
                style |= WS_MAXIMIZEBOX;
        }
    }
}

// A button counts for keys only while it and its parents up to the form are
// visible and enabled.
bool Usable(const TControl* c) noexcept {
    for (; c && !dynamic_cast<const TForm*>(c); c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return c != nullptr;
}

template <typename Pred> TButton* FindButton(const TWinControl* parent, Pred pred) noexcept {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (auto* b = dynamic_cast<TButton*>(c)) {
            if (pred(b) && Usable(b))
                return b;
        } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
            if (TButton* found = FindButton(w, pred))
                return found;
        }
    }
    return nullptr;
}

char AsciiUpper(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The character after a single "&" ("&&" is a literal ampersand), upper
// case; 0 when there is none. Double-byte characters are skipped whole.
char AccelChar(const std::string& s) noexcept {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (IsDBCSLeadByte(c) && i + 1 < s.size()) {
            i += 2;
            continue;
        }
        if (c == '&') {
            if (i + 1 >= s.size())
                return 0;
            if (s[i + 1] == '&') {
                i += 2;
                continue;
            }
            const auto n = static_cast<unsigned char>(s[i + 1]);
            if (n < 0x20 || n >= 0x80)
                return 0;
            return AsciiUpper(static_cast<char>(n));
        }
        ++i;
    }
    return 0;
}

struct DisabledWindows {
    HWND except;
    std::vector<HWND> list;
};

BOOL CALLBACK DisableWindow(HWND h, LPARAM param) noexcept {
    auto* d = reinterpret_cast<DisabledWindows*>(param);
    if (h != d->except && IsWindowVisible(h) && IsWindowEnabled(h)) {
        try {
            d->list.push_back(h);
        } catch (...) {
            return FALSE;
        }
        EnableWindow(h, FALSE);
    }
    return TRUE;
}

} // namespace

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    visible_ = false;
    color_ = clBtnFace;
    SetParentFont(false);
    StoreBounds(0, 0, 320, 240);
    if (Application)
        Application->AddForm(this);
}

void TForm::FireOnDestroy() noexcept {
    if (destroyFired_)
        return;
    destroyFired_ = true;
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            HandleCallbackException(this);
        }
    }
}

void TForm::BeforeDestruction() {
    TWinControl::BeforeDestruction();
    FireOnDestroy();
}

TForm::~TForm() {
    BeginDestroy();
    FireOnDestroy();
    if (Application)
        Application->RemoveForm(this);
    DestroyComponents();
    DestroyHandle();
}

void TForm::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.Style &= ~static_cast<DWORD>(WS_VISIBLE); // shown through Visible only
    BorderBits(borderStyle_, borderIcons_, p.Style, p.ExStyle);
}

void TForm::ApplyBorder() {
    HWND h = WindowHandle();
    if (!h)
        return;
    // Only the frame bits change: a child style given to the window (the
    // preview host) stays.
    DWORD style = static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & ~kBorderStyleMask;
    DWORD ex = static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE)) & ~kBorderExStyleMask;
    BorderBits(borderStyle_, borderIcons_, style, ex);
    SetWindowLongA(h, GWL_STYLE, static_cast<LONG>(style));
    SetWindowLongA(h, GWL_EXSTYLE, static_cast<LONG>(ex));
    SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::SetBorderStyle(TFormBorderStyle value) {
    if (value == borderStyle_)
        return;
    borderStyle_ = value;
    ApplyBorder();
}

void TForm::SetBorderIcons(TBorderIcons value) {
    if (value == borderIcons_)
        return;
    borderIcons_ = value;
    ApplyBorder();
}

void TForm::FinishCreate() {
    if (!creating_ || IsLoaded())
        return;
    ScaleForDpi();
    std::vector<TComponent*> owned;
    for (int i = 0; i < ComponentCount(); ++i)
        owned.push_back(Components(i));
    for (TComponent* c : owned)
        c->NotifyLoaded();
    NotifyLoaded();
    try {
        if (OnCreate)
            OnCreate(this);
    } catch (...) {
        HandleCallbackException(this);
    }
    creating_ = false;
    if (pendingVisible_) {
        pendingVisible_ = false;
        try {
            SetVisible(true);
        } catch (...) {
            HandleCallbackException(this);
        }
    }
}

int TForm::ScreenPPI() noexcept {
    HDC dc = GetDC(nullptr);
    if (!dc)
        return DesignPPI;
    int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return ppi > 0 ? ppi : DesignPPI;
}

void TForm::ScaleForDpi() {
    const int ppi = ScreenPPI();
    if (!Scaled || ppi == DesignPPI)
        return;
    const int cw = ClientWidth(), ch = ClientHeight();
    Font().SetHeight(MulDiv(Font().Height(), ppi, DesignPPI));
    for (int i = 0; i < ControlCount(); ++i)
        Controls(i)->ScaleBy(ppi, DesignPPI);
    SetClientSize(MulDiv(cw, ppi, DesignPPI), MulDiv(ch, ppi, DesignPPI));
}

void TForm::DoShow() {
    if (OnShow)
        OnShow(this);
}

void TForm::SetVisible(bool value) {
    if (creating_) {
        pendingVisible_ = value;
        return;
    }
    if (value == Visible())
        return;
    if (value) {
        StoreVisible(true);
        DoShow();
        if (!Visible())
            return; // OnShow hid it again
        if (HWND h = Handle())
            ShowWindow(h, ShowCommand());
    } else {
        StoreVisible(false);
        if (OnHide)
            OnHide(this);
        if (HandleAllocated())
            ShowWindow(WindowHandle(), SW_HIDE);
    }
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close() {
    if (modal_) {
        if (ModalResult == mrNone)
            ModalResult = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    if (Application && Application->MainForm() == this)
        Application->Terminate();
    else
        Hide();
}

int TForm::ShowModal() {
    if (modal_)
        throw std::logic_error("form is modal already");
    if (!Application)
        throw std::logic_error("no application");
    if (HWND cap = GetCapture())
        SendMessageA(cap, WM_CANCELMODE, 0, 0);
    ReleaseCapture();

    HWND self = Handle();
    if (!self)
        throw std::runtime_error("form has no window");
    HWND previous = GetActiveWindow();
    DisabledWindows disabled{self, {}};
    EnumThreadWindows(GetCurrentThreadId(), &DisableWindow, reinterpret_cast<LPARAM>(&disabled));
    modal_ = true;
    ModalResult = mrNone;

    auto restore = [&]() noexcept {
        // Re-enable before hiding so that activation returns to our windows.
        for (auto it = disabled.list.rbegin(); it != disabled.list.rend(); ++it)
            if (IsWindow(*it))
                EnableWindow(*it, TRUE);
        try {
            Hide();
        } catch (...) {
            HandleCallbackException(this);
        }
        if (HandleAllocated() && IsWindowVisible(WindowHandle()))
            ShowWindow(WindowHandle(), SW_HIDE);
        if (previous && previous != self && IsWindow(previous))
            SetActiveWindow(previous);
        modal_ = false;
    };

    int result = mrCancel;
    try {
        if (!Visible())
            Show();
        else
            ShowWindow(self, ShowCommand());
        for (;;) {
            if (Application->Terminated()) {
                ModalResult = mrCancel;
                break;
            }
            if (ModalResult != mrNone) {
                if (CloseQuery())
                    break;
                ModalResult = mrNone;
            }
            Application->HandleMessage();
        }
        result = ModalResult;
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return result;
}

void TForm::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_CLOSE:
        Close();
        m.Result = 0;
        return;
    case WM_ACTIVATE:
        DefaultHandler(m);
        if (LOWORD(m.WParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (!focus || (focus != WindowHandle() && !IsChild(WindowHandle(), focus)) ||
                focus == WindowHandle()) {
                TButton* b = FindButton(this, [](TButton*) { return true; });
                if (b && b->HandleAllocated())
                    ::SetFocus(b->WindowHandle());
            }
        }
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

TButton* TForm::DefaultButton() const noexcept {
    return FindButton(this, [](TButton* b) { return b->Default(); });
}

TButton* TForm::CancelButton() const noexcept {
    return FindButton(this, [](TButton* b) { return b->Cancel; });
}

TButton* TForm::FindAccelButton(char ch) const noexcept {
    const char up = AsciiUpper(ch);
    if (up == 0)
        return nullptr;
    return FindButton(this, [up](TButton* b) { return AccelChar(b->Caption()) == up; });
}

bool TForm::PreTranslate(MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN: {
        TButton* b = nullptr;
        if (msg.wParam == VK_RETURN) {
            auto* focused = dynamic_cast<TButton*>(FindControl(GetFocus()));
            b = focused && focused->ParentForm() == this && Usable(focused) ? focused
                                                                            : DefaultButton();
        } else if (msg.wParam == VK_ESCAPE) {
            b = CancelButton();
        }
        if (!b)
            return false;
        b->Click();
        return true;
    }
    case WM_CHAR:
    case WM_SYSCHAR: {
        const auto ch = static_cast<unsigned>(msg.wParam);
        if (ch <= 0x20 || ch >= 0x80)
            return false;
        TButton* b = FindAccelButton(static_cast<char>(ch));
        if (!b)
            return false;
        b->Click();
        return true;
    }
    default:
        return false;
    }
}

} // namespace zembra
