// The base control: placing, showing, enabling and moving it, and the pointer shapes.
#include "ui/kit/Control.h"

#include "ui/kit/Form.h"

namespace vorlane::ui {

HCURSOR cursorFor(MousePointer pointer) {
    switch (pointer) {
    case MousePointer::SizeAll: return LoadCursorW(nullptr, IDC_SIZEALL);
    case MousePointer::Custom: return customPointer();
    default: return LoadCursorW(nullptr, IDC_ARROW);
    }
}

int currentShiftState() {
    return ((GetKeyState(VK_SHIFT) < 0) ? vbShiftMask : 0) | ((GetKeyState(VK_CONTROL) < 0) ? vbCtrlMask : 0) |
           ((GetKeyState(VK_MENU) < 0) ? vbAltMask : 0);
}

// ---- Control

Form& Control::form() const { return container_->owningForm(); }

void Control::place(Surface& container, const DesignRect& rect) {
    container_ = &container;
    rect_ = rect;
    visible_ = true;
    enabled_ = true;
    pointer_ = MousePointer::Default;
    Tag.clear();
    Click = nullptr;
    MouseDown = MouseMove = MouseUp = nullptr;
    form().registerControl(*this);
}

RECT Control::deviceRect() const {
    const UINT dpi = container_ ? form().dpi() : 96;
    return {scaled(rect_.left, dpi), scaled(rect_.top, dpi), scaled(rect_.left + rect_.width, dpi),
            scaled(rect_.top + rect_.height, dpi)};
}

void Control::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    applyVisible();
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    applyEnabled();
}

void Control::setRect(const DesignRect& rect) {
    if (container_) {
        const RECT old = deviceRect();
        container_->invalidate(&old);
    }
    rect_ = rect;
    applyGeometry();
}

void Control::setWidth(int width) {
    DesignRect rect = rect_;
    rect.width = width;
    setRect(rect);
}

void Control::applyGeometry() {
    if (!container_) return;
    const RECT now = deviceRect();
    container_->invalidate(&now);
}

void Control::applyVisible() { applyGeometry(); }

}  // namespace vorlane::ui
