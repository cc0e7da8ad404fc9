// The Preferences and About dialogs and the shell helpers they share: what each option puts into
// effect, the About box's layout at two resolutions, the title band's text, the addresses that
// help and the link open, and the menu's items.
#include "app/about_dialog.h"
#include "app/clock_tick.h"
#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "platform/message_box.h"
#include "platform/open_url.h"
#include "platform/screen.h"
#include "platform/soft_key_bar.h"
#include "platform/window_commands.h"
#include "resources/resource_ids.h"
#include "skin/skin_loader.h"
#include "test_env.h"
#include "ui/dialog_controls.h"
#include "ui/shell_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDirIterator>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace mv {
namespace {

// The resolution is read once per process: this executable runs at 192 dpi. The About layout is
// also checked at 96 dpi through its explicit resolution.
[[maybe_unused]] const bool kScreenAt192Dpi = [] {
    OverrideScreenDpi(192, 192);
    return true;
}();

QString DefaultSkin() {
    return QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_240.scs");
}

// Files anything wrote under a folder.
QStringList FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// While the next modal dialog runs, `act` gets it (called once it is up).
void WhenModalOpens(std::function<void(QDialog*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

constexpr int kOptionIds[] = {IDC_SMOOTH_SHAPES, IDC_SMOOTH_MOTION, IDC_SHADOW,
                              IDC_DISABLE_AUTO_OFF};

void Toggle(QDialog* dialog, int controlId) {
    QCheckBox* box = FindControl<QCheckBox>(dialog, controlId);
    ASSERT_NE(box, nullptr) << controlId;
    box->toggle();
}

void PressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

// With no skin left to reload, the application is asked to end; an application loop that starts
// and quits takes that request back, so the next dialog runs.
void ClearQuitRequest() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetExternalUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        owner.resize(240, 320);
    }
    void TearDown() override {
        state.face.ReleaseBackBuffer();
        state.face.ReleaseSkin();
        SetExternalUrlOpener({});
    }

    // A running clock face as the main window leaves it while a dialog is open: skin loaded,
    // back buffer drawn, clock timer stopped.
    void LoadClockFace(const QString& skinPath) {
        state.settings.SkinPath = skinPath;
        ASSERT_TRUE(state.face.LoadSkin(skinPath, FaceOptionsOf(state.settings)))
            << LastSkinError();
        state.mainWindow = &owner;
        ResizeClockFace(state, 240, 268);
    }

    // Runs Preferences with the main window's way of putting changes into effect; `act` gets the
    // dialog once it is up.
    DialogResult RunPreferences(std::function<void(QDialog*)> act) {
        WhenModalOpens(std::move(act));
        return RunPreferencesDialog(state.settings, &owner,
                                    [this](const PreferenceChanges& changes, QWidget* dialog) {
                                        PutPreferencesIntoEffect(state, changes, dialog);
                                    });
    }

    static Settings StoredSettings() {
        Settings stored;
        LoadSettings(stored);
        return stored;
    }

    test::IsolatedHome home;
    test::RecordedMessageBoxes messages;
    AppState state;
    QWidget owner;
    std::vector<QUrl> opened;
};

TEST_F(DialogTest, CancelAndCloseLeaveSettingsAndStoreUntouched) {
    LoadClockFace(DefaultSkin());
    const Settings before = state.settings;
    const qint64 backBufferKey = state.face.BackBuffer().bitmap.cacheKey();

    EXPECT_EQ(RunPreferences([](QDialog* dialog) {
                  for (int id : kOptionIds)
                      Toggle(dialog, id);
                  PostCommand(dialog, kCancelCommand);
              }),
              DialogResult::Cancel);
    EXPECT_EQ(RunPreferences([](QDialog* dialog) {
                  Toggle(dialog, IDC_DISABLE_AUTO_OFF);
                  dialog->close(); // the main window passes its close request on
              }),
              DialogResult::Closed);

    EXPECT_EQ(state.settings.AntiAliased, before.AntiAliased);
    EXPECT_EQ(state.settings.Smooth, before.Smooth);
    EXPECT_EQ(state.settings.Shadow, before.Shadow);
    EXPECT_EQ(state.settings.NoOff, before.NoOff);
    EXPECT_TRUE(FilesUnder(home.ConfigHome()).isEmpty()) << "nothing may be written";
    EXPECT_EQ(state.face.BackBuffer().bitmap.cacheKey(), backBufferKey) << "no redraw";
    EXPECT_FALSE(WindowTimerRunning(state.windowTimers, TIMER_CLOCK));
}

// Each option on its own: the boxes start from the settings, OK saves them, and only what the
// option shapes is redone: shapes and shadow reload the skin and redraw the face, motion restarts
// the clock tick.
TEST_F(DialogTest, EachOptionIsSavedAndPutIntoEffect) {
    const struct {
        int controlId;
        int8_t Settings::*field;
        bool reloads;
        bool restartsClock;
    } options[] = {
        {IDC_DISABLE_AUTO_OFF, &Settings::NoOff, false, false},
        {IDC_SMOOTH_MOTION, &Settings::Smooth, false, true},
        {IDC_SMOOTH_MOTION, &Settings::Smooth, false, true},
        {IDC_SMOOTH_SHAPES, &Settings::AntiAliased, true, false},
        {IDC_SHADOW, &Settings::Shadow, true, false},
    };
    LoadClockFace(DefaultSkin());
    for (const auto& option : options) {
        SCOPED_TRACE(option.controlId);
        StopWindowTimer(state.windowTimers, TIMER_CLOCK);
        const Settings before = state.settings;
        const qint64 faceKey = state.face.GetSkin().faceImage.bitmap.cacheKey();
        const qint64 backBufferKey = state.face.BackBuffer().bitmap.cacheKey();
        std::vector<bool> shown;
        EXPECT_EQ(RunPreferences([&](QDialog* dialog) {
                      for (int id : kOptionIds)
                          shown.push_back(FindControl<QCheckBox>(dialog, id)->isChecked());
                      Toggle(dialog, option.controlId);
                      PostCommand(dialog, kDoneCommand);
                  }),
                  DialogResult::Ok);

        EXPECT_EQ(shown, (std::vector<bool>{before.AntiAliased != 0, before.Smooth != 0,
                                            before.Shadow != 0, before.NoOff != 0}));
        const int8_t now = state.settings.*option.field;
        EXPECT_NE(now, before.*option.field);
        EXPECT_EQ(StoredSettings().*option.field, now);
        EXPECT_EQ(state.face.Hands().smoothShapes, state.settings.AntiAliased);
        EXPECT_EQ(state.face.Hands().shadowOn, state.settings.Shadow != 0);
        EXPECT_EQ(state.face.Hands().smoothMotion, state.settings.Smooth);
        EXPECT_EQ(state.face.GetSkin().faceImage.bitmap.cacheKey() != faceKey, option.reloads);
        EXPECT_EQ(state.face.BackBuffer().bitmap.cacheKey() != backBufferKey, option.reloads);
        EXPECT_EQ(state.face.BackBuffer().width, 240);
        EXPECT_EQ(WindowTimerRunning(state.windowTimers, TIMER_CLOCK), option.restartsClock);
    }
    // Without smooth shapes the back buffer is in the display's format, not 16-bit.
    EXPECT_EQ(state.face.BackBuffer().pixels, nullptr);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(DialogTest, SkinThatCannotBeReloadedIsReportedOverPreferences) {
    const QString copy = home.Path() + "/skin.scs";
    ASSERT_TRUE(QFile::copy(DefaultSkin(), copy));
    LoadClockFace(copy);
    ASSERT_TRUE(QFile::remove(copy));

    QDialog* preferences = nullptr;
    RunPreferences([&preferences](QDialog* dialog) {
        preferences = dialog;
        Toggle(dialog, IDC_SHADOW);
        PostCommand(dialog, kDoneCommand);
    });
    ClearQuitRequest();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].owner, preferences);
    EXPECT_EQ(state.face.BackBuffer().width, 240) << "the back buffer is rebuilt at its size";
}

