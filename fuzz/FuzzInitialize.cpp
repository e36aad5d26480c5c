// Compiled into every fuzz target: libFuzzer calls this once before the first input, and the
// platform stand-ins go into the seam then, as the test main does for the unit tests.
#include "QvTestPlatform.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QvPlatformTest::InstallTestPlatform();
    return 0;
}
