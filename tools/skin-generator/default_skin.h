#pragma once
// The program's default skins: one design drawn at the dial size of each size class.

#include "skin/skin.h"

#include <QImage>
#include <QRect>
#include <array>

namespace mv {

// Up to 480 the dial is as wide as the class's shorter side; above it the dial with its bezel
// takes 90% of the shorter side, leaving a margin of background around it on a large screen.
struct DefaultSkinSize {
    int sizeClass; // the file is default_<sizeClass>.scs
    int dialSize;
};

constexpr std::array<DefaultSkinSize, 6> kDefaultSkinSizes = {{
    {240, 240},
    {320, 320},
    {480, 480},
    {720, 648},
    {1080, 972},
    {1440, 1296},
}};

// Where the sprites lie in the face picture: the dial at the left, the hub and the GPS badge in
// a column beside it.
struct SheetLayout {
    QSize sheet;
    QRect dial;
    QRect hub;
    QRect badge;
};

SheetLayout LayoutSheet(int dialSize);

// The face picture: every sprite on the key colour.
QImage DrawFaceSheet(int dialSize);

// Colours, rectangles, hands and shadows of the skin of this dial size.
SkinParameters DefaultSkinParameters(int dialSize);

// The clock as it shows with this skin at 10:08:36 with a GPS fix, for the documentation.
QImage RenderSkinPreview(const SkinParameters& parameters, const QImage& face);

inline QColor ToQColor(uint32_t color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

} // namespace mv
