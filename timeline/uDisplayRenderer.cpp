#include "timeline/uDisplayRenderer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <stb_easy_font.h>

namespace zembra::timeline {

namespace {

constexpr double kGutter = 40; // twips between a text field's border and its text

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
    return {line(x0, y0, x1, y0), line(x1, y0, x1, y1), line(x1, y1, x0, y1),
            line(x0, y1, x0, y0)};
}

// Decodes UTF-8 into code points; bad bytes become U+FFFD.
std::vector<uint32_t> CodePoints(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(extra < 0 ? 0xfffd : c);
            ++i;
            continue;
        }
        uint32_t cp = extra == 0 ? c : (c & (0x3f >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3f);
        }
        out.push_back(ok ? cp : 0xfffd);
        i += ok ? extra + 1 : 1;
    }
    return out;
}

} // namespace

void DisplayRenderer::DrawList(const SpriteInstance& s, const raster::Matrix& toPixels,
                               const raster::ColorTransform& color) {
    std::vector<int> maskEnds;
    for (const auto& [depth, obj] : s.children) {
        while (!maskEnds.empty() && depth > maskEnds.back()) {
            canvas_.PopMask();
            maskEnds.pop_back();
        }
        if (obj.clipDepth > 0) {
            canvas_.BeginMask();
            DrawObject(obj, toPixels, raster::ColorTransform());
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
}

void DisplayRenderer::DrawObject(const DisplayObject& obj, const raster::Matrix& parent,
                                 const raster::ColorTransform& parentColor) {
    if (!obj.character)
        return;
    const raster::Matrix m = parent.Concat(obj.matrix);
    const raster::ColorTransform color = parentColor.Concat(obj.cxform);
    const bool layered = obj.blend != raster::BlendMode::Normal;
    if (layered)
        canvas_.PushLayer();
    if (obj.sprite)
        DrawList(*obj.sprite, m, color);
    else
        DrawCharacter(obj.character, &obj, obj.ratio, obj.buttonState, m, color, 0);
    if (layered)
        canvas_.PopLayer(obj.blend);
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
        const chars::BitmapLookup lookup = [this](uint16_t id) { return dict_.BitmapFor(id); };
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
            const chars::Character* inner = dict_.Get(rec->characterId);
            if (!inner || inner == c)
                continue;
            const bool layered = rec->blend != raster::BlendMode::Normal;
            if (layered)
                canvas_.PushLayer();
            if (inner->kind == chars::Kind::Sprite) {
                // A sprite inside a button shows its first frame.
                const auto* sprite = static_cast<const chars::SpriteChar*>(inner);
                (void)sprite;
            } else {
                DrawCharacter(inner, nullptr, 0, ButtonState::Up, m.Concat(rec->matrix),
                              color.Concat(rec->cxform), nesting + 1);
            }
            if (layered)
                canvas_.PopLayer(rec->blend);
        }
        break;
    }
    default:
        break;
    }
}

void DisplayRenderer::DrawGeometry(const chars::ShapeGeometry& g, const raster::Matrix& m,
                                   const raster::ColorTransform& color) {
    for (const chars::ShapeLayer& layer : g.layers) {
        for (const chars::FillPath& f : layer.fills)
            canvas_.FillPath(f.segments, g.rule, f.paint, m, color);
        for (const chars::StrokePath& s : layer.strokes)
            canvas_.StrokePath(s.segments, s.style, m, color);
    }
}

