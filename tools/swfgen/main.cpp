// zembra-swfgen: writes the demo package's movie.
//
//   zembra-swfgen OUT.swf [--frames N] [--rate FPS] [--zlib] [--no-quit]
//
// Exit codes: 0 ok, 1 usage, 3 the file cannot be written.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "tools/swfgen/uDemoMovie.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: zembra-swfgen OUT.swf [--frames N] [--rate FPS] [--zlib] "
                         "[--no-quit]\n");
    return 1;
}

bool ParseLong(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// Written beside the target and renamed over it, so a failed run leaves no
// half-written movie behind.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::remove(temp.c_str());
        return false;
    }
    std::remove(path.c_str());
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2)
            return Usage();
        const std::string out = argv[1];
        zembra::swfgen::DemoMovieOptions options;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            long value = 0;
            if (arg == "--frames" && i + 1 < argc && ParseLong(argv[i + 1], 1, 2000, value)) {
                options.frames = static_cast<int>(value);
                ++i;
            } else if (arg == "--rate" && i + 1 < argc && ParseLong(argv[i + 1], 1, 120, value)) {
                options.frameRate = static_cast<double>(value);
                ++i;
            } else if (arg == "--zlib") {
                options.compress = true;
            } else if (arg == "--no-quit") {
                options.quitAtEnd = false;
            } else {
                return Usage();
            }
        }
        if (!WriteFile(out, zembra::swfgen::BuildDemoMovie(options))) {
            std::fprintf(stderr, "zembra-swfgen: cannot write %s\n", out.c_str());
            return 3;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zembra-swfgen: %s\n", e.what());
        return 3;
    }
}
