// Runs every corpus case that has an output.txt through the built
// `zembra-swf run`: each case in its own process with a time limit, the
// printed lines compared with output.txt. Writes a per-group table and
// per-case results into the output folder and fails when the pass count
// drops below the recorded baseline or any case crashes or hangs.
//
// trace_conformance CORPUS_DIR ZEMBRA_SWF BASELINE_FILE OUT_DIR [GROUP/CASE...]
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kCaseSeconds = 20;
constexpr size_t kMaxOutput = 16u << 20;

bool ReadText(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream ss;
    ss << f.rdbuf();
    out = ss.str();
    return true;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
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

// num_ticks where given, else num_frames, from the top-level table.
int Frames(const std::string& toml) {
    int frames = -1, ticks = -1;
    std::istringstream in(toml);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[')
            break;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return c == ' '; }),
                  key.end());
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "num_frames")
            frames = value;
        else if (key == "num_ticks")
            ticks = value;
    }
    if (ticks > 0)
        return ticks;
    return frames > 0 ? frames : 1;
}

// log_fetch = true in the top-level table.
bool LogsRequests(const std::string& toml) {
    std::istringstream in(toml);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[')
            break;
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == ' '; }),
                   line.end());
        if (line == "log_fetch=true")
            return true;
    }
    return false;
}

enum class Outcome { Pass, Fail, Crash, Hang };

Outcome Run(const std::string& tool, const std::string& dir, std::string& got) {
    std::string toml;
    ReadText(dir + "/test.toml", toml);
    const std::string frames = std::to_string(Frames(toml));
    const std::string movie = dir + "/test.swf";
    const std::string input = dir + "/input.json";
    const bool haveInput = Exists(input);
    int fds[2];
    if (pipe(fds) != 0)
        return Outcome::Crash;
    const pid_t pid = fork();
    if (pid < 0)
        return Outcome::Crash;
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        alarm(kCaseSeconds);
        // The expected logs were recorded in this zone; Date prints local time.
        setenv("TZ", "Asia/Kathmandu", 1);
        // The expected logs hold traces only.
        std::vector<const char*> argv = {tool.c_str(), "run",          movie.c_str(),
                                         "--frames",   frames.c_str(), "--no-fscommands"};
        if (haveInput) {
            argv.push_back("--input");
            argv.push_back(input.c_str());
        }
        // Cases that list the requests a movie makes expect them in the log.
        if (LogsRequests(toml))
            argv.push_back("--log-requests");
        argv.push_back(nullptr);
        execv(tool.c_str(), const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    close(fds[1]);
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        if (got.size() < kMaxOutput)
            got.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? Outcome::Hang : Outcome::Crash;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Outcome::Crash;
    std::string expected;
    ReadText(dir + "/output.txt", expected);
    return Lines(expected) == Lines(got) ? Outcome::Pass : Outcome::Fail;
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> out;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Row {
    int cases = 0, pass = 0, fail = 0, crash = 0, hang = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR ZEMBRA_SWF BASELINE OUT_DIR [GROUP/CASE...]\n",
                     argv[0]);
        return 2;
    }
    const std::string corpus = argv[1];
    const std::string tool = argv[2];
    std::vector<std::string> cases;
    for (int i = 5; i < argc; ++i)
        cases.push_back(argv[i]);
    if (cases.empty()) {
        for (const std::string& group : ListDir(corpus))
            for (const std::string& name : ListDir(corpus + "/" + group))
                if (Exists(corpus + "/" + group + "/" + name + "/output.txt"))
                    cases.push_back(group + "/" + name);
        if (cases.empty()) {
            std::fprintf(stderr, "no corpus cases under %s\n", corpus.c_str());
            return 2;
        }
    }
    std::map<std::string, Row> groups;
    Row total;
    std::ofstream results(std::string(argv[4]) + "/avm1-corpus-results.txt");
    for (const std::string& name : cases) {
        std::string got;
        const Outcome o = Run(tool, corpus + "/" + name, got);
        const std::string group = name.substr(0, name.find('/'));
        Row& g = groups[group];
        ++g.cases;
        ++total.cases;
        const char* word = "pass";
        switch (o) {
        case Outcome::Pass:
            ++g.pass, ++total.pass;
            break;
        case Outcome::Fail:
            ++g.fail, ++total.fail;
            word = "fail";
            break;
        case Outcome::Crash:
            ++g.crash, ++total.crash;
            word = "CRASH";
            break;
        case Outcome::Hang:
            ++g.hang, ++total.hang;
            word = "HANG";
            break;
        }
        results << word << " " << name << "\n";
        if (cases.size() <= 3 && o != Outcome::Pass)
            std::printf("--- %s got:\n%s", name.c_str(), got.c_str());
    }
    std::ostringstream table;
    table << "group          cases pass fail crash hang\n";
    char line[160];
    for (const auto& [name, g] : groups) {
        std::snprintf(line, sizeof line, "%-14s %5d %4d %4d %5d %4d\n", name.c_str(), g.cases,
                      g.pass, g.fail, g.crash, g.hang);
        table << line;
    }
    std::snprintf(line, sizeof line, "%-14s %5d %4d %4d %5d %4d\n", "TOTAL", total.cases,
                  total.pass, total.fail, total.crash, total.hang);
    table << line;
    std::ofstream(std::string(argv[4]) + "/avm1-corpus-table.txt") << table.str();
    std::printf("%s", table.str().c_str());

    int baseline = 0;
    if (std::ifstream b{argv[3]})
        b >> baseline;
    bool ok = total.crash == 0 && total.hang == 0;
    if (argc == 5 && total.pass < baseline) {
        std::printf("pass count %d is below the baseline %d\n", total.pass, baseline);
        ok = false;
    }
    return ok ? 0 : 1;
}
