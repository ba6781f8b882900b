// The program entry shared by the saver and its test build: the "S" launcher
// step, the application object with its tool-window style, the main window
// and the message loop.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include "framework/uApplication.h"
#include "saver/uScreenSaver.h"
#include "util/uCommonUnit.h"

namespace zembra {

template <class TMainForm> int RunSaverProgram() noexcept {
    try {
        // COM for the main thread, for the whole run. Without it no player
        // can be created, which the main window handles as "no player".
        TComInitializer com;
        TApplication application;
        application.Initialize();
        // "S" starts the real saver as a second process and waits for it.
        if (RunSaverProcessIfRequested())
            return 0;
        // The main window shows only through its creation handler and the
        // screen-saver component.
        application.ShowMainForm = false;
        // No task-bar button for the saver.
        if (HWND window = application.Handle())
            SetWindowLongA(window, GWL_EXSTYLE,
                           GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
        application.CreateForm<TMainForm>();
        application.Run();
    } catch (...) {
        // Failures are never shown; the program simply ends.
    }
    return 0;
}

} // namespace zembra

#endif // _WIN32