TEST_F(DialogTest, EscapeIsDoneAndF1OpensTheDialogsHelpTopic) {
    LoadClockFace(DefaultSkin());
    EXPECT_EQ(RunPreferences([](QDialog* dialog) {
                  Toggle(dialog, IDC_DISABLE_AUTO_OFF);
                  PressKey(dialog, Qt::Key_F1);
                  PressKey(FindControl(dialog, IDC_SMOOTH_SHAPES), Qt::Key_Escape);
              }),
              DialogResult::Ok);
    EXPECT_EQ(StoredSettings().NoOff, 1);

    WhenModalOpens([](QDialog* dialog) {
        PressKey(dialog, Qt::Key_F1);
        PressKey(dialog, Qt::Key_Back);
    });
    EXPECT_EQ(RunAboutDialog(&owner, MakeBoldFont({96, 96})), DialogResult::Ok);

    ASSERT_EQ(opened.size(), 2u);
    for (const QUrl& url : opened) {
        EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
        EXPECT_TRUE(url.path().endsWith("/share/marovellastrine/help/Marovellastrine.htm"))
            << url.path().toStdString();
    }
    EXPECT_EQ(opened[0].fragment(), "dialog_preferences");
    EXPECT_EQ(opened[1].fragment(), "dialog_about");
}

