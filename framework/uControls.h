// Windowed controls and forms: every control owns one HWND, and every
// message for it goes through the control's WindowProc.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/uComponent.h"
#include "framework/uGraphics.h"

namespace zembra {

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

using TWndMethod = std::function<void(TMessage&)>;
using TMouseEvent = std::function<void(TComponent* Sender, int X, int Y)>;

enum class TAlign { alNone, alClient };

// Cursor ids; crDefault leaves the window class cursor in place.
enum TCursor : int { crDefault = 0, crArrow = -2, crHandPoint = -21 };

// ControlStyle bits.
enum TControlStyleFlag : unsigned {
    csCaptureMouse = 1, // captures the mouse while the left button is held on it
    csClickEvents = 2,  // a press and release over it is a click
};

enum { mrNone = 0, mrOk = 1, mrCancel = 2 };

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    // Empty: the framework's own window class (the control is bound from
    // WM_NCCREATE on). Otherwise a system class such as "BUTTON", which is
    // subclassed right after creation.
    std::string WinClassName;
};

class TWinControl;
class TForm;

class TControl : public TComponent {
  public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const noexcept { return parent_; }
    virtual void SetParent(TWinControl* AParent);

    // Position relative to the parent's client area (screen for top-level
    // windows); Width and Height are outer sizes.
    int Left() const noexcept { return left_; }
    int Top() const noexcept { return top_; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    RECT BoundsRect() const noexcept;
    void SetBoundsRect(const RECT& r) {
        SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }

    virtual int ClientWidth() const { return width_; }
    virtual int ClientHeight() const { return height_; }
    void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
    void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
    void SetClientSize(int w, int h);

    // The visibility property (what the program asked for); a form becomes
    // visible only through it or ShowModal.
    bool Visible() const noexcept { return visible_; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);

    TAlign Align() const noexcept { return align_; }
    void SetAlign(TAlign value);

    TCursor Cursor() const noexcept { return cursor_; }
    void SetCursor(TCursor value);

    const std::string& Caption() const noexcept { return caption_; }
    void SetCaption(const std::string& value);

    TColor Color() const noexcept { return color_; }
    void SetColor(TColor value);

    TFont& Font() noexcept { return font_; }
    const TFont& Font() const noexcept { return font_; }
    // True: the control shows its parent's font and follows its changes. Any
    // direct change of Font() turns it off.
    bool ParentFont() const noexcept { return parentFont_; }
    void SetParentFont(bool value);

    unsigned ControlStyle = 0; // TControlStyleFlag bits

    TNotifyEvent OnClick;
    // Fires OnClick.
    virtual void Click();

    // The form this control sits on (itself for a form), or null.
    TForm* ParentForm() const noexcept;

    // Scales position, size and font by M/D (the form's resolution scaling).
    virtual void ScaleBy(int M, int D);

  protected:
    // Outer size minus client size (the frame); none for a plain control.
    virtual SIZE FrameSize() const { return SIZE{0, 0}; }
    // Hooks run after a property changed, for the windowed side to follow.
    virtual void BoundsChanged() {}
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void CaptionChanged() {}
    virtual void ColorChanged() {}
    virtual void FontChanged() {}
    virtual void CursorChanged() {}
    virtual void ParentChanged(TWinControl* /*old*/) {}
    // Fills the parent's client area when aligned to it.
    void RequestAlign();

    // Field updates without side effects, for the window side to keep the
    // properties in step with what the window really shows.
    void StoreBounds(int l, int t, int w, int h) noexcept {
        left_ = l;
        top_ = t;
        width_ = w;
        height_ = h;
    }
    void StoreVisible(bool v) noexcept { visible_ = v; }
    void StoreParent(TWinControl* p) noexcept { parent_ = p; }
    void CopyParentFont();

    bool visible_ = true;
    TColor color_ = clBtnFace;

  private:
    friend class TWinControl;
    TWinControl* parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool enabled_ = true;
    TAlign align_ = TAlign::alNone;
    TCursor cursor_ = crDefault;
    std::string caption_;
    TFont font_;
    bool parentFont_ = true;
    bool copyingFont_ = false;
};

class TWinControl : public TControl {
  public:
    explicit TWinControl(TComponent* AOwner);
    // Destroys the owned components first (they may still use this window),
    // then detaches the child controls and destroys the window. Safe when the
    // window is gone already.
    ~TWinControl() override;

    // Creates the window on first use (and the parent's before it). Null
    // only when creation failed or the control is being destroyed.
    HWND Handle();
    // The window handle without creating it.
    HWND WindowHandle() const noexcept { return handle_; }
    bool HandleAllocated() const noexcept { return handle_ != nullptr; }
    void HandleNeeded() { (void)Handle(); }
    // Destroys the window (it is created again on the next Handle()).
    void DestroyHandle() noexcept;

