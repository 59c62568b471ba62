// Resource ids of Nodelark: shared by Nodelark.rc and the C++ sources, so
// this file holds nothing but #define lines that windres also understands.
#ifndef NODELARK_RES_RESOURCE_H
#define NODELARK_RES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif

// ---- Icons -----------------------------------------------------------------
#define IDI_APP                     109     // program icon: window class, About box, command-line box
#define IDI_ENTRY                   110     // entry property sheet and its pages

// ---- Bitmaps (image strips) ------------------------------------------------
#define IDB_TOOLBAR                 105     // 4 x 32x32: wake, entry, tool, about
#define IDB_TOOLBAR_MASK            106     // 1-bit masks of IDB_TOOLBAR and IDB_TOOLBAR_DISABLED
#define IDB_SMALL_IMAGES            107     // 4 x 16x16: smallImages
#define IDB_STATE_IMAGES            119     // 4 x 16x16: stateImages
#define IDB_TOOLBAR_DISABLED        123     // 4 x 32x32: grey toolbar images
#define IDB_HEADER_IMAGES           125     // 2 x 16x16: sort arrows
// The same strips drawn for 150 % (24 and 48 pixels) and 200 % (32 and 64).
#define IDB_TOOLBAR_150             140
#define IDB_TOOLBAR_MASK_150        141
#define IDB_SMALL_IMAGES_150        142
#define IDB_STATE_IMAGES_150        143
#define IDB_TOOLBAR_DISABLED_150    144
#define IDB_HEADER_IMAGES_150       145
#define IDB_TOOLBAR_200             150
#define IDB_TOOLBAR_MASK_200        151
#define IDB_SMALL_IMAGES_200        152
#define IDB_STATE_IMAGES_200        153
#define IDB_TOOLBAR_DISABLED_200    154
#define IDB_HEADER_IMAGES_200       155

// Image indexes inside the strips above.
#define IMG_SMALL_WAKE              0
#define IMG_SMALL_WAKE_GREY         1
#define IMG_SMALL_TOOL              2
#define IMG_SMALL_SHEET             3
#define IMG_HEADER_DOWN             0
#define IMG_HEADER_UP               1

// ---- Accelerators ----------------------------------------------------------
#define IDR_ACCELERATORS            103

// ---- Menus -----------------------------------------------------------------
#define IDM_MAIN_MENU               101     // menu bar of the Wake List page
#define IDM_LOG_MENU                119     // menu bar of the Command Log page
#define IDM_POPUPS                  118     // context and drop-down popups, by index

// Popups of IDM_POPUPS, by position.
#define POPUP_ENTRY                 0       // "ENTRY_POPUP"
#define POPUP_ENTRY_NONE            1       // "ENTRY_POPUP_NONE"
#define POPUP_TOOL                  2       // "TOOL_POPUP"
#define POPUP_DUMMY                 3       // "DUMMY"
#define POPUP_CMD_HELP              4       // "CMD_HELP"
#define POPUP_SEND                  5       // "SEND_POPUP"
#define POPUP_OUT                   6       // "OUT_POPUP"
#define POPUP_ENTRY_TOOLS_ITEM      5       // position of the run-tool submenu in POPUP_ENTRY
#define MAIN_MENU_TOOLS_POPUP       2       // position of the tools popup in the menu bars

// ---- Commands --------------------------------------------------------------
#define IDM_EXIT                    40001
#define IDM_ABOUT                   40004
#define IDM_WAKE_ALL                40006
#define IDM_ENTRY_NEW               40007
#define IDM_ENTRY_EDIT              40010
#define IDM_ENTRY_DELETE            40011
#define IDM_TOOLS_REGISTER          40012
#define IDM_TOOL1                   40014
#define IDM_TOOL2                   40015
#define IDM_TOOL3                   40016
#define IDM_TOOL4                   40017
#define IDM_TOOL5                   40018
#define IDM_ENTRY_EXPORT            40019
#define IDM_THREAD_CANCEL           40020
#define IDM_SELECT_ALL              40021
#define IDM_INVERT_SELECTION        40022
#define IDM_SWITCH_TAB              40028
#define IDM_LOG_EXPORT              40030
#define IDM_README                  40032
#define IDM_WAKE_SELECTED           40033
#define IDM_ENTRY_IMPORT            40034
#define IDM_ENTRY_LISTING           40035
#define IDM_ADDRESS_FILTER          40038
#define IDM_COPY                    40039
#define IDM_PASTE                   40040
#define IDM_NET_SCAN                40041
#define IDM_STATUS_CHECK            40042

