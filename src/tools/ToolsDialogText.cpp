#include "tools/ToolsDialogText.h"
#include "common/Cp932.h"

namespace {

// List item order of the "ｳｨﾝﾄﾞｳ" list.
constexpr uint32_t kShowCommands[] = {1, 6, 3, 0};

}  // namespace

int32_t ExecStyleFromListItem(int item) { return item >= 0 && item <= 2 ? item : 0; }

int ListItemFromExecStyle(int32_t style) { return style == 1 || style == 2 ? style : 0; }

uint32_t ShowWindowFromListItem(int item) {
    return item >= 0 && item < 4 ? kShowCommands[item] : kShowCommands[0];
}

int ListItemFromShowWindow(uint32_t showWindow) {
    for (int item = 0; item < 4; ++item)
        if (kShowCommands[item] == showWindow) return item;
    return 0;
}

uint32_t ParseTimeoutText(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return 0;
    size_t end = text.find_last_not_of(' ') + 1;
    uint64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return 0;
    }
    return static_cast<uint32_t>(value);
}

bool AppendToArgv(const std::string& current, const std::string& addition, std::string* joined) {
    std::string result = CutAtCharBoundary(current, kArgvReadMax) + addition;
    if (result.size() > kArgvJoinedMax) return false;
    *joined = result;
    return true;
}

std::string QuotedPath(const std::string& path) { return "\"" + path + "\""; }

const char* PlaceholderForCommand(int command) {
    switch (command) {
    case 40024: return "$(IP)";
    case 40025: return "$(MASK)";
    case 40026: return "$(MAC)";
    case 40027: return "$(HOST)";
    case 40031: return "$(INPUT)";
    default: return nullptr;
    }
}

std::string FolderForBrowsing(const std::string& folder) {
    std::string text = CutAtCharBoundary(folder, kArgvReadMax);
    if (EndsInBackslash(text)) text.pop_back();
    return text;
}

std::string CommandForBrowsedPath(const std::string& path) {
    // Blanks are single bytes: no trail byte of a double-byte character is
    // a space or a tab.
    return path.find_first_of(" \t") == std::string::npos ? path : QuotedPath(path);
}

std::string BrowsedPathForCommand(const std::string& command) {
    if (command.size() >= 2 && command.front() == '"' && command.back() == '"')
        return command.substr(1, command.size() - 2);
    return command;
}
