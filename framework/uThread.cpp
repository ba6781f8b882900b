#include "framework/uThread.h"

#include <process.h>

#include <stdexcept>

#include "framework/uApplication.h"

namespace zembra {

namespace {

// Waits for a thread handle; on the main thread it keeps serving the calls
// other threads queue for it (the awaited thread may be waiting for one)
// and the messages sent to its windows.
void WaitForThreadHandle(HANDLE h) noexcept {
    if (GetCurrentThreadId() != TApplication::MainThreadId()) {
        WaitForSingleObject(h, INFINITE);
        return;
    }
    HANDLE handles[2] = {h, TApplication::SyncEvent()};
    const DWORD count = handles[1] ? 2 : 1;
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED)
            return;
        if (r == WAIT_OBJECT_0 + 1 && count == 2) {
            try {
                if (Application)
                    Application->CheckSynchronize();
            } catch (...) {
            }
        } else {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // delivers sent messages
        }
        if (count == 2 && !Application) {
            // Nobody can serve the queue any more.
            WaitForSingleObject(h, INFINITE);
            return;
        }
    }
}

} // namespace

TThread::TThread(bool CreateSuspended) {
    (void)CreateSuspended; // always created suspended; see the class comment
    unsigned id = 0;
    uintptr_t h = _beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id);
    if (!h)
        throw std::runtime_error("thread could not be created");
    handle_.Reset(reinterpret_cast<HANDLE>(h));
    threadId_ = id;
}

TThread::~TThread() {
    if (handle_ && GetCurrentThreadId() != threadId_ && !finished_.load()) {
        Terminate();
        Resume(); // a thread that never ran ends without running Execute
        WaitForThreadHandle(handle_.Get());
    }
}

unsigned __stdcall TThread::ThreadProc(void* param) noexcept {
    auto* self = static_cast<TThread*>(param);
    self->started_ = true;
    try {
        if (!self->Terminated())
            self->Execute();
    } catch (...) {
        self->fatal_ = std::current_exception();
    }
    const DWORD result = self->ReturnValue;
    const bool freeSelf = self->FreeOnTerminate.load();
    // Nothing touches the object after this unless it is ours to free.
    self->finished_ = true;
    if (freeSelf) {
        try {
            delete self;
        } catch (...) {
        }
    }
    return result;
}

void TThread::Resume() noexcept {
    if (!handle_)
        return;
    DWORD previous;
    do {
        previous = ResumeThread(handle_.Get());
    } while (previous != static_cast<DWORD>(-1) && previous > 1);
    suspended_ = false;
}

int TThread::ToWindowsPriority(TThreadPriority p) noexcept {
    switch (p) {
    case tpIdle:
        return THREAD_PRIORITY_IDLE;
    case tpLowest:
        return THREAD_PRIORITY_LOWEST;
    case tpLower:
        return THREAD_PRIORITY_BELOW_NORMAL;
    case tpHigher:
        return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest:
        return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical:
        return THREAD_PRIORITY_TIME_CRITICAL;
    case tpNormal:
    default:
        return THREAD_PRIORITY_NORMAL;
    }
}

TThreadPriority TThread::FromWindowsPriority(int p) noexcept {
    switch (p) {
    case THREAD_PRIORITY_IDLE:
        return tpIdle;
    case THREAD_PRIORITY_LOWEST:
        return tpLowest;
    case THREAD_PRIORITY_BELOW_NORMAL:
        return tpLower;
    case THREAD_PRIORITY_ABOVE_NORMAL:
        return tpHigher;
    case THREAD_PRIORITY_HIGHEST:
        return tpHighest;
    case THREAD_PRIORITY_TIME_CRITICAL:
        return tpTimeCritical;
    default:
        return tpNormal;
    }
}

TThreadPriority TThread::Priority() const noexcept {
    return FromWindowsPriority(GetThreadPriority(handle_.Get()));
}

void TThread::SetPriority(TThreadPriority value) noexcept {
    SetThreadPriority(handle_.Get(), ToWindowsPriority(value));
}

void TThread::Synchronize(const std::function<void()>& call) {
    TApplication::Synchronize(call);
}

DWORD TThread::WaitFor() {
    if (FreeOnTerminate.load())
        throw std::logic_error("cannot wait for a thread that frees itself");
    if (GetCurrentThreadId() == threadId_)
        throw std::logic_error("a thread cannot wait for itself");
    WaitForThreadHandle(handle_.Get());
    DWORD code = 0;
    GetExitCodeThread(handle_.Get(), &code);
    return code;
}

} // namespace zembra
