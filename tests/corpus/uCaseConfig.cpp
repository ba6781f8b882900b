#include "tests/corpus/uCaseConfig.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

namespace zembra::corpus {

namespace {

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return "";
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// a."b.c".d -> {a, b.c, d}
std::vector<std::string> SplitKey(const std::string& key) {
    std::vector<std::string> parts;
    std::string cur;
    bool quoted = false;
    for (char c : key) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '.' && !quoted) {
            parts.push_back(Trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(Trim(cur));
    return parts;
}

// Finds `name = value` inside an inline table's text.
std::string InlineValue(const std::string& table, const std::string& name) {
    size_t pos = 0;
    while ((pos = table.find(name, pos)) != std::string::npos) {
        const bool startOk =
            pos == 0 || table[pos - 1] == ' ' || table[pos - 1] == '{' || table[pos - 1] == ',';
        size_t p = pos + name.size();
        while (p < table.size() && table[p] == ' ')
            ++p;
        if (startOk && p < table.size() && table[p] == '=') {
            ++p;
            const size_t end = table.find_first_of(",}", p);
            return Trim(table.substr(p, end == std::string::npos ? end : end - p));
        }
        pos += name.size();
    }
    return "";
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

bool ParseCaseConfig(const std::string& toml, CaseConfig& out) {
    out = CaseConfig();
    std::map<std::string, ImageComparison> images;
    std::vector<std::string> section;
    std::istringstream in(toml);
    std::string line;
    int ticks = -1, frames = -1;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const bool array = line.rfind("[[", 0) == 0;
            const size_t open = array ? 2 : 1;
            const size_t end = line.find(']', open);
            section = SplitKey(
                line.substr(open, end == std::string::npos ? std::string::npos : end - open));
            if (array && section.size() == 3 && section[0] == "image_comparisons" &&
                section[2] == "checks") {
                ImageComparison& img = images[section[1]];
                img.name = section[1];
                img.checks.emplace_back(0, 0);
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::vector<std::string> key = section;
        for (const std::string& k : SplitKey(line.substr(0, eq)))
            key.push_back(k);
        const std::string value = Trim(line.substr(eq + 1));
        if (key.empty())
            continue;
        if (key[0] == "subtests")
            continue;
        if (key.size() == 1 && key[0] == "num_frames")
            frames = std::atoi(value.c_str());
        else if (key.size() == 1 && key[0] == "num_ticks")
            ticks = std::atoi(value.c_str());
        else if (key[0] == "image_comparisons" && key.size() >= 2) {
            ImageComparison& img = images[key[1]];
            img.name = key[1];
            if (key.size() == 4 && key[2] == "checks" && !img.checks.empty()) {
                if (key[3] == "tolerance")
                    img.checks.back().first = std::atoi(value.c_str());
                else if (key[3] == "max_outliers")
                    img.checks.back().second = std::atol(value.c_str());
            } else if (key.size() == 3 && key[2] == "tolerance")
                img.tolerance = std::atoi(value.c_str());
            else if (key.size() == 3 && key[2] == "max_outliers")
                img.maxOutliers = std::atol(value.c_str());
            else if (key.size() == 3 && key[2] == "trigger")
                img.trigger = std::atoi(value.c_str());
        } else if (key[0] == "player_options" && key.size() == 2 && key[1] == "with_renderer") {
            const std::string q = Unquote(InlineValue(value, "quality"));
            if (!q.empty())
                out.quality = q;
        }
    }
    out.frames = frames > 0 ? frames : (ticks > 0 ? ticks : 1);
    for (auto& [name, img] : images) {
        (void)name;
        out.images.push_back(img);
    }
    std::stable_sort(out.images.begin(), out.images.end(),
                     [&](const ImageComparison& a, const ImageComparison& b) {
                         const int ta = a.trigger < 0 ? out.frames : a.trigger;
                         const int tb = b.trigger < 0 ? out.frames : b.trigger;
                         return ta < tb;
                     });
    return !out.images.empty();
}

} // namespace zembra::corpus
