#pragma once
// The network text of the About box, one block per adapter.
#include <string>
#include <vector>

#include "net/NetInfo.h"

// The block for one adapter, in the box's fixed form.
std::string FormatAdapterBlock(const NetInfo& info, const NetAdapter& adapter);

// Blocks of the adapters worth showing, in snapshot order: an adapter without
// an address, or whose first address is 0.0.0.0, is left out.
std::vector<std::string> AboutNetworkBlocks(const NetInfo& info);
