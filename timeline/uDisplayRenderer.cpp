#include "timeline/uDisplayRenderer.h"

#include "text/uDictionaryFonts.h"
#include "text/uFieldFromTag.h"
#include "timeline/uDrawing.h"
#include "timeline/uLoadedMovie.h"
#include "timeline/uTextFieldRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace zembra::timeline {

namespace {

// Grows `r` (empty until `any`) to take in `b`; empty rects add nothing.
void Enclose(swf::Rect& r, bool& any, const swf::Rect& b) {
    if (b.xMax <= b.xMin && b.yMax <= b.yMin)
        return;
    if (!any) {
        r = b;
        any = true;
        return;
    }
    r.xMin = std::min(r.xMin, b.xMin);
    r.yMin = std::min(r.yMin, b.yMin);
    r.xMax = std::max(r.xMax, b.xMax);
    r.yMax = std::max(r.yMax, b.yMax);
}

raster::Paint Solid(raster::Rgba c) {
    raster::Paint p;
    p.kind = raster::Paint::Kind::Solid;
    p.color = c;
    return p;
}

std::vector<raster::Segment> Rect(double x0, double y0, double x1, double y1) {
    auto line = [](double ax, double ay, double bx, double by) {
        raster::Segment s;
        s.from = {ax, ay};
        s.to = {bx, by};
        s.control = s.to;
        return s;
    };
    return {line(x0, y0, x1, y0), line(x1, y0, x1, y1), line(x1, y1, x0, y1), line(x0, y1, x0, y0)};
}

} // namespace

void DisplayRenderer::DrawList(const SpriteInstance& s, const raster::Matrix& toPixels,
                               const raster::ColorTransform& color) {
    if (lists_ == 0) {
        firstListToPixels_ = toPixels;
        // The stage's own zoom: filters scale with it, not with the objects'.
        stageScaleX_ = std::hypot(toPixels.a, toPixels.b) * 20;
        stageScaleY_ = std::hypot(toPixels.c, toPixels.d) * 20;
    }
    ++lists_;
    // A loaded movie's timeline names the characters of its own file.
    chars::Dictionary* const outer = dict_;
    if (s.loaded)
        dict_ = &s.loaded->dict;
    // What the clip's drawing commands drew lies under its children.
    if (s.drawing && !s.drawing->Empty())
        DrawGeometry(s.drawing->Geometry(), toPixels, color);
    std::vector<int> maskEnds;
    for (const auto& [depth, obj] : s.children) {
        while (!maskEnds.empty() && depth > maskEnds.back()) {
            canvas_.PopMask();
            maskEnds.pop_back();
        }
        if (obj.clipDepth > 0) {
            canvas_.BeginMask();
            ++masks_;
            DrawObject(obj, toPixels, raster::ColorTransform());
            --masks_;
            canvas_.EndMask();
            maskEnds.push_back(obj.clipDepth);
            continue;
        }
        if (!obj.visible)
            continue;
        DrawObject(obj, toPixels, color);
    }
    while (!maskEnds.empty()) {
        canvas_.PopMask();
        maskEnds.pop_back();
    }
    dict_ = outer;
    --lists_;
}

void DisplayRenderer::PushLayerFor(raster::BlendMode blend, const raster::FilterList* filters) {
    if (blend != raster::BlendMode::Normal || (filters && masks_ == 0))
        canvas_.PushLayer();
}

void DisplayRenderer::PopLayerFor(raster::BlendMode blend, const raster::FilterList* filters) {
    if (filters && masks_ == 0)
        canvas_.PopLayer(blend, *filters, stageScaleX_, stageScaleY_);
    else if (blend != raster::BlendMode::Normal)
        canvas_.PopLayer(blend);
}

