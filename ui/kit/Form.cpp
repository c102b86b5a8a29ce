// The window base: loading and unloading, showing, scaling, the drag and the message dispatch.
#include "ui/kit/Form.h"

#include <cmath>

#include "core/Convert.h"
#include "core/Trap.h"

namespace vorlane::ui {

namespace {

constexpr const wchar_t* kFormClass = L"VorlaneForm";

int toPixels(float twips, double twipsPerPixel) { return static_cast<int>(std::lround(twips / twipsPerPixel)); }

// The program's icon (resource 1) at the given size, or the stock application
// icon in a module that has none.
HICON programIcon(int width, int height) {
    const auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                    width, height, LR_DEFAULTCOLOR | LR_SHARED));
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

// What a message whose handling failed gets: the default handling, but for a
// close request, whose default would destroy the window (the main window must
// never go): the window stays as it is.
LRESULT afterFailedHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

Form::Form(const wchar_t* module, std::wstring caption, int designWidth, int designHeight, FormStyle style)
    : module_(module),
      caption_(std::move(caption)), designWidth_(designWidth), designHeight_(designHeight), style_(style) {}

Form::~Form() { Unload(); }

void Form::Load() {
    if (window_) return;
    static bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = formProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = programIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
        windowClass.hIconSm = programIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
        windowClass.lpszClassName = kFormClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
    registerSurfaceClass();

    controls_.clear();
    timers_.clear();
    nextId_ = 100;
    resetSurface(colors::kWindow, Art::None, false);
    dragging = false;
    startX = startY = 0;
    pointer_ = MousePointer::Default;

    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (style_.toolWindow) exStyle |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    if (style_.topmost) exStyle |= WS_EX_TOPMOST;
    if (style_.appWindow) exStyle |= WS_EX_APPWINDOW;
    const DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | (style_.minimizes ? WS_MINIMIZEBOX : 0);
    const HWND window = CreateWindowExW(exStyle, kFormClass, caption_.c_str(), style, 0, 0, designWidth_,
                                        designHeight_, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!window) {
        window_.release();
        return;
    }
    dpi_ = GetDpiForWindow(window);
    if (dpi_ == 0) dpi_ = 96;
    SetWindowPos(window, nullptr, 0, 0, scaled(designWidth_, dpi_), scaled(designHeight_, dpi_),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    centerOnScreen();
    createControls();
    Form_Load();
}

void Form::Unload() {
    if (!window_) return;
    for (Control* control : controls_)
        if (auto* windowed = dynamic_cast<WindowedControl*>(control)) windowed->detach();
    controls_.clear();
    timers_.clear();
    forgetWindowless();
    if (GetCapture() && GetAncestor(GetCapture(), GA_ROOT) == window_.get()) ReleaseCapture();
    window_.reset();
}

void Form::Show() {
    if (!window_) Load();
    // One hidden while minimized comes back as itself, not as a taskbar button.
    const int how = IsIconic(window_.get()) ? SW_RESTORE : style_.toolWindow ? SW_SHOWNOACTIVATE : SW_SHOW;
    ShowWindow(window_.get(), how);
}

void Form::Show(Form* owner) {
    if (!window_) Load();
    if (owner && owner->hwnd())
        SetWindowLongPtrW(window_.get(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner->hwnd()));
    Show();
}

void Form::Hide() {
    if (window_) ShowWindow(window_.get(), SW_HIDE);
}

bool Form::Visible() const { return window_ && IsWindowVisible(window_.get()); }

bool Form::Enabled() const { return window_ && IsWindowEnabled(window_.get()); }

void Form::setEnabled(bool enabled) {
    if (window_) EnableWindow(window_.get(), enabled);
}

void Form::ShowModal(Form* owner) {
    Load();
    const HWND ownerWindow = owner ? owner->hwnd() : nullptr;
    const bool disabledOwner = ownerWindow && IsWindowEnabled(ownerWindow);
    if (ownerWindow) SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerWindow));
    if (disabledOwner) EnableWindow(ownerWindow, FALSE);
    Show();
    MSG message;
    while (isLoaded() && Visible()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!translateFormMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (disabledOwner) EnableWindow(ownerWindow, TRUE);
}

RECT Form::screenRect() const {
    RECT rect{};
    if (window_) GetWindowRect(window_.get(), &rect);
    return rect;
}

void Form::moveTo(int left, int top) {
    const RECT rect = screenRect();
    if (rect.left == left && rect.top == top) return;
    if (window_) SetWindowPos(window_.get(), nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::centerOnScreen() {
    const RECT rect = screenRect();
    moveTo((GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2,
           (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2);
}

float Form::Left() const { return static_cast<float>(screenRect().left * twipsPerPixelX()); }
float Form::Top() const { return static_cast<float>(screenRect().top * twipsPerPixelY()); }

float Form::Width() const {
    const RECT rect = screenRect();
    return static_cast<float>((rect.right - rect.left) * twipsPerPixelX());
}

float Form::Height() const {
    const RECT rect = screenRect();
    return static_cast<float>((rect.bottom - rect.top) * twipsPerPixelY());
}

void Form::setLeft(float twips) { moveTo(toPixels(twips, twipsPerPixelX()), screenRect().top); }
void Form::setTop(float twips) { moveTo(screenRect().left, toPixels(twips, twipsPerPixelY())); }

void Form::setHeight(float twips) {
    if (!window_) return;
    const RECT rect = screenRect();
    const int height = toPixels(twips, twipsPerPixelY());
    if (rect.bottom - rect.top == height) return;
    SetWindowPos(window_.get(), nullptr, 0, 0, rect.right - rect.left, height,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

float Form::screenWidth() const { return static_cast<float>(GetSystemMetrics(SM_CXSCREEN) * twipsPerPixelX()); }
float Form::screenHeight() const { return static_cast<float>(GetSystemMetrics(SM_CYSCREEN) * twipsPerPixelY()); }

void Form::setMousePointer(MousePointer pointer) {
    pointer_ = pointer;
    if (!window_) return;
    POINT cursor;
    GetCursorPos(&cursor);
    const HWND under = WindowFromPoint(cursor);
    const HWND capture = GetCapture();
    const bool ours = (under && GetAncestor(under, GA_ROOT) == window_.get()) ||
                      (capture && GetAncestor(capture, GA_ROOT) == window_.get());
    if (ours) SetCursor(cursorFor(pointer));
}

// ---- the borderless frame's drag

void Form::dragMouseDown(const MouseEvent& event) {
    dragging = true;
    startX = toInt16(static_cast<double>(event.x));
    startY = toInt16(static_cast<double>(event.y));
    setMousePointer(MousePointer::SizeAll);
}

void Form::dragMouseMove(const MouseEvent& event) {
    if (dragging) dragBy(event);
}

void Form::dragMouseUp(const MouseEvent& event) {
    if (!dragging) return;
    dragBy(event);
    dragging = false;
    setMousePointer(MousePointer::Default);
}

void Form::pressCaptureLost() {
    if (!dragging) return;
    dragging = false;
    setMousePointer(MousePointer::Default);
}

void Form::dragBy(const MouseEvent& event) {
    // The grabbed point moves with the window, so the offset from the grab point
    // is the pointer's movement since the last event.
    RECT rect = screenRect();
    moveTo(rect.left + (event.x - startX), rect.top);
    rect = screenRect();
    moveTo(rect.left, rect.top + (event.y - startY));
}

// ---- bookkeeping

void Form::registerControl(Control& control) { controls_.push_back(&control); }

int Form::registerWindowed(WindowedControl&) { return nextId_++; }

UINT_PTR Form::registerTimer(Timer& timer) {
    timers_.push_back(&timer);
    return static_cast<UINT_PTR>(nextId_++);
}

WindowedControl* Form::defaultButton() const {
    for (Control* control : controls_) {
        auto* button = dynamic_cast<CommandButton*>(control);
        if (button && button->isDefault() && button->Enabled() && button->hwnd()) return button;
    }
    return nullptr;
}

WindowedControl* Form::focusedControl() const {
    const HWND focus = GetFocus();
    if (!focus || !window_ || !IsChild(window_.get(), focus)) return nullptr;
    if (WindowedControl* control = WindowedControl::fromWindow(focus)) return control;
    return WindowedControl::fromWindow(GetParent(focus));  // the edit field of a combo box
}

void Form::noteFocus(HWND window) {
    if (window_ && (window == window_.get() || IsChild(window_.get(), window))) lastFocus_ = window;
}

void Form::restoreFocus(HWND target) {
    const HWND window = window_.get();
    const HWND focus = GetFocus();
    if (!window || !IsWindowVisible(window) || (focus && IsChild(window, focus))) return;
    if (target == window) return;  // the window itself had it
    if (!target || !IsChild(window, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
        target = GetNextDlgTabItem(window, nullptr, FALSE);
    if (target && target != window) SetFocus(target);
}

void Form::relayout() {
    SetWindowPos(window_.get(), nullptr, 0, 0, scaled(designWidth_, dpi_), scaled(designHeight_, dpi_),
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    for (Control* control : controls_) {
        control->applyGeometry();
        if (auto* windowed = dynamic_cast<WindowedControl*>(control)) windowed->applyFont();
    }
    invalidate();
}

LRESULT Form::formMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT Form::message(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_.get();
    bool handled = false;
    const LRESULT result = formMessage(message, wParam, lParam, handled);
    if (handled) return result;

    switch (message) {
    case WM_TIMER:
        for (Timer* timer : timers_) {
            if (timer->id_ == wParam) {
                if (timer->Tick) timer->Tick();
                return 0;
            }
        }
        break;
    case WM_CLOSE:
        closeRequested();
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE && !style_.minimizes) return 0;
        break;
    case WM_CANCELMODE: {
        // Sent when a message box comes up over the window: a press held in any
        // of its controls lets go of the mouse, which ends a drag.
        const HWND capture = GetCapture();
        if (capture && IsChild(window, capture)) ReleaseCapture();
        break;
    }
    case WM_SHOWWINDOW:
        // Each opening starts at the first control.
        if (wParam) lastFocus_ = nullptr;
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
            // Activation hands the focus to the window itself first.
            const HWND wanted = lastFocus_;
            const LRESULT activated = surfaceMessage(window, message, wParam, lParam);
            restoreFocus(wanted);
            return activated;
        }
        break;
    case DM_GETDEFID:
        if (WindowedControl* button = defaultButton())
            return MAKELRESULT(GetDlgCtrlID(button->hwnd()), DC_HASDEFID);
        return 0;
    case WM_COMMAND: {
        // The Return key arrives as a command from the default button's id,
        // from the button itself or from no window at all.
        const auto from = reinterpret_cast<HWND>(lParam);
        WindowedControl* button = defaultButton();
        if (button && LOWORD(wParam) == GetDlgCtrlID(button->hwnd()) &&
            (!from || from == button->hwnd() || !WindowedControl::fromWindow(from))) {
            // As a click would: the control the focus leaves is checked first.
            if (WindowedControl* focused = focusedControl(); focused && !focused->mayLoseFocus()) return 0;
            button->onCommand(BN_CLICKED);
            return 0;
        }
        break;
    }
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        moveTo(suggested->left, suggested->top);
        relayout();
        return 0;
    }
    default:
        break;
    }
    return surfaceMessage(window, message, wParam, lParam);
}

LRESULT CALLBACK Form::formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // Bind the instance first, so that every later message reaches it.
        auto* form = static_cast<Form*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->window_.reset(window);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (form && form->window_.get() == window) form->window_.release();
    }
    if (!form || form->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
    return runDispatchTrapped(
        kDispatchProcedure, form->moduleName(), [&] { return form->message(message, wParam, lParam); },
        [&] { return afterFailedHandling(window, message, wParam, lParam); });
}

void enableDpiAwareness() {
    if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
        SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
}

bool translateFormMessage(MSG& message) {
    const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!root) return false;
    wchar_t name[32] = {};
    GetClassNameW(root, name, 32);
    return lstrcmpW(name, kFormClass) == 0 && IsDialogMessageW(root, &message);
}

}  // namespace vorlane::ui
