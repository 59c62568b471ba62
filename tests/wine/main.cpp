// This tier may touch 127.0.0.1 and nothing else: tests/wine/run.sh runs it
// in a namespace with loopback alone.
#include <gtest/gtest.h>

#include "NetworkGuard.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!testnet::MayRun("nl_wine_tests", nullptr, "tests/wine/run.sh", {})) return 2;
    return RUN_ALL_TESTS();
}
