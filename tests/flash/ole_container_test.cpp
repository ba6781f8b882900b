// The ActiveX container and the player detection on their own, in a plain
// parent window, against the stand-in player registered in the prefix (and,
// for the NoPlayer cases, in a prefix without any player).
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "flash/uFlashIds.h"
#include "flash/uFlashUtils.h"
#include "flash/uOleContainer.h"

using namespace zembra;

namespace {

class TParentWindow {
  public:
    TParentWindow() {
        handle_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 50, 60, 300, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    ~TParentWindow() {
        if (handle_)
            DestroyWindow(handle_);
    }
    HWND Get() const { return handle_; }

  private:
    HWND handle_;
};

std::string TempPath(const std::string& name) {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    return std::string(buffer, n < MAX_PATH ? n : 0) + name;
}

bool Pump(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PutMovie(TOleContainer& container, const std::string& path) {
    std::wstring wide(path.begin(), path.end());
    BSTR text = SysAllocString(wide.c_str());
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    HRESULT hr =
        container.Dispatch()->Invoke(102, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                     &params, nullptr, nullptr, nullptr);
    SysFreeString(text);
    OleCheck(hr, "Movie");
}

} // namespace

TEST(OleContainer, ActivatesIntoParentDeliversEventsAndTearsDownCompletely) {
    TParentWindow parent;
    TOleContainer container;
    container.CreateObject(CLSID_ShockwaveFlash, DIID_ShockwaveFlashEvents);
    ASSERT_TRUE(container.HasObject());
    EXPECT_FALSE(container.IsActive());
    EXPECT_EQ(container.ControlWindow(), nullptr);

    HWND window = container.Activate(parent.Get(), RECT{5, 6, 105, 56});
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), parent.Get());
    EXPECT_TRUE(container.EventsConnected());
    EXPECT_EQ(container.Activate(parent.Get(), RECT{5, 6, 105, 56}), window)
        << "activating twice keeps the one window";

    container.SetBounds(RECT{10, 20, 60, 50});
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent.Get(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 60);
    EXPECT_EQ(r.bottom, 50);

    // Events arrive with their arguments; a handler that throws is contained.
    std::string movie = TempPath("ole_container_events.swf");
    {
        std::ofstream out(movie, std::ios::binary | std::ios::trunc);
        out << "#player-standin\r\nafter 30 fscommand first one\r\nafter 90 fscommand second\r\n";
    }
    std::vector<std::pair<DISPID, UINT>> events;
    container.OnEvent = [&](DISPID id, const DISPPARAMS& params) {
        events.emplace_back(id, params.cArgs);
        throw std::runtime_error("handler failure");
    };
    PutMovie(container, movie);
    ASSERT_TRUE(Pump([&] { return events.size() >= 2; }, 5000));
    EXPECT_EQ(events[0].first, 150);
    EXPECT_EQ(events[0].second, 2u);
    DeleteFileA(movie.c_str());

    // Deactivation takes the player's window; the object stays usable and
    // can be activated again.
    container.Deactivate();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(container.IsActive());
    HWND again = container.Activate(parent.Get(), RECT{0, 0, 50, 50});
    EXPECT_TRUE(IsWindow(again));

    container.DestroyObject();
    EXPECT_FALSE(IsWindow(again));
    EXPECT_FALSE(container.HasObject());
    EXPECT_FALSE(container.EventsConnected());
    EXPECT_THROW(container.Dispatch(), EOleError);
    EXPECT_THROW(container.Activate(parent.Get(), RECT{0, 0, 1, 1}), EOleError);
    container.DestroyObject(); // twice is harmless
}

TEST(OleContainer, UnknownClassFailsCleanly) {
    const CLSID nobody = {0x0badf00d, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    TOleContainer container;
    try {
        container.CreateObject(nobody, DIID_ShockwaveFlashEvents);
        FAIL() << "created an unregistered class";
    } catch (const EOleError& e) {
        EXPECT_TRUE(FAILED(e.Code()));
    }
    EXPECT_FALSE(container.HasObject());
}

TEST(FlashDetect, RegisteredStandinIsFoundWithItsVersion) {
    EXPECT_TRUE(CanCreateFlashPlayer());
    std::string version = "junk";
    GetFlashPlayerVersion(version);
    EXPECT_EQ(version, "32.0.0.465");
    EXPECT_TRUE(IsFlashPlayerVersionAtLeast("8.0"));
    EXPECT_TRUE(IsFlashPlayerVersionAtLeast("32.0.0.465"));
    EXPECT_FALSE(IsFlashPlayerVersionAtLeast("32.0.0.466"));
    EXPECT_FALSE(IsFlashPlayerVersionAtLeast("33"));
}

// Runs only in a prefix where no player is registered (a CTest test of its
// own); excluded from the run in the ordinary prefix.
TEST(NoPlayer, NothingIsFound) {
    EXPECT_FALSE(CanCreateFlashPlayer());
    std::string version;
    GetFlashPlayerVersion(version);
    EXPECT_EQ(version, "0.0.0.0");
    EXPECT_FALSE(IsFlashPlayerVersionAtLeast("0.0.0.0"));
    EXPECT_FALSE(IsFlashPlayerVersionAtLeast(""));

    TOleContainer container;
    EXPECT_THROW(container.CreateObject(CLSID_ShockwaveFlash, DIID_ShockwaveFlashEvents),
                 EOleError);
    EXPECT_FALSE(container.HasObject());
}
