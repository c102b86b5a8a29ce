// The image: a windowless picture of the skin.
#pragma once

#include <windows.h>

#include "ui/kit/Control.h"
#include "ui/kit/Skin.h"

namespace vorlane::ui {

class Image : public Windowless {
public:
    void create(Surface& container, const DesignRect& rect, Art picture);
    Art Picture() const { return picture_; }
    void setPicture(Art picture);
    void paint(HDC dc, const RECT& rect, UINT dpi) const override;

private:
    Art picture_ = Art::None;
};

}  // namespace vorlane::ui
