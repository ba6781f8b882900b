// Test doubles for the script engine: a host with a small clip tree that
// records what scripts ask of it, and an assembler for action records.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "avm1/uRuntime.h"

namespace zembra::avm1::test {

class FakeHost : public Host {
  public:
    struct Clip {
        ClipId parent;
        std::string name;
        int frame = 1;
        int total = 5;
        bool playing = true;
        double props[static_cast<int>(ClipProp::Count)] = {};
    };
    FakeHost() { clips[1] = Clip{0, "", 1, 5, true, {}}; }
    ClipId AddClip(ClipId parent, const std::string& name) {
        ClipId id = next++;
        clips[id] = Clip{parent, name, 1, 5, true, {}};
        return id;
    }

    std::vector<std::string> traces;
    std::vector<std::string> urls;
    std::map<ClipId, Clip> clips;
    ClipId next = 2;
    double now = 0;

    void Trace(const std::string& line) override { traces.push_back(line); }
    void GetUrl(const std::string& url, const std::string& target, int) override {
        urls.push_back(url + "|" + target);
    }
    double TimeMs() override { return now; }
    ClipId Root() override { return 1; }
    ClipId Parent(ClipId c) override { return clips.count(c) ? clips[c].parent : 0; }
    ClipId Child(ClipId c, const std::string& name, bool cs) override {
        for (auto& k : clips)
            if (k.second.parent == c && NamesEqual(k.second.name, name, cs))
                return k.first;
        return 0;
    }
    double GetProperty(ClipId c, ClipProp p) override {
        if (!clips.count(c))
            return 0;
        if (p == ClipProp::CurrentFrame)
            return clips[c].frame;
        if (p == ClipProp::TotalFrames)
            return clips[c].total;
        return clips[c].props[static_cast<int>(p)];
    }
    std::string GetPropertyText(ClipId c, ClipProp p) override {
        return p == ClipProp::Name && clips.count(c) ? clips[c].name : std::string();
    }
    void SetProperty(ClipId c, ClipProp p, double n, const std::string& t) override {
        if (!clips.count(c))
            return;
        if (p == ClipProp::Name)
            clips[c].name = t;
        else
            clips[c].props[static_cast<int>(p)] = n;
    }
    void GotoFrame(ClipId c, int f, bool play) override {
        clips[c].frame = f < 1 ? 1 : (f > clips[c].total ? clips[c].total : f);
        clips[c].playing = play;
    }
    bool GotoLabel(ClipId c, const std::string& label, bool play) override {
        if (label != "end")
            return false;
        GotoFrame(c, clips[c].total, play);
        return true;
    }
    void Play(ClipId c) override { clips[c].playing = true; }
    void Stop(ClipId c) override { clips[c].playing = false; }
};

// Builds action records; jumps take labels resolved by Finish().
class Asm {
  public:
    Asm& Op(uint8_t code) {
        out.push_back(code);
        return *this;
    }
    Asm& Record(uint8_t code, const std::vector<uint8_t>& payload) {
        out.push_back(code);
        out.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
        out.push_back(static_cast<uint8_t>(payload.size() >> 8));
        out.insert(out.end(), payload.begin(), payload.end());
        return *this;
    }
    Asm& PushStr(const std::string& s) {
        std::vector<uint8_t> p{0};
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
        return Record(0x96, p);
    }
    Asm& PushNum(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        uint32_t hi = static_cast<uint32_t>(bits >> 32), lo = static_cast<uint32_t>(bits);
        std::vector<uint8_t> p{6};
        for (uint32_t w : {hi, lo})
            for (int i = 0; i < 4; ++i)
                p.push_back(static_cast<uint8_t>(w >> (8 * i)));
        return Record(0x96, p);
    }
    Asm& PushInt(int32_t v) {
        std::vector<uint8_t> p{7};
        for (int i = 0; i < 4; ++i)
            p.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        return Record(0x96, p);
    }
    Asm& PushUndef() { return Record(0x96, {3}); }
    Asm& PushNull() { return Record(0x96, {2}); }
    Asm& PushBool(bool b) { return Record(0x96, {5, static_cast<uint8_t>(b)}); }
    Asm& PushReg(uint8_t r) { return Record(0x96, {4, r}); }
    Asm& Trace() { return Op(0x26); }
    Asm& Get(const std::string& n) { return PushStr(n).Op(0x1C); }
    // Pushes name and value, then SetVariable.
    Asm& SetNum(const std::string& n, double v) { return PushStr(n).PushNum(v).Op(0x1D); }
    Asm& Label(const std::string& l) {
        labels[l] = out.size();
        return *this;
    }
    Asm& Jump(const std::string& l) { return Branch(0x99, l); }
    Asm& If(const std::string& l) { return Branch(0x9D, l); }
    Asm& StoreReg(uint8_t r) { return Record(0x87, {r}); }
    // CallFunction name with the arguments already pushed (last first).
    Asm& Call(const std::string& name, int nargs) { return PushInt(nargs).PushStr(name).Op(0x3D); }
    // DefineFunction2 header; the body follows until EndFunction().
    Asm& Function2(const std::string& name,
                   const std::vector<std::pair<uint8_t, std::string>>& params, uint8_t regs,
                   uint16_t flags) {
        std::vector<uint8_t> p(name.begin(), name.end());
        p.push_back(0);
        p.push_back(static_cast<uint8_t>(params.size()));
        p.push_back(0);
        p.push_back(regs);
        p.push_back(static_cast<uint8_t>(flags & 0xFF));
        p.push_back(static_cast<uint8_t>(flags >> 8));
        for (auto& pr : params) {
            p.push_back(pr.first);
            p.insert(p.end(), pr.second.begin(), pr.second.end());
            p.push_back(0);
        }
        p.push_back(0);
        p.push_back(0);
        Record(0x8E, p);
        fnSizeAt.push_back(out.size() - 2);
        return *this;
    }
    Asm& EndFunction() {
        size_t at = fnSizeAt.back();
        fnSizeAt.pop_back();
        size_t size = out.size() - (at + 2);
        out[at] = static_cast<uint8_t>(size & 0xFF);
        out[at + 1] = static_cast<uint8_t>(size >> 8);
        return *this;
    }
    Bytes Finish() {
        for (auto& f : fixups) {
            long off = static_cast<long>(labels.at(f.second)) - static_cast<long>(f.first + 2);
            out[f.first] = static_cast<uint8_t>(off & 0xFF);
            out[f.first + 1] = static_cast<uint8_t>((off >> 8) & 0xFF);
        }
        return std::make_shared<std::vector<uint8_t>>(out);
    }
    std::vector<uint8_t> out;

  private:
    Asm& Branch(uint8_t code, const std::string& l) {
        Record(code, {0, 0});
        fixups.emplace_back(out.size() - 2, l);
        return *this;
    }
    std::map<std::string, size_t> labels;
    std::vector<std::pair<size_t, std::string>> fixups;
    std::vector<size_t> fnSizeAt;
};

// A runtime on a fake host for one version.
struct Engine {
    explicit Engine(int version) : rt(host, version) {}
    FakeHost host;
    Runtime rt;
    bool Run(Asm& a) { return rt.RunActions(a.Finish(), 1); }
    Value Eval(const std::string& global) { return rt.GetMember(rt.ClipObject(1), global); }
};

} // namespace zembra::avm1::test
