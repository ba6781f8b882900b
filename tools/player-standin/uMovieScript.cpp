#include "uMovieScript.h"

#include <algorithm>

namespace zembra::standin {
namespace {

constexpr std::string_view kHeader = "#player-standin";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word of `s`; `s` keeps the rest.
std::string_view NextWord(std::string_view& s) {
    s = Trim(s);
    std::size_t end = 0;
    while (end < s.size() && !IsBlank(s[end]))
        ++end;
    std::string_view word = s.substr(0, end);
    s.remove_prefix(end);
    return word;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool ParseDelay(std::string_view text, std::uint32_t& out) {
    if (text.empty() || text.size() > 9)
        return false;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > kMaxScriptDelayMs)
        return false;
    out = value;
    return true;
}

bool ParseLine(std::string_view line, ScriptEvent& event) {
    std::string_view rest = line;
    if (!EqualsIgnoreCase(NextWord(rest), "after"))
        return false;
    if (!ParseDelay(NextWord(rest), event.afterMs))
        return false;
    if (!EqualsIgnoreCase(NextWord(rest), "fscommand"))
        return false;
    std::string_view command = NextWord(rest);
    if (command.empty())
        return false;
    event.command.assign(command);
    event.args.assign(Trim(rest));
    return true;
}

} // namespace

MovieScript ParseMovieScript(std::string_view content, bool truncated) {
    MovieScript script;
    if (content.size() > kMaxMovieScriptBytes) {
        content = content.substr(0, kMaxMovieScriptBytes);
        truncated = true;
    }
    if (truncated) {
        // The last line may be cut in the middle; a cut instruction could
        // carry a wrong delay or argument, so it is not used.
        std::size_t lastBreak = content.find_last_of('\n');
        content = lastBreak == std::string_view::npos ? std::string_view{}
                                                      : content.substr(0, lastBreak + 1);
    }
    // Editors on Windows like to start text files with a UTF-8 byte order mark.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (content.substr(0, kBom.size()) == kBom)
        content.remove_prefix(kBom.size());

    bool first = true;
    while (!content.empty()) {
        std::size_t nl = content.find('\n');
        std::string_view line = Trim(content.substr(0, nl));
        content.remove_prefix(nl == std::string_view::npos ? content.size() : nl + 1);
        if (first) {
            if (line != kHeader)
                return MovieScript{};
            script.scripted = true;
            first = false;
            continue;
        }
        if (line.empty() || line.front() == '#')
            continue;
        if (script.events.size() >= kMaxScriptEvents)
            break;
        ScriptEvent event;
        if (ParseLine(line, event))
            script.events.push_back(std::move(event));
    }
    std::stable_sort(
        script.events.begin(), script.events.end(),
        [](const ScriptEvent& a, const ScriptEvent& b) { return a.afterMs < b.afterMs; });
    return script;
}

} // namespace zembra::standin
