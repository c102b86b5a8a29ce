// Turns a downloaded picture (JPEG, PNG, GIF or BMP, whatever the service
// sent) into the 24-bit Windows bitmap the desktop shows, and makes a bitmap
// the desktop wallpaper.
#pragma once

#include <string>

namespace vorlane {

// Decodes the picture at source and writes it as a bottom-up 24-bit bitmap to
// destination: a JPEG photo turned upright as its EXIF orientation says, a GIF
// (animated or not) as its first image on its whole logical screen. The bitmap
// is written under a temporary name, flushed to the disk and moved over
// destination only then, so destination is never half-written. A file that is
// not a JPEG, PNG, GIF or BMP whose size its header tells, or that has more
// pixels than any desktop shows, raises 481 (Invalid picture); a file that
// cannot be read or written raises the matching file error, a flush that
// fails 57 (Device I/O error) or 61 (Disk full).
void convertPictureToBitmap(const std::wstring& source, const std::wstring& destination);

// Sets the bitmap as the desktop wallpaper, saved in the user's profile and
// announced to every window.
void setDesktopWallpaper(const std::wstring& bitmapPath);

}  // namespace vorlane
