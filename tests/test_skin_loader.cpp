// Skin file format rules: header, magic, offset table, image blocks, and what a failed load leaves.
#include "platform/binary_file.h"
#include "skin/skin_bounds.h"
#include "skin_load_fixture.h"

#include <QCursor>
#include <QFile>
#include <cstring>
#include <limits>
#include <string>

namespace mv::test {
namespace {

const SkinParameters& Parameters(const Skin& skin) {
    return skin;
}

bool SameParameters(const SkinParameters& a, const SkinParameters& b) {
    return std::memcmp(&a, &b, sizeof(SkinParameters)) == 0;
}

TEST_F(SkinLoadTest, BadHeaderLengthOrShortFileIsRejected) {
    for (int length : {0, 43, 44, 249, 255}) {
        SkinFileLayout layout = SampleSpec();
        layout.headerLength = length;
        EXPECT_FALSE(Load(layout));
        EXPECT_EQ(LastSkinError(), "header length " + std::to_string(length) + " out of range");
    }
    const QByteArray file = BuildSkinFile(SampleSpec());
    const std::pair<int, const char*> cuts[] = {
        {0, "file shorter than the 44-byte preamble"},
        {43, "file shorter than the 44-byte preamble"},
        {100, "header shorter than its length 248"},
        {247, "header shorter than its length 248"},
        {248, "image offset table incomplete"},
        {255, "image offset table incomplete"},
    };
    for (const auto& [keep, error] : cuts) {
        EXPECT_FALSE(Load(file.left(keep)));
        EXPECT_STREQ(LastSkinError(), error) << keep;
    }
}

// Every parameter byte the header stores comes from the file; every byte it doesn't is zero.
TEST_F(SkinLoadTest, ShorterHeadersStoreALeadingPartOfTheParameters) {
    for (int length : {45, 46, 112, 236, 247, 248}) {
        SCOPED_TRACE(length);
        SkinFileLayout layout = SampleSpec();
        layout.headerLength = length;
        SkinParameters expected{};
        std::memcpy(&expected, &layout.parameters, size_t(length - 44));
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        EXPECT_TRUE(SameParameters(Parameters(skin), expected));
        EXPECT_FALSE(skin.faceImage.bitmap.isNull());
    }
}

TEST_F(SkinLoadTest, MagicMustMatchExactlyWithItsTerminator) {
    const QByteArray good = BuildSkinFile(SampleSpec());
    const struct {
        const char* name;
        int at;
        char value;
    } damage[] = {
        {"terminator at byte 28 not zero", 28, 'X'},
        {"first letter in lower case", 0, 't'},
        {"letter case inside the name", 6, 'm'},
        {"carriage return at byte 27 changed", 27, '\n'},
    };
    for (const auto& d : damage) {
        SCOPED_TRACE(d.name);
        QByteArray file = good;
        file[d.at] = d.value;
        EXPECT_FALSE(Load(file));
        EXPECT_STREQ(LastSkinError(), "bad magic");
    }

    // Bytes 29 to 33 and 35 to 43 are not interpreted.
    QByteArray padded = good;
    for (int i : {29, 30, 31, 32, 33, 35, 40, 43})
        padded[i] = char(0xFF);
    EXPECT_TRUE(Load(padded)) << LastSkinError();
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
        {1u << 20, 0u, false, false, pastEnd},
        {0xFFFFFFFFu, 0u, false, false, pastEnd},
        {none, 0xFFFFFFFFu, false, false, pastEnd},
        {none, faceStart + 40, true, false, "face image does not decode"}, // face cut short
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        SkinFileLayout layout = SampleSpec();
        layout.face = face;
        layout.background = c.storeBackground ? background : QByteArray();
        layout.faceOffset = c.faceOffset;
        layout.backgroundOffset = c.backgroundOffset;
        EXPECT_EQ(Load(layout), *c.error == '\0');
        EXPECT_STREQ(LastSkinError(), c.error);
        EXPECT_EQ(!skin.backgroundImage.bitmap.isNull(), c.hasBackground);
    }
}

// A block runs to the next present block, the last one to the end of the file, trailing bytes
// included; it is read into a buffer of exactly that length.
TEST_F(SkinLoadTest, ReadImageBlockTakesTheBytesUpToTheNextBlockOrTheEnd) {
    QByteArray bytes(150, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i);
    const QString path = Write("blocks.bin", bytes);
    const struct {
        uint32_t face, background;
        int index;
        bool read;
        int start, length;
    } cases[] = {
        {100, 0, 0, true, 100, 50},   {100, 120, 0, true, 100, 20}, {100, 120, 1, true, 120, 30},
        {100, 150, 0, true, 100, 50}, {100, 150, 1, false, 0, 0},   {100, 0, 1, false, 0, 0},
        {0, 120, 0, false, 0, 0},     {149, 0, 0, true, 149, 1},    {150, 0, 0, false, 0, 0},
        {151, 0, 0, false, 0, 0},     {100, 90, 0, false, 0, 0},    {100, 151, 0, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.face << " " << c.background << " #" << c.index);
        BinaryFile file;
        ASSERT_TRUE(file.Open(path));
        const uint32_t offsets[2] = {c.face, c.background};
        std::unique_ptr<uint8_t[]> buffer;
        uint32_t length = 0;
        EXPECT_EQ(ReadImageBlock(file, file.Size(), offsets, c.index, buffer, length), c.read);
        if (!c.read) {
            EXPECT_EQ(buffer, nullptr);
            continue;
        }
        ASSERT_EQ(length, uint32_t(c.length));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer.get()), c.length),
                  bytes.mid(c.start, c.length));
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
        {"absent", {}, false, false},
        {"absent, trailing bytes after the face", {}, true, false},
        {"bitmap", SolidPicture(5, 7, qRgb(1, 2, 3), "BMP"), false, true},
        {"bitmap, trailing bytes after it", SolidPicture(5, 7, qRgb(1, 2, 3), "BMP"), true, true},
        {"not a picture", QByteArray("certainly not a picture"), false, false},
        {"picture cut short", SolidPicture(40, 40, qRgb(1, 2, 3), "PNG").left(60), false, false},
        {"portable pixmap (not accepted)", SolidPicture(4, 4, qRgb(1, 2, 3), "PPM"), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFileLayout layout = SampleSpec();
        layout.background = c.background;
        layout.trailing = c.trailingBytes ? trailing : QByteArray();
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(!skin.backgroundImage.dc.isNull(), c.hasBackground);
        EXPECT_EQ(skin.backgroundImage.width, c.hasBackground ? 5 : 0);
        EXPECT_EQ(skin.backgroundImage.rawData, nullptr);
        EXPECT_TRUE(skin.backgroundImage.keyed.isNull());
    }
}

