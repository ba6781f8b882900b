#include "timeline/uFocusRect.h"

#include <algorithm>

#include "raster/uCanvas.h"
#include "timeline/uDisplayRenderer.h"

namespace zembra::timeline {

bool FocusRectEnabled(int8_t own, int8_t root) {
    return own > 0 || (own < 0 && root != 0);
}

bool ButtonHitBounds(const chars::ButtonChar& button, chars::Dictionary& dict, swf::Rect& out) {
    raster::FrameBuffer fb(1, 1);
    raster::Canvas canvas(fb);
    DisplayRenderer renderer(canvas, dict);
    bool any = false;
    for (const chars::ButtonRecord& rec : button.records) {
        if (!rec.hit)
            continue;
        DisplayObject part;
        part.characterId = rec.characterId;
        part.character = dict.GetMutable(rec.characterId);
        part.matrix = rec.matrix;
        // A button inside a button has no hit area of its own here.
        if (!part.character || part.character == &button ||
            part.character->kind == chars::Kind::Button)
            continue;
        const swf::Rect b = renderer.Bounds(part);
        if (b.xMax <= b.xMin || b.yMax <= b.yMin)
            continue;
        if (!any) {
            out = b;
            any = true;
            continue;
        }
        out.xMin = std::min(out.xMin, b.xMin);
        out.yMin = std::min(out.yMin, b.yMin);
        out.xMax = std::max(out.xMax, b.xMax);
        out.yMax = std::max(out.yMax, b.yMax);
    }
    return any;
}

} // namespace zembra::timeline
