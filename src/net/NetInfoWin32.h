#pragma once
#include <cstddef>

#include "net/NetInfo.h"

// Refills `info` from IP Helper; returns the number of adapters collected.
// Whatever the platform refuses to tell stays empty or 0.
size_t CollectNetInfo(NetInfo& info);
