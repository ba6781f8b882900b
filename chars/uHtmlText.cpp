#include "chars/uHtmlText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zembra::chars {

namespace {

constexpr size_t kMaxNesting = 64;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The value of attribute `name` in a tag's text, quotes removed.
std::string Attribute(const std::string& tag, const std::string& name) {
    const std::string lower = Lower(tag);
    size_t pos = 0;
    while ((pos = lower.find(name, pos)) != std::string::npos) {
        size_t p = pos + name.size();
        while (p < lower.size() && lower[p] == ' ')
            ++p;
        const bool startOk = pos > 0 && (lower[pos - 1] == ' ' || lower[pos - 1] == '\t');
        if (startOk && p < lower.size() && lower[p] == '=') {
            ++p;
            while (p < lower.size() && lower[p] == ' ')
                ++p;
            if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                const char q = tag[p];
                const size_t end = tag.find(q, p + 1);
                return tag.substr(p + 1,
                                  end == std::string::npos ? std::string::npos : end - p - 1);
            }
            const size_t end = tag.find_first_of(" \t>", p);
            return tag.substr(p, end == std::string::npos ? std::string::npos : end - p);
        }
        pos += name.size();
    }
    return "";
}

void AppendEntity(const std::string& html, size_t& i, std::string& out) {
    static const struct {
        const char* name;
        const char* text;
    } entities[] = {{"&lt;", "<"},    {"&gt;", ">"},   {"&amp;", "&"},
                    {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", " "}};
    for (const auto& e : entities) {
        const std::string name = e.name;
        if (html.compare(i, name.size(), name) == 0) {
            out += e.text;
            i += name.size();
            return;
        }
    }
    out += '&';
    ++i;
}

} // namespace

std::vector<TextRunSpan> ParseHtml(const std::string& html) {
    std::vector<TextRunSpan> runs;
    std::vector<TextStyle> stack(1);
    std::vector<std::string> open;
    std::string text;
    auto flush = [&] {
        if (text.empty())
            return;
        if (!runs.empty() && runs.back().style.bold == stack.back().bold &&
            runs.back().style.italic == stack.back().italic &&
            runs.back().style.hasColor == stack.back().hasColor &&
            runs.back().style.size == stack.back().size &&
            runs.back().style.face == stack.back().face &&
            (!stack.back().hasColor || (runs.back().style.color.r == stack.back().color.r &&
                                        runs.back().style.color.g == stack.back().color.g &&
                                        runs.back().style.color.b == stack.back().color.b))) {
            runs.back().text += text;
        } else {
            runs.push_back({text, stack.back()});
        }
        text.clear();
    };
    bool paragraphOpen = false;
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '&') {
            AppendEntity(html, i, text);
            continue;
        }
        if (c != '<') {
            text += c;
            ++i;
            continue;
        }
        const size_t close = html.find('>', i);
        if (close == std::string::npos) {
            text += html.substr(i);
            break;
        }
        const std::string tag = html.substr(i + 1, close - i - 1);
        i = close + 1;
        std::string name = Lower(tag.substr(0, tag.find_first_of(" \t/")));
        const bool closing = !tag.empty() && tag[0] == '/';
        if (closing)
            name = Lower(tag.substr(1, tag.find_first_of(" \t>", 1) - 1));
        if (name == "br") {
            text += '\n';
            continue;
        }
        if (name == "p" || name == "li") {
            if (closing) {
                paragraphOpen = false;
                text += '\n';
            } else if (paragraphOpen) {
                text += '\n';
            } else {
                paragraphOpen = true;
            }
        }
        if (name != "b" && name != "i" && name != "u" && name != "font")
            continue;
        flush();
        if (closing) {
            // Close the innermost matching tag and everything opened after it.
            for (size_t k = open.size(); k-- > 0;) {
                if (open[k] == name) {
                    open.resize(k);
                    stack.resize(k + 1);
                    break;
                }
            }
            continue;
        }
        if (open.size() >= kMaxNesting)
            continue;
        TextStyle s = stack.back();
        if (name == "b")
            s.bold = true;
        else if (name == "i")
            s.italic = true;
        else if (name == "font") {
            const std::string color = Attribute(tag, "color");
            if (color.size() == 7 && color[0] == '#') {
                const long v = std::strtol(color.c_str() + 1, nullptr, 16);
                s.hasColor = true;
                s.color = raster::Rgba{static_cast<uint8_t>((v >> 16) & 0xff),
                                       static_cast<uint8_t>((v >> 8) & 0xff),
                                       static_cast<uint8_t>(v & 0xff), 255};
            }
            const std::string size = Attribute(tag, "size");
            if (!size.empty()) {
                const double v = std::atof(size.c_str());
                if (v > 0 && v < 1000)
                    s.size = v;
            }
            const std::string face = Attribute(tag, "face");
            if (!face.empty())
                s.face = face;
        }
        open.push_back(name);
        stack.push_back(s);
    }
    flush();
    // A trailing paragraph end adds no empty line.
    if (!runs.empty() && !runs.back().text.empty() && runs.back().text.back() == '\n')
        runs.back().text.pop_back();
    return runs;
}

} // namespace zembra::chars
