// The player host against the stand-in player registered in the prefix:
// hosting, properties, methods, events and the message filter.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "flash/uShockwaveFlashEx.h"
#include "uFlashTestSupport.h"

using namespace zembra;
using namespace zembra::test;

namespace {

std::string Hex(unsigned value) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "0x%x", value);
    return buffer;
}

std::string InputLine(UINT msg, WPARAM wp, LPARAM lp) {
    return "input " + Hex(msg) + " " + Hex(static_cast<unsigned>(wp)) + " " +
           Hex(static_cast<unsigned>(lp));
}

// What AddPlayer blocks in a preview: every input range.
void BlockPreviewInput(TShockwaveFlashEx& player) {
    const UINT ranges[][2] = {
        {0x0200, 0x020A}, {0x0100, 0x0108}, {0x02C0, 0x02DF}, {0x0380, 0x038F}};
    for (const auto& range : ranges)
        for (UINT msg = range[0]; msg <= range[1]; ++msg)
            player.BlockMessage(msg);
}

DWORD TimeSend(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD start = GetTickCount();
    SendMessageA(window, msg, wp, lp);
    return GetTickCount() - start;
}

class FlashHost : public ::testing::Test {
  protected:
    TStandinLog log;
};

} // namespace

TEST_F(FlashHost, HostsPlayerWritesPropertiesCallsMethodsAndTearsDown) {
    auto form = std::make_unique<THostForm>(nullptr);
    auto* player = new TShockwaveFlashEx(form.get(), false, false);
    EXPECT_EQ(player->Owner(), form.get());
    EXPECT_EQ(player->OwnerWindow(), form->Handle());
    EXPECT_FALSE(player->HandleAllocated()) << "no window before the control has a parent";

    // The method works before the window exists, as the main window uses it.
    player->DisableLocalSecurity();
    player->SetBounds(10, 20, 200, 100);
    player->SetParent(form.get());
    ASSERT_TRUE(player->HandleAllocated());
    HWND window = player->WindowHandle();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), form->Handle());
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(TWinControl::FromHandle(window), player) << "the player's own window is adopted";

    player->SetLoop(true);
    player->SetMenu(false);
    player->SetQuality(3);
    player->SetFlashVars(L"a=1&b=two words&zembramode=normal");
    player->SetBackgroundColor(0x00112233);
    player->SetLoop(false);
    player->SetMenu(true);
    player->SetMovie(L"C:\\movies\\intro.swf");
    player->SetScale(L"showall");
    player->Stop();
    player->StopPlay();

    // Moving the control moves the player's window.
    player->SetBounds(30, 40, 120, 60);
    PumpFor(50);
    RECT r{};
    GetWindowRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(form->Handle(), &origin);
    EXPECT_EQ(r.left - origin.x, 30);
    EXPECT_EQ(r.top - origin.y, 40);
    EXPECT_EQ(r.right - r.left, 120);
    EXPECT_EQ(r.bottom - r.top, 60);

    delete player;
    EXPECT_FALSE(IsWindow(window)) << "teardown leaves no window";
    EXPECT_EQ(form->ControlCount(), 0);

    std::vector<std::string> expected = {
        "create",
        "call DisableLocalSecurity",
        "put Loop -1",
        "put Menu 0",
        "put Quality 3",
        "put FlashVars a=1&b=two words&zembramode=normal",
        "put BackgroundColor 1122867",
        "put Loop 0",
        "put Menu -1",
        "put Movie C:\\movies\\intro.swf",
        "put Scale showall",
        "call Stop",
        "call StopPlay",
        "destroy",
    };
    int at = 0;
    for (const std::string& line : expected) {
        int found = log.Find(line, at);
        EXPECT_GE(found, at) << "missing or out of order: " << line;
        if (found >= 0)
            at = found + 1;
    }
    std::vector<std::string> windows = log.Lines("window ");
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.front(), "window " + std::to_string(origin.x + 10) + " " +
                                   std::to_string(origin.y + 20) + " 200 100");
    EXPECT_EQ(log.Lines("destroy").size(), 1u);
}

TEST_F(FlashHost, FailingPutsAndCallsThrowAndOthersStillWork) {
    SetEnvironmentVariableA("PLAYER_STANDIN_FAIL", "Movie,Stop");
    THostForm form(nullptr);
    auto* player = new TShockwaveFlashEx(&form, false, false);
    player->SetParent(&form);

    EXPECT_THROW(player->SetMovie(L"C:\\movies\\intro.swf"), EOleError);
    EXPECT_THROW(player->Stop(), EOleError);
    EXPECT_NO_THROW(player->SetScale(L"exactfit"));
    EXPECT_NO_THROW(player->StopPlay());
    EXPECT_EQ(log.Find("put Movie C:\\movies\\intro.swf"), -1);
    EXPECT_GE(log.Find("put Scale exactfit"), 0);
    // The form destroys the control it owns.
}

