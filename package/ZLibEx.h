// Inflating of compressed package items: one complete zlib stream held in
// memory becomes one heap block of exactly the inflated length.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace zembra {

class EZLibError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class EZDecompressionError : public EZLibError {
  public:
    using EZLibError::EZLibError;
};

// zlib's short texts, indexed by 2 - code: codes 2 ("need dictionary") down
// to -6 ("incompatible version"); -7 and below give an empty text.
extern const char* const ZErrorMessages[10];

// The text for a zlib result code; empty for codes outside the table.
const char* ZErrorText(int Code) noexcept;

// Returns a non-negative zlib result code unchanged; a negative one raises
// EZDecompressionError carrying the code's text.
int CheckInflate(int Code);

// No single item inflates to more than this; larger output raises
// EZDecompressionError ("insufficient memory") instead of exhausting the
// 32-bit address space on a decompression bomb.
constexpr std::size_t kMaxInflatedSize = std::size_t(1) << 30;

// Inflates InSize bytes at InBuffer (one zlib stream with header and
// Adler-32 value). On return OutBuffer is a malloc'ed block of exactly
// OutSize bytes owned by the caller (free() it), or null when OutSize is 0.
// The block starts at OutEstimate bytes (or InSize rounded up to a multiple
// of 256 when 0) and grows to the output projected from the input used so
// far, at least by half each time, so that few reallocations happen.
// Failures raise EZDecompressionError (damaged, truncated, dictionary
// needed, no progress, output above kMaxInflatedSize) or std::bad_alloc;
// OutBuffer/OutSize are then untouched and nothing stays allocated.
void InflateBuffer(const void* InBuffer, int InSize, void*& OutBuffer, int& OutSize,
                   int OutEstimate = 0);

// The same with an explicit output bound (at most kMaxInflatedSize); the
// package reader uses it to bound the total of all items.
void InflateBufferLimited(const void* InBuffer, int InSize, void*& OutBuffer, int& OutSize,
                          int OutEstimate, std::size_t MaxOutSize);

} // namespace zembra
