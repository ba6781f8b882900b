// Reader of the content package appended behind an executable.
//
// The file ends in a 12-byte trailer: the body size S (signed 64-bit LE)
// and the magic "PLWS". The body starts at F - 12 - S: a 32-bit name key
// (only its low byte is used), a signed 32-bit item count and the item
// records: name length, name XORed with the key byte, compressed flag,
// signed 32-bit data length, data (a zlib stream when the flag is not 0).
#pragma once

#include "package/uStreamUtils.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include "util/uHandles.h"
#endif

namespace zembra {

// A read-only file stream that lets others read and write the file.
// Construction never throws; IsOpen() tells whether the file was opened.
// Destroying the stream closes the file.
#ifdef _WIN32
class THandleStream : public TStream {
  public:
    explicit THandleStream(UniqueHandle Handle) noexcept : handle_(std::move(Handle)) {}
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count);
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override;
    bool IsOpen() const noexcept { return handle_.Valid(); }
    HANDLE Handle() const noexcept { return handle_.Get(); }

  private:
    UniqueHandle handle_;
};

class TFileReadStream : public THandleStream {
  public:
    explicit TFileReadStream(const std::string& FileName) noexcept;
};
#else
class TFileReadStream : public TStream {
  public:
    explicit TFileReadStream(const std::string& FileName) noexcept;
    ~TFileReadStream() override;
    TFileReadStream(const TFileReadStream&) = delete;
    TFileReadStream& operator=(const TFileReadStream&) = delete;
    int32_t Read(void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override;
    bool IsOpen() const noexcept { return fd_ >= 0; }

  private:
    int fd_ = -1;
};
#endif

// Every byte of Source XORed with Key; its own inverse.
std::string XorString(const std::string& Source, uint8_t Key);

struct TItemType {
    std::string Name;              // descrambled
    unsigned char* Data = nullptr; // malloc'ed, inflated; null when Size is 0
    int32_t Size = 0;
    uint8_t Compressed = 0; // the flag as stored
};
using TItemTypes = std::vector<TItemType>;

// The package's magic, the last four bytes of the file (of what precedes
// the signature in a signed file).
constexpr char kPackageMagic[4] = {'P', 'L', 'W', 'S'};
constexpr int kTrailerSize = 12;

// Where the package's trailer ends in a stream of FileSize bytes: at the end
// of the file, or, in a signed file, right before the certificate table
// that the PE security directory names and that ends the file (signing may
// have put up to 7 zero bytes between them). -1 when there is no package.
int64_t FindPackageEnd(TStream& Stream, int64_t FileSize);

// Fills Items from the package behind FileName, in package order.
// No package, a file that cannot be opened, or a damaged package (sizes or
// lengths that do not fit the bytes present, negative lengths, short reads)
// all give an empty array and no exception.
// An item whose zlib stream does not inflate raises EZDecompressionError;
// Items then holds the items read before it, to be released by FreeItems.
// The total inflated size of all items is bounded by kMaxInflatedSize.
// std::bad_alloc may leave too, with the same guarantee.
void ReadItems(const std::string& FileName, TItemTypes& Items);

// The same on any seekable stream (the package is found from its end).
void ReadItemsFromStream(TStream& Stream, TItemTypes& Items);

// Frees every item's Data and empties the array.
void FreeItems(TItemTypes& Items) noexcept;

// Owns the buffers of the items read into Items: they are freed with the
// holder, also when reading or using them ends in an exception. Move-only,
// so no buffer is ever freed twice.
struct TOwnedItems {
    TItemTypes Items;

    TOwnedItems() = default;
    ~TOwnedItems() { FreeItems(Items); }
    TOwnedItems(TOwnedItems&& other) noexcept : Items(std::move(other.Items)) {
        other.Items.clear();
    }
    TOwnedItems& operator=(TOwnedItems&& other) noexcept {
        if (this != &other) {
            FreeItems(Items);
            Items = std::move(other.Items);
            other.Items.clear();
        }
        return *this;
    }
    TOwnedItems(const TOwnedItems&) = delete;
    TOwnedItems& operator=(const TOwnedItems&) = delete;
};

} // namespace zembra
