#include "text/uHtmlText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "text/uUtf16.h"

namespace zembra::text {

namespace {

constexpr size_t kMaxNesting = 128;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Attributes of a tag's inside: name lower-cased, value unquoted.
std::vector<std::pair<std::string, std::string>> Attributes(const std::string& tag, size_t from) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = from;
    while (i < tag.size() && out.size() < 64) {
        while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '/'))
            ++i;
        size_t start = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '/')
            ++i;
        if (i == start)
            break;
        std::string name = Lower(tag.substr(start, i - start));
        while (i < tag.size() && IsSpace(tag[i]))
            ++i;
        std::string value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && IsSpace(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                char q = tag[i++];
                size_t end = tag.find(q, i);
                if (end == std::string::npos)
                    end = tag.size();
                value = tag.substr(i, end - i);
                i = end + 1;
            } else {
                start = i;
                while (i < tag.size() && !IsSpace(tag[i]))
                    ++i;
                value = tag.substr(start, i - start);
            }
        }
        out.emplace_back(std::move(name), std::move(value));
    }
    return out;
}

// The text an entity stands for; `i` is at '&'. Unknown ones stay text.
std::string Entity(const std::string& html, size_t& i) {
    size_t semi = html.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
        ++i;
        return "&";
    }
    std::string name = html.substr(i + 1, semi - i - 1);
    std::string out;
    if (name == "lt")
        out = "<";
    else if (name == "gt")
        out = ">";
    else if (name == "amp")
        out = "&";
    else if (name == "quot")
        out = "\"";
    else if (name == "apos")
        out = "'";
    else if (name == "nbsp")
        out = "\xC2\xA0";
    else if (name.size() > 1 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        long v = std::strtol(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
        if (v > 0 && v < 0x110000)
            AppendUtf8(out, static_cast<uint32_t>(v));
    }
    if (out.empty()) {
        ++i;
        return "&";
    }
    i = semi + 1;
    return out;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

std::string Num(double d) {
    return NumberText(d);
}

std::string Escape(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        switch (c) {
        case u'<':
            out += "&lt;";
            break;
        case u'>':
            out += "&gt;";
            break;
        case u'&':
            out += "&amp;";
            break;
        case u'"':
            out += "&quot;";
            break;
        case u'\'':
            out += "&apos;";
            break;
        default:
            out += ToUtf8(std::u16string(1, c));
        }
    }
    return out;
}

std::string ColorText(uint32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFFu);
    return buf;
}

std::string AttrEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '"')
            out += "&quot;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

bool Flag(const std::optional<bool>& b) {
    return b.value_or(false);
}

// The FONT attributes of `f` that differ from `outer` (all when outer is null).
std::string FontAttrs(const TextFormat& f, const TextFormat* outer) {
    std::string a;
    if (!outer || outer->font != f.font)
        a += " FACE=\"" + AttrEscape(f.font.value_or("")) + "\"";
    if (!outer || outer->size != f.size)
        a += " SIZE=\"" + Num(f.size.value_or(12)) + "\"";
    if (!outer || outer->color != f.color)
        a += " COLOR=\"" + ColorText(f.color.value_or(0)) + "\"";
    if (!outer || outer->letterSpacing != f.letterSpacing)
        a += " LETTERSPACING=\"" + Num(f.letterSpacing.value_or(0)) + "\"";
    if (!outer || outer->kerning != f.kerning)
        a += " KERNING=\"" + std::string(Flag(f.kerning) ? "1" : "0") + "\"";
    return a;
}

// The attributes a FONT tag carries.
bool SameFont(const TextFormat& a, const TextFormat& b) {
    return a.font == b.font && a.size == b.size && a.color == b.color &&
           a.letterSpacing == b.letterSpacing && a.kerning == b.kerning;
}

