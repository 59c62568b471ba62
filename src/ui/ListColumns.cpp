#include "ui/ListColumns.h"

#include <algorithm>

#include "ui/DpiScale.h"

namespace {

// Every comma-separated field a plain non-negative number of at most five
// digits; empty on anything else.
std::vector<int> Numbers(const std::string& text) {
    std::vector<int> numbers;
    size_t at = 0;
    for (;;) {
        const size_t end = std::min(text.find(',', at), text.size());
        const std::string field = text.substr(at, end - at);
        if (field.empty() || field.size() > 5 || field.find_first_not_of("0123456789") != std::string::npos)
            return {};
        numbers.push_back(std::stoi(field));
        if (end == text.size()) return numbers;
        at = end + 1;
    }
}

}  // namespace

std::vector<int> ParseColumnOrder(const std::string& text, int count) {
    std::vector<int> order = Numbers(text);
    if (static_cast<int>(order.size()) != count) return {};
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (int column : order) {
        if (column < 0 || column >= count || seen[static_cast<size_t>(column)]) return {};
        seen[static_cast<size_t>(column)] = true;
    }
    return order;
}

std::vector<int> ParseColumnWidths(const std::string& text, int count) {
    std::vector<int> widths = Numbers(text);
    if (static_cast<int>(widths.size()) != count) return {};
    for (int width : widths)
        if (width > kListColumnWidthMax) return {};
    return widths;
}

std::string JoinColumnNumbers(const std::vector<int>& numbers) {
    std::string text;
    for (size_t i = 0; i < numbers.size(); ++i) text += (i ? "," : "") + std::to_string(numbers[i]);
    return text;
}

std::vector<int> RescaleColumnWidths(const std::vector<int>& widths, int fromDpi, int toDpi) {
    std::vector<int> scaled;
    scaled.reserve(widths.size());
    for (int width : widths) scaled.push_back(RescaleForDpi(width, fromDpi, toDpi));
    return scaled;
}