TEST_F(SkinLoadTest, FaceThatDoesNotDecodeReleasesThePreviousSkin) {
    SkinFileLayout good = SampleSpec();
    good.background = SolidPicture(3, 3, qRgb(0, 200, 0));
    ASSERT_TRUE(Load(good));

    for (const QByteArray& face :
         {QByteArray("not a picture at all"), SolidPicture(4, 4, qRgb(1, 2, 3), "PPM"),
          EncodePicture(FacePicture(), "PNG").left(60)}) {
        SkinFileLayout broken = SampleSpec();
        broken.parameters.keyColor = MakeColor(1, 2, 3);
        broken.face = face;
        broken.background = good.background;
        EXPECT_FALSE(Load(broken));
        EXPECT_STREQ(LastSkinError(), "face image does not decode");
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(skin.keyColor, MakeColor(1, 2, 3)); // the new parameters
        for (const SkinImage* image : {&skin.faceImage, &skin.backgroundImage}) {
            EXPECT_TRUE(image->bitmap.isNull());
            EXPECT_TRUE(image->dc.isNull());
            EXPECT_EQ(image->rawData, nullptr);
        }
    }
}

TEST_F(SkinLoadTest, EarlyRejectionLeavesThePreviousSkinUntouched) {
    ASSERT_TRUE(Load(SampleSpec()));
    const SkinParameters before = Parameters(skin);
    const qint64 faceKey = skin.faceImage.bitmap.cacheKey();
    const uint16_t* supersample = renderer.supersampleSurface.pixels;
    const uint16_t* shadow = renderer.shadowSurface.pixels;
    ASSERT_NE(supersample, nullptr);
    ASSERT_NE(shadow, nullptr);

    SkinFileLayout other = SampleSpec();
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
        EXPECT_TRUE(SameParameters(Parameters(skin), before));
        EXPECT_EQ(skin.faceImage.bitmap.cacheKey(), faceKey);
        EXPECT_EQ(renderer.supersampleSurface.pixels, supersample);
        EXPECT_EQ(renderer.shadowSurface.pixels, shadow);
        EXPECT_EQ(renderer.handReach, 63);
        // Only the two motion and shape flags follow the settings at once.
        EXPECT_EQ(renderer.smoothShapes, 0);
        EXPECT_EQ(renderer.smoothMotion, 1);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_FALSE(face.LoadSkin(home.Path() + "/missing.scs", options));
    EXPECT_STREQ(LastSkinError(), "cannot open the file");
    EXPECT_FALSE(face.LoadSkin(home.Path(), options)); // a folder
    EXPECT_EQ(skin.faceImage.bitmap.cacheKey(), faceKey);
}

