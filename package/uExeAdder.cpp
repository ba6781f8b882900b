#include "package/uExeAdder.h"

#include "package/ZLibEx.h"
#include "package/uPeImage.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zembra {

// ---------------------------------------------------------------------------
// File streams

#ifdef _WIN32

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0 || !IsOpen())
        return 0;
    DWORD got = 0;
    if (!ReadFile(handle_.Get(), Buffer, static_cast<DWORD>(Count), &got, nullptr))
        return 0;
    return static_cast<int32_t>(got);
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0 || !IsOpen())
        return 0;
    DWORD put = 0;
    if (!WriteFile(handle_.Get(), Buffer, static_cast<DWORD>(Count), &put, nullptr))
        return 0;
    return static_cast<int32_t>(put);
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    if (!IsOpen())
        return -1;
    DWORD method = FILE_BEGIN;
    if (Origin == soCurrent)
        method = FILE_CURRENT;
    else if (Origin == soEnd)
        method = FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = Offset;
    LARGE_INTEGER result;
    result.QuadPart = 0;
    if (!SetFilePointerEx(handle_.Get(), distance, &result, method))
        return -1;
    return result.QuadPart;
}

int64_t THandleStream::Size() {
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(handle_.Get(), &size))
        return -1;
    return size.QuadPart;
}

TFileReadStream::TFileReadStream(const std::string& FileName) noexcept
    : THandleStream(UniqueHandle(CreateFileA(FileName.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

#else

TFileReadStream::TFileReadStream(const std::string& FileName) noexcept {
    fd_ = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    // Directories open fine on POSIX but are not files to read a package from.
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
}

TFileReadStream::~TFileReadStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

int32_t TFileReadStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0 || fd_ < 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, Buffer, static_cast<std::size_t>(Count));
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? 0 : static_cast<int32_t>(n);
    }
}

int64_t TFileReadStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    if (fd_ < 0)
        return -1;
    int whence = SEEK_SET;
    if (Origin == soCurrent)
        whence = SEEK_CUR;
    else if (Origin == soEnd)
        whence = SEEK_END;
    const off_t r = ::lseek(fd_, static_cast<off_t>(Offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t TFileReadStream::Size() {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

#endif

// ---------------------------------------------------------------------------
// Package reader

std::string XorString(const std::string& Source, uint8_t Key) {
    std::string r(Source);
    for (char& c : r)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ Key);
    return r;
}

void FreeItems(TItemTypes& Items) noexcept {
    for (TItemType& item : Items) {
        std::free(item.Data);
        item.Data = nullptr;
        item.Size = 0;
    }
    Items.clear();
}

namespace {

// Raised inside the reader only: the package does not fit the file.
struct TDamagedPackage {};

struct TFreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};
using TMallocPtr = std::unique_ptr<unsigned char, TFreeDeleter>;

// Reads the body strictly forward and refuses every read that would go past
// the start of the trailer, so no length is trusted before it is checked
// against the bytes actually there.
class TBodyReader {
  public:
    TBodyReader(TStream& Stream, int64_t Remaining) noexcept
        : stream_(Stream), remaining_(Remaining) {}

    void Need(int64_t Count) const {
        if (Count < 0 || Count > remaining_)
            throw TDamagedPackage{};
    }
    void Bytes(void* Buffer, int32_t Count) {
        Need(Count);
        if (!ReadExact(stream_, Buffer, Count))
            throw TDamagedPackage{};
        remaining_ -= Count;
    }
    uint8_t Byte() {
        unsigned char b = 0;
        Bytes(&b, 1);
        return b;
    }
    int32_t Int32() {
        unsigned char b[4];
        Bytes(b, 4);
        return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                    uint32_t(b[3]) << 24);
    }
    // A non-negative length that fits in what is left.
    int32_t Length() {
        const int32_t n = Int32();
        Need(n);
        return n;
    }
    int64_t Remaining() const noexcept { return remaining_; }

  private:
    TStream& stream_;
    int64_t remaining_;
};

// The smallest record: name length, flag and data length, all empty.
constexpr int64_t kMinRecordSize = 4 + 1 + 4;

unsigned char* AllocateBlock(int32_t Size) {
    void* p = std::malloc(static_cast<std::size_t>(Size));
    if (p == nullptr)
        throw std::bad_alloc();
    return static_cast<unsigned char*>(p);
}

void ReadRecord(TBodyReader& Body, uint8_t Key, TItemType& Item, std::size_t& InflateBudget) {
    const int32_t nameLength = Body.Length();
    Body.Need(int64_t(nameLength) + 1 + 4);
    std::string raw(static_cast<std::size_t>(nameLength), '\0');
    if (nameLength > 0)
        Body.Bytes(&raw[0], nameLength);
    Item.Name = XorString(raw, Key);

    Item.Compressed = Body.Byte();
    const int32_t dataLength = Body.Length();
    if (dataLength == 0)
        return;
    if (Item.Compressed != 0) {
        TMallocPtr packed(AllocateBlock(dataLength));
        Body.Bytes(packed.get(), dataLength);
        void* out = nullptr;
        int outSize = 0;
        InflateBufferLimited(packed.get(), dataLength, out, outSize, 0, InflateBudget);
        Item.Data = static_cast<unsigned char*>(out);
        Item.Size = outSize;
        InflateBudget -= static_cast<std::size_t>(outSize);
    } else {
        Item.Data = AllocateBlock(dataLength);
        Item.Size = dataLength;
        Body.Bytes(Item.Data, dataLength);
    }
}

} // namespace

