// The presenter's pixel conversion gives exactly what Qt shows for a 16-bit back buffer.
#include "platform/x11_presenter.h"

#include <QImage>
#include <gtest/gtest.h>
#include <vector>

namespace mv {
namespace {

TEST(X11Presenter, WidensEvery555PixelExactlyAsQtDoes) {
    constexpr int kPixels = 1 << 15;
    QImage image(kPixels, 1, QImage::Format_RGB555);
    auto* row = reinterpret_cast<uint16_t*>(image.scanLine(0));
    for (int value = 0; value < kPixels; ++value)
        row[value] = uint16_t(value);
    const QImage expected = image.convertToFormat(QImage::Format_RGB32);

    // Odd start and length, so the four-at-a-time part and the single tail both run.
    std::vector<uint32_t> out(kPixels);
    Rgb555RowToRgb32(row + 3, out.data() + 3, kPixels - 5);
    const auto* want = reinterpret_cast<const uint32_t*>(expected.constScanLine(0));
    for (int value = 3; value < kPixels - 2; ++value)
        ASSERT_EQ(out[value], want[value] & 0x00FFFFFFu) << value;
}

} // namespace
} // namespace mv
