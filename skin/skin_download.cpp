#include "skin/skin_download.h"

#include "platform/device_model.h"
#include "platform/message_box.h"
#include "platform/os_build.h"
#include "platform/screen.h"
#include "ui/shell_dialog.h"

#include <QDialog>
#include <QUrl>

namespace mv {

namespace {

constexpr char kDownloadHost[] = "m.tev.example";
constexpr char kProgramVersion[] = "1.0.0.0";

// The model's characters, each percent-encoded as UTF-8, as many as fit into `room` characters.
QString EncodedModel(QStringView model, qsizetype room) {
    QString encoded;
    for (qsizetype i = 0; i < model.size();) {
        // One whole character at a time, a surrogate pair included.
        const qsizetype length = model[i].isHighSurrogate() && i + 1 < model.size() ? 2 : 1;
        const QByteArray piece = QUrl::toPercentEncoding(model.sliced(i, length).toString());
        if (encoded.size() + piece.size() > room)
            break;
        encoded += QString::fromLatin1(piece);
        i += length;
    }
    return encoded;
}

} // namespace

QString SkinDownloadAddress(int32_t width, int32_t height, int32_t osBuild, QStringView model) {
    const QString head = QStringLiteral("http://%1/windows-mobile/marovellastrine/skins/download/"
                                        "?width=%2&height=%3&os=%4&device=")
                             .arg(QLatin1String(kDownloadHost))
                             .arg(width)
                             .arg(height)
                             .arg(osBuild);
    const QString tail = QStringLiteral("&version=%1").arg(QLatin1String(kProgramVersion));
    const qsizetype room = kMaxDownloadAddressLength - head.size() - tail.size();
    return head + EncodedModel(model, room) + tail;
}

void OpenSkinDownloadPage(QDialog* picker) {
    if (ShowMessageBox(picker,
                       QStringLiteral("This will open a mobile website with a choice of several "
                                      "downloadable skins."),
                       MessageIcon::Information, MessageButtons::OkCancel) != DialogResult::Ok)
        return;
    const ScreenSize screen = ReadScreenSize();
    OpenUrl(
        SkinDownloadAddress(screen.width, screen.height, ReadOsBuildNumber(), ReadDeviceModel()));
    picker->done(int(DialogResult::Cancel));
}

} // namespace mv
