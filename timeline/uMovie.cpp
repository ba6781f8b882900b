#include "timeline/uMovie.h"

#include <algorithm>
#include <cctype>

namespace zembra::timeline {

namespace {

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

} // namespace

Movie::Movie() : runner_(std::make_unique<MinimalActionRunner>()) {}

Movie::~Movie() = default;

void Movie::SetActionRunner(std::unique_ptr<ActionRunner> runner) {
    if (runner)
        runner_ = std::move(runner);
}

bool Movie::Open(std::vector<uint8_t> bytes, std::string& error) {
    opened_ = false;
    if (!file_.Open(std::move(bytes), error))
        return false;
    const int version = file_.GetHeader().version;
    dict_ = chars::Dictionary(version);
    background_ = raster::Rgba{255, 255, 255, 255};
    bool haveBackground = false;
    for (const swf::Tag& tag : file_.Tags()) {
        dict_.Define(tag);
        if (tag.code == swf::tags::SetBackgroundColor && !haveBackground) {
            haveBackground = true;
            // The colour of the first frame shows from the start.
            swf::Reader r = tag.Read();
            background_ = r.ReadRgb();
        }
    }
    rootDef_ = BuildTimeline(file_.Tags(), version);
    root_ = SpriteInstance();
    root_.def = &rootDef_;
    spriteDefs_.clear();
    framesRun_ = 0;
    objectCount_ = 0;
    opened_ = true;
    return true;
}

const TimelineDef* Movie::SpriteTimeline(uint16_t id) {
    auto it = spriteDefs_.find(id);
    if (it != spriteDefs_.end())
        return it->second.get();
    const auto* sprite = static_cast<const chars::SpriteChar*>(dict_.Get(id));
    if (!sprite || sprite->kind != chars::Kind::Sprite)
        return nullptr;
    auto def = std::make_unique<TimelineDef>(BuildTimeline(sprite->tags, Header().version));
    const TimelineDef* p = def.get();
    spriteDefs_[id] = std::move(def);
    return p;
}

void Movie::Advance() {
    if (!opened_)
        return;
    gotoBudget_ = kMaxGotosPerFrame;
    work_ = 0;
    ++tick_;
    if (root_.frame < 0) {
        ApplyFrame(root_, 0, true);
        root_.frame = 0;
    } else {
        AdvanceInstance(root_);
    }
    RunPending();
    ++framesRun_;
    if (pointerKnown_)
        PointerMove(pointer_);
}

void Movie::AdvanceInstance(SpriteInstance& s) {
    if (work_ > kMaxTagWorkPerFrame)
        return;
    if (s.playing && s.FrameCount() > 1) {
        const int next = s.frame + 1;
        if (next >= s.FrameCount()) {
            if (&s == &root_ && !loop_)
                s.playing = false;
            else
                Seek(s, 0);
        } else {
            ApplyFrame(s, next, true);
            s.frame = next;
        }
    }
    for (auto& [depth, obj] : s.children) {
        (void)depth;
        if (!obj.sprite)
            continue;
        if (obj.sprite->bornTick != tick_)
            AdvanceInstance(*obj.sprite);
    }
}

void Movie::ApplyFrame(SpriteInstance& s, int index, bool queueActions) {
    if (!s.def || index < 0 || index >= s.FrameCount())
        return;
    const int version = Header().version;
    for (const swf::Tag& tag : s.def->frames[static_cast<size_t>(index)].tags) {
        if (++work_ > kMaxTagWorkPerFrame)
            return;
        if (IsPlaceTag(tag.code)) {
            Placement p;
            if (ReadPlacement(tag, version, p))
                Place(s, p);
        } else if (IsRemoveTag(tag.code)) {
            Remove(s, RemovedDepth(tag));
        } else if (tag.code == swf::tags::DoAction) {
            if (queueActions)
                pending_.push_back({&s, tag.data, tag.length});
        } else if (tag.code == swf::tags::SetBackgroundColor && &s == &root_) {
            swf::Reader r = tag.Read();
            background_ = r.ReadRgb();
        }
    }
}

void Movie::ApplyProps(DisplayObject& obj, const Placement& p) {
    if (p.hasMatrix)
        obj.matrix = p.matrix;
    if (p.hasCxform)
        obj.cxform = p.cxform;
    if (p.hasRatio)
        obj.ratio = p.ratio;
    if (p.hasName)
        obj.name = p.name;
    if (p.hasClipDepth)
        obj.clipDepth = p.clipDepth;
    if (p.hasBlend)
        obj.blend = p.blend;
    if (p.hasVisible)
        obj.visible = p.visible;
    if (p.hasBackground) {
        obj.hasBackground = true;
        obj.background = p.background;
    }
    if (p.hasFilters)
        obj.filters = p.filters;
    if (p.hasCacheAsBitmap)
        obj.cacheAsBitmap = p.cacheAsBitmap;
}

void Movie::InitObject(SpriteInstance& parent, DisplayObject& obj) {
    obj.character = dict_.GetMutable(obj.characterId);
    obj.sprite.reset();
    if (!obj.character || obj.character->kind != chars::Kind::Sprite)
        return;
    auto inst = std::make_unique<SpriteInstance>();
    inst->parent = &parent;
    inst->nesting = parent.nesting + 1;
    inst->bornTick = tick_;
    // Too deep a nesting (a sprite that holds itself) shows nothing more.
    if (inst->nesting <= kMaxNesting)
        inst->def = SpriteTimeline(obj.characterId);
    SpriteInstance* raw = inst.get();
    obj.sprite = std::move(inst);
    if (raw->def) {
        ApplyFrame(*raw, 0, true);
        raw->frame = 0;
    }
}

void Movie::Place(SpriteInstance& s, const Placement& p) {
    auto it = s.children.find(p.depth);
    if (it == s.children.end() || !p.move) {
        if (!p.hasCharacter || it != s.children.end())
            return;
        if (objectCount_ >= kMaxDisplayObjects)
            return;
        DisplayObject& obj = s.children[p.depth];
        ++objectCount_;
        obj.characterId = p.characterId;
        ApplyProps(obj, p);
        InitObject(s, obj);
        return;
    }
    DisplayObject& obj = it->second;
    if (p.hasCharacter && p.characterId != obj.characterId) {
        if (obj.sprite) {
            size_t n = 0;
            CountObjects(*obj.sprite, n);
            objectCount_ -= std::min(objectCount_, n);
        }
        obj.characterId = p.characterId;
        InitObject(s, obj);
    }
    ApplyProps(obj, p);
}

void Movie::CountObjects(const SpriteInstance& s, size_t& n) const {
    for (const auto& [depth, obj] : s.children) {
        (void)depth;
        ++n;
        if (obj.sprite)
            CountObjects(*obj.sprite, n);
    }
}

void Movie::Remove(SpriteInstance& s, int depth) {
    auto it = s.children.find(depth);
    if (it == s.children.end())
        return;
    size_t n = 1;
    if (it->second.sprite)
        CountObjects(*it->second.sprite, n);
    objectCount_ -= std::min(objectCount_, n);
    s.children.erase(it);
}

void Movie::Seek(SpriteInstance& s, int frame) {
    if (!s.def)
        return;
    frame = std::max(0, std::min(frame, s.FrameCount() - 1));
    if (frame == s.frame)
        return;
    if (frame > s.frame) {
        for (int i = s.frame + 1; i <= frame; ++i)
            ApplyFrame(s, i, i == frame);
        s.frame = frame;
        return;
    }
    // Going back: the display list as the frames up to the target leave it,
    // keeping the instances that stay (same character at the same depth).
    size_t replay = 0;
    for (int i = 0; i <= frame; ++i)
        replay += s.def->frames[static_cast<size_t>(i)].tags.size();
    if (work_ + replay > kMaxTagWorkPerFrame)
        return;
    work_ += replay;
    const int version = Header().version;
    std::map<int, DisplayObject> want;
    for (int i = 0; i <= frame; ++i) {
        for (const swf::Tag& tag : s.def->frames[static_cast<size_t>(i)].tags) {
            if (IsPlaceTag(tag.code)) {
                Placement p;
                if (!ReadPlacement(tag, version, p))
                    continue;
                auto it = want.find(p.depth);
                if (it == want.end() || !p.move) {
                    if (!p.hasCharacter || it != want.end())
                        continue;
                    DisplayObject& obj = want[p.depth];
                    obj.characterId = p.characterId;
                    ApplyProps(obj, p);
                } else {
                    if (p.hasCharacter)
                        it->second.characterId = p.characterId;
                    ApplyProps(it->second, p);
                }
            } else if (IsRemoveTag(tag.code)) {
                want.erase(RemovedDepth(tag));
            }
        }
    }
    std::map<int, DisplayObject> old = std::move(s.children);
    s.children.clear();
    for (auto& [depth, ghost] : want) {
        auto it = old.find(depth);
        if (it != old.end() && it->second.characterId == ghost.characterId) {
            DisplayObject obj = std::move(it->second);
            old.erase(it);
            obj.matrix = ghost.matrix;
            obj.cxform = ghost.cxform;
            obj.ratio = ghost.ratio;
            obj.name = ghost.name;
            obj.clipDepth = ghost.clipDepth;
            obj.blend = ghost.blend;
            obj.visible = ghost.visible;
            obj.hasBackground = ghost.hasBackground;
            obj.background = ghost.background;
            obj.filters = ghost.filters;
            obj.cacheAsBitmap = ghost.cacheAsBitmap;
            s.children.emplace(depth, std::move(obj));
            continue;
        }
        if (objectCount_ >= kMaxDisplayObjects)
            continue;
        ++objectCount_;
        DisplayObject& obj = s.children[depth];
        obj = std::move(ghost);
        InitObject(s, obj);
    }
    for (auto& [depth, obj] : old) {
        if (!obj.fromTimeline && !s.children.count(depth)) {
            s.children.emplace(depth, std::move(obj));
            continue;
        }
        size_t n = 1;
        if (obj.sprite)
            CountObjects(*obj.sprite, n);
        objectCount_ -= std::min(objectCount_, n);
    }
    s.frame = frame;
    for (const swf::Tag& tag : s.def->frames[static_cast<size_t>(frame)].tags)
        if (tag.code == swf::tags::DoAction)
            pending_.push_back({&s, tag.data, tag.length});
}

bool Movie::IsAliveIn(const SpriteInstance& in, const SpriteInstance* s) const {
    if (&in == s)
        return true;
    for (const auto& [depth, obj] : in.children) {
        (void)depth;
        if (obj.sprite && IsAliveIn(*obj.sprite, s))
            return true;
    }
    return false;
}

bool Movie::IsAlive(const SpriteInstance* s) const {
    return IsAliveIn(root_, s);
}

void Movie::RunPending() {
    // Actions may queue more (a goto's target frame); a bound keeps a
    // movie that keeps jumping from holding the frame forever.
    size_t done = 0;
    while (!pending_.empty() && done < 4096) {
        std::vector<PendingActions> batch;
        batch.swap(pending_);
        for (const PendingActions& a : batch) {
            ++done;
            if (IsAlive(a.target))
                RunActions(a.code, a.size, *a.target);
        }
    }
    pending_.clear();
}

void Movie::RunActions(const uint8_t* code, size_t size, SpriteInstance& target) {
    runner_->Run(code, size, target, Header().version, *this);
}

void Movie::GotoFrame(SpriteInstance& target, int frame, bool play) {
    if (gotoBudget_ <= 0)
        return;
    --gotoBudget_;
    target.playing = play;
    Seek(target, frame);
}

bool Movie::GotoLabel(SpriteInstance& target, const std::string& label, bool play) {
    if (!target.def)
        return false;
    const int frame = target.def->FrameOfLabel(label);
    if (frame < 0)
        return false;
    GotoFrame(target, frame, play);
    return true;
}

void Movie::GetUrl(const std::string& url, const std::string& window) {
    // Only commands to the host; a screen saver opens no pages.
    if (StartsWithNoCase(url, "fscommand:") && onFSCommand)
        onFSCommand(url.substr(10), window);
}

void Movie::Trace(const std::string& line) {
    if (onTrace)
        onTrace(line);
}

SpriteInstance* Movie::Resolve(SpriteInstance& from, const std::string& path) {
    SpriteInstance* cur = &from;
    size_t i = 0;
    if (!path.empty() && path[0] == '/') {
        cur = &root_;
        i = 1;
    }
    while (cur && i < path.size()) {
        size_t j = path.find_first_of("/.:", i);
        if (j == std::string::npos)
            j = path.size();
        std::string part = path.substr(i, j - i);
        if (j < path.size() && path[j] == '.' && j + 1 < path.size() && path[j + 1] == '.') {
            // "../" written with dots
            part = "..";
            j += 1;
        }
        i = j + 1;
        if (part.empty())
            continue;
        if (part == "_root" || SameNameNoCase(part, "_level0")) {
            cur = &root_;
        } else if (part == ".." || part == "_parent") {
            cur = cur->parent;
        } else {
            SpriteInstance* found = nullptr;
            for (auto& [depth, obj] : cur->children) {
                (void)depth;
                if (obj.sprite && SameNameNoCase(obj.name, part)) {
                    found = obj.sprite.get();
                    break;
                }
            }
            cur = found;
        }
    }
    return cur;
}

bool Movie::ButtonHit(const DisplayObject& obj, const raster::Matrix& m, raster::Point p) {
    const auto* button = static_cast<const chars::ButtonChar*>(obj.character);
    for (const chars::ButtonRecord& rec : button->records) {
        if (!rec.hit)
            continue;
        const chars::Character* c = dict_.Get(rec.characterId);
        if (!c || c->kind != chars::Kind::Shape)
            continue;
        raster::Matrix inv;
        if (!m.Concat(obj.matrix).Concat(rec.matrix).Invert(inv))
            continue;
        if (static_cast<const chars::ShapeChar*>(c)->geometry.HitTest(inv.Apply(p)))
            return true;
    }
    return false;
}

DisplayObject* Movie::FindButton(SpriteInstance& s, const raster::Matrix& m, raster::Point p,
                                 SpriteInstance** owner) {
    for (auto it = s.children.rbegin(); it != s.children.rend(); ++it) {
        DisplayObject& obj = it->second;
        if (!obj.visible || !obj.character)
            continue;
        if (obj.sprite) {
            if (DisplayObject* found = FindButton(*obj.sprite, m.Concat(obj.matrix), p, owner))
                return found;
        } else if (obj.character->kind == chars::Kind::Button && ButtonHit(obj, m, p)) {
            *owner = &s;
            return &obj;
        }
    }
    return nullptr;
}

void Movie::ResetButtons(SpriteInstance& s) {
    for (auto& [depth, obj] : s.children) {
        (void)depth;
        obj.buttonState = ButtonState::Up;
        if (obj.sprite)
            ResetButtons(*obj.sprite);
    }
}

void Movie::UpdateButtons(DisplayObject* hover) {
    ResetButtons(root_);
    if (hover)
        hover->buttonState = pointerDown_ ? ButtonState::Down : ButtonState::Over;
}

void Movie::PointerMove(raster::Point stagePoint) {
    pointer_ = stagePoint;
    pointerKnown_ = true;
    if (!opened_)
        return;
    SpriteInstance* owner = nullptr;
    UpdateButtons(FindButton(root_, raster::Matrix(), pointer_, &owner));
}

void Movie::PointerButton(bool down) {
    if (!opened_ || !pointerKnown_)
        return;
    SpriteInstance* owner = nullptr;
    DisplayObject* hit = FindButton(root_, raster::Matrix(), pointer_, &owner);
    const bool released = pointerDown_ && !down;
    pointerDown_ = down;
    UpdateButtons(hit);
    if (!hit || !owner)
        return;
    const uint16_t condition = released ? 0x0008 : (down ? 0x0004 : 0);
    if (condition == 0)
        return;
    const auto* button = static_cast<const chars::ButtonChar*>(hit->character);
    gotoBudget_ = kMaxGotosPerFrame;
    for (const chars::ButtonAction& a : button->actions)
        if (a.conditions & condition)
            pending_.push_back({owner, a.actions.data(), a.actions.size()});
    RunPending();
}

} // namespace zembra::timeline