// Copies that leave out the key colour must be exact: the prepared sheet is 8-bit RGB, and the
// keyed sheet is transparent on the key colour and nowhere else.
TEST_F(SkinLoadTest, FacePictureIsPreparedForExactKeyedCopies) {
    const struct {
        const char* name;
        QByteArray face;
    } cases[] = {
        {"PNG", EncodePicture(FacePicture(), "PNG")},
        {"BMP", EncodePicture(FacePicture(), "BMP")},
        {"indexed PNG",
         EncodePicture(FacePicture().convertToFormat(QImage::Format_Indexed8), "PNG")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFileLayout layout = SampleSpec();
        layout.face = c.face;
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        const SkinImage& face = skin.faceImage;
        ASSERT_EQ(face.dc.format(), QImage::Format_RGB32);
        EXPECT_EQ(face.width, 8);
        EXPECT_EQ(face.height, 6);
        ASSERT_EQ(face.keyed.format(), QImage::Format_ARGB32_Premultiplied);
        ASSERT_EQ(face.keyed.size(), QSize(8, 6));
        const QImage expected = FacePicture();
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 8; ++x) {
                const QRgb keyed = face.keyed.pixel(x, y);
                EXPECT_EQ(face.dc.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
                const QRgb want = (y == 0 && x < 4) ? 0u : expected.pixel(x, y);
                EXPECT_EQ(keyed, want) << x << "," << y;
            }
        }
    }
}

} // namespace
} // namespace mv::test