swf::Rect DisplayRenderer::LocalBounds(const DisplayObject& obj, int nesting) {
    swf::Rect r;
    if (const text::TextField* f = obj.textField.get()) {
        auto twips = [](double px) {
            return static_cast<int32_t>(std::max(-2e9, std::min(2e9, std::round(px * 20))));
        };
        r.xMin = twips(f->x);
        r.yMin = twips(f->y);
        r.xMax = twips(f->x + f->Width());
        r.yMax = twips(f->y + f->Height());
        return r;
    }
    if (obj.scriptBitmap) {
        r.xMax = obj.scriptBitmap->Width() * 20;
        r.yMax = obj.scriptBitmap->Height() * 20;
        return r;
    }
    const chars::Character* c = obj.character;
    if (!c)
        return r;
    switch (c->kind) {
    case chars::Kind::Shape:
        return static_cast<const chars::ShapeChar*>(c)->geometry.bounds;
    case chars::Kind::Morph: {
        auto* morph = const_cast<chars::MorphChar*>(static_cast<const chars::MorphChar*>(c));
        const chars::BitmapLookup lookup = [this](uint16_t id) { return Dict().BitmapFor(id); };
        return morph->morph.At(obj.ratio, lookup).bounds;
    }
    case chars::Kind::EditText:
        return static_cast<const chars::EditTextChar*>(c)->bounds;
    case chars::Kind::Text:
        return static_cast<const chars::TextChar*>(c)->bounds;
    case chars::Kind::Bitmap: {
        const auto& bmp = static_cast<const chars::BitmapChar*>(c)->bitmap;
        if (bmp) {
            r.xMax = bmp->width * 20;
            r.yMax = bmp->height * 20;
        }
        return r;
    }
    case chars::Kind::Button: {
        // The characters of the state it shows.
        if (nesting > 64)
            return r;
        const auto* button = static_cast<const chars::ButtonChar*>(c);
        bool any = false;
        for (const chars::ButtonRecord& rec : button->records) {
            const bool shown = obj.buttonState == ButtonState::Down   ? rec.down
                               : obj.buttonState == ButtonState::Over ? rec.over
                                                                      : rec.up;
            if (!shown)
                continue;
            DisplayObject part;
            part.characterId = rec.characterId;
            part.character = dict_->GetMutable(rec.characterId);
            part.matrix = rec.matrix;
            if (!part.character || part.character->kind == chars::Kind::Button)
                continue;
            Enclose(r, any, Bounds(part, nesting + 1));
        }
        return r;
    }
    default:
        break;
    }
    if (!obj.sprite || nesting > 64)
        return r;
    bool any = false;
    chars::Dictionary* const outer = dict_;
    if (obj.sprite->loaded)
        dict_ = &obj.sprite->loaded->dict;
    if (obj.sprite->drawing && !obj.sprite->drawing->Empty()) {
        r = obj.sprite->drawing->Bounds();
        any = r.xMax > r.xMin || r.yMax > r.yMin;
    }
    for (const auto& [depth, child] : obj.sprite->children) {
        (void)depth;
        Enclose(r, any, Bounds(child, nesting + 1));
    }
    dict_ = outer;
    return r;
}

swf::Rect DisplayRenderer::Bounds(const DisplayObject& obj, int nesting) {
    const swf::Rect l = LocalBounds(obj, nesting);
    if (l.xMax <= l.xMin && l.yMax <= l.yMin)
        return l;
    const raster::Point corners[4] = {{double(l.xMin), double(l.yMin)},
                                      {double(l.xMax), double(l.yMin)},
                                      {double(l.xMin), double(l.yMax)},
                                      {double(l.xMax), double(l.yMax)}};
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const raster::Point& p : corners) {
        const raster::Point q = obj.matrix.Apply(p);
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x);
        y1 = std::max(y1, q.y);
    }
    auto clampInt = [](double v) { return static_cast<int32_t>(std::max(-2e9, std::min(2e9, v))); };
    swf::Rect r;
    r.xMin = clampInt(x0);
    r.yMin = clampInt(y0);
    r.xMax = clampInt(x1);
    r.yMax = clampInt(y1);
    return r;
}