TEST_F(DialogTest, AboutLinkOpensTheVendorsPage) {
    const std::unique_ptr<QDialog> about = MakeAboutDialog(&owner, {96, 96}, QFont());
    QWidget* link = FindControl(about.get(), IDC_ABOUT_LINK);
    ASSERT_NE(link, nullptr);
    const QPointF inside(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, inside, link->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, link->mapToGlobal(inside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(link, &press);
    QApplication::sendEvent(link, &release);
    QCoreApplication::processEvents();

    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].scheme(), "https");
    EXPECT_EQ(opened[0].path(), "/windows-mobile/marovellastrine/");
}

// The About box at two resolutions: header box, centred name group and icon, for two widths.
TEST(AboutLayout, CentresTheNameGroupAndTheIconAtEachWidthAndResolution) {
    const struct {
        DialogDpi dpi;
        int headerInset, headerHeight;
    } resolutions[] = {{{96, 96}, 21, 58}, {{192, 192}, 42, 116}};
    for (const auto& [dpi, headerInset, headerHeight] : resolutions) {
        QWidget owner;
        owner.resize(240 * dpi.x / 96, 320 * dpi.y / 96);
        const std::unique_ptr<QDialog> about = MakeAboutDialog(&owner, dpi, MakeBoldFont(dpi));
        about->show();
        QWidget* header = FindControl(about.get(), IDC_ABOUT_HEADER);
        QWidget* tev = FindControl(about.get(), IDC_ABOUT_TEV);
        QWidget* mark = FindControl(about.get(), IDC_ABOUT_MARK);
        QWidget* name = FindControl(about.get(), IDC_ABOUT_NAME);
        QWidget* icon = FindControl(about.get(), IDC_ABOUT_ICON);
        const QRect headerBefore = header->geometry();
        const QRect tevBefore = tev->geometry();
        const QRect nameBefore = name->geometry();
        const int markOffset = mark->x() - tev->x();
        const int nameOffset = name->x() - tev->x();

        // Portrait, then the screen turned to landscape.
        for (const int width : {owner.width(), owner.height()}) {
            about->resize(width, owner.width());
            QCoreApplication::processEvents();
            const int client = header->parentWidget()->width();
            ASSERT_EQ(client, width);
            const int mid = client / 2;
            SCOPED_TRACE(width);

            EXPECT_EQ(header->geometry(),
                      QRect(headerBefore.topLeft(), QSize(client - headerInset, headerHeight)));
            const int groupCentre2 = tev->x() + name->geometry().right() + 1;
            EXPECT_LE(std::abs(groupCentre2 - 2 * mid), 1);
            EXPECT_EQ(mark->x() - tev->x(), markOffset);
            EXPECT_EQ(name->x() - tev->x(), nameOffset);
            EXPECT_EQ(tev->y(), tevBefore.y());
            EXPECT_EQ(name->size(), nameBefore.size());
            EXPECT_LE(std::abs(2 * icon->x() + icon->width() - 2 * mid), 1);
        }
    }
}

// A widget that paints only the title band, as the Preferences dialog and the skin picker do.
class BandWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { DrawDialogHeader(this); }
};

QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    widget.render(&image);
    return image;
}

TEST(TitleBand, TitleIsCutTo127Characters) {
    BandWidget band;
    band.resize(20000, 60);
    band.setWindowTitle(QString(127, 'M'));
    const QImage cut = Render(band);
    band.setWindowTitle(QString(127, 'M') + "MMMMM");
    EXPECT_EQ(Render(band), cut);
    band.setWindowTitle(QString(126, 'M'));
    EXPECT_NE(Render(band), cut);
}

// The main window's menu greys "Synchronize" by its command; an unknown bar is none.
TEST(SoftKeyBars, MenuItemsAreFoundByTheirCommand) {
    QWidget window;
    QMenu* menu = SoftKeyMenu(CreateSoftKeyBar(&window, IDR_CONNECT_BAR), IDM_MENU);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(EnableMenuCommand(menu, IDM_SYNCHRONIZE, false));
    const QList<QAction*> items = menu->actions();
    const auto synchronize = std::find_if(items.begin(), items.end(), [](const QAction* action) {
        return action->text() == "Synchronize";
    });
    ASSERT_NE(synchronize, items.end());
    EXPECT_FALSE((*synchronize)->isEnabled());
    EXPECT_FALSE(EnableMenuCommand(menu, 12345, false));
    EXPECT_EQ(CreateSoftKeyBar(&window, 999), nullptr);
}

} // namespace
} // namespace mv
