// Runs the trace cases of the corpus's avm1 group on the stand-in timeline:
// each case in its own process with a time limit, the trace lines compared
// with output.txt. Writes a per-group table and per-case results into the
// output folder and fails when the pass count drops below the recorded
// baseline or any case crashes or hangs.
//
// corpus_runner CORPUS_AVM1_DIR BASELINE_FILE OUT_DIR [CASE...]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/avm1/uStandInPlayer.h"

using namespace zembra::avm1;

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

int Frames(const std::string& toml) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(toml, bytes))
        return 1;
    std::string s(bytes.begin(), bytes.end());
    for (const char* key : {"num_frames", "num_ticks"}) {
        size_t p = s.find(key);
        if (p != std::string::npos && (p == 0 || s[p - 1] == '\n')) {
            p = s.find('=', p);
            if (p != std::string::npos)
                return std::max(1, std::atoi(s.c_str() + p + 1));
        }
    }
    return 1;
}

// Child process: runs the case and writes the trace lines to fd.
[[noreturn]] void RunCase(const std::string& dir, int fd) {
    alarm(10);
    std::vector<uint8_t> file;
    std::string out;
    if (ReadFile(dir + "/test.swf", file)) {
        standin::Movie movie;
        std::string err;
        if (standin::LoadMovie(file, movie, err)) {
            standin::StandInPlayer player(movie);
            int frames = Frames(dir + "/test.toml");
            for (int i = 0; i < frames; ++i)
                player.Advance();
            for (auto& l : player.lines())
                out += l + "\n";
        }
    }
    size_t off = 0;
    while (off < out.size()) {
        ssize_t n = write(fd, out.data() + off, out.size() - off);
        if (n <= 0)
            break;
        off += static_cast<size_t>(n);
    }
    _exit(0);
}

enum class Outcome { Pass, Fail, Crash, Hang };

Outcome Run(const std::string& dir, std::string& got) {
    int fds[2];
    if (pipe(fds) != 0)
        return Outcome::Crash;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        RunCase(dir, fds[1]);
    }
    close(fds[1]);
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        if (got.size() < (64u << 20))
            got.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? Outcome::Hang : Outcome::Crash;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Outcome::Crash;
    std::vector<uint8_t> expected;
    ReadFile(dir + "/output.txt", expected);
    return Lines(std::string(expected.begin(), expected.end())) == Lines(got) ? Outcome::Pass
                                                                              : Outcome::Fail;
}

std::string Group(const std::string& name) {
    size_t u = name.find('_');
    return u == std::string::npos ? name : name.substr(0, u);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s CORPUS_AVM1_DIR BASELINE OUT_DIR [CASE...]\n", argv[0]);
        return 2;
    }
    std::string corpus = argv[1];
    std::vector<std::string> cases;
    for (int i = 4; i < argc; ++i)
        cases.push_back(argv[i]);
    if (cases.empty()) {
        DIR* d = opendir(corpus.c_str());
        if (!d) {
            std::fprintf(stderr, "no corpus at %s\n", corpus.c_str());
            return 2;
        }
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                cases.push_back(e->d_name);
        closedir(d);
        std::sort(cases.begin(), cases.end());
    }
    struct Row {
        int pass = 0, fail = 0, crash = 0, hang = 0;
    };
    std::map<std::string, Row> groups;
    Row total;
    std::ofstream results(std::string(argv[3]) + "/avm1-corpus-results.txt");
    for (auto& name : cases) {
        std::string got;
        Outcome o = Run(corpus + "/" + name, got);
        Row& g = groups[Group(name)];
        const char* word = "pass";
        switch (o) {
        case Outcome::Pass:
            ++g.pass;
            ++total.pass;
            break;
        case Outcome::Fail:
            ++g.fail;
            ++total.fail;
            word = "fail";
            break;
        case Outcome::Crash:
            ++g.crash;
            ++total.crash;
            word = "CRASH";
            break;
        case Outcome::Hang:
            ++g.hang;
            ++total.hang;
            word = "HANG";
            break;
        }
        results << word << " " << name << "\n";
        if (cases.size() <= 3 && o != Outcome::Pass)
            std::printf("--- %s got:\n%s", name.c_str(), got.c_str());
    }
    std::ostringstream table;
    table << "group                          pass fail crash hang\n";
    for (auto& g : groups) {
        char line[128];
        std::snprintf(line, sizeof line, "%-30s %4d %4d %5d %4d\n", g.first.c_str(), g.second.pass,
                      g.second.fail, g.second.crash, g.second.hang);
        table << line;
    }
    char line[128];
    std::snprintf(line, sizeof line, "%-30s %4d %4d %5d %4d\n", "TOTAL", total.pass, total.fail,
                  total.crash, total.hang);
    table << line;
    std::ofstream(std::string(argv[3]) + "/avm1-corpus-table.txt") << table.str();
    std::printf("%s", table.str().c_str());

    int baseline = 0;
    if (std::ifstream b{argv[2]})
        b >> baseline;
    bool ok = total.crash == 0 && total.hang == 0;
    if (argc == 4 && total.pass < baseline) {
        std::printf("pass count %d is below the baseline %d\n", total.pass, baseline);
        ok = false;
    }
    return ok ? 0 : 1;
}
