// Changing the skin of the running program: a good pick is loaded, stored and drawn; a bad one is
// reported and the previous skin comes back; when even that fails, the application ends.
#include "app/change_skin.h"
#include "app/clock_tick.h"
#include "picker_driver.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "skin_load_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace mv {
namespace {

constexpr int kStillRunning = 7;
constexpr uint32_t kColorA = MakeColor(10, 20, 30);
constexpr uint32_t kColorC = MakeColor(200, 100, 50);

class ChangeSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        OverrideScreenDpi(96, 96);
        ASSERT_TRUE(QDir().mkpath(home.Path() + "/skins"));
        skinA = WriteSkin("a.scs", kColorA);
        skinC = WriteSkin("c.scs", kColorC);
        skinB = WriteSkin("b.scs", 0, "not a picture");

        state->settings.SkinPath = skinA;
        ASSERT_TRUE(state->face.LoadSkin(skinA, FaceOptionsOf(state->settings)));
        state->face.Paint().recorder = &recorder;
        ResizeClockFace(*state, 240, 320);
        recorder.invalidations.clear();
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            messages << request.text;
            EXPECT_EQ(request.icon, MessageIcon::Exclamation);
            return DialogResult::Ok;
        });
    }
    void TearDown() override { SetMessageBoxResponder({}); }

    QString WriteSkin(const QString& name, uint32_t color, const QByteArray& face = {}) {
        test::SkinFileLayout layout = test::SampleSkin();
        layout.parameters.backgroundTopColor = color;
        if (!face.isEmpty())
            layout.face = face;
        const QString path = home.Path() + "/skins/" + name;
        EXPECT_TRUE(test::WriteAll(path, test::BuildSkinFile(layout)));
        return path;
    }

    // Runs ChangeSkin inside the application's event loop, with the pickers answered in turn.
    // The result is the loop's exit code: 0 when ChangeSkin asked the application to end.
    int Run(bool reloadCurrent, std::deque<test::PickerAction> picks) {
        test::PickerDriver driver(std::move(picks));
        QObject context; // takes the fallback exit with it when the loop ended earlier
        QTimer::singleShot(0, &context, [&] {
            ChangeSkin(*state, nullptr, reloadCurrent);
            QTimer::singleShot(0, &context, [] { QCoreApplication::exit(kStillRunning); });
        });
        const int code = QCoreApplication::exec();
        openings = driver.Openings();
        return code;
    }

    static test::PickerAction Choose(const QString& path) {
        return [path](ShellDialog& picker, QTreeWidget& tree) {
            ASSERT_TRUE(test::SelectPath(tree, path));
            picker.RunCommand(kDoneCommand);
        };
    }

    static std::optional<QString> StoredSkinPath() {
        Settings stored;
        LoadSettings(stored);
        return stored.SkinPath;
    }

    const QString kErrorText = "Error loading skin file.\n\nSelect another file...";
    test::IsolatedHome home;
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    PaintRecorder recorder;
    QString skinA, skinB, skinC;
    QStringList messages;
    int openings = 0;
};

// Reloading the current skin (after a setting changed) shows no picker and draws nothing; a good
// pick is loaded, stored and drawn at once.
TEST_F(ChangeSkinTest, AGoodPickIsLoadedStoredAndDrawnAtOnce) {
    state->settings.Shadow = 0;
    EXPECT_EQ(Run(true, {}), kStillRunning);
    EXPECT_EQ(openings, 0);
    EXPECT_TRUE(recorder.invalidations.empty());

    EXPECT_EQ(Run(false, {Choose(skinC)}), kStillRunning);
    EXPECT_EQ(openings, 1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(state->face.GetSkin().backgroundTopColor, kColorC);
    EXPECT_EQ(state->settings.SkinPath, skinC);
    EXPECT_EQ(StoredSkinPath(), skinC);
    EXPECT_FALSE(recorder.invalidations.empty());
}

// A face that doesn't decode, and parameters no face can draw (refused at load, so never stored to
// come back at the next start): reported, and the previous skin comes back.
TEST_F(ChangeSkinTest, ABadPickIsReportedAndThePreviousSkinComesBackUntilTheUserCancels) {
    test::SkinFileLayout overflowing = test::SampleSkin();
    overflowing.parameters.hubRect.right = std::numeric_limits<int32_t>::max();
    const QString skinD = home.Path() + "/skins/d.scs";
    ASSERT_TRUE(test::WriteAll(skinD, test::BuildSkinFile(overflowing)));
    for (const QString& bad : {skinB, skinD}) {
        messages.clear();
        EXPECT_EQ(Run(false, {Choose(bad), {}}), kStillRunning);
        EXPECT_EQ(openings, 2);
        EXPECT_EQ(messages, QStringList({kErrorText}));
        EXPECT_EQ(state->face.GetSkin().backgroundTopColor, kColorA);
        EXPECT_FALSE(state->face.GetSkin().faceImage.bitmap.isNull());
        EXPECT_EQ(state->settings.SkinPath, skinA);
        EXPECT_EQ(StoredSkinPath(), skinA);
        EXPECT_TRUE(recorder.invalidations.empty());
    }
}

TEST_F(ChangeSkinTest, WhenThePreviousSkinCantBeLoadedAgainTheApplicationEnds) {
    ASSERT_TRUE(test::WriteAll(skinA, "broken now"));

    // Reloading: once reported, then the end instead of the same failure over and over.
    EXPECT_EQ(Run(true, {}), 0);
    EXPECT_EQ(messages, QStringList({kErrorText}));

    // Picking: the end comes when the user cancels with no usable skin left...
    messages.clear();
    state->settings.SkinPath = skinA;
    EXPECT_EQ(Run(false, {Choose(skinB), {}}), 0);
    EXPECT_EQ(openings, 2);
    EXPECT_EQ(messages, QStringList({kErrorText}));

    // ...but not when a good skin is picked instead.
    state->settings.SkinPath = skinA;
    EXPECT_EQ(Run(false, {Choose(skinB), Choose(skinC)}), kStillRunning);
    EXPECT_EQ(state->face.GetSkin().backgroundTopColor, kColorC);
}

} // namespace
} // namespace mv
