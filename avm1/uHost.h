// What the script engine needs from the movie around it. The timeline
// implements this; the engine never sees frames, characters or pixels.
// Clips are named by the host's own non-zero handles; 0 means "none".
#pragma once

#include <cstdint>
#include <string>

namespace zembra::text {
class TextField;
class FontSource;
} // namespace zembra::text

namespace zembra::avm1 {

using ClipId = uint32_t;

// Display properties in the order of their GetProperty/SetProperty index.
enum class ClipProp : int {
    X = 0,
    Y,
    XScale,
    YScale,
    CurrentFrame,
    TotalFrames,
    Alpha,
    Visible,
    Width,
    Height,
    Rotation,
    Target,
    FramesLoaded,
    Name,
    DropTarget,
    Url,
    HighQuality,
    FocusRect,
    SoundBufTime,
    Quality,
    XMouse,
    YMouse,
    Count
};

class Host {
  public:
    virtual ~Host() = default;

    // A trace line as the script gave it; "\r" and "\n" inside both start
    // new lines in the player's log.
    virtual void Trace(const std::string& line) = 0;
    // Diagnostics the player writes to the same log ("Uncaught exception, ...").
    virtual void Warning(const std::string& message) { (void)message; }
    // getURL, loadMovie, loadVariables and FSCommand ("FSCommand:" urls).
    // method: 0 none, 1 GET, 2 POST.
    virtual void GetUrl(const std::string& url, const std::string& target, int method) {
        (void)url, (void)target, (void)method;
    }
    // Milliseconds since the movie started (getTimer, intervals).
    virtual double TimeMs() = 0;

    // --- Clips ---
    virtual ClipId Level(int level) { return level == 0 ? Root() : 0; }
    virtual ClipId Root() = 0;
    virtual ClipId Parent(ClipId clip) = 0;
    // Child by instance name (case-insensitive before version 7 is the
    // host's job; `caseSensitive` says which).
    virtual ClipId Child(ClipId clip, const std::string& name, bool caseSensitive) = 0;
    // Numbers for numeric properties; Target, Name, DropTarget, Url, Quality
    // are text and go through GetPropertyText.
    virtual double GetProperty(ClipId clip, ClipProp prop) = 0;
    virtual std::string GetPropertyText(ClipId clip, ClipProp prop) = 0;
    virtual void SetProperty(ClipId clip, ClipProp prop, double number,
                             const std::string& text) = 0;

    // Frame numbers are 1-based; a goto past the end clamps (the host's rule).
    virtual void GotoFrame(ClipId clip, int frame, bool play) = 0;
    // Returns false when the label does not exist.
    virtual bool GotoLabel(ClipId clip, const std::string& label, bool play) = 0;
    virtual void Play(ClipId clip) = 0;
    virtual void Stop(ClipId clip) = 0;
    virtual void NextFrame(ClipId clip) {
        GotoFrame(clip, static_cast<int>(GetProperty(clip, ClipProp::CurrentFrame)) + 1, false);
    }
    virtual void PrevFrame(ClipId clip) {
        GotoFrame(clip, static_cast<int>(GetProperty(clip, ClipProp::CurrentFrame)) - 1, false);
    }
    // True when `frame` (1-based) or the label is loaded (always, for a
    // movie read whole).
    virtual bool FrameLoaded(ClipId clip, int frame) {
        (void)clip, (void)frame;
        return true;
    }

    virtual ClipId Duplicate(ClipId clip, const std::string& name, int depth) {
        (void)clip, (void)name, (void)depth;
        return 0;
    }
    virtual void Remove(ClipId clip) { (void)clip; }
    virtual ClipId CreateEmpty(ClipId parent, const std::string& name, int depth) {
        (void)parent, (void)name, (void)depth;
        return 0;
    }
    virtual ClipId Attach(ClipId parent, const std::string& linkage, const std::string& name,
                          int depth) {
        (void)parent, (void)linkage, (void)name, (void)depth;
        return 0;
    }
    virtual int Depth(ClipId clip) {
        (void)clip;
        return 0;
    }
    virtual int NextHighestDepth(ClipId clip) {
        (void)clip;
        return 0;
    }
    virtual void StartDrag(ClipId clip, bool lockCenter, bool constrain, double l, double t,
                           double r, double b) {
        (void)clip, (void)lockCenter, (void)constrain, (void)l, (void)t, (void)r, (void)b;
    }
    virtual void StopDrag() {}
    virtual void StopSounds() {}
    // The Call action: runs the actions of a frame (number or label) of the
    // clip now, without moving the playhead.
    virtual void CallFrame(ClipId clip, const std::string& frame) { (void)clip, (void)frame; }

    // --- Text fields ---
    // The model of a clip that is a text field; null for anything else.
    virtual text::TextField* TextFieldModel(ClipId clip) {
        (void)clip;
        return nullptr;
    }
    // A new, empty text field (pixels in the parent's space); 0 when none.
    virtual ClipId CreateTextField(ClipId parent, const std::string& name, int depth, double x,
                                   double y, double w, double h) {
        (void)parent, (void)name, (void)depth, (void)x, (void)y, (void)w, (void)h;
        return 0;
    }
    // The movie's embedded fonts for text measured without a field.
    virtual const text::FontSource* Fonts() { return nullptr; }
};

} // namespace zembra::avm1
