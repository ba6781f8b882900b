// Entry of every Windows test program: COM for the main thread, as the
// saver's own entry sets it up, then the tests.
#include <gtest/gtest.h>

#include "util/uCommonUnit.h"

int main(int argc, char** argv) {
    zembra::TComInitializer com;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
