// The packer's manifest: an INI file with one [package] section whose keys
// are item names (files as paths relative to the manifest, extra files as
// repeated ExtraFile= lines). Turns it into the items of a package.
#pragma once

#include "tools/pack/uPackageWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

struct TManifestEntry {
    std::string Key;
    std::string Value;
    int Line = 0;
};

struct TManifest {
    std::string FileName; // as given; used in messages and to resolve paths
    std::vector<TManifestEntry> Entries;
    // Whether the text is UTF-8 (with or without a byte-order mark). A
    // manifest that is not is taken as bytes already in the code page the
    // package is written for, as manifests were before; InvalidUtf8Line is
    // then its first line that is not UTF-8.
    bool Utf8 = true;
    int InvalidUtf8Line = 0;
};

// The manifest key that names the code page package texts are written in
// (the saver reads them in the system's ANSI code page); default 932.
constexpr const char* kCodePageKey = "CodePage";

// Syntax only: sections, comments (';' or '#'), key=value, known and
// non-repeated keys. A value in double quotes keeps its blanks. A file
// that starts with a UTF-8 byte-order mark must be UTF-8 throughout. Raises
// TPackError (ecInput) "file:line: what".
TManifest ParseManifestText(const std::string& Text, const std::string& FileName);
// Reads and parses the file; a file that cannot be read is an input error.
TManifest LoadManifest(const std::string& FileName);

// Value parsers; false when Text is not acceptable.
bool ParseFlagValue(const std::string& Text, bool& Value);
// Decimal (optionally signed) or 0x hexadecimal, fitting 32 bits.
bool ParseNumberValue(const std::string& Text, int32_t& Value);
// "#RRGGBB" gives 0x00BBGGRR; otherwise a number.
bool ParseColorValue(const std::string& Text, int32_t& Value);
// A number or low=0, high=1, autolow=2, autohigh=3, medium=4, best=5.
bool ParseQualityValue(const std::string& Text, int32_t& Value);
// 0, 1, 2 or whole-desktop, first-monitor, per-monitor.
bool ParseLayoutValue(const std::string& Text, int32_t& Value);
// auto, system or builtin, exactly as the saver expects them.
bool ParsePlayerValue(const std::string& Text);

// The package items in the order the saver needs (GUID and MovieFileName
// before Movie, ExtraFileCount before the indexed extra-file items), files
// read from disk, texts of a UTF-8 manifest converted to the CodePage.
// Raises TPackError (ecInput) naming file and line, also for a text the
// code page cannot hold and a code page this system cannot convert.
std::vector<TPackageItem> ManifestItems(const TManifest& Manifest);

} // namespace zembra
