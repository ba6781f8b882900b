// What the script engine needs from the movie around it. The timeline
// implements this; the engine never sees frames, characters or pixels.
// Clips are named by the host's own non-zero handles; 0 means "none".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zembra::raster {
class BitmapData;
} // namespace zembra::raster

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

// A drawing API fill: a colour or a gradient. Colours 0xRRGGBB, alphas
// 0..100, ratios 0..255; the matrix (a b c d tx ty, pixels) maps the
// gradient square -819.2..819.2 into the clip.
struct DrawFill {
    enum class Kind { Solid, Linear, Radial };
    // Stops past this many are dropped, as a shape record holds no more.
    static constexpr size_t kMaxStops = 15;
    Kind kind = Kind::Solid;
    std::vector<uint32_t> colors;
    std::vector<double> alphas;
    std::vector<double> ratios;
    double matrix[6] = {1, 0, 0, 1, 0, 0};
    int spread = 0; // 0 pad, 1 reflect, 2 repeat
    bool linearRgb = false;
    double focal = 0; // -1..1
};

// A drawing API line style; widths in pixels.
struct DrawLine {
    double width = 0;
    uint32_t color = 0;
    double alpha = 100;
    bool pixelHinting = false;
    int scale = 0;  // 0 normal, 1 none, 2 vertical only, 3 horizontal only
    int caps = 0;   // 0 round, 1 none, 2 square
    int joints = 0; // 0 round, 1 bevel, 2 miter
    double miterLimit = 3;
};