namespace {

bool MagicAt(TStream& Stream, int64_t End) {
    char magic[4];
    return End >= 4 && Stream.Seek(End - 4, soBeginning) == End - 4 &&
           ReadExact(Stream, magic, 4) && std::memcmp(magic, kPackageMagic, 4) == 0;
}

// Signing pads the file to a multiple of 8 bytes before its table.
constexpr int kMaxSignaturePadding = 7;

} // namespace

int64_t FindPackageEnd(TStream& Stream, int64_t FileSize) {
    if (FileSize < kTrailerSize)
        return -1;
    if (MagicAt(Stream, FileSize))
        return FileSize;
    TPeLayout pe;
    if (!ReadPeLayout(Stream, pe) || !pe.TableEndsAt(FileSize))
        return -1;
    const int64_t table = pe.CertificateOffset;
    // The trailer's last byte is not zero, so the padding is the run of
    // zeros right before the table.
    unsigned char tail[kMaxSignaturePadding];
    const int64_t span = table < kMaxSignaturePadding ? table : kMaxSignaturePadding;
    if (Stream.Seek(table - span, soBeginning) != table - span ||
        !ReadExact(Stream, tail, static_cast<int32_t>(span)))
        return -1;
    int64_t end = table;
    while (end > table - span && tail[end - (table - span) - 1] == 0)
        --end;
    if (end < kTrailerSize || !MagicAt(Stream, end))
        return -1;
    return end;
}

void ReadItemsFromStream(TStream& Stream, TItemTypes& Items) {
    FreeItems(Items);

    const int64_t packageEnd = FindPackageEnd(Stream, Stream.Size());
    if (packageEnd < kTrailerSize)
        return;
    if (Stream.Seek(packageEnd - kTrailerSize, soBeginning) < 0)
        return;
    unsigned char sizeBytes[8];
    if (!ReadExact(Stream, sizeBytes, 8))
        return;
    uint64_t rawSize = 0;
    for (int i = 7; i >= 0; --i)
        rawSize = rawSize << 8 | sizeBytes[i];
    const int64_t bodySize = static_cast<int64_t>(rawSize);
    // The body must hold at least the key and the count, and start inside
    // the file.
    if (bodySize < 8 || bodySize > packageEnd - kTrailerSize)
        return;
    if (Stream.Seek(packageEnd - kTrailerSize - bodySize, soBeginning) < 0)
        return;

    try {
        TBodyReader body(Stream, bodySize);
        const uint8_t key = static_cast<uint8_t>(body.Int32() & 0xFF);
        const int32_t count = body.Int32();
        if (count < 0 || count > body.Remaining() / kMinRecordSize)
            throw TDamagedPackage{};
        // Reserve for the common case only; a count that the records do not
        // back up must not decide how much memory is taken up front.
        Items.reserve(static_cast<std::size_t>(count < 4096 ? count : 4096));
        std::size_t inflateBudget = kMaxInflatedSize;
        for (int32_t i = 0; i < count; ++i) {
            // The element joins the array empty first, so whatever it then
            // owns is released with the array on every way out.
            Items.emplace_back();
            ReadRecord(body, key, Items.back(), inflateBudget);
        }
    } catch (const TDamagedPackage&) {
        FreeItems(Items);
    }
}

void ReadItems(const std::string& FileName, TItemTypes& Items) {
    FreeItems(Items);
    TFileReadStream stream(FileName);
    if (!stream.IsOpen())
        return;
    ReadItemsFromStream(stream, Items);
}

} // namespace zembra
