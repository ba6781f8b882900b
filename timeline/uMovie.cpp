#include "timeline/uMovie.h"

#include "timeline/uDrawing.h"

#include "avm1/uBuiltinsTextField.h"
#include "text/uFieldFromTag.h"
#include "text/uHexDigit.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>

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

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

using text::HexDigit;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string UrlDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() + 0 && HexDigit(s[i + 1]) >= 0 &&
                   HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

Movie::Movie() {
    emptyDef_.frames.resize(1);
    emptySprite_.frameCount = 1;
}

Movie::~Movie() {
    // The engine holds the host: it goes first.
    rt_.reset();
    host_.reset();
    // Clips of loaded movies point into them: they go first.
    levels_.children.clear();
    root_.children.clear();
}

void Movie::SetScriptBudget(const ScriptBudget& budget) {
    budget_ = budget;
    if (rt_) {
        rt_->limits.secondsPerEntry = budget_.secondsPerEntry;
        rt_->limits.callDepth = budget_.maxCallDepth;
    }
}

bool Movie::Open(std::vector<uint8_t> bytes, std::string& error) {
    opened_ = false;
    jobs_.clear();
    early_.clear();
    constructing_.clear();
    exportFrames_.clear();
    rootFramesReached_ = -1;
    root_ = SpriteInstance();
    rootProps_ = DisplayObject();
    // Loaded movies go after every clip that plays them.
    levels_ = SpriteInstance();
    levels_.clipId = ScriptHost::kLevels;
    loaded_.clear();
    loadedBytes_ = 0;
    rt_.reset();
    host_.reset();
    if (!file_.Open(std::move(bytes), error))
        return false;
    const int version = file_.GetHeader().version;
    dict_ = chars::Dictionary(version);
    background_ = raster::Rgba{255, 255, 255, 255};
    exports_.clear();
    initDone_.clear();
    bool haveBackground = false;
    useNetwork_ = false;
    ScriptBudget budget = budget_;
    int frame = 0;
    for (const swf::Tag& tag : file_.Tags()) {
        dict_.Define(tag);
        if (tag.code == swf::tags::ShowFrame)
            ++frame;
        if (tag.code == swf::tags::SetBackgroundColor && !haveBackground) {
            haveBackground = true;
            // The colour of the first frame shows from the start.
            swf::Reader r = tag.Read();
            background_ = r.ReadRgb();
        } else if (tag.code == swf::tags::ExportAssets) {
            swf::Reader r = tag.Read();
            const uint16_t count = r.U16();
            for (uint16_t i = 0; i < count && !r.Overrun() && !r.AtEnd(); ++i) {
                const uint16_t id = r.U16();
                const std::string name = r.String(version);
                if (!r.Overrun() && !exports_.count(Lower(name))) {
                    exports_[Lower(name)] = id;
                    exportFrames_[Lower(name)] = frame;
                }
            }
        } else if (tag.code == swf::tags::FileAttributes) {
            swf::Reader r = tag.Read();
            const uint8_t flags = r.U8();
            useNetwork_ = !r.Overrun() && (flags & 0x01);
        } else if (tag.code == swf::tags::ScriptLimits) {
            swf::Reader r = tag.Read();
            const int depth = r.U16();
            const int seconds = r.U16();
            if (!r.Overrun()) {
                // The movie may ask for less, never for more than the host allows.
                budget.maxCallDepth = std::max(1, std::min(depth, budget_.maxCallDepth));
                if (seconds > 0)
                    budget.secondsPerEntry = std::min<double>(seconds, budget_.secondsPerEntry);
            }
        }
    }
    rootDef_ = BuildTimeline(file_.Tags(), version);
    root_.def = &rootDef_;
    root_.clipId = ScriptHost::kRoot;
    spriteDefs_.clear();
    framesRun_ = 0;
    objectCount_ = 0;
    tick_ = 0;
    timeMs_ = 0;
    instanceCount_ = 0;
    pendingBinds_.clear();
    pressedButton_ = pressedClip_ = dragClip_ = dropTarget_ = 0;
    hoverTarget_ = focus_ = 0;
    host_ = std::make_unique<ScriptHost>(*this);
    rt_ = std::make_unique<avm1::Runtime>(*host_, version);
    rt_->limits.secondsPerEntry = budget.secondsPerEntry;
    rt_->limits.callDepth = budget.maxCallDepth;
    opened_ = true;
    return true;
}

