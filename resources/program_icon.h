#pragma once
// The program's pictures, drawn in code: the clock-face icon (icon 100, the same artwork as
// resources/marovellastrine.svg) and the vendor's mark (bitmap 212).

#include <QImage>

namespace mv {

// The icon at sizePixels x sizePixels, on a transparent background.
QImage DrawProgramIcon(int sizePixels);

// The 9 x 9 mark: four yellow squares separated by a white cross, with black edges.
QImage DrawVendorMark();

} // namespace mv
