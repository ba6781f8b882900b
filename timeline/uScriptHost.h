// The script engine's view of the movie: clip handles over the real display
// list, display properties on the real objects, and the timeline operations
// scripts ask for, passed on to the movie. Handles name a place (parent
// handle and depth) and are checked on every use, so a handle of a clip
// that is gone finds nothing instead of freed memory.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "avm1/uHost.h"
#include "timeline/uDisplayList.h"

namespace zembra::timeline {

class Movie;

// The paint a drawing API fill stands for, as a shape record would hold it
// (stops, focal point), its placement in twips.
raster::Paint PaintOf(const avm1::DrawFill& fill);

class ScriptHost : public avm1::Host {
  public:
    static constexpr avm1::ClipId kRoot = 1;
    // The holder of the levels above the main timeline (_level1...): a
    // place for their handles, itself no clip.
    static constexpr avm1::ClipId kLevels = 0xFFFFFFFFu;

    explicit ScriptHost(Movie& movie) : movie_(movie) {}

    // ---- For the movie ----
    // A new handle for the object at `depth` in the clip `parent`.
    avm1::ClipId Register(avm1::ClipId parent, int depth);
    // The clip left the display list; until Forget, its unload handlers
    // still see its name and parent.
    void Unregister(avm1::ClipId clip, const std::string& name);
    void Forget(avm1::ClipId clip) { gone_.erase(clip); }
    // The object changed depth (swapDepths).
    void Moved(avm1::ClipId clip, int depth);
    void Reset();
    // Where a handle leads: the object and the list holding it (null for the
    // main timeline, which has no object), and the sprite instance it plays.
    struct Place {
        SpriteInstance* owner = nullptr;
        DisplayObject* obj = nullptr;
        SpriteInstance* inst = nullptr;
        int depth = 0;
    };
    bool Find(avm1::ClipId clip, Place& out);
    SpriteInstance* Instance(avm1::ClipId clip);
    // The clip's space to the stage's (twips); identity for the main timeline.
    raster::Matrix WorldMatrix(avm1::ClipId clip);

