#include "timeline/uTextFieldRenderer.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <stb_easy_font.h>

#include "chars/uHtmlText.h"

namespace zembra::timeline {

namespace {

constexpr double kGutter = 40; // twips between a field's frame and its text
constexpr size_t kMaxCharacters = 4096;
constexpr size_t kMaxLines = 512;
constexpr double kBlockFontEm = 11; // the built-in font's units per em

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

// UTF-8 to code points; bad bytes become U+FFFD.
void AppendCodePoints(const std::string& s, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80         ? 0
                          : (c >> 5) == 6  ? 1
                          : (c >> 4) == 14 ? 2
                          : (c >> 3) == 30 ? 3
                                           : -1;
        if (extra <= 0) {
            out.push_back(extra < 0 ? 0xfffd : c);
            ++i;
            continue;
        }
        uint32_t cp = c & (0x3fu >> extra);
        bool ok = i + static_cast<size_t>(extra) < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            ok = (d & 0xc0) == 0x80;
            cp = (cp << 6) | (d & 0x3f);
        }
        out.push_back(ok ? cp : 0xfffd);
        i += ok ? static_cast<size_t>(extra) + 1 : 1;
    }
}

struct Item {
    uint32_t cp = 0;
    const chars::FontChar* font = nullptr; // null: the built-in block font
    double height = 0;                     // twips
    raster::Rgba color;
    double advance = 0;
};

double AdvanceOf(const Item& it) {
    if (it.font) {
        const int gi = it.font->GlyphFor(it.cp);
        if (gi < 0)
            return 0;
        const double scale = it.height / it.font->emSize;
        const chars::Glyph& g = it.font->glyphs[static_cast<size_t>(gi)];
        // Whole twips, cut down: a run's pen drifts left as the player's does.
        if (it.font->hasLayout)
            return std::floor(g.advance * scale);
        double maxX = 0;
        for (const raster::Segment& s : g.outline)
            maxX = std::max(maxX, std::max(s.from.x, s.to.x));
        return maxX * scale + it.height * 0.05;
    }
    const double scale = it.height / kBlockFontEm;
    if (it.cp < 32 || it.cp > 126)
        return 6 * scale;
    char one[2] = {static_cast<char>(it.cp), 0};
    return stb_easy_font_width(one) * scale;
}

} // namespace

void TextFieldRenderer::DrawFrame(const chars::EditTextChar& e, const raster::Matrix& m,
                                  const raster::ColorTransform& color) {
    // White inside, a one-pixel black frame on the pixels where the bounds
    // start and end; snapped to whole pixels when not rotated.
    const swf::Rect& b = e.bounds;
    double x0 = b.xMin, y0 = b.yMin, x1 = b.xMax, y1 = b.yMax, px = 20;
    raster::Matrix frameMatrix = m;
    if (m.b == 0 && m.c == 0) {
        const raster::Point p0 = m.Apply({x0, y0}), p1 = m.Apply({x1, y1});
        x0 = std::round(std::min(p0.x, p1.x));
        x1 = std::round(std::max(p0.x, p1.x));
        y0 = std::round(std::min(p0.y, p1.y));
        y1 = std::round(std::max(p0.y, p1.y));
        px = 1;
        frameMatrix = raster::Matrix();
    }
    canvas_.FillPath(Rect(x0, y0, x1, y1), raster::FillRule::NonZero, Solid({255, 255, 255, 255}),
                     frameMatrix, color);
    std::vector<raster::Segment> frame = Rect(x0, y0, x1 + px, y1 + px);
    const std::vector<raster::Segment> inner = Rect(x0 + px, y0 + px, x1, y1);
    frame.insert(frame.end(), inner.begin(), inner.end());
    canvas_.FillPath(frame, raster::FillRule::EvenOdd, Solid({0, 0, 0, 255}), frameMatrix, color);
}

