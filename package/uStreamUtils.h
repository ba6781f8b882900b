// A minimal stream abstraction and the little-endian readers the package
// reader is built on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zembra {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
  public:
    virtual ~TStream() = default;
    // Reads up to Count bytes at the current position; returns how many
    // were read (0 at the end, on failure or for Count <= 0).
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    // Moves the position; returns the new position, or -1 when the target
    // is before the start or the stream cannot seek (position unchanged).
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    // -1 when unknown.
    virtual int64_t Size();
    int64_t Position() { return Seek(0, soCurrent); }
};

// A read-only stream over a borrowed block of memory.
class TMemoryStream : public TStream {
  public:
    TMemoryStream(const void* Data, std::size_t Size) noexcept
        : data_(static_cast<const unsigned char*>(Data)), size_(static_cast<int64_t>(Size)) {}
    int32_t Read(void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return size_; }

  private:
    const unsigned char* data_;
    int64_t size_;
    int64_t pos_ = 0;
};

// Fixed-size little-endian readers. They do not report short reads: the
// bytes not delivered read as zero. Callers that need certainty check the
// bytes remaining first (as the package reader does).
uint8_t ReadByte(TStream& Stream);
int32_t ReadInteger(TStream& Stream);
int64_t ReadInt64(TStream& Stream);
// Reads a 32-bit length n and then n bytes into Text. A negative n, or one
// larger than the bytes left in the stream, clears Text and returns false
// without allocating; a short read also returns false.
bool ReadString(TStream& Stream, std::string& Text);

// Reads exactly Count bytes or returns false.
bool ReadExact(TStream& Stream, void* Buffer, int32_t Count);

} // namespace zembra
