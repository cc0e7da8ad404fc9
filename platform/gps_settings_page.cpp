#include "platform/gps_settings_page.h"

#include "platform/device_clock.h"
#include "platform/gps_driver.h"
#include "platform/gps_server_address.h"
#include "platform/gps_status_probe.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace mv {

namespace {

constexpr int kRefreshIntervalMs = 1000;
constexpr qsizetype kLongestHost = 255; // what the store's reader takes back

QString FixText(const GPS_POSITION& position) {
    if (position.FixType == kGpsFixTypeUnknown)
        return QStringLiteral("none");
    const QString type =
        position.FixType == kGpsFixType3D ? QStringLiteral("3-D") : QStringLiteral("2-D");
    const QString quality = position.FixQuality == kGpsFixQualityDifferential
                                ? QStringLiteral("differential GPS")
                                : QStringLiteral("GPS");
    return type + QStringLiteral(" (") + quality + QStringLiteral(")");
}

QString FixTimeText(const GPS_POSITION& position) {
    const CalendarTime& time = position.stUTCTime;
    int64_t count = 0;
    if ((position.dwValidFields & kGpsValidUtcTime) == 0 || !CalendarToCount(time, count))
        return QStringLiteral("none");
    return QString::asprintf("%04u-%02u-%02u %02u:%02u:%02u.%03u UTC", time.year, time.month,
                             time.day, time.hour, time.minute, time.second, time.milliseconds);
}

// The page: where gpsd is reached, and what it reports now.
class GpsSettingsPage : public QDialog {
public:
    explicit GpsSettingsPage(QWidget* owner) : QDialog(owner) {
        setWindowTitle(QStringLiteral("GPS Settings"));
        setAttribute(Qt::WA_DeleteOnClose);
        setModal(false);

        const GpsServerAddress address = ReadGpsServerAddress();
        host_ = MakeChild<QLineEdit>("host", QString::fromStdString(address.host));
        host_->setMaxLength(kLongestHost);
        port_ = MakeChild<QLineEdit>("port", QString::number(address.port));
        problem_ = MakeChild<QLabel>("problem", QString());
        problem_->setStyleSheet(QStringLiteral("color: #b00000"));
        problem_->hide();
        connection_ = MakeChild<QLabel>("connection", QString());
        devices_ = MakeChild<QLabel>("devices", QString());
        fix_ = MakeChild<QLabel>("fix", QString());
        fixTime_ = MakeChild<QLabel>("fixTime", QString());

        auto* form = new QFormLayout; // owned by the page's layout
        form->addRow(QStringLiteral("Host:"), host_);
        form->addRow(QStringLiteral("Port:"), port_);
        form->addRow(problem_);
        form->addRow(QStringLiteral("gpsd:"), connection_);
        form->addRow(QStringLiteral("Devices:"), devices_);
        form->addRow(QStringLiteral("Fix:"), fix_);
        form->addRow(QStringLiteral("Fix time:"), fixTime_);
        // owned by the page
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
        buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("save"));
        connect(buttons, &QDialogButtonBox::accepted, this, [this] { Save(); });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
        auto* layout = new QVBoxLayout(this); // owned by the page
        layout->addLayout(form);
        layout->addWidget(buttons);

        probe_ = std::make_unique<GpsStatusProbe>(address);
        probedAddress_ = address;
        auto* refresh = new QTimer(this); // owned by the page
        connect(refresh, &QTimer::timeout, this, [this] { ShowStatus(); });
        refresh->start(kRefreshIntervalMs);
        ShowStatus();
    }

private:
    template <typename Widget>
    Widget* MakeChild(const char* name, const QString& text) {
        auto* widget = new Widget(text, this); // owned by the page
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    }

    void ShowProblem(const QString& text) {
        problem_->setText(text);
        problem_->setVisible(!text.isEmpty());
    }

    void Save() {
        const QString host = host_->text().trimmed();
        bool isNumber = false;
        const uint port = port_->text().trimmed().toUInt(&isNumber);
        if (host.isEmpty()) {
            ShowProblem(QStringLiteral("Enter the host where gpsd runs."));
            return;
        }
        if (!isNumber || port < 1 || port > 65535) {
            ShowProblem(QStringLiteral("The port must be a whole number from 1 to 65535."));
            return;
        }
        const GpsServerAddress address{host.toStdString(), uint16_t(port)};
        if (!WriteGpsServerAddress(address)) {
            ShowProblem(QStringLiteral("The GPS settings could not be saved."));
            return;
        }
        ShowProblem({});
        probe_ = std::make_unique<GpsStatusProbe>(address);
        probedAddress_ = address;
        ShowStatus();
    }

    void ShowStatus() {
        const GpsdStatus status = probe_->Latest();
        const QString where = QStringLiteral("%1 port %2")
                                  .arg(QString::fromStdString(probedAddress_.host))
                                  .arg(probedAddress_.port);
        connection_->setText(
            (status.reached ? QStringLiteral("reached, ") : QStringLiteral("not reached, ")) +
            where);
        QStringList devices;
        for (const std::string& path : status.devices)
            devices << QString::fromStdString(path);
        devices_->setText(devices.isEmpty() ? QStringLiteral("none")
                                            : devices.join(QStringLiteral(", ")));
        fix_->setText(FixText(status.position));
        fixTime_->setText(FixTimeText(status.position));
    }

    QLineEdit* host_;
    QLineEdit* port_;
    QLabel* problem_;
    QLabel* connection_;
    QLabel* devices_;
    QLabel* fix_;
    QLabel* fixTime_;
    std::unique_ptr<GpsStatusProbe> probe_;
    GpsServerAddress probedAddress_;
};

} // namespace

void OpenGpsSettingsPage(QWidget* owner) {
    static QPointer<GpsSettingsPage> openPage;
    if (openPage == nullptr) {
        openPage = new GpsSettingsPage(owner); // deletes itself when closed
    }
    openPage->show();
    openPage->raise();
    openPage->activateWindow();
}

} // namespace mv