void DisplayRenderer::DrawText(const chars::TextChar& t, const raster::Matrix& m,
                               const raster::ColorTransform& color) {
    const raster::Matrix base = m.Concat(t.matrix);
    for (const chars::TextRun& run : t.runs) {
        const chars::Character* fc = dict_.Get(run.fontId);
        if (!fc || fc->kind != chars::Kind::Font)
            continue;
        const auto* font = static_cast<const chars::FontChar*>(fc);
        const double scale = run.height / font->emSize;
        double x = run.x;
        const raster::Paint paint = Solid(run.color);
        for (const chars::TextGlyph& g : run.glyphs) {
            if (g.index < font->glyphs.size()) {
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
    const swf::Rect& b = e.bounds;
    if (e.border) {
        canvas_.FillPath(Rect(b.xMin, b.yMin, b.xMax, b.yMax), raster::FillRule::NonZero,
                         Solid({255, 255, 255, 255}), m, color);
        raster::StrokeStyle st;
        st.width = 0;
        st.paint = Solid({0, 0, 0, 255});
        canvas_.StrokePath(Rect(b.xMin, b.yMin, b.xMax, b.yMax), st, m, color);
    }
    if (e.text.empty())
        return;
    const chars::FontChar* font = nullptr;
    if (e.hasFont) {
        const chars::Character* fc = dict_.Get(e.fontId);
        if (fc && fc->kind == chars::Kind::Font)
            font = static_cast<const chars::FontChar*>(fc);
        if (font && font->glyphs.empty())
            font = nullptr; // a device font: drawn with the built-in one
    }
    const double height = e.height;
    const double scale = font ? height / font->emSize : height / 11.0;
    const double ascent = font && font->hasLayout ? font->ascent * scale : height * 0.8;
    const double descent = font && font->hasLayout ? font->descent * scale : height * 0.2;
    const double lineHeight = ascent + descent + e.leading;
    const double left = b.xMin + kGutter + e.leftMargin;
    const double right = b.xMax - kGutter - e.rightMargin;
    const double width = std::max(0.0, right - left);

    std::string text = e.text;
    if (e.password)
        text.assign(CodePoints(e.text).size(), '*');
    std::vector<uint32_t> cps = CodePoints(text);
    if (cps.size() > 4096)
        cps.resize(4096);

    auto advanceOf = [&](uint32_t cp) -> double {
        if (font) {
            const int gi = font->GlyphFor(cp);
            if (gi < 0)
                return 0;
            const chars::Glyph& g = font->glyphs[static_cast<size_t>(gi)];
            if (font->hasLayout)
                return g.advance * scale;
            double maxX = 0;
            for (const raster::Segment& s : g.outline)
                maxX = std::max(maxX, std::max(s.from.x, s.to.x));
            return maxX * scale + height * 0.05;
        }
        if (cp > 126 || cp < 32)
            return 6 * scale;
        char one[2] = {static_cast<char>(cp), 0};
        return stb_easy_font_width(one) * scale;
    };

    // Lay out into lines: explicit breaks always, word wrapping when asked.
    std::vector<std::vector<uint32_t>> lines(1);
    double lineWidth = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        const uint32_t cp = cps[i];
        if (cp == '\n' || cp == '\r') {
            if (cp == '\r' && i + 1 < cps.size() && cps[i + 1] == '\n')
                ++i;
            lines.emplace_back();
            lineWidth = 0;
            continue;
        }
        const double adv = advanceOf(cp);
        if (e.wordWrap && lineWidth + adv > width && !lines.back().empty() && cp != ' ') {
            // Move the last word to a new line.
            std::vector<uint32_t>& cur = lines.back();
            size_t cut = cur.size();
            while (cut > 0 && cur[cut - 1] != ' ')
                --cut;
            std::vector<uint32_t> carry;
            if (cut > 0) {
                carry.assign(cur.begin() + static_cast<long>(cut), cur.end());
                cur.resize(cut);
                while (!cur.empty() && cur.back() == ' ')
                    cur.pop_back();
            }
            lines.push_back(carry);
            lineWidth = 0;
            for (uint32_t c2 : carry)
                lineWidth += advanceOf(c2);
        }
        lines.back().push_back(cp);
        lineWidth += adv;
    }

    const raster::Paint paint = Solid(e.color);
    double baseline = b.yMin + kGutter + ascent;
    for (size_t li = 0; li < lines.size() && li < 512; ++li) {
        const std::vector<uint32_t>& line = lines[li];
        double w = 0;
        for (uint32_t cp : line)
            w += advanceOf(cp);
        double x = left + (li == 0 ? e.indent : 0);
        if (e.align == 1)
            x = right - w;
        else if (e.align == 2)
            x = left + (width - w) / 2;
        for (uint32_t cp : line) {
            const double adv = advanceOf(cp);
            if (font) {
                const int gi = font->GlyphFor(cp);
                if (gi >= 0) {
                    const raster::Matrix gm =
                        m.Concat(raster::Matrix{scale, 0, 0, scale, x, baseline});
                    canvas_.FillPath(font->glyphs[static_cast<size_t>(gi)].outline,
                                     raster::FillRule::NonZero, paint, gm, color);
                }
            } else if (cp >= 33 && cp <= 126) {
                // The built-in block font: quads of a 1-unit grid, top at 0.
                char one[2] = {static_cast<char>(cp), 0};
                static float buffer[16 * 4 * 64];
                const int quads = stb_easy_font_print(0, 0, one, nullptr, buffer, sizeof buffer);
                std::vector<raster::Segment> segs;
                for (int q = 0; q < quads; ++q) {
                    const float* v = buffer + q * 16;
                    const double x0 = v[0], y0 = v[1], x1 = v[8], y1 = v[9];
                    auto r = Rect(x0, y0 - 8, x1, y1 - 8);
                    segs.insert(segs.end(), r.begin(), r.end());
                }
                const raster::Matrix gm = m.Concat(raster::Matrix{scale, 0, 0, scale, x, baseline});
                canvas_.FillPath(segs, raster::FillRule::NonZero, paint, gm, color);
            }
            x += adv;
        }
        baseline += lineHeight;
        if (!e.multiline && !e.wordWrap)
            break;
    }
}

} // namespace zembra::timeline
