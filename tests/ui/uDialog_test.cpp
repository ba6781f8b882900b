#include "ui/uDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "framework/uApplication.h"
#include "uFakeBrowser.h"
#include "uTestRegistry.h"
#include "uUiTestKit.h"

using namespace zembra;
using namespace zembra::test;

namespace {

class TApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        app_ = new TApplication();
        app_->Initialize();
    }
    void TearDown() override { delete app_; }

  private:
    TApplication* app_ = nullptr;
};
[[maybe_unused]] testing::Environment* const appEnvironment =
    testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

bool JapaneseCodePage() {
    return GetACP() == 932;
}

// A screenshot when the test run asks for them (ZEMBRA_SCREENSHOT_DIR).
bool Shot(const std::string& name) {
    return GetEnvironmentVariableA("ZEMBRA_SCREENSHOT_DIR", nullptr, 0) == 0 ||
           TakeScreenshot(name);
}

struct TDialogWindows {
    TChildWindow Picture, Label, Button;
    RECT Client{};
    RECT Window{};
};

// The dialog's real windows, told apart by their handles.
TDialogWindows ReadWindows(TfrmDialog& dialog) {
    TDialogWindows w;
    for (const TChildWindow& c : ChildWindows(dialog.WindowHandle())) {
        if (c.Handle == dialog.imgImage->WindowHandle())
            w.Picture = c;
        else if (c.Handle == dialog.lblCopyright->WindowHandle())
            w.Label = c;
        else if (c.Handle == dialog.btnClose->WindowHandle())
            w.Button = c;
    }
    GetClientRect(dialog.WindowHandle(), &w.Client);
    GetWindowRect(dialog.WindowHandle(), &w.Window);
    return w;
}

RECT PrimaryWorkArea() {
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

void ExpectCentred(const RECT& window) {
    const RECT area = PrimaryWorkArea();
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    EXPECT_EQ(window.left, area.left + ((area.right - area.left) - w) / 2);
    EXPECT_EQ(window.top, area.top + ((area.bottom - area.top) - h) / 2);
}

class DialogTest : public testing::Test {
  protected:
    void SetUp() override {
        RegisterFakeBrowser(registry_);
        // Away from where the box appears, so it shows at rest.
        MouseMoveTo(0, 0);
        dialog_ = new TfrmDialog(nullptr);
    }
    void TearDown() override { delete dialog_; }

    // Fills the dialog as the package loader would.
    void Fill(const std::string& captionUtf8, const std::string& linkUtf8, const std::string& url,
              bool button, int pictureWidth, int pictureHeight) {
        if (!captionUtf8.empty())
            dialog_->SetCaption(Utf8ToAnsi(captionUtf8));
        dialog_->SetLinkText(Utf8ToAnsi(linkUtf8));
        dialog_->SetLinkURL(url);
        dialog_->SetCloseButtonVisible(button);
        if (pictureWidth > 0) {
            const auto bmp = MakeBmpImage(pictureWidth, pictureHeight);
            dialog_->LoadPicture(bmp.data(), bmp.size());
        }
    }

    TTestRegistry registry_;
    TfrmDialog* dialog_ = nullptr;
};

const std::string JapaneseCaption = "ゼンブラ スクリーンセーバー";
const std::string JapaneseCopyright = "Copyright (C) 2024 ゼンブラ & Co.";

} // namespace

