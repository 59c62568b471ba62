// The packed Nodelark is started here, and Nodelark opens its wake socket
// and checks its entries' status at start: only inside the namespaces
// tests/package/run.sh made.
#include <gtest/gtest.h>

#include "NetworkGuard.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!testnet::MayRun("nl_package_tests", "NL_PKG_NAMESPACE", "tests/package/run.sh", {{{10, 77, 0, 0}, 24}}))
        return 2;
    return RUN_ALL_TESTS();
}
