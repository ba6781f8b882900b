// A minimal timeline around the script engine for the corpus runner and
// the tests: clips with frames, placements of sprites by name, goto, play
// and stop, clip events and a frame clock. Test-only.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "avm1/uRuntime.h"
#include "text/uDictionaryFonts.h"
#include "text/uTextField.h"
#include "tests/avm1/uSwfStandIn.h"

namespace zembra::avm1::standin {

class StandInPlayer : public Host {
  public:
    explicit StandInPlayer(const Movie& movie);
    ~StandInPlayer() override;

    // Runs one frame (the first call shows frame 1).
    void Advance();
    const std::vector<std::string>& lines() const { return lines_; }
    Runtime& runtime() { return *rt_; }

    // Host
    void Trace(const std::string& line) override;
    void Warning(const std::string& message) override { lines_.push_back("Warning: " + message); }
    double TimeMs() override { return time_; }
    ClipId Root() override { return 1; }
    ClipId Parent(ClipId clip) override;
    ClipId Child(ClipId clip, const std::string& name, bool caseSensitive) override;
    double GetProperty(ClipId clip, ClipProp prop) override;
    std::string GetPropertyText(ClipId clip, ClipProp prop) override;
    void SetProperty(ClipId clip, ClipProp prop, double number, const std::string& text) override;
    void GotoFrame(ClipId clip, int frame, bool play) override;
    bool GotoLabel(ClipId clip, const std::string& label, bool play) override;
    void Play(ClipId clip) override;
    void Stop(ClipId clip) override;
    ClipId Duplicate(ClipId clip, const std::string& name, int depth) override;
    void Remove(ClipId clip) override;
    ClipId CreateEmpty(ClipId parent, const std::string& name, int depth) override;
    ClipId Attach(ClipId parent, const std::string& linkage, const std::string& name,
                  int depth) override;
    int Depth(ClipId clip) override;
    int NextHighestDepth(ClipId clip) override;
    void CallFrame(ClipId clip, const std::string& frame) override;
    text::TextField* TextFieldModel(ClipId clip) override;
    ClipId CreateTextField(ClipId parent, const std::string& name, int depth, double x, double y,
                           double w, double h) override;
    const text::FontSource* Fonts() override { return &fonts_; }

  private:
    struct Clip {
        ClipId id = 0;
        ClipId parent = 0;
        const Timeline* def = nullptr;
        int frame = 0;
        bool playing = true;
        std::string name;
        int depth = 0;
        std::map<int, ClipId> children; // by depth
        std::vector<ClipAction> events;
        double props[static_cast<int>(ClipProp::Count)] = {};
        bool scripted = false;                  // made by a script: not removed by the timeline
        std::shared_ptr<text::TextField> field; // text fields only
    };
    struct Job {
        ClipId clip;
        Bytes code;
        std::string method;
    };

    Clip* Get(ClipId id);
    // A field for an edit text definition placed by a frame.
    void InitField(Clip& c, const chars::EditTextChar& def);
    ClipId NewClip(ClipId parent, const Timeline* def, const std::string& name, int depth);
    void RemoveClip(ClipId id);
    int FrameCount(const Clip& c) const;
    // Shows `frame` of the clip: placements, then (when `run`) its actions.
    void EnterFrame(ClipId id, int frame, bool run);
    void Seek(ClipId id, int frame);
    void QueueEvent(ClipId id, uint32_t mask, const char* method);
    void RunQueue();
    void Walk(ClipId id, std::vector<ClipId>& out);

    const Movie& movie_;
    text::DictionaryFonts fonts_;
    std::unique_ptr<Runtime> rt_;
    std::map<ClipId, Clip> clips_;
    std::deque<Job> queue_;
    std::vector<std::string> lines_;
    std::map<int, bool> initDone_;
    ClipId nextId_ = 2;
    double time_ = 0;
    bool started_ = false;
};

} // namespace zembra::avm1::standin
