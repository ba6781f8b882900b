// The movie in time: the dictionary, the timelines, the display lists of
// the main timeline and its sprites, frame advance, gotos (rewinds rebuild
// the display list), and the scripts that frames, clips and buttons run,
// through the script engine.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "avm1/uRuntime.h"
#include "chars/uCharacters.h"
#include "swf/uSwfFile.h"
#include "text/uDictionaryFonts.h"
#include "timeline/uDisplayList.h"
#include "timeline/uScriptHost.h"
#include "timeline/uTimelineDef.h"

namespace zembra::timeline {

// Limits that keep hostile movies bounded in memory and time.
constexpr int kMaxNesting = 32;
constexpr size_t kMaxDisplayObjects = 100000;
constexpr int kMaxGotosPerFrame = 256;
// Control tags handled in one frame (placements, rewinds replaying the
// timeline): past this, further sprites wait for the next frame and gotos
// are ignored, so no movie holds a frame for long.
constexpr size_t kMaxTagWorkPerFrame = size_t(1) << 21;
// Script jobs run in one frame (a goto's target frame may queue more).
constexpr size_t kMaxJobsPerFrame = 1u << 16;
// Depths scripts give are counted from here in the display list; the
// timeline's own depths lie below.
constexpr int kScriptDepthBase = 16384;
// Script depths go up to just below this one.
constexpr int kMaxScriptDepth = 2130690045;

// How long scripts may run.
struct ScriptBudget {
    double secondsPerEntry = 15; // one frame script, handler or call
    int maxCallDepth = 256;
};

class Movie {
  public:
    Movie();
    ~Movie();
    Movie(const Movie&) = delete;
    Movie& operator=(const Movie&) = delete;

    bool Open(std::vector<uint8_t> bytes, std::string& error);
    const swf::Header& Header() const { return file_.GetHeader(); }
    bool Truncated() const { return file_.Truncated(); }

    void SetLoop(bool loop) { loop_ = loop; }
    // The host's limit; the movie's ScriptLimits tag may lower the time
    // and set the depth.
    void SetScriptBudget(const ScriptBudget& budget);
    // _root variables set before the first frame ("a=1&b=x%20y").
    void SetFlashVars(const std::string& vars) { flashVars_ = vars; }

    std::function<void(const std::string&, const std::string&)> onFSCommand;
    std::function<void(const std::string&)> onTrace;

    // Runs the next frame (the first call shows frame 1).
    void Advance();
    uint64_t FramesRun() const { return framesRun_; }

    raster::Rgba Background() const { return background_; }
    const SpriteInstance& Root() const { return root_; }
    SpriteInstance& Root() { return root_; }
    // The main timeline's own transform, colour and visibility, which
    // scripts may change.
    DisplayObject& RootProps() { return rootProps_; }
    chars::Dictionary& Dictionary() { return dict_; }

    // Pointer handling for buttons and clip events: `stagePoint` in twips
    // on the stage.
    void PointerMove(raster::Point stagePoint);
    void PointerButton(bool down);
    // A key went down or up (key code as the Key object names them).
    void KeyEvent(int keyCode, bool down);

    // Runs a block of actions on a timeline now (buttons, and tests).
    void RunActions(const uint8_t* code, size_t size, SpriteInstance& target);

    // ---- For the script host ----
    avm1::Runtime* Scripts() { return rt_.get(); }
    double TimeMs() const { return timeMs_; }
    raster::Point Pointer() const { return pointer_; }
    void EmitTrace(const std::string& line);
    void EmitUrl(const std::string& url, const std::string& target);
    // Frame index 0-based; clamps into the timeline.
    void GotoFrame(SpriteInstance& target, int frame, bool play);
    bool GotoLabel(SpriteInstance& target, const std::string& label, bool play);
    // Runs a frame's actions now without moving the playhead.
    void CallFrame(SpriteInstance& target, int frame);
    avm1::ClipId DuplicateClip(avm1::ClipId clip, const std::string& name, int depth);
    ScriptHost& Host() { return *host_; }
    avm1::ClipId CreateEmptyClip(avm1::ClipId parent, const std::string& name, int depth);
    bool AttachBitmap(avm1::ClipId parent, std::shared_ptr<const raster::BitmapData> pixels,
                      int depth, bool smoothing);
    // An empty text field at (x, y) of the parent, w by h pixels.
    avm1::ClipId CreateTextField(avm1::ClipId parent, const std::string& name, int depth, double x,
                                 double y, double w, double h);
    const text::FontSource* Fonts() const { return &fonts_; }
    avm1::ClipId AttachClip(avm1::ClipId parent, const std::string& linkage,
                            const std::string& name, int depth);
    void RemoveClip(avm1::ClipId clip);
    // The sprite id exported under a linkage name, or 0.
    uint16_t ExportedId(const std::string& linkage) const;
    void StartDrag(avm1::ClipId clip, bool lockCenter, const swf::Rect* constraint);
    void StopDrag() { dragClip_ = 0; }
    // Exchanges what is at two depths of a list (either may be empty).
    void SwapDepths(SpriteInstance& s, int from, int to);
    avm1::ClipId DropTarget() const { return dropTarget_; }

