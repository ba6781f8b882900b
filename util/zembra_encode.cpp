// Prints the encoded hexadecimal form of each plain text given, so that the
// encoded constants of uEncodedNames.cpp can be regenerated.
//
//   zembra-encode [-p P] [-k K] [-n N] TEXT...
//
// Without -p/-k/-n the values are derived from the text, so that different
// texts get different fillers, keys and rotations.
#include "util/uUtils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ParseNumber(const char* Text, unsigned long Max, unsigned long& Out) {
    char* end = nullptr;
    Out = std::strtoul(Text, &end, 0);
    return end != Text && *end == '\0' && Out <= Max;
}

} // namespace

int main(int argc, char** argv) {
    long p = -1, k = -1, n = -1;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-' && std::strlen(argv[i]) == 2; i += 2) {
        unsigned long value = 0;
        const char opt = argv[i][1];
        const unsigned long max = opt == 'n' ? 0xFFFFFFFFul : 0xFFul;
        if ((opt != 'p' && opt != 'k' && opt != 'n') || !ParseNumber(argv[i + 1], max, value)) {
            std::fprintf(stderr, "zembra-encode: bad option %s %s\n", argv[i], argv[i + 1]);
            return 2;
        }
        (opt == 'p' ? p : opt == 'k' ? k : n) = static_cast<long>(value);
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: zembra-encode [-p P] [-k K] [-n N] TEXT...\n");
        return 2;
    }
    for (; i < argc; ++i) {
        const std::string plain = argv[i];
        unsigned hash = 2166136261u;
        for (unsigned char c : plain)
            hash = (hash ^ c) * 16777619u;
        const auto P = static_cast<std::uint8_t>(p >= 0 ? p : 1 + hash % 7);
        const auto K = static_cast<std::uint8_t>(k >= 0 ? k : 0x21 + (hash >> 8) % 0xDD);
        const std::uint32_t N =
            n >= 0 ? static_cast<std::uint32_t>(n) : (hash >> 16) % (4 + 2 * plain.size());
        const std::string encoded = zembra::EncodeHexText(plain, P, K, N);
        if (zembra::DecodeHexText(encoded) != plain) {
            std::fprintf(stderr, "zembra-encode: %s does not round-trip\n", argv[i]);
            return 1;
        }
        std::printf("%s %s\n", encoded.c_str(), plain.c_str());
    }
    return 0;
}
