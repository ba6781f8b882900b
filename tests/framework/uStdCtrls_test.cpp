#include "FrameworkFixture.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/uTimer.h"

namespace zembra {
namespace {

using test::AppTest;

// The about-box shape: one button that is both Default and Cancel, with an
// accelerator in its caption.
class TDialog : public TForm {
  public:
    explicit TDialog(TComponent* owner) : TForm(owner) {
        SetBorderStyle(TFormBorderStyle::bsDialog);
        SetBorderIcons(biSystemMenu);
        SetCaption("dialog");
        SetClientSize(160, 80);
        btnClose = new TButton(this);
        btnClose->SetParent(this);
        btnClose->SetCaption("Close(&C)");
        btnClose->SetBounds(30, 40, 100, 20);
        btnClose->SetDefault(true);
        btnClose->Cancel = true;
        btnClose->ModalResult = mrOk;
        btnClose->OnClick = [this](TComponent*) { ++clicks; };
        FinishCreate();
    }
    TButton* btnClose;
    int clicks = 0;
};

class ModalTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dialog = new TDialog(app.get());
        // Never hang: a stuck dialog ends with a result nobody else uses.
        watchdog = new TTimer(app.get());
        watchdog->SetInterval(4000);
        watchdog->OnTimer = [this](TComponent*) {
            if (dialog->Modal())
                dialog->ModalResult = 99;
        };
    }
    // Posts messages, then runs the dialog modally.
    int RunWith(const std::vector<MSG>& msgs) {
        dialog->Handle();
        for (const MSG& m : msgs)
            PostMessageA(m.hwnd, m.message, m.wParam, m.lParam);
        return dialog->ShowModal();
    }
    MSG Key(HWND h, UINT msg, WPARAM key) { return MSG{h, msg, key, 0, 0, {0, 0}}; }

    TDialog* dialog = nullptr;
    TTimer* watchdog = nullptr;
};

TEST_F(ModalTest, ButtonClickEndsTheModalLoopWithItsResult) {
    HWND btn = dialog->btnClose->Handle();
    // BN_CLICKED from the real button control.
    int result = RunWith({MSG{btn, BM_CLICK, 0, 0, 0, {0, 0}}});
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(dialog->clicks, 1);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_FALSE(IsWindowVisible(dialog->WindowHandle()));
    EXPECT_FALSE(dialog->Modal());
}

TEST_F(ModalTest, EnterEscapeAndAcceleratorPressTheButton) {
    HWND btn = dialog->btnClose->Handle();
    HWND form = dialog->Handle();
    EXPECT_EQ(RunWith({Key(btn, WM_KEYDOWN, VK_RETURN)}), mrOk);
    EXPECT_EQ(RunWith({Key(form, WM_KEYDOWN, VK_ESCAPE)}), mrOk);
    EXPECT_EQ(RunWith({Key(btn, WM_CHAR, 'c')}), mrOk);
    EXPECT_EQ(RunWith({Key(form, WM_SYSCHAR, 'C')}), mrOk); // Alt+C
    EXPECT_EQ(dialog->clicks, 4);
}

TEST_F(ModalTest, KeysDoNothingWhileTheButtonIsHiddenOrDisabled) {
    HWND form = dialog->Handle();
    dialog->btnClose->Hide();
    const std::vector<MSG> keys = {Key(form, WM_KEYDOWN, VK_RETURN),
                                   Key(form, WM_KEYDOWN, VK_ESCAPE), Key(form, WM_CHAR, 'c'),
                                   Key(form, WM_SYSCHAR, 'c'), Key(form, WM_CLOSE, 0)};
    // Only the close request ends it.
    EXPECT_EQ(RunWith(keys), mrCancel);
    EXPECT_EQ(dialog->clicks, 0);

    dialog->btnClose->Show();
    dialog->btnClose->SetEnabled(false);
    EXPECT_EQ(RunWith(keys), mrCancel);
    EXPECT_EQ(dialog->clicks, 0);
}

TEST_F(ModalTest, OtherWindowsAreDisabledWhileModalAndTerminateEndsIt) {
    TForm other(app.get());
    other.FinishCreate();
    other.SetBorderStyle(TFormBorderStyle::bsSingle);
    other.Show();
    HWND otherWnd = other.Handle();
    bool disabledDuring = false;
    watchdog->SetInterval(50);
    watchdog->OnTimer = [&](TComponent*) {
        disabledDuring = !IsWindowEnabled(otherWnd);
        app->Terminate();
    };
    EXPECT_EQ(RunWith({}), mrCancel);
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(IsWindowEnabled(otherWnd));
}

// Hooks the way a link label uses them.
class TProbeLabel : public TLabel {
  public:
    using TLabel::TLabel;
    std::vector<std::string> log;

  protected:
    void MouseEnter() override { log.push_back(MouseDown() ? "enter pressed" : "enter"); }
    void MouseLeave() override { log.push_back("leave"); }
    void Click() override {
        log.push_back("click");
        TLabel::Click();
    }
};

TEST_F(AppTest, LabelClickNeedsPressAndReleaseInside) {
    TForm form(app.get());
    form.FinishCreate();
    auto* label = new TProbeLabel(&form);
    label->SetParent(&form);
    label->SetCaption("a link");
    label->SetBounds(10, 10, 0, 0); // AutoSize sizes it to the text
    EXPECT_GT(label->Width(), 10);
    EXPECT_GT(label->Height(), 5);
    int clicks = 0;
    label->OnClick = [&](TComponent*) { ++clicks; };
    form.Show();
    HWND h = label->Handle();

    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_TRUE(label->MouseDown());
    EXPECT_EQ(GetCapture(), h);
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_FALSE(label->MouseDown());
    EXPECT_EQ(clicks, 1);

    // Pressed, dragged out and back in, released outside: no click.
    label->log.clear();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 2));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-4, 3));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(-4, 3));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(label->log, (std::vector<std::string>{"leave", "enter pressed", "leave"}));
    EXPECT_NE(GetCapture(), h);

    // Without the capture style the label does not take the mouse.
    label->ControlStyle &= ~csCaptureMouse;
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_NE(GetCapture(), h);
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(clicks, 2);
}

