// Resource and command identifiers: menus, tool bar, dialog templates and the framework's
// standard commands the program routes.
#pragma once

enum : int {
    // Menu, tool bar, accelerators and document string of the main frame and every child.
    IDR_MAINFRAME = 128,

    // Dialog and form templates.
    IDD_ABOUTBOX = 100,
    IDD_ORVANTA_FORM = 101,
    IDD_CALLCHECK_FORM = 102,
    IDD_SERVER_ADDR = 130,
    IDD_USER_AGENT = 134,
    IDD_QUERY_CALLBACK_DIST = 135,
    IDD_LOGIN = 156,
    IDD_DENY_FORM = 158,

    // Commands of menu 128.
    ID_MENU_CALLBACK_QUERY = 32771,
    ID_MENU_DENY_QUERY = 32774,
    ID_MENU_USER_AGENT = 32777,
    ID_MENU_CALLBACK_DIST = 32778,

    // The framework's standard commands.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,

    // Dialog buttons of the framework.
    IDC_STATIC = -1,
    IDOK = 1,
    IDCANCEL = 2,
};
