// Skin files: header, magic, offset table, image blocks, what a failed load leaves, the hand
// renderer's per-skin resources, the private temporary file the pictures are decoded through, and
// the corpus of broken and unusual skins.
#include "clock/prepare_hand_renderer.h"
#include "platform/private_temp_file.h"
#include "skin/skin_bounds.h"
#include "skin_load_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv::test {
namespace {

bool SameParameters(const SkinParameters& a, const SkinParameters& b) {
    return std::memcmp(&a, &b, sizeof(SkinParameters)) == 0;
}

// Every parameter byte the header stores comes from the file; every byte it doesn't is zero.
TEST_F(SkinLoadTest, ShorterHeadersStoreALeadingPartOfTheParameters) {
    for (int length : {45, 46, 112, 236, 247, 248}) {
        SCOPED_TRACE(length);
        SkinFileLayout layout = SampleSkin();
        layout.headerLength = length;
        SkinParameters expected{};
        std::memcpy(&expected, &layout.parameters, size_t(length - 44));
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        EXPECT_TRUE(SameParameters(skin, expected));
        EXPECT_FALSE(skin.faceImage.bitmap.isNull());
    }
}

TEST_F(SkinLoadTest, ImageBlockOffsetsAndLengths) {
    const QByteArray face = EncodePicture(FacePicture(), "PNG");
    const QByteArray background = SolidPicture(3, 3, qRgb(0, 200, 0));
    const uint32_t faceStart = 256; // header 248 + offset table
    const uint32_t faceEnd = faceStart + uint32_t(face.size());
    const std::optional<uint32_t> none;
    const char* pastEnd = "face image block runs past the end of the file";
    const char* outOfOrder = "face image block empty or out of order";
    const struct {
        std::optional<uint32_t> faceOffset, backgroundOffset;
        bool storeBackground, hasBackground;
        const char* error; // empty when the skin loads
    } cases[] = {
        {none, none, true, true, ""},               // both blocks
        {none, 0u, true, false, ""},                // block 1 offset 0: face runs to the end
        {none, faceEnd, false, false, ""},          // block 1 at the file size: empty
        {none, faceEnd + 1, false, false, pastEnd}, // face runs past block 1
        {0u, none, true, false, "face image block absent"},
        {none, faceStart - 1, true, false, outOfOrder}, // block 1 before block 0
        {none, faceStart, true, false, outOfOrder},     // block 1 equal to block 0
        {0xFFFFFFFFu, 0u, false, false, pastEnd},
        {none, 0xFFFFFFFFu, false, false, pastEnd},
        {none, faceStart + 40, true, false, "face image does not decode"}, // face cut short
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        SkinFileLayout layout = SampleSkin();
        layout.face = face;
        layout.background = c.storeBackground ? background : QByteArray();
        layout.faceOffset = c.faceOffset;
        layout.backgroundOffset = c.backgroundOffset;
        EXPECT_EQ(Load(layout), *c.error == '\0');
        EXPECT_STREQ(LastSkinError(), c.error);
        EXPECT_EQ(!skin.backgroundImage.bitmap.isNull(), c.hasBackground);
    }
}

// Trailing bytes go to the decoder with the last block, the face's or the background's.
TEST_F(SkinLoadTest, BackgroundThatIsAbsentOrBrokenStillLoads) {
    const QByteArray trailing(300, char(0xA5));
    const struct {
        const char* name;
        QByteArray background;
        bool trailingBytes, hasBackground;
    } cases[] = {
        {"absent, trailing bytes after the face", {}, true, false},
        {"bitmap, trailing bytes after it", SolidPicture(5, 7, qRgb(1, 2, 3), "BMP"), true, true},
        {"picture cut short", SolidPicture(40, 40, qRgb(1, 2, 3), "PNG").left(60), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFileLayout layout = SampleSkin();
        layout.background = c.background;
        layout.trailing = c.trailingBytes ? trailing : QByteArray();
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(!skin.backgroundImage.dc.isNull(), c.hasBackground);
        EXPECT_EQ(skin.backgroundImage.width, c.hasBackground ? 5 : 0);
    }
}

TEST_F(SkinLoadTest, FaceThatDoesNotDecodeReleasesThePreviousSkin) {
    SkinFileLayout good = SampleSkin();
    good.background = SolidPicture(3, 3, qRgb(0, 200, 0));
    ASSERT_TRUE(Load(good));

    for (const QByteArray& face :
         {SolidPicture(4, 4, qRgb(1, 2, 3), "PPM"), EncodePicture(FacePicture(), "PNG").left(60)}) {
        SkinFileLayout broken = SampleSkin();
        broken.parameters.keyColor = MakeColor(1, 2, 3);
        broken.face = face;
        broken.background = good.background;
        EXPECT_FALSE(Load(broken));
        EXPECT_STREQ(LastSkinError(), "face image does not decode");
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(skin.keyColor, MakeColor(1, 2, 3)); // the new parameters
        for (const SkinImage* image : {&skin.faceImage, &skin.backgroundImage})
            EXPECT_TRUE(image->dc.isNull() && image->rawData == nullptr);
    }
}

TEST_F(SkinLoadTest, EarlyRejectionLeavesThePreviousSkinUntouched) {
    ASSERT_TRUE(Load(SampleSkin()));
    const SkinParameters before = skin;
    const qint64 faceKey = skin.faceImage.bitmap.cacheKey();
    const uint16_t* supersample = renderer.supersampleSurface.pixels;
    ASSERT_NE(supersample, nullptr);

    SkinFileLayout other = SampleSkin();
    other.parameters.keyColor = 0x123456;
    QByteArray badMagic = BuildSkinFile(other);
    badMagic[28] = 'x';
    SkinFileLayout noFace = other;
    noFace.faceOffset = 0;
    const QByteArray rejected[] = {badMagic, BuildSkinFile(other).left(200), BuildSkinFile(noFace),
                                   QByteArray()};
    options.smoothShapes = false;
    options.smoothMotion = true;
    for (const QByteArray& file : rejected) {
        EXPECT_FALSE(Load(file));
        EXPECT_TRUE(SameParameters(skin, before));
        EXPECT_EQ(skin.faceImage.bitmap.cacheKey(), faceKey);
        EXPECT_EQ(renderer.supersampleSurface.pixels, supersample);
        // Only the two motion and shape flags follow the settings at once.
        EXPECT_EQ(renderer.smoothShapes, 0);
        EXPECT_EQ(renderer.smoothMotion, 1);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_FALSE(face.LoadSkin(home.Path() + "/missing.scs", options));
    EXPECT_FALSE(face.LoadSkin(home.Path(), options)); // a folder
    EXPECT_EQ(skin.faceImage.bitmap.cacheKey(), faceKey);
}

// Copies that leave out the key colour must be exact: the prepared sheet is 8-bit RGB, and the
// keyed sheet is transparent on the key colour and nowhere else.
TEST_F(SkinLoadTest, FacePictureIsPreparedForExactKeyedCopies) {
    const QImage expected = FacePicture();
    for (const QByteArray& picture :
         {EncodePicture(expected, "BMP"),
          EncodePicture(expected.convertToFormat(QImage::Format_Indexed8), "PNG")}) {
        SkinFileLayout layout = SampleSkin();
        layout.face = picture;
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        const SkinImage& face = skin.faceImage;
        ASSERT_EQ(face.keyed.format(), QImage::Format_ARGB32_Premultiplied);
        ASSERT_EQ(face.keyed.size(), QSize(8, 6));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(face.dc.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
                const QRgb keyed = (y == 0 && x < 4) ? 0u : expected.pixel(x, y);
                EXPECT_EQ(face.keyed.pixel(x, y), keyed) << x << "," << y;
            }
    }
}

// Parameters that no face can draw are refused before anything of the previous skin is touched;
// rectangles within the limits but outside the face picture once the picture has decoded, which
// releases the previous skin like a face that doesn't decode. Everything at a limit loads.
TEST_F(SkinLoadTest, ParametersNoFaceCanDrawAreRefused) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    enum Outcome { Loads, RefusedEarly, RefusedWithPicture };
    using P = SkinParameters;
    const struct {
        const char* name;
        void (*change)(P&);
        Outcome outcome;
    } cases[] = {
        {"hub to INT32_MAX", [](P& p) { p.hubRect.right = p.hubRect.bottom = kMax; }, RefusedEarly},
        {"face at INT32_MIN", [](P& p) { p.faceRect.left = p.faceRect.top = kMin; }, RefusedEarly},
        {"face inverted", [](P& p) { std::swap(p.faceRect.left, p.faceRect.right); }, RefusedEarly},
        {"hub past the picture", [](P& p) { p.hubRect.right = 9; }, RefusedWithPicture},
        {"face below the picture", [](P& p) { p.faceRect.bottom = 7; }, RefusedWithPicture},
        {"pivot offset", [](P& p) { p.pivotOffsetX = kMax; }, RefusedEarly},
        {"hand too long", [](P& p) { p.hands[2].main.tipDistance = 32767; }, RefusedEarly},
        {"tail too long", [](P& p) { p.hands[0].main.baseDistance = -4097; }, RefusedEarly},
        {"hand too wide", [](P& p) { p.hands[0].main.baseHalfWidth = 1025; }, RefusedEarly},
        {"overlay too long", [](P& p) { p.hands[1].overlay.tipDistance = -4097; }, RefusedEarly},
        {"hub shadow", [](P& p) { p.hubShadowOffset = 1025; }, RefusedEarly},
        {"all at the limits",
         [](P& p) {
             p.faceRect = {0, 0, 8, 6};
             p.hubRect = {8, 6, 8, 6}; // empty, in the picture's corner
             p.pivotOffsetX = -8192;
             p.hands[0].main = {0, 4096, 1024, 1024, -4096, kCapBase | kCapTip};
             p.hands[0].shadowOffset = -1024;
         },
         Loads},
        {"absent parts are not checked",
         [](P& p) {
             p.hubRect = p.gpsIndicatorRect = {};
             p.hands[2].main = {0, 0, -5, 32767, -32768, 0};
             p.hands[2].overlay.tipDistance = p.hands[2].shadowOffset = 32767;
         },
         Loads},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(SampleSkin())) << LastSkinError();
        const SkinParameters before = skin;
        SkinFileLayout layout = SampleSkin();
        c.change(layout.parameters);
        SkinLoadFailure failure;
        EXPECT_EQ(face.LoadSkin(Write("skin.scs", BuildSkinFile(layout)), options, failure),
                  c.outcome == Loads)
            << LastSkinError();
        EXPECT_EQ(SameParameters(skin, before), c.outcome == RefusedEarly);
        EXPECT_EQ(skin.faceImage.bitmap.isNull(), c.outcome == RefusedWithPicture);
        if (c.outcome != Loads) {
            EXPECT_EQ(failure.error,
                      c.outcome == RefusedEarly ? SkinLoadError::Format : SkinLoadError::Picture);
        }
    }
}

// An image block over the limit is refused before it is read; the file is sparse, so nothing of
// its gigabyte is written.
TEST_F(SkinLoadTest, ImageBlockOverTheLimitIsRefusedUnread) {
    const QString path = Write("huge.scs", BuildSkinFile(SampleSkin()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(qint64(1) << 30));
    file.close();
    ASSERT_TRUE(Load(SampleSkin()));
    const qint64 faceKey = skin.faceImage.bitmap.cacheKey();

    SkinLoadFailure failure;
    EXPECT_FALSE(face.LoadSkin(path, options, failure));
    EXPECT_EQ(failure.error, SkinLoadError::Format);
    EXPECT_STREQ(LastSkinError(), "face image block larger than any skin picture");
    EXPECT_EQ(skin.faceImage.bitmap.cacheKey(), faceKey);

    // Just within the limit the block is read and handed to the decoder.
    ASSERT_TRUE(file.resize(256 + kMaxImageBlockBytes));
    face.LoadSkin(path, options, failure);
    EXPECT_NE(failure.error, SkinLoadError::Format) << LastSkinError();
}

// The hand renderer's per-skin resources. One hour hand: tip 60 (half width 2), base -10 (half
// width 3), shadow 4.
Skin OneHandSkin(int16_t shadowAlpha) {
    Skin skin;
    skin.hands[0].main = {MakeColor(10, 20, 30), 60, 3, 2, -10, 0};
    skin.hands[0].shadowOffset = 4;
    skin.hands[0].overlay = {MakeColor(1, 1, 1), 120, 9, 9, -50, 0}; // gives no reach
    skin.hands[2].overlay = {MakeColor(2, 2, 2), 200, 1, 1, 0, 0};   // a hand without a body
    skin.shadowAlpha = shadowAlpha;
    return skin;
}

TEST_F(SkinLoadTest, ReachesAndSurfacesFollowTheHandsAndSettings) {
    const struct {
        bool smooth, shadowSetting;
        int16_t shadowAlpha;
        int32_t handReach, shadowReach, supersampleSide, shadowSide; // side 0: not made
        int32_t shadowOn;
    } cases[] = {
        {true, true, 128, 63, 67, 260, 260, 1}, {false, true, 128, 62, 66, 0, 128, 1},
        {true, true, 0, 63, 67, 260, 0, 0},     {false, false, 128, 62, 66, 0, 0, 0},
        {false, true, -1, 62, 66, 0, 128, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        HandRenderer hands;
        hands.smoothShapes = c.smooth;
        PrepareHandRenderer(OneHandSkin(c.shadowAlpha), hands, c.shadowSetting);
        EXPECT_EQ(hands.handReach, c.handReach);
        EXPECT_EQ(hands.shadowOn, c.shadowOn);
        EXPECT_EQ(hands.workRect, (Rect{-c.handReach, -c.handReach, c.shadowReach, c.shadowReach}));
        EXPECT_EQ(hands.supersampleSurface.bitmap.size(),
                  QSize(c.supersampleSide, c.supersampleSide));
        EXPECT_EQ(hands.shadowSurface.bitmap.size(), QSize(c.shadowSide, c.shadowSide));
        EXPECT_EQ(hands.hands[0].mainGeometry.brush, MakeColor(10, 20, 30));
        EXPECT_EQ(hands.hands[0].overlayGeometry.brush, MakeColor(1, 1, 1));
        EXPECT_EQ(hands.hands[2].overlayGeometry.brush, MakeColor(2, 2, 2));
        EXPECT_FALSE(hands.hands[1].mainGeometry.brush.has_value());
        ReleaseHandRenderer(hands);
        EXPECT_FALSE(hands.hands[0].overlayGeometry.brush.has_value());
    }
}

// Hands at the loader's limits must not make surfaces beyond kMaxHandSurfaceSide; the hands are
// then drawn in plain mode.
TEST_F(SkinLoadTest, HugeHandsLoadWithoutSurfaces) {
    SkinFileLayout layout = SampleSkin();
    layout.parameters.hands[2].main = {0, 4096, 1024, 1024, 4096, 0};
    layout.parameters.hands[2].shadowOffset = 1024;
    ASSERT_TRUE(Load(layout)) << LastSkinError();
    EXPECT_EQ(renderer.handReach, 5121);
    EXPECT_EQ(renderer.supersampleSurface.pixels, nullptr);
    EXPECT_EQ(renderer.shadowSurface.pixels, nullptr);
}

// Every file of the corpus of broken and unusual skins gives the outcome its row in expected.txt
// names, without crashing and without leaving the temporary file behind.
TEST_F(SkinLoadTest, CorpusFilesGiveTheirExpectedOutcome) {
    const QString corpus = QStringLiteral(MV_TEST_DATA_DIR "/skins");
    QFile table(corpus + "/expected.txt");
    ASSERT_TRUE(table.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList listed;
    for (const QString& line : QString::fromUtf8(table.readAll()).split('\n')) {
        const QStringList fields = line.trimmed().split(' ', Qt::SkipEmptyParts);
        if (fields.isEmpty() || fields[0].startsWith('#'))
            continue;
        SCOPED_TRACE(fields[0].toStdString());
        ASSERT_EQ(fields.size(), 2);
        ASSERT_TRUE(fields[1] == "loaded" || fields[1] == "rejected");
        ASSERT_TRUE(QFile::exists(corpus + "/" + fields[0]));
        listed << fields[0];
        Skin fresh;
        const bool loaded = LoadSkin(corpus + "/" + fields[0], fresh);
        EXPECT_EQ(fields[1], loaded ? "loaded" : "rejected") << LastSkinError();
        EXPECT_EQ(fresh.faceImage.rawData, nullptr);
        EXPECT_EQ(fresh.backgroundImage.rawData, nullptr);
        EXPECT_EQ(loaded, !fresh.faceImage.dc.isNull());
        EXPECT_FALSE(QFile::exists(TempPath()));
        ReleaseSkin(fresh);
    }
    EXPECT_GE(listed.size(), 20);
    // A file added to the corpus without a row would never be checked.
    for (const QString& file : QDir(corpus).entryList({"*.scs", "crash-*"}, QDir::Files))
        EXPECT_TRUE(listed.contains(file)) << file.toStdString() << " has no row in expected.txt";
}

TEST_F(SkinLoadTest, DefaultSkinsLoad) {
    const QDir folder(QStringLiteral(MV_BUILD_DATA_DIR "/skins"));
    for (const QString& file : folder.entryList({"*.scs"}, QDir::Files)) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_TRUE(face.LoadSkin(folder.filePath(file), options)) << LastSkinError();
        EXPECT_FALSE(skin.faceImage.keyed.isNull());
    }
}

bool PathExists(const QString& path) {
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// A link at the temporary path is never followed, and a fifo, a folder or someone else's file
// there is left alone: the load fails. A stale file of ours is replaced, but not by a load that is
// rejected before it makes the temporary file.
TEST_F(SkinLoadTest, OnlyAStaleTemporaryFileOfOursIsReplaced) {
    const QByteArray path = QFile::encodeName(TempPath());
    const QString target = home.Path() + "/precious.txt", dangling = home.Path() + "/not-yet-there";
    ASSERT_TRUE(WriteAll(target, "keep me"));
    const auto linkTo = [&](const QString& to) {
        return symlink(QFile::encodeName(to).constData(), path.constData()) == 0;
    };
    const std::pair<const char*, std::function<bool()>> rows[] = {
        {"link to a file", [&] { return linkTo(target); }},
        {"dangling link", [&] { return linkTo(dangling); }},
        {"fifo", [&] { return mkfifo(path.constData(), 0600) == 0; }},
        {"folder", [&] { return mkdir(path.constData(), 0700) == 0; }},
        {"someone else's file (needs root)",
         [&] {
             return geteuid() == 0 && WriteAll(TempPath(), "theirs") &&
                    chown(path.constData(), 65534, 65534) == 0;
         }},
    };
    for (const auto& [name, make] : rows) {
        SCOPED_TRACE(name);
        if (!make())
            continue;
        struct stat before {
        }, after{};
        ASSERT_EQ(lstat(path.constData(), &before), 0);
        EXPECT_FALSE(Load(SampleSkin()));
        ASSERT_EQ(lstat(path.constData(), &after), 0);
        EXPECT_TRUE(after.st_ino == before.st_ino && after.st_mode == before.st_mode &&
                    after.st_size == before.st_size);
        ASSERT_EQ(std::remove(path.constData()), 0);
    }
    EXPECT_EQ(ReadAll(target), "keep me");
    EXPECT_FALSE(PathExists(dangling));

    ASSERT_TRUE(WriteAll(TempPath(), "left behind by a crash"));
    EXPECT_FALSE(Load(QByteArray("too short")));
    EXPECT_EQ(ReadAll(TempPath()), "left behind by a crash");
    ASSERT_TRUE(Load(SampleSkin())) << LastSkinError();
    EXPECT_FALSE(PathExists(TempPath()));
}

// A temporary file that can't take the picture is not the skin's fault: the load says so, naming
// the path and the system's reason, and leaves nothing behind.
TEST_F(SkinLoadTest, TemporaryFileThatCannotBeWrittenIsReportedAsSuch) {
    const QString path = Write("skin.scs", BuildSkinFile(SampleSkin()));
    SkinLoadFailure failure;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fullDisk{16, saved.rlim_max}; // writes stop at 16 bytes, with EFBIG
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &fullDisk), 0);
    EXPECT_FALSE(face.LoadSkin(path, options, failure));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(failure.error, SkinLoadError::TempFile);
    EXPECT_EQ(failure.tempFileProblem, TempPath() + ": File too large");
    EXPECT_FALSE(PathExists(TempPath()));
    EXPECT_TRUE(face.LoadSkin(path, options)) << LastSkinError(); // with room again
}

TEST(PrivateTempFileTest, IsPrivateRewoundAndDeletedOnlyWhileItIsStillOurs) {
    IsolatedHome home;
    const QString path = home.Path() + "/scratch.tmp";
    {
        PrivateTempFile temp;
        ASSERT_TRUE(temp.Create(path));
        EXPECT_FALSE(temp.Create(path)); // one file per owner
        struct stat info {};
        ASSERT_EQ(fstat(temp.Descriptor(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        const uint8_t longer[] = {1, 2, 3, 4, 5, 6};
        const uint8_t shorter[] = {9, 8};
        ASSERT_TRUE(temp.Replace(longer) && temp.Replace(shorter));
        uint8_t back[8] = {};
        EXPECT_EQ(read(temp.Descriptor(), back, sizeof(back)), 2);
        EXPECT_EQ(back[0], 9);
        // Someone puts another file at the path meanwhile: it is not ours to delete.
        ASSERT_TRUE(WriteAll(home.Path() + "/other", "theirs"));
        ASSERT_EQ(rename(QFile::encodeName(home.Path() + "/other").constData(),
                         QFile::encodeName(path).constData()),
                  0);
    }
    EXPECT_EQ(ReadAll(path), "theirs");
}

} // namespace
} // namespace mv::test
