// Test build of the saver: the same main window, with a few properties that
// the content package will set in the product settable from the test's
// environment, and a log of what happened. Never shipped.
//
//   ZEMBRA_TEST_SAVER  comma-separated settings: keys=0|1 (TerminateOnKeyDown),
//                      mouse=0|1 (TerminateOnMouseMove), cursor=0|1 (ShowMouseCursor)
//   ZEMBRA_TEST_LOG    file that gets "mode=N" at start and "terminate" lines
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/uMain.h"
#include "app/uProgram.h"

namespace {

void Log(const std::string& line) {
    if (const char* path = std::getenv("ZEMBRA_TEST_LOG")) {
        if (FILE* f = std::fopen(path, "a")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
}

class TfrmMainTest : public zembra::TfrmMain {
  public:
    explicit TfrmMainTest(zembra::TComponent* AOwner) : TfrmMain(AOwner) {
        if (const char* settings = std::getenv("ZEMBRA_TEST_SAVER")) {
            std::string s = settings;
            size_t start = 0;
            while (start <= s.size()) {
                size_t comma = s.find(',', start);
                std::string item =
                    s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                Apply(item);
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        }
        Log("mode=" + std::to_string(static_cast<int>(ScreenSaver->Mode())));
        auto previous = ScreenSaver->OnTerminate;
        ScreenSaver->OnTerminate = [previous](zembra::TComponent* Sender) {
            Log("terminate");
            if (previous)
                previous(Sender);
        };
    }

  private:
    void Apply(const std::string& item) {
        if (item == "keys=0")
            ScreenSaver->TerminateOnKeyDown = false;
        else if (item == "mouse=0")
            ScreenSaver->TerminateOnMouseMove = false;
        else if (item == "cursor=1")
            ScreenSaver->SetShowMouseCursor(true);
    }
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return zembra::RunSaverProgram<TfrmMainTest>();
}
