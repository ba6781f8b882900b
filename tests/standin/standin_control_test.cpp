// The player stand-in DLL, registered in the Wine prefix, driven through COM
// the way the saver drives the player.
#include <gtest/gtest.h>

#include "uTestContainer.h"

#include <olectl.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

using namespace zembra;
using namespace zembra::standin_test;

namespace {

constexpr DISPID kMovie = 102, kQuality = 105, kLoop = 106, kBackgroundColor = 123, kMenu = 135,
                 kScale = 137, kFlashVars = 170;

const RECT kFrame = {100, 100, 580, 460}; // container, screen coordinates
const RECT kPos = {20, 30, 420, 330};     // player, container coordinates

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.compare(0, prefix.size(), prefix) == 0;
        }));
}

std::wstring TempPath(const std::wstring& name) {
    wchar_t dir[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir, n) + L"standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           name;
}

void WriteFile(const std::wstring& path, const std::string& content) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << content;
}

// Subclass that withholds WM_TIMER from the player while `block` is set.
struct TimerFilter {
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_TIMER && block)
            return 0;
        return CallWindowProcW(original, h, m, w, l);
    }
    static inline WNDPROC original = nullptr;
    static inline bool block = true;
};

class StandinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        logPath_ = TempPath(std::wstring(name.begin(), name.end()) + L".log");
        DeleteFileW(logPath_.c_str());
        SetEnvironmentVariableW(L"PLAYER_STANDIN_LOG", logPath_.c_str());
        SetEnvironmentVariableW(L"PLAYER_STANDIN_FAIL", nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"PLAYER_STANDIN_LOG", nullptr);
        SetEnvironmentVariableW(L"PLAYER_STANDIN_FAIL", nullptr);
        DeleteFileW(logPath_.c_str());
        for (const auto& f : files_)
            DeleteFileW(f.c_str());
        CoUninitialize();
    }
    std::vector<std::string> Log() const { return ReadLog(logPath_); }
    std::wstring MovieFile(const std::wstring& name, const std::string& content) {
        std::wstring path = TempPath(name);
        WriteFile(path, content);
        files_.push_back(path);
        return path;
    }

    std::wstring logPath_;
    std::vector<std::wstring> files_;
};

TEST_F(StandinTest, CreatesByClassIdAndAnswersTheHostsInterfaces) {
    ComPtr<IOleObject> object;
    ASSERT_EQ(S_OK,
              CoCreateInstance(kClsidPlayer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                               IID_IOleObject, reinterpret_cast<void**>(object.Receive())));
    ComPtr<IDispatch> dispatch, player;
    ASSERT_EQ(S_OK, object.As(dispatch, IID_IDispatch));
    ASSERT_EQ(S_OK, object.As(player, kIidPlayerDispatch));
    EXPECT_EQ(dispatch.Get(), player.Get()) << "the player interface is the dispatch interface";

    ComPtr<IUnknown> id1, id2;
    ASSERT_EQ(S_OK, object.As(id1, IID_IUnknown));
    ASSERT_EQ(S_OK, player.As(id2, IID_IUnknown));
    EXPECT_EQ(id1.Get(), id2.Get()) << "one COM identity";

    DWORD status = 0;
    ASSERT_EQ(S_OK, object->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_TRUE(status & OLEMISC_SETCLIENTSITEFIRST);
    EXPECT_EQ(E_POINTER, object->GetMiscStatus(DVASPECT_CONTENT, nullptr));
    EXPECT_EQ(E_POINTER, object->QueryInterface(IID_IDispatch, nullptr));

    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(S_OK, object.As(cpc, IID_IConnectionPointContainer));
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, cpc->FindConnectionPoint(kIidPlayerEvents, point.Receive()));
    IID iid = {};
    EXPECT_EQ(S_OK, point->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(iid, kIidPlayerEvents));
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(CONNECT_E_NOCONNECTION,
              cpc->FindConnectionPoint(IID_IPropertyNotifySink, none.Receive()));
    EXPECT_FALSE(none);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(12345));

    // A window handle is only available once in-place active.
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(S_OK, object.As(inPlace, IID_IOleInPlaceObject));
    HWND hwnd = reinterpret_cast<HWND>(1);
    EXPECT_EQ(E_FAIL, inPlace->GetWindow(&hwnd));
    EXPECT_EQ(nullptr, hwnd);

    // The connection point keeps the control alive on its own.
    object.Reset();
    dispatch.Reset();
    player.Reset();
    id1.Reset();
    id2.Reset();
    cpc.Reset();
    inPlace.Reset();
    EXPECT_EQ(0u, CountPrefix(Log(), "destroy"));
    point.Reset();
    EXPECT_EQ(1u, CountPrefix(Log(), "destroy"));
    EXPECT_EQ(1u, CountPrefix(Log(), "create"));
}

