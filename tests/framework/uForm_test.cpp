#include "FrameworkFixture.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/uTimer.h"

namespace zembra {
namespace {

using test::AppTest;

// A form set up in code the way the program's forms are: children, then
// FinishCreate. It asks to be shown while it is still being set up.
class TEventForm : public TForm {
  public:
    explicit TEventForm(TComponent* owner, std::vector<std::string>* log, bool showEarly = true)
        : TForm(owner), log_(log) {
        SetCaption("events");
        SetBounds(10, 10, 200, 150);
        OnCreate = [this](TComponent*) {
            log_->push_back("create");
            mainAtCreate = Application->MainForm();
        };
        OnShow = [this](TComponent*) {
            log_->push_back(std::string("show") + (IsWindowVisible(WindowHandle()) ? "+" : "-"));
        };
        OnDestroy = [this](TComponent*) {
            log_->push_back(std::string("destroy") + (IsWindow(WindowHandle()) ? "+" : "-"));
        };
        if (showEarly)
            Show();
        log_->push_back("before finish");
        FinishCreate();
    }
    TForm* mainAtCreate = reinterpret_cast<TForm*>(1);

  private:
    std::vector<std::string>* log_;
};

TEST_F(AppTest, FormEventsRunInOrderAndShowWaitsForCreate) {
    std::vector<std::string> log;
    auto* form = new TEventForm(app.get(), &log);
    // The first form becomes the main form only after its constructor.
    EXPECT_EQ(form->mainAtCreate, nullptr);
    EXPECT_EQ(app->MainForm(), nullptr); // CreateForm was not used
    EXPECT_EQ(log, (std::vector<std::string>{"before finish", "create", "show-"}));
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(IsWindowVisible(form->WindowHandle()));
    ASSERT_EQ(app->FormCount(), 1);
    EXPECT_EQ(app->Forms(0), form);

    form->Hide();
    EXPECT_FALSE(IsWindowVisible(form->WindowHandle()));
    form->Show();
    EXPECT_EQ(log.back(), "show-"); // each showing fires OnShow again

    HWND h = form->WindowHandle();
    form->Free();
    EXPECT_EQ(log.back(), "destroy+"); // the window still existed
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(app->FormCount(), 0);
}

TEST_F(AppTest, CreateFormRegistersMainFormAndClosingItTerminates) {
    static std::vector<std::string> log;
    struct TMain : TEventForm {
        explicit TMain(TComponent* owner) : TEventForm(owner, &log, false) {}
    };
    TMain* main = app->CreateForm<TMain>();
    EXPECT_EQ(main->mainAtCreate, nullptr);
    EXPECT_EQ(app->MainForm(), main);
    EXPECT_EQ(main->Owner(), app.get());
    EXPECT_FALSE(main->Visible());

    // A close request through the window ends the application.
    PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return app->Terminated(); }));
    EXPECT_TRUE(IsWindow(main->WindowHandle())); // only the loop ends
}

TEST_F(AppTest, RunShowsTheMainFormAndEndsOnTerminate) {
    struct TMain : TForm {
        explicit TMain(TComponent* owner) : TForm(owner) {
            OnShow = [](TComponent*) { Application->Terminate(); };
            FinishCreate();
        }
    };
    TMain* main = app->CreateForm<TMain>();
    app->Run(); // returns because OnShow terminates
    EXPECT_TRUE(main->Visible());
    EXPECT_TRUE(app->Terminated());
}

TEST_F(AppTest, WindowProcTakeoverSeesSentAndPostedMessagesAndCanBeRestored) {
    std::vector<std::string> log;
    TEventForm form(app.get(), &log, false);
    HWND h = form.Handle();
    constexpr UINT kProbe = WM_USER + 5;
    int seen = 0;
    TWndMethod saved = form.WindowProc;
    form.WindowProc = [&](TMessage& m) {
        if (m.Msg == kProbe) {
            ++seen;
            m.Result = 42;
            return;
        }
        saved(m); // everything else goes on to the form
    };
    EXPECT_EQ(SendMessageA(h, kProbe, 0, 0), 42);
    PostMessageA(h, kProbe, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return seen == 2; }));
    // The form itself still works behind the takeover.
    form.SetCaption("taken over");
    char text[32] = {};
    GetWindowTextA(h, text, sizeof text);
    EXPECT_STREQ(text, "taken over");

    form.WindowProc = saved;
    EXPECT_EQ(SendMessageA(h, kProbe, 0, 0), 0);
    EXPECT_EQ(seen, 2);
}

TEST_F(AppTest, ExceptionsNeverLeaveAWindowProcedure) {
    std::vector<std::string> log;
    TEventForm form(app.get(), &log, false);
    HWND h = form.Handle();
    TWndMethod saved = form.WindowProc;
    form.WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_USER + 9)
            throw std::runtime_error("boom");
        if (m.Msg == WM_USER + 10)
            throw 17; // not a std::exception
        saved(m);
    };
    SendMessageA(h, WM_USER + 9, 0, 0);
    PostMessageA(h, WM_USER + 10, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return exceptions.size() == 2; }));
    EXPECT_EQ(exceptions, (std::vector<std::string>{"boom", "?"}));
    form.WindowProc = saved;

    // Without a handler the exception is swallowed silently.
    app->OnException = nullptr;
    form.WindowProc = [](TMessage&) { throw std::runtime_error("again"); };
    SendMessageA(h, WM_USER + 9, 0, 0);
    form.WindowProc = saved;
}

