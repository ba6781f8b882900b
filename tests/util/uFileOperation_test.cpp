#include "util/uFileOperation.h"
#include "util/uHandles.h"
#include "util/uUtils.h"

#include <gtest/gtest.h>

using namespace zembra;

namespace {

int gPumpCalls = 0;
int gDelivered = 0;

LRESULT CALLBACK CountingWindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept {
    if (Message == WM_APP + 7)
        ++gDelivered;
    return DefWindowProcA(Window, Message, W, L);
}

void CountingPump() {
    ++gPumpCalls;
}

bool Exists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFileAt(const std::string& Path, DWORD Attributes = FILE_ATTRIBUTE_NORMAL) {
    UniqueHandle file(
        CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, Attributes, nullptr));
    ASSERT_TRUE(file) << Path;
    DWORD written = 0;
    WriteFile(file.Get(), "data", 4, &written, nullptr);
}

std::string ScratchPath(const char* Name) {
    return TempFilePath(std::string(Name) + std::to_string(GetCurrentProcessId()));
}

// Counts calls of the message pump for the life of one test.
struct PumpCounter {
    PumpCounter() {
        gPumpCalls = 0;
        SetDeletePathMessagePump(CountingPump);
    }
    ~PumpCounter() { SetDeletePathMessagePump(nullptr); }
};

} // namespace

TEST(FileOperation, MissingPathIsFalseWithoutTouchingTheShell) {
    PumpCounter pump;
    EXPECT_FALSE(DeletePath(ScratchPath("zembra-missing")));
    EXPECT_FALSE(DeletePath(ScratchPath("zembra-missing") + "\\"));
    EXPECT_FALSE(DeletePath(""));
    // Wildcards name nothing themselves: no pattern deletion.
    const std::string folder = ScratchPath("zembra-wild");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    WriteFileAt(folder + "\\keep.txt");
    EXPECT_FALSE(DeletePath(folder + "\\*"));
    EXPECT_TRUE(Exists(folder + "\\keep.txt"));
    EXPECT_EQ(gPumpCalls, 0);
    EXPECT_TRUE(DeletePath(folder));
}

TEST(FileOperation, DeletesAFile) {
    PumpCounter pump;
    const std::string file = ScratchPath("zembra-file") + ".swf";
    WriteFileAt(file);
    EXPECT_TRUE(DeletePath(file));
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(gPumpCalls, 1);
}

TEST(FileOperation, DeletesANestedFolderGivenWithATrailingBackslash) {
    const std::string root = ScratchPath("zembra-tree");
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\sub\\deeper").c_str(), nullptr));
    WriteFileAt(root + "\\movie.swf");
    WriteFileAt(root + "\\sub\\deeper\\locked.txt", FILE_ATTRIBUTE_READONLY);
    // A sibling whose name starts the same must survive.
    WriteFileAt(root + "-sibling.txt");

    EXPECT_TRUE(DeletePath(root + "\\"));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(root + "-sibling.txt"));
    EXPECT_TRUE(DeletePath(root + "-sibling.txt"));
}

TEST(FileOperation, DefaultPumpDispatchesWaitingMessagesAndKeepsQuit) {
    gDelivered = 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountingWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZembraDeletePathPumpTest";
    RegisterClassA(&wc);
    UniqueWindow window(CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                        nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(window);

    const std::string file = ScratchPath("zembra-pump") + ".txt";
    WriteFileAt(file);
    PostMessageA(window.Get(), WM_APP + 7, 0, 0);
    PostQuitMessage(3);
    EXPECT_TRUE(DeletePath(file));
    EXPECT_EQ(gDelivered, 1);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}