    // ---- avm1::Host ----
    void Trace(const std::string& line) override;
    void Warning(const std::string& message) override;
    void GetUrl(const std::string& url, const std::string& target, int method) override;
    double TimeMs() override;
    void StageSize(double& width, double& height) override;
    bool LocalWithNetwork() override;
    void SendRequest(const std::string& url, const std::string& method, const std::string& mimeType,
                     const std::vector<uint8_t>& body) override;
    void ConnectSocket(const std::string& host, int port) override;
    avm1::ClipId Root() override { return kRoot; }
    avm1::ClipId Level(int level) override;
    avm1::ClipId Parent(avm1::ClipId clip) override;
    avm1::ClipId Child(avm1::ClipId clip, const std::string& name, bool caseSensitive) override;
    void ChildNames(avm1::ClipId clip, std::vector<std::string>& out) override;
    double GetProperty(avm1::ClipId clip, avm1::ClipProp prop) override;
    std::string GetPropertyText(avm1::ClipId clip, avm1::ClipProp prop) override;
    void SetProperty(avm1::ClipId clip, avm1::ClipProp prop, double number,
                     const std::string& text) override;
    void GotoFrame(avm1::ClipId clip, int frame, bool play) override;
    bool GotoLabel(avm1::ClipId clip, const std::string& label, bool play) override;
    void Play(avm1::ClipId clip) override;
    void Stop(avm1::ClipId clip) override;
    avm1::ClipId Duplicate(avm1::ClipId clip, const std::string& name, int depth) override;
    void Remove(avm1::ClipId clip) override;
    avm1::ClipId CreateEmpty(avm1::ClipId parent, const std::string& name, int depth) override;
    avm1::ClipId Attach(avm1::ClipId parent, const std::string& linkage, const std::string& name,
                        int depth) override;
    int Depth(avm1::ClipId clip) override;
    int NextHighestDepth(avm1::ClipId clip) override;
    avm1::ClipId InstanceAtDepth(avm1::ClipId clip, int depth) override;
    void StartDrag(avm1::ClipId clip, bool lockCenter, bool constrain, double l, double t, double r,
                   double b) override;
    void StopDrag() override;
    void CallFrame(avm1::ClipId clip, const std::string& frame) override;
    avm1::ClipKind KindOf(avm1::ClipId clip) override;
    text::TextField* TextFieldModel(avm1::ClipId clip) override;
    avm1::ClipId CreateTextField(avm1::ClipId parent, const std::string& name, int depth, double x,
                                 double y, double w, double h) override;
    const text::FontSource* Fonts() override;
    std::vector<std::u16string> StaticTextLines(avm1::ClipId clip) override;
    void ConvertPoint(avm1::ClipId clip, double& x, double& y, bool toGlobal) override;
    bool Bounds(avm1::ClipId clip, avm1::ClipId space, double& xMin, double& yMin, double& xMax,
                double& yMax) override;
    bool HitTestPoint(avm1::ClipId clip, double x, double y, bool shape) override;
    bool HitTestClip(avm1::ClipId clip, avm1::ClipId other) override;
    void SwapDepths(avm1::ClipId clip, int depth) override;
    void SwapWith(avm1::ClipId clip, avm1::ClipId other) override;
    void DrawClear(avm1::ClipId clip) override;
    void DrawPath(avm1::ClipId clip, int kind, double cx, double cy, double x, double y) override;
    void DrawFillStyle(avm1::ClipId clip, const avm1::DrawFill* fill) override;
    void DrawLineStyle(avm1::ClipId clip, const avm1::DrawLine* line) override;
    void DrawLineFill(avm1::ClipId clip, const avm1::DrawFill& fill) override;
    bool ReadResource(const std::string& url, std::vector<uint8_t>& out,
                      std::string& error) override;
    double BytesTotal(avm1::ClipId clip) override;
    int SwfVersion(avm1::ClipId clip) override;
    bool LoadMovieInto(avm1::ClipId clip, int level, std::vector<uint8_t> bytes,
                       const std::string& url) override;
    void UnloadMovie(avm1::ClipId clip, int level) override;
    bool KeyIsDown(int code) override;
    int LastKeyCode() override;
    int LastKeyAscii() override;
    avm1::ClipId Focus() override;
    bool SetFocus(avm1::ClipId clip) override;
    bool TextSelection(int& begin, int& end, int& caret) override;
    void SetTextSelection(int begin, int end) override;
    bool ClipMatrix(avm1::ClipId clip, double matrix[6]) override;
    void SetClipMatrix(avm1::ClipId clip, const double matrix[6]) override;
    bool ClipColor(avm1::ClipId clip, double color[8]) override;
    void SetClipColor(avm1::ClipId clip, const double color[8]) override;
    void SetMask(avm1::ClipId clip, avm1::ClipId mask) override;
    // A mask set by setMask for the renderer: its object and its parent's
    // matrix relative to the main timeline (twips); false when gone.
    bool MaskPlace(avm1::ClipId mask, const DisplayObject*& obj, raster::Matrix& parent);
    bool AttachBitmap(avm1::ClipId clip, std::shared_ptr<const raster::BitmapData> pixels,
                      int depth, bool smoothing) override;
    bool RenderClip(avm1::ClipId clip, const double matrix[6], int width, int height,
                    std::vector<uint32_t>& out) override;

  private:
    struct Ref {
        avm1::ClipId parent = 0;
        int depth = 0;
    };
    bool FindAt(avm1::ClipId clip, Place& out, int hops);
    // The clip's drawing, made on first use; null for what is no clip.
    Drawing* DrawingOf(avm1::ClipId clip);
    ScriptTransform& Transform(DisplayObject& obj);
    void Recompose(DisplayObject& obj);
    // Bounds of what the clip draws in its own twips; false when empty.
    bool LocalBounds(const Place& place, swf::Rect& out);
    // The same in the stage's twips.
    bool StageBounds(avm1::ClipId clip, swf::Rect& out);

    Movie& movie_;
    std::unordered_map<avm1::ClipId, Ref> refs_;
    struct Gone {
        avm1::ClipId parent = 0;
        std::string name;
    };
    std::unordered_map<avm1::ClipId, Gone> gone_;
    avm1::ClipId next_ = kRoot + 1;
};

} // namespace zembra::timeline
