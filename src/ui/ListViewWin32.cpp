#include "ui/ListViewWin32.h"

#include <commctrl.h>

#include <vector>

std::string ListCellText(HWND list, int row, int column, size_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1, 0);
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(bufferSize);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    buffer[bufferSize] = 0;
    return buffer.data();
}
