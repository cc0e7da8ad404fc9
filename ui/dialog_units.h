#pragma once
// Sizes of the dialogs. Templates are laid out in dialog units of the 8-point dialog font and
// fixed pixel sizes are given for 96 dots per inch; both become widget pixels here.
//
// Dialog units use fixed base units instead of measuring a font: the 8-point dialog font is
// 6 pixels wide on average and 13 pixels high at 96 dots per inch, so one horizontal unit
// (a quarter of the average width) is 1.5 pixels and one vertical unit (an eighth of the height)
// 1.625 pixels at 96 dpi, both growing in proportion to the resolution.

#include <QRect>
#include <cstdint>

class QFont;
class QWidget;

namespace mv {

// Dots per inch of widget pixels. ScreenDpi counts device pixels; Qt lays widgets out in
// logical pixels, so on a screen with a device pixel ratio the two differ.
struct DialogDpi {
    int32_t x = 96;
    int32_t y = 96;
};

// ScreenDpi divided by the widget's device pixel ratio; 96 when the screen can't be asked.
DialogDpi WidgetDpi(const QWidget* widget);

// A length given for 96 dots per inch: (n x dpi + 48) / 96.
constexpr int32_t ScaleLength(int32_t n, int32_t dpi) {
    return (n * dpi + 48) / 96;
}

// A template rectangle (left, top, width, height in dialog units) in widget pixels, rounded.
QRect DialogUnitsToPixels(const QRect& units, DialogDpi dpi);

// The 8-point dialog font, sized in pixels for the resolution.
QFont DialogFont(DialogDpi dpi);

// The bold user-interface font: character height (12 x dpiY + 48) / 96 pixels, weight 700.
QFont MakeBoldFont(DialogDpi dpi);

} // namespace mv
