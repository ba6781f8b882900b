#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "framework/uApplication.h"
#include "framework/uControls.h"
#include "saver/uScreenSaver.h"

using namespace zembra;

namespace {

void EnsureApplication() {
    if (!Application) {
        static TApplication* app = new TApplication();
        app->Initialize();
    }
}

// A form whose own message handling is replaced by a recorder before the
// saver takes the window over, so the test sees what the saver passes on.
class TSpyForm : public TForm {
  public:
    explicit TSpyForm(TComponent* owner) : TForm(owner) {
        SetBounds(0, 0, 60, 60);
        TWndMethod original = WindowProc;
        WindowProc = [this, original](TMessage& m) {
            Seen.push_back(m);
            original(m);
        };
        Saver = new TScreenSaver(this);
        FinishCreate();
    }
    bool SawMessage(UINT msg) const {
        for (const TMessage& m : Seen)
            if (m.Msg == msg)
                return true;
        return false;
    }
    const TMessage* Find(UINT msg) const {
        for (const TMessage& m : Seen)
            if (m.Msg == msg)
                return &m;
        return nullptr;
    }
    std::vector<TMessage> Seen;
    TScreenSaver* Saver = nullptr;
};

} // namespace

TEST(ScreenSaver, WindowProcedureFiltersAndForwards) {
    EnsureApplication();
    auto* form = new TSpyForm(nullptr);
    HWND h = form->Handle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(TScreenSaver::Current(), form->Saver);

    // The system's request to start a screen saver never reaches the form.
    form->Seen.clear();
    EXPECT_EQ(SendMessageA(h, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
    EXPECT_FALSE(form->SawMessage(WM_SYSCOMMAND));

    // A hooked key comes back as a key message with the same flags.
    form->Seen.clear();
    SendMessageA(h, WM_SAVERKEY, 'A', static_cast<LPARAM>(0xC0000001u));
    const TMessage* up = form->Find(WM_KEYUP);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->WParam, static_cast<WPARAM>('A'));
    SendMessageA(h, WM_SAVERKEY, 'B', 1);
    EXPECT_TRUE(form->SawMessage(WM_KEYDOWN));

    // A hooked mouse message comes back with the position where the window
    // procedure reads it...
    form->Seen.clear();
    SendMessageA(h, WM_SAVERMOUSE, WM_MOUSEMOVE, MAKELPARAM(12, 34));
    const TMessage* move = form->Find(WM_MOUSEMOVE);
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->LParam, MAKELPARAM(12, 34));
    EXPECT_EQ(move->WParam, 0u);
    // ...but anything else posted under that number is not re-sent: lParam
    // would be taken as a pointer by a message such as WM_SETTEXT.
    form->Seen.clear();
    SendMessageA(h, WM_SAVERMOUSE, WM_SETTEXT, 0x12345678);
    EXPECT_FALSE(form->SawMessage(WM_SETTEXT));
    SendMessageA(h, WM_SAVERMOUSE, WM_DESTROY, 0);
    EXPECT_FALSE(form->SawMessage(WM_DESTROY));
    EXPECT_TRUE(IsWindow(h));

    // Outside run mode moves are counted but never end the saver.
    for (int i = 1; i <= 6; ++i)
        SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(i * 10, i * 10));
    EXPECT_EQ(form->Saver->MoveCount(), 3);
    EXPECT_FALSE(form->Saver->Terminating());

    delete form;
    EXPECT_EQ(TScreenSaver::Current(), nullptr);
}

// Takes every queued Message for Window off the queue and counts it.
int TakeQueued(HWND window, UINT message) {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, window, message, message, PM_REMOVE))
        ++n;
    return n;
}

TEST(ScreenSaver, HooksHandNegativeCodesOnUntouched) {
    EnsureApplication();
    auto* form = new TSpyForm(nullptr);
    HWND h = form->Handle();
    ASSERT_NE(h, nullptr);
    TakeQueued(h, WM_SAVERKEY);
    TakeQueued(h, WM_SAVERMOUSE);

    // A negative code is the chain's business: nothing is posted, and the
    // mouse hook does not even read lParam (an unreadable address here).
    const LPARAM unreadable = static_cast<LPARAM>(0x10);
    TScreenSaver::KeyboardHookProc(-1, 'A', 0);
    TScreenSaver::MouseHookProc(-1, WM_LBUTTONDOWN, unreadable);
    TScreenSaver::MouseHookProc(-2, WM_MOUSEMOVE, unreadable);
    EXPECT_EQ(TakeQueued(h, WM_SAVERKEY), 0);
    EXPECT_EQ(TakeQueued(h, WM_SAVERMOUSE), 0);

    // The same calls with HC_ACTION are handed to the window.
    MOUSEHOOKSTRUCT info{};
    info.pt = POINT{5, 6};
    info.hwnd = nullptr; // some other window than the owner
    TScreenSaver::KeyboardHookProc(HC_ACTION, 'A', 0);
    TScreenSaver::MouseHookProc(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(TakeQueued(h, WM_SAVERKEY), 1);
    EXPECT_EQ(TakeQueued(h, WM_SAVERMOUSE), 1);
    delete form;
}

TEST(ScreenSaver, PropertySetters) {
    EnsureApplication();
    auto* form = new TSpyForm(nullptr);
    TScreenSaver* saver = form->Saver;
    EXPECT_EQ(saver->Interval(), 500);
    saver->SetInterval(0);
    EXPECT_EQ(saver->Interval(), 0);
    saver->SetInterval(1000);
    EXPECT_EQ(saver->Interval(), 1000);

    // Visible: the same value does nothing, a change hides or shows at once.
    const bool shownBefore = IsWindowVisible(form->Handle()) != 0;
    saver->SetVisible(true);
    EXPECT_EQ(IsWindowVisible(form->Handle()) != 0, shownBefore);
    saver->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));

    saver->SetBitmapNeeded(true);
    EXPECT_TRUE(saver->BitmapNeeded());
    saver->SetBitmapNeeded(false);
    EXPECT_FALSE(saver->BitmapNeeded());
    delete form;
}

TEST(ScreenSaver, ChildCommandLineQuotesThePath) {
    EXPECT_EQ(SaverChildCommandLine("C:\\My Savers\\Zembra.scr"),
              "\"C:\\My Savers\\Zembra.scr\" /E");
}
