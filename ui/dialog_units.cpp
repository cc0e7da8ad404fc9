#include "ui/dialog_units.h"

#include "platform/screen.h"

#include <QFont>
#include <QWidget>

namespace mv {

namespace {

constexpr int32_t kBaseUnitWidth = 6;   // pixels at 96 dpi
constexpr int32_t kBaseUnitHeight = 13; // pixels at 96 dpi
constexpr int32_t kDialogFontPoints = 8;

// units x base x dpi / (divisor x 96), rounded to the nearest pixel.
int32_t UnitsToPixels(int32_t units, int32_t base, int32_t dpi, int32_t divisor) {
    const int64_t denominator = int64_t(divisor) * 96;
    return int32_t((int64_t(units) * base * dpi + denominator / 2) / denominator);
}

int32_t ToWidgetDpi(int32_t screenDpi, qreal ratio) {
    if (screenDpi <= 0)
        return 96;
    return int32_t(screenDpi / ratio + 0.5);
}

} // namespace

DialogDpi WidgetDpi(const QWidget* widget) {
    const qreal ratio =
        widget != nullptr && widget->devicePixelRatioF() > 0 ? widget->devicePixelRatioF() : 1.0;
    return {ToWidgetDpi(ScreenDpi(DpiAxis::Horizontal), ratio),
            ToWidgetDpi(ScreenDpi(DpiAxis::Vertical), ratio)};
}

QRect DialogUnitsToPixels(const QRect& units, DialogDpi dpi) {
    return QRect(UnitsToPixels(units.x(), kBaseUnitWidth, dpi.x, 4),
                 UnitsToPixels(units.y(), kBaseUnitHeight, dpi.y, 8),
                 UnitsToPixels(units.width(), kBaseUnitWidth, dpi.x, 4),
                 UnitsToPixels(units.height(), kBaseUnitHeight, dpi.y, 8));
}

QFont DialogFont(DialogDpi dpi) {
    QFont font;
    font.setPixelSize((kDialogFontPoints * dpi.y + 36) / 72);
    return font;
}

QFont MakeBoldFont(DialogDpi dpi) {
    QFont font;
    font.setPixelSize(ScaleLength(12, dpi.y));
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace mv