void DisplayRenderer::DrawObject(const DisplayObject& obj, const raster::Matrix& parent,
                                 const raster::ColorTransform& parentColor) {
    if (!obj.character && !obj.textField && !obj.scriptBitmap)
        return;
    // Erasing and alpha only act inside a layer; with none above they hide
    // the object.
    if ((obj.blend == raster::BlendMode::Erase || obj.blend == raster::BlendMode::Alpha) &&
        layers_ == 0)
        return;
    // A setMask mask shows only as the other clip's mask.
    if (obj.usedAsMask && scriptMasks_ == 0)
        return;
    const DisplayObject* mask = nullptr;
    raster::Matrix maskParent;
    if (obj.maskClip && scriptMasks_ == 0 && maskLookup_ &&
        maskLookup_(obj.maskClip, mask, maskParent) && mask && mask != &obj) {
        canvas_.BeginMask();
        ++masks_;
        ++scriptMasks_;
        DrawObject(*mask, firstListToPixels_.Concat(maskParent), raster::ColorTransform());
        --scriptMasks_;
        --masks_;
        canvas_.EndMask();
        DrawUnmasked(obj, parent, parentColor);
        canvas_.PopMask();
        return;
    }
    DrawUnmasked(obj, parent, parentColor);
}

void DisplayRenderer::DrawUnmasked(const DisplayObject& obj, const raster::Matrix& parent,
                                   const raster::ColorTransform& parentColor) {
    raster::Matrix m = parent.Concat(obj.matrix);
    if (obj.filters && masks_ == 0) {
        // A filtered object is drawn as a picture placed on whole pixels;
        // without anti-aliasing that picture is sampled half a pixel off the
        // centres other drawing samples at.
        m.tx = std::floor(m.tx);
        m.ty = std::floor(m.ty);
        if (canvas_.GetQuality() == raster::Quality::Low) {
            m.tx += 0.5;
            m.ty += 0.5;
        }
    }
    const raster::ColorTransform color = parentColor.Concat(obj.cxform);
    PushLayerFor(obj.blend, obj.filters.get());
    if (obj.blend == raster::BlendMode::Layer)
        ++layers_;
    if (obj.hasBackground) {
        const swf::Rect b = LocalBounds(obj, 0);
        if (b.xMax > b.xMin && b.yMax > b.yMin)
            canvas_.FillPath(Rect(b.xMin, b.yMin, b.xMax, b.yMax), raster::FillRule::NonZero,
                             Solid(obj.background), m, color);
    }
    if (obj.sprite)
        DrawList(*obj.sprite, m, color);
    else if (obj.textField) {
        TextFieldRenderer fields(canvas_, [this](size_t n) { return Spend(n); });
        fields.ClipToField(masks_ == 0);
        fields.Draw(*obj.textField, m, color);
    } else if (obj.scriptBitmap)
        DrawScriptBitmap(*obj.scriptBitmap, obj.bitmapSmoothing, m, color);
    else
        DrawCharacter(obj.character, &obj, obj.ratio, obj.buttonState, m, color, 0);
    if (obj.blend == raster::BlendMode::Layer)
        --layers_;
    PopLayerFor(obj.blend, obj.filters.get());
}

// Taken as it is now: scripts may change the pixels between frames.
void DisplayRenderer::DrawScriptBitmap(const raster::BitmapData& bd, bool smooth,
                                       const raster::Matrix& m,
                                       const raster::ColorTransform& color) {
    if (bd.Width() <= 0 || bd.Height() <= 0)
        return;
    auto bmp = std::make_shared<raster::Bitmap>();
    bmp->width = bd.Width();
    bmp->height = bd.Height();
    bmp->pixels.resize(bd.Pixels().size());
    for (size_t i = 0; i < bmp->pixels.size(); ++i) {
        const uint32_t p = bd.Pixels()[i]; // 0xAARRGGBB to 0xAABBGGRR
        bmp->pixels[i] = (p & 0xFF00FF00u) | ((p & 0xFF) << 16) | ((p >> 16) & 0xFF);
    }
    raster::Paint p;
    p.kind = raster::Paint::Kind::Bitmap;
    p.bitmap = std::move(bmp);
    p.repeat = false;
    p.smooth = smooth;
    p.matrix = raster::Matrix{20, 0, 0, 20, 0, 0};
    canvas_.FillPath(Rect(0, 0, bd.Width() * 20.0, bd.Height() * 20.0), raster::FillRule::NonZero,
                     p, m, color);
}

