// Measures InflateBuffer on a 10 MB item that compresses very well and on a
// 10 MB item of random bytes, against one zlib uncompress into a block of
// exactly the inflated size (the best any loader could do knowing the size
// in advance). Both include allocating the output block.
//
//   package_inflate_bench [megabytes] [rounds]
#include "package/ZLibEx.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

Bytes Deflate(const Bytes& Plain) {
    uLongf size = compressBound(static_cast<uLong>(Plain.size()));
    Bytes out(size);
    compress2(out.data(), &size, Plain.data(), static_cast<uLong>(Plain.size()),
              Z_DEFAULT_COMPRESSION);
    out.resize(size);
    return out;
}

double Seconds(Clock::time_point From, Clock::time_point To) {
    return std::chrono::duration<double>(To - From).count();
}

// Seconds for InflateBuffer, or a negative value when it gave a wrong result.
double TimeInflateBuffer(const Bytes& Packed, const Bytes& Plain) {
    void* out = nullptr;
    int size = 0;
    const auto t0 = Clock::now();
    zembra::InflateBuffer(Packed.data(), static_cast<int>(Packed.size()), out, size);
    const auto t1 = Clock::now();
    const bool right = static_cast<std::size_t>(size) == Plain.size() &&
                       (size == 0 || std::memcmp(out, Plain.data(), Plain.size()) == 0);
    std::free(out);
    return right ? Seconds(t0, t1) : -1.0;
}

double TimeUncompressExact(const Bytes& Packed, const Bytes& Plain) {
    const auto t0 = Clock::now();
    void* out = std::malloc(Plain.size());
    uLongf size = static_cast<uLongf>(Plain.size());
    const int rc = out == nullptr ? Z_MEM_ERROR
                                  : uncompress(static_cast<Bytef*>(out), &size, Packed.data(),
                                               static_cast<uLong>(Packed.size()));
    const auto t1 = Clock::now();
    std::free(out);
    return rc == Z_OK && size == Plain.size() ? Seconds(t0, t1) : -1.0;
}

bool Measure(const char* Label, const Bytes& Plain, int Rounds) {
    const Bytes packed = Deflate(Plain);
    double bestInflate = 1e30, bestExact = 1e30;
    // Alternating, so that both see the same state of the machine.
    for (int r = 0; r < Rounds; ++r) {
        const double a = TimeInflateBuffer(packed, Plain);
        const double b = TimeUncompressExact(packed, Plain);
        if (a < 0 || b < 0) {
            std::printf("%s: wrong result\n", Label);
            return false;
        }
        bestInflate = a < bestInflate ? a : bestInflate;
        bestExact = b < bestExact ? b : bestExact;
    }
    std::printf("%-13s %9zu -> %9zu bytes: InflateBuffer %8.2f ms, uncompress (exact block) "
                "%8.2f ms, ratio %5.2f\n",
                Label, packed.size(), Plain.size(), bestInflate * 1000.0, bestExact * 1000.0,
                bestInflate / bestExact);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const long mb = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
    const int rounds = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 5;
    if (mb <= 0 || mb > 500 || rounds <= 0) {
        std::fprintf(stderr, "usage: package_inflate_bench [megabytes 1..500] [rounds]\n");
        return 1;
    }
#ifdef __GLIBC__
    // glibc raises its mmap threshold to the size of a freed block, after
    // which one side would reuse pages the other side faulted in. A saver
    // inflates each item once, into fresh pages: measure both sides so.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    const std::size_t n = static_cast<std::size_t>(mb) << 20;
    Bytes text(n);
    const char line[] = "<frame id=\"0001\" x=\"10\" y=\"20\" alpha=\"1.0\"/>\n";
    for (std::size_t i = 0; i < n; ++i)
        text[i] = static_cast<unsigned char>(line[i % (sizeof line - 1)]);
    Bytes noise(n);
    std::mt19937 rng(12345);
    for (auto& b : noise)
        b = static_cast<unsigned char>(rng());
    try {
        if (!Measure("compressible", text, rounds) || !Measure("random", noise, rounds))
            return 1;
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
