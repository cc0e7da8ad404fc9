// The Preferences and About dialogs and the shell helpers they share: what each option puts into
// effect, the About box's layout at two resolutions, the title band's pixels, and the addresses
// that help and the link open.
#include "app/about_dialog.h"
#include "app/clock_tick.h"
#include "app/preferences_dialog.h"
#include "platform/message_box.h"
#include "platform/open_url.h"
#include "platform/screen.h"
#include "platform/soft_key_bar.h"
#include "platform/store.h"
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
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            boxes.push_back(request);
            return int(IDOK);
        });
        owner.resize(240, 320);
    }
    void TearDown() override {
        state.face.ReleaseBackBuffer();
        state.face.ReleaseSkin();
        SetExternalUrlOpener({});
        SetMessageBoxResponder({});
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

    Settings StoredSettings() {
        Settings stored;
        LoadSettings(stored);
        return stored;
    }

    test::IsolatedHome home;
    AppState state;
    QWidget owner;
    std::vector<QUrl> opened;
    std::vector<MessageBoxRequest> boxes;
};

TEST_F(DialogTest, CancelAndCloseLeaveSettingsAndStoreUntouched) {
    LoadClockFace(DefaultSkin());
    const Settings before = state.settings;
    const qint64 backBufferKey = state.face.BackBuffer().bitmap.cacheKey();

    WhenModalOpens([](QDialog* dialog) {
        for (int id : {IDC_SMOOTH_SHAPES, IDC_SMOOTH_MOTION, IDC_SHADOW, IDC_DISABLE_AUTO_OFF})
            Toggle(dialog, id);
        PostCommand(dialog, IDCANCEL);
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDCANCEL);

    WhenModalOpens([](QDialog* dialog) {
        Toggle(dialog, IDC_DISABLE_AUTO_OFF);
        dialog->close(); // the main window passes its close request on
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDCLOSED);

    EXPECT_EQ(state.settings.AntiAliased, before.AntiAliased);
    EXPECT_EQ(state.settings.Smooth, before.Smooth);
    EXPECT_EQ(state.settings.Shadow, before.Shadow);
    EXPECT_EQ(state.settings.NoOff, before.NoOff);
    EXPECT_TRUE(FilesUnder(home.ConfigHome()).isEmpty()) << "nothing may be written";
    EXPECT_EQ(state.face.BackBuffer().bitmap.cacheKey(), backBufferKey) << "no redraw";
    EXPECT_FALSE(WindowTimerRunning(state.windowTimers, TIMER_CLOCK));
}

TEST_F(DialogTest, CheckBoxesStartFromSettingsAndOkSavesThem) {
    LoadClockFace(DefaultSkin());
    state.settings.NoOff = 1;
    state.settings.Shadow = 0;
    ASSERT_TRUE(state.face.LoadSkin(DefaultSkin(), FaceOptionsOf(state.settings)));

    std::vector<bool> shown;
    WhenModalOpens([&shown](QDialog* dialog) {
        for (int id : {IDC_SMOOTH_SHAPES, IDC_SMOOTH_MOTION, IDC_SHADOW, IDC_DISABLE_AUTO_OFF})
            shown.push_back(FindControl<QCheckBox>(dialog, id)->isChecked());
        PostCommand(dialog, IDOK);
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);
    EXPECT_EQ(shown, (std::vector<bool>{true, false, false, true}));
    const Settings stored = StoredSettings();
    EXPECT_EQ(stored.AntiAliased, 1);
    EXPECT_EQ(stored.Smooth, 0);
    EXPECT_EQ(stored.Shadow, 0);
    EXPECT_EQ(stored.NoOff, 1);
}

TEST_F(DialogTest, DisableAutoOffAloneIsSavedWithoutReloadOrTimerRestart) {
    LoadClockFace(DefaultSkin());
    const qint64 backBufferKey = state.face.BackBuffer().bitmap.cacheKey();
    const qint64 surfaceKey = state.face.Hands().supersampleSurface.bitmap.cacheKey();

    WhenModalOpens([](QDialog* dialog) {
        Toggle(dialog, IDC_DISABLE_AUTO_OFF);
        PostCommand(dialog, IDOK);
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);

    EXPECT_EQ(state.settings.NoOff, 1);
    EXPECT_EQ(StoredSettings().NoOff, 1);
    EXPECT_EQ(state.face.Hands().supersampleSurface.bitmap.cacheKey(), surfaceKey) << "reloaded";
    EXPECT_EQ(state.face.BackBuffer().bitmap.cacheKey(), backBufferKey) << "redrawn";
    EXPECT_FALSE(WindowTimerRunning(state.windowTimers, TIMER_CLOCK));
}

TEST_F(DialogTest, SmoothMotionRestartsTheClockTimerWithoutReload) {
    LoadClockFace(DefaultSkin());
    const qint64 surfaceKey = state.face.Hands().supersampleSurface.bitmap.cacheKey();

    for (const int8_t smooth : {1, 0}) {
        StopWindowTimer(state.windowTimers, TIMER_CLOCK);
        WhenModalOpens([](QDialog* dialog) {
            Toggle(dialog, IDC_SMOOTH_MOTION);
            PostCommand(dialog, IDOK);
        });
        EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);
        EXPECT_EQ(state.settings.Smooth, smooth);
        EXPECT_EQ(StoredSettings().Smooth, smooth);
        EXPECT_EQ(state.face.Hands().smoothMotion, smooth);
        EXPECT_TRUE(WindowTimerRunning(state.windowTimers, TIMER_CLOCK)) << int(smooth);
    }
    EXPECT_EQ(state.face.Hands().supersampleSurface.bitmap.cacheKey(), surfaceKey) << "reloaded";
}

TEST_F(DialogTest, ShapeAndShadowChangesReloadTheSkinAndRebuildTheBackBuffer) {
    LoadClockFace(DefaultSkin());
    ASSERT_NE(state.face.BackBuffer().pixels, nullptr) << "smooth shapes draw into 16-bit pixels";
    ASSERT_TRUE(state.face.Hands().shadowOn);

    WhenModalOpens([](QDialog* dialog) {
        Toggle(dialog, IDC_SMOOTH_SHAPES);
        PostCommand(dialog, IDOK);
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);
    EXPECT_EQ(state.face.Hands().smoothShapes, 0);
    EXPECT_EQ(state.face.BackBuffer().pixels, nullptr)
        << "the back buffer is in the display's format";
    EXPECT_EQ(state.face.BackBuffer().width, 240);
    EXPECT_EQ(StoredSettings().AntiAliased, 0);

    const qint64 backBufferKey = state.face.BackBuffer().bitmap.cacheKey();
    WhenModalOpens([](QDialog* dialog) {
        Toggle(dialog, IDC_SHADOW);
        PostCommand(dialog, IDOK);
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);
    EXPECT_FALSE(state.face.Hands().shadowOn);
    EXPECT_NE(state.face.BackBuffer().bitmap.cacheKey(), backBufferKey) << "no full frame";
    EXPECT_EQ(StoredSettings().Shadow, 0);
    EXPECT_FALSE(WindowTimerRunning(state.windowTimers, TIMER_CLOCK));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DialogTest, SkinThatCannotBeReloadedIsReportedOverPreferences) {
    const QString copy = home.Path() + "/skin.scs";
    ASSERT_TRUE(QFile::copy(DefaultSkin(), copy));
    LoadClockFace(copy);
    ASSERT_TRUE(QFile::remove(copy));

    QDialog* preferences = nullptr;
    WhenModalOpens([&preferences](QDialog* dialog) {
        preferences = dialog;
        Toggle(dialog, IDC_SHADOW);
        PostCommand(dialog, IDOK);
    });
    RunPreferencesDialog(state, &owner);
    ClearQuitRequest();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, preferences);
    EXPECT_EQ(state.face.BackBuffer().width, 240) << "the back buffer is rebuilt at its size";
}

// Options that can't be saved still apply for the session, and the user is told once, after the
// dialog has closed, where and why.
TEST_F(DialogTest, UnsavedPreferencesAreReportedOnceAfterTheDialogCloses) {
    LoadClockFace(DefaultSkin());
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    ASSERT_TRUE(QDir().mkpath(file)); // the store can't be written: its path is a folder
    std::vector<bool> dialogOpenAtBox;
    SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        boxes.push_back(request);
        dialogOpenAtBox.push_back(QApplication::activeModalWidget() != nullptr);
        return int(IDOK);
    });
    for (const int option : {IDC_DISABLE_AUTO_OFF, IDC_SHADOW}) {
        WhenModalOpens([option](QDialog* dialog) {
            Toggle(dialog, option);
            PostCommand(dialog, IDOK);
        });
        EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);
    }
    EXPECT_EQ(state.settings.NoOff, 1);
    EXPECT_FALSE(state.face.Hands().shadowOn);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Your settings could not be saved.\n\n" + file + ": Is a directory");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes[0].owner, &owner);
    EXPECT_EQ(dialogOpenAtBox, std::vector<bool>{false});
}

TEST_F(DialogTest, EscapeIsDoneAndF1OpensTheDialogsHelpTopic) {
    LoadClockFace(DefaultSkin());
    WhenModalOpens([](QDialog* dialog) {
        Toggle(dialog, IDC_DISABLE_AUTO_OFF);
        PressKey(dialog, Qt::Key_F1);
        PressKey(FindControl(dialog, IDC_SMOOTH_SHAPES), Qt::Key_Escape);
    });
    EXPECT_EQ(RunPreferencesDialog(state, &owner), IDOK);
    EXPECT_EQ(StoredSettings().NoOff, 1);

    WhenModalOpens([](QDialog* dialog) {
        PressKey(dialog, Qt::Key_F1);
        PressKey(dialog, Qt::Key_Back);
    });
    EXPECT_EQ(RunAboutDialog(state, &owner), IDOK);

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
    const std::unique_ptr<QDialog> about = MakeAboutDialog(state, &owner, {96, 96});
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
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

// The About box at a resolution: header box, centred name group and icon, for two widths.
void ExpectAboutLayout(DialogDpi dpi, int headerInset, int headerHeight) {
    AppState state;
    QWidget owner;
    owner.resize(240 * dpi.x / 96, 320 * dpi.y / 96);
    const std::unique_ptr<QDialog> about = MakeAboutDialog(state, &owner, dpi);
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

TEST(AboutLayout, At96Dpi) {
    ExpectAboutLayout({96, 96}, 21, 58);
}

TEST(AboutLayout, At192Dpi) {
    ExpectAboutLayout({192, 192}, 42, 116);
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

TEST(TitleBand, At192DpiBandLineAndInset) {
    BandWidget band;
    band.resize(480, 100);
    band.setWindowTitle("Preferences");
    const QImage image = Render(band);
    const QRgb background = image.pixel(0, 0);
    ASSERT_NE(background, qRgb(0, 0, 0));

    for (int x : {0, 240, 479}) {
        EXPECT_EQ(image.pixel(x, 47), qRgb(0, 0, 0)) << x;
        EXPECT_EQ(image.pixel(x, 46), qRgb(0, 0, 0)) << x;
        EXPECT_NE(image.pixel(x, 45), qRgb(0, 0, 0)) << x;
        EXPECT_NE(image.pixel(x, 48), qRgb(0, 0, 0)) << x;
    }
    int left = image.width();
    int top = 48;
    int bottom = -1;
    for (int y = 0; y < 46; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_GE(left, 18);
    EXPECT_LE(left, 22) << "text inset";
    EXPECT_LE(std::abs((top + bottom) - 46), 6) << "text centred in the band";
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

TEST(SoftKeyBars, BarsCarryTheirCommandsAndTheMenuInOrder) {
    QWidget window;
    QWidget* connect = CreateSoftKeyBar(&window, IDR_CONNECT_BAR);
    ASSERT_NE(connect, nullptr);
    QMenu* menu = SoftKeyMenu(connect, IDM_MENU);
    ASSERT_NE(menu, nullptr);
    std::vector<int> commands;
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        commands.push_back(action->isSeparator() ? 0 : action->data().toInt());
        texts << action->text();
    }
    EXPECT_EQ(commands,
              (std::vector<int>{IDM_FULL_SCREEN, IDM_SYNCHRONIZE, 0, IDM_LOAD_SKIN, IDM_PREFERENCES,
                                IDM_GPS_SETTINGS, 0, IDM_HELP, IDM_ABOUT}));
    EXPECT_EQ(texts.join('|'), "Full Screen|Synchronize||Load Skin...|Preferences...|"
                               "GPS Settings...||Help|About");
    EXPECT_TRUE(
        EnableMenuCommand(SoftKeyMenu(CreateSoftKeyBar(&window, IDR_DISCONNECT_BAR), IDM_MENU),
                          IDM_SYNCHRONIZE, false));
    EXPECT_EQ(CreateSoftKeyBar(&window, 999), nullptr);
}

} // namespace
} // namespace mv