  private:
    struct Job {
        enum class Kind { Code, Method, Adopt, Construct, Forget };
        Kind kind = Kind::Code;
        avm1::ClipId clip = 0;
        const uint8_t* code = nullptr;
        size_t size = 0;
        std::string name; // method, or the linkage of a constructor
        bool evenIfGone = false;
    };

    const TimelineDef* SpriteTimeline(uint16_t id);
    void AdvanceInstance(SpriteInstance& s);
    // Applies frame `index`'s tags to the live display list.
    void ApplyFrame(SpriteInstance& s, int index, bool queueActions);
    void QueueFrameActions(SpriteInstance& s, int index);
    void Place(SpriteInstance& s, const Placement& p, int frame);
    static void ApplyProps(DisplayObject& obj, const Placement& p);
    void UpdateButtons(DisplayObject* hover);
    void Remove(SpriteInstance& s, int depth);
    // Gives the object its character, sprite instance and script handle and
    // queues its construction events and first frame.
    void InitObject(SpriteInstance& parent, int depth, DisplayObject& obj);
    // The object leaves the display list: unload events, handles dropped.
    void Destroy(DisplayObject& obj);
    void Seek(SpriteInstance& s, int frame);
    void RunQueue();
    void QueueClipEvent(std::deque<Job>& queue, avm1::ClipId clip, const DisplayObject* obj,
                        uint32_t mask, const char* method, uint8_t key = 0,
                        bool evenIfGone = false);
    void CollectClips(SpriteInstance& s, std::vector<avm1::ClipId>& out, int nesting);
    void BroadcastClipEvent(uint32_t mask, const char* method, uint8_t key = 0);
    void BroadcastClipEvent(std::vector<avm1::ClipId> clips, uint32_t mask, const char* method,
                            uint8_t key = 0);
    void CountObjects(const SpriteInstance& s, size_t& n) const;
    bool ButtonHit(const DisplayObject& obj, const raster::Matrix& m, raster::Point p);
    DisplayObject* FindButton(SpriteInstance& s, const raster::Matrix& m, raster::Point p,
                              SpriteInstance** owner);
    void ResetButtons(SpriteInstance& s);
    // The topmost clip under the pointer that acts as a button (has
    // onPress, onRelease... handlers), or 0.
    avm1::ClipId FindClipButton();
    // Sprite clips from the top of the stacking order down, parents first.
    void CollectTopDown(SpriteInstance& s, std::vector<avm1::ClipId>& out, int nesting);
    // Makes an object at a script depth of a clip, replacing what is there.
    DisplayObject* NewScriptObject(avm1::ClipId parent, int depth, SpriteInstance** owner);
    void StartScripts();
    void ApplyFlashVars();
    std::string LinkageOf(uint16_t characterId) const;
    void FollowDrag();
    // The handles of the text fields bound to variables.
    void CollectBoundFields(const SpriteInstance& s, int nesting,
                            std::vector<avm1::ClipId>& out) const;

    swf::File file_;
    chars::Dictionary dict_;
    text::DictionaryFonts fonts_{&dict_};
    std::vector<avm1::ClipId> pendingBinds_; // placed fields to bind to their variables
    TimelineDef rootDef_;
    TimelineDef emptyDef_;          // createEmptyMovieClip's one empty frame
    chars::SpriteChar emptySprite_; // its character
    std::map<uint16_t, std::unique_ptr<TimelineDef>> spriteDefs_;
    SpriteInstance root_;
    DisplayObject rootProps_;
    std::unique_ptr<ScriptHost> host_;
    std::unique_ptr<avm1::Runtime> rt_;
    // Jobs run in three turns: initialize and unload handlers first, then
    // construction, then frame actions, load handlers and the rest.
    std::deque<Job> early_;
    std::deque<Job> constructing_;
    std::deque<Job> jobs_;
    std::map<std::string, int> exportFrames_; // lower-cased linkage -> root frame of its tag
    int rootFramesReached_ = -1;
    std::map<std::string, uint16_t> exports_; // lower-cased linkage name -> character id
    std::set<uint16_t> initDone_;             // sprites whose init actions ran
    ScriptBudget budget_;
    std::string flashVars_;
    raster::Rgba background_{255, 255, 255, 255};
    bool loop_ = true;
    bool opened_ = false;
    uint64_t framesRun_ = 0;
    uint64_t tick_ = 0;
    uint64_t instanceCount_ = 0; // for the names of unnamed instances
    double timeMs_ = 0;
    size_t objectCount_ = 0;
    int gotoBudget_ = kMaxGotosPerFrame;
    size_t work_ = 0; // control tags handled this frame
    size_t jobsRun_ = 0;
    double frameDeadline_ = 0; // steady-clock seconds
    // A frame or an input event starts: fresh budgets.
    void StartTurn();
    bool pointerDown_ = false;
    bool pointerKnown_ = false; // no pointer position until the first move
    raster::Point pointer_;
    avm1::ClipId pressedButton_ = 0;
    avm1::ClipId pressedClip_ = 0; // a clip acting as a button, while pressed
    avm1::ClipId dragClip_ = 0;
    avm1::ClipId dropTarget_ = 0;
    raster::Point dragOffset_;
    bool dragConstrained_ = false;
    swf::Rect dragRect_;
};

} // namespace zembra::timeline
