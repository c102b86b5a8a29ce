// The windowed control: its window, focus and validation, and the input subclass
// that forwards the platform controls' mouse and key messages to the handlers.
#include "ui/kit/WindowedControl.h"

#include <windowsx.h>
#include <commctrl.h>

#include "core/Trap.h"
#include "ui/kit/ControlInput.h"
#include "ui/kit/Form.h"

namespace vorlane::ui {

namespace {

constexpr const wchar_t* kControlProperty = L"VorlaneControl";
constexpr UINT_PTR kInputSubclass = 1;

// A validation that refused a focus move brings the focus back with this message,
// posted to the control, once the move is over (the focus cannot be taken back
// while it is being handed over).
UINT refocusMessage() {
    static const UINT message = RegisterWindowMessageW(L"VorlaneRefocus");
    return message;
}

// The control waiting for its focus to come back: no other validation runs meanwhile.
HWND refocusWindow = nullptr;
// Focus moves refused by a validation so far.
unsigned refusals = 0;

}  // namespace

WindowedControl::~WindowedControl() = default;

WindowedControl* WindowedControl::fromWindow(HWND window) {
    return window ? static_cast<WindowedControl*>(GetPropW(window, kControlProperty)) : nullptr;
}

void WindowedControl::makeWindow(Surface& container, const DesignRect& rect, const wchar_t* className,
                                 const std::wstring& text, DWORD style, DWORD exStyle, void* createParam) {
    place(container, rect);
    GotFocus = LostFocus = nullptr;
    KeyDown = KeyUp = nullptr;
    Validate = nullptr;
    const RECT box = deviceRect();
    Form& owner = form();
    const int id = owner.registerWindowed(*this);
    hwnd_ = CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD | WS_VISIBLE, box.left, box.top,
                            box.right - box.left, box.bottom - box.top, container.surfaceWindow(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), createParam);
    if (!hwnd_) return;
    SetPropW(hwnd_, kControlProperty, this);
    applyFont();
    onCreated();
}

void WindowedControl::detach() {
    if (hwnd_ && IsWindow(hwnd_)) RemovePropW(hwnd_, kControlProperty);
    hwnd_ = nullptr;
}

void WindowedControl::windowGone(HWND window) {
    WindowedControl* control = fromWindow(window);
    RemovePropW(window, kControlProperty);
    if (control && control->hwnd_ == window) control->hwnd_ = nullptr;
}

void WindowedControl::setFocus() {
    if (hwnd_) SetFocus(hwnd_);
}

void WindowedControl::validateFocusLoss(HWND newFocus) {
    if (!Validate || !hwnd_ || refocusWindow) return;
    // Moves inside the control (a combo box and its edit field) and moves to
    // another window, to the window itself, or to none, are not validated.
    if (!newFocus || newFocus == hwnd_ || IsChild(hwnd_, newFocus) || !sameTopWindow(newFocus, hwnd_) ||
        newFocus == GetAncestor(hwnd_, GA_ROOT))
        return;
    bool cancel = false;
    Validate(cancel);
    if (!cancel || !hwnd_) return;
    ++refusals;
    refocusWindow = hwnd_;
    PostMessageW(hwnd_, refocusMessage(), 0, 0);
}

bool WindowedControl::mayLoseFocus() {
    if (refocusWindow) return false;  // a refused move is still coming back
    if (!Validate || !hwnd_) return true;
    bool cancel = false;
    Validate(cancel);
    return !cancel;
}

bool moveFocus(HWND window) {
    const unsigned before = refusals;
    SetFocus(window);
    return refusals == before;
}

void WindowedControl::applyGeometry() {
    if (!hwnd_) return;
    const RECT box = deviceRect();
    SetWindowPos(hwnd_, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowedControl::applyVisible() {
    if (hwnd_) ShowWindow(hwnd_, visible_ ? SW_SHOWNA : SW_HIDE);
}

void WindowedControl::applyEnabled() {
    if (hwnd_) EnableWindow(hwnd_, enabled_);
}

void WindowedControl::applyFont() {
    if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(skinFont(font(), form().dpi())), TRUE);
}

std::wstring WindowedControl::windowText() const {
    if (!hwnd_) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void WindowedControl::setWindowText(const std::wstring& text) {
    if (hwnd_) SetWindowTextW(hwnd_, text.c_str());
}

void WindowedControl::subclassInput(HWND window) {
    if (window) SetWindowSubclass(window, inputProc, kInputSubclass, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK WindowedControl::inputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    auto* control = reinterpret_cast<WindowedControl*>(data);
    if (message == WM_NCDESTROY) {
        if (refocusWindow == window) refocusWindow = nullptr;
        windowGone(window);
        RemoveWindowSubclass(window, inputProc, kInputSubclass);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return runDispatchTrapped(
        kDispatchProcedure, control->form().moduleName(),
        [&] { return control->inputMessage(window, message, wParam, lParam); },
        [&] { return DefSubclassProc(window, message, wParam, lParam); });
}

LRESULT WindowedControl::inputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowedControl* control = this;
    if (message == refocusMessage()) {
        // Only while the member is still in this window and can use the control.
        // The control the focus had reached meanwhile never really had it: it is
        // not validated on the way back.
        const HWND focus = GetFocus();
        if (focus && sameTopWindow(focus, window) && IsWindowVisible(window) && IsWindowEnabled(window))
            control->setFocus();
        if (refocusWindow == window) refocusWindow = nullptr;
        return 0;
    }
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP: {
        const KeyEvent event{static_cast<int>(wParam), currentShiftState()};
        const KeyHandler& handler = message == WM_KEYDOWN ? control->KeyDown : control->KeyUp;
        if (handler) handler(event);
        if (message == WM_KEYDOWN && control->swallowsKey(wParam)) return 0;
        break;
    }
    case WM_KILLFOCUS:
        // Before the control's own handling, so that Validate comes before LostFocus.
        control->validateFocusLoss(reinterpret_cast<HWND>(wParam));
        break;
    case WM_SETFOCUS:
        control->form().noteFocus(window);
        break;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
        raise(control->MouseDown, {buttonOf(message), shiftOf(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
        // The control takes its new value first (a check box ticks on the release).
        // Its handling done, a failing handler is reported here: the release is not
        // handled a second time.
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        if (WindowedControl::fromWindow(window) == control || GetParent(window) == control->hwnd_)
            runTrapped(kDispatchProcedure, control->form().moduleName(), [&] {
                raise(control->MouseUp,
                      {buttonOf(message), shiftOf(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            });
        return result;
    }
    case WM_SETCURSOR:
        if (control->hwnd_ && control->form().mousePointer() != MousePointer::Default) {
            SetCursor(cursorFor(control->form().mousePointer()));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace vorlane::ui
