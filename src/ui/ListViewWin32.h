#pragma once
// Reading the list views of the pages.
#include <windows.h>
#include <commctrl.h>

#include <string>

// The text of one cell, read through a buffer of `bufferSize` bytes.
std::string ListCellText(HWND list, int row, int column, size_t bufferSize);

// The rows of a report list view, found and changed one way throughout. A
// row's parameter is what the program keys it by (an entry's id, an
// address).
// The next selected row after `after` (-1: the first); -1 when there is none.
int NextSelectedRow(HWND list, int after = -1);
inline int FirstSelectedRow(HWND list) { return NextSelectedRow(list, -1); }
// The row whose parameter is `param`; -1 when there is none.
int RowWithParam(HWND list, LPARAM param);
// The row's parameter, or `missing` when there is no such row.
LPARAM RowParam(HWND list, int row, LPARAM missing = -1);
void SetCellText(HWND list, int row, int column, const char* text);
inline void SetCellText(HWND list, int row, int column, const std::string& text) {
    SetCellText(list, row, column, text.c_str());
}
// The state bits in `mask` made `state`, on one row or on every row (-1).
void SetRowState(HWND list, int row, UINT state, UINT mask);
inline void SetStateImage(HWND list, int row, int image) {
    SetRowState(list, row, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK);
}
inline int StateImage(HWND list, int row) {
    return static_cast<int>((SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
}
// A row at `row` (the count: at the end) with its first cell's text (null:
// none), its image (negative: none) and parameter; the index it got, or -1.
int InsertRow(HWND list, int row, const char* text, int image, LPARAM param);
// The first cell's text, the image and the parameter of a row that is there.
void SetRowHead(HWND list, int row, const char* text, int image, LPARAM param);

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
