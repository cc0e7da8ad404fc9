#pragma once
// The loaded skin: the parameter block exactly as a skin file stores it, followed by the two
// decoded pictures.

#include "platform/draw_copy.h"
#include "platform/geometry.h"

#include <QImage>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace mv {

static_assert(std::endian::native == std::endian::little,
              "the parameter block is copied straight from the little-endian file");

// A bar from a base point to a tip point on the hand's axis, with optional round caps.
struct HandShape {
    uint32_t color;      // fill colour 0x00BBGGRR
    int16_t tipDistance; // pivot to tip; 0 = the shape is absent
    int16_t baseHalfWidth;
    int16_t tipHalfWidth;
    int16_t baseDistance; // pivot to base; negative = a tail behind the pivot
    uint32_t capFlags;    // bit 0: round cap at the base; bit 1: round cap at the tip
};
static_assert(sizeof(HandShape) == 16);

constexpr uint32_t kCapBase = 1;
constexpr uint32_t kCapTip = 2;

struct HandStyle {
    HandShape main;    // the body; it casts the shadow
    HandShape overlay; // drawn over the body in the hands pass only
    int16_t shadowOffset;
    uint8_t reserved[6];
};
static_assert(sizeof(HandStyle) == 40);

// The 204-byte parameter block; field offsets equal the block offsets of the file format.
struct SkinParameters {
    uint32_t keyColor;
    uint32_t backgroundTopColor;
    uint32_t backgroundBottomColor;
    Rect faceRect;
    Rect hubRect;
    Rect gpsIndicatorRect;
    int32_t gpsIndicatorX;
    int32_t gpsIndicatorY;
    HandStyle hands[3]; // 0 hour, 1 minute, 2 second
    int16_t shadowAlpha;
    int16_t hubShadowOffset;
    int32_t pivotOffsetX;
    int32_t pivotOffsetY;
    uint32_t placement; // bits 0-1 horizontal mode, bits 2-3 vertical mode
};
static_assert(sizeof(SkinParameters) == 204);
static_assert(offsetof(SkinParameters, faceRect) == 12);
static_assert(offsetof(SkinParameters, gpsIndicatorX) == 60);
static_assert(offsetof(SkinParameters, hands) == 68);
static_assert(offsetof(SkinParameters, shadowAlpha) == 188);
static_assert(offsetof(SkinParameters, pivotOffsetX) == 192);
static_assert(offsetof(SkinParameters, placement) == 200);

// One picture of the skin. Between reading and decoding it exists only as rawData; afterwards as
// bitmap, with dc the copy prepared for drawing from.
struct SkinImage {
    QImage bitmap;                      // the decoded picture; null = none
    std::unique_ptr<uint8_t[]> rawData; // the image block's bytes until they are decoded
    uint32_t rawSize = 0;
    QImage dc;                // prepared source for copies (RGB32); null = none
    QImage keyed;             // face only: dc, alpha 0 exactly on keyColor
    KeyedPicture555 keyed555; // face only: keyed for copies into 16-bit surfaces
    QImage dc555;             // background only: dc dithered for copies into 16-bit surfaces
    int32_t width = 0;
    int32_t height = 0;
};

struct Skin : SkinParameters {
    Skin() : SkinParameters{} {}
    SkinImage faceImage;
    SkinImage backgroundImage;
};

} // namespace mv
