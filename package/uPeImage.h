// The little of a PE image's headers that the package needs: where a
// signature (the certificate table named by the security directory) sits,
// where the header checksum is, and where the image's own data ends. A
// signed saver carries its certificate table behind the package.
//
// Headers are untrusted input: every offset is checked against the stream's
// size before it is read, and nothing is allocated from a header value.
#pragma once

#include "package/uStreamUtils.h"

#include <cstddef>
#include <cstdint>

namespace zembra {

struct TPeLayout {
    bool Pe32Plus = false;
    // File offsets of the optional header's CheckSum field and of the
    // security directory entry (index 4: a file offset and a size, not an
    // RVA); -1 when the optional header has no such entry.
    int64_t ChecksumOffset = -1;
    int64_t SecurityEntryOffset = -1;
    uint32_t CertificateOffset = 0;
    uint32_t CertificateSize = 0;
    // Where the headers and the last section's raw data end.
    int64_t ImageEnd = 0;

    bool HasCertificateTable() const noexcept {
        return SecurityEntryOffset >= 0 && CertificateOffset != 0 && CertificateSize != 0;
    }
    // True when the certificate table ends exactly at FileSize, which is
    // where signing puts it.
    bool TableEndsAt(int64_t FileSize) const noexcept {
        return HasCertificateTable() &&
               int64_t(CertificateOffset) + int64_t(CertificateSize) == FileSize &&
               int64_t(CertificateOffset) >= ImageEnd;
    }
};

// Reads the layout of the PE image at the start of Stream. False when it is
// not one (no "MZ" or "PE\0\0", unknown optional header) or when any header
// it needs lies outside the stream.
bool ReadPeLayout(TStream& Stream, TPeLayout& Layout);

// The PE header checksum: 16-bit one's-complement-style sum of the file,
// with the CheckSum field counted as zero, plus the file's length. Fed in
// pieces (the saver image, then what follows it).
class TPeChecksum {
  public:
    explicit TPeChecksum(int64_t ChecksumOffset) noexcept : skip_(ChecksumOffset) {}
    void Add(const unsigned char* Data, std::size_t Size) noexcept;
    uint32_t Value() const noexcept;

  private:
    void AddByte(unsigned char Byte) noexcept;
    int64_t skip_;
    uint64_t length_ = 0;
    uint32_t sum_ = 0;
    bool haveLow_ = false;
    unsigned char low_ = 0;
};

} // namespace zembra
