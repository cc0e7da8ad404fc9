#include "resources/program_resources.h"

#include "platform/message_box.h"
#include "platform/window_commands.h"
#include "resources/resource_ids.h"

namespace mv {

namespace {

SoftKeyDescription Key(int command, int labelId) {
    return SoftKeyDescription{command, LoadResourceString(labelId), {}};
}

SoftKeyDescription MenuKey() {
    return SoftKeyDescription{IDM_MENU, LoadResourceString(IDS_MENU), MainMenuItems()};
}

} // namespace

std::optional<SoftKeyBarDescription> FindSoftKeyBar(int barId) {
    switch (barId) {
    case IDR_EMPTY_BAR:
        return SoftKeyBarDescription{};
    case IDR_DISCONNECT_BAR:
        return SoftKeyBarDescription{Key(IDM_DISCONNECT, IDS_DISCONNECT), MenuKey()};
    case IDR_CONNECT_BAR:
        return SoftKeyBarDescription{Key(IDM_CONNECT, IDS_CONNECT), MenuKey()};
    case IDR_OK_CANCEL_BAR:
        return SoftKeyBarDescription{Key(kDoneCommand, IDS_OK), Key(kCancelCommand, IDS_CANCEL)};
    case IDR_PICKER_BAR:
        return SoftKeyBarDescription{Key(IDM_GET_SKINS, IDS_GET_SKINS),
                                     Key(kCancelCommand, IDS_CANCEL)};
    default:
        return std::nullopt;
    }
}

std::vector<MenuItemDescription> MainMenuItems() {
    return {
        {IDM_FULL_SCREEN, QStringLiteral("Full Screen")},
        {IDM_SYNCHRONIZE, QStringLiteral("Synchronize")},
        {0, {}},
        {IDM_LOAD_SKIN, QStringLiteral("Load Skin...")},
        {IDM_PREFERENCES, QStringLiteral("Preferences...")},
        {IDM_GPS_SETTINGS, QStringLiteral("GPS Settings...")},
        {0, {}},
        {IDM_HELP, QStringLiteral("Help")},
        {IDM_ABOUT, QStringLiteral("About")},
    };
}

QString LoadResourceString(int stringId) {
    switch (stringId) {
    case IDS_DISCONNECT:
        return QStringLiteral("Disconnect");
    case IDS_CONNECT:
        return QStringLiteral("Connect");
    case IDS_MENU:
        return QStringLiteral("Menu");
    case IDS_OK:
        return QStringLiteral("OK");
    case IDS_CANCEL:
        return QStringLiteral("Cancel");
    case IDS_GET_SKINS:
        return QStringLiteral("Get Skins...");
    default:
        return {};
    }
}

} // namespace mv
