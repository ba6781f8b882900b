// Runs the bytecode of DoAction tags and button actions against a host that
// moves timelines and reports commands. This minimal runner knows frame
// control, URL commands, constants, pushes and trace; a full script engine
// can replace it behind the same interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zembra::timeline {

struct SpriteInstance;

class ActionHost {
  public:
    virtual ~ActionHost() = default;
    virtual void Play(SpriteInstance& target) = 0;
    virtual void Stop(SpriteInstance& target) = 0;
    // Frame index (0-based); out of range is clamped by the host.
    virtual void GotoFrame(SpriteInstance& target, int frame, bool play) = 0;
    // False when the label is unknown.
    virtual bool GotoLabel(SpriteInstance& target, const std::string& label, bool play) = 0;
    virtual void GetUrl(const std::string& url, const std::string& window) = 0;
    virtual void Trace(const std::string& line) = 0;
    // The sprite a target path names from `from` ("/a/b", "a.b", "_root",
    // "_parent", "..") or null.
    virtual SpriteInstance* Resolve(SpriteInstance& from, const std::string& path) = 0;
};

class ActionRunner {
  public:
    virtual ~ActionRunner() = default;
    // Runs one block of actions on `target` (the timeline that holds them).
    virtual void Run(const uint8_t* code, size_t size, SpriteInstance& target, int version,
                     ActionHost& host) = 0;
};

class MinimalActionRunner : public ActionRunner {
  public:
    void Run(const uint8_t* code, size_t size, SpriteInstance& target, int version,
             ActionHost& host) override;
};

// Numbers as trace prints them: integers without a fraction, others with
// up to 15 significant digits; NaN and the infinities by name.
std::string NumberToString(double v);

} // namespace zembra::timeline
