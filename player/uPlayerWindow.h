// The built-in player's window: a child of the host's window that paces the
// movie with a timer of its own (so the host's filtering of timer messages
// acts on it), paints what its owner renders and hands input to its owner.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <vector>

namespace zembra::player {

// What the owner of a window provides. The window keeps its owner alive
// while it handles a message, since a callback may make the owner drop its
// last outside reference (and destroy the window).
class PlayerWindowOwner {
  public:
    virtual void HoldOwner() noexcept = 0;
    virtual void ReleaseOwner() noexcept = 0;
    // One frame timer message reached the window.
    virtual void OnFrameTimer() noexcept = 0;
    // Paints the client area (width x height) into dc.
    virtual void OnPaint(HDC dc, int width, int height) noexcept = 0;
    // A key or mouse message, client coordinates.
    virtual void OnInput(UINT msg, WPARAM wp, LPARAM lp) noexcept = 0;

  protected:
    ~PlayerWindowOwner() = default;
};

class PlayerWindow {
  public:
    explicit PlayerWindow(PlayerWindowOwner& owner) noexcept : owner_(&owner) {}
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;
    // Destroys the window without calling back into the owner.
    ~PlayerWindow();

    // Creates the visible child at pos (parent client coordinates). False
    // when it exists already or cannot be made.
    bool Create(HWND parent, const RECT& pos) noexcept;
    void Destroy() noexcept;
    HWND Handle() const noexcept { return hwnd_; }

    void Move(const RECT& pos) noexcept;
    void Show(bool visible) noexcept;
    void Invalidate() noexcept;
    // Starts or re-times the frame timer; 0 stops it.
    void SetFrameInterval(UINT ms) noexcept;
    UINT FrameInterval() const noexcept { return interval_; }

    // Window class name, for tests that look for the window.
    static const wchar_t* ClassName() noexcept;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    LRESULT Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Paint();

    PlayerWindowOwner* owner_; // null once the window is being torn down
    HWND hwnd_ = nullptr;
    UINT interval_ = 0;
};

// Copies width x height opaque 32-bit pixels (top row first) to dc at 0,0.
bool BlitPixels(HDC dc, const std::vector<std::uint32_t>& pixels, int width, int height) noexcept;

} // namespace zembra::player

#endif // _WIN32
