#include "ui/uBrowser.h"

#include <gtest/gtest.h>

#include "ui/uBrowserText.h"
#include "uFakeBrowser.h"
#include "uTestRegistry.h"

using namespace zembra;
using namespace zembra::test;

namespace {

// Records what would be started and answers ShellExecute with a set result.
class TRecordingShell : public TBrowserShell {
  public:
    INT_PTR ShellResult = 42;
    std::vector<std::string> Calls;
    INT_PTR ShellExecuteOpen(const std::string& url) override {
        Calls.push_back("shell " + url);
        return ShellResult;
    }
    void Exec(const std::string& commandLine) override { Calls.push_back("exec " + commandLine); }
};

constexpr char Clients[] = "Software\\Clients\\StartMenuInternet";

} // namespace

TEST(Browser, FindsTheClientsCommandAndReducesIt) {
    TTestRegistry reg;
    reg.SetDefault(HKEY_LOCAL_MACHINE, Clients, "ZembraTestClient");
    const std::string commandKey =
        std::string(Clients) + "\\ZembraTestClient\\shell\\open\\command";

    reg.SetDefault(HKEY_LOCAL_MACHINE, commandKey,
                   R"("C:\Program Files\Zembra Web\web.exe" -osint -url "%1")");
    EXPECT_EQ(FindDefaultBrowser(), R"(C:\Program Files\Zembra Web\web.exe)");

    reg.SetDefault(HKEY_LOCAL_MACHINE, commandKey, R"(C:\PROGRA~1\Web\web.exe -nohome "%1")");
    EXPECT_EQ(FindDefaultBrowser(), R"(C:\PROGRA~1\Web\web.exe)");

    SetEnvironmentVariableA("ZEMBRA_TEST_WEB", R"(D:\Tools\Web Browser)");
    reg.SetDefault(HKEY_LOCAL_MACHINE, commandKey, R"("%ZEMBRA_TEST_WEB%\web.exe" %1)");
    EXPECT_EQ(FindDefaultBrowser(), R"(D:\Tools\Web Browser\web.exe)");

    // An expansion longer than 260 characters finds no browser at all.
    SetEnvironmentVariableA("ZEMBRA_TEST_WEB", std::string(300, 'x').c_str());
    EXPECT_EQ(FindDefaultBrowser(), "");
    SetEnvironmentVariableA("ZEMBRA_TEST_WEB", nullptr);
}

TEST(Browser, FallsBackToTheHtmAssociation) {
    TTestRegistry reg;
    // A client whose command key is missing.
    reg.SetDefault(HKEY_LOCAL_MACHINE, Clients, "ZembraNoSuchClient");
    reg.SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\.htm", "ZembraTest.htmfile");
    reg.SetDefault(HKEY_LOCAL_MACHINE,
                   "Software\\Classes\\ZembraTest.htmfile\\shell\\open\\command",
                   R"(C:\Zembra\viewer.exe /dde %1)");
    EXPECT_EQ(FindDefaultBrowser(), R"(C:\Zembra\viewer.exe)");

    UnregisterBrowsers(reg);
    EXPECT_EQ(FindDefaultBrowser(), "");
}

TEST(Browser, LaunchStartsTheBrowserWithTheAddressAsOneArgument) {
    TTestRegistry reg;
    reg.SetDefault(HKEY_LOCAL_MACHINE, Clients, "ZembraTestClient");
    reg.SetDefault(HKEY_LOCAL_MACHINE,
                   std::string(Clients) + "\\ZembraTestClient\\shell\\open\\command",
                   R"("C:\Web Browser\web.exe" "%1")");
    TRecordingShell shell;
    TBrowser browser(nullptr, shell);
    EXPECT_EQ(browser.BrowserPath(), R"(C:\Web Browser\web.exe)");

    browser.Launch(); // empty address: nothing
    browser.SetURL("example.com/a b");
    EXPECT_EQ(browser.URL(), "http://example.com/a b");
    EXPECT_TRUE(shell.Calls.empty()) << "Auto is off";
    browser.Launch();
    ASSERT_EQ(shell.Calls.size(), 1u);
    EXPECT_EQ(shell.Calls[0], R"(exec "C:\Web Browser\web.exe" http://example.com/a%20b)");

    // Whatever the address holds, it stays one argument.
    shell.Calls.clear();
    browser.SetURL(R"(http://x" --evil "y)");
    browser.Launch();
    browser.SetURL("HTTPS://x\r\n--evil");
    browser.Launch();
    EXPECT_EQ(shell.Calls, (std::vector<std::string>{
                               R"(exec "C:\Web Browser\web.exe" http://x%22%20--evil%20%22y)",
                               R"(exec "C:\Web Browser\web.exe" HTTPS://x%0D%0A--evil)"}));

    // Other schemes are never started.
    shell.Calls.clear();
    for (const char* url : {"file:///C:/Windows/notepad.exe", "javascript:alert(1)",
                            "example.com:8080", "zembratest:hello"}) {
        browser.SetURL(url);
        browser.Launch();
        browser.ShellOpen();
    }
    EXPECT_TRUE(shell.Calls.empty()) << shell.Calls[0];

    // A malformed escape raises and keeps the previous address.
    browser.SetURL("http://ok/");
    EXPECT_THROW(browser.SetURL("http://bad/%zz"), EUrlError);
    EXPECT_EQ(browser.URL(), "http://ok/");
}