TEST_F(StandinTest, ActivatesInPlaceAsChildAtTheRectangleAndLogsMovesAndInput) {
    TestContainer container(kFrame);
    ASSERT_TRUE(container.Window());
    ASSERT_EQ(S_OK, container.Create());
    ASSERT_EQ(S_OK, container.Activate(kPos));
    EXPECT_EQ(1, container.activations);

    HWND player = container.PlayerWindow();
    ASSERT_TRUE(player);
    EXPECT_EQ(container.Window(), GetParent(player));
    EXPECT_TRUE(GetWindowLongW(player, GWL_STYLE) & WS_CHILD);
    RECT r;
    ASSERT_TRUE(GetWindowRect(player, &r));
    EXPECT_EQ(kFrame.left + kPos.left, r.left);
    EXPECT_EQ(kFrame.top + kPos.top, r.top);
    EXPECT_EQ(kPos.right - kPos.left, r.right - r.left);
    EXPECT_EQ(kPos.bottom - kPos.top, r.bottom - r.top);
    EXPECT_TRUE(Has(Log(), "window 120 130 400 300")) << "screen coordinates on activation";

    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(S_OK, container.Object()->QueryInterface(
                        IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive())));
    const RECT moved = {0, 0, 200, 100};
    ASSERT_EQ(S_OK, inPlace->SetObjectRects(&moved, &moved));
    EXPECT_TRUE(Has(Log(), "window 100 100 200 100"));
    const std::size_t windowLines = CountPrefix(Log(), "window ");
    ASSERT_EQ(S_OK, inPlace->SetObjectRects(&moved, &moved));
    EXPECT_EQ(windowLines, CountPrefix(Log(), "window ")) << "no move, no line";
    EXPECT_EQ(E_POINTER, inPlace->SetObjectRects(nullptr, &moved));

    // Moving the container moves the player on the screen; the next frame notices.
    SetWindowPos(container.Window(), nullptr, 150, 110, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(PumpMessages(3000, [&] { return Has(Log(), "window 150 110 200 100"); }));

    // Posted and sent input reaches the player's own window procedure.
    PostMessageW(player, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    PostMessageW(player, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageW(player, WM_RBUTTONUP, 0, MAKELPARAM(1, 2));
    SendMessageW(player, WM_PAINT, 0, 0); // not input
    PumpMessages(300);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(Has(log, "input 0x201 0x1 0x14000a"));
    EXPECT_TRUE(Has(log, "input 0x100 0x20 0x390001"));
    EXPECT_TRUE(Has(log, "input 0x205 0x0 0x20001"));
    // TranslateMessage adds the character; painting is no input.
    EXPECT_TRUE(Has(log, "input 0x102 0x20 0x390001"));
    EXPECT_EQ(0u, CountPrefix(log, "input 0xf "));
    inPlace.Reset();
    container.Teardown();
}

TEST_F(StandinTest, PropertyPutsAreLoggedConvertedAndReadBack) {
    TestContainer container(kFrame);
    ASSERT_EQ(S_OK, container.Create());
    // Puts work before activation too: the saver sets some of them early.
    EXPECT_EQ(S_OK, container.PutBool(kLoop, false));
    ASSERT_EQ(S_OK, container.Activate(kPos));
    EXPECT_EQ(S_OK, container.PutBool(kMenu, true));
    EXPECT_EQ(S_OK, container.PutInt(kQuality, 3));
    EXPECT_EQ(S_OK, container.PutText(kFlashVars, L"a=1&b=\x65E5\x672C&zembramode=normal"));
    EXPECT_EQ(S_OK, container.PutInt(kBackgroundColor, 0x00A06020));
    EXPECT_EQ(S_OK, container.PutText(kMovie, L"C:\\no\\such\\folder\\movie.swf"));
    EXPECT_EQ(S_OK, container.PutText(kScale, L"exactfit"));
    // Tolerated types: a number for a flag, a text for a number.
    EXPECT_EQ(S_OK, container.PutInt(kLoop, 1));
    EXPECT_EQ(S_OK, container.PutText(kQuality, L"7"));
    // Rejected: a text that is no number, an unknown id, a wrong argument count.
    EXPECT_EQ(DISP_E_TYPEMISMATCH, container.PutText(kQuality, L"high"));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, container.PutInt(4242, 1));

    std::vector<std::string> log = Log();
    EXPECT_TRUE(Has(log, "put Loop 0"));
    EXPECT_TRUE(Has(log, "put Menu -1"));
    EXPECT_TRUE(Has(log, "put Quality 3"));
    EXPECT_TRUE(Has(log, "put FlashVars a=1&b=\xE6\x97\xA5\xE6\x9C\xAC&zembramode=normal"));
    EXPECT_TRUE(Has(log, "put BackgroundColor 10510368"));
    EXPECT_TRUE(Has(log, "put Movie C:\\no\\such\\folder\\movie.swf"));
    EXPECT_TRUE(Has(log, "put Scale exactfit"));
    EXPECT_TRUE(Has(log, "put Loop -1"));
    EXPECT_TRUE(Has(log, "put Quality 7"));
    EXPECT_FALSE(Has(log, "put Quality high"));

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, container.Object()->QueryInterface(
                        IID_IDispatch, reinterpret_cast<void**>(dispatch.Receive())));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, dispatch->Invoke(kQuality, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v,
                                     nullptr, nullptr));
    EXPECT_EQ(VT_I4, v.vt);
    EXPECT_EQ(7, v.lVal);
    ASSERT_EQ(S_OK, dispatch->Invoke(kScale, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr,
                                     nullptr));
    ASSERT_EQ(VT_BSTR, v.vt);
    EXPECT_STREQ(L"exactfit", v.bstrVal);
    VariantClear(&v);

    // Two arguments to a put, or a put without arguments, are refused.
    VARIANT two[2];
    VariantInit(&two[0]);
    VariantInit(&two[1]);
    two[0].vt = two[1].vt = VT_I4;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS bad = {two, &named, 2, 1};
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, dispatch->Invoke(kQuality, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                                                     &bad, nullptr, nullptr, nullptr));
    DISPPARAMS empty = {nullptr, &named, 0, 1};
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, dispatch->Invoke(kQuality, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                                                     &empty, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_POINTER, dispatch->Invoke(kQuality, IID_NULL, 0, DISPATCH_PROPERTYPUT, nullptr,
                                          nullptr, nullptr, nullptr));
    dispatch.Reset();
    container.Teardown();
}

