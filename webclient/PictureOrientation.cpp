// Where each pixel goes when a picture is shown as its EXIF orientation says.
#include "webclient/PictureOrientation.h"

namespace vorlane {

PictureOrientation::PictureOrientation(int orientation, uint32_t storedWidth, uint32_t storedHeight)
    : orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1),
      width_(storedWidth),
      height_(storedHeight) {}

PictureOrientation::Place PictureOrientation::shownAt(uint32_t x, uint32_t y) const {
    const uint32_t right = width_ - 1 - x;   // counted from the stored right edge
    const uint32_t bottom = height_ - 1 - y;  // counted from the stored bottom edge
    switch (orientation_) {
        case 2: return {right, y};
        case 3: return {right, bottom};
        case 4: return {x, bottom};
        case 5: return {y, x};
        case 6: return {bottom, x};
        case 7: return {bottom, right};
        case 8: return {y, right};
        default: return {x, y};
    }
}

}  // namespace vorlane
