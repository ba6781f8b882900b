#include "ui/uSimpleWebLabel.h"

#include <gtest/gtest.h>

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

// A plain form with two link labels, one above the other.
class TLinkForm : public TForm {
  public:
    explicit TLinkForm(TComponent* owner) : TForm(owner) {
        SetBounds(100, 100, 300, 150);
        Caption1 = new TSimpleWebLabel(this);
        Caption1->SetParent(this);
        Caption1->SetBounds(20, 20, 100, 16);
        Caption1->Font().SetColor(clRed); // Loaded brings NormalColor back
        Caption1->SetCaption("example.com/caption");
        Ex = new TSimpleWebLabelEx(this);
        Ex->SetParent(this);
        Ex->SetBounds(20, 70, 100, 16);
        Ex->SetCaption("Copyright line");
        FinishCreate();
    }
    TSimpleWebLabel* Caption1;
    TSimpleWebLabelEx* Ex;
};

class WebLabelTest : public testing::Test {
  protected:
    void SetUp() override {
        RegisterFakeBrowser(registry_);
        MouseMoveTo(0, 0);
        form_ = new TLinkForm(nullptr);
        form_->Show();
        PumpFor(200);
    }
    void TearDown() override {
        MouseButton(false);
        MouseMoveTo(0, 0);
        delete form_;
    }
    POINT Centre(TWinControl* c) { return WindowCentre(c->Handle()); }

    TTestRegistry registry_;
    TLinkForm* form_ = nullptr;
};

} // namespace

TEST_F(WebLabelTest, DefaultsAndColourProperties) {
    TSimpleWebLabelEx* ex = form_->Ex;
    EXPECT_EQ(ex->NormalColor(), clBlack);
    EXPECT_EQ(ex->OverColor(), clBlue);
    EXPECT_EQ(ex->ClickingColor(), clRed);
    EXPECT_TRUE(ex->ControlStyle & csCaptureMouse);
    EXPECT_EQ(form_->Caption1->Font().Color(), clBlack) << "Loaded restores NormalColor";

    ex->SetNormalColor(0x00008000);
    EXPECT_EQ(ex->Font().Color(), 0x00008000u) << "NormalColor recolours at once";
    ex->SetOverColor(0x00808000);
    EXPECT_EQ(ex->Font().Color(), 0x00008000u) << "OverColor waits for the mouse";

    // The link target: the caption, or the separate URL.
    EXPECT_EQ(form_->Caption1->GetLinkURL(), "example.com/caption");
    EXPECT_EQ(ex->GetLinkURL(), "");
    ex->URL = "example.com/ex";
    EXPECT_EQ(ex->GetLinkURL(), "example.com/ex");
}

TEST_F(WebLabelTest, LabelWithoutLinkStaysPlain) {
    TFakeBrowserLog log("label_nolink");
    const POINT p = Centre(form_->Ex);
    MouseMoveTo(p.x, p.y);
    EXPECT_EQ(form_->Ex->Font().Color(), clBlack);
    EXPECT_EQ(form_->Ex->Font().Style(), 0u);
    EXPECT_EQ(form_->Ex->Cursor(), crDefault);
    MouseButton(true);
    EXPECT_EQ(form_->Ex->Font().Color(), clBlack);
    MouseButton(false);
    PumpFor(300);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(WebLabelTest, StateTableOfALink) {
    TFakeBrowserLog log("label_states");
    TSimpleWebLabelEx* ex = form_->Ex;
    ex->URL = "example.com/states";
    const POINT p = Centre(ex);

    MouseMoveTo(p.x, p.y);
    EXPECT_EQ(ex->Font().Color(), clBlue);
    EXPECT_EQ(ex->Font().Style(), static_cast<TFontStyles>(fsUnderline));
    EXPECT_EQ(ex->Cursor(), crHandPoint);

    MouseButton(true);
    EXPECT_EQ(ex->Font().Color(), clRed);
    // Dragged out: plain again; back in with the button held: pressed.
    MouseMoveTo(p.x, p.y + 40);
    EXPECT_EQ(ex->Font().Color(), clBlack);
    EXPECT_EQ(ex->Font().Style(), 0u);
    EXPECT_EQ(ex->Cursor(), crDefault);
    MouseMoveTo(p.x, p.y);
    EXPECT_EQ(ex->Font().Color(), clRed);
    // Released outside: no click.
    MouseMoveTo(p.x, p.y + 40);
    MouseButton(false);
    EXPECT_EQ(ex->Font().Color(), clBlack);
    PumpFor(300);
    EXPECT_TRUE(log.Lines().empty());

    // A real click: normal colour, the underline stays until the mouse leaves.
    ClickAt(p.x, p.y);
    EXPECT_EQ(ex->Font().Color(), clBlack);
    EXPECT_EQ(ex->Font().Style(), static_cast<TFontStyles>(fsUnderline));
    const auto lines = log.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "\"" + FakeBrowserPath() + "\" http://example.com/states");
    // Leaving without the button held is reported by the system's mouse
    // tracking, which polls: give it time.
    MouseMoveTo(p.x, p.y + 40);
    EXPECT_TRUE(PumpUntil([&] { return ex->Font().Style() == 0u; }, 2000));
    EXPECT_EQ(ex->Font().Color(), clBlack);
    EXPECT_EQ(ex->Cursor(), crDefault);
}

TEST_F(WebLabelTest, CaptionLabelOpensItsCaptionAndHandlersWin) {
    TFakeBrowserLog log("label_caption");
    const POINT p = Centre(form_->Caption1);
    ClickAt(p.x, p.y);
    auto lines = log.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "\"" + FakeBrowserPath() + "\" http://example.com/caption");

    // With a click handler of its own the label opens nothing.
    int handled = 0;
    form_->Ex->URL = "example.com/handled";
    form_->Ex->OnClick = [&](TComponent*) { ++handled; };
    const POINT q = Centre(form_->Ex);
    ClickAt(q.x, q.y);
    PumpFor(500);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(log.Lines().size(), 1u);

    // A malformed address opens nothing and raises nothing.
    form_->Ex->OnClick = nullptr;
    form_->Ex->URL = "example.com/%zz";
    ClickAt(q.x, q.y);
    PumpFor(500);
    EXPECT_EQ(log.Lines().size(), 1u);
}
