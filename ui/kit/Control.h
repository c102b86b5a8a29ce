// The base of every control: its place, visibility and mouse handlers, the event
// types the handlers get, and the windowless kind its container draws.
// Geometry is in design pixels (96 DPI) within the container; mouse coordinates
// are pixels on the screen's scale, relative to the control that gets the event.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vorlane::ui {

class Form;
class Surface;

// The procedure that the message dispatch names when it reports an error that no
// handler of a window trapped; the module is the window's ("frmMain").
inline constexpr const wchar_t* kDispatchProcedure = L"WindowProc";

enum class MousePointer { Default = 0, SizeAll = 5, Custom = 99 };
HCURSOR cursorFor(MousePointer pointer);

// Buttons and shift keys as the mouse and key handlers get them.
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

struct MouseEvent {
    int button = 0;
    int shift = 0;
    int x = 0;
    int y = 0;
};

struct KeyEvent {
    int keyCode = 0;
    int shift = 0;
};

struct DesignRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

using EventHandler = std::function<void()>;
using MouseHandler = std::function<void(const MouseEvent&)>;
using KeyHandler = std::function<void(const KeyEvent&)>;
// Asked when the focus is about to leave a control for another control of its
// window; setting cancel keeps the focus where it is.
using ValidateHandler = std::function<void(bool& cancel)>;

// Shift-state bits of the keyboard right now.
int currentShiftState();

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    std::wstring Tag;
    EventHandler Click;
    MouseHandler MouseDown;
    MouseHandler MouseMove;
    MouseHandler MouseUp;

    bool Visible() const { return visible_; }
    void setVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    MousePointer mousePointer() const { return pointer_; }
    void setMousePointer(MousePointer pointer) { pointer_ = pointer; }

    const DesignRect& rect() const { return rect_; }
    void setRect(const DesignRect& rect);
    int Width() const { return rect_.width; }
    void setWidth(int width);

    // Where the control lies in its container's client area, in device pixels.
    RECT deviceRect() const;
    Surface* container() const { return container_; }
    Form& form() const;

protected:
    // Joins the container with the design rect; every property goes back to its
    // design default, as on a fresh load.
    void place(Surface& container, const DesignRect& rect);
    virtual void applyGeometry();
    virtual void applyVisible();
    virtual void applyEnabled() {}

    Surface* container_ = nullptr;
    DesignRect rect_;
    bool visible_ = true;
    bool enabled_ = true;
    MousePointer pointer_ = MousePointer::Default;

    friend class Surface;
    friend class Form;
};

// Drawn by its container; has no window of its own.
class Windowless : public Control {
public:
    virtual void paint(HDC dc, const RECT& rect, UINT dpi) const = 0;
};

}  // namespace vorlane::ui
