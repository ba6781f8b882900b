#include "uBrowserText.h"

#include "util/uUtils.h"

#include <vector>

// Every byte searched for here (blank, comma, quote, "-", "/", "%", ":") lies
// below 0x40, and no double-byte code page uses such a byte as the second
// byte of a character, so a byte-wise scan never matches inside a Japanese
// character.

namespace zembra {

namespace {

bool IsTokenBreak(unsigned char c) {
    return c <= ' ' || c == ',';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::vector<std::string> SplitCommandTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (IsTokenBreak(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        std::string token;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        token += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token += text[i++];
            }
        } else {
            while (i < n && !IsTokenBreak(static_cast<unsigned char>(text[i])))
                token += text[i++];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

} // namespace

std::string ReduceBrowserCommand(const std::string& command) {
    std::string result;
    for (const std::string& token : SplitCommandTokens(command)) {
        // Empty tokens (from "" or adjacent commas) would only add blanks.
        if (token.empty() || token.find_first_of("-/%") != std::string::npos)
            continue;
        if (!result.empty())
            result += ' ';
        result += token;
    }
    // Tokens never start or end with a break character, but a quoted token
    // may: trim like the rest of the registry texts.
    return Trim(result);
}

void CheckPercentEscapes(const std::string& url) {
    const std::size_t n = url.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (url[i] != '%')
            continue;
        if (i + 1 < n && url[i + 1] == '%') {
            ++i;
            continue;
        }
        if (i + 2 < n && IsHexDigit(url[i + 1]) && IsHexDigit(url[i + 2])) {
            i += 2;
            continue;
        }
        throw EUrlError("invalid percent escape in address");
    }
}

std::string NormalizeURL(const std::string& url) {
    CheckPercentEscapes(url);
    // An empty address means "no link"; it must not become a bare scheme.
    if (url.empty())
        return url;
    if (url.find(':') == std::string::npos)
        return "http://" + url;
    return url;
}

bool HasLaunchableScheme(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos)
        return false;
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return scheme == "http" || scheme == "https" || scheme == "mailto";
}

std::string EncodeCommandArgument(const std::string& url) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    const std::size_t n = url.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        // A blank or tab splits the argument, a quote opens or closes a
        // quoted part, a control character may end the line; a stray "%"
        // would let the receiver decode it into any of those.
        const bool strayPercent =
            c == '%' && !(i + 2 < n && IsHexDigit(url[i + 1]) && IsHexDigit(url[i + 2]));
        if (c <= ' ' || c == '"' || c == 0x7F || strayPercent) {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace zembra
