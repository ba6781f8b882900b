// A worker thread object. The operating-system thread is always created
// suspended; a thread constructed with CreateSuspended = false must be
// started with Start() (or Resume()) once the most derived constructor has
// finished, since Execute must not run on a half-built object.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "util/uHandles.h"

namespace zembra {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
  public:
    explicit TThread(bool CreateSuspended);
    // A thread that never ran is resumed with Terminated set, so it ends
    // without running Execute. A running thread is terminated and awaited:
    // subclasses whose Execute uses their own members must stop it
    // (Terminate + WaitFor) in their own destructor. When the object is
    // freed on its own thread (FreeOnTerminate) nothing is awaited.
    virtual ~TThread();

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Resumes until the thread runs; harmless on a running thread.
    void Resume() noexcept;
    void Start() noexcept { Resume(); }
    bool Suspended() const noexcept { return suspended_.load(); }

    void Terminate() noexcept { terminated_ = true; }
    bool Terminated() const noexcept { return terminated_.load(); }
    // True once the thread function has left Execute.
    bool Finished() const noexcept { return finished_.load(); }

    // When true at the end of the thread function, the object deletes
    // itself on that thread. Do not touch the object after it may have
    // ended then.
    std::atomic<bool> FreeOnTerminate{false};

    TThreadPriority Priority() const noexcept;
    void SetPriority(TThreadPriority value) noexcept;

    // Runs call on the main thread (when its loop checks the queue) and
    // waits for it; rethrows here what the call threw.
    void Synchronize(const std::function<void()>& call);

    // Waits for the end of the thread and returns its exit code. On the
    // main thread it keeps running queued Synchronize calls meanwhile.
    // Throws std::logic_error for a FreeOnTerminate thread or when called
    // on the thread itself.
    DWORD WaitFor();

    HANDLE Handle() const noexcept { return handle_.Get(); }
    DWORD ThreadID() const noexcept { return threadId_; }
    // The exception that ended Execute, if any.
    std::exception_ptr FatalException() const noexcept { return fatal_; }

    static int ToWindowsPriority(TThreadPriority p) noexcept;
    static TThreadPriority FromWindowsPriority(int p) noexcept;

  protected:
    virtual void Execute() = 0;
    DWORD ReturnValue = 0;

  private:
    static unsigned __stdcall ThreadProc(void* param) noexcept;

    UniqueHandle handle_;
    DWORD threadId_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> suspended_{true};
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::exception_ptr fatal_;
};

} // namespace zembra

#endif // _WIN32
