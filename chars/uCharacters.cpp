#include "chars/uCharacters.h"

#include <algorithm>

#include "chars/uBitmapDecode.h"
#include "chars/uFilterList.h"

namespace zembra::chars {

namespace {

constexpr size_t kMaxTotalBitmapPixels = size_t(1) << 26;
constexpr size_t kMaxGlyphs = 1u << 16;
constexpr size_t kMaxTextGlyphs = 1u << 18;
constexpr size_t kMaxButtonRecords = 1u << 12;
// All sprites' tags together (each costs memory even when empty).
constexpr size_t kMaxSpriteTags = size_t(1) << 22;

} // namespace

int FontChar::GlyphFor(uint32_t code) const {
    for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == code)
            return static_cast<int>(i);
    return -1;
}

raster::BlendMode BlendFromByte(uint8_t v) {
    using B = raster::BlendMode;
    static const B modes[] = {B::Normal,  B::Normal, B::Layer,      B::Multiply, B::Screen,
                              B::Lighten, B::Darken, B::Difference, B::Add,      B::Subtract,
                              B::Invert,  B::Alpha,  B::Erase,      B::Overlay,  B::HardLight};
    return v < sizeof modes / sizeof modes[0] ? modes[v] : B::Normal;
}

bool SkipFilterList(swf::Reader& r) {
    const unsigned count = r.U8();
    for (unsigned i = 0; i < count && !r.Overrun(); ++i) {
        const unsigned id = r.U8();
        switch (id) {
        case 0:
            r.Skip(23);
            break;
        case 1:
            r.Skip(9);
            break;
        case 2:
            r.Skip(15);
            break;
        case 3:
            r.Skip(27);
            break;
        case 4:
        case 7: {
            const unsigned colors = r.U8();
            r.Skip(colors * 5 + 19);
            break;
        }
        case 5: {
            const unsigned mx = r.U8(), my = r.U8();
            r.Skip(8 + size_t(mx) * my * 4 + 5);
            break;
        }
        case 6:
            r.Skip(80);
            break;
        default:
            return false;
        }
    }
    return !r.Overrun();
}

void Dictionary::Put(std::shared_ptr<Character> c, uint16_t id) {
    c->id = id;
    chars_[id] = std::move(c);
}

const Character* Dictionary::Get(uint16_t id) const {
    auto it = chars_.find(id);
    return it == chars_.end() ? nullptr : it->second.get();
}

Character* Dictionary::GetMutable(uint16_t id) {
    auto it = chars_.find(id);
    return it == chars_.end() ? nullptr : it->second.get();
}

const FontChar* Dictionary::FindFont(const std::string& name, bool bold, bool italic) const {
    for (const auto& [id, c] : chars_) {
        (void)id;
        if (c->kind != Kind::Font)
            continue;
        const auto* f = static_cast<const FontChar*>(c.get());
        if (f->bold == bold && f->italic == italic && !f->glyphs.empty() && f->name == name)
            return f;
    }
    return nullptr;
}

std::shared_ptr<const raster::Bitmap> Dictionary::BitmapFor(uint16_t id) const {
    auto it = chars_.find(id);
    if (it == chars_.end() || it->second->kind != Kind::Bitmap)
        return nullptr;
    return static_cast<const BitmapChar*>(it->second.get())->bitmap;
}

