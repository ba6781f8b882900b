// Text handling of the browser launcher that needs no Windows calls: turning
// a registered browser command into a bare program path, completing and
// checking addresses.
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

// True when Url may follow a browser path on a command line: it must not
// hold a double quote or a control character, either of which could end the
// argument and smuggle further ones in.
bool IsSafeCommandArgument(const std::string& url);

} // namespace zembra
