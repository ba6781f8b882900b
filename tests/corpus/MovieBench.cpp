// Rendering speed on real movies: every movie of the corpus's visual group
// (or the movies given) is drawn at 1920x1080, high quality, for a number
// of frames; prints frames per second for each, the heaviest first, next to
// the cost of only clearing a frame buffer of that size (the memory floor).
//
//   movie_bench [--frames N] [--top K] CORPUS_OR_MOVIE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "timeline/uMoviePlayer.h"

namespace fs = std::filesystem;
using namespace zembra;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Figure {
    std::string name;
    double wallMs = 0; // per frame
    double cpuMs = 0;
};

double Now() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuNow() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Runs and draws `frames` frames; the first frame (decoding, shape
// conversion) is left out of the time.
bool Measure(const fs::path& file, int frames, Figure& out) {
    movie::MoviePlayer player;
    if (!player.LoadFile(file.string()))
        return false;
    player.SetQuality(raster::Quality::High);
    raster::FrameBuffer buffer(kWidth, kHeight);
    player.Advance();
    player.Render(buffer);
    const double wall0 = Now(), cpu0 = CpuNow();
    for (int i = 0; i < frames; ++i) {
        player.Advance();
        player.Render(buffer);
    }
    out.wallMs = (Now() - wall0) / frames;
    out.cpuMs = (CpuNow() - cpu0) / frames;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int frames = 20, top = 8;
    std::vector<fs::path> movies;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--frames" && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (a == "--top" && i + 1 < argc)
            top = std::max(1, std::atoi(argv[++i]));
        else if (fs::is_directory(a)) {
            const fs::path visual = fs::path(a) / "visual";
            const fs::path root = fs::is_directory(visual) ? visual : fs::path(a);
            for (const auto& e : fs::recursive_directory_iterator(root))
                if (e.path().filename() == "test.swf")
                    movies.push_back(e.path());
        } else
            movies.push_back(a);
    }
    if (movies.empty()) {
        std::fprintf(stderr, "usage: movie_bench [--frames N] [--top K] CORPUS_OR_MOVIE...\n");
        return 1;
    }

    raster::FrameBuffer clearOnly(kWidth, kHeight);
    const int clears = 200;
    const double c0 = Now();
    for (int i = 0; i < clears; ++i)
        clearOnly.Clear(raster::Rgba{static_cast<uint8_t>(i), 0, 0, 255});
    const double clearMs = (Now() - c0) / clears;

    std::vector<Figure> figures;
    for (const auto& m : movies) {
        Figure f;
        f.name = m.parent_path().filename().string();
        if (Measure(m, frames, f))
            figures.push_back(f);
    }
    std::sort(figures.begin(), figures.end(),
              [](const Figure& a, const Figure& b) { return a.cpuMs > b.cpuMs; });

    std::printf("%dx%d, high quality, %d frames each, %zu movies\n", kWidth, kHeight, frames,
                figures.size());
    std::printf("clear only: %.2f ms per frame (%.0f fps)\n", clearMs, 1000.0 / clearMs);
    std::printf("%-40s %10s %10s %9s\n", "movie (heaviest first)", "ms/frame", "cpu ms",
                "fps(cpu)");
    for (size_t i = 0; i < figures.size() && static_cast<int>(i) < top; ++i) {
        const Figure& f = figures[i];
        std::printf("%-40s %10.2f %10.2f %9.1f\n", f.name.c_str(), f.wallMs, f.cpuMs,
                    f.cpuMs > 0 ? 1000.0 / f.cpuMs : 0.0);
    }
    if (!figures.empty()) {
        std::vector<double> cpu;
        for (const auto& f : figures)
            cpu.push_back(f.cpuMs);
        std::sort(cpu.begin(), cpu.end());
        const double median = cpu[cpu.size() / 2];
        std::printf("median over all movies: %.2f cpu ms per frame (%.0f fps)\n", median,
                    median > 0 ? 1000.0 / median : 0.0);
    }
    return 0;
}
