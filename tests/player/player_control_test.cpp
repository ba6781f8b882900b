// The built-in player control under Wine: made directly, hosted by the same
// container as the installed player, driven by dispatch id, painting the
// movie's pixels, firing FSCommand, obeying the host's timer filtering, and
// leaving nothing behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "flash/uFlashIds.h"
#include "flash/uOleContainer.h"
#include "player/uBuiltinPlayer.h"
#include "player/uPlayerWindow.h"
#include "tools/swfgen/uDemoMovie.h"
#include "util/uHandles.h"

using namespace zembra;

namespace {

constexpr DISPID kMovie = 102, kQuality = 105, kLoop = 106, kBackground = 123, kScale = 137,
                 kFlashVars = 170;

class ParentWindow {
  public:
    ParentWindow() {
        handle_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 10, 10, 320, 240,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    ~ParentWindow() {
        if (handle_)
            DestroyWindow(handle_);
    }
    HWND Get() const { return handle_; }

  private:
    HWND handle_;
};

bool Pump(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer, n < MAX_PATH ? n : 0) + name;
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    UniqueHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(f.Valid());
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

HRESULT Put(IDispatch* d, DISPID id, VARIANT v) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                     nullptr, nullptr);
}

HRESULT PutInt(IDispatch* d, DISPID id, long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return Put(d, id, v);
}

HRESULT PutBool(IDispatch* d, DISPID id, bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return Put(d, id, v);
}

HRESULT PutText(IDispatch* d, DISPID id, const std::wstring& text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    const HRESULT hr = Put(d, id, v);
    VariantClear(&v);
    return hr;
}

HRESULT Call(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                     nullptr);
}

// The client area as the control paints it, read back through a memory DC.
std::vector<std::uint32_t> Snapshot(HWND window, int& width, int& height) {
    RECT r{};
    GetClientRect(window, &r);
    width = r.right;
    height = r.bottom;
    std::vector<std::uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(dc, dib);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        pixels.assign(p, p + static_cast<std::size_t>(width) * height);
        SelectObject(dc, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool Near(std::uint32_t pixel, std::uint32_t rgb, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((pixel >> shift) & 0xFF);
        const int b = static_cast<int>((rgb >> shift) & 0xFF);
        if (a - b > tolerance || b - a > tolerance)
            return false;
    }
    return true;
}

struct Hosted {
    ParentWindow parent;
    TOleContainer container;
    ComPtr<IOleObject> object;
    HWND window = nullptr;
    std::vector<std::pair<std::wstring, std::wstring>> commands;

    void Create() {
        ASSERT_EQ(
            player::CreateBuiltinPlayer(IID_IOleObject, reinterpret_cast<void**>(object.Receive())),
            S_OK);
        container.OnEvent = [this](DISPID id, const DISPPARAMS& p) {
            if (id != 150 || p.cArgs != 2)
                return;
            commands.emplace_back(p.rgvarg[1].bstrVal, p.rgvarg[0].bstrVal);
        };
        container.CreateObject(object.Get(), DIID_ShockwaveFlashEvents);
        window = container.Activate(parent.Get(), RECT{0, 0, 320, 240});
    }
    IDispatch* D() { return container.Dispatch(); }
};

std::wstring WriteDemo(const wchar_t* name, int frames, bool quit = true) {
    swfgen::DemoMovieOptions o;
    o.frames = frames;
    o.quitAtEnd = quit;
    const std::wstring path = TempFile(name);
    WriteBytes(path, swfgen::BuildDemoMovie(o));
    return path;
}

TEST(BuiltinPlayer, AnswersAsTheInstalledControlDoes) {
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(
        player::CreateBuiltinPlayer(IID_IUnknown, reinterpret_cast<void**>(unknown.Receive())),
        S_OK);
    const IID present[] = {
        IID_IOleObject, IID_IOleInPlaceObject, IID_IOleInPlaceActiveObject,  IID_IOleWindow,
        IID_IDispatch,  IID_IShockwaveFlash,   IID_IConnectionPointContainer};
    for (const IID& iid : present) {
        ComPtr<IUnknown> p;
        EXPECT_EQ(unknown->QueryInterface(iid, reinterpret_cast<void**>(p.Receive())), S_OK);
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(unknown->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(none.Receive())),
              E_NOINTERFACE);
    EXPECT_EQ(player::CreateBuiltinPlayer(IID_IOleObject, nullptr), E_POINTER);

    ComPtr<IConnectionPointContainer> points;
    ASSERT_EQ(unknown->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(points.Receive())),
              S_OK);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(points->FindConnectionPoint(DIID_ShockwaveFlashEvents, point.Receive()), S_OK);
    ComPtr<IConnectionPoint> other;
    EXPECT_EQ(points->FindConnectionPoint(IID_IDispatch, other.Receive()), CONNECT_E_NOCONNECTION);
}

