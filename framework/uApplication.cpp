#include "framework/uApplication.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <stdexcept>

namespace zembra {

TApplication* Application = nullptr;
const char* const FrameworkWindowClass = "ZembraWindow";

namespace {

const char* const kApplicationClass = "ZembraApplication";

std::atomic<DWORD> g_mainThreadId{0};
std::atomic<HWND> g_appWindow{nullptr};

// Calls that other threads hand to the main thread.
struct SyncRequest {
    const std::function<void()>* call;
    std::exception_ptr error;
    HANDLE done;
};

std::mutex g_syncMutex;
std::deque<SyncRequest*> g_syncQueue;
bool g_syncOpen = false;

HANDLE SyncEventHandle() noexcept {
    static UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return event.Get();
}

void WakeMainThread() noexcept {
    if (HWND app = g_appWindow.load())
        PostMessageA(app, TApplication::WM_WAKEMAINTHREAD, 0, 0);
    else if (DWORD id = g_mainThreadId.load())
        PostThreadMessageA(id, WM_NULL, 0, 0);
}

bool RunSyncQueue() {
    if (GetCurrentThreadId() != g_mainThreadId.load())
        return false;
    std::deque<SyncRequest*> local;
    {
        std::lock_guard<std::mutex> lock(g_syncMutex);
        local.swap(g_syncQueue);
        ResetEvent(SyncEventHandle());
    }
    for (SyncRequest* r : local) {
        try {
            (*r->call)();
        } catch (...) {
            r->error = std::current_exception();
        }
        SetEvent(r->done);
    }
    return !local.empty();
}

std::string ModuleTitle() {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n < MAX_PATH ? n : MAX_PATH);
    std::size_t slash = s.find_last_of("\\/");
    if (slash != std::string::npos)
        s.erase(0, slash + 1);
    std::size_t dot = s.rfind('.');
    if (dot != std::string::npos && dot > 0)
        s.erase(dot);
    return s;
}

} // namespace

void RegisterFrameworkClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        HINSTANCE inst = GetModuleHandleA(nullptr);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &TWinControl::StaticWndProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = FrameworkWindowClass;
        RegisterClassExA(&wc);

        WNDCLASSEXA app{};
        app.cbSize = sizeof(app);
        app.lpfnWndProc = &TApplication::AppWndProc;
        app.hInstance = inst;
        app.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(1));
        app.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        app.lpszClassName = kApplicationClass;
        RegisterClassExA(&app);
    });
}

void HandleCallbackException(TComponent* Sender) noexcept {
    if (Application)
        Application->HandleException(Sender);
}

TApplication::TApplication() : TComponent(nullptr) {
    if (!Application)
        Application = this;
    g_mainThreadId = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(g_syncMutex);
    g_syncOpen = true;
}

TApplication::~TApplication() {
    BeginDestroy();
    // Callers still waiting for the main thread get an error instead.
    {
        std::lock_guard<std::mutex> lock(g_syncMutex);
        g_syncOpen = false;
        for (SyncRequest* r : g_syncQueue) {
            r->error = std::make_exception_ptr(std::runtime_error("application closed"));
            SetEvent(r->done);
        }
        g_syncQueue.clear();
        ResetEvent(SyncEventHandle());
    }
    DestroyComponents();
    mainForm_ = nullptr;
    if (g_appWindow.load() == handle_.Get())
        g_appWindow = nullptr;
    if (handle_)
        SetWindowLongPtrA(handle_.Get(), GWLP_USERDATA, 0);
    handle_.Reset();
    // A quit request must not end the next message loop of this thread.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (Application == this)
        Application = nullptr;
}

void TApplication::Initialize() {
    RegisterFrameworkClasses();
    if (handle_)
        return;
    if (title_.empty())
        title_ = ModuleTitle();
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    handle_.Reset(
        CreateWindowExA(0, kApplicationClass, title_.c_str(),
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                        0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), this));
    if (!handle_)
        throw std::runtime_error("application window could not be created");
    g_appWindow = handle_.Get();
}