// A control around a window that some other code created: the way a hosted
// player window is taken over.
LONG_PTR g_foreignSeen = 0;
bool g_foreignDestroyed = false;
LRESULT CALLBACK ForeignProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_USER + 7)
        ++g_foreignSeen;
    if (msg == WM_DESTROY)
        g_foreignDestroyed = true;
    return DefWindowProcA(h, msg, w, l);
}

class TForeignHost : public TWinControl {
  public:
    using TWinControl::TWinControl;
    int ours = 0;
    int foreignCountWhenOursRan = -1;

  protected:
    void CreateWnd() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &ForeignProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "ZembraForeignTest";
            RegisterClassA(&wc);
            registered = true;
        }
        HWND h = CreateWindowExA(0, "ZembraForeignTest", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50,
                                 Parent()->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
        AttachHandle(h);
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_USER + 7) {
            ++ours;
            foreignCountWhenOursRan = static_cast<int>(g_foreignSeen);
        }
        TWinControl::WndProc(m);
    }
};

TEST_F(AppTest, SubclassedForeignWindowSeesPostedMessagesFirstAndIsRestored) {
    g_foreignSeen = 0;
    g_foreignDestroyed = false;
    std::vector<std::string> log;
    TEventForm form(app.get(), &log, false);
    form.Handle();
    auto* host = new TForeignHost(&form);
    host->SetParent(&form); // the form has a window: the host gets one now
    HWND h = host->WindowHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(TWinControl::FromHandle(h), host);

    PostMessageA(h, WM_USER + 7, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return g_foreignSeen == 1; }));
    EXPECT_EQ(host->ours, 1);
    EXPECT_EQ(host->foreignCountWhenOursRan, 0); // ours ran before the original

    host->Free();
    // Destroyed with its original procedure back in place.
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(g_foreignDestroyed);
}

TEST_F(AppTest, DestroyingTheParentWindowFirstLeavesChildrenSafe) {
    std::vector<std::string> log;
    auto* form = new TEventForm(app.get(), &log, false);
    auto* button = new TButton(app.get()); // owned elsewhere, parented here
    button->SetParent(form);
    form->Handle();
    ASSERT_TRUE(button->HandleAllocated());
    DestroyWindow(form->WindowHandle()); // destroyed behind the objects' back
    EXPECT_FALSE(form->HandleAllocated());
    EXPECT_FALSE(button->HandleAllocated());
    form->Free();
    EXPECT_EQ(button->Parent(), nullptr);
    button->Free();
}

TEST_F(AppTest, BorderStyleChangeKeepsAChildStyle) {
    std::vector<std::string> log;
    TEventForm host(app.get(), &log, false);
    TForm preview(nullptr);
    preview.SetParentWindow(host.Handle());
    HWND h = preview.Handle();
    EXPECT_EQ(GetParent(h), host.WindowHandle());
    EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & WS_CHILD);
    preview.SetBorderStyle(TFormBorderStyle::bsNone);
    LONG style = GetWindowLongA(h, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_EQ(preview.ClientWidth(), preview.Width());

    preview.SetParentWindow(nullptr); // leaves the host
    EXPECT_NE(GetParent(h), host.WindowHandle());
    EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & WS_CHILD);
}

TEST_F(AppTest, ClientSizeAndAlignClient) {
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    form.SetClientWidth(114);
    form.SetClientHeight(152);
    EXPECT_EQ(form.ClientWidth(), 114); // before the window exists
    EXPECT_EQ(form.ClientHeight(), 152);
    form.Handle();
    EXPECT_EQ(form.ClientWidth(), 114); // and with it
    EXPECT_EQ(form.ClientHeight(), 152);

    // Also from an outer size of nothing (smaller than the frame).
    TForm empty(nullptr);
    empty.SetBorderStyle(TFormBorderStyle::bsDialog);
    empty.SetBounds(0, 0, 0, 0);
    empty.SetClientSize(160, 150);
    empty.Handle();
    EXPECT_EQ(empty.ClientWidth(), 160);
    EXPECT_EQ(empty.ClientHeight(), 150);

    auto* filler = new TLabel(&form);
    filler->SetAutoSize(false);
    filler->SetParent(&form);
    filler->SetAlign(TAlign::alClient);
    EXPECT_EQ(filler->Width(), 114);
    EXPECT_EQ(filler->Height(), 152);
    form.SetClientSize(200, 80);
    EXPECT_EQ(filler->BoundsRect().right, 200);
    EXPECT_EQ(filler->Height(), 80);
}

} // namespace
} // namespace zembra
