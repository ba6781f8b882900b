#include "text/uTextField.h"

#include <algorithm>
#include <cmath>

#include "chars/uCharacters.h"
#include "text/uDeviceFont.h"
#include "text/uUtf16.h"

namespace zembra::text {

namespace {

constexpr double kGutter = 2; // pixels between the field's edge and its text, each side

// Glyph advances, ascents and descents are kept in whole twips.
double TwipAdvance(double px) {
    return std::floor(px * 20 + 1e-9) / 20;
}

std::u16string NormalizeNewlines(const std::u16string& s) {
    std::u16string out;
    out.reserve(s.size());
    // Each of "\r" and "\n" is a break of its own, also together.
    for (char16_t c : s)
        out += c == u'\n' ? u'\r' : c;
    return out;
}

// The span that starts at `pos`, splitting the one that covers it.
size_t SplitAt(std::vector<FormatSpan>& spans, size_t pos) {
    size_t at = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
        if (at == pos)
            return i;
        if (pos < at + spans[i].length) {
            FormatSpan tail{at + spans[i].length - pos, spans[i].format};
            spans[i].length = pos - at;
            spans.insert(spans.begin() + static_cast<long>(i) + 1, tail);
            return i + 1;
        }
        at += spans[i].length;
    }
    return spans.size();
}

void Coalesce(std::vector<FormatSpan>& spans) {
    std::vector<FormatSpan> out;
    out.reserve(spans.size());
    for (auto& s : spans) {
        if (s.length == 0)
            continue;
        if (!out.empty() && out.back().format == s.format)
            out.back().length += s.length;
        else
            out.push_back(std::move(s));
    }
    spans.swap(out);
}

// Where a tab from `x` goes: the next stop of the paragraph, else the next
// multiple of the default interval.
double TabStop(const TextFormat& f, double x) {
    constexpr double kInterval = 36;
    if (f.tabStops)
        for (double stop : *f.tabStops)
            if (stop > x)
                return stop;
    return (std::floor(x / kInterval) + 1) * kInterval;
}

} // namespace

TextField::TextField() : newFormat_(TextFormat::Default()) {}

void TextField::Changed() {
    dirty_ = true;
    if (autoSize_ != AutoSize::None)
        ApplyAutoSize();
    int max = MaxScroll();
    if (scroll_ > max)
        scroll_ = max;
}

void TextField::SetSize(double w, double h) {
    width_ = std::isfinite(w) && w > 0 ? w : 0;
    height_ = std::isfinite(h) && h > 0 ? h : 0;
    Changed();
}

void TextField::SetHtml(bool on) {
    if (html_ && !on) {
        newFormat_.align = Align::Left;
        for (auto& span : styled_.spans)
            span.format.align = Align::Left;
        Coalesce(styled_.spans);
        Changed();
    }
    html_ = on;
}

void TextField::SetMultiline(bool on) {
    multiline_ = on;
    Changed();
}
void TextField::SetWordWrap(bool on) {
    wordWrap_ = on;
    Changed();
}
void TextField::SetEmbedFonts(bool on) {
    embedFonts_ = on;
    Changed();
}
void TextField::SetAutoSize(AutoSize a) {
    autoSize_ = a;
    Changed();
}
void TextField::SetFontSource(const FontSource* fonts) {
    fonts_ = fonts;
    Changed();
}

std::string TextField::TextUtf8() const {
    return ToUtf8(styled_.text);
}

void TextField::SetText(const std::u16string& text) {
    std::u16string t = NormalizeNewlines(text);
    if (t.size() > kMaxLength)
        t.resize(kMaxLength);
    styled_ = StyledText();
    styled_.Append(t, newFormat_);
    scroll_ = 1;
    Changed();
}

std::string TextField::HtmlText() const {
    if (!html_)
        return TextUtf8();
    return WriteHtml(styled_, newFormat_);
}

void TextField::SetHtmlText(const std::string& html) {
    if (!html_) {
        SetText(ToUtf16(html));
        return;
    }
    HtmlOptions o;
    o.multiline = multiline_;
    o.condenseWhite = condenseWhite_;
    o.legacy = legacyHtml_;
    styled_ = ReadHtml(html, newFormat_, o);
    if (styled_.text.size() > kMaxLength) {
        ReplaceText(kMaxLength, styled_.text.size(), std::u16string());
    }
    NormalizeParagraphs();
    scroll_ = 1;
    Changed();
}