void TextFieldRenderer::Draw(const chars::EditTextChar& e, const raster::Matrix& m,
                             const raster::ColorTransform& color) {
    if (e.border)
        DrawFrame(e, m, color);
    if (e.text.empty())
        return;
    const chars::FontChar* base = nullptr;
    if (e.hasFont) {
        const chars::Character* fc = dict_.Get(e.fontId);
        if (fc && fc->kind == chars::Kind::Font)
            base = static_cast<const chars::FontChar*>(fc);
        if (base && base->glyphs.empty())
            base = nullptr; // a device font: drawn with the built-in one
    }

    // Styled characters.
    std::vector<chars::TextRunSpan> spans;
    if (e.html) {
        spans = chars::ParseHtml(e.text);
    } else {
        spans.push_back({e.text, chars::TextStyle()});
    }
    std::vector<Item> items;
    for (const chars::TextRunSpan& span : spans) {
        const chars::FontChar* font = base;
        if (base && (span.style.bold != base->bold || span.style.italic != base->italic ||
                     (!span.style.face.empty() && span.style.face != base->name))) {
            const std::string& name = span.style.face.empty() ? base->name : span.style.face;
            if (const chars::FontChar* styled =
                    dict_.FindFont(name, span.style.bold, span.style.italic))
                font = styled;
        }
        std::vector<uint32_t> cps;
        AppendCodePoints(span.text, cps);
        for (uint32_t cp : cps) {
            if (items.size() >= kMaxCharacters)
                break;
            Item it;
            it.cp = e.password && cp != '\n' && cp != '\r' ? '*' : cp;
            it.font = font;
            it.height = span.style.size > 0 ? span.style.size * 20 : e.height;
            it.color = span.style.hasColor ? span.style.color : e.color;
            it.color.a = e.color.a;
            it.advance = AdvanceOf(it);
            items.push_back(it);
        }
    }

    const double height = e.height;
    const double scale = base ? height / base->emSize : 0;
    const double ascent = base && base->hasLayout ? base->ascent * scale : height * 0.8;
    const double descent = base && base->hasLayout ? base->descent * scale : height * 0.2;
    const double lineHeight = ascent + descent + e.leading;
    const double left = e.bounds.xMin + kGutter + e.leftMargin;
    const double right = e.bounds.xMax - kGutter - e.rightMargin;
    const double width = std::max(0.0, right - left);

    // Lines: explicit breaks always, word wrapping when asked.
    std::vector<std::vector<Item>> lines(1);
    double lineWidth = 0;
    for (size_t i = 0; i < items.size() && lines.size() <= kMaxLines; ++i) {
        const Item& it = items[i];
        if (it.cp == '\n' || it.cp == '\r') {
            if (it.cp == '\r' && i + 1 < items.size() && items[i + 1].cp == '\n')
                ++i;
            lines.emplace_back();
            lineWidth = 0;
            continue;
        }
        if (e.wordWrap && lineWidth + it.advance > width && !lines.back().empty() && it.cp != ' ') {
            std::vector<Item>& cur = lines.back();
            size_t cut = cur.size();
            while (cut > 0 && cur[cut - 1].cp != ' ')
                --cut;
            std::vector<Item> carry;
            if (cut > 0) {
                carry.assign(cur.begin() + static_cast<long>(cut), cur.end());
                cur.resize(cut);
                while (!cur.empty() && cur.back().cp == ' ')
                    cur.pop_back();
            }
            lines.push_back(carry);
            lineWidth = 0;
            for (const Item& c : carry)
                lineWidth += c.advance;
        }
        lines.back().push_back(it);
        lineWidth += it.advance;
    }

    double baseline = e.bounds.yMin + kGutter + ascent;
    for (size_t li = 0; li < lines.size() && li < kMaxLines; ++li) {
        const std::vector<Item>& line = lines[li];
        double w = 0;
        for (const Item& it : line)
            w += it.advance;
        double x = left + (li == 0 ? e.indent : 0);
        if (e.align == 1)
            x = right - w;
        else if (e.align == 2)
            x = left + (width - w) / 2;
        for (const Item& it : line) {
            if (it.font) {
                const int gi = it.font->GlyphFor(it.cp);
                if (gi >= 0) {
                    const double s = it.height / it.font->emSize;
                    const auto& outline = it.font->glyphs[static_cast<size_t>(gi)].outline;
                    if (spend_(outline.size()))
                        canvas_.FillPath(outline, raster::FillRule::NonZero, Solid(it.color),
                                         m.Concat(raster::Matrix{s, 0, 0, s, x, baseline}), color);
                }
            } else if (it.cp >= 33 && it.cp <= 126) {
                // The block font's quads, on a grid whose baseline is at 8.
                char one[2] = {static_cast<char>(it.cp), 0};
                float buffer[16 * 64];
                const int quads = stb_easy_font_print(0, 0, one, nullptr, buffer, sizeof buffer);
                std::vector<raster::Segment> segs;
                for (int q = 0; q < quads && q < 64; ++q) {
                    const float* v = buffer + q * 16;
                    const auto r = Rect(v[0], v[1] - 8, v[8], v[9] - 8);
                    segs.insert(segs.end(), r.begin(), r.end());
                }
                const double s = it.height / kBlockFontEm;
                if (spend_(segs.size()))
                    canvas_.FillPath(segs, raster::FillRule::NonZero, Solid(it.color),
                                     m.Concat(raster::Matrix{s, 0, 0, s, x, baseline}), color);
            }
            x += it.advance;
        }
        baseline += lineHeight;
        if (!e.multiline && !e.wordWrap)
            break;
    }
}

} // namespace zembra::timeline
