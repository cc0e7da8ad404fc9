#pragma once
// The program's resource numbers: dialog templates, soft-key bars, the menu, strings, controls
// and commands. The numbers are fixed; the descriptions behind them are in resources/*.cpp.

namespace mv {

// Dialog templates.
enum DialogTemplateId : int {
    IDD_PICK_SKIN = 103,
    IDD_MAIN = 200,
    IDD_PREFERENCES = 201,
    IDD_ABOUT = 211,
};

// Pictures: the program's icon and the vendor's mark in the About box.
enum PictureId : int {
    IDI_PROGRAM = 100,
    IDB_VENDOR_MARK = 212,
};

// Soft-key bars and the menu.
enum SoftKeyBarId : int {
    IDR_DISCONNECT_BAR = 202, // "Disconnect" | "Menu"
    IDR_CONNECT_BAR = 203,    // "Connect" | "Menu"
    IDR_OK_CANCEL_BAR = 204,  // "OK" | "Cancel" (Preferences)
    IDR_MAIN_MENU = 205,
    IDR_PICKER_BAR = 213, // "Get Skins..." | "Cancel"
};

// Strings.
enum StringId : int {
    IDS_DISCONNECT = 206,
    IDS_CONNECT = 207,
    IDS_MENU = 208,
    IDS_OK = 209,
    IDS_CANCEL = 210,
    IDS_GET_SKINS = 211,
};

// Commands of the soft keys and the menu (1 and 2 are Done and Cancel, platform/window_commands.h).
enum CommandId : int {
    IDM_CONNECT = 6000,
    IDM_DISCONNECT = 6001,
    IDM_MENU = 6002,
    IDM_GET_SKINS = 6003,
    IDM_HELP = 33000,
    IDM_ABOUT = 33001,
    IDM_PREFERENCES = 33003,
    IDM_LOAD_SKIN = 33005,
    IDM_GPS_SETTINGS = 33007,
    IDM_FULL_SCREEN = 33008,
    IDM_SYNCHRONIZE = 33011,
};

// Controls.
enum ControlId : int {
    IDC_ABOUT_TEV = 1000,
    IDC_ABOUT_MARK = 1001,
    IDC_ABOUT_NAME = 1002,
    IDC_ABOUT_ICON = 1003,
    IDC_ABOUT_LINK = 1004,
    IDC_ABOUT_HEADER = 1006,
    IDC_ABOUT_VERSION_LABEL = 1007,
    IDC_ABOUT_VERSION = 1008,
    IDC_ABOUT_AUTHOR_LABEL = 1009,
    IDC_ABOUT_AUTHOR = 1010,
    IDC_ABOUT_WEB_LABEL = 1011,
    IDC_SKIN_TREE = 1014,
    IDC_SYNC_LABEL = 1015,
    IDC_SMOOTH_SHAPES = 1017,
    IDC_SMOOTH_MOTION = 1018,
    IDC_DISABLE_AUTO_OFF = 1019,
    IDC_SHADOW = 1020,
};

} // namespace mv
