// Helpers around tests/ui/fakebrowser.exe, which appends its command line to
// the file named by ZEMBRA_FAKEBROWSER_LOG: register it as the default
// browser and read back what it was started with.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>
#include <vector>

#include "uTestRegistry.h"

namespace zembra::test {

// Folder of the running test program, with a trailing backslash.
std::string ProgramFolder();

// Path of a copy of the fakebrowser.exe beside the running test program,
// made on first use under a path with blanks and without "-".
std::string FakeBrowserPath();

// A fresh log file for the fake browser, named in the environment that
// processes started from now on inherit; deleted when the object goes.
class TFakeBrowserLog {
  public:
    explicit TFakeBrowserLog(const std::string& name);
    ~TFakeBrowserLog();
    TFakeBrowserLog(const TFakeBrowserLog&) = delete;
    TFakeBrowserLog& operator=(const TFakeBrowserLog&) = delete;

    // The command lines recorded so far (CR LF stripped).
    std::vector<std::string> Lines() const;
    // Waits until at least Count lines are there or TimeoutMs passed,
    // pumping messages meanwhile; returns the lines.
    std::vector<std::string> WaitForLines(std::size_t count, DWORD timeoutMs = 10000) const;
    // How the shell's parser split each recorded command line: the number
    // of arguments after the program, then each one in brackets.
    std::vector<std::string> ArgumentLines() const;

  private:
    std::string path_;
    std::string argsPath_;
};

// Makes the fake browser the default browser (StartMenuInternet client) for
// the lifetime of Registry.
void RegisterFakeBrowser(TTestRegistry& registry, const std::string& commandTail = " \"%1\"");

// Removes every trace of a default browser (client and ".htm" association)
// for the lifetime of Registry.
void UnregisterBrowsers(TTestRegistry& registry);

} // namespace zembra::test

#endif // _WIN32
