#include "platform/draw_copy.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <cstring>
#include <type_traits>

namespace mv {

namespace {

// Source-over of a premultiplied pixel on an opaque one.
QRgb Over(QRgb source, QRgb target) {
    const uint32_t rest = 255 - qAlpha(source);
    return qRgb(qRed(source) + qRed(target) * rest / 255,
                qGreen(source) + qGreen(target) * rest / 255,
                qBlue(source) + qBlue(target) * rest / 255);
}

} // namespace

void CopyPixels(QImage& target, Point destination, const QImage& source, const Rect& sourceRect,
                const QRegion* clip) {
    if (&source == &target) {
        // A deep copy: a shared one would make the target detach from its pixel buffer.
        CopyPixels(target, destination, source.copy(), sourceRect, clip);
        return;
    }
    const Rect area = CopyDestination(destination, source, sourceRect, 1);
    const int32_t shiftX = sourceRect.left - destination.x;
    const int32_t shiftY = sourceRect.top - destination.y;
    WithSourceAndTargetLayouts(source, target, [&]<typename From, typename To>(const QImage& in) {
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = PixelRow<To>(target, y) + part.left;
                const auto* read = PixelRow<From>(in, y + shiftY) + part.left + shiftX;
                if constexpr (std::is_same_v<From, To>) {
                    std::memcpy(out, read, size_t(part.Width()) * sizeof(*out));
                } else {
                    for (int32_t x = 0; x < part.Width(); ++x)
                        out[x] = ConvertPixel<From, To>(read[x]);
                }
            }
        });
    });
}

void CopyKeyed(QImage& target, Point destination, const QImage& keyed, const Rect& sourceRect,
               const QRegion* clip) {
    if (keyed.format() != QImage::Format_ARGB32_Premultiplied) {
        if (keyed.isNull())
            return;
        CopyKeyed(target, destination, keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  sourceRect, clip);
        return;
    }
    const Rect area = CopyDestination(destination, keyed, sourceRect, 1);
    const int32_t shiftX = sourceRect.left - destination.x;
    const int32_t shiftY = sourceRect.top - destination.y;
    WithTargetLayout(target, [&]<typename To>() {
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = PixelRow<To>(target, y);
                const QRgb* read = PixelRow<Rgb32Pixels>(keyed, y + shiftY) + shiftX;
                for (int32_t x = part.left; x < part.right; ++x) {
                    const QRgb pixel = read[x];
                    const int alpha = qAlpha(pixel);
                    if (alpha == 255)
                        out[x] = To::FromRgb(pixel);
                    else if (alpha != 0)
                        out[x] = To::FromRgb(Over(pixel, To::ToRgb(out[x])));
                }
            }
        });
    });
}

} // namespace mv
