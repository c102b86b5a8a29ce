// Turns a downloaded picture (JPEG, PNG, GIF or BMP, whatever the service
// sent) into the 24-bit Windows bitmap the desktop shows, and makes a bitmap
// the desktop wallpaper.
#pragma once

#include <string>

namespace vorlane {

// Decodes the picture at source and writes it as a bottom-up 24-bit bitmap to
// destination. The bitmap is written under a temporary name and moved over
// destination only when complete, so destination is never half-written. A file
// that is not a picture raises 481 (Invalid picture); a file that cannot be
// read or written raises the matching file error.
void convertPictureToBitmap(const std::wstring& source, const std::wstring& destination);

// Sets the bitmap as the desktop wallpaper, saved in the user's profile and
// announced to every window.
void setDesktopWallpaper(const std::wstring& bitmapPath);

}  // namespace vorlane
