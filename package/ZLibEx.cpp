#include "package/ZLibEx.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zembra {

const char* const ZErrorMessages[10] = {
    "need dictionary",      // 2  Z_NEED_DICT
    "stream end",           // 1  Z_STREAM_END
    "",                     // 0  Z_OK
    "file error",           // -1 Z_ERRNO
    "stream error",         // -2 Z_STREAM_ERROR
    "data error",           // -3 Z_DATA_ERROR
    "insufficient memory",  // -4 Z_MEM_ERROR
    "buffer error",         // -5 Z_BUF_ERROR
    "incompatible version", // -6 Z_VERSION_ERROR
    "",
};

const char* ZErrorText(int Code) noexcept {
    if (Code > 2 || Code < -6)
        return "";
    return ZErrorMessages[2 - Code];
}

int CheckInflate(int Code) {
    if (Code < 0)
        throw EZDecompressionError(ZErrorText(Code));
    return Code;
}

namespace {

// Owns the growing output block until it is handed to the caller.
class TMallocBlock {
  public:
    TMallocBlock() = default;
    TMallocBlock(const TMallocBlock&) = delete;
    TMallocBlock& operator=(const TMallocBlock&) = delete;
    ~TMallocBlock() { std::free(p_); }

    unsigned char* Get() const noexcept { return p_; }
    void Resize(std::size_t Size) {
        if (Size == 0) {
            std::free(p_);
            p_ = nullptr;
            return;
        }
        void* q = std::realloc(p_, Size);
        if (q == nullptr)
            throw std::bad_alloc();
        p_ = static_cast<unsigned char*>(q);
    }
    unsigned char* Release() noexcept {
        unsigned char* p = p_;
        p_ = nullptr;
        return p;
    }

  private:
    unsigned char* p_ = nullptr;
};

// inflateEnd runs on every way out once inflateInit has succeeded.
class TInflateStream {
  public:
    TInflateStream() { std::memset(&z_, 0, sizeof z_); }
    TInflateStream(const TInflateStream&) = delete;
    TInflateStream& operator=(const TInflateStream&) = delete;
    ~TInflateStream() {
        if (open_)
            inflateEnd(&z_);
    }
    void Init() {
        CheckInflate(inflateInit(&z_));
        open_ = true;
    }
    void End() {
        open_ = false;
        CheckInflate(inflateEnd(&z_));
    }
    z_stream& Z() noexcept { return z_; }

  private:
    z_stream z_;
    bool open_ = false;
};

// How far one growth may jump beyond the current block on a projection: the
// most that deflate can compress (about 1032:1), so a well-compressed item
// needs one large step, while a stream whose start misleads the projection
// cannot make the block more than this much larger than what it has
// produced.
constexpr std::size_t kMaxProjectedJump = 1024;

// The next block size. Every reallocation may copy the whole block (it does
// on Windows), so growing in small equal steps makes a well-compressed item
// quadratic. Instead the output so far is projected over the whole input
// (with an eighth to spare, since falling short costs another copy, while
// room never written costs only address space), and the block grows at
// least by half.
std::size_t NextCapacity(std::size_t Capacity, std::size_t Delta, std::size_t HardCap,
                         uint64_t Consumed, uint64_t Produced, std::size_t InSize) {
    uint64_t next = Capacity + std::max(Capacity / 2, Delta);
    if (Consumed > 0) {
        // The first input bytes hold header and code tables rather than
        // output: leaving up to 128 of them out keeps an early projection
        // from falling short.
        const uint64_t coding = std::min<uint64_t>(Consumed / 2, 128);
        // Both below 2^31: the product fits.
        uint64_t projected = Produced * InSize / (Consumed - coding);
        projected += projected / 8 + Delta;
        const uint64_t jumpCap = uint64_t(Capacity) * kMaxProjectedJump;
        next = std::max(next, std::min(projected, jumpCap));
    }
    return next > HardCap ? HardCap : static_cast<std::size_t>(next);
}

// Grows Block to Wanted bytes; when a large projected size cannot be had,
// falls back to growing by half before giving up.
void GrowOutput(TMallocBlock& Block, std::size_t& Capacity, std::size_t Wanted) {
    try {
        Block.Resize(Wanted);
        Capacity = Wanted;
    } catch (const std::bad_alloc&) {
        const std::size_t modest = Capacity + Capacity / 2 + 1;
        if (modest >= Wanted)
            throw;
        Block.Resize(modest);
        Capacity = modest;
    }
}

} // namespace

