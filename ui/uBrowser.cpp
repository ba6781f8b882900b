#include "uBrowser.h"

#include <shellapi.h>

#include "ui/uBrowserText.h"
#include "util/uUtils.h"

namespace zembra {

namespace {

constexpr char StartMenuInternetKey[] = "Software\\Clients\\StartMenuInternet";
constexpr DWORD ExpandBufferSize = 260;

// Expands environment variables; empty when the result does not fit the
// 260-character buffer.
std::string ExpandCommand(const std::string& command) {
    char buffer[ExpandBufferSize] = {};
    const DWORD needed = ExpandEnvironmentStringsA(command.c_str(), buffer, ExpandBufferSize);
    if (needed == 0 || needed > ExpandBufferSize)
        return std::string();
    return Trim(std::string(buffer, needed - 1));
}

} // namespace

INT_PTR TBrowserShell::ShellExecuteOpen(const std::string& url) {
    return reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOW));
}

void TBrowserShell::Exec(const std::string& commandLine) {
    WinExec(commandLine.c_str(), SW_SHOW);
}

TBrowserShell& TBrowserShell::System() {
    static TBrowserShell shell;
    return shell;
}

std::string FindDefaultBrowser() {
    std::string command;
    const std::string client = ReadRegistryDefault(HKEY_LOCAL_MACHINE, StartMenuInternetKey);
    if (!client.empty())
        command = ReadRegistryDefault(HKEY_LOCAL_MACHINE, std::string(StartMenuInternetKey) + "\\" +
                                                              client + "\\shell\\open\\command");
    if (command.empty())
        command = GetOpenCommand(".htm");

    command = ExpandCommand(command);
    if (command.empty())
        return command;
    const std::string program = UnquoteString(command, '"');
    if (program.empty())
        return program;
    return ReduceBrowserCommand(program);
}

TBrowser::TBrowser(TComponent* AOwner, TBrowserShell& shell)
    : TComponent(AOwner), shell_(shell), browserPath_(FindDefaultBrowser()) {}

void TBrowser::SetURL(const std::string& value) {
    if (value == url_)
        return;
    // Normalise first: a malformed address must not replace the old one,
    // or a later Launch would start it after all.
    url_ = NormalizeURL(value);
    if (Auto)
        ShellOpen();
}

void TBrowser::Launch() {
    if (url_.empty() || !HasLaunchableScheme(url_))
        return;
    const std::string argument = EncodeCommandArgument(url_);
    if (!browserPath_.empty()) {
        // Unquoted: the encoding leaves nothing that could end the argument.
        shell_.Exec(QuoteString(browserPath_, '"') + " " + argument);
        return;
    }
    if (shell_.ShellExecuteOpen(argument) < 32)
        shell_.Exec("explorer " + argument);
}

void TBrowser::ShellOpen() {
    if (url_.empty() || !HasLaunchableScheme(url_))
        return;
    // The shell puts the address into the handler's command line as well.
    const INT_PTR result = shell_.ShellExecuteOpen(EncodeCommandArgument(url_));
    if (result == ERROR_FILE_NOT_FOUND || result > 32)
        return;
    Launch();
}

void OpenURL(const std::string& address) noexcept {
    OpenURL(address, TBrowserShell::System());
}

void OpenURL(const std::string& address, TBrowserShell& shell) noexcept {
    try {
        TBrowser browser(nullptr, shell);
        browser.SetURL(address);
        browser.Launch();
    } catch (...) {
        // A malformed address or a failed start: nothing opens and the user
        // is not told, as with every failure of this program.
    }
}

} // namespace zembra
