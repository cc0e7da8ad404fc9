// The skin's pictures prepared for drawing from, and the release of the skin.
#include "platform/dither555.h"
#include "skin/skin_loader.h"

namespace mv {

void PrepareSkinImage(SkinImage& image) {
    if (image.bitmap.isNull())
        return;
    // One conversion at load, so that every later copy reads exact 8-bit RGB.
    QImage prepared = image.bitmap.convertToFormat(QImage::Format_RGB32);
    if (prepared.isNull())
        return;
    image.dc = std::move(prepared);
    image.width = image.dc.width();
    image.height = image.dc.height();
}

void PrepareKeyedImage(SkinImage& image, uint32_t keyColor) {
    if (image.dc.isNull())
        return;
    QImage keyed(image.dc.size(), QImage::Format_ARGB32_Premultiplied);
    if (keyed.isNull())
        return;
    const QRgb key = qRgb(RedOf(keyColor), GreenOf(keyColor), BlueOf(keyColor));
    for (int y = 0; y < image.dc.height(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(image.dc.constScanLine(y));
        auto* target = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < image.dc.width(); ++x) {
            const QRgb opaque = source[x] | 0xFF000000u;
            target[x] = opaque == key ? 0u : opaque;
        }
    }
    image.keyed = std::move(keyed);
    image.keyed555 = MakeKeyedPicture555(image.keyed);
}

void PrepareDitheredImage(SkinImage& image) {
    image.dc555 = DitherTo555(image.dc);
}

void ReleaseImageContext(SkinImage& image) {
    image.dc555 = QImage();
    image.keyed555 = KeyedPicture555{};
    image.keyed = QImage();
    image.dc = QImage();
}

void ReleaseSkinImage(SkinImage& image) {
    ReleaseImageContext(image);
    image.bitmap = QImage();
    image.rawData.reset();
    image.rawSize = 0;
    image.width = 0;
    image.height = 0;
}

void ReleaseSkin(Skin& skin) {
    ReleaseSkinImage(skin.faceImage);
    ReleaseSkinImage(skin.backgroundImage);
}

} // namespace mv
