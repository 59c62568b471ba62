#include "ui/StatusParts.h"

std::vector<int> ComputePartEdges(int availableWidth, const std::vector<int>& percentages,
                                  const std::vector<int>& fixedWidths) {
    const int count = static_cast<int>(percentages.size());
    std::vector<int> edges(count, 0);
    if (count == 0) return edges;
    auto fixedAt = [&](int i) { return i < static_cast<int>(fixedWidths.size()) ? fixedWidths[i] : 0; };
    int remaining = availableWidth;
    for (int i = 0; i < count; ++i)
        if (fixedAt(i) > 0) remaining -= fixedAt(i);
    int right = 0;
    for (int i = 0; i < count - 1; ++i) {
        // Single precision and truncation, so the edges match what users saw before.
        int width = fixedAt(i) > 0
                        ? fixedAt(i)
                        : static_cast<int>(static_cast<float>(percentages[i]) / 100.0f *
                                           static_cast<float>(remaining));
        right += width;
        edges[i] = right;
    }
    edges[count - 1] = availableWidth;
    return edges;
}