TEST_F(FlashHost, FSCommandOfAScriptedMovieReachesOnFSCommand) {
    std::string movie =
        WriteMovie("flash_test_fscommand.swf", "after 60 fscommand boom first\r\n"
                                               "after 120 fscommand quit now please\r\n");
    THostForm form(nullptr);
    auto* player = new TShockwaveFlashEx(&form, false, false);
    struct Received {
        TComponent* sender;
        std::wstring command, args;
    };
    std::vector<Received> received;
    player->OnFSCommand = [&](TComponent* sender, const std::wstring& command,
                              const std::wstring& args) {
        received.push_back({sender, command, args});
        if (command == L"boom")
            throw std::runtime_error("a handler that fails must not upset the player");
    };
    player->SetParent(&form);
    player->SetMovie(Wide(movie));

    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 2; }, 5000));
    EXPECT_EQ(received[0].sender, player);
    EXPECT_EQ(received[0].command, L"boom");
    EXPECT_EQ(received[0].args, L"first");
    EXPECT_EQ(received[1].command, L"quit");
    EXPECT_EQ(received[1].args, L"now please");
    DeleteFileA(movie.c_str());
}

TEST_F(FlashHost, PreviewSwallowsEveryInputRangeAndPassesOthers) {
    THostForm form(nullptr);
    auto* player = new TShockwaveFlashEx(&form, true, false);
    BlockPreviewInput(*player);
    player->SetParent(&form);
    HWND window = player->WindowHandle();
    ASSERT_TRUE(IsWindow(window));

    std::vector<UINT> blocked;
    for (UINT msg = 0x0200; msg <= 0x020A; ++msg)
        blocked.push_back(msg);
    for (UINT msg = 0x0100; msg <= 0x0108; ++msg)
        blocked.push_back(msg);
    for (UINT msg = 0x02C0; msg <= 0x02DF; ++msg)
        blocked.push_back(msg);
    for (UINT msg = 0x0380; msg <= 0x038F; ++msg)
        blocked.push_back(msg);
    for (UINT msg : blocked) {
        EXPECT_EQ(SendMessageA(window, msg, 0x11, 0x22), 0) << Hex(msg);
        PostMessageA(window, msg, 0x33, 0x44);
    }
    // Just outside the ranges: a key message and an extra mouse button.
    PostMessageA(window, WM_UNICHAR, 0x41, 0x1);
    PostMessageA(window, WM_XBUTTONDOWN, 0x20, 0x00050005);
    ASSERT_TRUE(PumpUntil([&] { return log.Lines("input ").size() >= 2; }, 3000));
    PumpFor(100);

    std::vector<std::string> inputs = log.Lines("input ");
    ASSERT_EQ(inputs.size(), 2u) << inputs.front();
    EXPECT_EQ(inputs[0], InputLine(WM_UNICHAR, 0x41, 0x1));
    EXPECT_EQ(inputs[1], InputLine(WM_XBUTTONDOWN, 0x20, 0x00050005));
}

TEST_F(FlashHost, RunModeWithRightButtonBlockedSwallowsOnlyThePress) {
    THostForm form(nullptr);
    auto* player = new TShockwaveFlashEx(&form, false, false);
    player->BlockMessage(WM_RBUTTONDOWN);
    player->BlockMessage(WM_RBUTTONDOWN); // duplicates are harmless
    player->SetParent(&form);
    HWND window = player->WindowHandle();

    EXPECT_EQ(SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, 0x00100010), 0);
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, 0x00100010);
    PostMessageA(window, WM_RBUTTONUP, 0, 0x00100010);
    PostMessageA(window, WM_RBUTTONDBLCLK, MK_RBUTTON, 0x00100010);
    PostMessageA(window, WM_KEYUP, VK_SPACE, 0xC0390001);
    ASSERT_TRUE(PumpUntil([&] { return log.Lines("input ").size() >= 3; }, 3000));
    PumpFor(100);

    std::vector<std::string> inputs = log.Lines("input ");
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0], InputLine(WM_RBUTTONUP, 0, 0x00100010));
    EXPECT_EQ(inputs[1], InputLine(WM_RBUTTONDBLCLK, MK_RBUTTON, 0x00100010));
    EXPECT_EQ(inputs[2], InputLine(WM_KEYUP, VK_SPACE, 0xC0390001));
}

