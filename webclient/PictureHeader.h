// What a picture file says about itself before any decoder sees it: how many
// pixels it asks a decoder to hold, and how a JPEG photo is to be turned. Read
// from the file's own bytes, every read bounds-checked: the bytes come from the
// network.
#pragma once

#include <cstdint>
#include <span>

namespace vorlane {

struct PictureHeader {
    // Pixels a decoder holds to read the picture that is shown (JPEG, PNG,
    // GIF, BMP): its image, or for a GIF its first image, its screen at
    // least; 0 when its format is none of these or it declares no size.
    uint64_t decodedArea = 0;
    // The EXIF orientation of a JPEG, 1 to 8; 1 (as stored) when it has none.
    int orientation = 1;
    // For a GIF, the bytes from the start that hold its first image (or all
    // that precede the first block not known): an animation shows only that
    // one as a still picture. 0 for the other formats.
    uint64_t shownBytes = 0;
    // A GIF's logical screen and where its first image lies on it: decoders
    // show the whole screen. All 0 for the other formats.
    struct GifScreen {
        uint32_t width = 0, height = 0;
        uint32_t imageLeft = 0, imageTop = 0;
    } gifScreen;
};

PictureHeader readPictureHeader(std::span<const uint8_t> file);

}  // namespace vorlane
