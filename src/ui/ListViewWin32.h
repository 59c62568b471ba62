#pragma once
// Reading the list views of the pages.
#include <windows.h>
#include <string>

// The text of one cell, read through a buffer of `bufferSize` bytes.
std::string ListCellText(HWND list, int row, int column, size_t bufferSize);

// The column order and widths the user set, kept in `iniPath`'s `section`
// (keys Order and Widths, the widths at 96 DPI whatever `dpi` the list is
// shown at). Restore applies what it finds when it is whole and leaves the
// list as made otherwise; it returns the layout now shown, for Save to tell a
// change.
struct ListColumnLayout {
    std::string order;
    std::string widths;
};
ListColumnLayout ReadColumnLayout(HWND list, UINT dpi);
ListColumnLayout RestoreColumnLayout(HWND list, const std::string& iniPath, const char* section, UINT dpi);
// Writes the layout when it differs from `shown` (what Restore returned), so
// a start where nothing was moved leaves the file alone. False when the
// write failed.
bool SaveColumnLayout(HWND list, const std::string& iniPath, const char* section, const ListColumnLayout& shown,
                      UINT dpi);
// Every column's width from `fromDpi` to `toDpi`, when the window moves to a
// monitor of another scale.
void RescaleColumns(HWND list, UINT fromDpi, UINT toDpi);
