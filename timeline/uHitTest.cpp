#include "timeline/uHitTest.h"

#include "timeline/uDisplayList.h"
#include "timeline/uDrawing.h"
#include "timeline/uMovie.h"

namespace zembra::timeline {

namespace {

bool Local(const raster::Matrix& world, raster::Point p, raster::Point& out) {
    raster::Matrix inv;
    if (!world.Invert(inv))
        return false;
    out = inv.Apply(p);
    return true;
}

bool InRect(const swf::Rect& r, raster::Point p) {
    return p.x >= r.xMin && p.x <= r.xMax && p.y >= r.yMin && p.y <= r.yMax;
}

} // namespace

bool HitTester::Character(const chars::Character* c, uint16_t ratio, const raster::Matrix& world,
                          raster::Point stagePoint, int nesting) const {
    if (!c || nesting > kMaxNesting)
        return false;
    raster::Point p;
    if (!Local(world, stagePoint, p))
        return false;
    switch (c->kind) {
    case chars::Kind::Shape:
        return static_cast<const chars::ShapeChar*>(c)->geometry.HitTest(p);
    case chars::Kind::Morph: {
        // The morph keeps its last ratio's shape; asking again is cheap.
        auto* morph = const_cast<chars::MorphChar*>(static_cast<const chars::MorphChar*>(c));
        const chars::BitmapLookup lookup = [this](uint16_t id) { return dict_.BitmapFor(id); };
        return morph->morph.At(ratio, lookup).HitTest(p);
    }
    case chars::Kind::Text:
        return InRect(static_cast<const chars::TextChar*>(c)->bounds, p);
    case chars::Kind::EditText:
        return InRect(static_cast<const chars::EditTextChar*>(c)->bounds, p);
    case chars::Kind::Bitmap: {
        const auto& bmp = static_cast<const chars::BitmapChar*>(c)->bitmap;
        return bmp && p.x >= 0 && p.y >= 0 && p.x <= bmp->width * 20.0 && p.y <= bmp->height * 20.0;
    }
    case chars::Kind::Button:
        return ButtonArea(*static_cast<const chars::ButtonChar*>(c), world, stagePoint,
                          nesting + 1);
    default:
        return false;
    }
}

bool HitTester::ButtonArea(const chars::ButtonChar& button, const raster::Matrix& world,
                           raster::Point stagePoint, int nesting) const {
    if (nesting > kMaxNesting)
        return false;
    for (const chars::ButtonRecord& rec : button.records) {
        if (!rec.hit)
            continue;
        const chars::Character* c = dict_.Get(rec.characterId);
        if (!c)
            continue;
        const raster::Matrix m = world.Concat(rec.matrix);
        // Sprites of the hit state are never instantiated: no area.
        if (c->kind == chars::Kind::Sprite)
            continue;
        if (Character(c, 0, m, stagePoint, nesting + 1))
            return true;
    }
    return false;
}

bool HitTester::Object(const DisplayObject& obj, const raster::Matrix& parentWorld,
                       raster::Point stagePoint, bool visibleOnly, int nesting) const {
    if (nesting > kMaxNesting || (visibleOnly && !obj.visible))
        return false;
    const raster::Matrix world = parentWorld.Concat(obj.matrix);
    if (obj.textField) {
        raster::Point p;
        if (!Local(world, stagePoint, p))
            return false;
        const text::TextField& f = *obj.textField;
        return p.x >= f.x * 20 && p.y >= f.y * 20 && p.x <= (f.x + f.Width()) * 20 &&
               p.y <= (f.y + f.Height()) * 20;
    }
    if (obj.sprite)
        return Instance(*obj.sprite, world, stagePoint, visibleOnly, nesting + 1);
    return Character(obj.character, obj.ratio, world, stagePoint, nesting);
}

bool HitTester::Instance(const SpriteInstance& s, const raster::Matrix& world,
                         raster::Point stagePoint, bool visibleOnly, int nesting) const {
    if (nesting > kMaxNesting)
        return false;
    if (s.drawing && !s.drawing->Empty()) {
        raster::Point p;
        if (Local(world, stagePoint, p) && s.drawing->Geometry().HitTest(p))
            return true;
    }
    // A mask at depth d with clip depth c cuts the children above d up to c.
    const DisplayObject* mask = nullptr;
    int maskTop = 0;
    bool maskHit = false;
    for (const auto& [depth, child] : s.children) {
        if (mask && depth > maskTop)
            mask = nullptr;
        if (child.clipDepth > 0) {
            mask = &child;
            maskTop = child.clipDepth;
            maskHit = Object(child, world, stagePoint, false, nesting + 1);
            continue;
        }
        if (mask && !maskHit)
            continue;
        if (Object(child, world, stagePoint, visibleOnly, nesting + 1))
            return true;
    }
    return false;
}

} // namespace zembra::timeline
