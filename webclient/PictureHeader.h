// What a picture file says about itself before any decoder sees it: how many
// pixels it asks a decoder to hold, and how a JPEG photo is to be turned. Read
// from the file's own bytes, every read bounds-checked: the bytes come from the
// network.
#pragma once

#include <cstdint>
#include <span>

namespace vorlane {

struct PictureHeader {
    // Pixels a decoder holds to read the file (JPEG, PNG, GIF, BMP): its
    // image, or for a GIF all its images together, its screen at least; 0
    // when its format is none of these or it declares no size.
    uint64_t decodedArea = 0;
    // The EXIF orientation of a JPEG, 1 to 8; 1 (as stored) when it has none.
    int orientation = 1;
};

PictureHeader readPictureHeader(std::span<const uint8_t> file);

}  // namespace vorlane