void DisplayRenderer::DrawCharacter(const chars::Character* c, const DisplayObject* obj,
                                    uint16_t ratio, ButtonState state, const raster::Matrix& m,
                                    const raster::ColorTransform& color, int nesting) {
    (void)obj;
    if (!c || nesting > 8)
        return;
    switch (c->kind) {
    case chars::Kind::Shape:
        DrawGeometry(static_cast<const chars::ShapeChar*>(c)->geometry, m, color);
        break;
    case chars::Kind::Morph: {
        auto* morph = const_cast<chars::MorphChar*>(static_cast<const chars::MorphChar*>(c));
        const chars::BitmapLookup lookup = [this](uint16_t id) { return Dict().BitmapFor(id); };
        DrawGeometry(morph->morph.At(ratio, lookup), m, color);
        break;
    }
    case chars::Kind::Bitmap: {
        const auto& bmp = static_cast<const chars::BitmapChar*>(c)->bitmap;
        if (!bmp)
            break;
        raster::Paint p;
        p.kind = raster::Paint::Kind::Bitmap;
        p.bitmap = bmp;
        p.repeat = false;
        p.smooth = false;
        p.matrix = raster::Matrix{20, 0, 0, 20, 0, 0};
        canvas_.FillPath(Rect(0, 0, bmp->width * 20.0, bmp->height * 20.0),
                         raster::FillRule::NonZero, p, m, color);
        break;
    }
    case chars::Kind::Text:
        DrawText(*static_cast<const chars::TextChar*>(c), m, color);
        break;
    case chars::Kind::EditText:
        DrawEditText(*static_cast<const chars::EditTextChar*>(c), m, color);
        break;
    case chars::Kind::Sprite:
        // Placed sprites draw their own list; one inside a button has no
        // instance and shows its first frame.
        if (!obj)
            DrawSpriteFirstFrame(*static_cast<const chars::SpriteChar*>(c), m, color, nesting);
        break;
    case chars::Kind::Button: {
        const auto* b = static_cast<const chars::ButtonChar*>(c);
        std::vector<const chars::ButtonRecord*> shown;
        for (const chars::ButtonRecord& rec : b->records) {
            const bool on = state == ButtonState::Up     ? rec.up
                            : state == ButtonState::Over ? rec.over
                                                         : rec.down;
            if (on)
                shown.push_back(&rec);
        }
        std::stable_sort(shown.begin(), shown.end(),
                         [](const chars::ButtonRecord* a, const chars::ButtonRecord* b2) {
                             return a->depth < b2->depth;
                         });
        for (const chars::ButtonRecord* rec : shown) {
            const chars::Character* inner = Dict().Get(rec->characterId);
            if (!inner || inner == c)
                continue;
            PushLayerFor(rec->blend, rec->filters.get());
            DrawCharacter(inner, nullptr, 0, ButtonState::Up, m.Concat(rec->matrix),
                          color.Concat(rec->cxform), nesting + 1);
            PopLayerFor(rec->blend, rec->filters.get());
        }
        break;
    }
    default:
        break;
    }
}