TEST_F(StandinTest, MethodsAreFoundByNameOnThePlayerInterface) {
    TestContainer container(kFrame);
    ASSERT_EQ(S_OK, container.Create());
    ASSERT_EQ(S_OK, container.Activate(kPos));
    EXPECT_EQ(S_OK, container.Call(L"DisableLocalSecurity"));
    EXPECT_EQ(S_OK, container.Call(L"stop")); // names are case-insensitive
    EXPECT_EQ(S_OK, container.Call(L"StopPlay"));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, container.Call(L"Play"));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, container.Call(L"Sto"));

    ComPtr<IDispatch> player;
    ASSERT_EQ(S_OK, container.Object()->QueryInterface(kIidPlayerDispatch,
                                                       reinterpret_cast<void**>(player.Receive())));
    // Every name gets an answer; a named parameter is unknown.
    wchar_t n0[] = L"Stop", n1[] = L"bogus";
    LPOLESTR names[] = {n0, n1};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, player->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
    EXPECT_NE(DISPID_UNKNOWN, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
    wchar_t movie[] = L"MOVIE";
    LPOLESTR propertyName[] = {movie};
    DISPID movieId = 0;
    EXPECT_EQ(S_OK, player->GetIDsOfNames(IID_NULL, propertyName, 1, 0, &movieId));
    EXPECT_EQ(kMovie, movieId);
    // A method takes no arguments.
    VARIANT arg;
    VariantInit(&arg);
    DISPPARAMS one = {&arg, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, player->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &one,
                                                   nullptr, nullptr, nullptr));

    std::vector<std::string> log = Log();
    EXPECT_TRUE(Has(log, "call DisableLocalSecurity"));
    EXPECT_TRUE(Has(log, "call Stop"));
    EXPECT_TRUE(Has(log, "call StopPlay"));
    EXPECT_EQ(3u, CountPrefix(log, "call "));
    player.Reset();
    container.Teardown();
}

