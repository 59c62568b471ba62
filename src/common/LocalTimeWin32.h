#pragma once
// The local time as the program's own date-time record.
#include <windows.h>
#include <cstring>
#include "common/TextFormat.h"

inline DateTime LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    DateTime t;
    static_assert(sizeof t == sizeof st, "DateTime mirrors SYSTEMTIME");
    std::memcpy(&t, &st, sizeof t);
    return t;
}