// A run's own tags inside its FONT: link, bold, italic, underline.
std::string RunOpen(const TextFormat& f, std::string& close) {
    std::string open;
    close.clear();
    if (!f.url.value_or("").empty()) {
        open += "<A HREF=\"" + AttrEscape(*f.url) + "\" TARGET=\"" +
                AttrEscape(f.target.value_or("")) + "\">";
        close = "</A>" + close;
    }
    if (Flag(f.bold)) {
        open += "<B>";
        close = "</B>" + close;
    }
    if (Flag(f.italic)) {
        open += "<I>";
        close = "</I>" + close;
    }
    if (Flag(f.underline)) {
        open += "<U>";
        close = "</U>" + close;
    }
    return open;
}

std::string ParagraphStart(const TextFormat& f, std::string& close) {
    std::string tf;
    auto attr = [&](const char* name, const std::optional<double>& v) {
        if (v && *v != 0)
            tf += std::string(" ") + name + "=\"" + Num(*v) + "\"";
    };
    attr("LEFTMARGIN", f.leftMargin);
    attr("RIGHTMARGIN", f.rightMargin);
    attr("INDENT", f.indent);
    attr("BLOCKINDENT", f.blockIndent);
    attr("LEADING", f.leading);
    if (f.tabStops && !f.tabStops->empty()) {
        tf += " TABSTOPS=\"";
        for (size_t i = 0; i < f.tabStops->size(); ++i)
            tf += (i ? "," : "") + Num((*f.tabStops)[i]);
        tf += "\"";
    }
    std::string out;
    close.clear();
    if (!tf.empty()) {
        out += "<TEXTFORMAT" + tf + ">";
        close = "</TEXTFORMAT>";
    }
    if (Flag(f.bullet)) {
        out += "<LI>";
        close = "</LI>" + close;
    } else {
        out += "<P ALIGN=\"" + Upper(AlignName(f.align.value_or(Align::Left))) + "\">";
        close = "</P>" + close;
    }
    return out;
}

} // namespace

void StyledText::Append(const std::u16string& s, const TextFormat& f) {
    if (s.empty())
        return;
    text += s;
    if (!spans.empty() && spans.back().format == f)
        spans.back().length += s.size();
    else
        spans.push_back(FormatSpan{s.size(), f});
}

