// Opens a web address in the user's default browser: the browser's program
// is found in the registry and started directly with the address; without
// one the shell opens the address, and failing that the file explorer.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "framework/uComponent.h"

namespace zembra {

// The two ways of starting something that the launcher uses. Tests replace
// them to see what would be started and to play the shell's results.
class TBrowserShell {
  public:
    virtual ~TBrowserShell() = default;
    // ShellExecuteA with no parent, the verb "open", Url, no parameters, no
    // directory and SW_SHOW; returns the shell's result (>= 32 is success).
    virtual INT_PTR ShellExecuteOpen(const std::string& url);
    // WinExec of CommandLine with SW_SHOW; the result is of no interest.
    virtual void Exec(const std::string& commandLine);

    // The real shell.
    static TBrowserShell& System();
};

// The program path of the default browser, without quotes; empty when none
// is registered: first the StartMenuInternet client's open command under
// HKEY_LOCAL_MACHINE, then the open command of ".htm" files, reduced to the
// program path (switches and "%1" dropped).
std::string FindDefaultBrowser();

class TBrowser : public TComponent {
  public:
    // Looks up the default browser once, here.
    explicit TBrowser(TComponent* AOwner, TBrowserShell& shell = TBrowserShell::System());

    // When true, assigning a new URL opens it at once through ShellOpen.
    bool Auto = false;

    const std::string& URL() const noexcept { return url_; }
    // Stores Value with "http://" in front when it has no scheme. Assigning
    // the current text again does nothing. Throws EUrlError (and keeps the
    // old address) when Value holds a "%" that is not a valid escape.
    void SetURL(const std::string& value);

    const std::string& BrowserPath() const noexcept { return browserPath_; }

    // Starts the browser with URL, or hands URL to the shell when there is
    // no browser, or to the explorer when the shell fails. Only http, https
    // and mailto addresses are started, and always as one argument (see
    // EncodeCommandArgument): a package cannot add switches of its own.
    void Launch();
    // Hands URL to the shell; falls back to Launch unless the shell started
    // something or reported that the address was not found. The same
    // schemes and encoding as Launch.
    void ShellOpen();

  private:
    TBrowserShell& shell_;
    std::string url_;
    std::string browserPath_;
};

// Opens Address in the default browser. Never throws and never shows a
// message: a malformed address opens nothing.
void OpenURL(const std::string& address) noexcept;
void OpenURL(const std::string& address, TBrowserShell& shell) noexcept;

} // namespace zembra

#endif // _WIN32