bool Dictionary::Define(const swf::Tag& tag) {
    swf::Reader r = tag.Read();
    switch (tag.code) {
    case swf::tags::DefineShape:
        DefineShape(r, 1);
        return true;
    case swf::tags::DefineShape2:
        DefineShape(r, 2);
        return true;
    case swf::tags::DefineShape3:
        DefineShape(r, 3);
        return true;
    case swf::tags::DefineShape4:
        DefineShape(r, 4);
        return true;
    case swf::tags::DefineMorphShape:
    case swf::tags::DefineMorphShape2: {
        const uint16_t id = r.U16();
        auto m = std::make_shared<MorphChar>();
        m->morph.Read(r, tag.code == swf::tags::DefineMorphShape2 ? 2 : 1);
        Put(m, id);
        return true;
    }
    case swf::tags::JPEGTables:
        jpegTables_.assign(tag.data, tag.data + tag.length);
        return true;
    case swf::tags::DefineBits:
    case swf::tags::DefineBitsJPEG2:
    case swf::tags::DefineBitsJPEG3:
    case swf::tags::DefineBitsJPEG4: {
        const uint16_t id = r.U16();
        size_t imageLength = r.Remaining();
        if (tag.code == swf::tags::DefineBitsJPEG3 || tag.code == swf::tags::DefineBitsJPEG4) {
            imageLength = r.U32();
            if (tag.code == swf::tags::DefineBitsJPEG4)
                r.U16();
            imageLength = std::min(imageLength, r.Remaining());
        }
        if (r.Overrun() || decodedPixels_ >= kMaxTotalBitmapPixels)
            return true;
        const uint8_t* image = r.Here();
        static const std::vector<uint8_t> none;
        auto bmp =
            DecodeImage(image, imageLength, tag.code == swf::tags::DefineBits ? jpegTables_ : none);
        if (!bmp)
            return true;
        const bool jpeg =
            imageLength >= 2 && image[0] == 0xff && (image[1] == 0xd8 || image[1] == 0xd9);
        if (jpeg &&
            (tag.code == swf::tags::DefineBitsJPEG3 || tag.code == swf::tags::DefineBitsJPEG4)) {
            r.Skip(imageLength);
            if (r.Remaining() > 0)
                ApplyAlphaPlane(*bmp, r.Here(), r.Remaining());
        }
        decodedPixels_ += bmp->pixels.size();
        auto c = std::make_shared<BitmapChar>();
        c->bitmap = std::move(bmp);
        Put(c, id);
        return true;
    }
    case swf::tags::DefineBitsLossless:
    case swf::tags::DefineBitsLossless2: {
        const uint16_t id = r.U16();
        if (r.Overrun() || decodedPixels_ >= kMaxTotalBitmapPixels)
            return true;
        auto bmp = DecodeLossless(r.Here(), r.Remaining(),
                                  tag.code == swf::tags::DefineBitsLossless2 ? 2 : 1);
        if (!bmp)
            return true;
        decodedPixels_ += bmp->pixels.size();
        auto c = std::make_shared<BitmapChar>();
        c->bitmap = std::move(bmp);
        Put(c, id);
        return true;
    }
    case swf::tags::DefineFont:
        DefineFont1(r);
        return true;
    case swf::tags::DefineFont2:
        DefineFont23(r, 2);
        return true;
    case swf::tags::DefineFont3:
        DefineFont23(r, 3);
        return true;
    case swf::tags::DefineFontInfo:
        DefineFontInfo(r, 1);
        return true;
    case swf::tags::DefineFontInfo2:
        DefineFontInfo(r, 2);
        return true;
    case swf::tags::DefineText:
        DefineText(r, 1);
        return true;
    case swf::tags::DefineText2:
        DefineText(r, 2);
        return true;
    case swf::tags::DefineEditText:
        DefineEditText(r);
        return true;
    case 74: { // CSMTextSettings: how an edit text is anti-aliased
        const uint16_t id = r.U16();
        const uint8_t flags = r.U8();
        const double thickness = r.F32(), sharpness = r.F32();
        if (auto* e = As<EditTextChar>(id, Kind::EditText); e && !r.Overrun()) {
            e->hasTextSettings = true;
            e->advancedAntiAlias = (flags >> 6) == 1;
            e->gridFit = (flags >> 3) & 7;
            e->thickness = thickness;
            e->sharpness = sharpness;
        }
        return true;
    }
    case swf::tags::DefineSprite: {
        const uint16_t id = r.U16();
        auto s = std::make_shared<SpriteChar>();
        s->frameCount = r.U16();
        if (r.Overrun())
            return true;
        if (spriteTags_ >= kMaxSpriteTags)
            return true;
        s->tags = swf::SplitTags(r.Here(), r.Remaining());
        if (s->tags.size() > kMaxSpriteTags - spriteTags_)
            s->tags.resize(kMaxSpriteTags - spriteTags_);
        spriteTags_ += s->tags.size();
        Put(s, id);
        return true;
    }
    case swf::tags::DefineButton:
        DefineButton(r, 1);
        return true;
    case swf::tags::DefineButton2:
        DefineButton(r, 2);
        return true;
    case swf::tags::DefineButtonCxform: {
        const uint16_t id = r.U16();
        const raster::ColorTransform cx = r.ReadCxform(false);
        if (auto* b = As<ButtonChar>(id, Kind::Button))
            for (ButtonRecord& rec : b->records)
                rec.cxform = cx;
        return true;
    }
    default:
        return false;
    }
}

