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
#include "text/uTextEditing.h"
#include "timeline/uDisplayList.h"
#include "timeline/uLoadedMovie.h"
#include "timeline/uResourceLoader.h"
#include "timeline/uScriptHost.h"
#include "timeline/uTabOrder.h"
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
    // Where files the movie's scripts load come from; none: every load fails.
    void SetResourceLoader(std::shared_ptr<ResourceLoader> loader) { loader_ = std::move(loader); }
    bool ReadResource(const std::string& url, std::vector<uint8_t>& out, std::string& error);
    // A movie or picture file replaces what the clip plays; false when it
    // cannot (not a movie or picture, no such clip, limits reached).
    bool LoadInto(avm1::ClipId clip, std::vector<uint8_t> bytes, const std::string& url);
    // The clip plays nothing any more.
    void Unload(avm1::ClipId clip);
    // _levelN (N > 0) plays the movie or picture; false when it cannot (the
    // main timeline is not replaced).
    bool LoadLevel(int level, std::vector<uint8_t> bytes, const std::string& url);
    void UnloadLevel(int level);
    // The levels above the main timeline, by number, drawn over it.
    SpriteInstance& Levels() { return levels_; }
    // The size of the file the clip's timeline came from (0 for clips of
    // the main movie other than the main timeline).
    double FileBytes(avm1::ClipId clip);
    // The loaded movie whose main timeline the clip is, or null.
    const LoadedMovie* LoadedTop(avm1::ClipId clip);

    std::function<void(const std::string&, const std::string&)> onFSCommand;
    std::function<void(const std::string&)> onTrace;
    // Requests scripts make (url, method, mime type, body); never sent.
    std::function<void(const std::string&, const std::string&, const std::string&,
                       const std::vector<uint8_t>&)>
        onRequest;
    // Socket connections scripts ask for (host, port); never opened.
    std::function<void(const std::string&, int)> onSocket;

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
    // A button other than the main one went down or up (1 right, 2 middle).
    void PointerOtherButton(int button);
    // A key went down or up (key code as the Key object names them;
    // charCode: the character it types, 0 for none).
    void KeyEvent(int keyCode, bool down, uint32_t charCode = 0);
    // A character typed (after its key went down), and editing commands
    // ("Enter", "Backspace", "Delete", "MoveLeft", "SelectAll", "Copy",
    // "Paste"...) for the focused text field.
    void TextInput(uint32_t codepoint);
    void TextControl(const std::string& name);
    // The movie's own clipboard (never the system's).
    void SetClipboard(const std::u16string& text) { clipboard_ = text; }
    const std::u16string& Clipboard() const { return clipboard_; }

    // Runs a block of actions on a timeline now (buttons, and tests).
    void RunActions(const uint8_t* code, size_t size, SpriteInstance& target);

    // ---- For the script host ----
    avm1::Runtime* Scripts() { return rt_.get(); }
    // The file attributes asked for network access rather than local files.
    bool UsesNetwork() const { return useNetwork_; }
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
    // Keys and focus (uMovieInput.cpp).
    bool KeyIsDown(int code) const;
    int LastKeyCode() const { return lastKeyCode_; }
    int LastKeyAscii() const { return lastKeyAscii_; }
    // The focused object, 0 when none (or when it can no longer have it).
    avm1::ClipId Focus();
    // From scripts: false when the object cannot take the focus.
    bool SetFocus(avm1::ClipId clip);
    // The clip goes away or hides: the focus, when on it or inside it,
    // goes to nothing (with the focus events). True when it did.
    bool DropFocusInside(avm1::ClipId clip);
    bool TextSelection(int& begin, int& end, int& caret);
    // The yellow rectangle around what has the focus, shown after keys
    // until the pointer moves: its bounds in stage twips, false when none.
    bool FocusHighlight(swf::Rect& stageTwips);
    void SetTextSelection(int begin, int end);

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
    // Steps every clip of `clips` still there by one frame, newest first.
    void AdvanceAll(std::vector<avm1::ClipId> clips);
    // Moves one clip's playhead to its next frame (or back to the first).
    void StepFrame(SpriteInstance& s);
    const TimelineDef* SpriteTimeline(uint16_t id, LoadedMovie* loaded);
    // The characters and file version a timeline plays by.
    chars::Dictionary& DictOf(const SpriteInstance& s);
    int VersionOf(const SpriteInstance& s) const;
    // Applies frame `index`'s tags to the live display list.
    void ApplyFrame(SpriteInstance& s, int index, bool queueActions);
    void QueueFrameActions(SpriteInstance& s, int index);
    void Place(SpriteInstance& s, const Placement& p, int frame);
    static void ApplyProps(DisplayObject& obj, const Placement& p);
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
    // Makes an object at a script depth of a clip, replacing what is there.
    DisplayObject* NewScriptObject(avm1::ClipId parent, int depth, SpriteInstance** owner);
    void StartScripts();
    void ApplyFlashVars();
    std::string LinkageOf(uint16_t characterId, const LoadedMovie* loaded = nullptr) const;
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
    std::shared_ptr<ResourceLoader> loader_;
    // Movies and pictures loaded into clips, kept while the movie plays.
    std::vector<std::unique_ptr<LoadedMovie>> loaded_;
    SpriteInstance levels_;
    size_t loadedBytes_ = 0;
    raster::Rgba background_{255, 255, 255, 255};
    bool loop_ = true;
    bool opened_ = false;
    bool useNetwork_ = false;
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

    // ---- Keys and focus (uMovieInput.cpp) ----
    // A script property of a clip read without running any script: -1
    // unset (or an accessor), else its truth.
    int ScriptFlag(avm1::ClipId clip, const char* name);
    bool ScriptNumber(avm1::ClipId clip, const char* name, double& out);
    // Has handlers that make a clip act as a button.
    bool ActsAsButton(avm1::ClipId clip);
    bool Focusable(avm1::ClipId clip);
    // Moves the focus (events to both objects and the Selection listeners).
    // byTab: the Tab key moved it (roll events run first, and the focus
    // stays while the object exists).
    void ChangeFocus(avm1::ClipId clip, bool byTab = false);
    // A button, or a clip with button handlers.
    bool IsButtonLike(avm1::ClipId clip);
    void CollectTabStops(SpriteInstance& s, std::vector<TabStop>& out, int nesting);
    void MoveFocusByTab(bool backward);
    // Space on a focused button or button-like clip presses and releases it.
    void PressFocused(bool down);
    // Queues the actions of every button whose keyPress condition names
    // the key; true when there was one.
    bool RunKeyPressButtons(SpriteInstance& s, int buttonKey, int nesting);
    text::TextField* FocusedInputField();
    void FieldChanged();
    // A click: a selectable text field under the pointer takes the focus,
    // anything else takes it away.
    void FocusByPointer(avm1::ClipId textUnderPointer);
    // The text field on top of everything under the pointer, or 0.
    avm1::ClipId TextFieldUnderPointer();
    // ---- Pointer (uMovieInput.cpp) ----
    // The topmost enabled button, or clip with button handlers, under the
    // pointer; 0 when none.
    avm1::ClipId MouseTarget();
    bool FindMouseTarget(SpriteInstance& s, const raster::Matrix& world, avm1::ClipId& out,
                         int nesting);
    // The pointer moved or what lies under it changed: roll over and out,
    // drag over and out, and the buttons' pictures.
    void RefreshMouseTarget();
    // Queues a button's actions for a state change and its handler.
    void ButtonEvent(avm1::ClipId target, uint16_t condition, const char* method);
    void SetButtonStates(SpriteInstance& s, int nesting);
    // The innermost clip drawing something under the pointer, leaving out
    // `excluded` and what it holds; 0 for none or the main timeline.
    avm1::ClipId ClipUnderPointer(avm1::ClipId excluded);
    avm1::ClipId InnermostClipAt(SpriteInstance& s, const raster::Matrix& world,
                                 avm1::ClipId excluded, int nesting);
    avm1::ClipId hoverTarget_ = 0;
    // 1: the topmost object under the point in `s` is a text field (its
    // handle in `out`), 0: something else is, -1: nothing is.
    int TopmostText(SpriteInstance& s, const raster::Matrix& world, avm1::ClipId& out,
                    int nesting);
    bool keysDown_[256] = {};
    int lastKeyCode_ = 0;
    int lastKeyAscii_ = 0;
    avm1::ClipId focus_ = 0;
    bool focusByTab_ = false;
    bool highlight_ = false; // keys show the focus rectangle, the pointer hides it
    // Whether the focused object gets the rectangle, as _focusrect said
    // when it took the focus.
    bool focusRectOn_ = false;
    text::EditState editState_;
    bool swallowText_ = false; // the key went to a button or focus: its text is not typed
    bool spacePressed_ = false;
    std::u16string clipboard_;
};

} // namespace zembra::timeline