LRESULT CALLBACK TApplication::AppWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) noexcept {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* app = reinterpret_cast<TApplication*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!app)
        return DefWindowProcA(h, msg, w, l);
    try {
        switch (msg) {
        case WM_WAKEMAINTHREAD:
            app->CheckSynchronize();
            return 0;
        case WM_CLOSE:
            if (app->mainForm_)
                app->mainForm_->Close();
            return 0;
        default:
            break;
        }
    } catch (...) {
        app->HandleException(app);
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    if (handle_)
        SetWindowTextA(handle_.Get(), title_.c_str());
}

void TApplication::Terminate() noexcept {
    terminated_ = true;
    if (GetCurrentThreadId() == g_mainThreadId.load())
        PostQuitMessage(0);
    else
        WakeMainThread();
}

void TApplication::HandleException(TComponent* Sender) noexcept {
    try {
        std::exception_ptr ep = std::current_exception();
        if (!ep || !OnException)
            return;
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            OnException(Sender, &e);
        } catch (...) {
            OnException(Sender, nullptr);
        }
    } catch (...) {
    }
}

bool TApplication::PreTranslateMessage(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd)
        return false;
    TWinControl* c = TWinControl::FindControl(msg.hwnd);
    if (!c)
        return false;
    TForm* form = c->ParentForm();
    return form && form->PreTranslate(msg);
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    if (!PreTranslateMessage(msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void TApplication::Idle() {
    bool done = true;
    try {
        if (OnIdle)
            OnIdle(this, done);
    } catch (...) {
        HandleException(this);
    }
    if (CheckSynchronize())
        done = false;
    if (done && !Terminated())
        WaitMessage();
}

void TApplication::HandleMessage() {
    try {
        MSG msg;
        if (!ProcessMessage(msg))
            Idle();
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::ProcessMessages() {
    for (;;) {
        bool more = false;
        try {
            MSG msg;
            more = ProcessMessage(msg);
        } catch (...) {
            HandleException(this);
            more = true;
        }
        if (!more)
            break;
    }
    CheckSynchronize();
}

void TApplication::Run() {
    if (!mainForm_)
        return;
    if (ShowMainForm) {
        try {
            mainForm_->Show();
        } catch (...) {
            HandleException(this);
        }
    }
    while (!Terminated())
        HandleMessage();
}

TForm* TApplication::Forms(int index) const noexcept {
    if (index < 0 || index >= FormCount())
        return nullptr;
    return forms_[static_cast<std::size_t>(index)];
}

TForm* TApplication::ActiveForm() const noexcept {
    HWND active = GetActiveWindow();
    if (!active)
        return nullptr;
    for (TForm* f : forms_)
        if (f->WindowHandle() == active)
            return f;
    return nullptr;
}

void TApplication::AddForm(TForm* form) {
    forms_.push_back(form);
}

void TApplication::RemoveForm(TForm* form) noexcept {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (mainForm_ == form)
        mainForm_ = nullptr;
}

bool TApplication::CheckSynchronize() {
    return RunSyncQueue();
}

DWORD TApplication::MainThreadId() noexcept {
    return g_mainThreadId.load();
}

HANDLE TApplication::SyncEvent() noexcept {
    return SyncEventHandle();
}

void TApplication::Synchronize(const std::function<void()>& call) {
    const DWORD mainId = g_mainThreadId.load();
    if (mainId == GetCurrentThreadId()) {
        call();
        return;
    }
    UniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done)
        throw std::runtime_error("event could not be created");
    SyncRequest request{&call, nullptr, done.Get()};
    {
        std::lock_guard<std::mutex> lock(g_syncMutex);
        if (!g_syncOpen || mainId == 0)
            throw std::runtime_error("no application to run the call");
        g_syncQueue.push_back(&request);
        SetEvent(SyncEventHandle());
    }
    WakeMainThread();
    WaitForSingleObject(done.Get(), INFINITE);
    if (request.error)
        std::rethrow_exception(request.error);
}

} // namespace zembra