void TextField::ReplaceText(size_t begin, size_t end, const std::u16string& textIn) {
    const size_t len = styled_.text.size();
    begin = std::min(begin, len);
    end = std::min(std::max(end, begin), len);
    std::u16string text = NormalizeNewlines(textIn);
    if (len - (end - begin) + text.size() > kMaxLength)
        text.resize(kMaxLength - (len - (end - begin)));
    TextFormat f = newFormat_;
    if (begin < len)
        f = GetTextFormat(begin, begin + 1);
    else if (begin > 0)
        f = GetTextFormat(begin - 1, begin);
    auto& spans = styled_.spans;
    size_t first = SplitAt(spans, begin);
    size_t last = SplitAt(spans, end);
    spans.erase(spans.begin() + static_cast<long>(first), spans.begin() + static_cast<long>(last));
    if (!text.empty())
        spans.insert(spans.begin() + static_cast<long>(first), FormatSpan{text.size(), f});
    Coalesce(spans);
    styled_.text.replace(begin, end - begin, text);
    NormalizeParagraphs();
    Changed();
}

TextFormat TextField::GetTextFormat(size_t begin, size_t end) const {
    const size_t len = styled_.text.size();
    end = std::min(end, len);
    if (begin >= end)
        return newFormat_;
    TextFormat out;
    bool any = false;
    size_t at = 0;
    for (const FormatSpan& s : styled_.spans) {
        size_t sEnd = at + s.length;
        if (sEnd > begin && at < end) {
            if (!any)
                out = s.format;
            else
                out.IntersectWith(s.format);
            any = true;
        }
        at = sEnd;
        if (at >= end)
            break;
    }
    return any ? out : newFormat_;
}

void TextField::SetTextFormat(size_t begin, size_t end, const TextFormat& f) {
    const size_t len = styled_.text.size();
    end = std::min(end, len);
    if (begin >= end)
        return;
    auto& spans = styled_.spans;
    // Character attributes on the range.
    TextFormat charOnly = f;
    charOnly.align.reset();
    charOnly.leftMargin.reset();
    charOnly.rightMargin.reset();
    charOnly.indent.reset();
    charOnly.blockIndent.reset();
    charOnly.leading.reset();
    charOnly.bullet.reset();
    charOnly.tabStops.reset();
    size_t first = SplitAt(spans, begin);
    size_t last = SplitAt(spans, end);
    for (size_t i = first; i < last; ++i)
        spans[i].format.MergeFrom(charOnly);
    // Paragraph attributes on the whole paragraphs.
    const std::u16string& t = styled_.text;
    size_t pBegin = begin;
    while (pBegin > 0 && t[pBegin - 1] != u'\r')
        --pBegin;
    size_t pEnd = end;
    while (pEnd < len && t[pEnd - 1] != u'\r')
        ++pEnd;
    first = SplitAt(spans, pBegin);
    last = SplitAt(spans, pEnd);
    for (size_t i = first; i < last; ++i)
        MergeParagraph(spans[i].format, f);
    Coalesce(spans);
    Changed();
}

void TextField::NormalizeParagraphs() {
    auto& spans = styled_.spans;
    const std::u16string& t = styled_.text;
    size_t start = 0;
    while (start < t.size()) {
        size_t end = t.find(u'\r', start);
        end = end == std::u16string::npos ? t.size() : end + 1;
        size_t first = SplitAt(spans, start);
        size_t last = SplitAt(spans, end);
        if (first < spans.size()) {
            const TextFormat lead = spans[first].format;
            for (size_t i = first + 1; i < last; ++i)
                MergeParagraph(spans[i].format, lead);
        }
        start = end;
    }
    Coalesce(spans);
}

void TextField::SetNewTextFormat(const TextFormat& f) {
    newFormat_.MergeFrom(f);
}

uint32_t TextField::TextColor() const {
    return newFormat_.color.value_or(0);
}

void TextField::SetTextColor(uint32_t rgb) {
    TextFormat f;
    f.color = rgb & 0xFFFFFFu;
    newFormat_.MergeFrom(f);
    for (auto& s : styled_.spans)
        s.format.color = f.color;
    Coalesce(styled_.spans);
    Changed();
}

// ---------------------------------------------------------------- layout

double TextField::Metrics::Advance(char16_t c) const {
    if (font) {
        int g = font->GlyphFor(c);
        if (g >= 0 && static_cast<size_t>(g) < font->glyphs.size() && font->emSize > 0)
            return TwipAdvance(font->glyphs[static_cast<size_t>(g)].advance / font->emSize * size);
        return 0;
    }
    return TwipAdvance(DeviceFont(serif).Advance(c) * size);
}