    // Re-parents, and creates the window at once when the new parent already
    // has one.
    void SetParent(TWinControl* AParent) override;
    // A window that is not a control of ours (the preview host) as parent:
    // the window becomes a child window of it. Null: back to top level.
    void SetParentWindow(HWND parent);
    HWND ParentWindow() const noexcept { return parentWindow_; }

    // The current message handler; initially it calls WndProc. A component
    // that takes over the window saves this, stores its own, passes messages
    // on through the saved one, and puts it back before it goes.
    TWndMethod WindowProc;

    // Sends a message straight through WindowProc; returns its result.
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
    // The window class's (or the subclassed window's original) procedure.
    void DefaultHandler(TMessage& message);

    void Invalidate() noexcept;
    void SetFocus() noexcept;
    bool Focused() const noexcept;

    int ControlCount() const noexcept { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const noexcept;

    int ClientWidth() const override;
    int ClientHeight() const override;
    void ScaleBy(int M, int D) override;

  protected:
    SIZE FrameSize() const override;

  public:
    // The control bound to this very window, or null.
    static TWinControl* FromHandle(HWND h) noexcept;
    // The control bound to h or to the nearest ancestor window of h.
    static TWinControl* FindControl(HWND h) noexcept;

  protected:
    virtual void CreateParams(TCreateParams& params);
    // Creates the window from CreateParams. Subclasses that obtain a window
    // some other way override it and call AttachHandle.
    virtual void CreateWnd();
    // Destroys the window (after restoring a subclass). The destructor of
    // TWinControl can only reach this base version: a subclass that
    // overrides it calls DestroyHandle() in its own destructor.
    virtual void DestroyWnd();
    // Subclasses a window created elsewhere: every message, posted ones too,
    // goes through WindowProc first; DefaultHandler reaches the original
    // procedure. A window can be subclassed by one control only.
    void AttachHandle(HWND h);
    // Runs after the window exists and is bound (fonts, child windows).
    virtual void HandleCreated();

    // The control's own message handling; ends in DefaultHandler.
    virtual void WndProc(TMessage& message);
    // WM_COMMAND notifications from this control's own window, reflected to
    // it by its parent. True when handled.
    virtual bool CommandNotify(WORD /*code*/) { return false; }
    // Paints the background with this control's colour.
    bool EraseBackground(HDC dc) noexcept;
    HBRUSH BackgroundBrush() noexcept;

    void BoundsChanged() override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void CaptionChanged() override;
    void ColorChanged() override;
    void FontChanged() override;
    void CursorChanged() override;

    void AlignControls();
    // Shows the window the way this control shows (SW_SHOWNORMAL for forms,
    // SW_SHOW for children).
    virtual int ShowCommand() const noexcept { return SW_SHOW; }

  public:
    // The window procedure of the framework's window class and of every
    // subclassed window.
    static LRESULT CALLBACK StaticWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) noexcept;

  private:
    friend class TControl;
    LRESULT MainWndProc(UINT msg, WPARAM w, LPARAM l) noexcept;
    void Bind(HWND h) noexcept;
    void Unbind() noexcept;
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c) noexcept;
    void UpdateBoundsFromWindow() noexcept;

    HWND handle_ = nullptr;
    HWND parentWindow_ = nullptr;
    WNDPROC originalProc_ = nullptr; // set for subclassed windows
    bool creatingHandle_ = false;
    bool settingBounds_ = false;
    std::vector<TControl*> controls_;
    UniqueGdiObject brush_;
    TColor brushColor_ = 0;
};

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = unsigned;

class TButton;

// A top-level window. The subclass constructor sets its description up in
// code (caption, colour, font, border, size, child controls) and then calls
// FinishCreate(), which scales to the screen resolution, calls Loaded on the
// owned components and fires OnCreate. Visibility requested before that
// (Show, Visible) takes effect right after OnCreate, so the first OnShow
// always follows OnCreate.
class TForm : public TWinControl {
  public:
    explicit TForm(TComponent* AOwner);
    // Destroys the owned components, then the window. OnDestroy fires in
    // BeforeDestruction (Free, or the owner's destruction), while the derived
    // form is still whole; after a plain delete it fires here as a fallback.
    ~TForm() override;

