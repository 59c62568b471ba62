#pragma once
// "ﾈｯﾄﾜｰｸから検索": finds the computers of a local subnet and adds the ones
// the user checks as new entries.
#include <windows.h>

// 1 when the command ran to its end (also after a cancel), 0 after an error
// the user was shown.
int OnNetworkScan(HWND mainWindow);
