// The main of every test program: the platform stand-ins go into the seam before the first
// test runs; then GoogleTest runs them all.
#include <gtest/gtest.h>

#include "QvTestPlatform.h"

int main(int argc, char** argv) {
    QvPlatformTest::InstallTestPlatform();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