    TFormBorderStyle BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle value);
    TBorderIcons BorderIcons() const noexcept { return borderIcons_; }
    void SetBorderIcons(TBorderIcons value);

    // Fires OnShow (when it becomes visible) before the window shows.
    void SetVisible(bool value) override;

    // Modal form: ModalResult := mrCancel unless set. Main form: OnCloseQuery,
    // then Application->Terminate(). Other forms: OnCloseQuery, then Hide.
    void Close();
    // Disables the other top-level windows of the thread, shows the form and
    // runs the message loop until ModalResult != 0 or the application
    // terminates (then mrCancel); hides, re-enables, returns ModalResult.
    int ShowModal();
    bool Modal() const noexcept { return modal_; }
    bool Creating() const noexcept { return creating_; }
    int ModalResult = mrNone;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnDestroy;
    std::function<void(TComponent* Sender, bool& CanClose)> OnCloseQuery;

    // The description is made for 96 pixels per inch; FinishCreate scales it
    // to the screen resolution when Scaled and the two differ.
    static constexpr int DesignPPI = 96;
    bool Scaled = true;
    void ScaleForDpi();
    static int ScreenPPI() noexcept;

    // Keyboard handling for messages aimed at this form or one of its
    // children, before they are translated: Enter clicks the focused or the
    // Default button, Escape the Cancel button, a caption accelerator ("&C",
    // C with or without Alt) its button; only visible, enabled buttons
    // count. True when the message was consumed.
    virtual bool PreTranslate(MSG& msg);

    TButton* DefaultButton() const noexcept;
    TButton* CancelButton() const noexcept;
    TButton* FindAccelButton(char ch) const noexcept;

    // Ends the set-up (see the class comment). Every form calls it once at
    // the end of its constructor (a plain TForm right after construction);
    // further calls do nothing.
    void FinishCreate();

  protected:
    void BeforeDestruction() override;
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    int ShowCommand() const noexcept override { return SW_SHOWNORMAL; }
    void DoShow();
    bool CloseQuery();

  private:
    void ApplyBorder();

    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    void FireOnDestroy() noexcept;

    bool creating_ = true;
    bool pendingVisible_ = false;
    bool modal_ = false;
    bool destroyFired_ = false;
};

class TButton : public TWinControl {
  public:
    explicit TButton(TComponent* AOwner);

    bool Default() const noexcept { return default_; }
    void SetDefault(bool value);
    bool Cancel = false;
    int ModalResult = mrNone;

    // Fires OnClick, then sets the parent form's ModalResult when this
    // button's ModalResult is not mrNone.
    void Click() override;

  protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void FontChanged() override;
    bool CommandNotify(WORD code) override;

  private:
    bool default_ = false;
};

// A windowed control of our own class that paints itself and turns a press
// and release of the left button over it into Click().
class TCustomControl : public TWinControl {
  public:
    explicit TCustomControl(TComponent* AOwner);

    // The left button went down on the control and is not released yet.
    bool MouseDown() const noexcept { return pressed_; }
    bool Pressed() const noexcept { return pressed_; }
    bool MouseInside() const noexcept { return inside_; }
    // Paint the parent's colour behind the content.
    bool Transparent = true;

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

  protected:
    // Fire OnMouseEnter / OnMouseLeave.
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void Paint(HDC dc, const RECT& client);
    void WndProc(TMessage& message) override;
    TColor BackColor() const noexcept;

  private:
    void TrackMouse(int x, int y) noexcept;

    bool pressed_ = false;
    bool inside_ = false;
};

class TLabel : public TCustomControl {
  public:
    explicit TLabel(TComponent* AOwner);

    bool AutoSize() const noexcept { return autoSize_; }
    void SetAutoSize(bool value);
    // False: "&" is shown as is.
    bool ShowAccelChar() const noexcept { return showAccelChar_; }
    void SetShowAccelChar(bool value);

    // Sizes the control to its text (when AutoSize).
    void AdjustBounds();
    // With AutoSize only the position is taken; the size stays the text's.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  protected:
    void Paint(HDC dc, const RECT& client) override;
    void CaptionChanged() override;
    void FontChanged() override;
    void Loaded() override;

  private:
    UINT TextFlags() const noexcept;

    bool autoSize_ = true;
    bool showAccelChar_ = true;
    bool adjusting_ = false;
};

class TImage : public TCustomControl {
  public:
    explicit TImage(TComponent* AOwner);

    TPicture& Picture() noexcept { return picture_; }
    const TPicture& Picture() const noexcept { return picture_; }
    // When on, the control takes the bitmap's size whenever a picture is
    // loaded (and at once when switched on).
    bool AutoSize() const noexcept { return autoSize_; }
    void SetAutoSize(bool value);
    // Stretch the bitmap to the control; otherwise natural size at top-left.
    bool Stretch() const noexcept { return stretch_; }
    void SetStretch(bool value);

  protected:
    void Paint(HDC dc, const RECT& client) override;

  private:
    void PictureChanged();

    TPicture picture_;
    bool autoSize_ = false;
    bool stretch_ = false;
};

} // namespace zembra

#endif // _WIN32
