#include "package/ZLibEx.h"
#include "uTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace zembra {
namespace {

using test::Bytes;
using test::Deflate;

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>((i * 7 + i / 13) & 0xFF);
    return b;
}

// Inflates and returns the result, freeing the block.
Bytes Inflate(const Bytes& Packed, int Estimate = 0) {
    void* out = reinterpret_cast<void*>(1); // must be overwritten
    int size = -1;
    InflateBuffer(Packed.data(), static_cast<int>(Packed.size()), out, size, Estimate);
    EXPECT_GE(size, 0);
    EXPECT_EQ(size == 0, out == nullptr);
    Bytes r(static_cast<unsigned char*>(out), static_cast<unsigned char*>(out) + size);
    std::free(out);
    return r;
}

std::string FailureText(const Bytes& Packed, std::size_t Limit = kMaxInflatedSize) {
    void* out = nullptr;
    int size = 12345;
    try {
        InflateBufferLimited(Packed.data(), static_cast<int>(Packed.size()), out, size, 0, Limit);
    } catch (const EZDecompressionError& e) {
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(size, 12345);
        return e.what();
    }
    std::free(out);
    return "no error";
}

TEST(ZLibEx, ErrorTextsAndCheckInflate) {
    EXPECT_EQ(CheckInflate(0), 0);
    EXPECT_EQ(CheckInflate(1), 1);
    EXPECT_EQ(CheckInflate(2), 2);
    const char* expected[] = {"file error",          "stream error", "data error",
                              "insufficient memory", "buffer error", "incompatible version"};
    for (int code = -1; code >= -6; --code) {
        try {
            CheckInflate(code);
            ADD_FAILURE() << code;
        } catch (const EZLibError& e) { // the base class catches it too
            EXPECT_STREQ(e.what(), expected[-code - 1]);
            EXPECT_NE(dynamic_cast<const EZDecompressionError*>(&e), nullptr);
        }
    }
    EXPECT_STREQ(ZErrorText(2), "need dictionary");
    EXPECT_STREQ(ZErrorText(1), "stream end");
    EXPECT_STREQ(ZErrorText(0), "");
    EXPECT_STREQ(ZErrorText(-7), "");
    EXPECT_STREQ(ZErrorText(100), "");
}

TEST(ZLibEx, InflatesToExactSizeAroundCapacityBoundaries) {
    // An empty stream gives no block.
    EXPECT_TRUE(Inflate(Deflate(Bytes())).empty());

    // Zeros shrink to a few bytes, so the step is 256: 256 and 512 fill the
    // block exactly, 257 and 513 need one more step.
    for (std::size_t n : {1u, 255u, 256u, 257u, 511u, 512u, 513u, 100000u}) {
        const Bytes plain(n, 0);
        const Bytes packed = Deflate(plain, 9);
        ASSERT_LT(packed.size(), 256u);
        EXPECT_EQ(Inflate(packed), plain) << n;
    }
    // Incompressible data whose output is a little larger than its input.
    for (std::size_t n : {1000u, 4096u, 70000u}) {
        const Bytes plain = Pattern(n);
        EXPECT_EQ(Inflate(Deflate(plain, 0)), plain) << n;
        EXPECT_EQ(Inflate(Deflate(plain)), plain) << n;
    }
}

TEST(ZLibEx, OutEstimateOnlySetsTheStartingBlock) {
    const Bytes plain = Pattern(5000);
    const Bytes packed = Deflate(plain);
    // Too small, exact, one short, and far too large: the result is always
    // exactly the inflated data.
    for (int estimate : {1, 4999, 5000, 5001, 1 << 20})
        EXPECT_EQ(Inflate(packed, estimate), plain) << estimate;
    EXPECT_TRUE(Inflate(Deflate(Bytes()), 1000).empty());
}

