// Encoding of a content package: body plus 12-byte trailer, appended as is
// behind the saver executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

struct TPackageItem {
    std::string Name;
    std::vector<unsigned char> Data; // the plain value
    bool Compress = false;           // stored as a zlib stream when not empty
};

// The name key used when none is given.
constexpr uint32_t kDefaultNameKey = 0x5A;

// The package bytes: key, count, records (names XORed with the key's low
// byte, compressible data deflated at the default level), body size, magic.
// Raises TPackError (ecInput) when an item is too large for the format.
std::vector<unsigned char> EncodePackage(const std::vector<TPackageItem>& Items, uint32_t Key);

struct TPackedSaver {
    // The saver was signed: its signature was taken off (the output must
    // be signed again).
    bool SignatureRemoved = false;
};

// Copies the saver at SaverPath with Package behind it to OutputPath,
// atomically: the saver's bytes, up to 7 zeros that make the file a
// multiple of 8 bytes long, the package. A signed saver loses its
// signature first (and gets a new header checksum). Raises TPackError:
// ecInput when the saver cannot be read, already carries a package or has
// a signature that cannot be removed, ecIo when the output cannot be
// written.
TPackedSaver WritePackagedSaver(const std::string& SaverPath,
                                const std::vector<unsigned char>& Package,
                                const std::string& OutputPath);

} // namespace zembra
