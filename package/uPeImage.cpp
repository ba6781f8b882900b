#include "package/uPeImage.h"

#include <vector>

namespace zembra {

namespace {

constexpr int64_t kDosHeaderSize = 64;
constexpr int64_t kNewHeaderPointer = 0x3C;
constexpr int64_t kCoffHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr int64_t kChecksumField = 64;
constexpr int64_t kSizeOfHeadersField = 60;
constexpr int kSecurityDirectory = 4;
constexpr int64_t kSectionHeaderSize = 40;

uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads Count bytes at Offset when they lie wholly inside a stream of Size.
bool ReadAt(TStream& Stream, int64_t Size, int64_t Offset, void* Buffer, int64_t Count) {
    if (Offset < 0 || Count < 0 || Offset > Size || Count > Size - Offset || Count > INT32_MAX)
        return false;
    return Stream.Seek(Offset, soBeginning) == Offset &&
           ReadExact(Stream, Buffer, static_cast<int32_t>(Count));
}

} // namespace

bool ReadPeLayout(TStream& Stream, TPeLayout& Layout) {
    Layout = TPeLayout();
    const int64_t size = Stream.Size();
    unsigned char dos[kDosHeaderSize];
    if (size < kDosHeaderSize || !ReadAt(Stream, size, 0, dos, kDosHeaderSize) || dos[0] != 'M' ||
        dos[1] != 'Z')
        return false;
    const int64_t pe = Le32(dos + kNewHeaderPointer);
    unsigned char head[4 + kCoffHeaderSize];
    if (!ReadAt(Stream, size, pe, head, sizeof head) || head[0] != 'P' || head[1] != 'E' ||
        head[2] != 0 || head[3] != 0)
        return false;
    const unsigned sections = Le16(head + 4 + 2);
    const int64_t optionalSize = Le16(head + 4 + 16);
    const int64_t optional = pe + 4 + kCoffHeaderSize;

    // The fields up to the data directories; the directories follow.
    unsigned char fixed[112];
    if (optionalSize < 2 || !ReadAt(Stream, size, optional, fixed, 2))
        return false;
    const uint16_t magic = Le16(fixed);
    if (magic != kPe32Magic && magic != kPe32PlusMagic)
        return false;
    Layout.Pe32Plus = magic == kPe32PlusMagic;
    const int64_t directories = Layout.Pe32Plus ? 112 : 96;
    if (optionalSize < directories || !ReadAt(Stream, size, optional, fixed, directories))
        return false;
    Layout.ChecksumOffset = optional + kChecksumField;
    int64_t imageEnd = Le32(fixed + kSizeOfHeadersField);

    const uint32_t directoryCount = Le32(fixed + directories - 4);
    const int64_t entry = directories + kSecurityDirectory * 8;
    unsigned char security[8];
    if (directoryCount > kSecurityDirectory && optionalSize >= entry + 8) {
        if (!ReadAt(Stream, size, optional + entry, security, 8))
            return false;
        Layout.SecurityEntryOffset = optional + entry;
        Layout.CertificateOffset = Le32(security);
        Layout.CertificateSize = Le32(security + 4);
    }

    // Section headers: at most 65535 of 40 bytes, and only when they are
    // all there.
    const int64_t table = optional + optionalSize;
    const int64_t tableSize = int64_t(sections) * kSectionHeaderSize;
    if (table > size || tableSize > size - table)
        return false;
    std::vector<unsigned char> headers(static_cast<std::size_t>(tableSize));
    if (tableSize > 0 && !ReadAt(Stream, size, table, headers.data(), tableSize))
        return false;
    for (unsigned i = 0; i < sections; ++i) {
        const unsigned char* s = headers.data() + i * kSectionHeaderSize;
        const int64_t rawSize = Le32(s + 16);
        const int64_t rawPointer = Le32(s + 20);
        if (rawSize != 0 && rawPointer + rawSize > imageEnd)
            imageEnd = rawPointer + rawSize;
    }
    Layout.ImageEnd = imageEnd;
    return true;
}

void TPeChecksum::AddByte(unsigned char Byte) noexcept {
    const int64_t pos = static_cast<int64_t>(length_++);
    if (pos >= skip_ && pos < skip_ + 4)
        Byte = 0;
    if (!haveLow_) {
        low_ = Byte;
        haveLow_ = true;
        return;
    }
    sum_ += uint32_t(low_) | uint32_t(Byte) << 8;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    haveLow_ = false;
}

void TPeChecksum::Add(const unsigned char* Data, std::size_t Size) noexcept {
    std::size_t i = 0;
    while (i < Size) {
        const int64_t pos = static_cast<int64_t>(length_);
        // Whole words away from the CheckSum field take the quick way.
        if (!haveLow_ && i + 1 < Size && (pos + 1 < skip_ || pos >= skip_ + 4)) {
            sum_ += uint32_t(Data[i]) | uint32_t(Data[i + 1]) << 8;
            sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
            length_ += 2;
            i += 2;
            continue;
        }
        AddByte(Data[i++]);
    }
}

uint32_t TPeChecksum::Value() const noexcept {
    uint32_t sum = sum_;
    if (haveLow_) {
        sum += low_;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + length_);
}

} // namespace zembra