const TimelineDef* Movie::SpriteTimeline(uint16_t id, LoadedMovie* loaded) {
    if (!loaded)
        return SpriteTimeline(id);
    auto it = loaded->spriteDefs.find(id);
    if (it != loaded->spriteDefs.end())
        return it->second.get();
    const auto* sprite = static_cast<const chars::SpriteChar*>(loaded->dict.Get(id));
    if (!sprite || sprite->kind != chars::Kind::Sprite)
        return nullptr;
    auto def = std::make_unique<TimelineDef>(BuildTimeline(sprite->tags, loaded->version));
    const TimelineDef* p = def.get();
    loaded->spriteDefs[id] = std::move(def);
    return p;
}

chars::Dictionary& Movie::DictOf(const SpriteInstance& s) {
    return s.loaded ? s.loaded->dict : dict_;
}

int Movie::VersionOf(const SpriteInstance& s) const {
    return s.loaded ? s.loaded->version : Header().version;
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

void Movie::ApplyFlashVars() {
    size_t i = 0;
    while (i <= flashVars_.size() && !flashVars_.empty()) {
        size_t amp = flashVars_.find('&', i);
        if (amp == std::string::npos)
            amp = flashVars_.size();
        const std::string pair = flashVars_.substr(i, amp - i);
        const size_t eq = pair.find('=');
        if (!pair.empty()) {
            const std::string name = UrlDecode(pair.substr(0, eq));
            const std::string value =
                eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1));
            if (!name.empty())
                rt_->SetClipVariable(ScriptHost::kRoot, name, value);
        }
        i = amp + 1;
    }
}

void Movie::StartTurn() {
    gotoBudget_ = kMaxGotosPerFrame;
    jobsRun_ = 0;
    frameDeadline_ = SteadySeconds() + 2 * rt_->limits.secondsPerEntry;
}

void Movie::Advance() {
    if (!opened_)
        return;
    StartTurn();
    work_ = 0;
    ++tick_;
    if (root_.frame < 0) {
        ApplyFlashVars();
        ApplyFrame(root_, 0, true);
        root_.frame = 0;
        jobs_.push_back({Job::Kind::Method, ScriptHost::kRoot, nullptr, 0, "onLoad", false});
    } else {
        const double rate = Header().frameRate;
        timeMs_ += rate > 0 ? 1000.0 / rate : 1;
        // The clips there before the frame get its enterFrame, after the
        // frame's removals and ahead of its actions.
        std::vector<avm1::ClipId> clips;
        CollectClips(root_, clips, 0);
        for (auto& [level, obj] : levels_.children) {
            (void)level;
            if (obj.sprite)
                CollectClips(*obj.sprite, clips, 1);
        }
        AdvanceAll(clips);
        std::deque<Job> frameJobs;
        frameJobs.swap(jobs_);
        BroadcastClipEvent(clips, clipevents::EnterFrame, "onEnterFrame");
        jobs_.insert(jobs_.end(), frameJobs.begin(), frameJobs.end());
    }
    RunQueue();
    rt_->Tick();
    RunQueue();
    // Files asked for complete at the end of the frame.
    rt_->DeliverLoads();
    RunQueue();
    rt_->DeliverLoadInits();
    RunQueue();
    // Fields bound to variables show their values; by handle, since reading
    // a variable may run script that changes the display list.
    std::vector<avm1::ClipId> bound;
    CollectBoundFields(root_, 0, bound);
    for (avm1::ClipId id : bound)
        avm1::RefreshTextFieldVariable(*rt_, id);
    ++framesRun_;
    if (pointerKnown_)
        RefreshMouseTarget();
}

void Movie::AdvanceAll(std::vector<avm1::ClipId> clips) {
    // Newest clips step first and the main timeline (the oldest) last, so a
    // parent's frame actions run after those of the clips it holds. Looked
    // up by handle: a frame's removals may take later clips away.
    std::sort(clips.begin(), clips.end(), [](avm1::ClipId a, avm1::ClipId b) { return a > b; });
    for (avm1::ClipId id : clips) {
        SpriteInstance* s = host_->Instance(id);
        if (s && s->bornTick != tick_)
            StepFrame(*s);
    }
}

