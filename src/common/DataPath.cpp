#include "common/DataPath.h"

namespace {

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Walks the text character by character: in CP932 the trail byte of a
// double-byte character may be 0x5C (ソ is 83 5C), which is no backslash.
bool EndsInBackslash(const std::string& text) {
    bool lastIsBackslash = false;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(c) && i + 1 < text.size()) {
            lastIsBackslash = false;
            ++i;
        } else {
            lastIsBackslash = c == '\\';
        }
    }
    return lastIsBackslash;
}

}  // namespace

std::string JoinDataFolderPath(const std::string& folder, const char* fileName) {
    if (folder.empty() || folder.size() > kMaxPathText) return std::string();
    std::string path = folder;
    if (!EndsInBackslash(path)) path += '\\';
    path += fileName;
    if (path.size() > kMaxPathText) return std::string();
    return path;
}