TextField::Metrics TextField::MetricsFor(const TextFormat& f) const {
    Metrics m;
    m.size = f.size.value_or(12);
    if (embedFonts_ && fonts_)
        m.font =
            fonts_->Find(f.font.value_or(""), f.bold.value_or(false), f.italic.value_or(false));
    if (m.font && m.font->hasLayout && m.font->emSize > 0) {
        m.ascent = TwipAdvance(m.font->ascent / m.font->emSize * m.size);
        m.descent = TwipAdvance(m.font->descent / m.font->emSize * m.size);
    } else {
        const DeviceFont device = DeviceFont::For(f.font.value_or(""));
        m.serif = device.Serif();
        m.ascent = TwipAdvance(device.Ascent() * m.size);
        m.descent = TwipAdvance(device.Descent() * m.size);
    }
    return m;
}

void TextField::Layout() const {
    if (!dirty_)
        return;
    dirty_ = false;
    lines_.clear();
    spanOf_.clear();
    metrics_.clear();
    textWidth_ = textHeight_ = 0;
    const std::u16string& t = styled_.text;
    if (t.empty())
        return;
    // Format index per character, by span.
    std::vector<uint32_t>& spanOf = spanOf_;
    spanOf.assign(t.size(), 0);
    {
        size_t at = 0;
        for (uint32_t i = 0; i < styled_.spans.size(); ++i)
            for (size_t k = 0; k < styled_.spans[i].length && at < t.size(); ++k)
                spanOf[at++] = i;
    }
    std::vector<Metrics>& metrics = metrics_;
    metrics.clear();
    metrics.reserve(styled_.spans.size());
    for (const FormatSpan& s : styled_.spans)
        metrics.push_back(MetricsFor(s.format));
    const TextFormat fallback = newFormat_;
    auto formatAt = [&](size_t i) -> const TextFormat& {
        return styled_.spans.empty() ? fallback : styled_.spans[spanOf[i]].format;
    };
    auto metricsAt = [&](size_t i) -> const Metrics& { return metrics[spanOf[i]]; };
    if (metrics.empty())
        metrics.push_back(MetricsFor(fallback));

    const double avail = width_ - 2 * kGutter;
    double top = 0;
    size_t start = 0;
    while (start <= t.size()) {
        size_t pEnd = t.find(u'\r', start);
        bool hasBreak = pEnd != std::u16string::npos;
        if (!hasBreak)
            pEnd = t.size();
        const size_t fmtIndex = start < t.size() ? start : t.size() - 1;
        const TextFormat& pf = formatAt(fmtIndex);
        const double left = pf.leftMargin.value_or(0) + pf.blockIndent.value_or(0);
        const double right = pf.rightMargin.value_or(0);
        const double spacing = pf.letterSpacing.value_or(0);
        bool firstLine = true;
        size_t lineStart = start;
        while (true) {
            const double indent = firstLine ? pf.indent.value_or(0) : 0;
            const double room = avail - left - right - indent;
            double x = 0;
            size_t i = lineStart;
            size_t breakAt = std::u16string::npos; // after the last space
            double widthAtBreak = 0;
            for (; i < pEnd; ++i) {
                double adv = metricsAt(i).Advance(t[i]) + spacing;
                if (t[i] == u'\t')
                    adv = TabStop(pf, x) - x;
                if (wordWrap_ && i > lineStart && x + adv > room && t[i] != u' ') {
                    break;
                }
                x += adv;
                if (t[i] == u' ') {
                    breakAt = i + 1;
                    widthAtBreak = x;
                }
            }
            size_t lineEnd = i;
            double w = x;
            if (i < pEnd && breakAt != std::u16string::npos && breakAt > lineStart) {
                lineEnd = breakAt;
                w = widthAtBreak;
            }
            TextLine line;
            line.begin = lineStart;
            line.end = lineEnd;
            // Trailing spaces of a wrapped line take no room, except in
            // left-aligned text, where they count in the line's width.
            const bool trimSpaces = pf.align.value_or(Align::Left) != Align::Left;
            size_t vis = lineEnd;
            double trimmed = w;
            while (trimSpaces && lineEnd < pEnd && vis > lineStart && t[vis - 1] == u' ') {
                --vis;
                trimmed -= metricsAt(vis).Advance(t[vis]) + spacing;
            }
            line.width = std::max(0.0, trimmed);
            const size_t mFrom = lineStart < lineEnd ? lineStart : fmtIndex;
            const size_t mTo = lineStart < lineEnd ? lineEnd : fmtIndex + 1;
            for (size_t k = mFrom; k < mTo; ++k) {
                line.ascent = std::max(line.ascent, metricsAt(k).ascent);
                line.descent = std::max(line.descent, metricsAt(k).descent);
            }
            line.leading = pf.leading.value_or(0);
            // A negative indent takes back margin, never more: the line
            // does not start left of the gutter.
            double offset = std::max(0.0, left + indent);
            switch (pf.align.value_or(Align::Left)) {
            case Align::Right:
                offset += std::max(0.0, room - line.width);
                break;
            case Align::Center:
                offset += std::max(0.0, (room - line.width) / 2);
                break;
            default:
                break;
            }
            line.x = offset;
            line.top = top;
            top += line.ascent + line.descent + line.leading;
            textWidth_ = std::max(textWidth_, line.width + indent);
            lines_.push_back(line);
            firstLine = false;
            if (lineEnd >= pEnd || lines_.size() >= kMaxLength)
                break;
            lineStart = lineEnd;
        }
        if (!hasBreak || lines_.size() >= kMaxLength)
            break;
        start = pEnd + 1;
    }
    // The last line's leading counts only for a field of one line.
    if (lines_.size() > 1)
        top -= lines_.back().leading;
    textHeight_ = top;
}