void Dictionary::DefineShape(swf::Reader& r, int shapeVersion) {
    const uint16_t id = r.U16();
    auto s = std::make_shared<ShapeChar>();
    s->geometry.bounds = r.ReadRect();
    if (shapeVersion >= 4) {
        r.ReadRect(); // edge bounds
        const uint8_t flags = r.U8();
        if (flags & 0x04)
            s->geometry.rule = raster::FillRule::NonZero;
    }
    ShapeRecords records;
    ReadShapeWithStyle(r, shapeVersion, records);
    const BitmapLookup lookup = [this](uint16_t bid) { return BitmapFor(bid); };
    const swf::Rect bounds = s->geometry.bounds;
    const raster::FillRule rule = s->geometry.rule;
    s->geometry = BuildGeometry(records, lookup);
    s->geometry.bounds = bounds;
    s->geometry.rule = rule;
    Put(s, id);
}

void Dictionary::DefineFont1(swf::Reader& r) {
    const uint16_t id = r.U16();
    auto f = std::make_shared<FontChar>();
    swf::Reader table(r.Here(), r.Remaining());
    const size_t first = table.U16();
    const size_t count = std::min(first / 2, kMaxGlyphs);
    std::vector<size_t> offsets;
    table = swf::Reader(r.Here(), r.Remaining());
    for (size_t i = 0; i < count; ++i)
        offsets.push_back(table.U16());
    for (size_t i = 0; i < count; ++i) {
        Glyph g;
        const size_t start = offsets[i];
        const size_t end = i + 1 < count ? offsets[i + 1] : r.Remaining();
        if (start < end && end <= r.Remaining()) {
            swf::Reader gr(r.Here() + start, end - start);
            ShapeRecords rec;
            const unsigned fb = gr.UB(4), lb = gr.UB(4);
            ReadShapeRecords(gr, 1, rec, fb, lb);
            g.outline = BuildOutline(rec);
        }
        f->glyphs.push_back(std::move(g));
    }
    Put(f, id);
}

