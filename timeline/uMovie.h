// The movie in time: the dictionary, the timelines, the display lists of
// the main timeline and its sprites, frame advance, gotos (rewinds rebuild
// the display list), and the actions that frames and buttons run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chars/uCharacters.h"
#include "swf/uSwfFile.h"
#include "timeline/uActionRunner.h"
#include "timeline/uDisplayList.h"
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

class Movie : private ActionHost {
  public:
    Movie();
    ~Movie() override;

    bool Open(std::vector<uint8_t> bytes, std::string& error);
    const swf::Header& Header() const { return file_.GetHeader(); }
    bool Truncated() const { return file_.Truncated(); }

    void SetLoop(bool loop) { loop_ = loop; }
    void SetActionRunner(std::unique_ptr<ActionRunner> runner);

    std::function<void(const std::string&, const std::string&)> onFSCommand;
    std::function<void(const std::string&)> onTrace;

    // Runs the next frame (the first call shows frame 1).
    void Advance();
    uint64_t FramesRun() const { return framesRun_; }

    raster::Rgba Background() const { return background_; }
    const SpriteInstance& Root() const { return root_; }
    SpriteInstance& Root() { return root_; }
    chars::Dictionary& Dictionary() { return dict_; }

    // Pointer handling for buttons: `stagePoint` in twips on the stage.
    void PointerMove(raster::Point stagePoint);
    void PointerButton(bool down);

    // Runs a block of actions on a timeline (used by buttons, and by tests).
    void RunActions(const uint8_t* code, size_t size, SpriteInstance& target);

  private:
    // ActionHost
    void Play(SpriteInstance& target) override { target.playing = true; }
    void Stop(SpriteInstance& target) override { target.playing = false; }
    void GotoFrame(SpriteInstance& target, int frame, bool play) override;
    bool GotoLabel(SpriteInstance& target, const std::string& label, bool play) override;
    void GetUrl(const std::string& url, const std::string& window) override;
    void Trace(const std::string& line) override;
    SpriteInstance* Resolve(SpriteInstance& from, const std::string& path) override;

    struct PendingActions {
        SpriteInstance* target;
        const uint8_t* code;
        size_t size;
    };

    const TimelineDef* SpriteTimeline(uint16_t id);
    void AdvanceInstance(SpriteInstance& s);
    // Applies frame `index`'s tags to the live display list.
    void ApplyFrame(SpriteInstance& s, int index, bool queueActions);
    void Place(SpriteInstance& s, const Placement& p);
    static void ApplyProps(DisplayObject& obj, const Placement& p);
    bool IsAlive(const SpriteInstance* s) const;
    bool IsAliveIn(const SpriteInstance& in, const SpriteInstance* s) const;
    void UpdateButtons(DisplayObject* hover);
    void Remove(SpriteInstance& s, int depth);
    void InitObject(SpriteInstance& parent, DisplayObject& obj);
    void Seek(SpriteInstance& s, int frame);
    void RunPending();
    void CountObjects(const SpriteInstance& s, size_t& n) const;
    bool ButtonHit(const DisplayObject& obj, const raster::Matrix& m, raster::Point p);
    DisplayObject* FindButton(SpriteInstance& s, const raster::Matrix& m, raster::Point p,
                              SpriteInstance** owner);
    void ResetButtons(SpriteInstance& s);

    swf::File file_;
    chars::Dictionary dict_;
    TimelineDef rootDef_;
    std::map<uint16_t, std::unique_ptr<TimelineDef>> spriteDefs_;
    SpriteInstance root_;
    std::unique_ptr<ActionRunner> runner_;
    std::vector<PendingActions> pending_;
    raster::Rgba background_{255, 255, 255, 255};
    bool loop_ = true;
    bool opened_ = false;
    uint64_t framesRun_ = 0;
    uint64_t tick_ = 0;
    size_t objectCount_ = 0;
    int gotoBudget_ = kMaxGotosPerFrame;
    size_t work_ = 0; // control tags handled this frame
    bool pointerDown_ = false;
    bool pointerKnown_ = false; // no pointer position until the first move
    raster::Point pointer_;
};

} // namespace zembra::timeline
