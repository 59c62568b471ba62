// Nodelark is started here with entries whose addresses the tests send to:
// only inside the namespaces tests/e2e/run.sh made.
#include <gtest/gtest.h>

#include "NetworkGuard.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!testnet::MayRun("nl_e2e_tests", "NL_E2E_NAMESPACE", "tests/e2e/run.sh", {{{10, 77, 0, 0}, 24}}))
        return 2;
    return RUN_ALL_TESTS();
}
