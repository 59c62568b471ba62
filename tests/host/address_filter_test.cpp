#include <gtest/gtest.h>
#include "entries/AddressFilter.h"

TEST(AddressFilter, TableOfNetworks) {
    struct Case { uint8_t address[4]; uint8_t network[4]; int prefix; bool passes; };
    const Case cases[] = {
        {{192, 168, 1, 7}, {192, 168, 1, 0}, 24, true},
        {{192, 168, 2, 7}, {192, 168, 1, 0}, 24, false},
        {{10, 200, 3, 4}, {10, 0, 0, 0}, 8, true},
        {{11, 0, 0, 1}, {10, 0, 0, 0}, 8, false},
        {{172, 16, 9, 9}, {172, 16, 0, 0}, 16, true},
        {{1, 2, 3, 4}, {1, 2, 3, 4}, 32, true},
        {{1, 2, 3, 5}, {1, 2, 3, 4}, 32, false},
        {{9, 9, 9, 9}, {10, 0, 0, 0}, 0, true},     // no filter
        {{0, 0, 0, 0}, {192, 168, 1, 0}, 24, false},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, 8, true},
        // other lengths take the leading bits, as a network prefix does
        {{192, 168, 1, 130}, {192, 168, 1, 128}, 25, true},
        {{192, 168, 1, 127}, {192, 168, 1, 128}, 25, false},
        {{10, 1, 0, 1}, {10, 0, 0, 0}, 15, true},
        {{10, 2, 0, 1}, {10, 0, 0, 0}, 15, false},
        {{128, 0, 0, 0}, {255, 0, 0, 0}, 1, true},
        {{127, 0, 0, 0}, {255, 0, 0, 0}, 1, false},
        // beyond 32: the whole address
        {{1, 2, 3, 4}, {1, 2, 3, 4}, 99, true},
        {{1, 2, 3, 5}, {1, 2, 3, 4}, 33, false},
        {{1, 2, 3, 5}, {9, 9, 9, 9}, -3, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.passes, AddressPassesFilter(c.address, c.network, c.prefix))
            << int(c.address[0]) << "." << int(c.address[1]) << "." << int(c.address[2]) << "."
            << int(c.address[3]) << " in /" << c.prefix;
}
