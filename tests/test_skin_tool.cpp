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

TEST(SkinTool, UnpackRefusesLayoutsThatCantBeRebuilt) {
    IsolatedHome home;
    // The magic's terminator, the header length, a gap after the offset table, a background
    // block before the face.
    const std::tuple<int, char, const char*> cases[] = {{28, 'x', "not a skin file"},
                                                        {34, char(249), "above 248"},
                                                        {248, 1, "not right after the offset"},
                                                        {252, 1, "lies outside"}};
    for (const auto& [at, value, reason] : cases) {
        QByteArray file = BuildSkinFile(OneHandSkin());
        file[at] = value;
        const QString path = home.Path() + "/broken.scs";
        ASSERT_TRUE(WriteAll(path, file));
        QString error;
        EXPECT_FALSE(UnpackSkin(path, home.Path() + "/out", error));
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << error.toStdString();
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
        {"unknown key", valid + "hour.main.colour = 1\n", "unknown key 'hour.main.colour'"},
        {"missing face", QString(valid).remove(line2), "missing key: face"},
        {"no equals", "# comment\nface face.png\n", "line 2: expected 'key = value'"},
        {"out of range", QString(valid).replace("shadowAlpha = 96", "shadowAlpha = 40000"),
         "(got '40000')"},
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

// `info` reports what the program's own loader and hand renderer made of the skin.
TEST(SkinTool, InfoReportsThePreparedHandRenderer) {
    IsolatedHome home;
    const QString path = home.Path() + "/one-hand.scs";
    ASSERT_TRUE(WriteAll(path, BuildSkinFile(OneHandSkin())));
    const ToolRun run = RunTool({"info", path, "--smooth-shapes", "--dpi", "192"});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_EQ(run.json["loaded"], true);
    EXPECT_EQ(run.json["handReach"], 64);
    EXPECT_EQ(run.json["supersampleSide"], 264);
    EXPECT_EQ(run.json["shadowSide"], 0);
    EXPECT_EQ(run.json["faceImage"], QJsonArray({16, 16}));
    EXPECT_EQ(run.json["hands"][0]["main"]["baseDistance"], -10);
    EXPECT_EQ(run.json["hands"][0]["shadowOffset"], 4);
}

// 0: done; 1: the skin or the output failed; 2: a wrong command line, with the usage.
TEST(SkinTool, ExitCodes) {
    IsolatedHome home;
    PackedSkin undecodable = OneHandSkin();
    undecodable.face = "not a picture";
    ASSERT_TRUE(WriteAll(home.Path() + "/bad.scs", BuildSkinFile(undecodable)));
    ASSERT_TRUE(WriteAll(home.Path() + "/tiny.scs", "TEV"));
    // A skin the loader refuses after its header, one too short for a header, one missing.
    for (const auto& [name, headerLength] : {std::pair{"bad.scs", QJsonValue(248)},
                                             {"tiny.scs", QJsonValue()},
                                             {"missing.scs", QJsonValue()}}) {
        const ToolRun run = RunTool({"info", home.Path() + "/" + name});
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_EQ(run.json["loaded"], false);
        EXPECT_FALSE(run.json["error"].toString().isEmpty());
        EXPECT_EQ(run.json["headerLength"], headerLength) << name;
    }

    const QString out = home.Path() + "/face.png";
    const QStringList render = {"render", DefaultSkinPath(240), "--size"};
    const std::pair<QStringList, int> runs[] = {
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"info", "a.scs", "--dpi", "many"}, 2},
        {{"pack", "skin.manifest"}, 2},
        {render + QStringList{"240x320", "--time", "10:61:00", "--out", out}, 2},
        {render + QStringList{"240x320", "--time", "10:00:00", "--out", home.Path() + "/no/x.png"},
         1},
        {render + QStringList{"241x321", "--time", "10:00:00.500", "--smooth-shapes", "--shadow",
                              "--gps", "--then", "10:00:01", "--out", out},
         0},
    };
    for (const auto& [args, exitCode] : runs) {
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.exitCode, exitCode) << args.join(' ').toStdString();
        EXPECT_EQ(run.standardError.contains("usage:"), exitCode == 2);
    }
    // An 8-bit RGB picture without alpha (PNG header bytes 24 and 25) of the size asked for.
    const QImage picture(out);
    EXPECT_EQ(picture.size(), QSize(241, 321));
    const QByteArray png = ReadAll(out);
    EXPECT_TRUE(png.size() > 26 && png[24] == 8 && png[25] == 2);
}

} // namespace
} // namespace mv
