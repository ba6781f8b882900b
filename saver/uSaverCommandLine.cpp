#include "uSaverCommandLine.h"

#include <limits>

namespace zembra {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> result;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    for (;;) {
        while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = commandLine[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                arg += c;
            }
            ++i;
        }
        result.push_back(arg);
    }
    return result;
}

char CommandLetterOf(const std::string& firstArgument) {
    std::string arg = firstArgument.empty() ? std::string("/C") : firstArgument;
    char letter;
    if (arg[0] == '/' || arg[0] == '-') {
        // A lone switch character names no mode; treat it like no argument.
        if (arg.size() < 2)
            return 'C';
        letter = arg[1];
    } else {
        letter = arg[0];
    }
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    return letter;
}

char CommandLetterOfArguments(const std::vector<std::string>& arguments) {
    return CommandLetterOf(arguments.size() >= 2 ? arguments[1] : std::string());
}

namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

} // namespace

std::int32_t ParseWindowHandleArgument(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return 0;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text[i], base);
        if (d < 0)
            return 0;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > std::numeric_limits<std::uint32_t>::max())
            return 0;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::int32_t ParentHandleOfArguments(const std::vector<std::string>& arguments) {
    return arguments.size() >= 3 ? ParseWindowHandleArgument(arguments[2]) : 0;
}

} // namespace zembra