TEST_F(StandinTest, ScriptedMovieFiresFSCommandOnlyAfterEnoughTimerFrames) {
    TestContainer container(kFrame);
    EventSink sink;
    ASSERT_EQ(S_OK, container.Create());
    ASSERT_EQ(S_OK, container.Activate(kPos));
    ASSERT_EQ(S_OK, container.Advise(sink));
    const std::wstring movie = MovieFile(L"script.swf", "#player-standin\r\n"
                                                        "after 300 fscommand second two words\r\n"
                                                        "after 100 fscommand first\r\n");
    HWND player = container.PlayerWindow();
    ASSERT_TRUE(player);

    // Withhold the player's timer messages, as the saver does while closing:
    // no frames, no events.
    TimerFilter::original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(player, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TimerFilter::Proc)));
    ASSERT_EQ(S_OK, container.PutText(kMovie, movie));
    PumpMessages(600);
    EXPECT_TRUE(sink.calls.empty());

    TimerFilter::block = false;
    const DWORD start = GetTickCount();
    ASSERT_TRUE(PumpMessages(5000, [&] { return sink.calls.size() == 2; }));
    EXPECT_GE(GetTickCount() - start, 250u) << "300 ms of frames at the 33 ms rate";
    EXPECT_TRUE(sink.calls[0].wellFormed);
    EXPECT_EQ(L"first", sink.calls[0].command);
    EXPECT_EQ(L"", sink.calls[0].args);
    EXPECT_EQ(L"second", sink.calls[1].command);
    EXPECT_EQ(L"two words", sink.calls[1].args);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(Has(log, "fscommand first"));
    EXPECT_TRUE(Has(log, "fscommand second two words"));

    // Each instruction fires once.
    PumpMessages(300);
    EXPECT_EQ(2u, sink.calls.size());
    SetWindowLongPtrW(player, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimerFilter::original));

    // Stop halts the frames, and with them the script.
    ASSERT_EQ(S_OK,
              container.PutText(kMovie, MovieFile(L"stopped.swf", "#player-standin\n"
                                                                  "after 100 fscommand never\n")));
    ASSERT_EQ(S_OK, container.Call(L"Stop"));
    PumpMessages(400);
    EXPECT_EQ(2u, sink.calls.size());

    // A missing movie file is accepted and plays nothing.
    EXPECT_EQ(S_OK, container.PutText(kMovie, TempPath(L"missing.swf")));
    PumpMessages(300);
    EXPECT_EQ(2u, sink.calls.size());
    container.Teardown();
    EXPECT_EQ(1, sink.refs) << "the sink was released on Unadvise";
}