void Dictionary::DefineFont23(swf::Reader& r, int fontVersion) {
    const uint16_t id = r.U16();
    auto f = std::make_shared<FontChar>();
    if (fontVersion == 3)
        f->emSize = 20480;
    const uint8_t flags = r.U8();
    f->hasLayout = flags & 0x80;
    const bool wideOffsets = flags & 0x08;
    const bool wideCodes = flags & 0x04;
    f->italic = flags & 0x02;
    f->bold = flags & 0x01;
    r.U8(); // language
    const size_t nameLen = r.U8();
    swf::Reader name = r.Sub(nameLen);
    f->name.assign(reinterpret_cast<const char*>(name.Here()), name.Size());
    while (!f->name.empty() && f->name.back() == '\0')
        f->name.pop_back();
    const size_t count = std::min<size_t>(r.U16(), kMaxGlyphs);
    const uint8_t* tableStart = r.Here();
    const size_t tableAvail = r.Remaining();
    std::vector<size_t> offsets;
    for (size_t i = 0; i < count && !r.Overrun(); ++i)
        offsets.push_back(wideOffsets ? r.U32() : r.U16());
    const size_t codeOffset = wideOffsets ? r.U32() : r.U16();
    for (size_t i = 0; i < offsets.size(); ++i) {
        Glyph g;
        const size_t start = offsets[i];
        const size_t end = i + 1 < offsets.size() ? offsets[i + 1] : codeOffset;
        if (start < end && end <= tableAvail) {
            swf::Reader gr(tableStart + start, end - start);
            ShapeRecords rec;
            const unsigned fb = gr.UB(4), lb = gr.UB(4);
            ReadShapeRecords(gr, 1, rec, fb, lb);
            g.outline = BuildOutline(rec);
        }
        f->glyphs.push_back(std::move(g));
    }
    if (codeOffset <= tableAvail) {
        swf::Reader cr(tableStart + codeOffset, tableAvail - codeOffset);
        for (size_t i = 0; i < f->glyphs.size(); ++i)
            f->codes.push_back(wideCodes ? cr.U16()
                                         : cr.U8()); // the flag rules, in DefineFont3 too
        if (f->hasLayout) {
            f->ascent = cr.U16();
            f->descent = cr.U16();
            f->leading = cr.S16();
            for (size_t i = 0; i < f->glyphs.size(); ++i)
                f->glyphs[i].advance = cr.S16();
            if (cr.Overrun())
                f->hasLayout = false;
        }
    }
    Put(f, id);
}

void Dictionary::DefineFontInfo(swf::Reader& r, int infoVersion) {
    const uint16_t id = r.U16();
    FontChar* f = As<FontChar>(id, Kind::Font);
    if (!f)
        return;
    const size_t nameLen = r.U8();
    swf::Reader name = r.Sub(nameLen);
    f->name.assign(reinterpret_cast<const char*>(name.Here()), name.Size());
    const uint8_t flags = r.U8();
    f->italic = flags & 0x04;
    f->bold = flags & 0x02;
    const bool wide = (flags & 0x01) || infoVersion == 2;
    if (infoVersion == 2)
        r.U8();
    f->codes.clear();
    for (size_t i = 0; i < f->glyphs.size() && !r.AtEnd(); ++i)
        f->codes.push_back(wide ? r.U16() : r.U8());
}

void Dictionary::DefineText(swf::Reader& r, int textVersion) {
    const uint16_t id = r.U16();
    auto t = std::make_shared<TextChar>();
    t->bounds = r.ReadRect();
    t->matrix = r.ReadMatrix();
    const unsigned glyphBits = r.U8();
    const unsigned advanceBits = r.U8();
    TextRun current;
    current.color = raster::Rgba{0, 0, 0, 255};
    size_t total = 0;
    while (!r.Overrun()) {
        const uint8_t flags = r.U8();
        if (flags == 0 || r.Overrun())
            break;
        if (flags & 0x08)
            current.fontId = r.U16();
        if (flags & 0x04)
            current.color = textVersion == 2 ? r.ReadRgba() : r.ReadRgb();
        if (flags & 0x01)
            current.x = r.S16();
        if (flags & 0x02)
            current.y = r.S16();
        if (flags & 0x08)
            current.height = r.U16();
        const unsigned count = r.U8();
        TextRun run = current;
        run.glyphs.clear();
        for (unsigned i = 0; i < count && !r.Overrun() && total < kMaxTextGlyphs; ++i, ++total) {
            TextGlyph g;
            g.index = r.UB(glyphBits);
            g.advance = r.SB(advanceBits);
            run.glyphs.push_back(g);
        }
        r.Align();
        // Records without an x offset continue where the previous ended.
        for (const TextGlyph& g : run.glyphs)
            current.x += g.advance;
        t->runs.push_back(std::move(run));
    }
    Put(t, id);
}

