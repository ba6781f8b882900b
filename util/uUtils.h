// String, path, registry and shell helpers. Texts are 8-bit strings in the
// system's ANSI code page; every search inside a text (a character, a
// substring, a quote) skips the second byte of a double-byte character.
// None of these helpers keeps state between calls.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zembra {

// Raised by DecodeHexText when the count at the end of an encoded text is not
// a hexadecimal number. The only exception these helpers raise.
class EConvertError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// ---- Portable helpers (uUtils.cpp) ----

// Text without bytes <= ' ' (blanks and control characters) at both ends.
std::string Trim(const std::string& Text);

// Text without its last byte when that byte is Ch; otherwise Text unchanged.
std::string RemoveTrailing(const std::string& Text, char Ch);

// Quote + Text with every Quote doubled + Quote. Empty Text gives two quotes.
std::string QuoteString(const std::string& Text, char Quote);

// The quoted part at the start of Text, doubled quotes reduced to one and
// whatever follows the closing quote dropped. An unterminated quote takes
// the rest of the text. Text unchanged when it does not begin with Quote or
// the quoted part is empty.
std::string UnquoteString(const std::string& Text, char Quote);

// Value of the first two characters (or the one there is) read as a
// hexadecimal number, either case; 0 when they are not hexadecimal or Text
// is empty. The characters read are removed from Text in every case.
int TakeHexByte(std::string& Text);

// Plain text of an encoded hexadecimal text; empty for an empty input.
// Throws EConvertError when the last eight characters are missing or not
// hexadecimal. Never reads outside Encoded, whatever the other fields say.
std::string DecodeHexText(const std::string& Encoded);

// The encoded form that DecodeHexText turns back into Plain: filler count P,
// key byte K, left rotation N (no rotation when N exceeds the length).
std::string EncodeHexText(const std::string& Plain, std::uint8_t P, std::uint8_t K,
                          std::uint32_t N);

// Fills List (cleared first) with the pieces of Text between occurrences of
// Separator. Two separators in a row give an empty piece; a trailing
// separator gives no empty last piece; an empty Text gives an empty list.
// An empty Separator gives the whole Text as the one piece.
void SplitString(std::vector<std::string>& List, std::string Text, const std::string& Separator);

// True when the dotted version text A is at least B, compared field by field
// as numbers (a field that is no number counts as 0) over the fields both
// have. Only when one of them has no field at all does text equality decide.
bool VersionAtLeast(const std::string& A, const std::string& B);

// The program path of a registered open command (as read from the registry),
// reduced and enclosed in double quotes; empty when nothing is left of it.
std::string ReduceOpenCommand(const std::string& Command);

#ifdef _WIN32
// ---- Windows helpers (uUtilsWin.cpp) ----

// The trimmed default value of Key (one trailing backslash ignored) under
// Root. Empty on any failure: missing key, no default value, or a value
// longer than 254 characters.
std::string ReadRegistryDefault(HKEY Root, const std::string& Key);

// The program registered under HKEY_CLASSES_ROOT to open files with
// Extension ("htm" and ".htm" alike), as a path in double quotes. Empty when
// none is registered.
std::string GetOpenCommand(const std::string& Extension);

// The user's temporary directory, ending in a backslash, with Name
// appended. When the directory cannot be read the directory part is "\".
std::string TempFilePath(const std::string& Name);

// The product version (not the file version) of FileName's version resource
// as four decimal numbers joined by ".". Empty when the file has no version
// resource or it cannot be read.
std::string GetProductVersionText(const std::string& FileName);

// The file-system path of the item the shell finds for Path (so a short 8.3
// path comes back in its long form). Empty on failure.
std::string ResolveShellPath(const std::string& Path);

// The full path of the running program's own file. Empty on failure.
std::string OwnExecutablePath();
#endif

} // namespace zembra
