// Image conformance over the shared movie corpus. Every case with image
// comparisons runs in a child process with a time limit, so a crash or a
// hang is counted instead of ending the run. A picture passes when at most
// 1 % of its pixels differ from the expected one by more than
// max(tolerance, 32) in a channel; the case's own stricter rule (tolerance,
// max_outliers) is counted too. Prints and writes a table per group; fails
// on any crash or hang, or when fewer cases pass than the baseline.
//
//   corpus_conformance CORPUS BASELINE_FILE OUT_DIR [--save] [--only SUBSTRING]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/corpus/uCaseConfig.h"
#include "timeline/uMoviePlayer.h"
#include "timeline/uResourceLoader.h"
#include "tools/swf/uInputScript.h"
#include "tools/swf/uPngFile.h"

namespace fs = std::filesystem;
using namespace zembra;

namespace {

constexpr int kCaseSeconds = 20;
constexpr rlim_t kCaseMemory = rlim_t(3) << 30;

enum class Outcome { Pass, Fail, Crash, Timeout };

struct CaseResult {
    std::string path; // relative to the corpus
    Outcome outcome = Outcome::Fail;
    bool strict = false;
    std::string detail;
};

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

raster::Quality QualityOf(const std::string& q) {
    if (q == "low")
        return raster::Quality::Low;
    if (q == "medium")
        return raster::Quality::Medium;
    if (q == "best")
        return raster::Quality::Best;
    return raster::Quality::High;
}

// Straight colour of a premultiplied pixel.
void Unpremultiply(uint32_t p, int out[4]) {
    const int a = static_cast<int>(p >> 24);
    for (int c = 0; c < 3; ++c) {
        const int v = static_cast<int>((p >> (8 * c)) & 0xff);
        out[c] = a ? std::min(255, (v * 255 + a / 2) / a) : 0;
    }
    out[3] = a;
}

// Counts pixels whose largest channel difference exceeds `threshold`.
long Outliers(const raster::FrameBuffer& got, const raster::FrameBuffer& want, int threshold) {
    long n = 0;
    for (int y = 0; y < want.Height(); ++y) {
        for (int x = 0; x < want.Width(); ++x) {
            int a[4], b[4];
            Unpremultiply(got.Row(y)[x], a);
            Unpremultiply(want.Row(y)[x], b);
            int d = 0;
            for (int c = 0; c < 4; ++c)
                d = std::max(d, std::abs(a[c] - b[c]));
            if (d > threshold)
                ++n;
        }
    }
    return n;
}

// Runs in the child: writes "PASS|FAIL STRICT|LOOSE detail" to fd.
int RunCase(const fs::path& dir, const corpus::CaseConfig& cfg, bool save, int fd) {
    std::string report;
    bool loose = true, strict = true;
    movie::MoviePlayer player;
    // As the movie tool does: the case's own files may be loaded.
    player.SetResourceLoader(std::make_shared<timeline::FolderResourceLoader>(dir.string()));
    if (!player.LoadFile((dir / "test.swf").string())) {
        report = "FAIL LOOSE load: " + player.Error();
        (void)!write(fd, report.data(), report.size());
        return 0;
    }
    player.SetQuality(QualityOf(cfg.quality));
    // The recorded input goes in between frames, as the movie tool sends it.
    std::vector<swftool::InputEvent> events;
    if (fs::exists(dir / "input.json")) {
        std::string error;
        if (!swftool::ParseInputScript(ReadText(dir / "input.json"), events, error)) {
            report = "FAIL LOOSE input: " + error;
            (void)!write(fd, report.data(), report.size());
            return 0;
        }
    }
    size_t nextEvent = 0;
    int framesRun = 0;
    for (const corpus::ImageComparison& img : cfg.images) {
        const int at = img.trigger > 0 ? img.trigger : cfg.frames;
        while (framesRun < at) {
            player.Advance();
            nextEvent = swftool::ReplayInput(player, events, nextEvent);
            ++framesRun;
        }
        raster::FrameBuffer want;
        if (!swftool::ReadPng((dir / (img.name + ".expected.png")).string(), want)) {
            loose = strict = false;
            report += " [" + img.name + ": no expected picture]";
            continue;
        }
        raster::FrameBuffer got(want.Width(), want.Height());
        player.Render(got);
        if (save)
            swftool::WritePng((dir.filename().string() + "." + img.name + ".actual.png"), got);
        const long pixels = long(want.Width()) * want.Height();
        std::vector<std::pair<int, long>> checks = img.checks;
        if (checks.empty())
            checks.emplace_back(img.tolerance, img.maxOutliers);
        int loosest = 0;
        bool s = true;
        long strictOut = 0;
        for (const auto& [tolerance, maxOutliers] : checks) {
            loosest = std::max(loosest, tolerance);
            strictOut = Outliers(got, want, tolerance);
            s = s && strictOut <= maxOutliers;
        }
        const long looseOut = Outliers(got, want, std::max(loosest, 32));
        const bool l = looseOut * 100 <= pixels;
        loose = loose && l;
        strict = strict && s;
        report += " [" + img.name + ": " + std::to_string(looseOut) + "/" + std::to_string(pixels) +
                  " off by >" + std::to_string(std::max(img.tolerance, 32)) + ", " +
                  std::to_string(strictOut) + " >" + std::to_string(img.tolerance) + "]";
    }
    report =
        std::string(loose ? "PASS " : "FAIL ") + (strict && loose ? "STRICT" : "LOOSE") + report;
    (void)!write(fd, report.data(), report.size());
    return 0;
}

CaseResult RunIsolated(const fs::path& corpus, const fs::path& dir, const corpus::CaseConfig& cfg,
                       bool save) {
    CaseResult res;
    res.path = fs::relative(dir, corpus).string();
    int fds[2];
    if (pipe(fds) != 0) {
        res.detail = "pipe failed";
        return res;
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        struct rlimit lim = {kCaseMemory, kCaseMemory};
        setrlimit(RLIMIT_AS, &lim);
        alarm(kCaseSeconds + 5);
        _exit(RunCase(dir, cfg, save, fds[1]));
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        res.detail = "fork failed";
        return res;
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    bool finished = false;
    while (!finished) {
        const pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) {
            finished = true;
            break;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(kCaseSeconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    if (!finished) {
        res.outcome = Outcome::Timeout;
        res.detail = "timed out";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        res.outcome = Outcome::Crash;
        res.detail = WIFSIGNALED(status) ? std::string("signal ") + strsignal(WTERMSIG(status))
                                         : "exit " + std::to_string(WEXITSTATUS(status));
    } else {
        res.outcome = out.rfind("PASS", 0) == 0 ? Outcome::Pass : Outcome::Fail;
        res.strict = out.find("STRICT") != std::string::npos;
        res.detail = out;
    }
    return res;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: corpus_conformance CORPUS BASELINE OUT_DIR [--save] [--only S]\n");
        return 2;
    }
    const fs::path corpusDir = argv[1];
    const fs::path baselineFile = argv[2];
    const fs::path outDir = argv[3];
    bool save = false;
    std::string only;
    for (int i = 4; i < argc; ++i) {
        if (std::string(argv[i]) == "--save")
            save = true;
        else if (std::string(argv[i]) == "--only" && i + 1 < argc)
            only = argv[++i];
    }
    if (!fs::is_directory(corpusDir)) {
        std::printf("corpus not found at %s: nothing to check\n", corpusDir.c_str());
        return 0;
    }
    std::vector<fs::path> cases;
    for (const auto& entry : fs::recursive_directory_iterator(corpusDir))
        if (entry.is_regular_file() && entry.path().filename() == "test.toml")
            cases.push_back(entry.path().parent_path());
    std::sort(cases.begin(), cases.end());

    fs::create_directories(outDir);
    if (save)
        fs::current_path(outDir);
    struct Row {
        int cases = 0, passed = 0, failed = 0, crashed = 0, strict = 0;
    };
    std::map<std::string, Row> table;
    std::vector<CaseResult> results;
    const auto start = std::chrono::steady_clock::now();
    for (const fs::path& dir : cases) {
        corpus::CaseConfig cfg;
        if (!corpus::ParseCaseConfig(ReadText(dir / "test.toml"), cfg))
            continue;
        if (!fs::exists(dir / "test.swf"))
            continue;
        const std::string rel = fs::relative(dir, corpusDir).string();
        if (!only.empty() && rel.find(only) == std::string::npos)
            continue;
        CaseResult r = RunIsolated(corpusDir, dir, cfg, save);
        Row& row = table[rel.substr(0, rel.find('/'))];
        ++row.cases;
        if (r.outcome == Outcome::Pass)
            ++row.passed;
        else if (r.outcome == Outcome::Fail)
            ++row.failed;
        else
            ++row.crashed;
        if (r.outcome == Outcome::Pass && r.strict)
            ++row.strict;
        results.push_back(std::move(r));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    Row total;
    std::ostringstream t;
    char line[160];
    std::snprintf(line, sizeof line, "%-10s %6s %7s %7s %16s %14s\n", "group", "cases", "passed",
                  "failed", "crashed/timeout", "strict passed");
    t << line;
    for (const auto& [group, row] : table) {
        std::snprintf(line, sizeof line, "%-10s %6d %7d %7d %16d %14d\n", group.c_str(), row.cases,
                      row.passed, row.failed, row.crashed, row.strict);
        t << line;
        total.cases += row.cases;
        total.passed += row.passed;
        total.failed += row.failed;
        total.crashed += row.crashed;
        total.strict += row.strict;
    }
    std::snprintf(line, sizeof line, "%-10s %6d %7d %7d %16d %14d\n", "total", total.cases,
                  total.passed, total.failed, total.crashed, total.strict);
    t << line;

    std::ofstream detail(outDir / "corpus-results.txt");
    for (const CaseResult& r : results) {
        static const char* names[] = {"pass", "FAIL", "CRASH", "TIMEOUT"};
        detail << names[static_cast<int>(r.outcome)] << (r.strict ? " strict " : " ") << r.path
               << ": " << r.detail << "\n";
    }
    std::ofstream(outDir / "corpus-table.txt") << t.str();
    std::printf("%s(%.1f s; details in %s)\n", t.str().c_str(), seconds,
                (outDir / "corpus-results.txt").c_str());
    for (const CaseResult& r : results)
        if (r.outcome == Outcome::Crash || r.outcome == Outcome::Timeout)
            std::printf("%s: %s\n", r.path.c_str(), r.detail.c_str());

    int baseline = 0;
    std::ifstream(baselineFile) >> baseline;
    if (!only.empty())
        baseline = 0;
    const bool ok = total.crashed == 0 && total.passed >= baseline;
    std::printf("image cases passed: %d (baseline %d)%s\n", total.passed, baseline,
                ok ? "" : " -- FAILED");
    return ok ? 0 : 1;
}
