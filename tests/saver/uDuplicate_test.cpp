#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "saver/uDuplicate.h"

using namespace zembra;

namespace {

// Runs this test program again as a second process that executes
// DuplicateChild.Run with the given role; returns its exit code.
DWORD RunChild(const std::string& role, const std::string& name, HANDLE* processOut = nullptr) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string("\"") + self + "\" --gtest_filter=DuplicateChild.Run";
    SetEnvironmentVariableA("ZEMBRA_DUP_ROLE", role.c_str());
    SetEnvironmentVariableA("ZEMBRA_DUP_NAME", name.c_str());
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessA(self, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("ZEMBRA_DUP_ROLE", nullptr);
    SetEnvironmentVariableA("ZEMBRA_DUP_NAME", nullptr);
    if (!ok)
        return 1000;
    CloseHandle(pi.hThread);
    if (processOut) {
        *processOut = pi.hProcess;
        return 0;
    }
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1001;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return code;
}

std::string UniqueName(const char* tag) {
    return std::string("zembra-dup-test-") + tag + "-" + std::to_string(GetCurrentProcessId()) +
           "-" + std::to_string(GetTickCount());
}

} // namespace

// The second process of the tests below; does nothing when run directly.
TEST(DuplicateChild, Run) {
    const char* role = std::getenv("ZEMBRA_DUP_ROLE");
    const char* name = std::getenv("ZEMBRA_DUP_NAME");
    if (!role || !name)
        GTEST_SKIP();
    const std::string r = role;
    if (r == "expect-free") {
        EXPECT_TRUE(RegisterInstance(name));
        UnregisterInstance();
    } else if (r == "expect-held") {
        EXPECT_FALSE(RegisterInstance(name));
    } else if (r == "hold") {
        ASSERT_TRUE(RegisterInstance(name));
        HANDLE ready =
            OpenEventA(EVENT_MODIFY_STATE, FALSE, (std::string(name) + "-ready").c_str());
        HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, (std::string(name) + "-quit").c_str());
        ASSERT_NE(ready, nullptr);
        ASSERT_NE(quit, nullptr);
        SetEvent(ready);
        WaitForSingleObject(quit, 30000);
        CloseHandle(ready);
        CloseHandle(quit);
        // Ends without unregistering: process exit must free the name.
    }
}

TEST(Duplicate, RegisterIsSeenByOtherProcessesUntilUnregistered) {
    const std::string name = UniqueName("reg");
    ASSERT_TRUE(RegisterInstance(name));
    EXPECT_EQ(RunChild("expect-held", name), 0u);
    UnregisterInstance();
    EXPECT_EQ(RunChild("expect-free", name), 0u);
    // A second unregister has nothing to release.
    UnregisterInstance();
}

TEST(Duplicate, NameVanishesWhenHolderExits) {
    const std::string name = UniqueName("exit");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, (name + "-quit").c_str());
    ASSERT_NE(ready, nullptr);
    ASSERT_NE(quit, nullptr);
    HANDLE child = nullptr;
    ASSERT_EQ(RunChild("hold", name, &child), 0u);
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);

    // A guard held before (of another name) is given up, not leaked.
    UniqueHandle guard;
    const std::string other = UniqueName("other");
    ASSERT_TRUE(CreateInstanceGuard(guard, other));
    EXPECT_FALSE(CreateInstanceGuard(guard, name));
    EXPECT_FALSE(guard.Valid());
    {
        UniqueHandle probe(OpenMutexA(SYNCHRONIZE, FALSE, other.c_str()));
        EXPECT_FALSE(probe.Valid()) << "the earlier guard's name is still held";
    }

    SetEvent(quit);
    ASSERT_EQ(WaitForSingleObject(child, 30000), WAIT_OBJECT_0);
    CloseHandle(child);
    EXPECT_TRUE(CreateInstanceGuard(guard, name));
    EXPECT_TRUE(guard.Valid());
    ReleaseInstanceGuard(guard);
    EXPECT_FALSE(guard.Valid());
    ReleaseInstanceGuard(guard); // an empty guard is left alone
    EXPECT_FALSE(guard.Valid());
    {
        // A guard that simply goes out of scope frees its name too.
        UniqueHandle scoped;
        ASSERT_TRUE(CreateInstanceGuard(scoped, name));
    }
    UniqueHandle again;
    EXPECT_TRUE(CreateInstanceGuard(again, name));
    CloseHandle(ready);
    CloseHandle(quit);
}
