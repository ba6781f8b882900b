// Movies and pictures loaded into clips while the movie plays: the loaded
// file's own dictionary and timeline take the place of what the clip played.
#include <algorithm>

#include "timeline/uMovie.h"
#include "timeline/uPictureMovie.h"

namespace zembra::timeline {

namespace {

// Loaded files kept at once, and their bytes together.
constexpr size_t kMaxLoadedMovies = 64;
constexpr size_t kMaxLoadedBytes = size_t(256) << 20;

std::string LowerName(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

} // namespace

bool Movie::LoadInto(avm1::ClipId clip, std::vector<uint8_t> bytes, const std::string& url) {
    ScriptHost::Place place;
    // The main timeline is no clip that can take another movie.
    if (!host_->Find(clip, place) || !place.obj || !place.inst)
        return false;
    if (place.inst->nesting >= kMaxNesting || loaded_.size() >= kMaxLoadedMovies ||
        bytes.size() > kMaxLoadedBytes - std::min(loadedBytes_, kMaxLoadedBytes))
        return false;
    const size_t size = bytes.size();
    const bool picture = LooksLikePicture(bytes);
    if (picture) {
        int w = 0, h = 0;
        bytes = PictureMovie(bytes, w, h);
        if (bytes.empty())
            return false;
    }
    auto lm = std::make_unique<LoadedMovie>();
    std::string error;
    if (!lm->file.Open(std::move(bytes), error))
        return false;
    lm->version = lm->file.GetHeader().version;
    lm->picture = picture;
    lm->url = url;
    lm->bytes = static_cast<uint32_t>(size);
    lm->dict = chars::Dictionary(lm->version);
    for (const swf::Tag& tag : lm->file.Tags()) {
        lm->dict.Define(tag);
        if (tag.code != swf::tags::ExportAssets)
            continue;
        swf::Reader r = tag.Read();
        const uint16_t count = r.U16();
        for (uint16_t i = 0; i < count && !r.Overrun() && !r.AtEnd(); ++i) {
            const uint16_t id = r.U16();
            const std::string name = r.String(lm->version);
            if (!r.Overrun())
                lm->exports.emplace(LowerName(name), id);
        }
    }
    lm->rootDef = BuildTimeline(lm->file.Tags(), lm->version);

    // What the clip played leaves, with its unload events.
    SpriteInstance& s = *place.inst;
    std::vector<int> depths;
    for (const auto& [depth, obj] : s.children) {
        (void)obj;
        depths.push_back(depth);
    }
    for (int depth : depths)
        Remove(s, depth);
    s.drawing.reset();
    s.loaded = lm.get();
    s.def = &lm->rootDef;
    s.frame = -1;
    s.playing = true;
    s.bornTick = tick_;
    loadedBytes_ += size;
    loaded_.push_back(std::move(lm));
    ApplyFrame(s, 0, true);
    s.frame = 0;
    return true;
}

void Movie::Unload(avm1::ClipId clip) {
    ScriptHost::Place place;
    if (!host_->Find(clip, place) || !place.obj || !place.inst)
        return;
    SpriteInstance& s = *place.inst;
    std::vector<int> depths;
    for (const auto& [depth, obj] : s.children) {
        (void)obj;
        depths.push_back(depth);
    }
    for (int depth : depths)
        Remove(s, depth);
    // The clip stays but what it played is gone: it hears its unload.
    QueueClipEvent(early_, clip, place.obj, clipevents::Unload, "onUnload");
    s.drawing.reset();
    s.def = &emptyDef_;
    s.frame = 0;
    s.playing = false;
}

const LoadedMovie* Movie::LoadedTop(avm1::ClipId clip) {
    SpriteInstance* s = host_->Instance(clip);
    if (!s || !s->loaded)
        return nullptr;
    const bool top = !s->parent || s->parent->loaded != s->loaded;
    return top ? s->loaded : nullptr;
}

bool Movie::LoadLevel(int level, std::vector<uint8_t> bytes, const std::string& url) {
    if (level <= 0 || level > 0xFFFF || !opened_)
        return false;
    if (!levels_.children.count(level) && loaded_.size() >= kMaxLoadedMovies)
        return false;
    UnloadLevel(level);
    DisplayObject& obj = levels_.children[level];
    obj.character = &emptySprite_;
    obj.characterId = 0;
    obj.fromTimeline = false;
    obj.name = "_level" + std::to_string(level);
    InitObject(levels_, level, obj);
    if (!obj.clipId || !LoadInto(obj.clipId, std::move(bytes), url)) {
        UnloadLevel(level);
        return false;
    }
    return true;
}

void Movie::UnloadLevel(int level) {
    if (levels_.children.count(level))
        Remove(levels_, level);
}

double Movie::FileBytes(avm1::ClipId clip) {
    if (clip == ScriptHost::kRoot)
        return Header().fileLength;
    // Only a loaded movie's own main timeline counts its file.
    if (const LoadedMovie* lm = LoadedTop(clip))
        return lm->bytes;
    // A sprite counts the tags it holds, headers and its end included.
    ScriptHost::Place place;
    if (!host_->Find(clip, place) || !place.obj || !place.obj->character ||
        place.obj->character->kind != chars::Kind::Sprite)
        return 0;
    double n = 2;
    for (const swf::Tag& tag : static_cast<const chars::SpriteChar*>(place.obj->character)->tags)
        n += tag.length + (tag.length >= 63 ? 6 : 2);
    return n;
}

} // namespace zembra::timeline
