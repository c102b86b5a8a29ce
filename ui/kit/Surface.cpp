// The drawing surface: painting its content off screen, routing the mouse to its
// windowless controls, and the picture boxes and frames built on it.
#include "ui/kit/Surface.h"

#include <windowsx.h>

#include "core/Trap.h"
#include "ui/kit/ControlInput.h"
#include "ui/kit/Form.h"
#include "ui/kit/PaintGuards.h"

namespace vorlane::ui {

namespace {

bool isEditWindow(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

void Surface::resetSurface(COLORREF backColor, Art picture, bool transparent) {
    windowless_.clear();
    pressed_ = nullptr;
    backColor_ = backColor;
    picture_ = picture;
    transparent_ = transparent;
}

void Surface::setBackColor(COLORREF color) {
    backColor_ = color;
    invalidate();
}

void Surface::setPicture(Art picture) {
    picture_ = picture;
    invalidate();
}

void Surface::add(Windowless& control) { windowless_.push_back(&control); }

void Surface::invalidate(const RECT* rect) const {
    if (HWND window = surfaceWindow()) InvalidateRect(window, rect, FALSE);
}

void Surface::paintContent(HDC dc, const RECT& client) const {
    Surface* parent = parentSurface();
    if (transparent_ && parent && parent->surfaceWindow()) {
        // Show the container through: paint it with its origin moved under ours.
        POINT offset{0, 0};
        MapWindowPoints(surfaceWindow(), parent->surfaceWindow(), &offset, 1);
        POINT oldOrigin;
        OffsetViewportOrgEx(dc, -offset.x, -offset.y, &oldOrigin);
        RECT parentClient;
        GetClientRect(parent->surfaceWindow(), &parentClient);
        parent->paintContent(dc, parentClient);
        SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    } else {
        SetBkColor(dc, backColor_);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    }
    const UINT dpi = const_cast<Surface*>(this)->surfaceDpi();
    if (picture_ != Art::None) drawArt(dc, client, picture_, dpi);
    for (const Windowless* control : windowless_)
        if (control->Visible()) control->paint(dc, control->deviceRect(), dpi);
}

Control* Surface::hitTest(POINT point) {
    for (auto it = windowless_.rbegin(); it != windowless_.rend(); ++it) {
        Windowless* control = *it;
        const RECT box = control->deviceRect();
        if (control->Visible() && control->Enabled() && PtInRect(&box, point)) return control;
    }
    return asControl();
}

void Surface::routeMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = surfaceWindow();
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    Control* target = (message != WM_MOUSEMOVE && isButtonDown(message)) ? hitTest(point)
                                                                         : (pressed_ ? pressed_ : hitTest(point));
    if (!target) return;

    POINT origin{0, 0};
    if (target != asControl()) {
        const RECT box = target->deviceRect();
        origin = {box.left, box.top};
    }
    MouseEvent event{message == WM_MOUSEMOVE ? buttonsHeld(wParam) : buttonOf(message), shiftOf(wParam),
                     point.x - origin.x, point.y - origin.y};

    if (isButtonDown(message)) {
        // A picture box takes the focus from the control that has it, unless that
        // control's validation keeps it: then the press does nothing.
        if (target == asControl() && takesFocus() && !claimFocus()) return;
        pressed_ = target;
        if (GetCapture() != window) SetCapture(window);
        raise(target->MouseDown, event);
    } else if (message == WM_MOUSEMOVE) {
        raise(target->MouseMove, event);
    } else if (isButtonUp(message)) {
        const bool clicked = message == WM_LBUTTONUP && pressed_ == target;
        if (buttonsHeld(wParam) == 0) {
            pressed_ = nullptr;
            if (GetCapture() == window) ReleaseCapture();
        }
        raise(target->MouseUp, event);
        // The handler may have unloaded the window.
        RECT box = target->deviceRect();
        if (target == asControl()) GetClientRect(window, &box);
        if (clicked && IsWindow(window) && surfaceWindow() == window && PtInRect(&box, point) && target->Enabled())
            raise(target->Click);
    }
}

bool Surface::claimFocus() {
    const HWND window = surfaceWindow();
    const HWND focus = GetFocus();
    // Only from within the same window: a press never activates a window by itself.
    if (!focus || focus == window || !sameTopWindow(focus, window)) return true;
    return moveFocus(window);
}

bool Surface::setPointer() {
    Form& form = owningForm();
    MousePointer pointer = form.mousePointer();
    if (pointer == MousePointer::Default) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(surfaceWindow(), &point);
        if (Control* target = hitTest(point)) pointer = target->mousePointer();
    }
    SetCursor(cursorFor(pointer));
    return true;
}

HBRUSH Surface::backBrush() {
    if (!brush_ || brushColor_ != backColor_) {
        brush_.reset(CreateSolidBrush(backColor_));
        brushColor_ = backColor_;
    }
    return static_cast<HBRUSH>(brush_.get());
}

LRESULT Surface::surfaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        // Whatever fails while the content is painted, the guards give the
        // window's DC, the buffer and its bitmap back.
        const PaintScope paint(window);
        RECT client;
        GetClientRect(window, &client);
        // Paint off screen first so that nothing flickers.
        const OffscreenBuffer buffer(paint.dc(), client.right, client.bottom);
        paintContent(buffer.dc(), client);
        buffer.show();
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(window, &client);
        paintContent(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
        routeMouse(message, wParam, lParam);
        return 0;
    case WM_SETFOCUS:
        owningForm().noteFocus(window);
        break;
    case WM_CAPTURECHANGED:
        // A release clears the press before it lets the capture go; a press
        // still held here lost the capture to something else.
        if (reinterpret_cast<HWND>(lParam) != window && pressed_) {
            pressed_ = nullptr;
            owningForm().pressCaptureLost();
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == window) return setPointer();
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const HWND child = reinterpret_cast<HWND>(lParam);
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, colors::kText);
        if (isEditWindow(child)) return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        SetBkColor(dc, backColor_);
        return reinterpret_cast<LRESULT>(backBrush());
    }
    case WM_COMMAND:
        if (WindowedControl* control = WindowedControl::fromWindow(reinterpret_cast<HWND>(lParam))) {
            control->onCommand(HIWORD(wParam));
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Surface::registerSurfaceClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = surfaceProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kSurfaceClass;
    registered = RegisterClassExW(&windowClass) != 0;
}

LRESULT CALLBACK Surface::surfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* surface = reinterpret_cast<Surface*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        WindowedControl::windowGone(window);
    }
    if (!surface || message == WM_NCCREATE || message == WM_NCDESTROY)
        return DefWindowProcW(window, message, wParam, lParam);
    return runDispatchTrapped(
        kDispatchProcedure, surface->owningForm().moduleName(),
        [&] { return surface->surfaceMessage(window, message, wParam, lParam); },
        [&] { return DefWindowProcW(window, message, wParam, lParam); });
}

// ---- PictureBox and Frame

void PictureBox::create(Surface& container, const DesignRect& rect, Art picture, bool transparent,
                        COLORREF backColor) {
    registerSurfaceClass();
    resetSurface(backColor, picture, transparent);
    makeWindow(container, rect, kSurfaceClass, L"", WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
               static_cast<Surface*>(this));
}

UINT PictureBox::surfaceDpi() { return form().dpi(); }

void Frame::create(Surface& container, const DesignRect& rect, COLORREF backColor) {
    PictureBox::create(container, rect, Art::None, false, backColor);
}

}  // namespace vorlane::ui
