// Text handling of the browser launcher that needs no Windows calls: turning
// a registered browser command into a bare program path, completing,
// checking and encoding addresses.
#pragma once

#include <stdexcept>
#include <string>

namespace zembra {

// Raised when an address holds a "%" that is not a valid escape.
class EUrlError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Splits Command into tokens at commas, blanks and control characters (a
// token that starts with a double quote runs to its closing quote, a doubled
// quote inside stands for one), drops every token holding "-", "/" or "%"
// (switches and the "%1" placeholder), and joins the rest with single
// blanks. A program path with blanks in it is put together again that way.
std::string ReduceBrowserCommand(const std::string& command);

// Throws EUrlError when Url holds a "%" that is followed neither by a second
// "%" nor by two hexadecimal digits.
void CheckPercentEscapes(const std::string& url);

// Url with "http://" in front when it holds no ":" (no scheme separator);
// an empty Url stays empty.
// Throws EUrlError on a malformed percent escape (see CheckPercentEscapes).
std::string NormalizeURL(const std::string& url);

// True when Url's scheme (the text before its first ":") is http, https or
// mailto, in any case: the only addresses the launcher hands to a browser or
// the shell. Anything else (file:, a program's private scheme, a scheme-less
// "host:port") is never started.
bool HasLaunchableScheme(const std::string& url);

// Url made safe to stand as ONE argument on a command line: blanks, tabs,
// double quotes, every control character and a "%" that does not begin a
// "%XX" escape (so "%%" too) are percent-encoded; valid escapes and every
// other byte stay as they are. Bytes from 0x80 up are kept, so double-byte
// addresses come through: no double-byte code page has an encoded byte as
// the second byte of a character.
std::string EncodeCommandArgument(const std::string& url);

} // namespace zembra
