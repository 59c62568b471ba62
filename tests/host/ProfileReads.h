#pragma once
// A model of the platform's profile reader, for checking what Tools.ini
// gives back: blanks around a stored value trimmed, then one pair of
// matching quotes around the whole taken off.
#include <string>

namespace profile_model {

inline bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

inline std::string AsProfileReads(std::string value) {
    while (!value.empty() && IsBlank(value.front())) value.erase(0, 1);
    while (!value.empty() && IsBlank(value.back())) value.pop_back();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace profile_model