TEST(ZLibEx, StreamsWhoseStartMisleadsTheGrowthStillInflateExactly) {
    // The block grows to what the output so far projects over the input:
    // a stream that changes character half-way makes that projection far
    // too large or far too small.
    Bytes noise = Pattern(100000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<unsigned char>(noise[i] * 31 + (i >> 3) * 17 + (i * i >> 7));
    Bytes zerosThenNoise(1u << 20, 0);
    zerosThenNoise.insert(zerosThenNoise.end(), noise.begin(), noise.end());
    Bytes noiseThenZeros = noise;
    noiseThenZeros.resize(noise.size() + (2u << 20), 0);
    for (const Bytes* plain : {&zerosThenNoise, &noiseThenZeros}) {
        const Bytes packed = Deflate(*plain, 9);
        EXPECT_EQ(Inflate(packed), *plain);
        // The same bound applies however large the projected step.
        EXPECT_EQ(FailureText(packed, plain->size() - 1), "insufficient memory");
        void* out = nullptr;
        int size = 0;
        InflateBufferLimited(packed.data(), static_cast<int>(packed.size()), out, size, 0,
                             plain->size());
        EXPECT_EQ(static_cast<std::size_t>(size), plain->size());
        std::free(out);
    }
}

TEST(ZLibEx, DamagedStreamsRaiseAndLeaveNothingAllocated) {
    const Bytes plain = Pattern(20000);
    const Bytes packed = Deflate(plain);
    {
        Bytes badCheck = packed;
        badCheck.back() ^= 0x01; // the Adler-32 value is the last four bytes
        EXPECT_EQ(FailureText(badCheck), "data error");

        Bytes badHeader = packed;
        badHeader[0] = 0x00;
        EXPECT_EQ(FailureText(badHeader), "data error");

        // Cut anywhere, the stream ends in "buffer error".
        for (std::size_t cut : {std::size_t(2), packed.size() / 2, packed.size() - 1})
            EXPECT_EQ(FailureText(Bytes(packed.begin(), packed.begin() + cut)), "buffer error")
                << cut;
        EXPECT_EQ(FailureText(Bytes{0x78}), "buffer error");
    }
}

TEST(ZLibEx, EmptyOrMissingInputRaises) {
    void* out = nullptr;
    int size = 7;
    const unsigned char byte = 0x78;
    EXPECT_THROW(InflateBuffer(&byte, 0, out, size), EZDecompressionError);
    EXPECT_THROW(InflateBuffer(&byte, -5, out, size), EZDecompressionError);
    EXPECT_THROW(InflateBuffer(nullptr, 10, out, size), EZDecompressionError);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(size, 7);
}

TEST(ZLibEx, PresetDictionaryEndsInsteadOfGrowingForever) {
    const std::string dictionary = "a dictionary the package format never uses";
    z_stream z;
    std::memset(&z, 0, sizeof z);
    ASSERT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
    ASSERT_EQ(deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                                   static_cast<uInt>(dictionary.size())),
              Z_OK);
    Bytes plain(dictionary.begin(), dictionary.end());
    Bytes packed(256);
    z.next_in = plain.data();
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);

    EXPECT_EQ(FailureText(packed), "need dictionary");
}

TEST(ZLibEx, OutputBoundStopsDecompressionBombs) {
    const Bytes plain(100000, 'z');
    const Bytes packed = Deflate(plain, 9);
    {
        EXPECT_EQ(FailureText(packed, 99999), "insufficient memory");
        EXPECT_EQ(FailureText(packed, 1000), "insufficient memory");
    }

    // A stream cut short right at the bound is still reported as cut short:
    // stored, without its last 6 data bytes and the check value, it yields
    // 2994 bytes.
    const Bytes cut = Bytes(Deflate(Pattern(3000), 0));
    const Bytes head(cut.begin(), cut.end() - 10);
    EXPECT_EQ(FailureText(head, 3000), "buffer error");
    EXPECT_EQ(FailureText(head, 2994), "buffer error");
    EXPECT_EQ(FailureText(head, 2993), "insufficient memory");

    // Exactly at the bound is still fine.
    void* out = nullptr;
    int size = 0;
    InflateBufferLimited(packed.data(), static_cast<int>(packed.size()), out, size, 0, 100000);
    EXPECT_EQ(size, 100000);
    std::free(out);
}

} // namespace
} // namespace zembra
