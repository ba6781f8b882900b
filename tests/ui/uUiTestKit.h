// Helpers for window tests under Wine and Xvfb: pumping messages while
// waiting, reading the real child windows of a window, synthetic keyboard
// and mouse input, screenshots of the X screen, BMP file images, and
// running a script inside a form's modal loop.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zembra {
class TForm;
}

namespace zembra::test {

// Handles the waiting messages (through the framework's Application when
// there is one) for about Ms milliseconds.
void PumpFor(DWORD ms);
// Pumps until Done() is true or TimeoutMs passed; returns Done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

struct TChildWindow {
    HWND Handle = nullptr;
    std::string ClassName;
    std::wstring Text;
    bool Visible = false;
    RECT Rect{}; // in the parent's client coordinates
    int Width() const { return Rect.right - Rect.left; }
    int Height() const { return Rect.bottom - Rect.top; }
};

// The direct child windows of Parent, in z order.
std::vector<TChildWindow> ChildWindows(HWND parent);
// Window text as UTF-16, as the window really holds it.
std::wstring WindowTextW(HWND window);
// Converts UTF-8 (our source files) to UTF-16.
std::wstring Widen(const std::string& utf8);

// Synthetic input through SendInput; the pointer positions are in screen
// pixels.
void MouseMoveTo(int x, int y);
void MouseButton(bool down);
void ClickAt(int x, int y);
// Presses and releases Vk, with Alt held when Alt is true.
void PressKey(WORD vk, bool alt = false);
// The centre of a window on the screen.
POINT WindowCentre(HWND window);

// Saves the whole X screen as <ZEMBRA_SCREENSHOT_DIR>/<name>.png through
// ImageMagick's import, run as a Unix process. False when the variable is
// unset or no file appeared within a few seconds.
bool TakeScreenshot(const std::string& name);

// A BMP file image of a Width x Height 24-bit picture: a colour gradient
// with a dark frame, so stretching and clipping show on screenshots.
std::vector<std::uint8_t> MakeBmpImage(int width, int height);

// Shows Form modally and runs Script once inside its modal loop, as soon as
// the form is visible. When the form is still open TimeoutMs after the
// script returned, it is ended with ModalResult -1 so a broken close does
// not hang the test. Returns ShowModal's result.
int RunModalScript(TForm& form, const std::function<void()>& script, DWORD timeoutMs = 5000);

} // namespace zembra::test

#endif // _WIN32