TEST_F(FlashHost, TimerMessagesAreWithheldWhileHiddenInPreviewAndWhenClosing) {
    std::string movie = WriteMovie("flash_test_tick.swf", "after 100 fscommand tick\r\n");
    int ticks = 0;
    auto count = [&](TComponent*, const std::wstring& command, const std::wstring&) {
        if (command == L"tick")
            ++ticks;
    };

    // A preview whose main window is hidden does not advance.
    {
        THostForm hidden(nullptr, false);
        auto* player = new TShockwaveFlashEx(&hidden, true, false);
        player->OnFSCommand = count;
        player->SetParent(&hidden);
        player->SetMovie(Wide(movie));
        PumpFor(600);
        EXPECT_EQ(ticks, 0) << "no timer message may reach a hidden preview";
        hidden.Show();
        EXPECT_TRUE(PumpUntil([&] { return ticks == 1; }, 5000)) << "shown, it plays";
    }

    // Closing withholds timer messages in run mode too, and nothing else.
    {
        ticks = 0;
        THostForm form(nullptr);
        auto* player = new TShockwaveFlashEx(&form, false, false);
        player->OnFSCommand = count;
        player->SetParent(&form);
        player->Closing = true;
        player->SetMovie(Wide(movie));
        PostMessageA(player->WindowHandle(), WM_KEYDOWN, 'A', 0x001E0001);
        PumpFor(600);
        EXPECT_EQ(ticks, 0);
        EXPECT_GE(log.Find(InputLine(WM_KEYDOWN, 'A', 0x001E0001)), 0);
        player->Closing = false;
        EXPECT_TRUE(PumpUntil([&] { return ticks == 1; }, 5000));
    }
    DeleteFileA(movie.c_str());
}

TEST_F(FlashHost, ThrottledPreviewPausesCloseTimerMessagesOnly) {
    THostForm form(nullptr);
    // No message is pumped in this test, so only the timer messages sent
    // here pass the filter.
    auto* preview = new TShockwaveFlashEx(&form, true, true);
    preview->SetBounds(0, 0, 100, 100);
    preview->SetParent(&form);
    EXPECT_EQ(preview->LastTimerTick(), 0u);
    EXPECT_LT(TimeSend(preview->WindowHandle(), WM_TIMER, 0x7777, 0), 35u)
        << "the first timer message passes at once";
    EXPECT_NE(preview->LastTimerTick(), 0u);
    Sleep(10);
    DWORD paused = TimeSend(preview->WindowHandle(), WM_TIMER, 0x7777, 0);
    EXPECT_GE(paused, 45u);
    EXPECT_LT(paused, 150u) << "one pause of 50 ms, not more";
    Sleep(80);
    EXPECT_LT(TimeSend(preview->WindowHandle(), WM_TIMER, 0x7777, 0), 35u)
        << "a timer message after the interval passes at once";

    // The throttle acts in a preview only.
    auto* run = new TShockwaveFlashEx(&form, false, true);
    run->SetBounds(100, 0, 100, 100);
    run->SetParent(&form);
    EXPECT_LT(TimeSend(run->WindowHandle(), WM_TIMER, 0x7777, 0), 35u);
    Sleep(10);
    EXPECT_LT(TimeSend(run->WindowHandle(), WM_TIMER, 0x7777, 0), 35u);
    EXPECT_EQ(run->LastTimerTick(), 0u);
}

TEST_F(FlashHost, FollowsAlignmentVisibilityAndANewParent) {
    THostForm first(nullptr);
    THostForm second(nullptr);
    auto* player = new TShockwaveFlashEx(&first, false, false);
    player->SetAlign(TAlign::alClient);
    player->SetParent(&first);
    HWND window = player->WindowHandle();
    RECT client{}, r{};
    GetClientRect(first.Handle(), &client);
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, client.right);
    EXPECT_EQ(r.bottom - r.top, client.bottom);

    player->Hide();
    EXPECT_FALSE(IsWindowVisible(window));
    player->Show();
    EXPECT_TRUE(IsWindowVisible(window));

    // Moved to another form, the player is activated anew inside it.
    player->SetParent(&second);
    ASSERT_TRUE(player->HandleAllocated());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetParent(player->WindowHandle()), second.Handle());
    EXPECT_GE(log.Lines("window ").size(), 2u);
    delete player;
    EXPECT_EQ(log.Lines("destroy").size(), 1u);
}

TEST_F(FlashHost, FormDestroyingItsPlayersLeavesNoWindow) {
    HWND windows[2] = {};
    {
        THostForm form(nullptr);
        for (int i = 0; i < 2; ++i) {
            auto* player = new TShockwaveFlashEx(&form, false, false);
            player->SetBounds(i * 100, 0, 100, 100);
            player->SetParent(&form);
            windows[i] = player->WindowHandle();
        }
        PumpFor(50);
    }
    EXPECT_FALSE(IsWindow(windows[0]));
    EXPECT_FALSE(IsWindow(windows[1]));
    EXPECT_EQ(log.Lines("create").size(), 2u);
    EXPECT_EQ(log.Lines("destroy").size(), 2u);
}

TEST(NoPlayer, NoControlCanBeMade) {
    THostForm form(nullptr);
    EXPECT_THROW(TShockwaveFlashEx(&form, false, false), EOleError);
    EXPECT_EQ(form.ComponentCount(), 0) << "a control that failed leaves nothing behind";
}
