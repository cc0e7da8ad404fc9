#include "tools/skin-generator/default_skin.h"

#include <cmath>

namespace mv {

namespace {

constexpr uint32_t kKeyColor = MakeColor(0xFF, 0x00, 0xFF);
constexpr uint32_t kBackgroundTop = MakeColor(0x2E, 0x38, 0x46);
constexpr uint32_t kBackgroundBottom = MakeColor(0x0C, 0x0F, 0x13);
constexpr uint32_t kHandColor = MakeColor(0x23, 0x26, 0x2B);
constexpr uint32_t kLumeColor = MakeColor(0xEE, 0xE8, 0xDA);
constexpr uint32_t kSecondColor = MakeColor(0xC8, 0x30, 0x2A);
constexpr int16_t kShadowAlpha = 96;

Rect ToRect(const QRect& rect) {
    return {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
}

// Lengths are designed for the 240-pixel dial and scaled to the others.
struct Scaler {
    double factor;
    int16_t operator()(double length) const { return int16_t(std::lround(length * factor)); }
};

HandShape Shape(const Scaler& scale, uint32_t color, double tip, double base, double baseHalf,
                double tipHalf, uint32_t caps) {
    return {color, scale(tip), scale(baseHalf), scale(tipHalf), scale(base), caps};
}

} // namespace

SkinParameters DefaultSkinParameters(int dialSize) {
    const Scaler scale{dialSize / 240.0};
    const SheetLayout layout = LayoutSheet(dialSize);
    SkinParameters p{};
    p.keyColor = kKeyColor;
    p.backgroundTopColor = kBackgroundTop;
    p.backgroundBottomColor = kBackgroundBottom;
    p.faceRect = ToRect(layout.dial);
    p.hubRect = ToRect(layout.hub);
    p.gpsIndicatorRect = ToRect(layout.badge);
    // The badge sits between the pivot and the 6, centred.
    p.gpsIndicatorX = (dialSize - layout.badge.width()) / 2;
    p.gpsIndicatorY = int32_t(std::lround(dialSize * 0.655));

    const uint32_t bothCaps = kCapBase | kCapTip;
    HandStyle& hour = p.hands[0];
    hour.main = Shape(scale, kHandColor, 57, -11, 6.5, 3.5, bothCaps);
    hour.overlay = Shape(scale, kLumeColor, 49, 16, 2.5, 1.5, 0);
    hour.shadowOffset = scale(3);
    HandStyle& minute = p.hands[1];
    minute.main = Shape(scale, kHandColor, 88, -13, 4.5, 2, bothCaps);
    minute.overlay = Shape(scale, kLumeColor, 80, 17, 1.5, 1, 0);
    minute.shadowOffset = scale(3);
    HandStyle& second = p.hands[2];
    second.main = Shape(scale, kSecondColor, 98, -27, 2, 1, kCapBase);
    // A round counterweight on the tail: both ends on one point leave only the discs.
    second.overlay = Shape(scale, kSecondColor, -20, -20, 4.5, 4.5, bothCaps);
    second.shadowOffset = scale(4);

    p.shadowAlpha = kShadowAlpha;
    p.hubShadowOffset = scale(2);
    p.pivotOffsetX = 0;
    p.pivotOffsetY = 0;
    p.placement = 2 | (2 << 2); // centred along both axes
    return p;
}

} // namespace mv
