// Shared pieces of the player host tests: the application object, a host
// form, the stand-in's event log and a message pump.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/uControls.h"

namespace zembra::test {

// A plain visible form to host player controls.
class THostForm : public TForm {
  public:
    explicit THostForm(TComponent* AOwner, bool visible = true);
};

// Points PLAYER_STANDIN_LOG (and clears PLAYER_STANDIN_FAIL) for one test;
// the stand-in reads both on every event, so this process's players log
// into this file from now on.
class TStandinLog {
  public:
    TStandinLog();
    ~TStandinLog();
    TStandinLog(const TStandinLog&) = delete;
    TStandinLog& operator=(const TStandinLog&) = delete;

    // Every line without its process id and line end.
    std::vector<std::string> Lines() const;
    // The lines that start with `prefix`.
    std::vector<std::string> Lines(const std::string& prefix) const;
    // Index of the first line equal to `line` at or after `from`; -1 if none.
    int Find(const std::string& line, int from = 0) const;

  private:
    std::string path_;
};

// Handles messages until `done` is true or `timeoutMs` passed; returns done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Handles messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// Writes a scripted movie for the stand-in into the temp folder; returns
// its full path.
std::string WriteMovie(const std::string& name, const std::string& script);
std::wstring Wide(const std::string& text);

} // namespace zembra::test
