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
};

// Syntax only: sections, comments (';' or '#'), key=value, known and
// non-repeated keys. A value in double quotes keeps its blanks. Raises
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
// read from disk. Raises TPackError (ecInput) naming file and line.
std::vector<TPackageItem> ManifestItems(const TManifest& Manifest);

} // namespace zembra
