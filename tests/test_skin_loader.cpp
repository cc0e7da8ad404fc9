// Skin file format rules: header, magic, offset table, image blocks, and what a failed load leaves.
#include "platform/binary_file.h"
#include "skin_load_fixture.h"

#include <QCursor>
#include <cstring>
#include <string>

namespace mv::test {
namespace {

const SkinParameters& Parameters(const Skin& skin) {
    return skin;
}

bool SameParameters(const SkinParameters& a, const SkinParameters& b) {
    return std::memcmp(&a, &b, sizeof(SkinParameters)) == 0;
}

TEST_F(SkinLoadTest, HeaderLengthOutsideRangeIsRejected) {
    for (int length : {0, 43, 44, 249, 255}) {
        SCOPED_TRACE(length);
        SkinFileLayout layout = SampleSpec();
        layout.headerLength = length;
        EXPECT_FALSE(Load(layout));
        EXPECT_EQ(LastSkinError(), "header length " + std::to_string(length) + " out of range");
    }
    SkinFileLayout preambleOnly = SampleSpec();
    preambleOnly.headerLength = 44;
    EXPECT_FALSE(Load(BuildSkinFile(preambleOnly).left(44)));
}

TEST_F(SkinLoadTest, ShortHeaderOrTableIsRejected) {
    const QByteArray file = BuildSkinFile(SampleSpec());
    const struct {
        int keep;
        const char* error;
    } cases[] = {
        {0, "file shorter than the 44-byte preamble"},
        {43, "file shorter than the 44-byte preamble"},
        {100, "header shorter than its length 248"},
        {247, "header shorter than its length 248"},
        {248, "image offset table incomplete"},
        {255, "image offset table incomplete"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keep);
        EXPECT_FALSE(Load(file.left(c.keep)));
        EXPECT_STREQ(LastSkinError(), c.error);
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

TEST_F(SkinLoadTest, HeaderOf45BytesGivesOnlyTheKeyColorsLowByte) {
    SkinFileLayout layout = SampleSpec();
    layout.headerLength = 45;
    ASSERT_TRUE(Load(layout));
    EXPECT_EQ(skin.keyColor, kKeyColor & 0xFF);
    for (const HandState& hand : renderer.hands) {
        EXPECT_FALSE(hand.mainGeometry.brush.has_value());
        EXPECT_FALSE(hand.overlayGeometry.brush.has_value());
    }
    EXPECT_EQ(renderer.shadowOn, 0);
    EXPECT_EQ(renderer.shadowSurface.pixels, nullptr);
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
    SkinFileLayout lower = SampleSpec();
    lower.magic = QByteArray("tev:: marovellastrine skin\n\r", 29);
    EXPECT_FALSE(Load(lower));

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
    const struct {
        const char* name;
        std::optional<uint32_t> faceOffset;
        std::optional<uint32_t> backgroundOffset;
        bool storeBackground;
        bool loads;
        bool hasBackground;
        const char* error;
    } cases[] = {
        {"both blocks", {}, {}, true, true, true, ""},
        {"block 1 offset 0: face runs to the end", {}, 0u, true, true, false, ""},
        {"block 1 at the file size: empty", {}, faceEnd, false, true, false, ""},
        {"block 1 beyond the end: face runs past it",
         {},
         faceEnd + 1,
         false,
         false,
         false,
         "face image block runs past the end of the file"},
        {"block 0 offset 0", 0u, {}, true, false, false, "face image block absent"},
        {"block 1 before block 0",
         {},
         faceStart - 1,
         true,
         false,
         false,
         "face image block empty or out of order"},
        {"block 1 equal to block 0",
         {},
         faceStart,
         true,
         false,
         false,
         "face image block empty or out of order"},
        {"block 0 beyond the end", 1u << 20, 0u, false, false, false,
         "face image block runs past the end of the file"},
        {"block 0 at the largest offset", 0xFFFFFFFFu, 0u, false, false, false,
         "face image block runs past the end of the file"},
        {"block 1 at the largest offset",
         {},
         0xFFFFFFFFu,
         false,
         false,
         false,
         "face image block runs past the end of the file"},
        {"block 1 inside the face cuts it short",
         {},
         faceStart + 40,
         true,
         false,
         false,
         "face image does not decode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFileLayout layout = SampleSpec();
        layout.face = face;
        layout.background = c.storeBackground ? background : QByteArray();
        layout.faceOffset = c.faceOffset;
        layout.backgroundOffset = c.backgroundOffset;
        EXPECT_EQ(Load(layout), c.loads);
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

TEST_F(SkinLoadTest, TrailingBytesGoToTheDecoderWithTheLastBlock) {
    SkinFileLayout layout = SampleSpec();
    layout.trailing = QByteArray(300, char(0xA5));
    EXPECT_TRUE(Load(layout)) << LastSkinError();
    layout.background = SolidPicture(3, 3, qRgb(0, 200, 0), "BMP");
    EXPECT_TRUE(Load(layout)) << LastSkinError();
    EXPECT_FALSE(skin.backgroundImage.bitmap.isNull());
}

TEST_F(SkinLoadTest, BackgroundThatIsAbsentOrBrokenStillLoads) {
    const struct {
        const char* name;
        QByteArray background;
        bool hasBackground;
    } cases[] = {
        {"absent", {}, false},
        {"not a picture", QByteArray("certainly not a picture"), false},
        {"picture cut short", SolidPicture(40, 40, qRgb(1, 2, 3), "PNG").left(60), false},
        {"portable pixmap (not accepted)", SolidPicture(4, 4, qRgb(1, 2, 3), "PPM"), false},
        {"bitmap", SolidPicture(5, 7, qRgb(1, 2, 3), "BMP"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFileLayout layout = SampleSpec();
        layout.background = c.background;
        ASSERT_TRUE(Load(layout)) << LastSkinError();
        EXPECT_EQ(!skin.backgroundImage.bitmap.isNull(), c.hasBackground);
        EXPECT_EQ(!skin.backgroundImage.dc.isNull(), c.hasBackground);
        EXPECT_EQ(skin.backgroundImage.width, c.hasBackground ? 5 : 0);
        EXPECT_EQ(skin.backgroundImage.rawData, nullptr);
        EXPECT_EQ(skin.faceImage.rawData, nullptr);
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
    settings.AntiAliased = 0;
    settings.Smooth = 1;
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
    }
    EXPECT_FALSE(LoadSkin(home.Path() + "/missing.scs", settings, skin, renderer));
    EXPECT_STREQ(LastSkinError(), "cannot open the file");
    EXPECT_FALSE(LoadSkin(home.Path(), settings, skin, renderer)); // a folder
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

TEST_F(SkinLoadTest, EveryWayOutRestoresTheCursor) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Load(SampleSpec()));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Load(QByteArray("short")));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    SkinFileLayout broken = SampleSpec();
    broken.face = "garbage";
    EXPECT_FALSE(Load(broken));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace mv::test
