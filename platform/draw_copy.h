#pragma once
// Copies of a rectangle of pixels between images at the same size: plain, or leaving out the
// pixels of the skin's key colour. Parts outside either image or outside the clip (null = no
// clip) are left out.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>
#include <cstdint>
#include <vector>

namespace mv {

// Copies sourceRect of source to the target with its top-left corner at destination. Source and
// target may be the same image: the copy reads the picture as it was before the call.
void CopyPixels(QImage& target, Point destination, const QImage& source, const Rect& sourceRect,
                const QRegion* clip);

// The same from a keyed picture (premultiplied ARGB, alpha 0 exactly on the key colour): key
// pixels leave the target unchanged, opaque pixels are copied exactly, anything between is drawn
// over the target.
void CopyKeyed(QImage& target, Point destination, const QImage& keyed, const Rect& sourceRect,
               const QRegion* clip);

// A keyed picture whose pixels are all either key or opaque, made ready once for keyed copies
// into 16-bit targets: each opaque pixel dithered to 5-5-5 (the pattern fixed to the picture's
// top-left pixel), each key pixel as kKeyPixel555.
struct KeyedPicture555 {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint16_t> pixels; // row after row, width pixels each
};
constexpr uint16_t kKeyPixel555 = 0x8000; // bit 15 is never set in a 5-5-5 colour

// Empty when keyed is null or has a pixel that is neither key nor opaque.
KeyedPicture555 MakeKeyedPicture555(const QImage& keyed);

// Into a 16-bit 5-5-5 target, the pixels of the picture this was made from where it is not key
// (the same as CopyKeyed draws for colours that 5-5-5 holds exactly); a target in another format
// is not drawn into.
void CopyKeyed(QImage& target, Point destination, const KeyedPicture555& keyed,
               const Rect& sourceRect, const QRegion* clip);

} // namespace mv