TEST(Browser, WithoutBrowserTheShellThenTheExplorerOpens) {
    TTestRegistry reg;
    UnregisterBrowsers(reg);
    TRecordingShell shell;
    TBrowser browser(nullptr, shell);
    EXPECT_EQ(browser.BrowserPath(), "");
    browser.SetURL("mailto:a@b");
    browser.Launch();
    EXPECT_EQ(shell.Calls, (std::vector<std::string>{"shell mailto:a@b"}));

    shell.Calls.clear();
    shell.ShellResult = 31; // no association
    browser.Launch();
    EXPECT_EQ(shell.Calls,
              (std::vector<std::string>{"shell mailto:a@b", "exec explorer mailto:a@b"}));
}

TEST(Browser, AutoOpensThroughTheShellOnce) {
    TTestRegistry reg;
    UnregisterBrowsers(reg);
    TRecordingShell shell;
    TBrowser browser(nullptr, shell);
    browser.Auto = true;

    struct Case {
        INT_PTR result;
        std::vector<std::string> calls;
    } cases[] = {
        {33, {"shell http://a/33"}},
        {2, {"shell http://a/2"}}, // file not found ends the attempt
        {32, {"shell http://a/32", "shell http://a/32"}},
        {0, {"shell http://a/0", "shell http://a/0", "exec explorer http://a/0"}},
    };
    for (const Case& c : cases) {
        shell.Calls.clear();
        shell.ShellResult = c.result;
        browser.SetURL("a/" + std::to_string(c.result));
        EXPECT_EQ(shell.Calls, c.calls) << "shell result " << c.result;
    }

    // The same address again opens nothing.
    shell.Calls.clear();
    browser.SetURL("http://a/0");
    EXPECT_TRUE(shell.Calls.empty());
}

TEST(Browser, OpenURLNeverThrowsAndOpensNothingOnBadInput) {
    TTestRegistry reg;
    UnregisterBrowsers(reg);
    TRecordingShell shell;
    OpenURL("", shell);
    OpenURL("http://bad/%4", shell);
    OpenURL("ftp://example.com", shell);
    EXPECT_TRUE(shell.Calls.empty());
    // The shell too gets the address as one encoded piece.
    OpenURL("http://bad/\"x y", shell);
    OpenURL("example.com", shell);
    EXPECT_EQ(shell.Calls,
              (std::vector<std::string>{"shell http://bad/%22x%20y", "shell http://example.com"}));
}

TEST(Browser, OpenURLStartsTheRegisteredBrowser) {
    TTestRegistry reg;
    RegisterFakeBrowser(reg, R"( -new-window "%1")");
    TFakeBrowserLog log("browser_open");
    OpenURL("example.com/a b");
    const auto lines = log.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "\"" + FakeBrowserPath() + "\" http://example.com/a%20b");
}

TEST(Browser, TheBrowserReceivesExactlyOneArgument) {
    TTestRegistry reg;
    RegisterFakeBrowser(reg);
    TFakeBrowserLog log("browser_args");
    // Addresses a package could use to add switches or a second address.
    const struct {
        const char* url;
        const char* argument;
    } cases[] = {
        {"http://x --some-switch", "http://x%20--some-switch"},
        {"http://x\t--a", "http://x%09--a"},
        {R"(http://x" --b "c)", "http://x%22%20--b%20%22c"},
        {R"(http://x\" --c)", R"(http://x\%22%20--c)"},
        {"https://x/\\\\\" d", R"(https://x/\\%22%20d)"},
        {"mailto:a@b?subject=one two%%", "mailto:a@b?subject=one%20two%25%25"},
        {"http://x\r\n--d", "http://x%0D%0A--d"},
    };
    std::size_t n = 0;
    for (const auto& c : cases) {
        OpenURL(c.url);
        ASSERT_EQ(log.WaitForLines(++n).size(), n) << c.url;
    }
    const auto args = log.ArgumentLines();
    ASSERT_EQ(args.size(), n);
    for (std::size_t i = 0; i < n; ++i)
        EXPECT_EQ(args[i], std::string("1 [") + cases[i].argument + "]") << cases[i].url;
}

TEST(Browser, OpenURLStartsNoOtherScheme) {
    TTestRegistry reg;
    UnregisterBrowsers(reg);
    // A private scheme whose handler is the fake browser: the shell would
    // start it, but the launcher never asks.
    reg.SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\zembratest", "URL:Zembra test");
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\zembratest", 0, KEY_SET_VALUE,
                          &key) == ERROR_SUCCESS) {
            RegSetValueExA(key, "URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            RegCloseKey(key);
        }
    }
    reg.SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\zembratest\\shell\\open\\command",
                   "\"" + FakeBrowserPath() + "\" \"%1\"");
    TFakeBrowserLog log("browser_shell");
    OpenURL("zembratest:hello");
    EXPECT_TRUE(log.WaitForLines(1, 2000).empty());
}
