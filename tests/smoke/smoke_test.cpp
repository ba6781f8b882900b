#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#include <mutex>
TEST(Smoke, WindowAndMutex) {
    std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    HWND w = CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    DestroyWindow(w);
    EXPECT_EQ(GetACP() != 0, true);
}
#else
TEST(Smoke, Native) { EXPECT_EQ(1 + 1, 2); }
#endif
