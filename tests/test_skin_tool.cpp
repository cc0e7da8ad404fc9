// The skin tool: pack/unpack give back the same bytes, manifest mistakes are named, and `info`
// reports what the program's own loader made of a skin (run as the real executable).
#include "test_env.h"
#include "tools/skin-tool/packed_skin.h"
#include "tools/skin-tool/skin_commands.h"
#include "tools/skin-tool/skin_manifest.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace mv {
namespace {

using test::IsolatedHome;
using test::ReadAll;
using test::WriteAll;

QByteArray TinyPng(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// One hand: tip 60 (half width 2), base -10 (half width 3), shadow offset 4.
PackedSkin OneHandSkin() {
    PackedSkin skin;
    skin.parameters.faceRect = {0, 0, 16, 16};
    skin.parameters.hands[0].main = {0x00112233, 60, 3, 2, -10, kCapBase | kCapTip};
    skin.parameters.hands[0].shadowOffset = 4;
    skin.parameters.shadowAlpha = 96;
    skin.face = TinyPng(16);
    return skin;
}

struct ToolRun {
    int exitCode = -1;
    QJsonObject json;
    QByteArray standardError;
};

ToolRun RunTool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(MV_BIN_DIR "/marovellastrine-skin"), args);
    EXPECT_TRUE(process.waitForFinished(60000));
    ToolRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    run.standardError = process.readAllStandardError();
    return run;
}

QString DefaultSkinPath(int size) {
    return QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_%1.scs").arg(size);
}

// Unpacks `file` and packs the manifest again; the result must be the same bytes.
void ExpectRoundTrip(const QByteArray& file, const QString& scratch) {
    const QString original = scratch + "/original.scs";
    const QString rebuilt = scratch + "/rebuilt.scs";
    ASSERT_TRUE(QDir().mkpath(scratch));
    ASSERT_TRUE(WriteAll(original, file));
    QString error;
    QStringList warnings;
    ASSERT_TRUE(UnpackSkin(original, scratch + "/parts", error)) << error.toStdString();
    ASSERT_TRUE(PackSkin(scratch + "/parts/" + kManifestFileName, rebuilt, error, warnings))
        << error.toStdString();
    EXPECT_EQ(ReadAll(rebuilt), file);
}

TEST(SkinTool, WriterLaysOutPreambleParametersTableAndBlocks) {
    PackedSkin skin = OneHandSkin();
    skin.headerLength = 100;
    skin.uninterpreted[0] = 0xA1;  // byte 29
    skin.uninterpreted[13] = 0xB2; // byte 43
    skin.hasBackground = true;
    skin.background = "BG";
    const QByteArray file = BuildSkinFile(skin);

    ASSERT_EQ(file.size(), 100 + 8 + skin.face.size() + 2);
    EXPECT_EQ(file.left(29), QByteArray("TEV:: Marovellastrine Skin\n\r", 29)); // NUL at 28
    EXPECT_EQ(uint8_t(file[29]), 0xA1);
    EXPECT_EQ(uint8_t(file[34]), 100);
    EXPECT_EQ(uint8_t(file[43]), 0xB2);
    EXPECT_EQ(file.mid(44, 56), QByteArray(reinterpret_cast<const char*>(&skin.parameters), 56));
    const uint32_t faceOffset = 108;
    const uint32_t backgroundOffset = faceOffset + uint32_t(skin.face.size());
    EXPECT_EQ(file.mid(100, 8),
              QByteArray(reinterpret_cast<const char*>(&faceOffset), 4) +
                  QByteArray(reinterpret_cast<const char*>(&backgroundOffset), 4));
    EXPECT_EQ(file.mid(108, skin.face.size()), skin.face);
    EXPECT_EQ(file.right(2), "BG");

    skin.headerLength = 249;
    EXPECT_TRUE(BuildSkinFile(skin).isEmpty());
}

TEST(SkinTool, PackAfterUnpackGivesTheSameBytes) {
    IsolatedHome home;
    for (int size : {240, 320, 480}) {
        SCOPED_TRACE(size);
        const QByteArray file = ReadAll(DefaultSkinPath(size));
        ASSERT_FALSE(file.isEmpty());
        ExpectRoundTrip(file, home.Path() + QStringLiteral("/default%1").arg(size));
    }

    PackedSkin shortHeader = OneHandSkin();
    shortHeader.headerLength = 131; // ends inside the hour hand's overlay
    shortHeader.uninterpreted = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    shortHeader.hasBackground = true;
    shortHeader.background = TinyPng(3) + QByteArray("\x00\x7f\xff", 3); // odd trailing bytes
    ExpectRoundTrip(BuildSkinFile(shortHeader), home.Path() + "/short");

    PackedSkin oddFields = OneHandSkin();
    oddFields.parameters.hands[2].reserved[5] = 0x5A;
    oddFields.parameters.hands[1].overlay.capFlags = 0x80000000u;
    oddFields.parameters.keyColor = 0xFF000000u;
    oddFields.parameters.pivotOffsetX = -2147483647 - 1;
    ExpectRoundTrip(BuildSkinFile(oddFields), home.Path() + "/odd");

    // Files the clock refuses still rebuild: an empty background block, an undecodable face, no
    // stored parameters at all.
    PackedSkin refused = OneHandSkin();
    refused.headerLength = 44;
    refused.face = "not a picture";
    refused.hasBackground = true;
    ExpectRoundTrip(BuildSkinFile(refused), home.Path() + "/refused");
}

