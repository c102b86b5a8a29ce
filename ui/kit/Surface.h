// The drawing surface: a window that paints its back colour and picture and holds
// windowless controls; picture boxes and frames are surfaces that are controls.
#pragma once

#include <windows.h>

#include <vector>

#include "core/Handles.h"
#include "ui/kit/Control.h"
#include "ui/kit/Skin.h"
#include "ui/kit/WindowedControl.h"

namespace vorlane::ui {

// A window that paints its back colour and picture and holds windowless controls
// and other windows: the form itself, picture boxes and frames.
class Surface {
public:
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    virtual ~Surface() = default;

    virtual HWND surfaceWindow() const = 0;
    virtual Form& owningForm() = 0;

    COLORREF BackColor() const { return backColor_; }
    void setBackColor(COLORREF color);
    Art Picture() const { return picture_; }
    void setPicture(Art picture);

    void add(Windowless& control);
    void invalidate(const RECT* rect = nullptr) const;

    // Paints background and windowless controls into dc, whose origin is the
    // surface's client origin.
    void paintContent(HDC dc, const RECT& client) const;

protected:
    LRESULT surfaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void resetSurface(COLORREF backColor, Art picture, bool transparent);
    void forgetWindowless() { windowless_.clear(); }
    // The control that gets the surface's own mouse events (picture boxes, frames).
    virtual Control* asControl() { return nullptr; }
    virtual Surface* parentSurface() const { return nullptr; }
    // Whether a press on the surface itself moves the focus to it.
    virtual bool takesFocus() const { return false; }
    virtual UINT surfaceDpi() = 0;

    static void registerSurfaceClass();
    static LRESULT CALLBACK surfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static constexpr const wchar_t* kSurfaceClass = L"VorlaneSurface";

private:
    Control* hitTest(POINT point);
    // Moves the focus to the surface for a press; false when a validation kept it.
    bool claimFocus();
    void routeMouse(UINT message, WPARAM wParam, LPARAM lParam);
    bool setPointer();
    HBRUSH backBrush();

    std::vector<Windowless*> windowless_;
    Control* pressed_ = nullptr;
    COLORREF backColor_ = colors::kWindow;
    Art picture_ = Art::None;
    bool transparent_ = false;
    GdiObjectHandle brush_;
    COLORREF brushColor_ = CLR_INVALID;
};

class PictureBox : public WindowedControl, public Surface {
public:
    // A transparent picture box shows its container through what its picture leaves.
    void create(Surface& container, const DesignRect& rect, Art picture, bool transparent = true,
                COLORREF backColor = colors::kWindow);
    HWND surfaceWindow() const override { return hwnd_; }
    Form& owningForm() override { return form(); }
    // Picture and back colour come from Surface.
    using Surface::Picture;
    using Surface::setPicture;

protected:
    Control* asControl() override { return this; }
    Surface* parentSurface() const override { return container_; }
    bool takesFocus() const override { return true; }
    UINT surfaceDpi() override;
};

// A plain container: a page of controls that is shown or hidden as one.
class Frame : public PictureBox {
public:
    void create(Surface& container, const DesignRect& rect, COLORREF backColor);

protected:
    bool takesFocus() const override { return false; }
};

}  // namespace vorlane::ui
