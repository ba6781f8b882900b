#include "uFlashTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "framework/uApplication.h"

namespace zembra::test {

namespace {

// One application object for the whole test program, as in the saver.
class TApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        app_ = new TApplication();
        app_->Initialize();
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    TApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

std::string TempDir() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    std::string dir = (n > 0 && n < MAX_PATH) ? std::string(buffer, n) : std::string(".\\");
    if (dir.back() != '\\')
        dir += '\\';
    return dir;
}

} // namespace

THostForm::THostForm(TComponent* AOwner, bool visible) : TForm(AOwner) {
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetBounds(40, 30, 320, 240);
    SetColor(clBlack);
    SetVisible(visible);
    FinishCreate();
}

TStandinLog::TStandinLog() {
    static int counter = 0;
    path_ = TempDir() + "flash_test_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter) + ".log";
    DeleteFileA(path_.c_str());
    SetEnvironmentVariableA("PLAYER_STANDIN_LOG", path_.c_str());
    SetEnvironmentVariableA("PLAYER_STANDIN_FAIL", nullptr);
}

TStandinLog::~TStandinLog() {
    SetEnvironmentVariableA("PLAYER_STANDIN_LOG", nullptr);
    SetEnvironmentVariableA("PLAYER_STANDIN_FAIL", nullptr);
    DeleteFileA(path_.c_str());
}

std::vector<std::string> TStandinLog::Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string::size_type space = line.find(' ');
        lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return lines;
}

std::vector<std::string> TStandinLog::Lines(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : Lines())
        if (line.compare(0, prefix.size(), prefix) == 0)
            out.push_back(line);
    return out;
}

int TStandinLog::Find(const std::string& line, int from) const {
    std::vector<std::string> lines = Lines();
    for (int i = from < 0 ? 0 : from; i < static_cast<int>(lines.size()); ++i)
        if (lines[i] == line)
            return i;
    return -1;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

std::string WriteMovie(const std::string& name, const std::string& script) {
    std::string path = TempDir() + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "#player-standin\r\n" << script;
    return path;
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace zembra::test
