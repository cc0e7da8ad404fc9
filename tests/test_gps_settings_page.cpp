// The GPS settings page against a real gpsd on loopback fed by the NMEA feeder: the live status,
// and the host and port it keeps in the platform store.

#include "gps_test_env.h"
#include "platform/gps_server_address.h"
#include "platform/gps_settings_page.h"
#include "test_env.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace mv {
namespace {

std::vector<QDialog*> OpenPages() {
    std::vector<QDialog*> pages;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget);
            dialog && dialog->isVisible() && dialog->windowTitle() == QLatin1String("GPS Settings"))
            pages.push_back(dialog);
    }
    return pages;
}

QString Text(QDialog* page, const char* name) {
    const auto* label = page->findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("(missing)");
}

TEST(GpsSettingsPage, ShowsGpsdLiveAndRejectsABadPort) {
    test::IsolatedHome home;
    test::GpsTestEnv env;
    ASSERT_TRUE(env.Start()) << env.Diagnostics();
    ASSERT_TRUE(test::UseGpsdAt(env.GpsdPort()));

    OpenGpsSettingsPage(nullptr);
    OpenGpsSettingsPage(nullptr); // raises the open page
    ASSERT_EQ(OpenPages().size(), 1u);
    QPointer<QDialog> page = OpenPages().front();
    EXPECT_FALSE(page->isModal());

    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return Text(page, "connection").startsWith("reached") &&
                   Text(page, "devices").contains("tcp://127.0.0.1:") &&
                   Text(page, "fix").startsWith("3-D") && Text(page, "fixTime").endsWith(" UTC");
        },
        8000))
        << Text(page, "connection").toStdString() << Text(page, "fix").toStdString();

    auto* port = page->findChild<QLineEdit*>(QStringLiteral("port"));
    auto* save = page->findChild<QPushButton*>(QStringLiteral("save"));
    ASSERT_TRUE(port && save);
    EXPECT_EQ(port->text(), QString::number(env.GpsdPort()));
    for (const char* bad : {"0", "65536", "29x", ""}) {
        port->setText(QString::fromLatin1(bad));
        save->click();
        EXPECT_TRUE(Text(page, "problem").contains("1 to 65535")) << bad;
        EXPECT_EQ(ReadGpsServerAddress().port, env.GpsdPort()) << bad << " was stored";
    }

    // A good port is stored and the status follows it: nothing listens there.
    const uint16_t unused = test::FreeLoopbackPort();
    port->setText(QString::number(unused));
    save->click();
    EXPECT_EQ(ReadGpsServerAddress().port, unused);
    EXPECT_FALSE(page->findChild<QLabel*>(QStringLiteral("problem"))->isVisible());
    EXPECT_TRUE(test::WaitUntil([&] { return Text(page, "connection").startsWith("not reached"); }))
        << Text(page, "connection").toStdString() << Text(page, "fix").toStdString();
    EXPECT_EQ(Text(page, "fix"), "none");

    // Escape ends the page for good.
    page->reject();
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return page.isNull();
        },
        2000))
        << "the ended page stays";
}

} // namespace
} // namespace mv