// The default skins: no sprite edge mixes in the key colour (a magenta fringe once it is left
// out), and every hand's tail stays shorter than its forward reach.
TEST(SkinTool, DefaultSkinsHaveCleanEdgesAndShortTails) {
    for (int size : {240, 320, 480}) {
        SCOPED_TRACE(size);
        PackedSkin skin;
        QString error;
        ASSERT_TRUE(SplitSkinFile(ReadAll(DefaultSkinPath(size)), skin, error));
        const SkinParameters& p = skin.parameters;
        EXPECT_NE(p.backgroundTopColor, p.backgroundBottomColor);
        for (const HandStyle& hand : p.hands) {
            const HandShape& main = hand.main;
            EXPECT_LT(main.baseHalfWidth - main.baseDistance, main.tipDistance + main.tipHalfWidth);
            EXPECT_GT(hand.shadowOffset, 0);
        }

        const QImage face = QImage::fromData(skin.face).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(face.isNull());
        const QRgb key = qRgb(RedOf(p.keyColor), GreenOf(p.keyColor), BlueOf(p.keyColor));
        int fringe = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x) {
                const QRgb pixel = face.pixel(x, y);
                const int magenta = std::min(qRed(pixel), qBlue(pixel)) - qGreen(pixel);
                if (pixel != key && magenta > 40)
                    ++fringe;
            }
        EXPECT_EQ(fringe, 0);
    }
}