void DisplayRenderer::DrawSpriteFirstFrame(const chars::SpriteChar& sprite, const raster::Matrix& m,
                                           const raster::ColorTransform& color, int nesting) {
    // The first frame's placements, by depth. Masks are left out (their
    // layers show unmasked); names and clip actions play no part here.
    // Every tag read and object drawn counts against a budget of its own:
    // sprites placing sprites many times over would otherwise multiply.
    constexpr size_t kMaxFirstFrameWork = size_t(1) << 18;
    auto spend = [this] { return firstFrameWork_ < kMaxFirstFrameWork && ++firstFrameWork_; };
    std::map<uint16_t, Placement> list;
    for (const swf::Tag& tag : sprite.tags) {
        if (tag.code == swf::tags::ShowFrame || !spend())
            break;
        if (IsRemoveTag(tag.code)) {
            list.erase(RemovedDepth(tag));
            continue;
        }
        Placement p;
        if (!IsPlaceTag(tag.code) || !ReadPlacement(tag, 10, p))
            continue;
        auto it = list.find(p.depth);
        if (it == list.end()) {
            if (p.hasCharacter)
                list.emplace(p.depth, std::move(p));
            continue;
        }
        if (!p.move)
            continue; // the depth is taken
        Placement& q = it->second;
        if (p.hasCharacter)
            q.characterId = p.characterId;
        if (p.hasMatrix)
            q.matrix = p.matrix;
        if (p.hasCxform)
            q.cxform = p.cxform;
        if (p.hasRatio)
            q.ratio = p.ratio;
        if (p.hasClipDepth)
            q.clipDepth = p.clipDepth;
    }
    for (const auto& [depth, p] : list) {
        (void)depth;
        const chars::Character* inner = Dict().Get(p.characterId);
        if (p.clipDepth > 0 || !inner || inner == &sprite)
            continue;
        if (!spend())
            return;
        DrawCharacter(inner, nullptr, p.ratio, ButtonState::Up, m.Concat(p.matrix),
                      color.Concat(p.cxform), nesting + 1);
    }
}

bool DisplayRenderer::Spend(size_t n) {
    constexpr size_t kMaxSegmentsPerDrawing = size_t(1) << 24;
    if (n > kMaxSegmentsPerDrawing - segments_)
        return false;
    segments_ += n;
    return true;
}

void DisplayRenderer::DrawGeometry(const chars::ShapeGeometry& g, const raster::Matrix& m,
                                   const raster::ColorTransform& color) {
    for (const chars::ShapeLayer& layer : g.layers) {
        for (const chars::FillPath& f : layer.fills)
            if (Spend(f.segments.size()))
                canvas_.FillPath(f.segments, g.rule, f.paint, m, color);
        for (const chars::StrokePath& s : layer.strokes)
            if (masks_ == 0 && Spend(s.segments.size()))
                canvas_.StrokePath(s.segments, s.style, m, color);
    }
}

void DisplayRenderer::DrawText(const chars::TextChar& t, const raster::Matrix& m,
                               const raster::ColorTransform& color) {
    const raster::Matrix base = m.Concat(t.matrix);
    for (const chars::TextRun& run : t.runs) {
        const chars::Character* fc = Dict().Get(run.fontId);
        if (!fc || fc->kind != chars::Kind::Font)
            continue;
        const auto* font = static_cast<const chars::FontChar*>(fc);
        const double scale = run.height / font->emSize;
        double x = run.x;
        const raster::Paint paint = Solid(run.color);
        for (const chars::TextGlyph& g : run.glyphs) {
            if (g.index < font->glyphs.size() && Spend(font->glyphs[g.index].outline.size())) {
                const raster::Matrix gm = base.Concat(raster::Matrix{scale, 0, 0, scale, x, run.y});
                canvas_.FillPath(font->glyphs[g.index].outline, raster::FillRule::NonZero, paint,
                                 gm, color);
            }
            x += g.advance;
        }
    }
}

void DisplayRenderer::DrawEditText(const chars::EditTextChar& e, const raster::Matrix& m,
                                   const raster::ColorTransform& color) {
    // A field drawn without a display object of its own (inside a button):
    // its starting state, made for the drawing.
    const text::DictionaryFonts fonts(&Dict());
    text::TextField field;
    field.SetFontSource(&fonts);
    text::InitFromEditText(field, e, Dict(), 8);
    field.x = e.bounds.xMin / 20.0;
    field.y = e.bounds.yMin / 20.0;
    TextFieldRenderer(canvas_, [this](size_t n) { return Spend(n); }).Draw(field, m, color);
}

} // namespace zembra::timeline
