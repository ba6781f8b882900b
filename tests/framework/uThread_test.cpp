#include "FrameworkFixture.h"

#include <atomic>
#include <stdexcept>

#include "framework/uThread.h"
#include "framework/uTimer.h"

namespace zembra {
namespace {

using test::AppTest;

TEST_F(AppTest, TimerTicksAndReportsExceptions) {
    TTimer timer(app.get());
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    int ticks = 0;
    timer.SetInterval(20);
    timer.OnTimer = [&](TComponent* sender) {
        EXPECT_EQ(sender, &timer);
        if (++ticks == 3)
            throw std::runtime_error("tick failed");
    };
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 4; }));
    EXPECT_EQ(exceptions, (std::vector<std::string>{"tick failed"}));

    timer.SetEnabled(false);
    const int stopped = ticks;
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(ticks, stopped);
    timer.SetEnabled(true);
    timer.SetInterval(0); // 0 stops it as well
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(ticks, stopped);
}

class TWorker : public TThread {
  public:
    explicit TWorker(std::atomic<int>* runs) : TThread(true), runs_(runs) {}
    ~TWorker() override {
        // Execute uses our members: stop it before they go.
        if (!Finished() && !Suspended()) {
            Terminate();
            WaitFor();
        }
    }
    std::function<void(TWorker&)> body;
    DWORD mainThreadSeen = 0;

  protected:
    void Execute() override {
        ++*runs_;
        if (body)
            body(*this);
        ReturnValue = 7;
    }

  private:
    std::atomic<int>* runs_;
};

TEST_F(AppTest, ThreadStartsSuspendedAndRunsOnResume) {
    std::atomic<int> runs{0};
    TWorker t(&runs);
    EXPECT_TRUE(t.Suspended());
    Sleep(30);
    EXPECT_EQ(runs.load(), 0);
    t.Resume();
    t.Resume(); // harmless on a running thread
    EXPECT_FALSE(t.Suspended());
    EXPECT_EQ(t.WaitFor(), 7u);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(t.Finished());
}

TEST_F(AppTest, ThreadNeverStartedIsDestroyedWithoutRunning) {
    std::atomic<int> runs{0};
    const DWORD start = GetTickCount();
    { TWorker t(&runs); }
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(runs.load(), 0);
}

TEST_F(AppTest, ThreadTerminateEndsALoopingExecute) {
    std::atomic<int> runs{0};
    TWorker t(&runs);
    t.body = [](TWorker& self) {
        while (!self.Terminated())
            Sleep(5);
    };
    t.Start();
    // A thread terminated before it first runs skips Execute altogether:
    // wait until the body runs (a loaded host may take a while to start it).
    for (int i = 0; i < 1000 && runs.load() == 0; ++i)
        Sleep(5);
    ASSERT_EQ(runs.load(), 1);
    Sleep(20);
    EXPECT_FALSE(t.Finished());
    t.Terminate();
    EXPECT_EQ(t.WaitFor(), 7u);
}

TEST_F(AppTest, SynchronizeRunsOnTheMainThreadAndRethrowsOnTheWorker) {
    std::atomic<int> runs{0};
    TWorker t(&runs);
    std::atomic<bool> sawError{false};
    std::atomic<DWORD> ranOn{0};
    t.body = [&](TWorker& self) {
        self.Synchronize([&] { ranOn = GetCurrentThreadId(); });
        try {
            self.Synchronize([] { throw std::runtime_error("main failed"); });
        } catch (const std::runtime_error& e) {
            sawError = std::string(e.what()) == "main failed";
        }
    };
    t.Resume();
    // The calls run while the main thread handles its messages.
    EXPECT_TRUE(PumpUntil([&] { return t.Finished(); }));
    EXPECT_EQ(ranOn.load(), GetCurrentThreadId());
    EXPECT_TRUE(sawError.load());
    EXPECT_TRUE(exceptions.empty()); // went back to the worker, not to the loop
}

TEST_F(AppTest, WaitForOnTheMainThreadServesSynchronize) {
    std::atomic<int> runs{0};
    TWorker t(&runs);
    bool ran = false;
    t.body = [&](TWorker& self) { self.Synchronize([&] { ran = true; }); };
    t.Resume();
    EXPECT_EQ(t.WaitFor(), 7u); // would deadlock if the queue were not served
    EXPECT_TRUE(ran);
}

std::atomic<bool> g_freed{false};
class TSelfFreeing : public TThread {
  public:
    TSelfFreeing() : TThread(true) { FreeOnTerminate = true; }
    ~TSelfFreeing() override { g_freed = true; }

  protected:
    void Execute() override { throw std::runtime_error("ends the thread"); }
};

TEST_F(AppTest, FreeOnTerminateDeletesTheObjectOnItsThread) {
    g_freed = false;
    auto* t = new TSelfFreeing;
    EXPECT_THROW(t->WaitFor(), std::logic_error);
    t->Resume(); // t must not be used after this
    EXPECT_TRUE(PumpUntil([] { return g_freed.load(); }));
}

TEST_F(AppTest, ThreadPriorityRoundTrip) {
    std::atomic<int> runs{0};
    TWorker t(&runs);
    for (TThreadPriority p :
         {tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical}) {
        t.SetPriority(p);
        EXPECT_EQ(t.Priority(), p);
    }
    EXPECT_EQ(TThread::ToWindowsPriority(tpHighest), 2);
    EXPECT_EQ(TThread::ToWindowsPriority(tpIdle), -15);
    EXPECT_EQ(TThread::FromWindowsPriority(5), tpNormal);
    EXPECT_EQ(TThread::FromWindowsPriority(-7), tpNormal);
}

TEST_F(AppTest, SynchronizeFailsInsteadOfHangingWhenTheApplicationGoes) {
    std::atomic<int> runs{0};
    TWorker t(&runs);
    std::atomic<bool> failed{false};
    std::atomic<bool> queued{false};
    t.body = [&](TWorker& self) {
        try {
            queued = true;
            self.Synchronize([] {});
        } catch (const std::runtime_error&) {
            failed = true;
        }
    };
    t.Resume();
    while (!queued)
        Sleep(1);
    Sleep(20);
    app.reset(); // never served
    t.WaitFor();
    EXPECT_TRUE(failed.load());
}

} // namespace
} // namespace zembra
