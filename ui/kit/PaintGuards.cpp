// The off-screen buffer of a paint: made when there is memory for it, shown at once.
#include "ui/kit/PaintGuards.h"

#include <algorithm>

namespace vorlane::ui {

OffscreenBuffer::OffscreenBuffer(HDC target, int width, int height)
    : target_(target), width_(std::max(width, 1)), height_(std::max(height, 1)) {
    if (!target) return;
    memory_.reset(CreateCompatibleDC(target));
    bitmap_.reset(CreateCompatibleBitmap(target, width_, height_));
    if (!memory_ || !bitmap_) return;
    selection_.emplace(memory_.get(), bitmap_.get());
    if (!selection_->selected()) selection_.reset();
}

void OffscreenBuffer::show() const {
    if (selection_) BitBlt(target_, 0, 0, width_, height_, memory_.get(), 0, 0, SRCCOPY);
}

}  // namespace vorlane::ui
