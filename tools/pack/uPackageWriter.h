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

// Copies the saver at SaverPath with Package behind it to OutputPath,
// atomically. Raises TPackError: ecInput when the saver cannot be read or
// already carries a package, ecIo when the output cannot be written.
void WritePackagedSaver(const std::string& SaverPath, const std::vector<unsigned char>& Package,
                        const std::string& OutputPath);

} // namespace zembra