TEST_F(StandinTest, HostMayTearTheControlDownInsideTheEvent) {
    auto container = std::make_unique<TestContainer>(kFrame);
    EventSink sink;
    ASSERT_EQ(S_OK, container->Create());
    ASSERT_EQ(S_OK, container->Activate(kPos));
    ASSERT_EQ(S_OK, container->Advise(sink));
    // "quit" makes the saver close its window and release the player while
    // the player is still inside its timer message.
    sink.onCommand = [&](const FSCommandCall& call) {
        if (call.command == L"quit")
            container.reset();
    };
    ASSERT_EQ(S_OK, container->PutText(kMovie, MovieFile(L"quit.swf", "#player-standin\n"
                                                                      "after 0 fscommand quit\n"
                                                                      "after 0 fscommand late\n")));
    ASSERT_TRUE(PumpMessages(3000, [&] { return !container; }));
    PumpMessages(200);
    std::vector<std::string> log = Log();
    EXPECT_EQ(1u, CountPrefix(log, "destroy"));
    EXPECT_EQ("destroy", log.back());
    EXPECT_FALSE(Has(log, "fscommand late")) << "a deactivated control plays no more";
    EXPECT_EQ(1u, sink.calls.size());
    EXPECT_EQ(1, sink.refs);
}

TEST_F(StandinTest, FailListMakesNamedPutsAndCallsFail) {
    TestContainer container(kFrame);
    ASSERT_EQ(S_OK, container.Create());
    ASSERT_EQ(S_OK, container.Activate(kPos));
    SetEnvironmentVariableW(L"PLAYER_STANDIN_FAIL", L" loop,Movie ,,Stop");
    EXPECT_EQ(E_FAIL, container.PutBool(kLoop, true));
    EXPECT_EQ(E_FAIL, container.PutText(kMovie, L"x.swf"));
    EXPECT_EQ(E_FAIL, container.Call(L"Stop"));
    EXPECT_EQ(S_OK, container.PutBool(kMenu, false));
    EXPECT_EQ(S_OK, container.Call(L"StopPlay")) << "a prefix of a name is another name";
    SetEnvironmentVariableW(L"PLAYER_STANDIN_FAIL", nullptr);
    EXPECT_EQ(S_OK, container.PutBool(kLoop, true));

    std::vector<std::string> log = Log();
    EXPECT_TRUE(Has(log, "fail put Loop -1"));
    EXPECT_TRUE(Has(log, "fail put Movie x.swf"));
    EXPECT_TRUE(Has(log, "fail call Stop"));
    EXPECT_FALSE(Has(log, "put Movie x.swf"));
    EXPECT_FALSE(Has(log, "call Stop"));
    EXPECT_TRUE(Has(log, "put Menu 0"));
    EXPECT_TRUE(Has(log, "call StopPlay"));
    EXPECT_EQ(1u, CountPrefix(log, "put Loop"));
    container.Teardown();
}