void Movie::StepFrame(SpriteInstance& s) {
    if (work_ > kMaxTagWorkPerFrame || !s.playing || s.FrameCount() <= 1)
        return;
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

void Movie::QueueFrameActions(SpriteInstance& s, int index) {
    const auto& tags = s.def->frames[static_cast<size_t>(index)].tags;
    // A sprite's init actions run once, before the frame's own actions.
    for (const swf::Tag& tag : tags) {
        if (tag.code != swf::tags::DoInitAction || tag.length < 2)
            continue;
        swf::Reader r = tag.Read();
        const uint16_t id = r.U16();
        // They run ahead of everything the frame does, so the classes they
        // register are there when the frame's clips are constructed.
        if ((s.loaded ? s.loaded->initDone : initDone_).insert(id).second)
            early_.push_back({Job::Kind::Code, s.clipId, tag.data + 2, tag.length - 2u, {}, false});
    }
    for (const swf::Tag& tag : tags)
        if (tag.code == swf::tags::DoAction)
            jobs_.push_back({Job::Kind::Code, s.clipId, tag.data, tag.length, {}, false});
}

void Movie::ApplyFrame(SpriteInstance& s, int index, bool queueActions) {
    if (!s.def || index < 0 || index >= s.FrameCount())
        return;
    if (&s == &root_)
        rootFramesReached_ = std::max(rootFramesReached_, index);
    const int version = VersionOf(s);
    const auto& tags = s.def->frames[static_cast<size_t>(index)].tags;
    if (queueActions)
        QueueFrameActions(s, index);
    for (const swf::Tag& tag : tags) {
        if (++work_ > kMaxTagWorkPerFrame)
            return;
        if (IsPlaceTag(tag.code)) {
            Placement p;
            if (ReadPlacement(tag, version, p))
                Place(s, p, index);
        } else if (IsRemoveTag(tag.code)) {
            Remove(s, RemovedDepth(tag));
        } else if (tag.code == swf::tags::SetBackgroundColor && &s == &root_) {
            swf::Reader r = tag.Read();
            background_ = r.ReadRgb();
        }
    }
}

void Movie::ApplyProps(DisplayObject& obj, const Placement& p) {
    // Once a script has moved or recoloured an object, the timeline's moves
    // of it no longer apply.
    if (p.hasMatrix && !obj.scriptMoved) {
        obj.matrix = p.matrix;
        obj.scriptTransform.valid = false;
    }
    if (p.hasCxform && !obj.scriptMoved)
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

std::string Movie::LinkageOf(uint16_t characterId, const LoadedMovie* loaded) const {
    for (const auto& [name, id] : loaded ? loaded->exports : exports_)
        if (id == characterId)
            return name;
    return std::string();
}

uint16_t Movie::ExportedId(const std::string& linkage) const {
    // A name is known once the main timeline has reached its frame.
    const std::string key = Lower(linkage);
    auto it = exports_.find(key);
    auto frame = exportFrames_.find(key);
    if (it == exports_.end() || frame == exportFrames_.end() || frame->second > rootFramesReached_)
        return 0;
    return it->second;
}

void Movie::InitObject(SpriteInstance& parent, int depth, DisplayObject& obj) {
    if (obj.character != &emptySprite_)
        obj.character = DictOf(parent).GetMutable(obj.characterId);
    obj.sprite.reset();
    obj.clipId = 0;
    if (!obj.character)
        return;
    const chars::Kind kind = obj.character->kind;
    if (kind != chars::Kind::Sprite && kind != chars::Kind::Button && kind != chars::Kind::EditText)
        return;
    obj.clipId = host_->Register(parent.clipId, depth);
    if (obj.name.empty())
        obj.name = "instance" + std::to_string(++instanceCount_);
    if (kind == chars::Kind::EditText) {
        const auto& def = *static_cast<const chars::EditTextChar*>(obj.character);
        auto field = std::make_shared<text::TextField>();
        field->SetFontSource(parent.loaded ? &parent.loaded->fonts : &fonts_);
        text::InitFromEditText(*field, def, DictOf(parent), VersionOf(parent));
        field->x = def.bounds.xMin / 20.0;
        field->y = def.bounds.yMin / 20.0;
        obj.textField = std::move(field);
        // Bound once the placing is done: binding may run script.
        if (!obj.textField->variable.empty() && pendingBinds_.size() < kMaxDisplayObjects)
            pendingBinds_.push_back(obj.clipId);
        return;
    }
    if (kind != chars::Kind::Sprite)
        return;
    const avm1::ClipId id = obj.clipId;
    auto inst = std::make_unique<SpriteInstance>();
    inst->parent = &parent;
    inst->nesting = parent.nesting + 1;
    inst->bornTick = tick_;
    inst->clipId = id;
    inst->characterId = obj.characterId;
    inst->loaded = parent.loaded;
    // Too deep a nesting (a sprite that holds itself) shows nothing more.
    if (inst->nesting <= kMaxNesting)
        inst->def = obj.character == &emptySprite_ ? &emptyDef_
                                                   : SpriteTimeline(obj.characterId, parent.loaded);
    SpriteInstance* raw = inst.get();
    obj.sprite = std::move(inst);
    QueueClipEvent(early_, id, &obj, clipevents::Initialize, nullptr);
    // A registered class gives the clip its prototype before the construct
    // handler and runs its constructor after it; the class is looked up
    // then, since init actions register it.
    const std::string linkage =
        obj.fromTimeline ? LinkageOf(obj.characterId, parent.loaded) : std::string();
    if (!linkage.empty())
        constructing_.push_back({Job::Kind::Adopt, id, nullptr, 0, linkage, false});
    QueueClipEvent(constructing_, id, &obj, clipevents::Construct, nullptr);
    if (!linkage.empty())
        constructing_.push_back({Job::Kind::Construct, id, nullptr, 0, linkage, false});
    // The load handler runs before the clip's first frame's actions, which
    // run before those of the clips that frame places.
    QueueClipEvent(jobs_, id, &obj, clipevents::Load, "onLoad");
    if (raw->def) {
        ApplyFrame(*raw, 0, true);
        raw->frame = 0;
    }
}

void Movie::Destroy(DisplayObject& obj) {
    if (!obj.clipId)
        return;
    const avm1::ClipId id = obj.clipId;
    // Children unload first; the handlers run after the clips have left
    // the list, before the frame's actions.
    if (obj.sprite)
        for (auto& [depth, child] : obj.sprite->children) {
            (void)depth;
            Destroy(child);
        }
    QueueClipEvent(early_, id, &obj, clipevents::Unload, "onUnload", 0, true);
    early_.push_back({Job::Kind::Forget, id, nullptr, 0, {}, true});
    host_->Unregister(id, obj.name);
    obj.clipId = 0;
    if (obj.sprite)
        obj.sprite->clipId = 0;
    if (pressedButton_ == id)
        pressedButton_ = 0;
    if (pressedClip_ == id)
        pressedClip_ = 0;
    if (dragClip_ == id)
        dragClip_ = 0;
}

void Movie::Place(SpriteInstance& s, const Placement& p, int frame) {
    auto it = s.children.find(p.depth);
    if (it == s.children.end() || !p.move) {
        if (!p.hasCharacter)
            return;
        if (it != s.children.end()) {
            // A placement with a ratio at a taken depth replaces what the
            // timeline put there; any other fails, and the player says so.
            if (!it->second.fromTimeline || !p.hasRatio) {
                if (rt_)
                    host_->Warning("Failed to place object at depth " + std::to_string(p.depth) +
                                   ".");
                return;
            }
            Remove(s, p.depth);
        }
        if (objectCount_ >= kMaxDisplayObjects)
            return;
        DisplayObject& obj = s.children[p.depth];
        ++objectCount_;
        obj.characterId = p.characterId;
        obj.placeFrame = frame;
        obj.clipActions = p.clipActions;
        ApplyProps(obj, p);
        InitObject(s, p.depth, obj);
        return;
    }
    DisplayObject& obj = it->second;
    if (p.hasCharacter && p.characterId != obj.characterId) {
        if (obj.sprite) {
            size_t n = 0;
            CountObjects(*obj.sprite, n);
            objectCount_ -= std::min(objectCount_, n);
        }
        Destroy(obj);
        obj.characterId = p.characterId;
        obj.character = nullptr;
        InitObject(s, p.depth, obj);
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
    Destroy(it->second);
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
    const int version = VersionOf(s);
    std::map<int, DisplayObject> want;
    for (int i = 0; i <= frame; ++i) {
        for (const swf::Tag& tag : s.def->frames[static_cast<size_t>(i)].tags) {
            if (IsPlaceTag(tag.code)) {
                Placement p;
                if (!ReadPlacement(tag, version, p))
                    continue;
                auto it = want.find(p.depth);
                if (it == want.end() || !p.move) {
                    if (!p.hasCharacter)
                        continue;
                    if (it != want.end()) {
                        if (!p.hasRatio)
                            continue;
                        want.erase(it);
                    }
                    DisplayObject& obj = want[p.depth];
                    obj.characterId = p.characterId;
                    obj.placeFrame = i;
                    obj.clipActions = p.clipActions;
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
    // The target frame's actions go before those of the clips it places.
    QueueFrameActions(s, frame);
    std::map<int, DisplayObject> old = std::move(s.children);
    s.children.clear();
    for (auto& [depth, ghost] : want) {
        auto it = old.find(depth);
        // The instance stays when the very same placement made it.
        if (it != old.end() && it->second.fromTimeline &&
            it->second.characterId == ghost.characterId &&
            it->second.placeFrame == ghost.placeFrame) {
            DisplayObject obj = std::move(it->second);
            old.erase(it);
            if (!obj.scriptMoved) {
                obj.matrix = ghost.matrix;
                obj.cxform = ghost.cxform;
                obj.scriptTransform.valid = false;
            }
            obj.ratio = ghost.ratio;
            obj.name = ghost.name.empty() ? obj.name : ghost.name;
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
        // What a script put at that depth gives way to the timeline.
        if (it != old.end()) {
            size_t n = 1;
            if (it->second.sprite)
                CountObjects(*it->second.sprite, n);
            objectCount_ -= std::min(objectCount_, n);
            Destroy(it->second);
            old.erase(it);
        }
        ++objectCount_;
        DisplayObject& obj = s.children[depth];
        obj = std::move(ghost);
        InitObject(s, depth, obj);
    }
    for (auto& [depth, obj] : old) {
        // What scripts put at negative depths lives in the timeline's zone
        // and goes with a rewind.
        if (!obj.fromTimeline && depth >= kScriptDepthBase && !s.children.count(depth)) {
            s.children.emplace(depth, std::move(obj));
            continue;
        }
        size_t n = 1;
        if (obj.sprite)
            CountObjects(*obj.sprite, n);
        objectCount_ -= std::min(objectCount_, n);
        Destroy(obj);
    }
    s.frame = frame;
}

void Movie::QueueClipEvent(std::deque<Job>& queue, avm1::ClipId clip, const DisplayObject* obj,
                           uint32_t mask, const char* method, uint8_t key, bool evenIfGone) {
    if (!clip)
        return;
    if (obj)
        for (const ClipEventAction& a : obj->clipActions) {
            if (!(a.events & mask))
                continue;
            if ((mask & clipevents::KeyPress) && !(a.events & ~clipevents::KeyPress & mask) &&
                a.key != key)
                continue;
            queue.push_back({Job::Kind::Code, clip, a.code, a.size, {}, evenIfGone});
        }
    if (method)
        queue.push_back({Job::Kind::Method, clip, nullptr, 0, method, evenIfGone});
}

void Movie::CollectClips(SpriteInstance& s, std::vector<avm1::ClipId>& out, int nesting) {
    if (s.clipId)
        out.push_back(s.clipId);
    if (nesting > kMaxNesting)
        return;
    for (auto& [depth, obj] : s.children) {
        (void)depth;
        if (obj.sprite)
            CollectClips(*obj.sprite, out, nesting + 1);
    }
}

void Movie::BroadcastClipEvent(uint32_t mask, const char* method, uint8_t key) {
    std::vector<avm1::ClipId> clips;
    CollectClips(root_, clips, 0);
    BroadcastClipEvent(clips, mask, method, key);
}

void Movie::BroadcastClipEvent(std::vector<avm1::ClipId> clips, uint32_t mask, const char* method,
                               uint8_t key) {
    // Newest clips first: handles grow with creation.
    std::sort(clips.begin(), clips.end(), [](avm1::ClipId a, avm1::ClipId b) { return a > b; });
    for (avm1::ClipId id : clips) {
        ScriptHost::Place place;
        if (host_->Find(id, place))
            QueueClipEvent(jobs_, id, place.obj, mask, method, key);
    }
}

void Movie::RunQueue() {
    std::vector<avm1::ClipId> binds;
    binds.swap(pendingBinds_);
    for (avm1::ClipId id : binds)
        avm1::BindTextFieldVariable(*rt_, id);
    // Jobs may queue more (a goto's target frame); the bound keeps a movie
    // that keeps jumping from holding the frame forever.
    while (!early_.empty() || !constructing_.empty() || !jobs_.empty()) {
        std::deque<Job>& from = !early_.empty()          ? early_
                                : !constructing_.empty() ? constructing_
                                                         : jobs_;
        Job j = std::move(from.front());
        from.pop_front();
        if (j.kind == Job::Kind::Forget) {
            host_->Forget(j.clip);
            rt_->ForgetClip(j.clip);
            continue;
        }
        if (jobsRun_ >= kMaxJobsPerFrame)
            continue;
        // The frame's scripts together get twice one script's time.
        if ((jobsRun_ & 15) == 0 && SteadySeconds() > frameDeadline_)
            jobsRun_ = kMaxJobsPerFrame;
        ++jobsRun_;
        ScriptHost::Place place;
        if (!j.evenIfGone && !host_->Find(j.clip, place))
            continue;
        switch (j.kind) {
        case Job::Kind::Code:
            rt_->RunActions(j.code, j.size, j.clip);
            break;
        case Job::Kind::Method:
            // Most clips never get a handler: no need to make their objects.
            if (rt_->MayHaveMethod(j.clip, j.name))
                rt_->CallClipMethod(j.clip, j.name);
            break;
        case Job::Kind::Adopt:
            rt_->AdoptClass(j.clip, j.name);
            break;
        case Job::Kind::Construct:
            rt_->ConstructClip(j.clip, j.name);
            break;
        case Job::Kind::Forget:
            break;
        }
    }
}

void Movie::RunActions(const uint8_t* code, size_t size, SpriteInstance& target) {
    if (!opened_ || !target.clipId)
        return;
    rt_->RunActions(code, size, target.clipId);
    RunQueue();
}

void Movie::EmitTrace(const std::string& line) {
    if (onTrace)
        onTrace(line);
}

bool Movie::ReadResource(const std::string& url, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (!loader_) {
        error = "no files can be read here";
        return false;
    }
    return loader_->Read(url, out, error);
}

void Movie::EmitUrl(const std::string& url, const std::string& target) {
    // Only commands to the host; a screen saver opens no pages, files or
    // programs.
    if (StartsWithNoCase(url, "fscommand:") && onFSCommand)
        onFSCommand(url.substr(10), target);
}

void Movie::GotoFrame(SpriteInstance& target, int frame, bool play) {
    if (gotoBudget_ <= 0)
        return;
    --gotoBudget_;
    target.playing = play;
    // A frame past the end is not there to go to.
    if (frame >= target.FrameCount())
        return;
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

void Movie::CallFrame(SpriteInstance& target, int frame) {
    if (!target.def || frame < 0 || frame >= target.FrameCount() || !target.clipId)
        return;
    const avm1::ClipId id = target.clipId;
    // Copied: the actions may change the display list the frame belongs to.
    std::vector<swf::Tag> actions;
    for (const swf::Tag& tag : target.def->frames[static_cast<size_t>(frame)].tags)
        if (tag.code == swf::tags::DoAction)
            actions.push_back(tag);
    for (const swf::Tag& tag : actions)
        rt_->RunActions(tag.data, tag.length, id);
}

DisplayObject* Movie::NewScriptObject(avm1::ClipId parent, int depth, SpriteInstance** owner) {
    SpriteInstance* s = host_->Instance(parent);
    if (!s || depth < -kScriptDepthBase || depth >= kMaxScriptDepth)
        return nullptr;
    if (s->nesting >= kMaxNesting)
        return nullptr;
    const int key = depth + kScriptDepthBase;
    Remove(*s, key);
    if (objectCount_ >= kMaxDisplayObjects)
        return nullptr;
    ++objectCount_;
    DisplayObject& obj = s->children[key];
    obj.fromTimeline = false;
    *owner = s;
    return &obj;
}

avm1::ClipId Movie::DuplicateClip(avm1::ClipId clip, const std::string& name, int depth) {
    ScriptHost::Place src;
    if (!host_->Find(clip, src) || !src.obj || !src.owner ||
        (!src.obj->sprite && !src.obj->textField))
        return 0;
    // Text fields start over: from their tag, or empty when a script made them.
    const bool scriptField = src.obj->textField && !src.obj->character;
    // Copied first: the new object may take the place of the original.
    DisplayObject copy;
    copy.characterId = src.obj->characterId;
    copy.character = src.obj->character;
    copy.matrix = src.obj->matrix;
    copy.cxform = src.obj->cxform;
    copy.ratio = src.obj->ratio;
    copy.blend = src.obj->blend;
    copy.visible = src.obj->visible;
    copy.clipActions = src.obj->clipActions;
    copy.scriptTransform = src.obj->scriptTransform;
    copy.scriptMoved = src.obj->scriptMoved;
    // The copy gets its own copy of what the original drew.
    std::shared_ptr<Drawing> drawing;
    if (src.obj->sprite && src.obj->sprite->drawing)
        drawing = std::make_shared<Drawing>(*src.obj->sprite->drawing);
    const avm1::ClipId parent = src.owner->clipId;
    SpriteInstance* owner = nullptr;
    DisplayObject* obj = NewScriptObject(parent, depth, &owner);
    if (!obj)
        return 0;
    const int key = depth + kScriptDepthBase;
    *obj = std::move(copy);
    obj->fromTimeline = false;
    obj->name = name;
    InitObject(*owner, key, *obj);
    if (obj->sprite)
        obj->sprite->drawing = std::move(drawing);
    if (scriptField) {
        auto field = std::make_shared<text::TextField>();
        field->SetFontSource(&fonts_);
        field->SetMovieVersion(Header().version);
        field->SetSize(0, 0);
        obj->textField = std::move(field);
        obj->clipId = host_->Register(owner->clipId, key);
    }
    return obj->clipId;
}

avm1::ClipId Movie::CreateTextField(avm1::ClipId parent, const std::string& name, int depth,
                                    double x, double y, double w, double h) {
    SpriteInstance* owner = nullptr;
    DisplayObject* obj = NewScriptObject(parent, depth, &owner);
    if (!obj)
        return 0;
    auto clampTwips = [](double px) { return std::max(-1e8, std::min(1e8, px * 20)); };
    obj->character = nullptr;
    obj->characterId = 0;
    obj->name = name;
    obj->matrix = raster::Matrix{1, 0, 0, 1, clampTwips(x), clampTwips(y)};
    auto field = std::make_shared<text::TextField>();
    field->SetFontSource(&fonts_);
    field->SetMovieVersion(Header().version);
    // A negative size reaches left of or above the field's position.
    field->SetSize(std::min(std::fabs(w), 1e6), std::min(std::fabs(h), 1e6));
    field->x = std::max(-1e6, std::min(w, 0.0));
    field->y = std::max(-1e6, std::min(h, 0.0));
    obj->textField = std::move(field);
    obj->clipId = host_->Register(owner->clipId, depth + kScriptDepthBase);
    return obj->clipId;
}

void Movie::CollectBoundFields(const SpriteInstance& s, int nesting,
                               std::vector<avm1::ClipId>& out) const {
    if (nesting > kMaxNesting)
        return;
    for (const auto& [depth, obj] : s.children) {
        (void)depth;
        if (obj.textField && !obj.textField->variable.empty() && obj.clipId)
            out.push_back(obj.clipId);
        if (obj.sprite)
            CollectBoundFields(*obj.sprite, nesting + 1, out);
    }
}

avm1::ClipId Movie::CreateEmptyClip(avm1::ClipId parent, const std::string& name, int depth) {
    SpriteInstance* owner = nullptr;
    DisplayObject* obj = NewScriptObject(parent, depth, &owner);
    if (!obj)
        return 0;
    obj->character = &emptySprite_;
    obj->characterId = 0;
    obj->name = name;
    InitObject(*owner, depth + kScriptDepthBase, *obj);
    return obj->clipId;
}

// A script picture is no clip: scripts cannot name it.
bool Movie::AttachBitmap(avm1::ClipId parent, std::shared_ptr<const raster::BitmapData> pixels,
                         int depth, bool smoothing) {
    SpriteInstance* owner = nullptr;
    DisplayObject* obj = pixels ? NewScriptObject(parent, depth, &owner) : nullptr;
    if (!obj)
        return false;
    obj->character = nullptr;
    obj->characterId = 0;
    obj->scriptBitmap = std::move(pixels);
    obj->bitmapSmoothing = smoothing;
    return true;
}

avm1::ClipId Movie::AttachClip(avm1::ClipId parent, const std::string& linkage,
                               const std::string& name, int depth) {
    // A clip of a loaded movie attaches what that movie exports.
    SpriteInstance* into = host_->Instance(parent);
    LoadedMovie* loaded = into ? into->loaded : nullptr;
    uint16_t id = 0;
    if (loaded) {
        auto it = loaded->exports.find(Lower(linkage));
        id = it == loaded->exports.end() ? 0 : it->second;
    } else {
        id = ExportedId(linkage);
    }
    const chars::Character* c = id ? (loaded ? loaded->dict : dict_).Get(id) : nullptr;
    if (!c || c->kind != chars::Kind::Sprite)
        return 0;
    SpriteInstance* owner = nullptr;
    DisplayObject* obj = NewScriptObject(parent, depth, &owner);
    if (!obj)
        return 0;
    obj->characterId = id;
    obj->name = name;
    InitObject(*owner, depth + kScriptDepthBase, *obj);
    const avm1::ClipId clip = obj->clipId;
    if (clip && rt_->RegisteredClass(linkage))
        rt_->ConstructClip(clip, linkage);
    return clip;
}

void Movie::RemoveClip(avm1::ClipId clip) {
    ScriptHost::Place place;
    if (!host_->Find(clip, place) || !place.obj || !place.owner)
        return;
    // Only what sits at a script depth can be removed by a script.
    if (place.depth < kScriptDepthBase)
        return;
    // The focus leaves first; its listeners may change the display list.
    if (DropFocusInside(clip) &&
        (!host_->Find(clip, place) || !place.obj || !place.owner || place.depth < kScriptDepthBase))
        return;
    // The unload handlers run now, and the clip is gone when the script
    // goes on; the frame's other jobs keep their turn.
    std::deque<Job> early, constructing, later;
    early.swap(early_);
    constructing.swap(constructing_);
    later.swap(jobs_);
    Remove(*place.owner, place.depth);
    RunQueue();
    early_.swap(early);
    constructing_.swap(constructing);
    jobs_.swap(later);
}

void Movie::SwapDepths(SpriteInstance& s, int from, int to) {
    if (from == to)
        return;
    // Node handles keep the objects where they are in memory.
    auto a = s.children.extract(from);
    if (a.empty())
        return;
    auto b = s.children.extract(to);
    a.key() = to;
    a.mapped().fromTimeline = false;
    if (a.mapped().clipId)
        host_->Moved(a.mapped().clipId, to);
    if (!b.empty()) {
        b.key() = from;
        b.mapped().fromTimeline = false;
        if (b.mapped().clipId)
            host_->Moved(b.mapped().clipId, from);
        s.children.insert(std::move(b));
    }
    s.children.insert(std::move(a));
}

void Movie::StartDrag(avm1::ClipId clip, bool lockCenter, const swf::Rect* constraint) {
    ScriptHost::Place place;
    if (!host_->Find(clip, place) || !place.obj)
        return;
    dragClip_ = clip;
    dragConstrained_ = constraint != nullptr;
    if (constraint)
        dragRect_ = *constraint;
    dragOffset_ = {0, 0};
    if (!lockCenter) {
        // Keep the grab point: the offset between the pointer and the
        // clip's origin, in the parent's space.
        raster::Matrix parentWorld = host_->WorldMatrix(place.owner ? place.owner->clipId : 0);
        raster::Matrix inv;
        if (parentWorld.Invert(inv)) {
            const raster::Point p = inv.Apply(pointer_);
            dragOffset_ = {place.obj->matrix.tx - p.x, place.obj->matrix.ty - p.y};
        }
    }
    FollowDrag();
}

void Movie::FollowDrag() {
    if (!dragClip_)
        return;
    ScriptHost::Place place;
    if (!host_->Find(dragClip_, place) || !place.obj) {
        dragClip_ = 0;
        return;
    }
    raster::Matrix inv;
    if (!host_->WorldMatrix(place.owner ? place.owner->clipId : 0).Invert(inv))
        return;
    raster::Point p = inv.Apply(pointer_);
    double x = p.x + dragOffset_.x, y = p.y + dragOffset_.y;
    if (dragConstrained_) {
        x = std::max<double>(dragRect_.xMin, std::min<double>(dragRect_.xMax, x));
        y = std::max<double>(dragRect_.yMin, std::min<double>(dragRect_.yMax, y));
    }
    place.obj->matrix.tx = x;
    place.obj->matrix.ty = y;
    place.obj->scriptMoved = true;
    dropTarget_ = ClipUnderPointer(dragClip_);
}

} // namespace zembra::timeline
