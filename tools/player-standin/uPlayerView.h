// The stand-in's in-place window: a child of the container's window that
// counts frames on its own WM_TIMER, paints the background colour and the
// current settings as text, and logs its rectangle and the input it sees.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace zembra::standin {

// Frames advance on a 33 ms timer: about 30 frames a second.
constexpr UINT kFrameIntervalMs = 33;

// What the owner of a view must provide. The view keeps the owner alive
// while it handles a message, because a callback may make the owner drop
// its last outside reference.
class PlayerViewOwner {
  public:
    virtual void HoldOwner() noexcept = 0;
    virtual void ReleaseOwner() noexcept = 0;
    // One more frame played; `frames` counts since the last ResetFrames.
    virtual void OnFrameAdvanced(std::uint32_t frames) noexcept = 0;

  protected:
    ~PlayerViewOwner() = default;
};

struct ViewDisplay {
    COLORREF background = RGB(0, 0, 0);
    std::wstring movieName;
    std::wstring flashVars;
    std::wstring scale;
};

class PlayerView {
  public:
    explicit PlayerView(PlayerViewOwner& owner) noexcept : owner_(&owner) {}
    PlayerView(const PlayerView&) = delete;
    PlayerView& operator=(const PlayerView&) = delete;
    // Destroys the window without calling back into the owner.
    ~PlayerView();

    // Creates the child window at `pos` (parent client coordinates), starts
    // the frame timer and logs the rectangle. False when it already exists
    // or cannot be created.
    bool Create(HWND parent, const RECT& pos) noexcept;
    void Destroy() noexcept;
    HWND Handle() const noexcept { return hwnd_; }

    void Move(const RECT& pos) noexcept;
    void Show(bool visible) noexcept;

    void SetDisplay(ViewDisplay display) noexcept;
    void SetPlaying(bool playing) noexcept { playing_ = playing; }
    void ResetFrames() noexcept;
    std::uint32_t Frames() const noexcept { return frames_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    LRESULT Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnTimer();
    void Paint();
    // Logs the window's screen rectangle when it differs from the last one
    // logged, or always with `force`.
    void LogRect(bool force) noexcept;

    PlayerViewOwner* owner_; // null once the view is being torn down
    HWND hwnd_ = nullptr;
    bool creating_ = false;
    bool playing_ = true;
    std::uint32_t frames_ = 0;
    ViewDisplay display_;
    RECT loggedRect_ = {};
    bool rectLogged_ = false;
};

} // namespace zembra::standin
