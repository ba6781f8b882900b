// The packer's one error type: a message for the user and the exit code
// the command ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace zembra {

enum TExitCode { ecOk = 0, ecUsage = 1, ecInput = 2, ecIo = 3 };

class TPackError : public std::runtime_error {
  public:
    TPackError(TExitCode Code, const std::string& Message)
        : std::runtime_error(Message), code_(Code) {}
    TExitCode Code() const noexcept { return code_; }

  private:
    TExitCode code_;
};

} // namespace zembra
