#pragma once
// The status checks' one setting in Nodelark.ini, as the profile reader
// hands its value over.
#include <cstddef>

constexpr char kStatusSection[] = "Status";
constexpr char kStatusCheckKey[] = "Check";
// The buffer the value is read into; a longer value is cut to fit.
constexpr size_t kStatusValueBytes = 16;

// Only an explicit "0" turns the checks off; anything else, a missing key,
// an empty value or bytes of another program included, is the default.
bool StatusChecksOn(const char* value);
