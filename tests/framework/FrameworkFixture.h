// A fresh application object (with its window) for each test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/uApplication.h"

namespace zembra::test {

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app = std::make_unique<TApplication>();
        ASSERT_EQ(Application, app.get());
        app->Initialize();
        app->OnException = [this](TComponent*, const std::exception* e) {
            exceptions.push_back(e ? e->what() : "?");
        };
    }
    void TearDown() override { app.reset(); }

    // Runs the message loop until done() or the timeout; false on timeout.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            app->ProcessMessages();
            Sleep(1);
        }
        return true;
    }

    std::unique_ptr<TApplication> app;
    std::vector<std::string> exceptions;
};

} // namespace zembra::test