void TextField::ApplyAutoSize() {
    Layout();
    const double h = std::round(textHeight_) + 2 * kGutter;
    if (!wordWrap_) {
        const double w = textWidth_ + 2 * kGutter;
        if (autoSize_ == AutoSize::Center)
            x += (width_ - w) / 2;
        else if (autoSize_ == AutoSize::Right)
            x += width_ - w;
        width_ = w;
    }
    height_ = h;
    dirty_ = true;
}

const TextFormat& TextField::FormatAt(size_t i) const {
    Layout();
    if (i >= spanOf_.size() || styled_.spans.empty())
        return newFormat_;
    return styled_.spans[spanOf_[i]].format;
}

const chars::FontChar* TextField::FontAt(size_t i) const {
    Layout();
    return i < spanOf_.size() && spanOf_[i] < metrics_.size() ? metrics_[spanOf_[i]].font : nullptr;
}

double TextField::AdvanceAt(size_t i) const {
    Layout();
    if (i >= spanOf_.size() || spanOf_[i] >= metrics_.size())
        return 0;
    return metrics_[spanOf_[i]].Advance(styled_.text[i]) + FormatAt(i).letterSpacing.value_or(0);
}

const std::vector<TextLine>& TextField::Lines() const {
    Layout();
    return lines_;
}

double TextField::TextWidth() const {
    Layout();
    return std::floor(textWidth_ + 1e-9);
}

double TextField::TextHeight() const {
    Layout();
    return std::floor(textHeight_ + 1e-9);
}

int TextField::MaxScroll() const {
    Layout();
    const double room = height_ - 2 * kGutter;
    double used = 0;
    size_t fit = 0;
    for (size_t i = lines_.size(); i-- > 0;) {
        const TextLine& l = lines_[i];
        used += l.ascent + l.descent + (fit ? l.leading : 0);
        if (used > room && fit > 0)
            break;
        ++fit;
    }
    long max = static_cast<long>(lines_.size()) - static_cast<long>(fit) + 1;
    return static_cast<int>(std::max(1L, max));
}

int TextField::BottomScroll() const {
    Layout();
    const double room = height_ - 2 * kGutter;
    double used = 0;
    int count = 0;
    for (size_t i = static_cast<size_t>(scroll_ - 1); i < lines_.size(); ++i) {
        const TextLine& l = lines_[i];
        used += l.ascent + l.descent;
        if (used > room && count > 0)
            break;
        used += l.leading;
        ++count;
    }
    return scroll_ + std::max(count, 1) - 1;
}

void TextField::SetScroll(int line) {
    scroll_ = std::max(1, std::min(line, MaxScroll()));
}

double TextField::MaxHScroll() const {
    Layout();
    return std::max(0.0, std::round(textWidth_) - (width_ - 2 * kGutter));
}

void TextField::SetHScroll(double px) {
    if (!std::isfinite(px))
        px = 0;
    hscroll_ = std::max(0.0, std::min(std::floor(px), MaxHScroll()));
}

} // namespace zembra::text
