// The Preferences and About dialogs: what each option puts into effect, help, the About layout.
#include "app/about_dialog.h"
#include "app/clock_tick.h"
#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "platform/open_url.h"
#include "platform/screen.h"
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
#include <QTimer>
#include <gtest/gtest.h>

namespace mv {
namespace {

// The resolution is read once per process: this executable runs at 192 dpi. The About layout is
// also checked at 96 dpi through its explicit resolution.
[[maybe_unused]] const bool kScreenAt192Dpi = [] {
    OverrideScreenDpi(192, 192);
    return true;
}();

const QString kDefaultSkin = QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_240.scs");

void Toggle(QDialog* dialog, int controlId) {
    FindControl<QCheckBox>(dialog, controlId)->toggle();
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
    DialogResult RunPreferences(std::function<void(ShellDialog*)> act) {
        test::WhenModalOpens([act](QDialog* dialog) { act(dynamic_cast<ShellDialog*>(dialog)); });
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

// Each option on its own (its box starts from the setting, so a toggle changes it). Cancel and
// Close change nothing; OK saves it and redoes only what the option shapes: shapes and shadow
// reload the skin and redraw the face, motion restarts the clock tick.
TEST_F(DialogTest, EachOptionIsSavedAndPutIntoEffect) {
    const struct {
        int controlId;
        int8_t Settings::*field;
        DialogResult result;
        bool reloads;
        bool restartsClock;
    } options[] = {
        {IDC_SHADOW, &Settings::Shadow, DialogResult::Cancel, false, false},
        {IDC_DISABLE_AUTO_OFF, &Settings::NoOff, DialogResult::Closed, false, false},
        {IDC_DISABLE_AUTO_OFF, &Settings::NoOff, DialogResult::Ok, false, false},
        {IDC_SMOOTH_MOTION, &Settings::Smooth, DialogResult::Ok, false, true},
        {IDC_SMOOTH_MOTION, &Settings::Smooth, DialogResult::Ok, false, true},
        {IDC_SMOOTH_SHAPES, &Settings::AntiAliased, DialogResult::Ok, true, false},
        {IDC_SHADOW, &Settings::Shadow, DialogResult::Ok, true, false},
    };
    LoadClockFace(kDefaultSkin);
    for (const auto& option : options) {
        SCOPED_TRACE(option.controlId);
        StopWindowTimer(state.windowTimers, TIMER_CLOCK);
        const Settings before = state.settings;
        const qint64 faceKey = state.face.GetSkin().faceImage.bitmap.cacheKey();
        const qint64 backBufferKey = state.face.BackBuffer().bitmap.cacheKey();
        EXPECT_EQ(RunPreferences([&](ShellDialog* dialog) {
                      Toggle(dialog, option.controlId);
                      if (option.result == DialogResult::Closed)
                          dialog->close(); // the main window passes its close request on
                      else
                          dialog->RunCommand(option.result == DialogResult::Ok ? kDoneCommand
                                                                               : kCancelCommand);
                  }),
                  option.result);
        if (option.result != DialogResult::Ok) {
            EXPECT_EQ(state.settings.*option.field, before.*option.field);
            EXPECT_FALSE(QDirIterator(home.ConfigHome(), QDir::Files, QDirIterator::Subdirectories)
                             .hasNext())
                << "nothing may be written";
            EXPECT_EQ(state.face.BackBuffer().bitmap.cacheKey(), backBufferKey) << "no redraw";
            EXPECT_FALSE(WindowTimerRunning(state.windowTimers, TIMER_CLOCK));
            continue;
        }
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
    ASSERT_TRUE(QFile::copy(kDefaultSkin, copy));
    LoadClockFace(copy);
    ASSERT_TRUE(QFile::remove(copy));

    QDialog* preferences = nullptr;
    RunPreferences([&preferences](ShellDialog* dialog) {
        preferences = dialog;
        Toggle(dialog, IDC_SHADOW);
        dialog->RunCommand(kDoneCommand);
    });
    ClearQuitRequest();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].owner, preferences);
    EXPECT_EQ(state.face.BackBuffer().width, 240) << "the back buffer is rebuilt at its size";
}

TEST_F(DialogTest, EscapeIsDoneAndF1OpensTheDialogsHelpTopic) {
    LoadClockFace(kDefaultSkin);
    EXPECT_EQ(RunPreferences([](QDialog* dialog) {
                  Toggle(dialog, IDC_DISABLE_AUTO_OFF);
                  PressKey(dialog, Qt::Key_F1);
                  PressKey(FindControl(dialog, IDC_SMOOTH_SHAPES), Qt::Key_Escape);
              }),
              DialogResult::Ok);
    EXPECT_EQ(StoredSettings().NoOff, 1);

    test::WhenModalOpens([](QDialog* dialog) {
        PressKey(dialog, Qt::Key_F1);
        PressKey(dialog, Qt::Key_Back);
    });
    EXPECT_EQ(RunAboutDialog(&owner, MakeBoldFont({96, 96})), DialogResult::Ok);

    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(opened[0].fragment(), "dialog_preferences");
    EXPECT_EQ(opened[1].fragment(), "dialog_about");
}

// The About box's name group and icon stay centred at each resolution, portrait and landscape.
TEST(AboutLayout, CentresTheNameGroupAndTheIconAtEachWidthAndResolution) {
    for (const DialogDpi dpi : {DialogDpi{96, 96}, DialogDpi{192, 192}}) {
        QWidget owner;
        owner.resize(240 * dpi.x / 96, 320 * dpi.y / 96);
        const std::unique_ptr<QDialog> about = MakeAboutDialog(&owner, dpi, MakeBoldFont(dpi));
        about->show();
        QWidget* tev = FindControl(about.get(), IDC_ABOUT_TEV);
        QWidget* mark = FindControl(about.get(), IDC_ABOUT_MARK);
        QWidget* name = FindControl(about.get(), IDC_ABOUT_NAME);
        QWidget* icon = FindControl(about.get(), IDC_ABOUT_ICON);
        const int markOffset = mark->x() - tev->x();
        const int nameOffset = name->x() - tev->x();

        for (const int width : {owner.width(), owner.height()}) {
            about->resize(width, owner.width());
            QCoreApplication::processEvents();
            ASSERT_EQ(tev->parentWidget()->width(), width);
            SCOPED_TRACE(width);
            EXPECT_LE(std::abs(tev->x() + name->geometry().right() + 1 - width), 1);
            EXPECT_EQ(mark->x() - tev->x(), markOffset);
            EXPECT_EQ(name->x() - tev->x(), nameOffset);
            EXPECT_LE(std::abs(2 * icon->x() + icon->width() - width), 1);
        }
    }
}

} // namespace
} // namespace mv
