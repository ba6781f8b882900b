// Names that a content package hands us for files and folders. The package
// is outside data: whatever it holds, nothing it names may lead the saver to
// write, overwrite or delete anything outside the working folder it created.
// Texts are 8-bit ANSI; the scans skip the second byte of a double-byte
// character (IsLeadByte from util), so a trail byte 0x5C is no separator.
#pragma once

#include <string>

namespace zembra {

// True for the device names Windows reserves in every folder (CON, PRN, AUX,
// NUL, COM0-9, LPT0-9, CONIN$, CONOUT$), compared without regard to case and
// also when followed by an extension ("con.swf") or blanks before it.
bool IsReservedDeviceName(const std::string& Name);

// True when Name can stand as one file or folder name directly inside a
// folder: not empty, at most 255 bytes, no path separator, drive colon,
// "..", character Windows forbids in names (<>:"/\|?* and control
// characters), no leading or trailing dot or blank, no cut-off double-byte
// character, and no reserved device name.
bool IsPlainName(const std::string& Name);

// The part of Path after its last "\", "/" or ":" (the whole text when it has
// none).
std::string NamePart(const std::string& Path);

// NamePart of Text when that is a plain name; empty when nothing safe
// remains ("..\\..\\x" gives "x", "C:\\Windows" gives "Windows", "CON" and
// "a\\.." give "").
std::string SafeFileName(const std::string& Text);

} // namespace zembra
