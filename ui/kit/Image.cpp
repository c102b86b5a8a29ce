// The image: its picture, drawn by its container.
#include "ui/kit/Image.h"

#include "ui/kit/Surface.h"

namespace vorlane::ui {

void Image::create(Surface& container, const DesignRect& rect, Art picture) {
    place(container, rect);
    picture_ = picture;
    container.add(*this);
}

void Image::setPicture(Art picture) {
    picture_ = picture;
    applyGeometry();
}

void Image::paint(HDC dc, const RECT& rect, UINT dpi) const { drawArt(dc, rect, picture_, dpi); }

}  // namespace vorlane::ui
