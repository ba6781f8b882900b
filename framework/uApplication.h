// The application object: hidden application window, form list, message
// loop, idle handling, exception sink and the main-thread call queue.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "framework/uComponent.h"
#include "framework/uControls.h"

namespace zembra {

class TApplication : public TComponent {
  public:
    // Sets the global Application when it is still null. The thread that
    // constructs it is the main thread.
    TApplication();
    // Destroys the forms it owns, then its window; pending main-thread calls
    // fail with an exception on their threads.
    ~TApplication() override;

    // Registers the window classes and creates the hidden top-level
    // application window, which owns the forms.
    void Initialize();
    HWND Handle() const noexcept { return handle_.Get(); }

    bool ShowMainForm = true;
    TForm* MainForm() const noexcept { return mainForm_; }

    // Constructs a form owned by the application; the first one becomes the
    // main form once its constructor has finished.
    template <class T> T* CreateForm() {
        T* form = new T(this);
        if (!mainForm_)
            mainForm_ = form;
        return form;
    }

    // Shows the main form (when ShowMainForm) and runs the message loop until
    // Terminate. Exceptions from message handling go to HandleException.
    void Run();
    // Handles every waiting message, then returns.
    void ProcessMessages();
    // One message, or the idle step when there is none (then it waits).
    void HandleMessage();

    // Posts WM_QUIT; Terminated() turns true at once.
    void Terminate() noexcept;
    bool Terminated() const noexcept { return terminated_.load(); }

    std::string Title() const { return title_; }
    void SetTitle(const std::string& title);

    // Sender, the exception (null when it is not a std::exception).
    std::function<void(TComponent* Sender, const std::exception* E)> OnException;
    // Call inside a catch block. Calls OnException when assigned, otherwise
    // swallows the exception; never shows anything.
    void HandleException(TComponent* Sender) noexcept;

    // Done starts true; when it stays true the loop waits for a message.
    std::function<void(TComponent* Sender, bool& Done)> OnIdle;

    // Every live form in creation order.
    int FormCount() const noexcept { return static_cast<int>(forms_.size()); }
    TForm* Forms(int index) const noexcept;
    // The form whose window is the thread's active window, or null.
    TForm* ActiveForm() const noexcept;

    // Runs the calls queued by other threads (TThread::Synchronize). Only on
    // the main thread; true when something ran.
    bool CheckSynchronize();
    // Queues a call for the main thread and waits until it ran; rethrows
    // what it threw. Called on the main thread it runs the call at once.
    static void Synchronize(const std::function<void()>& call);
    static DWORD MainThreadId() noexcept;
    // Signalled while calls wait in the queue.
    static HANDLE SyncEvent() noexcept;

    // The key-message hook of the loop: the form owning the target window
    // may consume the message.
    bool PreTranslateMessage(MSG& msg);

    // Form list upkeep (TForm calls these).
    void AddForm(TForm* form);
    void RemoveForm(TForm* form) noexcept;

    static constexpr UINT WM_WAKEMAINTHREAD = WM_APP + 0x3F00;
    // The application window's procedure.
    static LRESULT CALLBACK AppWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) noexcept;

  private:
    bool ProcessMessage(MSG& msg);
    void Idle();

    UniqueWindow handle_;
    std::string title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    std::atomic<bool> terminated_{false};
};

extern TApplication* Application;

// For callbacks at an operating-system boundary: hands the current
// exception to Application->HandleException, or swallows it when there is
// no application. Call inside a catch block.
void HandleCallbackException(TComponent* Sender) noexcept;

// Registers the framework's window classes (idempotent, thread-safe).
void RegisterFrameworkClasses();
extern const char* const FrameworkWindowClass;

} // namespace zembra

#endif // _WIN32
