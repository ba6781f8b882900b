#include "timeline/uTimelineDef.h"

#include <algorithm>
#include <cctype>

#include "chars/uCharacters.h"

namespace zembra::timeline {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool IsControlTag(uint16_t code) {
    switch (code) {
    case swf::tags::PlaceObject:
    case swf::tags::PlaceObject2:
    case swf::tags::PlaceObject3:
    case swf::tags::RemoveObject:
    case swf::tags::RemoveObject2:
    case swf::tags::DoAction:
    case swf::tags::DoInitAction:
    case swf::tags::FrameLabel:
    case swf::tags::SetBackgroundColor:
        return true;
    default:
        return false;
    }
}

// The clip-actions record: reserved U16, all-events flags, then handlers up
// to a zero flags field. A handler that runs past the tag ends the list.
void ReadClipActions(swf::Reader& r, int version, std::vector<ClipEventAction>& out) {
    const bool wide = version >= 6;
    r.U16();
    if (wide)
        r.U32();
    else
        r.U16();
    // A handler takes at least 6 bytes, so the tag's length bounds the loop.
    while (!r.Overrun() && !r.AtEnd()) {
        const uint32_t events = wide ? r.U32() : r.U16();
        if (events == 0 || r.Overrun())
            break;
        const uint32_t size = r.U32();
        if (r.Overrun() || size > r.Remaining())
            break;
        const uint8_t* start = r.Here();
        r.Skip(size);
        ClipEventAction a;
        a.events = events;
        a.code = start;
        a.size = size;
        if ((events & clipevents::KeyPress) && size > 0) {
            a.key = start[0];
            ++a.code;
            --a.size;
        }
        out.push_back(a);
    }
}

} // namespace

int TimelineDef::FrameOfLabel(const std::string& label) const {
    auto it = labels.find(Lower(label));
    return it == labels.end() ? -1 : it->second;
}

TimelineDef BuildTimeline(const std::vector<swf::Tag>& tags, int version) {
    TimelineDef def;
    FrameDef current;
    for (const swf::Tag& tag : tags) {
        if (tag.code == swf::tags::ShowFrame) {
            def.frames.push_back(std::move(current));
            current = FrameDef();
            continue;
        }
        if (!IsControlTag(tag.code))
            continue;
        if (tag.code == swf::tags::FrameLabel) {
            swf::Reader r = tag.Read();
            const std::string label = Lower(r.String(version));
            def.labels.emplace(label, static_cast<int>(def.frames.size()));
        }
        current.tags.push_back(tag);
    }
    if (def.frames.empty())
        def.frames.push_back(std::move(current));
    for (auto it = def.labels.begin(); it != def.labels.end();) {
        if (it->second >= static_cast<int>(def.frames.size()))
            it = def.labels.erase(it);
        else
            ++it;
    }
    return def;
}

bool IsPlaceTag(uint16_t code) {
    return code == swf::tags::PlaceObject || code == swf::tags::PlaceObject2 ||
           code == swf::tags::PlaceObject3;
}

bool IsRemoveTag(uint16_t code) {
    return code == swf::tags::RemoveObject || code == swf::tags::RemoveObject2;
}

uint16_t RemovedDepth(const swf::Tag& tag) {
    swf::Reader r = tag.Read();
    if (tag.code == swf::tags::RemoveObject)
        r.U16();
    return r.U16();
}

bool ReadPlacement(const swf::Tag& tag, int version, Placement& p) {
    swf::Reader r = tag.Read();
    p = Placement();
    if (tag.code == swf::tags::PlaceObject) {
        p.hasCharacter = true;
        p.characterId = r.U16();
        p.depth = r.U16();
        if (r.Overrun())
            return false;
        p.hasMatrix = true;
        p.matrix = r.ReadMatrix();
        if (!r.AtEnd()) {
            p.hasCxform = true;
            p.cxform = r.ReadCxform(false);
        }
        return true;
    }
    const uint8_t flags = r.U8();
    uint8_t flags2 = 0;
    if (tag.code == swf::tags::PlaceObject3)
        flags2 = r.U8();
    p.depth = r.U16();
    if (r.Overrun())
        return false;
    p.move = flags & 0x01;
    p.hasCharacter = flags & 0x02;
    if ((flags2 & 0x08) || ((flags2 & 0x10) && p.hasCharacter))
        r.CString(); // class name
    if (p.hasCharacter)
        p.characterId = r.U16();
    if (flags & 0x04) {
        p.hasMatrix = true;
        p.matrix = r.ReadMatrix();
    }
    if (flags & 0x08) {
        p.hasCxform = true;
        p.cxform = r.ReadCxform(true);
    }
    if (flags & 0x10) {
        p.hasRatio = true;
        p.ratio = r.U16();
    }
    if (flags & 0x20) {
        p.hasName = true;
        p.name = r.String(version);
    }
    if (flags & 0x40) {
        p.hasClipDepth = true;
        p.clipDepth = r.U16();
    }
    if (flags2 & 0x01)
        chars::SkipFilterList(r);
    if (flags2 & 0x02) {
        p.hasBlend = true;
        p.blend = chars::BlendFromByte(r.U8());
    }
    if (flags2 & 0x04)
        r.U8(); // cache as bitmap: drawn as ordinary drawing
    if (flags2 & 0x20) {
        p.hasVisible = true;
        p.visible = r.U8() != 0;
    }
    if (flags2 & 0x40) {
        p.hasBackground = true;
        p.background = r.ReadRgba();
        p.background.a = 255;
    }
    if ((flags & 0x80) && !r.Overrun())
        ReadClipActions(r, version, p.clipActions);
    return true;
}

} // namespace zembra::timeline
