// zembra-swf: looks into movies and plays them headless.
//
//   zembra-swf info MOVIE
//   zembra-swf render MOVIE --frame N --out FILE.png [--width W --height H]
//   zembra-swf run MOVIE --frames N [--input FILE.json] [--no-fscommands] [--log-requests]
//
// `run` prints every trace line and every FSCommand ("fscommand CMD ARGS")
// in order (--no-fscommands: the traces alone, as the conformance logs
// hold them); an input script is replayed between frames, up to each
// "Wait". --log-requests: also the requests scripts make (never sent).
//
// Exit codes: 0 ok, 1 usage, 2 the movie cannot be played, 3 output error.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "timeline/uMoviePlayer.h"
#include "timeline/uResourceLoader.h"
#include "tools/swf/uInputScript.h"
#include "tools/swf/uPngFile.h"

namespace {

using zembra::movie::MoviePlayer;

constexpr long kMaxFrames = 1000000;
constexpr long kMaxSide = 16384;

int Usage() {
    std::fprintf(stderr,
                 "usage: zembra-swf info MOVIE\n"
                 "       zembra-swf render MOVIE --frame N --out FILE.png [--width W --height H]\n"
                 "       zembra-swf run MOVIE --frames N [--input FILE.json] [--no-fscommands]\n"
                 "                      [--log-requests]\n");
    return 1;
}

bool ParseNumber(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

const char* CompressionName(zembra::movie::Compression c) {
    switch (c) {
    case zembra::movie::Compression::None:
        return "none (FWS)";
    case zembra::movie::Compression::Zlib:
        return "zlib (CWS)";
    case zembra::movie::Compression::Lzma:
        return "LZMA (ZWS)";
    }
    return "?";
}

bool Open(MoviePlayer& player, const std::string& path) {
    // Scripts of the movie may load the files beside it, and nothing else.
    const size_t slash = path.find_last_of("/\\");
    player.SetResourceLoader(std::make_shared<zembra::timeline::FolderResourceLoader>(
        slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1)));
    if (player.LoadFile(path))
        return true;
    std::fprintf(stderr, "zembra-swf: %s: %s\n", path.c_str(), player.Error().c_str());
    return false;
}

constexpr size_t kMaxInputFile = 4u << 20;

bool ReadSmallFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.resize(kMaxInputFile + 1);
    in.read(&out[0], static_cast<std::streamsize>(out.size()));
    out.resize(static_cast<size_t>(in.gcount()));
    return out.size() <= kMaxInputFile;
}

// The request a script made, in the conformance logs' form.
void PrintRequest(const std::string& url, const std::string& method, const std::string& mime,
                  const std::vector<uint8_t>& body) {
    std::printf("Navigator::fetch:\n  URL: %s\n  Method: %s\n  Mime-Type: %s\n  Body: [",
                url.c_str(), method.c_str(), mime.c_str());
    for (size_t i = 0; i < body.size(); ++i)
        std::printf(i ? ", %02X" : "%02X", body[i]);
    std::printf("]\n");
}

int Run(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    const std::string path = argv[2];
    long frame = -1, frames = -1, width = 0, height = 0;
    std::string out, input;
    bool fscommands = true, logRequests = false;
    for (int i = 3; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--no-fscommands") {
            fscommands = false;
            continue;
        }
        if (opt == "--log-requests") {
            logRequests = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const char* value = argv[++i];
        bool ok = true;
        if (opt == "--frame")
            ok = ParseNumber(value, 1, kMaxFrames, frame);
        else if (opt == "--frames")
            ok = ParseNumber(value, 0, kMaxFrames, frames);
        else if (opt == "--width")
            ok = ParseNumber(value, 1, kMaxSide, width);
        else if (opt == "--height")
            ok = ParseNumber(value, 1, kMaxSide, height);
        else if (opt == "--out")
            out = value;
        else if (opt == "--input")
            input = value;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "zembra-swf: bad option %s %s\n", opt.c_str(), value);
            return 1;
        }
    }
    MoviePlayer player;
    if (command == "info") {
        if (!Open(player, path))
            return 2;
        const auto& info = player.Info();
        std::printf("version: %d\n", info.version);
        std::printf("stage: %gx%g pixels\n", info.stageWidth, info.stageHeight);
        std::printf("frame rate: %g fps\n", info.frameRate);
        std::printf("frames: %d\n", info.frameCount);
        std::printf("compression: %s\n", CompressionName(info.compression));
        std::printf("length: %u bytes\n", info.fileLength);
        return 0;
    }
    if (command == "render") {
        if (frame < 1 || out.empty())
            return Usage();
        if (!Open(player, path))
            return 2;
        for (long i = 0; i < frame; ++i)
            player.Advance();
        const auto& info = player.Info();
        long w = width ? width : static_cast<long>(info.stageWidth + 0.5);
        long h = height ? height : static_cast<long>(info.stageHeight + 0.5);
        w = std::max(1L, std::min(w, kMaxSide));
        h = std::max(1L, std::min(h, kMaxSide));
        zembra::raster::FrameBuffer fb(static_cast<int>(w), static_cast<int>(h));
        player.Render(fb);
        if (!zembra::swftool::WritePng(out, fb)) {
            std::fprintf(stderr, "zembra-swf: %s: cannot write the picture\n", out.c_str());
            return 3;
        }
        return 0;
    }
    if (command == "run") {
        if (frames < 0)
            return Usage();
        if (!Open(player, path))
            return 2;
        player.OnTrace = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
        if (logRequests) {
            player.OnRequest = PrintRequest;
            player.OnSocket = [](const std::string& host, int port) {
                std::printf("Navigator::connect_socket\n    Host: %s; Port: %d\n", host.c_str(),
                            port);
            };
        }
        if (fscommands)
            player.OnFSCommand = [](const std::string& cmd, const std::string& args) {
                std::printf("fscommand %s %s\n", cmd.c_str(), args.c_str());
            };
        std::vector<zembra::swftool::InputEvent> events;
        if (!input.empty()) {
            std::string json, error;
            if (!ReadSmallFile(input, json) ||
                !zembra::swftool::ParseInputScript(json, events, error)) {
                std::fprintf(stderr, "zembra-swf: %s: %s\n", input.c_str(),
                             error.empty() ? "cannot read the file" : error.c_str());
                return 1;
            }
        }
        size_t next = 0;
        for (long i = 0; i < frames; ++i) {
            player.Advance();
            next = zembra::swftool::ReplayInput(player, events, next);
        }
        std::fflush(stdout);
        return 0;
    }
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zembra-swf: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zembra-swf: %s\n", e.what());
    }
    return 2;
}
