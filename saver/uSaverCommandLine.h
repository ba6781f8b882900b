// The screen-saver command line, parsed without any Windows call so that the
// grammar can be checked on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

// Splits a command line into its arguments the usual way: blanks and tabs
// separate, double quotes group (and are removed). The first element is the
// program itself, as written on the command line.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The mode letter of a first argument, upper-cased (a to z only). "/x", "-x"
// and "x" all give 'X'; only that one character counts, so "/c:1234" gives
// 'C'. An empty argument, or one made of just "/" or "-", gives 'C': the
// saver then opens its configuration as when no argument is given at all.
char CommandLetterOf(const std::string& firstArgument);

// CommandLetterOf applied to the arguments of a split command line (element 0
// is the program and is skipped).
char CommandLetterOfArguments(const std::vector<std::string>& arguments);

// The second argument read as a 32-bit integer: decimal with an optional
// sign, or hexadecimal with "$" or "0x". Anything else, an empty text or a
// value beyond 32 bits, gives 0. Handles above 0x7FFFFFFF are accepted as
// unsigned decimal and wrap the way a window handle does.
std::int32_t ParseWindowHandleArgument(const std::string& text);

// The parent window handle taken from arguments[2] (0 when there are fewer
// than two arguments after the program).
std::int32_t ParentHandleOfArguments(const std::vector<std::string>& arguments);

} // namespace zembra
