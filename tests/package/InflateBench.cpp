// Measures InflateBuffer on a 10 MB item that compresses very well and on a
// 10 MB item of random bytes.
//
//   package_inflate_bench [megabytes] [rounds]
#include "package/ZLibEx.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Deflate(const Bytes& Plain) {
    uLongf size = compressBound(static_cast<uLong>(Plain.size()));
    Bytes out(size);
    compress2(out.data(), &size, Plain.data(), static_cast<uLong>(Plain.size()),
              Z_DEFAULT_COMPRESSION);
    out.resize(size);
    return out;
}

void Measure(const char* Label, const Bytes& Plain, int Rounds) {
    const Bytes packed = Deflate(Plain);
    double best = 1e30;
    for (int r = 0; r < Rounds; ++r) {
        void* out = nullptr;
        int size = 0;
        const auto t0 = std::chrono::steady_clock::now();
        zembra::InflateBuffer(packed.data(), static_cast<int>(packed.size()), out, size);
        const auto t1 = std::chrono::steady_clock::now();
        std::free(out);
        if (static_cast<std::size_t>(size) != Plain.size()) {
            std::printf("%s: wrong size %d\n", Label, size);
            return;
        }
        const double s = std::chrono::duration<double>(t1 - t0).count();
        if (s < best)
            best = s;
    }
    const std::size_t delta = (packed.size() + 255) & ~std::size_t(255);
    std::printf("%-14s %9zu -> %9zu bytes, %6zu growth steps, best %8.2f ms, %8.1f MB/s\n", Label,
                packed.size(), Plain.size(), Plain.size() / delta, best * 1000.0,
                Plain.size() / best / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    const long mb = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
    const int rounds = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 5;
    if (mb <= 0 || mb > 500 || rounds <= 0) {
        std::fprintf(stderr, "usage: package_inflate_bench [megabytes 1..500] [rounds]\n");
        return 1;
    }
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
        Measure("compressible", text, rounds);
        Measure("random", noise, rounds);
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