TEST_F(StandinTest, TeardownInReverseOrderLeavesNoWindow) {
    HWND player = nullptr;
    {
        TestContainer container(kFrame);
        EventSink sink;
        ASSERT_EQ(S_OK, container.Create());
        ASSERT_EQ(S_OK, container.Activate(kPos));
        ASSERT_EQ(S_OK, container.Advise(sink));
        player = container.PlayerWindow();
        ASSERT_TRUE(IsWindow(player));
        container.Teardown();
        EXPECT_FALSE(IsWindow(player));
        EXPECT_EQ(1, container.deactivations);
        EXPECT_EQ(1, container.refs) << "the control let go of every site reference";
        EXPECT_EQ(1, sink.refs);
        std::vector<std::string> log = Log();
        EXPECT_EQ("create", log.front());
        EXPECT_EQ("destroy", log.back());
    }
    // Released while still active, without any teardown: the window goes too.
    {
        TestContainer container(kFrame);
        ASSERT_EQ(S_OK, container.Create());
        ASSERT_EQ(S_OK, container.Activate(kPos));
        player = container.PlayerWindow();
        container.ReleaseWithoutTeardown();
        EXPECT_FALSE(IsWindow(player));
        EXPECT_EQ(1, container.refs) << "site references released with the control";
    }
    // The parent window is destroyed first; the control survives it.
    {
        EventSink sink;
        auto container = std::make_unique<TestContainer>(kFrame);
        ASSERT_EQ(S_OK, container->Create());
        ASSERT_EQ(S_OK, container->Activate(kPos));
        player = container->PlayerWindow();
        DestroyWindow(container->Window());
        EXPECT_FALSE(IsWindow(player));
        ComPtr<IOleInPlaceObject> inPlace;
        ASSERT_EQ(S_OK, container->Object()->QueryInterface(
                            IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive())));
        HWND none = nullptr;
        EXPECT_EQ(E_FAIL, inPlace->GetWindow(&none));
        inPlace.Reset();
        container.reset();
    }
    std::vector<std::string> log = Log();
    EXPECT_EQ(3u, CountPrefix(log, "create"));
    EXPECT_EQ(3u, CountPrefix(log, "destroy"));
}

TEST_F(StandinTest, VersionResourceCarriesTheConfiguredProductVersion) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CLASSES_ROOT,
                            L"CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32", 0,
                            KEY_READ, &key));
    wchar_t path[512] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    DWORD type = 0;
    LSTATUS status =
        RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    wchar_t model[64] = {};
    DWORD modelSize = sizeof model - sizeof(wchar_t);
    LSTATUS modelStatus = RegQueryValueExW(key, L"ThreadingModel", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(model), &modelSize);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, status);
    ASSERT_EQ(ERROR_SUCCESS, modelStatus);
    EXPECT_STREQ(L"Apartment", model);
    EXPECT_LT(wcslen(path), 255u) << "the saver reads at most 255 bytes";
    EXPECT_EQ(GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES, true);

    DWORD handle = 0;
    DWORD bytes = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(bytes, 0u);
    std::vector<BYTE> block(bytes);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, bytes, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    ASSERT_GE(len, sizeof(VS_FIXEDFILEINFO));
    char product[64];
    snprintf(product, sizeof product, "%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
             LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
             LOWORD(fixed->dwProductVersionLS));
    EXPECT_STREQ(STANDIN_EXPECTED_PRODUCT_VERSION, product);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS) << "file version 1.0.0.0";
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
}

// Not a check on its own: keeps a painting control on the screen until the
// Linux-side screenshot script has taken its picture.
TEST_F(StandinTest, HoldsPaintingControlForScreenshot) {
    wchar_t ready[MAX_PATH] = {}, done[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"STANDIN_SCREENSHOT_READY", ready, MAX_PATH) ||
        !GetEnvironmentVariableW(L"STANDIN_SCREENSHOT_DONE", done, MAX_PATH))
        GTEST_SKIP() << "only run by the screenshot script";
    TestContainer container(kFrame);
    ASSERT_EQ(S_OK, container.Create());
    ASSERT_EQ(S_OK, container.Activate(kPos));
    container.PutInt(kBackgroundColor, 0x00A06020);
    container.PutText(kFlashVars, L"a=1&zembramode=normal");
    container.PutText(kScale, L"showall");
    container.PutText(kMovie, MovieFile(L"shown.swf", "not a script"));
    PumpMessages(1000);
    WriteFile(ready, "ready");
    PumpMessages(30000, [&] { return GetFileAttributesW(done) != INVALID_FILE_ATTRIBUTES; });
    container.Teardown();
}

} // namespace
