// Whether the double-byte cases can run: natively the code-page-932 rule
// always applies; under Windows only when the system code page is 932.
#pragma once

#ifdef _WIN32
#include <windows.h>
inline bool DbcsCodePageActive() {
    return GetACP() == 932;
}
#else
inline bool DbcsCodePageActive() {
    return true;
}
#endif

#define REQUIRE_DBCS_CODE_PAGE()                                                                   \
    do {                                                                                           \
        if (!DbcsCodePageActive())                                                                 \
            GTEST_SKIP() << "double-byte cases need code page 932 (run with LANG=ja_JP.UTF-8)";    \
    } while (0)