// What a clip handle names: the engine gives each kind its own object.
enum class ClipKind { None, Clip, Button, TextField };

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
    // The stage's size in pixels, as the movie declares it.
    virtual void StageSize(double& width, double& height) {
        width = 550;
        height = 400;
    }
    // The sandbox of a movie played from a local file: its file header says
    // whether it asked for the network instead of local files.
    virtual bool LocalWithNetwork() { return false; }
    // A request the movie makes (a remoting call). The engine never sends
    // anything and no answer comes back; the host may log what was asked.
    virtual void SendRequest(const std::string& url, const std::string& method,
                             const std::string& mimeType, const std::vector<uint8_t>& body) {
        (void)url, (void)method, (void)mimeType, (void)body;
    }
    // A socket connection the movie asks for. None is ever opened; the
    // host may log the attempt, which then fails.
    virtual void ConnectSocket(const std::string& host, int port) { (void)host, (void)port; }

    // --- Clips ---
    virtual ClipId Level(int level) { return level == 0 ? Root() : 0; }
    virtual ClipId Root() = 0;
    virtual ClipId Parent(ClipId clip) = 0;
    // Child by instance name (case-insensitive before version 7 is the
    // host's job; `caseSensitive` says which).
    virtual ClipId Child(ClipId clip, const std::string& name, bool caseSensitive) = 0;
    // The named children a for..in over the clip lists, topmost first.
    virtual void ChildNames(ClipId clip, std::vector<std::string>& out) { (void)clip, (void)out; }
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
    // getInstanceAtDepth: the clip at a (script) depth of `clip`, or 0.
    virtual ClipId InstanceAtDepth(ClipId clip, int depth) {
        (void)clip, (void)depth;
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

    virtual ClipKind KindOf(ClipId clip) { return clip ? ClipKind::Clip : ClipKind::None; }
    // localToGlobal (toGlobal) and globalToLocal, in pixels.
    virtual void ConvertPoint(ClipId clip, double& x, double& y, bool toGlobal) {
        (void)clip, (void)x, (void)y, (void)toGlobal;
    }
    // getBounds: the clip's drawn bounds in the space of `space`, in
    // pixels; false when the clip draws nothing.
    virtual bool Bounds(ClipId clip, ClipId space, double& xMin, double& yMin, double& xMax,
                        double& yMax) {
        (void)clip, (void)space, (void)xMin, (void)yMin, (void)xMax, (void)yMax;
        return false;
    }
    // hitTest(x, y, shapeFlag) with stage pixels, and hitTest(other).
    virtual bool HitTestPoint(ClipId clip, double x, double y, bool shape) {
        (void)clip, (void)x, (void)y, (void)shape;
        return false;
    }
    virtual bool HitTestClip(ClipId clip, ClipId other) {
        (void)clip, (void)other;
        return false;
    }
    // swapDepths(depth) and swapDepths(otherClip).
    virtual void SwapDepths(ClipId clip, int depth) { (void)clip, (void)depth; }
    virtual void SwapWith(ClipId clip, ClipId other) { (void)clip, (void)other; }

    // The drawing API on the clip's own drawing, under its children
    // (coordinates in the clip's pixels). kind: 0 moveTo, 1 lineTo, 2 curveTo.
    virtual void DrawClear(ClipId clip) { (void)clip; }
    virtual void DrawPath(ClipId clip, int kind, double cx, double cy, double x, double y) {
        (void)clip, (void)kind, (void)cx, (void)cy, (void)x, (void)y;
    }
    // A fill starts; null ends the open one (endFill).
    virtual void DrawFillStyle(ClipId clip, const DrawFill* fill) { (void)clip, (void)fill; }
    // Null: no line from here on.
    virtual void DrawLineStyle(ClipId clip, const DrawLine* line) { (void)clip, (void)line; }
    // lineGradientStyle: the current line gets a gradient paint.
    virtual void DrawLineFill(ClipId clip, const DrawFill& fill) { (void)clip, (void)fill; }

    // setMask: `mask`'s drawing limits what the clip shows and is no longer
    // drawn itself; 0 takes the clip's mask away.
    virtual void SetMask(ClipId clip, ClipId mask) { (void)clip, (void)mask; }

    // transform.matrix and transform.colorTransform: the clip's matrix
    // (a b c d tx ty, pixels in its parent's space) and colour transform
    // (red, green, blue, alpha multipliers, then the offsets); false when
    // the clip is gone.
    virtual bool ClipMatrix(ClipId clip, double matrix[6]) {
        (void)clip, (void)matrix;
        return false;
    }
    virtual void SetClipMatrix(ClipId clip, const double matrix[6]) { (void)clip, (void)matrix; }
    virtual bool ClipColor(ClipId clip, double color[8]) {
        (void)clip, (void)color;
        return false;
    }
    virtual void SetClipColor(ClipId clip, const double color[8]) { (void)clip, (void)color; }

    // attachBitmap: the picture shown at a (script) depth of the clip, as
    // it is whenever drawn; false when it could not be placed.
    virtual bool AttachBitmap(ClipId clip, std::shared_ptr<const raster::BitmapData> pixels,
                              int depth, bool smoothing) {
        (void)clip, (void)pixels, (void)depth, (void)smoothing;
        return false;
    }

    // BitmapData.draw of a clip: the clip and its children drawn alone
    // through `matrix` (a b c d tx ty, pixels from the clip's space) into a
    // width x height premultiplied 0xAABBGGRR picture; false when nothing
    // could be drawn.
    virtual bool RenderClip(ClipId clip, const double matrix[6], int width, int height,
                            std::vector<uint32_t>& out) {
        (void)clip, (void)matrix, (void)width, (void)height, (void)out;
        return false;
    }

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

    // --- Files the movie loads ---
    // Reads a file named relative to the movie. False with a reason when
    // there is none or it may not be read (the default: no files at all).
    virtual bool ReadResource(const std::string& url, std::vector<uint8_t>& out,
                              std::string& error) {
        (void)url, out.clear(), error = "no files can be read here";
        return false;
    }
    // A movie or picture file becomes what `clip` plays (level < 0) or
    // _level`level`. False when the bytes cannot be shown there.
    virtual bool LoadMovieInto(ClipId clip, int level, std::vector<uint8_t> bytes,
                               const std::string& url) {
        (void)clip, (void)level, (void)bytes, (void)url;
        return false;
    }
    // unloadMovie / unloadMovieNum: the clip or level is emptied.
    virtual void UnloadMovie(ClipId clip, int level) { (void)clip, (void)level; }
    // The file version of the movie the clip plays (-1: a picture).
    virtual int SwfVersion(ClipId clip) {
        (void)clip;
        return 0;
    }
    // getBytesLoaded / getBytesTotal of a clip's movie.
    virtual double BytesLoaded(ClipId clip) { return BytesTotal(clip); }
    virtual double BytesTotal(ClipId clip) {
        (void)clip;
        return 0;
    }
    // The characters of the static texts placed directly in the clip, in
    // depth order, one entry per line of text (TextSnapshot).
    virtual std::vector<std::u16string> StaticTextLines(ClipId clip) {
        (void)clip;
        return {};
    }
    // --- Keys and focus ---
    // Key.isDown: whether the key with this code is held now.
    virtual bool KeyIsDown(int code) {
        (void)code;
        return false;
    }
    // Key.getCode and Key.getAscii: the last key that went down or up.
    virtual int LastKeyCode() { return 0; }
    virtual int LastKeyAscii() { return 0; }
    // The object with the keyboard focus (button, clip or text field), or 0.
    virtual ClipId Focus() { return 0; }
    // Selection.setFocus (0 clears it): false when the object cannot take
    // the focus. The host sends onKillFocus, onSetFocus and the
    // Selection listeners' onSetFocus.
    virtual bool SetFocus(ClipId clip) {
        (void)clip;
        return false;
    }
    // The focused text field's selection, in UTF-16 units; false when the
    // focus is on no text field.
    virtual bool TextSelection(int& begin, int& end, int& caret) {
        (void)begin, (void)end, (void)caret;
        return false;
    }
    virtual void SetTextSelection(int begin, int end) { (void)begin, (void)end; }
};

} // namespace zembra::avm1