void Dictionary::DefineEditText(swf::Reader& r) {
    const uint16_t id = r.U16();
    auto e = std::make_shared<EditTextChar>();
    e->bounds = r.ReadRect();
    const uint8_t f1 = r.U8();
    const uint8_t f2 = r.U8();
    const bool hasText = f1 & 0x80;
    e->wordWrap = f1 & 0x40;
    e->multiline = f1 & 0x20;
    e->password = f1 & 0x10;
    e->readOnly = f1 & 0x08;
    const bool hasColor = f1 & 0x04;
    const bool hasMaxLength = f1 & 0x02;
    e->hasFont = f1 & 0x01;
    const bool hasFontClass = f2 & 0x80;
    e->autoSize = f2 & 0x40;
    const bool hasLayout = f2 & 0x20;
    e->border = f2 & 0x08;
    e->noSelect = f2 & 0x10;
    e->html = f2 & 0x02;
    e->useOutlines = f2 & 0x01;
    if (e->hasFont)
        e->fontId = r.U16();
    if (hasFontClass)
        r.CString();
    if (e->hasFont || hasFontClass)
        e->height = r.U16();
    if (hasColor)
        e->color = r.ReadRgba();
    if (hasMaxLength)
        e->maxLength = r.U16();
    if (hasLayout) {
        e->align = r.U8();
        e->leftMargin = r.U16();
        e->rightMargin = r.U16();
        e->indent = r.S16(); // signed: a hanging indent is negative
        e->leading = r.S16();
    }
    e->variable = r.String(version_);
    if (hasText) {
        e->text = r.String(version_);
    }
    Put(e, id);
}

void Dictionary::DefineButton(swf::Reader& r, int buttonVersion) {
    const uint16_t id = r.U16();
    auto b = std::make_shared<ButtonChar>();
    size_t actionOffset = 0;
    size_t actionBase = 0;
    if (buttonVersion == 2) {
        b->trackAsMenu = r.U8() & 1;
        actionBase = r.Pos();
        actionOffset = r.U16();
    }
    while (!r.Overrun() && b->records.size() < kMaxButtonRecords) {
        const uint8_t flags = r.U8();
        if (flags == 0)
            break;
        ButtonRecord rec;
        rec.hit = flags & 0x08;
        rec.down = flags & 0x04;
        rec.over = flags & 0x02;
        rec.up = flags & 0x01;
        rec.characterId = r.U16();
        rec.depth = r.U16();
        rec.matrix = r.ReadMatrix();
        if (buttonVersion == 2) {
            rec.cxform = r.ReadCxform(true);
            if (flags & 0x10) {
                auto filters = std::make_shared<std::vector<raster::Filter>>();
                if (!ReadFilterList(r, *filters))
                    break;
                if (!filters->empty())
                    rec.filters = std::move(filters);
            }
            if (flags & 0x20)
                rec.blend = BlendFromByte(r.U8());
        }
        if (r.Overrun())
            break;
        b->records.push_back(rec);
    }
    if (buttonVersion == 1) {
        ButtonAction a;
        a.conditions = 0x0008;
        a.actions.assign(r.Here(), r.Here() + r.Remaining());
        b->actions.push_back(std::move(a));
    } else if (actionOffset != 0) {
        size_t pos = actionBase + actionOffset;
        swf::Reader all(r.Here() - r.Pos(), r.Size());
        for (int guard = 0; guard < 256 && pos + 4 <= r.Size(); ++guard) {
            swf::Reader ar(r.Here() - r.Pos() + pos, r.Size() - pos);
            const size_t next = ar.U16();
            ButtonAction a;
            a.conditions = ar.U16();
            const size_t len =
                next ? std::min(next - std::min<size_t>(next, 4), ar.Remaining()) : ar.Remaining();
            a.actions.assign(ar.Here(), ar.Here() + len);
            b->actions.push_back(std::move(a));
            if (next == 0)
                break;
            pos += next;
        }
        (void)all;
    }
    b->records.shrink_to_fit();
    Put(b, id);
}

} // namespace zembra::chars