void InflateBufferLimited(const void* InBuffer, int InSize, void*& OutBuffer, int& OutSize,
                          int OutEstimate, std::size_t MaxOutSize) {
    if (MaxOutSize > kMaxInflatedSize)
        MaxOutSize = kMaxInflatedSize;
    // An empty or missing input cannot hold a complete stream: this is what
    // zlib answers when it runs out of input.
    if (InBuffer == nullptr || InSize <= 0)
        throw EZDecompressionError(ZErrorText(Z_BUF_ERROR));
    if (OutEstimate < 0)
        OutEstimate = 0;

    // The smallest growth step: the input size rounded up to a multiple of
    // 256.
    const std::size_t delta = (static_cast<std::size_t>(InSize) + 255) & ~std::size_t(255);
    // One byte past the bound is enough to notice output beyond it.
    const std::size_t hardCap = MaxOutSize + 1;
    std::size_t capacity = OutEstimate != 0 ? static_cast<std::size_t>(OutEstimate) : delta;
    if (capacity > hardCap)
        capacity = hardCap;

    TMallocBlock out;
    out.Resize(capacity);

    TInflateStream stream;
    z_stream& z = stream.Z();
    z.next_in = static_cast<Bytef*>(const_cast<void*>(InBuffer));
    z.avail_in = static_cast<uInt>(InSize);
    z.next_out = out.Get();
    z.avail_out = static_cast<uInt>(capacity);
    stream.Init();

    for (;;) {
        const uLong inBefore = z.total_in;
        const uLong outBefore = z.total_out;
        const int rc = CheckInflate(inflate(&z, Z_NO_FLUSH));
        if (rc == Z_STREAM_END)
            break;
        // A preset dictionary is never used by packages; without this check
        // the block would grow for ever while zlib keeps asking for one.
        if (rc == Z_NEED_DICT)
            throw EZDecompressionError(ZErrorText(Z_NEED_DICT));
        if (z.total_in == inBefore && z.total_out == outBefore && z.avail_out != 0)
            throw EZDecompressionError(ZErrorText(Z_BUF_ERROR));
        if (capacity >= hardCap) {
            // Full at one byte past the bound: the item is too large. With
            // room left, the next call reports what zlib thinks is wrong.
            if (z.avail_out == 0)
                throw EZDecompressionError(ZErrorText(Z_MEM_ERROR));
            continue;
        }
        GrowOutput(out, capacity,
                   NextCapacity(capacity, delta, hardCap, z.total_in, z.total_out,
                                static_cast<std::size_t>(InSize)));
        z.next_out = out.Get() + z.total_out;
        z.avail_out = static_cast<uInt>(capacity - z.total_out);
    }
    if (z.total_out > MaxOutSize)
        throw EZDecompressionError(ZErrorText(Z_MEM_ERROR));

    const std::size_t total = z.total_out;
    stream.End();
    out.Resize(total); // shrinking; a total of 0 frees the block
    OutSize = static_cast<int>(total);
    OutBuffer = out.Release();
}

void InflateBuffer(const void* InBuffer, int InSize, void*& OutBuffer, int& OutSize,
                   int OutEstimate) {
    InflateBufferLimited(InBuffer, InSize, OutBuffer, OutSize, OutEstimate, kMaxInflatedSize);
}

} // namespace zembra
