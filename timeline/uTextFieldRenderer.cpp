#include "timeline/uTextFieldRenderer.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <stb_easy_font.h>

#include "chars/uCharacters.h"
#include "text/uTextField.h"

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

} // namespace

bool TextFieldRenderer::DeviceTextShows(const raster::Matrix& m) {
    constexpr double kSlant = 0.01; // shear below this is not seen
    return m.a > 0 && m.d > 0 && std::abs(m.b) <= kSlant * m.a && std::abs(m.c) <= kSlant * m.d;
}

void TextFieldRenderer::Draw(const text::TextField& f, const raster::Matrix& placed,
                             const raster::ColorTransform& color) {
    // Device text is never turned, slanted or mirrored: such a field is not
    // drawn at all, and a slant too small to see is taken out.
    raster::Matrix m = placed;
    if (!f.EmbedFonts()) {
        if (!DeviceTextShows(m))
            return;
        m.b = m.c = 0;
    }
    const double x0 = f.x * 20, y0 = f.y * 20;
    auto rgb = [](uint32_t c) {
        return raster::Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                            static_cast<uint8_t>(c), 255};
    };
    if (f.background || f.border) {
        // On whole pixels when the sides stay upright (turned by right
        // angles at most): the frame is one pixel on the pixels where the
        // rectangle starts and ends. Otherwise it is a one-pixel line along
        // the sides.
        double fx0 = x0, fy0 = y0, fx1 = x0 + f.Width() * 20, fy1 = y0 + f.Height() * 20;
        double px = 20;
        raster::Matrix frameMatrix = m;
        const bool upright = (m.b == 0 && m.c == 0) || (m.a == 0 && m.d == 0);
        if (upright) {
            const raster::Point p0 = m.Apply({fx0, fy0}), p1 = m.Apply({fx1, fy1});
            fx0 = std::round(std::min(p0.x, p1.x));
            fx1 = std::round(std::max(p0.x, p1.x));
            fy0 = std::round(std::min(p0.y, p1.y));
            fy1 = std::round(std::max(p0.y, p1.y));
            px = 1;
            frameMatrix = raster::Matrix();
        }
        if (f.background)
            canvas_.FillPath(Rect(fx0, fy0, fx1, fy1), raster::FillRule::NonZero,
                             Solid(rgb(f.backgroundColor)), frameMatrix, color);
        if (f.border && !upright) {
            raster::StrokeStyle line;
            line.width = 0;
            line.paint = Solid(rgb(f.borderColor));
            canvas_.StrokePath(Rect(fx0, fy0, fx1, fy1), line, frameMatrix, color);
        } else if (f.border) {
            std::vector<raster::Segment> frame = Rect(fx0, fy0, fx1 + px, fy1 + px);
            const std::vector<raster::Segment> inner = Rect(fx0 + px, fy0 + px, fx1, fy1);
            frame.insert(frame.end(), inner.begin(), inner.end());
            canvas_.FillPath(frame, raster::FillRule::EvenOdd, Solid(rgb(f.borderColor)),
                             frameMatrix, color);
        }
    }
    const std::vector<text::TextLine>& lines = f.Lines();
    const size_t first = static_cast<size_t>(std::max(1, f.Scroll()) - 1);
    if (first >= lines.size())
        return;
    const double top = lines[first].top;
    const double room = f.Height() - 2 * kGutter / 20;
    // Text scrolled sideways or wider than the field is cut at the gutter;
    // a mask is only set up when some line reaches past it.
    bool clip = false;
    if (clipToField_) {
        const double inner = f.Width() - 2 * kGutter / 20;
        for (size_t li = first; li < lines.size() && li - first < kMaxLines && !clip; ++li)
            clip = lines[li].x - f.HScroll() < 0 ||
                   lines[li].x + lines[li].width - f.HScroll() > inner;
    }
    if (clip) {
        canvas_.BeginMask();
        canvas_.FillPath(
            Rect(x0 + kGutter, y0, x0 + f.Width() * 20 - kGutter, y0 + f.Height() * 20),
            raster::FillRule::NonZero, Solid({0, 0, 0, 255}), m, raster::ColorTransform());
        canvas_.EndMask();
    }
    DrawLines(f, m, color, first, top, room);
    if (clip)
        canvas_.PopMask();
}

void TextFieldRenderer::DrawLines(const text::TextField& f, const raster::Matrix& m,
                                  const raster::ColorTransform& color, size_t first, double top,
                                  double room) {
    const double x0 = f.x * 20, y0 = f.y * 20;
    auto rgb = [](uint32_t c) {
        return raster::Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                            static_cast<uint8_t>(c), 255};
    };
    const std::vector<text::TextLine>& lines = f.Lines();
    const std::u16string& t = f.Text();
    size_t drawn = 0;
    for (size_t li = first; li < lines.size() && li - first < kMaxLines; ++li) {
        const text::TextLine& line = lines[li];
        // Lines below the field's bottom are not shown (the first always is).
        if (li > first && line.top - top + line.ascent + line.descent > room)
            break;
        const double baseline = y0 + kGutter + (line.top - top + line.ascent) * 20;
        double x = x0 + kGutter + (line.x - f.HScroll()) * 20;
        for (size_t i = line.begin; i < line.end && i < t.size(); ++i) {
            if (++drawn > kMaxCharacters)
                return;
            const double advance = f.AdvanceAt(i) * 20;
            uint32_t cp = f.password ? '*' : t[i];
            const text::TextFormat& fmt = f.FormatAt(i);
            raster::Rgba c = rgb(fmt.color.value_or(0));
            const double height = fmt.size.value_or(12) * 20;
            if (const chars::FontChar* font = f.FontAt(i)) {
                const int gi = font->GlyphFor(cp);
                if (gi >= 0 && font->emSize > 0) {
                    const double s = height / font->emSize;
                    const auto& outline = font->glyphs[static_cast<size_t>(gi)].outline;
                    if (spend_(outline.size()))
                        canvas_.FillPath(outline, raster::FillRule::NonZero, Solid(c),
                                         m.Concat(raster::Matrix{s, 0, 0, s, x, baseline}), color);
                }
            } else if (cp >= 33 && cp <= 126) {
                char one[2] = {static_cast<char>(cp), 0};
                float buffer[16 * 64];
                const int quads = stb_easy_font_print(0, 0, one, nullptr, buffer, sizeof buffer);
                std::vector<raster::Segment> segs;
                for (int q = 0; q < quads && q < 64; ++q) {
                    const float* v = buffer + q * 16;
                    const auto r = Rect(v[0], v[1] - 8, v[8], v[9] - 8);
                    segs.insert(segs.end(), r.begin(), r.end());
                }
                const double s = height / kBlockFontEm;
                if (spend_(segs.size()))
                    canvas_.FillPath(segs, raster::FillRule::NonZero, Solid(c),
                                     m.Concat(raster::Matrix{s, 0, 0, s, x, baseline}), color);
            }
            x += advance;
        }
    }
}

} // namespace zembra::timeline
