#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "framework/uApplication.h"
#include "framework/uControls.h"
#include "saver/uThreadTimer.h"

using namespace zembra;

namespace {

void EnsureApplication() {
    if (!Application) {
        static TApplication* app = new TApplication();
        app->Initialize();
    }
}

// Threads of this process (other than the caller) that are suspended now.
int SuspendedThreads() {
    int count = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 e{};
    e.dwSize = sizeof(e);
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e)) {
        if (e.th32OwnerProcessID != GetCurrentProcessId() || e.th32ThreadID == GetCurrentThreadId())
            continue;
        HANDLE t = OpenThread(THREAD_SUSPEND_RESUME, FALSE, e.th32ThreadID);
        if (!t)
            continue;
        DWORD previous = SuspendThread(t);
        if (previous != static_cast<DWORD>(-1)) {
            ResumeThread(t);
            if (previous > 0)
                ++count;
        }
        CloseHandle(t);
    }
    CloseHandle(snap);
    return count;
}

// Waits (running synchronised calls) until pred holds or ms pass.
template <class Pred> bool WaitFor(Pred pred, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > ms)
            return false;
        Application->CheckSynchronize();
        Sleep(5);
    }
    return true;
}

// Threads of this process, the caller included.
int ThreadCount() {
    int count = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 e{};
    e.dwSize = sizeof(e);
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        if (e.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    CloseHandle(snap);
    return count;
}

DWORD HandleCount() {
    DWORD n = 0;
    GetProcessHandleCount(GetCurrentProcess(), &n);
    return n;
}

// Ends the whole program when the guarded code has not finished in time: a
// destructor that waits on a worker it can no longer see never returns.
class TWatchdog {
  public:
    explicit TWatchdog(DWORD ms) : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this, ms] {
            if (WaitForSingleObject(done_, ms) == WAIT_TIMEOUT) {
                std::fprintf(stderr, "watchdog: timer destruction hangs\n");
                std::fflush(stderr);
                ExitProcess(3);
            }
        });
    }
    ~TWatchdog() {
        SetEvent(done_);
        thread_.join();
        CloseHandle(done_);
    }

  private:
    HANDLE done_;
    std::thread thread_;
};

class TTestForm : public TForm {
  public:
    explicit TTestForm(TComponent* owner) : TForm(owner) {
        SetBounds(0, 0, 50, 50);
        FinishCreate();
    }
};

int CountQueued(HWND window, UINT message) {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, window, message, message, PM_REMOVE))
        ++n;
    return n;
}

} // namespace

TEST(ThreadTimer, IntervalFloorAndPriority) {
    EnsureApplication();
    TThreadTimer timer(nullptr);
    EXPECT_EQ(timer.Interval(), 100);
    timer.SetInterval(5);
    EXPECT_EQ(timer.Interval(), 10);
    timer.SetInterval(-3);
    EXPECT_EQ(timer.Interval(), 10);
    timer.SetInterval(250);
    EXPECT_EQ(timer.Interval(), 250);
    EXPECT_EQ(timer.MessageNo, 0x300);
    timer.SetPriority(tpHighest);
    EXPECT_EQ(timer.Priority(), tpHighest);
}

TEST(ThreadTimer, SameEnabledValueDoesNotStartTheWorker) {
    EnsureApplication();
    const int before = SuspendedThreads();
    auto* timer = new TThreadTimer(nullptr);
    EXPECT_EQ(SuspendedThreads(), before + 1); // the worker waits, suspended
    timer->SetEnabled(false);
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(SuspendedThreads(), before + 1);
    timer->SetEnabled(true);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(SuspendedThreads(), before);
    delete timer;
}

TEST(ThreadTimer, DirectDeliveryTicksOnTheWorker) {
    EnsureApplication();
    std::atomic<int> ticks{0};
    std::atomic<DWORD> thread{0};
    TThreadTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TComponent* sender) {
        EXPECT_EQ(sender, &timer);
        thread = GetCurrentThreadId();
        ++ticks;
    };
    timer.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks >= 3; }, 3000));
    EXPECT_NE(thread.load(), GetCurrentThreadId());
    // Disabled: the worker keeps waiting out periods without ticking.
    timer.SetEnabled(false);
    Sleep(60);
    const int stopped = ticks;
    Sleep(150);
    EXPECT_EQ(ticks.load(), stopped);
}

