#pragma once
// Reading the list views of the pages.
#include <windows.h>
#include <string>

// The text of one cell, read through a buffer of `bufferSize` bytes.
std::string ListCellText(HWND list, int row, int column, size_t bufferSize);
