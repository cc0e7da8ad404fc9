#pragma once
// The "Get Skins..." action of the skin picker: the address of the page of downloadable skins,
// opened in the browser after the user agrees.

#include <QString>
#include <QStringView>
#include <cstdint>

class QDialog;

namespace mv {

// Addresses are kept to this many characters; a long model name is shortened to fit.
constexpr qsizetype kMaxDownloadAddressLength = 255;

// The page's address for this screen size, operating system build and device model. The model
// is percent-encoded, and cut (never inside an escape or a character) so the whole address fits
// in kMaxDownloadAddressLength.
QString SkinDownloadAddress(int32_t width, int32_t height, int32_t osBuild, QStringView model);

// Asks whether to open the page; on OK opens it and ends `picker` with DialogResult::Cancel, so
// no skin is chosen. On Cancel the picker stays open.
void OpenSkinDownloadPage(QDialog* picker);

} // namespace mv