namespace mv::test {
namespace {

// Parameters that no face can draw are refused before anything of the previous skin is touched;
// rectangles within the limits but outside the face picture once the picture has decoded, which
// releases the previous skin like a face that doesn't decode. Everything at a limit loads.
TEST_F(SkinLoadTest, ParametersNoFaceCanDrawAreRefused) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    enum Outcome { Loads, RefusedEarly, RefusedWithPicture };
    const struct {
        const char* name;
        void (*change)(SkinParameters&);
        Outcome outcome;
    } cases[] = {
        {"hub to INT32_MAX",
         [](SkinParameters& p) {
             p.hubRect = {0, 0, kMax, kMax};
         },
         RefusedEarly},
        {"face at INT32_MIN",
         [](SkinParameters& p) {
             p.faceRect = {kMin, kMin, 8, 6};
         },
         RefusedEarly},
        {"face 60000 square",
         [](SkinParameters& p) {
             p.faceRect = {0, 0, 60000, 60000};
         },
         RefusedEarly},
        {"face inverted",
         [](SkinParameters& p) {
             p.faceRect = {8, 6, 0, 1};
         },
         RefusedEarly},
        {"indicator inverted",
         [](SkinParameters& p) {
             p.gpsIndicatorRect = {7, 0, 6, 1};
         },
         RefusedEarly},
        {"hub past the picture",
         [](SkinParameters& p) {
             p.hubRect = {4, 0, 9, 1};
         },
         RefusedWithPicture},
        {"face below the picture",
         [](SkinParameters& p) {
             p.faceRect = {0, 1, 8, 7};
         },
         RefusedWithPicture},
        {"pivot offset", [](SkinParameters& p) { p.pivotOffsetX = kMax; }, RefusedEarly},
        {"indicator position", [](SkinParameters& p) { p.gpsIndicatorY = kMin; }, RefusedEarly},
        {"hand too long", [](SkinParameters& p) { p.hands[2].main.tipDistance = 32767; },
         RefusedEarly},
        {"tail too long", [](SkinParameters& p) { p.hands[0].main.baseDistance = -4097; },
         RefusedEarly},
        {"hand too wide", [](SkinParameters& p) { p.hands[0].main.baseHalfWidth = 1025; },
         RefusedEarly},
        {"negative width", [](SkinParameters& p) { p.hands[1].main.tipHalfWidth = -1; },
         RefusedEarly},
        {"overlay too long", [](SkinParameters& p) { p.hands[1].overlay.tipDistance = -4097; },
         RefusedEarly},
        {"hand shadow", [](SkinParameters& p) { p.hands[0].shadowOffset = -1025; }, RefusedEarly},
        {"hub shadow", [](SkinParameters& p) { p.hubShadowOffset = 1025; }, RefusedEarly},
        {"all at the limits",
         [](SkinParameters& p) {
             p.faceRect = {0, 0, 8, 6};
             p.hubRect = {8, 6, 8, 6}; // empty, in the picture's corner
             p.pivotOffsetX = -8192;
             p.gpsIndicatorX = 8192;
             p.hands[0].main = {0, 4096, 1024, 1024, -4096, kCapBase | kCapTip};
             p.hands[0].shadowOffset = -1024;
             p.hubShadowOffset = 1024;
         },
         Loads},
        {"absent parts are not checked",
         [](SkinParameters& p) {
             p.hubRect = {};
             p.gpsIndicatorRect = {};
             p.hands[2].main = {0, 0, -5, 32767, -32768, 0};
             p.hands[2].overlay.tipDistance = 32767;
             p.hands[2].shadowOffset = 32767;
         },
         Loads},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(SampleSpec())) << LastSkinError();
        const SkinParameters before = Parameters(skin);
        SkinFileLayout layout = SampleSpec();
        c.change(layout.parameters);
        SkinLoadFailure failure;
        const bool loaded =
            face.LoadSkin(Write("skin.scs", BuildSkinFile(layout)), options, failure);
        EXPECT_EQ(loaded, c.outcome == Loads) << LastSkinError();
        switch (c.outcome) {
        case Loads:
            EXPECT_FALSE(skin.faceImage.keyed.isNull());
            break;
        case RefusedEarly:
            EXPECT_EQ(failure.error, SkinLoadError::Format);
            EXPECT_TRUE(SameParameters(Parameters(skin), before));
            EXPECT_FALSE(skin.faceImage.bitmap.isNull());
            break;
        case RefusedWithPicture:
            EXPECT_EQ(failure.error, SkinLoadError::Picture);
            EXPECT_STREQ(LastSkinError(), "a rectangle lies outside the face picture");
            EXPECT_TRUE(skin.faceImage.bitmap.isNull());
            EXPECT_TRUE(skin.faceImage.dc.isNull());
            break;
        }
        EXPECT_EQ(SkinLoadFailureMessage(failure),
                  "Error loading skin file.\n\nSelect another file...");
    }
}

// An image block over the limit is refused before it is read; the file is sparse, so nothing of
// its gigabyte is written.
TEST_F(SkinLoadTest, ImageBlockOverTheLimitIsRefusedUnread) {
    const QString path = Write("huge.scs", BuildSkinFile(SampleSpec()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(qint64(1) << 30));
    file.close();
    ASSERT_TRUE(Load(SampleSpec()));
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

} // namespace
} // namespace mv::test