TEST_F(AppTest, LabelFollowsParentFontUntilItHasItsOwn) {
    TForm form(app.get());
    form.FinishCreate();
    form.Font().SetName("Arial");
    form.Font().SetHeight(-12);
    auto* follower = new TLabel(&form);
    follower->SetParent(&form);
    auto* own = new TLabel(&form);
    own->Font().SetColor(clRed); // a font of its own from now on
    own->SetParent(&form);
    EXPECT_TRUE(follower->Font().SameAs(form.Font()));
    EXPECT_FALSE(own->ParentFont());
    form.Font().SetHeight(-20);
    EXPECT_EQ(follower->Font().Height(), -20);
    EXPECT_EQ(own->Font().Height(), -11);

    // ShowAccelChar off keeps "&" visible, which makes the text wider.
    follower->SetCaption("A&&B&C");
    const int withPrefix = follower->Width();
    follower->SetShowAccelChar(false);
    EXPECT_GT(follower->Width(), withPrefix);
}

// A 24-bit bottom-up BMP file image: left half red, right half blue.
std::vector<std::uint8_t> MakeBmp(int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    const std::uint32_t size = 54 + static_cast<std::uint32_t>(stride * h);
    std::vector<std::uint8_t> b(size, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = &b[54 + static_cast<std::size_t>(y * stride + x * 3)];
            if (x < w / 2)
                px[2] = 0xFF; // red (stored B, G, R)
            else
                px[0] = 0xFF; // blue
        }
    return b;
}

TEST_F(AppTest, ImageTakesThePictureSizeAndStretches) {
    TForm form(app.get());
    form.FinishCreate();
    auto* image = new TImage(&form);
    image->SetParent(&form);
    EXPECT_EQ(image->Width(), 105);
    image->SetAutoSize(true);
    auto bmp = MakeBmp(40, 30);
    image->Picture().LoadBitmapFromStream(bmp.data(), bmp.size());
    EXPECT_EQ(image->Width(), 40);
    EXPECT_EQ(image->Height(), 30);

    image->SetAutoSize(false);
    image->SetStretch(true);
    image->SetBounds(0, 0, 80, 60);
    auto bad = bmp;
    bad.resize(bad.size() - 1);
    EXPECT_THROW(image->Picture().LoadBitmapFromStream(bad.data(), bad.size()), std::runtime_error);
    EXPECT_EQ(image->Picture().BitmapWidth(), 40); // the old picture stays
    EXPECT_EQ(image->Width(), 80);

    int clicks = 0;
    image->OnClick = [&](TComponent*) { ++clicks; };
    image->SetCursor(crHandPoint);
    form.Show();
    HWND h = image->Handle();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(70, 50));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(70, 50));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
}

// Takes a picture of the whole X screen with ImageMagick (Wine starts Unix
// programs too) and returns whether the file was written.
bool Screenshot(const std::string& unixPath) {
    std::string cmd = "Z:\\usr\\bin\\import -window root " + unixPath;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 20000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The handle of a Unix process may signal before it has finished: wait
    // for the file to appear and stop growing.
    const std::string dosPath = "Z:" + unixPath;
    DWORD lastSize = 0;
    for (int i = 0; i < 100; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(dosPath.c_str(), GetFileExInfoStandard, &data)) {
            if (data.nFileSizeLow > 0 && data.nFileSizeLow == lastSize)
                return true;
            lastSize = data.nFileSizeLow;
        }
        Sleep(100);
    }
    return false;
}

TEST_F(AppTest, ScreenshotOfAFormWithLabelImageAndButton) {
    TForm form(app.get());
    form.FinishCreate();
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    form.SetCaption("Zembra ScreenSaver");
    form.SetBounds(40, 40, 0, 0);
    form.SetClientSize(160, 150);
    auto* image = new TImage(&form);
    image->SetParent(&form);
    image->SetAutoSize(true);
    auto bmp = MakeBmp(100, 80);
    image->Picture().LoadBitmapFromStream(bmp.data(), bmp.size());
    image->SetBounds(30, 4, 100, 80);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetShowAccelChar(false);
    label->Font().SetColor(clBlue);
    label->Font().SetStyle(fsUnderline);
    label->SetCaption("(c) R&D label");
    label->SetBounds(30, 90, 0, 0);
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->SetCaption("Close(&C)");
    button->SetBounds(30, 120, 100, 22);
    form.Show();
    app->ProcessMessages();
    UpdateWindow(form.Handle());
    app->ProcessMessages();

    // The image's left half is red on screen.
    HDC screen = GetDC(nullptr);
    POINT pt{10, 10};
    ClientToScreen(image->Handle(), &pt);
    COLORREF c = GetPixel(screen, pt.x, pt.y);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(c, RGB(255, 0, 0));

#ifdef ZEMBRA_FW_SHOT_DIR
    CreateDirectoryA((std::string("Z:") + ZEMBRA_FW_SHOT_DIR).c_str(), nullptr);
    const std::string file = std::string(ZEMBRA_FW_SHOT_DIR) + "/framework-form.png";
    DeleteFileA(("Z:" + file).c_str());
    if (!Screenshot(file))
        GTEST_SKIP() << "no screenshot tool";
#endif
}

} // namespace
} // namespace zembra