TEST(SkinTool, UnpackRefusesLayoutsThatCantBeRebuilt) {
    IsolatedHome home;
    const QByteArray good = BuildSkinFile(OneHandSkin());
    auto withByte = [&](int at, char value) {
        QByteArray copy = good;
        copy[at] = value;
        return copy;
    };
    const struct {
        const char* name;
        QByteArray file;
        const char* reason;
    } cases[] = {
        {"short", good.left(43), "fewer than the 44-byte preamble"},
        {"magic", withByte(4, 'x'), "not a skin file"},
        {"byte 28", withByte(28, 'x'), "not a skin file"},
        {"long header", withByte(34, char(249)), "above 248"},
        {"table cut", good.left(250), "ends inside the image offset table"},
        {"no face", withByte(249, 0), "absent"},
        {"gap", withByte(248, 1), "not right after the offset"},
        {"background before face", withByte(252, 1), "lies outside"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = home.Path() + "/broken.scs";
        ASSERT_TRUE(WriteAll(path, c.file));
        QString error;
        EXPECT_FALSE(UnpackSkin(path, home.Path() + "/out", error));
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

TEST(SkinTool, ManifestMistakesNameTheLine) {
    IsolatedHome home;
    ASSERT_TRUE(WriteAll(home.Path() + "/face.png", TinyPng(16)));
    const QString valid = FormatManifest(OneHandSkin(), "face.png", {});
    const QString line2 = valid.section(u'\n', 1, 1);
    ASSERT_EQ(line2, "face = face.png");
    PackedSkin parsed;
    QString error;
    ASSERT_TRUE(ParseManifest(valid, home.Path(), parsed, error)) << error.toStdString();

    const struct {
        const char* name;
        QString text;
        const char* error;
    } cases[] = {
        {"unknown key", valid + "hour.main.colour = 0x00FFFFFF\n",
         "unknown key 'hour.main.colour'"},
        {"missing face", QString(valid).remove(line2), "missing key: face"},
        {"missing parameter", QString(valid).remove(QRegularExpression("\nplacement = .*\n")),
         "missing key: placement"},
        {"no equals", "# comment\nface face.png\n", "line 2: expected 'key = value'"},
        {"malformed", QString(valid).replace("gpsIndicatorX = 0", "gpsIndicatorX = 12px"),
         "'gpsIndicatorX' must be a whole number"},
        {"out of range", QString(valid).replace("shadowAlpha = 96", "shadowAlpha = 40000"),
         "'shadowAlpha' must be a whole number from -32768 to 32767 (got '40000')"},
        {"bad hex digit", QString(valid).replace("shadowAlpha = 96", "shadowAlpha = 0x1g"),
         "'shadowAlpha' must be"},
        {"rectangle", QString(valid).replace("faceRect = 0 0 16 16", "faceRect = 0 0 16"),
         "four whole numbers"},
        {"twice", valid + "face = face.png\n", "was already given on line 2"},
        {"missing picture", QString(valid).replace("face.png", "nothing.png"),
         "line 2: can't read the face picture 'nothing.png'"},
        {"half an overlay", valid + "minute.overlay.color = 0x00FFFFFF\n",
         "needs the rest of its shape"},
        {"lost to a short header", valid + "headerLength = 200\n",
         "'shadowAlpha' lies beyond the 200-byte header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PackedSkin skin;
        EXPECT_FALSE(ParseManifest(c.text, home.Path(), skin, error));
        EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
    }
}

TEST(SkinTool, InfoReportsThePreparedHandRenderer) {
    IsolatedHome home;
    const QString path = home.Path() + "/one-hand.scs";
    ASSERT_TRUE(WriteAll(path, BuildSkinFile(OneHandSkin())));

    const struct {
        QStringList options;
        int handReach, shadowReach, supersampleSide, shadowSide;
    } cases[] = {
        {{"--smooth-shapes", "--shadow"}, 63, 67, 260, 260},
        {{"--shadow"}, 62, 66, 0, 128},
        {{}, 62, 66, 0, 0},
        {{"--smooth-shapes", "--dpi", "192"}, 64, 68, 264, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const ToolRun run = RunTool(QStringList{"info", path} + c.options);
        EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
        EXPECT_EQ(run.json["loaded"], true);
        EXPECT_EQ(run.json["headerLength"], 248);
        EXPECT_EQ(run.json["handReach"], c.handReach);
        EXPECT_EQ(run.json["shadowReach"], c.shadowReach);
        EXPECT_EQ(run.json["supersampleSide"], c.supersampleSide);
        EXPECT_EQ(run.json["shadowSide"], c.shadowSide);
        EXPECT_EQ(run.json["faceImage"], QJsonArray({16, 16}));
        EXPECT_EQ(run.json["backgroundImage"], QJsonValue::Null);
        const QJsonObject hour = run.json["hands"][0]["main"].toObject();
        EXPECT_EQ(hour["color"], 0x00112233);
        EXPECT_EQ(hour["baseDistance"], -10);
        EXPECT_EQ(run.json["hands"][0]["shadowOffset"], 4);
    }
}

TEST(SkinTool, InfoExitCodes) {
    IsolatedHome home;
    for (int size : {240, 320, 480}) {
        const ToolRun run = RunTool({"info", DefaultSkinPath(size), "--smooth-shapes", "--shadow"});
        EXPECT_EQ(run.exitCode, 0) << size;
        EXPECT_EQ(run.json["loaded"], true) << size;
        EXPECT_EQ(run.json["faceRect"], QJsonArray({0, 0, size, size}));
    }

    PackedSkin undecodable = OneHandSkin();
    undecodable.face = "not a picture";
    ASSERT_TRUE(WriteAll(home.Path() + "/bad.scs", BuildSkinFile(undecodable)));
    ASSERT_TRUE(WriteAll(home.Path() + "/tiny.scs", "TEV"));
    for (const QString& name :
         {QStringLiteral("bad.scs"), QStringLiteral("tiny.scs"), QStringLiteral("missing.scs")}) {
        const ToolRun run = RunTool({"info", home.Path() + "/" + name});
        EXPECT_EQ(run.exitCode, 1) << name.toStdString();
        EXPECT_EQ(run.json["loaded"], false);
        EXPECT_FALSE(run.json["error"].toString().isEmpty());
    }
    EXPECT_EQ(RunTool({"info", home.Path() + "/bad.scs"}).json["headerLength"], 248);
    EXPECT_EQ(RunTool({"info", home.Path() + "/tiny.scs"}).json["headerLength"], QJsonValue::Null);

    const QStringList usageErrors[] = {{},
                                       {"frobnicate"},
                                       {"info"},
                                       {"info", "a.scs", "--dpi", "many"},
                                       {"pack", "skin.manifest"},
                                       {"unpack", "a.scs"}};
    for (const QStringList& args : usageErrors) {
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.standardError.contains("usage:"));
    }
    EXPECT_EQ(
        RunTool({"pack", home.Path() + "/none.manifest", "-o", home.Path() + "/x.scs"}).exitCode,
        1);
}

} // namespace
} // namespace mv
