#pragma once
// How the status bar divides its width among its parts.
#include <vector>

// Right edges of the parts for an available width. A positive fixed width
// wins over the percentage; the last part takes whatever is left.
std::vector<int> ComputePartEdges(int availableWidth, const std::vector<int>& percentages,
                                  const std::vector<int>& fixedWidths);