TEST_F(DialogTest, DesignStateClosesWithEnter) {
    EXPECT_EQ(dialog_->Name(), "frmDialog");
    EXPECT_EQ(dialog_->lblCopyright->Caption(), "") << "FormCreate clears the label";
    TDialogWindows w;
    const int result = RunModalScript(*dialog_, [&] {
        w = ReadWindows(*dialog_);
        EXPECT_TRUE(Shot("dialog_design"));
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(WindowTextW(dialog_->WindowHandle()), L"Zembra ScreenSaver");
    if (JapaneseCodePage()) {
        EXPECT_EQ(w.Button.Text, Widen("閉じる(&C)"));
    }
    // No picture: the design size, centred in the button's width + 16.
    EXPECT_TRUE(w.Picture.Visible);
    EXPECT_EQ(w.Picture.Rect.left, 5);
    EXPECT_EQ(w.Picture.Rect.top, 0);
    EXPECT_EQ(w.Picture.Width(), 105);
    EXPECT_EQ(w.Picture.Height(), 105);
    EXPECT_FALSE(w.Label.Visible);
    EXPECT_TRUE(w.Button.Visible);
    EXPECT_EQ(w.Button.Rect.left, 8);
    EXPECT_EQ(w.Button.Rect.top, 109);
    EXPECT_EQ(w.Client.right, 116);
    EXPECT_EQ(w.Client.bottom, 133);
    ExpectCentred(w.Window);
    EXPECT_EQ(dialog_->imgImage->Cursor(), crDefault);
}

TEST_F(DialogTest, AllValuesLayoutAndLinks) {
    Fill(JapaneseCaption, JapaneseCopyright, "example.com/zembra", true, 200, 150);
    TFakeBrowserLog log("dialog_all");
    TDialogWindows w;
    std::vector<std::string> opened;
    TColor hoverColor = 0, restColor = 0;
    TFontStyles hoverStyle = 0;
    const int result = RunModalScript(*dialog_, [&] {
        w = ReadWindows(*dialog_);
        EXPECT_TRUE(Shot("dialog_all_values"));
        // Hovering the label shows the link look; leaving it undoes it.
        const POINT label = WindowCentre(dialog_->lblCopyright->WindowHandle());
        MouseMoveTo(label.x, label.y);
        PumpFor(100);
        hoverColor = dialog_->lblCopyright->Font().Color();
        hoverStyle = dialog_->lblCopyright->Font().Style();
        EXPECT_TRUE(Shot("dialog_all_values_hover"));
        MouseMoveTo(0, 0);
        // The system's mouse tracking reports the leave after a while.
        PumpUntil([&] { return dialog_->lblCopyright->Font().Style() == 0u; }, 2000);
        restColor = dialog_->lblCopyright->Font().Color();
        // The picture opens the label's link.
        const POINT picture = WindowCentre(dialog_->imgImage->WindowHandle());
        ClickAt(picture.x, picture.y);
        opened = log.WaitForLines(1);
        PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(result, mrOk);
    if (JapaneseCodePage()) {
        EXPECT_EQ(WindowTextW(dialog_->WindowHandle()), Widen(JapaneseCaption));
        EXPECT_EQ(w.Label.Text, Widen(JapaneseCopyright));
    }
    // Picture on top, label 4 below, button 4 below that, 4 under it.
    const int content = w.Client.right;
    EXPECT_GE(content, 200);
    EXPECT_EQ(w.Picture.Rect.top, 0);
    EXPECT_EQ(w.Picture.Width(), 200);
    EXPECT_EQ(w.Picture.Height(), 150);
    EXPECT_EQ(w.Picture.Rect.left, (content - 200) / 2);
    EXPECT_TRUE(w.Label.Visible);
    EXPECT_EQ(w.Label.Rect.top, 154);
    EXPECT_EQ(w.Label.Rect.left, (content - w.Label.Width()) / 2);
    EXPECT_EQ(w.Button.Rect.top, w.Label.Rect.bottom + 4);
    EXPECT_EQ(w.Button.Rect.left, (content - 100) / 2);
    EXPECT_EQ(w.Client.bottom, w.Button.Rect.bottom + 4);
    EXPECT_EQ(content, std::max(200, w.Label.Width() + 16));
    ExpectCentred(w.Window);
    EXPECT_EQ(dialog_->imgImage->Cursor(), crHandPoint);

    EXPECT_EQ(hoverColor, TSimpleWebLabel::DefaultOverColor);
    EXPECT_EQ(hoverStyle, static_cast<TFontStyles>(fsUnderline));
    EXPECT_EQ(restColor, TSimpleWebLabel::DefaultNormalColor);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "\"" + FakeBrowserPath() + "\" http://example.com/zembra");
}

TEST_F(DialogTest, LinkWithoutTextStillOpensFromThePicture) {
    Fill("", "", "http://example.com/picture", true, 64, 48);
    TFakeBrowserLog log("dialog_link_only");
    TDialogWindows w;
    std::vector<std::string> opened;
    const int result = RunModalScript(*dialog_, [&] {
        w = ReadWindows(*dialog_);
        EXPECT_TRUE(Shot("dialog_link_without_text"));
        const POINT picture = WindowCentre(dialog_->imgImage->WindowHandle());
        ClickAt(picture.x, picture.y);
        opened = log.WaitForLines(1);
        PressKey('C');
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_FALSE(w.Label.Visible);
    // Narrow picture: the content width is the button's + 16.
    EXPECT_EQ(w.Client.right, 116);
    EXPECT_EQ(w.Picture.Rect.left, (116 - 64) / 2);
    EXPECT_EQ(w.Button.Rect.top, 48 + 4);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "\"" + FakeBrowserPath() + "\" http://example.com/picture");
}

TEST_F(DialogTest, TextWithoutLinkOpensNothing) {
    Fill("", JapaneseCopyright, "", true, 0, 0);
    TFakeBrowserLog log("dialog_text_only");
    TColor hoverColor = 0;
    TFontStyles hoverStyle = 0;
    TDialogWindows w;
    const int result = RunModalScript(*dialog_, [&] {
        w = ReadWindows(*dialog_);
        EXPECT_TRUE(Shot("dialog_text_without_link"));
        const POINT label = WindowCentre(dialog_->lblCopyright->WindowHandle());
        MouseMoveTo(label.x, label.y);
        hoverColor = dialog_->lblCopyright->Font().Color();
        hoverStyle = dialog_->lblCopyright->Font().Style();
        ClickAt(label.x, label.y);
        const POINT picture = WindowCentre(dialog_->imgImage->WindowHandle());
        ClickAt(picture.x, picture.y);
        PumpFor(500);
        PressKey('C', true);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_TRUE(w.Label.Visible);
    EXPECT_EQ(hoverColor, TSimpleWebLabel::DefaultNormalColor);
    EXPECT_EQ(hoverStyle, 0u);
    EXPECT_EQ(dialog_->imgImage->Cursor(), crDefault);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(DialogTest, HiddenButtonIgnoresKeysAndClosesWithTheCloseBox) {
    Fill("", "", "", false, 0, 0);
    bool openAfterKeys = false;
    TDialogWindows w;
    int result = RunModalScript(*dialog_, [&] {
        w = ReadWindows(*dialog_);
        EXPECT_TRUE(Shot("dialog_hidden_button"));
        PressKey(VK_RETURN);
        PressKey(VK_ESCAPE);
        PressKey('C');
        PressKey('C', true);
        PumpFor(300);
        openAfterKeys =
            dialog_->ModalResult == mrNone && IsWindowVisible(dialog_->WindowHandle()) != FALSE;
        PostMessageA(dialog_->WindowHandle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(openAfterKeys);
    EXPECT_NE(result, -1) << "the close box did not end the dialog";
    EXPECT_FALSE(w.Button.Visible);
    // No button row and no bottom margin: the client ends at the picture.
    EXPECT_EQ(w.Client.right, 105);
    EXPECT_EQ(w.Client.bottom, 105);

    // Shown again, WM_CLOSE ends it as well.
    result =
        RunModalScript(*dialog_, [&] { PostMessageA(dialog_->WindowHandle(), WM_CLOSE, 0, 0); });
    EXPECT_NE(result, -1);
}

TEST_F(DialogTest, OversizePictureIsStretchedToFit) {
    Fill(JapaneseCaption, JapaneseCopyright, "example.com", true, 2400, 1600);
    TDialogWindows w;
    const int result = RunModalScript(*dialog_, [&] {
        w = ReadWindows(*dialog_);
        EXPECT_TRUE(Shot("dialog_oversize_picture"));
        const POINT button = WindowCentre(dialog_->btnClose->WindowHandle());
        ClickAt(button.x, button.y);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_FALSE(dialog_->imgImage->AutoSize());
    EXPECT_TRUE(dialog_->imgImage->Stretch());
    const RECT area = PrimaryWorkArea();
    EXPECT_LE(w.Window.right - w.Window.left, area.right - area.left);
    EXPECT_LE(w.Window.bottom - w.Window.top, area.bottom - area.top);
    // 3:2 kept within a pixel of truncation.
    const int pw = w.Picture.Width(), ph = w.Picture.Height();
    EXPECT_LE(std::abs(pw * 2 - ph * 3), 3) << pw << "x" << ph;
    ExpectCentred(w.Window);
    EXPECT_GE(w.Window.top, area.top);
}

TEST_F(DialogTest, InvalidPictureKeepsTheOldOne) {
    const auto bmp = MakeBmpImage(40, 30);
    dialog_->LoadPicture(bmp.data(), bmp.size());
    EXPECT_EQ(dialog_->imgImage->Width(), 40);
    std::vector<std::uint8_t> damaged(bmp.begin(), bmp.begin() + 60);
    EXPECT_ANY_THROW(dialog_->LoadPicture(damaged.data(), damaged.size()));
    EXPECT_ANY_THROW(dialog_->LoadPicture("not a bitmap", 12));
    EXPECT_EQ(dialog_->imgImage->Picture().BitmapWidth(), 40);
    EXPECT_EQ(dialog_->imgImage->Width(), 40);
}