TEST(ThreadTimer, SynchronisedMessageIsPostedOnlyWhenNoneIsWaiting) {
    EnsureApplication();
    auto* form = new TTestForm(nullptr);
    HWND window = form->Handle();
    ASSERT_NE(window, nullptr);
    const UINT message = WM_USER + 0x300;
    {
        TThreadTimer timer(form);
        timer.UseMessage = true;
        timer.UseSyncronize = true;
        timer.SetInterval(10);
        timer.SetEnabled(true);
        // Run the synchronised ticks without reading the window's queue.
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 400) {
            Application->CheckSynchronize();
            Sleep(5);
        }
        timer.SetEnabled(false);
        Sleep(50);
        Application->CheckSynchronize();
        EXPECT_EQ(CountQueued(window, message), 1);
        timer.OnTimer = nullptr;
    }
    {
        // Direct delivery looks at the worker's own queue: every tick posts.
        TThreadTimer timer(form);
        timer.UseMessage = true;
        timer.MessageNo = 0x301;
        timer.SetInterval(10);
        timer.SetEnabled(true);
        Sleep(300);
        timer.SetEnabled(false);
        Sleep(50);
        EXPECT_GE(CountQueued(window, WM_USER + 0x301), 2);
    }
    delete form;
}

TEST(ThreadTimer, DestroyingANeverStartedTimerReturnsAtOnce) {
    EnsureApplication();
    auto* timer = new TThreadTimer(nullptr);
    timer->SetInterval(5000);
    const DWORD start = GetTickCount();
    delete timer;
    EXPECT_LT(GetTickCount() - start, 100u);
}

TEST(ThreadTimer, DestroyingDuringADirectTickWaitsForIt) {
    EnsureApplication();
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    auto* timer = new TThreadTimer(nullptr);
    timer->SetInterval(10);
    timer->OnTimer = [&](TComponent*) {
        if (started.exchange(true))
            return;
        Sleep(300);
        finished = true;
    };
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return started.load(); }, 3000));
    delete timer;
    EXPECT_TRUE(finished.load());
}

TEST(ThreadTimer, AFailingTickStopsTheTimer) {
    EnsureApplication();
    std::atomic<int> ticks{0};
    auto* timer = new TThreadTimer(nullptr);
    timer->SetInterval(10);
    timer->OnTimer = [&](TComponent*) {
        ++ticks;
        throw std::runtime_error("tick failed");
    };
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks >= 1; }, 3000));
    Sleep(200);
    EXPECT_EQ(ticks.load(), 1);
    const DWORD start = GetTickCount();
    delete timer;
    EXPECT_LT(GetTickCount() - start, 200u);
}

TEST(ThreadTimer, ManyLifetimesUnderLoadLeaveNothingBehind) {
    // The program's heap poisons freed objects (uPoisonHeap.cpp), so waiting
    // on a worker that has already freed itself shows as a hang or a crash.
    EnsureApplication();
    TWatchdog watchdog(180000);
    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; ++i)
        load.emplace_back([&stop] {
            volatile unsigned spin = 0;
            while (!stop)
                ++spin;
        });
    const int threadsBefore = ThreadCount();
    const DWORD handlesBefore = HandleCount();

    std::atomic<int> ticks{0};
    for (int i = 0; i < 150; ++i) {
        auto* timer = new TThreadTimer(nullptr);
        timer->SetInterval(10);
        const bool failing = i % 7 == 3;
        timer->OnTimer = [&ticks, failing](TComponent*) {
            ++ticks;
            if (failing)
                throw std::runtime_error("tick failed");
        };
        if (i % 4 != 3)
            timer->SetEnabled(true);
        if (i % 5 == 0)
            timer->SetPriority(tpHighest);
        // Destroy at every point of the worker's 10 ms steps, often right
        // as it leaves its loop.
        Sleep(static_cast<DWORD>(i % 23));
        if (i % 6 == 1)
            timer->SetEnabled(false);
        delete timer;
    }
    stop = true;
    for (std::thread& t : load)
        t.join();
    EXPECT_GT(ticks.load(), 0);

    // Every worker's thread has ended and its handle is closed.
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threadsBefore - 2; }, 3000))
        << "threads before " << threadsBefore << ", now " << ThreadCount();
    EXPECT_LE(HandleCount(), handlesBefore + 4) << "handles before " << handlesBefore;
}