// Placeholder popup "CMD_HELP"; these reach the tool registration dialog.
#define IDM_ARG_IP                  40024
#define IDM_ARG_MASK                40025
#define IDM_ARG_MAC                 40026
#define IDM_ARG_HOST                40027
#define IDM_ARG_INPUT               40031
#define IDM_ARG_BROWSE              40036

// ---- Main window children --------------------------------------------------
#define IDC_TOOLSTRIP               2011
#define IDC_TOOLBAR                 2012    // also the tool strip's band id
#define IDC_STATUSBAR               2013
#define IDC_PROGRESS                2014
#define IDC_TAB                     2015
#define IDC_WAKE_LIST               2016
#define IDC_COMMAND_LOG             2017

// ---- Dialog 107: entry sheet, page "送信先" ----------------------------------
#define IDD_ENTRY_DESTINATION       107
#define IDC_ENTRY_MAC1              1001
#define IDC_ENTRY_MAC2              1002
#define IDC_ENTRY_MAC3              1003
#define IDC_ENTRY_MAC4              1004
#define IDC_ENTRY_MAC5              1005
#define IDC_ENTRY_MAC6              1006
#define IDC_ENTRY_HOST              1007
#define IDC_ENTRY_IP                1009
#define IDC_ENTRY_MASK              1010
#define IDC_ENTRY_MAC_LOOKUP        1011
#define IDC_ENTRY_NAME              1013
#define IDC_ENTRY_HOST_LOOKUP       1014
#define IDC_ENTRY_EXCLUDE           1015
#define IDC_ENTRY_PORT              1034
#define IDC_ENTRY_SECUREON1         1061    // six SecureOn password boxes, like the MAC boxes
#define IDC_ENTRY_SECUREON2         1062
#define IDC_ENTRY_SECUREON3         1063
#define IDC_ENTRY_SECUREON4         1064
#define IDC_ENTRY_SECUREON5         1065
#define IDC_ENTRY_SECUREON6         1066

// ---- Dialog 125: entry sheet, page "付加情報" --------------------------------
#define IDD_ENTRY_DETAILS           125
#define IDC_DETAIL_PLACE            1008
#define IDC_DETAIL_LAST_SENT        1009
#define IDC_DETAIL_UPDATED          1010
#define IDC_DETAIL_REGISTERED       1011
#define IDC_DETAIL_COMMENT          1012

// ---- Dialog 120: tool registration -----------------------------------------
#define IDD_TOOLS                   120
#define IDC_TOOL_LIST               1017
#define IDC_TOOL_COMMAND            1018
#define IDC_TOOL_COMMAND_BROWSE     1019
#define IDC_TOOL_TITLE              1020
#define IDC_TOOL_ARGV               1021
#define IDC_TOOL_PLACEHOLDER        1022
#define IDC_TOOL_FOLDER             1023
#define IDC_TOOL_FOLDER_BROWSE      1024
#define IDC_TOOL_DELETE             1025
#define IDC_TOOL_SAVE               1026
#define IDC_TOOL_TIMEOUT            1029
#define IDC_TOOL_SHOW_WINDOW        1035
#define IDC_TOOL_EXEC_STYLE         1036

// ---- Dialog 122: About -----------------------------------------------------
#define IDD_ABOUT                   122
#define IDC_ABOUT_NETWORK_GROUP     1050    // grows when several adapters are shown

// ---- Dialog 124: argument prompt -------------------------------------------
#define IDD_TOOL_INPUT              124
#define IDC_INPUT_TEXT              1021
#define IDC_INPUT_BROWSE            1038

// ---- Dialog 128: address filter --------------------------------------------
#define IDD_FILTER                  128
#define IDC_FILTER_TEXT             1031
#define IDC_FILTER_PREFIX           1032
#define IDC_FILTER_ADDRESS          1042
#define IDC_FILTER_RESET            1045

// ---- Dialog 130: command-line box ------------------------------------------
#define IDD_COMMAND_LINE            130
#define IDC_COMMAND_LINE_TEXT       1301

// ---- Dialog 131: network scan ----------------------------------------------
#define IDD_NET_SCAN                131
#define IDC_SCAN_SUBNET             1311
#define IDC_SCAN_FROM               1312
#define IDC_SCAN_TO                 1313
#define IDC_SCAN_START              1314
#define IDC_SCAN_STOP               1315
#define IDC_SCAN_LIST               1316
#define IDC_SCAN_PROGRESS           1317
#define IDC_SCAN_STATUS             1318

#endif
