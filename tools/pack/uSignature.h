// Removing the signature of a signed saver before a package is appended:
// signing puts a certificate table at the end of the file, and a package
// appended behind it would both break the signature and hide the table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

struct TRemovedSignature {
    bool Removed = false;
    uint32_t TableSize = 0;
    int64_t ChecksumOffset = -1; // of the image the signature was taken from
};

// Drops the certificate table that ends Image, any zero padding signing
// put before it (never into the image's own data), and zeroes the security
// directory entry. An unsigned image is left as it is. Raises TPackError
// (ecInput, naming Name) when the security directory names a table that
// does not end the file or starts inside the image's own data: that cannot
// be taken away safely.
TRemovedSignature RemoveSignature(std::vector<unsigned char>& Image, const std::string& Name);

// Writes the PE checksum of Image followed by Following into Image's
// CheckSum field.
void UpdatePeChecksum(std::vector<unsigned char>& Image, int64_t ChecksumOffset,
                      const std::vector<const std::vector<unsigned char>*>& Following);

} // namespace zembra
