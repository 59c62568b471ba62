#pragma once
// The file dialogs of the listing, the export and the import.
#include "common/FileDialogKind.h"

inline constexpr FileDialogKind kListingDialog = {true, "一覧をﾌｧｲﾙに保存", "ｶﾝﾏ区切り (*.csv)\0*.csv\0", "csv",
                                                  kOfnExplorer | kOfnHideReadOnly | kOfnOverwritePrompt};
inline constexpr FileDialogKind kExportDialog = {true, "一覧のｴｸｽﾎﾟｰﾄ", "ｴﾝﾄﾘﾃﾞｰﾀ (*.ent)\0*.ent\0", "ent",
                                                 kOfnExplorer | kOfnHideReadOnly | kOfnOverwritePrompt};
// The import only reads its file: a read-only one opens like any other, so
// no "no read-only return" flag.
inline constexpr FileDialogKind kImportDialog = {false, "一覧のｲﾝﾎﾟｰﾄ", "ｴﾝﾄﾘﾃﾞｰﾀ (*.ent)\0*.ent\0", "ent",
                                                 kOfnExplorer | kOfnHideReadOnly | kOfnFileMustExist};
