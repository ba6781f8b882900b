#include "tests/avm1/uStandInPlayer.h"

#include <cmath>

#include "avm1/uBuiltinsTextField.h"
#include "text/uFieldFromTag.h"
#include "text/uUtf16.h"

namespace zembra::avm1::standin {

namespace {
constexpr uint32_t kEvLoad = 0x01;
constexpr uint32_t kEvEnterFrame = 0x02;
constexpr uint32_t kEvUnload = 0x04;
constexpr uint32_t kEvInitialize = 0x200;
constexpr uint32_t kEvConstruct = 0x40000;
} // namespace

StandInPlayer::StandInPlayer(const Movie& movie) : movie_(movie), fonts_(movie.dictionary.get()) {
    rt_ = std::make_unique<Runtime>(*this, movie.version);
    Clip root;
    root.id = 1;
    root.def = &movie.root;
    root.name = "";
    root.props[static_cast<int>(ClipProp::XScale)] = 100;
    root.props[static_cast<int>(ClipProp::YScale)] = 100;
    root.props[static_cast<int>(ClipProp::Alpha)] = 100;
    root.props[static_cast<int>(ClipProp::Visible)] = 1;
    clips_[1] = root;
}

StandInPlayer::~StandInPlayer() = default;

StandInPlayer::Clip* StandInPlayer::Get(ClipId id) {
    auto it = clips_.find(id);
    return it == clips_.end() ? nullptr : &it->second;
}

int StandInPlayer::FrameCount(const Clip& c) const {
    if (!c.def)
        return 1;
    int n = static_cast<int>(c.def->frames.size());
    if (c.id == 1 && movie_.frameCount > n)
        n = movie_.frameCount;
    return n < 1 ? 1 : n;
}

ClipId StandInPlayer::NewClip(ClipId parent, const Timeline* def, const std::string& name,
                              int depth) {
    Clip* p = Get(parent);
    if (!p)
        return 0;
    if (auto it = p->children.find(depth); it != p->children.end())
        RemoveClip(it->second);
    Clip c;
    c.id = nextId_++;
    c.parent = parent;
    c.def = def;
    c.name = name.empty() ? "instance" + std::to_string(c.id - 1) : name;
    c.depth = depth;
    c.props[static_cast<int>(ClipProp::XScale)] = 100;
    c.props[static_cast<int>(ClipProp::YScale)] = 100;
    c.props[static_cast<int>(ClipProp::Alpha)] = 100;
    c.props[static_cast<int>(ClipProp::Visible)] = 1;
    ClipId id = c.id;
    clips_[id] = c;
    Get(parent)->children[depth] = id;
    return id;
}

void StandInPlayer::RemoveClip(ClipId id) {
    Clip* c = Get(id);
    if (!c || id == 1)
        return;
    std::vector<ClipId> kids;
    for (auto& k : c->children)
        kids.push_back(k.second);
    for (ClipId k : kids)
        RemoveClip(k);
    c = Get(id);
    if (Clip* p = Get(c->parent)) {
        auto it = p->children.find(c->depth);
        if (it != p->children.end() && it->second == id)
            p->children.erase(it);
    }
    for (auto& e : c->events)
        if (e.events & kEvUnload)
            rt_->RunActions(e.code, id);
    rt_->CallClipMethod(id, "onUnload");
    rt_->ForgetClip(id);
    clips_.erase(id);
}

void StandInPlayer::QueueEvent(ClipId id, uint32_t mask, const char* method) {
    Clip* c = Get(id);
    if (!c)
        return;
    for (auto& e : c->events)
        if (e.events & mask)
            queue_.push_back(Job{id, e.code, std::string()});
    if (method)
        queue_.push_back(Job{id, nullptr, method});
}

void StandInPlayer::EnterFrame(ClipId id, int frame, bool run) {
    Clip* c = Get(id);
    if (!c)
        return;
    c->frame = frame;
    if (!c->def || frame < 1 || frame > static_cast<int>(c->def->frames.size()))
        return;
    const Frame& f = c->def->frames[static_cast<size_t>(frame - 1)];
    if (run) {
        for (auto& ia : f.initActions)
            if (!initDone_[ia.first]) {
                initDone_[ia.first] = true;
                queue_.push_back(Job{id, ia.second, std::string()});
            }
        for (auto& a : f.actions)
            queue_.push_back(Job{id, a, std::string()});
    }
    for (const Placement& pl : f.places) {
        c = Get(id);
        if (!c)
            return;
        if (pl.remove) {
            auto it = c->children.find(pl.depth);
            if (it != c->children.end())
                RemoveClip(it->second);
            continue;
        }
        if (pl.move) {
            continue;
        }
        if (auto it = c->children.find(pl.depth); it != c->children.end()) {
            if (Clip* existing = Get(it->second); existing && existing->scripted)
                continue;
        }
        int nesting = 0;
        for (ClipId a = id; a && nesting < 64; a = Parent(a))
            ++nesting;
        if (nesting >= 64)
            continue; // a sprite that contains itself
        auto sprite = movie_.sprites.find(pl.character);
        const Timeline* def = sprite == movie_.sprites.end() ? nullptr : &sprite->second;
        const chars::EditTextChar* edit = nullptr;
        if (!def && movie_.dictionary && pl.character >= 0)
            if (const chars::Character* ch =
                    movie_.dictionary->Get(static_cast<uint16_t>(pl.character));
                ch && ch->kind == chars::Kind::EditText)
                edit = static_cast<const chars::EditTextChar*>(ch);
        ClipId child = NewClip(id, def, pl.name, pl.depth);
        if (!child)
            continue;
        Get(child)->events = pl.actions;
        Get(child)->props[static_cast<int>(ClipProp::X)] = pl.x;
        Get(child)->props[static_cast<int>(ClipProp::Y)] = pl.y;
        if (edit) {
            InitField(*Get(child), *edit);
            BindTextFieldVariable(*rt_, child);
            if (!Get(child))
                continue;
        }
        if (run) {
            QueueEvent(child, kEvInitialize | kEvConstruct, nullptr);
        }
        EnterFrame(child, 1, run);
        if (run)
            QueueEvent(child, kEvLoad, nullptr);
    }
}

void StandInPlayer::Seek(ClipId id, int frame) {
    Clip* c = Get(id);
    if (!c)
        return;
    int count = FrameCount(*c);
    if (frame < 1)
        frame = 1;
    if (frame > count)
        frame = count;
    if (frame == c->frame)
        return;
    if (frame < c->frame) {
        // Rebuild the timeline's children from the start.
        std::vector<ClipId> kids;
        for (auto& k : c->children)
            if (!Get(k.second)->scripted)
                kids.push_back(k.second);
        for (ClipId k : kids)
            RemoveClip(k);
        for (int f = 1; f < frame; ++f)
            EnterFrame(id, f, false);
    } else {
        for (int f = c->frame + 1; f < frame; ++f)
            EnterFrame(id, f, false);
    }
    EnterFrame(id, frame, true);
}

void StandInPlayer::RunQueue() {
    int guard = 0;
    while (!queue_.empty() && ++guard < 200000) {
        Job j = queue_.front();
        queue_.pop_front();
        if (!Get(j.clip))
            continue;
        if (j.code)
            rt_->RunActions(j.code, j.clip);
        else
            rt_->CallClipMethod(j.clip, j.method);
    }
    queue_.clear();
}

void StandInPlayer::Walk(ClipId id, std::vector<ClipId>& out) {
    Clip* c = Get(id);
    if (!c)
        return;
    out.push_back(id);
    std::vector<ClipId> kids;
    for (auto& k : c->children)
        kids.push_back(k.second);
    for (ClipId k : kids)
        Walk(k, out);
}

void StandInPlayer::Advance() {
    if (!started_) {
        started_ = true;
        EnterFrame(1, 1, true);
        RunQueue();
        rt_->Tick();
        RunQueue();
        return;
    }
    time_ += movie_.frameRate > 0 ? 1000.0 / movie_.frameRate : 1;
    std::vector<ClipId> all;
    Walk(1, all);
    for (ClipId id : all)
        QueueEvent(id, kEvEnterFrame, "onEnterFrame");
    RunQueue();
    all.clear();
    Walk(1, all);
    for (ClipId id : all) {
        Clip* c = Get(id);
        if (!c || !c->playing)
            continue;
        int count = FrameCount(*c);
        if (count <= 1)
            continue;
        int next = c->frame + 1 > count ? 1 : c->frame + 1;
        Seek(id, next);
    }
    RunQueue();
    rt_->Tick();
    RunQueue();
}

// ---- Host

void StandInPlayer::Trace(const std::string& line) {
    std::string cur;
    for (char c : line) {
        if (c == '\r' || c == '\n') {
            lines_.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    lines_.push_back(cur);
}

ClipId StandInPlayer::Parent(ClipId clip) {
    Clip* c = Get(clip);
    return c ? c->parent : 0;
}

ClipId StandInPlayer::Child(ClipId clip, const std::string& name, bool cs) {
    Clip* c = Get(clip);
    if (!c)
        return 0;
    for (auto& k : c->children) {
        Clip* kc = Get(k.second);
        if (kc && NamesEqual(kc->name, name, cs))
            return k.second;
    }
    return 0;
}

double StandInPlayer::GetProperty(ClipId clip, ClipProp prop) {
    Clip* c = Get(clip);
    if (!c)
        return 0;
    if (c->field) {
        const double sx = c->props[static_cast<int>(ClipProp::XScale)] / 100;
        const double sy = c->props[static_cast<int>(ClipProp::YScale)] / 100;
        switch (prop) {
        case ClipProp::X:
            return c->field->x;
        case ClipProp::Y:
            return c->field->y;
        case ClipProp::Width:
            return c->field->Width() * std::fabs(sx);
        case ClipProp::Height:
            return c->field->Height() * std::fabs(sy);
        default:
            break;
        }
    }
    switch (prop) {
    case ClipProp::CurrentFrame:
        return c->frame;
    case ClipProp::TotalFrames:
    case ClipProp::FramesLoaded:
        return FrameCount(*c);
    default:
        return c->props[static_cast<int>(prop)];
    }
}

std::string StandInPlayer::GetPropertyText(ClipId clip, ClipProp prop) {
    Clip* c = Get(clip);
    if (!c)
        return std::string();
    if (prop == ClipProp::Name)
        return c->name;
    if (prop == ClipProp::Url)
        return "file:///test.swf";
    if (prop == ClipProp::Quality)
        return "HIGH";
    return std::string();
}

void StandInPlayer::SetProperty(ClipId clip, ClipProp prop, double number,
                                const std::string& text) {
    Clip* c = Get(clip);
    if (!c)
        return;
    if (prop == ClipProp::Name) {
        c->name = text;
        return;
    }
    if (prop == ClipProp::CurrentFrame || prop == ClipProp::TotalFrames ||
        prop == ClipProp::FramesLoaded || prop == ClipProp::Target || prop == ClipProp::Url)
        return;
    if (std::isnan(number))
        return;
    if (c->field) {
        text::TextField& f = *c->field;
        switch (prop) {
        case ClipProp::X:
            f.x = number;
            return;
        case ClipProp::Y:
            f.y = number;
            return;
        case ClipProp::Width:
            f.SetSize(number, f.Height());
            return;
        case ClipProp::Height:
            f.SetSize(f.Width(), number);
            return;
        default:
            break;
        }
    }
    c->props[static_cast<int>(prop)] = number;
}

void StandInPlayer::GotoFrame(ClipId clip, int frame, bool play) {
    Clip* c = Get(clip);
    if (!c)
        return;
    c->playing = play;
    Seek(clip, frame);
}

bool StandInPlayer::GotoLabel(ClipId clip, const std::string& label, bool play) {
    Clip* c = Get(clip);
    if (!c || !c->def)
        return false;
    for (size_t i = 0; i < c->def->frames.size(); ++i)
        if (NamesEqual(c->def->frames[i].label, label, false)) {
            GotoFrame(clip, static_cast<int>(i) + 1, play);
            return true;
        }
    return false;
}

void StandInPlayer::Play(ClipId clip) {
    if (Clip* c = Get(clip))
        c->playing = true;
}

void StandInPlayer::Stop(ClipId clip) {
    if (Clip* c = Get(clip))
        c->playing = false;
}

ClipId StandInPlayer::Duplicate(ClipId clip, const std::string& name, int depth) {
    Clip* c = Get(clip);
    if (!c || !c->parent)
        return 0;
    const Timeline* def = c->def;
    std::vector<ClipAction> events = c->events;
    ClipId id = NewClip(c->parent, def, name, depth + 16384);
    if (Clip* n = Get(id)) {
        n->scripted = true;
        n->events = events;
        EnterFrame(id, 1, true);
    }
    return id;
}

void StandInPlayer::Remove(ClipId clip) {
    RemoveClip(clip);
}

ClipId StandInPlayer::CreateEmpty(ClipId parent, const std::string& name, int depth) {
    ClipId id = NewClip(parent, nullptr, name, depth + 16384);
    if (Clip* n = Get(id)) {
        n->scripted = true;
        n->frame = 1;
    }
    return id;
}

ClipId StandInPlayer::Attach(ClipId parent, const std::string& linkage, const std::string& name,
                             int depth) {
    auto ex = movie_.exports.find(linkage);
    if (ex == movie_.exports.end())
        return 0;
    auto sprite = movie_.sprites.find(ex->second);
    if (sprite == movie_.sprites.end())
        return 0;
    ClipId id = NewClip(parent, &sprite->second, name, depth + 16384);
    if (Clip* n = Get(id)) {
        n->scripted = true;
        if (Object* ctor = rt_->RegisteredClass(linkage)) {
            Object* o = rt_->ClipObject(id);
            o->proto = rt_->GetMember(ctor, "prototype").AsObject();
            Args none;
            rt_->Call(Value::Obj(ctor), Value::Obj(o), none);
        }
        EnterFrame(id, 1, true);
    }
    return id;
}

int StandInPlayer::Depth(ClipId clip) {
    Clip* c = Get(clip);
    return c ? c->depth - 16384 : 0;
}

int StandInPlayer::NextHighestDepth(ClipId clip) {
    Clip* c = Get(clip);
    if (!c || c->children.empty())
        return 0;
    int d = c->children.rbegin()->first - 16384 + 1;
    return d < 0 ? 0 : d;
}

void StandInPlayer::CallFrame(ClipId clip, const std::string& frame) {
    Clip* c = Get(clip);
    if (!c || !c->def)
        return;
    int index = -1;
    double n = StringToNumber(frame, 7);
    if (!std::isnan(n))
        index = static_cast<int>(n) - 1;
    else
        for (size_t i = 0; i < c->def->frames.size(); ++i)
            if (NamesEqual(c->def->frames[i].label, frame, false))
                index = static_cast<int>(i);
    if (index < 0 || index >= static_cast<int>(c->def->frames.size()))
        return;
    for (auto& a : c->def->frames[static_cast<size_t>(index)].actions)
        rt_->RunActions(a, clip);
}

void StandInPlayer::InitField(Clip& c, const chars::EditTextChar& def) {
    auto f = std::make_shared<text::TextField>();
    f->SetFontSource(&fonts_);
    text::InitFromEditText(*f, def, *movie_.dictionary, movie_.version);
    f->x = c.props[static_cast<int>(ClipProp::X)];
    f->y = c.props[static_cast<int>(ClipProp::Y)];
    c.field = f;
}

text::TextField* StandInPlayer::TextFieldModel(ClipId clip) {
    Clip* c = Get(clip);
    return c ? c->field.get() : nullptr;
}

ClipId StandInPlayer::CreateTextField(ClipId parent, const std::string& name, int depth, double x,
                                      double y, double w, double h) {
    ClipId id = NewClip(parent, nullptr, name, depth + 16384);
    Clip* n = Get(id);
    if (!n)
        return 0;
    n->scripted = true;
    n->frame = 1;
    auto f = std::make_shared<text::TextField>();
    f->SetFontSource(&fonts_);
    f->SetMovieVersion(movie_.version);
    f->x = x;
    f->y = y;
    f->SetSize(w, h);
    n->field = f;
    return id;
}

} // namespace zembra::avm1::standin