TEST(BuiltinPlayer, ActivatesIntoTheSiteWindowAndTakesPutsAndCalls) {
    Hosted h;
    h.Create();
    ASSERT_TRUE(h.window);
    EXPECT_EQ(GetParent(h.window), h.parent.Get());
    wchar_t cls[64] = {};
    GetClassNameW(h.window, cls, 64);
    EXPECT_STREQ(cls, player::PlayerWindow::ClassName());
    RECT r{};
    GetClientRect(h.window, &r);
    EXPECT_EQ(r.right, 320);
    EXPECT_EQ(r.bottom, 240);
    EXPECT_TRUE(h.container.EventsConnected());

    IDispatch* d = h.D();
    EXPECT_EQ(PutBool(d, kLoop, false), S_OK);
    EXPECT_EQ(PutBool(d, 135, false), S_OK);
    EXPECT_EQ(PutInt(d, kQuality, 1), S_OK);
    EXPECT_EQ(PutText(d, kFlashVars, L"a=1&zembramode=normal"), S_OK);
    EXPECT_EQ(PutInt(d, kBackground, 0x00332211), S_OK);
    EXPECT_EQ(PutText(d, kScale, L"exactfit"), S_OK);
    EXPECT_TRUE(FAILED(PutText(d, kScale, L"sideways")));
    // Strings convert as the installed control's would.
    EXPECT_EQ(PutText(d, kQuality, L"4"), S_OK);
    EXPECT_EQ(PutText(d, kQuality, L"high"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(PutInt(d, 9999, 1), DISP_E_MEMBERNOTFOUND);

    VARIANT got;
    VariantInit(&got);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(d->Invoke(kScale, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &got, nullptr, nullptr),
              S_OK);
    EXPECT_STREQ(got.bstrVal, L"exactfit");
    VariantClear(&got);

    for (const wchar_t* m : {L"DisableLocalSecurity", L"Stop", L"StopPlay", L"stop"})
        EXPECT_EQ(Call(d, m), S_OK) << m;
    EXPECT_EQ(Call(d, L"Rewind"), DISP_E_UNKNOWNNAME);
}

TEST(BuiltinPlayer, PaintsTheMovieAndFiresItsQuit) {
    Hosted h;
    h.Create();
    IDispatch* d = h.D();
    ASSERT_EQ(PutInt(d, kQuality, 1), S_OK);
    ASSERT_EQ(PutInt(d, kBackground, -1), S_OK); // the movie's own sky
    ASSERT_EQ(PutText(d, kMovie, WriteDemo(L"zembra-builtin-quit.swf", 15)), S_OK);
    ASSERT_TRUE(Pump([&] { return !h.commands.empty(); }, 10000)) << "no FSCommand";
    EXPECT_EQ(h.commands[0].first, L"quit");
    EXPECT_EQ(h.commands[0].second, L"");

    int w = 0, hgt = 0;
    const std::vector<std::uint32_t> px = Snapshot(h.window, w, hgt);
    ASSERT_EQ(px.size(), 320u * 240u);
    EXPECT_TRUE(Near(px[2 * 320 + 2], swfgen::DemoPalette::kBackground, 3)) << std::hex << px[0];
    std::size_t star = 0, sunny = 0, hills = 0;
    for (std::uint32_t p : px) {
        star += Near(p, swfgen::DemoPalette::kStar, 8) ? 1 : 0;
        sunny += (((p >> 16) & 0xFF) > 200 && (p & 0xFF) < 90) ? 1 : 0;
        hills += (((p >> 8) & 0xFF) > 90 && ((p >> 16) & 0xFF) < 60) ? 1 : 0;
    }
    EXPECT_GT(star, 50u);
    EXPECT_GT(sunny, 100u);
    EXPECT_GT(hills, 5000u);
}

TEST(BuiltinPlayer, UnreadableMovieShowsTheBackgroundColour) {
    Hosted h;
    h.Create();
    IDispatch* d = h.D();
    ASSERT_EQ(PutInt(d, kBackground, 0x000000FF), S_OK); // red, Windows order
    EXPECT_EQ(PutText(d, kMovie, TempFile(L"zembra-no-such-movie.swf")), S_OK);
    const std::wstring damaged = TempFile(L"zembra-damaged.swf");
    WriteBytes(damaged, {'F', 'W', 'S', 6, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2});
    EXPECT_EQ(PutText(d, kMovie, damaged), S_OK);
    int w = 0, hgt = 0;
    const std::vector<std::uint32_t> px = Snapshot(h.window, w, hgt);
    ASSERT_FALSE(px.empty());
    for (std::size_t i = 0; i < px.size(); i += 97)
        ASSERT_EQ(px[i] & 0xFFFFFF, 0xFF0000u) << i;
    EXPECT_TRUE(Pump([] { return false; }, 300) == false);
    EXPECT_TRUE(h.commands.empty());
    DeleteFileW(damaged.c_str());
}

// The host filters timer messages on the control's own window; withheld
// timer messages stop the movie, exactly as with the installed player.
LRESULT CALLBACK SwallowTimers(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                               DWORD_PTR data) {
    if (msg == WM_TIMER) {
        auto* seen = reinterpret_cast<int*>(data);
        ++*seen;
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

TEST(BuiltinPlayer, FramesRunOnItsOwnTimerWhichTheHostCanWithhold) {
    Hosted h;
    h.Create();
    int withheld = 0;
    ASSERT_TRUE(
        SetWindowSubclass(h.window, SwallowTimers, 1, reinterpret_cast<DWORD_PTR>(&withheld)));
    ASSERT_EQ(PutText(h.D(), kMovie, WriteDemo(L"zembra-builtin-timer.swf", 3)), S_OK);
    Pump([] { return false; }, 600);
    EXPECT_TRUE(h.commands.empty()) << "frames ran without timer messages";
    // A 30 fps movie: its timer fires at that pace, never busily.
    EXPECT_GE(withheld, 5);
    EXPECT_LE(withheld, 40);
    RemoveWindowSubclass(h.window, SwallowTimers, 1);
    EXPECT_TRUE(Pump([&] { return !h.commands.empty(); }, 5000));
}

TEST(BuiltinPlayer, HostMayTearDownInsideTheEventAndNothingIsLeft) {
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    HWND window = nullptr;
    {
        Hosted h;
        h.Create();
        window = h.window;
        // The saver closes its window from inside FSCommand.
        h.container.OnEvent = [&](DISPID id, const DISPPARAMS&) {
            if (id == 150) {
                h.commands.emplace_back(L"quit", L"");
                h.container.DestroyObject();
                h.object.Reset();
            }
        };
        ASSERT_EQ(PutText(h.D(), kMovie, WriteDemo(L"zembra-builtin-teardown.swf", 2)), S_OK);
        ASSERT_TRUE(Pump([&] { return !h.commands.empty(); }, 5000));
        Pump([] { return false; }, 200);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(h.commands.size(), 1u);
    }
    {
        // Ordinary teardown after painting.
        Hosted h;
        h.Create();
        ASSERT_EQ(PutText(h.D(), kMovie, WriteDemo(L"zembra-builtin-plain.swf", 30, false)), S_OK);
        UpdateWindow(h.window);
        Pump([] { return false; }, 200);
        window = h.window;
        h.container.DestroyObject();
        EXPECT_FALSE(IsWindow(window));
    }
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
}

TEST(BuiltinPlayer, InputReachesItWithoutHarm) {
    Hosted h;
    h.Create();
    ASSERT_EQ(PutText(h.D(), kMovie, WriteDemo(L"zembra-builtin-input.swf", 30, false)), S_OK);
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP})
        PostMessageW(h.window, m, 0x20, MAKELPARAM(100, 80));
    Pump([] { return false; }, 200);
    EXPECT_TRUE(IsWindow(h.window));
}

} // namespace
