#pragma once
// Points, rectangles and colours as the clock face uses them: window coordinates with x to the
// right and y downward; rectangles exclude their right and bottom edges; colours are 0x00BBGGRR.

#include <algorithm>
#include <cstdint>

namespace mv {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};
static_assert(sizeof(Rect) == 16);

// The union of an empty rectangle with another is the other.
inline Rect UnionRect(const Rect& a, const Rect& b) {
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// An intersection without overlap is the empty rectangle (0, 0, 0, 0).
inline Rect IntersectRect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return r.IsEmpty() ? Rect{} : r;
}

// Positions beyond this, either way, are far off any surface and are never drawn. Coordinates
// worked out in 64 bits are clamped to it, so that adding a hand's reach or doubling into
// surface coordinates afterwards still fits in 32 bits.
constexpr int64_t kCoordinateLimit = int64_t(1) << 28;

constexpr int32_t ClampCoordinate(int64_t value) {
    return int32_t(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

// A rectangle from 64-bit edges, each clamped to the coordinate limit.
constexpr Rect ClampedRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    return {ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(right),
            ClampCoordinate(bottom)};
}

inline Rect OffsetRect(const Rect& r, int32_t dx, int32_t dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// Colour channels of a 0x00BBGGRR value.
constexpr uint8_t RedOf(uint32_t color) {
    return color & 0xFF;
}
constexpr uint8_t GreenOf(uint32_t color) {
    return (color >> 8) & 0xFF;
}
constexpr uint8_t BlueOf(uint32_t color) {
    return (color >> 16) & 0xFF;
}
constexpr uint32_t MakeColor(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

} // namespace mv
