#pragma once
// The order and widths of a list's columns as Nodelark.ini keeps them: each a
// line of numbers separated by commas, one per column.
#include <string>
#include <vector>

// The widest column a setting may ask for; a wider one is a damaged line.
constexpr int kListColumnWidthMax = 4096;

// The display order ("11,0,1,...": the column shown first, then the next);
// empty unless it names each of the `count` columns exactly once.
std::vector<int> ParseColumnOrder(const std::string& text, int count);
// The widths in pixels; empty unless there are `count` of them, each from 0
// to kListColumnWidthMax.
std::vector<int> ParseColumnWidths(const std::string& text, int count);
std::string JoinColumnNumbers(const std::vector<int>& numbers);

// Widths are kept at 96 DPI, so that a start at another display scale shows
// them in the same proportion: `widths` shown at `fromDpi`, at `toDpi`.
std::vector<int> RescaleColumnWidths(const std::vector<int>& widths, int fromDpi, int toDpi);
