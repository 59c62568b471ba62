#include "ui/ListViewWin32.h"

#include <commctrl.h>

#include <vector>

#include "ui/DpiScale.h"
#include "ui/ListColumns.h"

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

int NextSelectedRow(HWND list, int after) {
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
}

int RowWithParam(HWND list, LPARAM param) {
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = param;
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

LPARAM RowParam(HWND list, int row, LPARAM missing) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : missing;
}

void SetCellText(HWND list, int row, int column, const char* text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

namespace {
LVITEMA RowHead(int row, const char* text, int image, LPARAM param) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM | (text ? LVIF_TEXT : 0u) | (image >= 0 ? LVIF_IMAGE : 0u);
    item.iItem = row;
    item.pszText = const_cast<char*>(text);
    item.iImage = image;
    item.lParam = param;
    return item;
}
}  // namespace

int InsertRow(HWND list, int row, const char* text, int image, LPARAM param) {
    LVITEMA item = RowHead(row, text, image, param);
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetRowHead(HWND list, int row, const char* text, int image, LPARAM param) {
    LVITEMA item = RowHead(row, text, image, param);
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

namespace {
constexpr char kOrderKey[] = "Order";
constexpr char kWidthsKey[] = "Widths";

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string Setting(const std::string& iniPath, const char* section, const char* key) {
    char value[256] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof value, iniPath.c_str());
    return value;
}
}  // namespace

ListColumnLayout ReadColumnLayout(HWND list, UINT dpi) {
    const int count = ColumnCount(list);
    if (count <= 0) return {};
    std::vector<int> order(static_cast<size_t>(count)), widths;
    if (!SendMessageA(list, LVM_GETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(order.data()))) return {};
    for (int column = 0; column < count; ++column)
        widths.push_back(static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)));
    return {JoinColumnNumbers(order),
            JoinColumnNumbers(RescaleColumnWidths(widths, static_cast<int>(dpi), kBaseDpi))};
}

ListColumnLayout RestoreColumnLayout(HWND list, const std::string& iniPath, const char* section, UINT dpi) {
    const int count = ColumnCount(list);
    if (!iniPath.empty() && count > 0) {
        std::vector<int> order = ParseColumnOrder(Setting(iniPath, section, kOrderKey), count);
        if (!order.empty()) SendMessageA(list, LVM_SETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(order.data()));
        const std::vector<int> widths = RescaleColumnWidths(
            ParseColumnWidths(Setting(iniPath, section, kWidthsKey), count), kBaseDpi, static_cast<int>(dpi));
        for (size_t column = 0; column < widths.size(); ++column)
            SendMessageA(list, LVM_SETCOLUMNWIDTH, column, widths[column]);
    }
    return ReadColumnLayout(list, dpi);
}

bool SaveColumnLayout(HWND list, const std::string& iniPath, const char* section, const ListColumnLayout& shown,
                      UINT dpi) {
    if (iniPath.empty()) return true;
    const ListColumnLayout now = ReadColumnLayout(list, dpi);
    if (now.order.empty() || (now.order == shown.order && now.widths == shown.widths)) return true;
    return WritePrivateProfileStringA(section, kOrderKey, now.order.c_str(), iniPath.c_str()) &&
           WritePrivateProfileStringA(section, kWidthsKey, now.widths.c_str(), iniPath.c_str());
}

void RescaleColumns(HWND list, UINT fromDpi, UINT toDpi) {
    const int count = ColumnCount(list);
    for (int column = 0; column < count; ++column) {
        const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
        SendMessageA(list, LVM_SETCOLUMNWIDTH, column,
                     RescaleForDpi(width, static_cast<int>(fromDpi), static_cast<int>(toDpi)));
    }
}
