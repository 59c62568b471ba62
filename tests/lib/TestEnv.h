#pragma once
// An environment variable as the test programs read the runner's settings:
// empty when unset or too long to be one of them.
#include <windows.h>

#include <string>

namespace testenv {

inline std::string Variable(const char* name) {
    char buffer[1024] = {};
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

}  // namespace testenv
