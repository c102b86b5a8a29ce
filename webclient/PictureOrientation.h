// Where each pixel of a picture goes when it is shown as its EXIF orientation
// says: 1 as stored, 2 mirrored, 3 turned half round, 4 mirrored upside down;
// 5 to 8 swap rows and columns (6 turned a quarter clockwise, 8 a quarter
// anticlockwise, 5 and 7 those two mirrored).
#pragma once

#include <cstdint>

namespace vorlane {

class PictureOrientation {
public:
    // Any orientation outside 1 to 8 is taken as 1.
    PictureOrientation(int orientation, uint32_t storedWidth, uint32_t storedHeight);

    bool swapsSides() const { return orientation_ >= 5; }
    uint32_t shownWidth() const { return swapsSides() ? height_ : width_; }
    uint32_t shownHeight() const { return swapsSides() ? width_ : height_; }

    struct Place {
        uint32_t x, y;  // from the top left
    };
    // Where the stored pixel (x, y) is shown.
    Place shownAt(uint32_t x, uint32_t y) const;

private:
    int orientation_;
    uint32_t width_, height_;
};

}  // namespace vorlane