StyledText ReadHtml(const std::string& html, const TextFormat& base, const HtmlOptions& options) {
    StyledText out;
    struct Open {
        std::string name;
        TextFormat format;
        const TextFormat* lastChild = nullptr; // format of the last child closed
        TextFormat lastChildFormat;
    };
    std::vector<Open> stack;
    stack.push_back(Open{"", base, nullptr, TextFormat()});
    std::optional<TextFormat> lastFont; // the format of the last FONT closed
    std::string pending;                // UTF-8 text in the current format
    // Condensed white space in version 8 movies: none at the start of a line.
    const bool dropLeading = options.condenseWhite && !options.legacy;
    bool lastWasSpace = dropLeading;
    auto flush = [&] {
        if (!pending.empty())
            out.Append(ToUtf16(pending), stack.back().format);
        pending.clear();
    };
    auto breakLine = [&] {
        pending += '\r';
        lastWasSpace = dropLeading;
    };
    // The text since the last tag, to drop when it is only white space.
    size_t nodeStart = 0;
    size_t nodeTextStart = out.text.size();
    bool nodeHasContent = false;
    auto endNode = [&] {
        if (options.legacy && !nodeHasContent && out.text.size() == nodeTextStart) {
            pending.resize(std::min(pending.size(), nodeStart));
            // Older movies start over after white space they dropped.
            if (options.legacy)
                lastWasSpace = false;
        }
    };
    size_t i = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c == '&') {
            pending += Entity(html, i);
            lastWasSpace = false;
            nodeHasContent = true;
            continue;
        }
        if (c != '<' && !IsSpace(c))
            nodeHasContent = true;
        if (c == '<') {
            endNode();
        }
        if (c != '<') {
            ++i;
            if (c == '\r' || c == '\n') {
                if (c == '\r' && i < html.size() && html[i] == '\n')
                    ++i;
                if (options.condenseWhite) {
                    if (!lastWasSpace)
                        pending += ' ';
                    lastWasSpace = true;
                    continue;
                }
                breakLine();
                continue;
            }
            if (options.condenseWhite && IsSpace(c)) {
                if (!lastWasSpace)
                    pending += ' ';
                lastWasSpace = true;
                continue;
            }
            pending += c;
            lastWasSpace = false;
            continue;
        }
        size_t close = html.find('>', i);
        if (close == std::string::npos)
            break; // an unfinished tag ends the text
        std::string tag = html.substr(i + 1, close - i - 1);
        i = close + 1;
        struct NodeReset {
            size_t& start;
            size_t& textStart;
            bool& content;
            const std::string& pending;
            const std::u16string& text;
            ~NodeReset() {
                start = pending.size();
                textStart = text.size();
                content = false;
            }
        } reset{nodeStart, nodeTextStart, nodeHasContent, pending, out.text};
        bool closing = !tag.empty() && tag[0] == '/';
        size_t nameStart = closing ? 1 : 0;
        size_t nameEnd = nameStart;
        while (nameEnd < tag.size() && !IsSpace(tag[nameEnd]) && tag[nameEnd] != '/')
            ++nameEnd;
        std::string name = Lower(tag.substr(nameStart, nameEnd - nameStart));
        if (name == "br" && !closing) {
            if (options.multiline)
                breakLine();
            continue;
        }
        bool known = name == "b" || name == "i" || name == "u" || name == "font" || name == "p" ||
                     name == "a" || name == "li" || name == "textformat" || name == "span";
        if (!known)
            continue;
        flush();
        if (closing) {
            // B, I and U close only when innermost; otherwise the close is
            // dropped and the style goes on.
            const bool style = name == "b" || name == "i" || name == "u";
            if (style && stack.back().name != name)
                continue;
            for (size_t k = stack.size(); k-- > 1;) {
                if (stack[k].name != name)
                    continue;
                // A list item's break takes the item's format; a
                // paragraph's the last FONT closed so far, in any
                // paragraph, else the text's base format.
                if ((name == "p" || name == "li") && options.multiline) {
                    TextFormat f = name == "li" ? stack[k].format
                                   : lastFont   ? *lastFont
                                                : stack[0].format;
                    MergeParagraph(f, stack[k].format);
                    out.Append(u"\r", f);
                    lastWasSpace = dropLeading;
                }
                if (name == "font")
                    lastFont = stack[k].format;
                stack[k - 1].lastChildFormat = stack[k].format;
                stack[k - 1].lastChild = &stack[k - 1].lastChildFormat;
                stack.resize(k);
                break;
            }
            continue;
        }
        // A list item starts its own paragraph.
        if (name == "li" && options.multiline && !out.text.empty() && out.text.back() != u'\r')
            breakLine(), flush();
        if (stack.size() >= kMaxNesting)
            continue;
        // A paragraph inside an open paragraph is no new one.
        if (name == "p") {
            bool inParagraph = false;
            for (const Open& o : stack)
                inParagraph = inParagraph || o.name == "p";
            if (inParagraph)
                continue;
        }
        TextFormat f = stack.back().format;
        auto attrs = Attributes(tag, nameEnd);
        if (name == "b")
            f.bold = true;
        else if (name == "i")
            f.italic = true;
        else if (name == "u")
            f.underline = true;
        else if (name == "li")
            f.bullet = true;
        for (auto& a : attrs) {
            const std::string& v = a.second;
            if (name == "font") {
                if (a.first == "face")
                    f.font = v;
                else if (a.first == "size") {
                    // Whole points from 1 to 127; "+N" and "-N" are relative.
                    double s = std::atof(v.c_str());
                    if (!v.empty() && (v[0] == '+' || v[0] == '-'))
                        s += f.size.value_or(12);
                    if (v.find_first_of("0123456789") != std::string::npos && std::isfinite(s))
                        f.size = std::max(1.0, std::min(127.0, std::trunc(s)));
                } else if (a.first == "color" && !v.empty() && v[0] == '#') {
                    f.color =
                        static_cast<uint32_t>(std::strtoul(v.c_str() + 1, nullptr, 16)) & 0xFFFFFFu;
                } else if (a.first == "letterspacing" && !options.legacy) {
                    f.letterSpacing = std::atof(v.c_str());
                } else if (a.first == "kerning" && !options.legacy) {
                    f.kerning = std::atoi(v.c_str()) != 0;
                }
            } else if (name == "p" && a.first == "align") {
                if (auto al = AlignFromName(v))
                    f.align = al;
            } else if (name == "a") {
                if (a.first == "href")
                    f.url = v;
                else if (a.first == "target")
                    f.target = v;
            } else if (name == "textformat") {
                double d = std::atof(v.c_str());
                if (a.first == "leftmargin")
                    f.leftMargin = d;
                else if (a.first == "rightmargin")
                    f.rightMargin = d;
                else if (a.first == "indent")
                    f.indent = d;
                else if (a.first == "blockindent")
                    f.blockIndent = d;
                else if (a.first == "leading")
                    f.leading = d;
                else if (a.first == "tabstops") {
                    std::vector<double> stops;
                    size_t p = 0;
                    while (p < v.size() && stops.size() < 1000) {
                        size_t e = v.find(',', p);
                        if (e == std::string::npos)
                            e = v.size();
                        stops.push_back(std::atof(v.substr(p, e - p).c_str()));
                        p = e + 1;
                    }
                    f.tabStops = stops;
                }
            }
        }
        stack.push_back(Open{name, f, nullptr, TextFormat()});
    }
    endNode();
    flush();
    return out;
}

std::string WriteHtml(const StyledText& styled, const TextFormat& empty) {
    std::string out;
    const std::u16string& t = styled.text;
    if (t.empty())
        return out;
    // Formats per character, read span by span.
    std::vector<const TextFormat*> fmt(t.size(), &empty);
    size_t at = 0;
    for (const FormatSpan& s : styled.spans)
        for (size_t k = 0; k < s.length && at < t.size(); ++k)
            fmt[at++] = &s.format;
    size_t start = 0;
    while (start < t.size()) {
        size_t end = t.find(u'\r', start);
        const bool hasBreak = end != std::u16string::npos;
        if (!hasBreak)
            end = t.size();
        // The break belongs to its paragraph: its format shows, its text not.
        const size_t stop = hasBreak ? end + 1 : end;
        const TextFormat& pf = *fmt[start];
        std::string paraClose;
        out += ParagraphStart(pf, paraClose);
        // FONT levels nest by difference; a run closes back to a level with
        // its very font or opens one more inside the innermost.
        std::vector<const TextFormat*> fonts{&pf};
        out += "<FONT" + FontAttrs(pf, nullptr) + ">";
        size_t k = start;
        while (k < stop) {
            size_t runEnd = k;
            while (runEnd < stop && *fmt[runEnd] == *fmt[k])
                ++runEnd;
            const TextFormat& f = *fmt[k];
            size_t match = fonts.size();
            for (size_t l = fonts.size(); l-- > 0;)
                if (SameFont(*fonts[l], f)) {
                    match = l;
                    break;
                }
            if (match < fonts.size()) {
                while (fonts.size() > match + 1) {
                    out += "</FONT>";
                    fonts.pop_back();
                }
            } else {
                out += "<FONT" + FontAttrs(f, fonts.back()) + ">";
                fonts.push_back(&f);
            }
            const size_t textEnd = std::min(runEnd, end);
            std::string close;
            out += RunOpen(f, close);
            out += Escape(t.substr(k, textEnd - k));
            out += close;
            k = runEnd;
        }
        for (size_t l = 0; l < fonts.size(); ++l)
            out += "</FONT>";
        out += paraClose;
        start = stop;
    }
    return out;
}

} // namespace zembra::text
