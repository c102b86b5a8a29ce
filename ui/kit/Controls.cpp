#include "ui/kit/Controls.h"

#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>

#include "core/Trap.h"
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

bool sameTopWindow(HWND one, HWND other) { return GetAncestor(one, GA_ROOT) == GetAncestor(other, GA_ROOT); }

bool isEditWindow(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

int buttonOf(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: return vbLeftButton;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: return vbRightButton;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: return vbMiddleButton;
    default: return 0;
    }
}

int buttonsHeld(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? vbLeftButton : 0) | ((keys & MK_RBUTTON) ? vbRightButton : 0) |
           ((keys & MK_MBUTTON) ? vbMiddleButton : 0);
}

int shiftOf(WPARAM keys) {
    return ((keys & MK_SHIFT) ? vbShiftMask : 0) | ((keys & MK_CONTROL) ? vbCtrlMask : 0) |
           ((GetKeyState(VK_MENU) < 0) ? vbAltMask : 0);
}

bool isButtonDown(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

bool isButtonUp(UINT message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

void raise(const EventHandler& handler) {
    if (handler) handler();
}

void raise(const MouseHandler& handler, const MouseEvent& event) {
    if (handler) handler(event);
}

}  // namespace

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

// ---- Label and Image

void Label::create(Surface& container, const DesignRect& rect, std::wstring caption, FontRole font, COLORREF color,
                   Align align) {
    place(container, rect);
    caption_ = std::move(caption);
    font_ = font;
    color_ = color;
    align_ = align;
    ellipsis_ = Ellipsis::None;
    container.add(*this);
}

void Label::setCaption(const std::wstring& caption) {
    caption_ = caption;
    applyGeometry();
}

void Label::setForeColor(COLORREF color) {
    color_ = color;
    applyGeometry();
}

namespace {
// Wrapped at the words; a run of characters longer than a line (an address, the
// server's words quoted in a notice) is broken too rather than cut off at the
// right edge, and a line that would show only in part is left out.
constexpr UINT kLabelFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;
constexpr UINT kOneLineFormat = DT_SINGLELINE | DT_NOPREFIX;

// A memory device context with the label font selected, for measuring.
class MeasuringDC {
public:
    MeasuringDC(FontRole font, UINT dpi)
        : dc_(CreateCompatibleDC(nullptr)), oldFont_(SelectObject(dc_.get(), skinFont(font, dpi))) {}
    ~MeasuringDC() { SelectObject(dc_.get(), oldFont_); }
    MeasuringDC(const MeasuringDC&) = delete;
    MeasuringDC& operator=(const MeasuringDC&) = delete;
    HDC get() const { return dc_.get(); }

private:
    MemoryDCHandle dc_;
    HGDIOBJ oldFont_;
};

// text on one line, ellipsized as format says to width when it is wider.
std::wstring ellipsized(HDC dc, const std::wstring& text, int width, UINT format) {
    std::wstring buffer = text + std::wstring(5, L'\0');  // room for the ellipsis and the NUL
    RECT box{0, 0, width, 0};
    DrawTextW(dc, buffer.data(), -1, &box, kOneLineFormat | format | DT_MODIFYSTRING | DT_CALCRECT);
    buffer.resize(buffer.find(L'\0'));
    return buffer;
}

constexpr const wchar_t* kToolTipProperty = L"VorlaneToolTip";

// The tool of a label: its box on the window it is drawn in.
TTTOOLINFOW labelTool(HWND surface, const Label* label) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = surface;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    return tool;
}

// The form's one tooltip window, which its labels share (tools of one window
// share the relay of its mouse messages), made when make asks for it; the
// form's window takes it along.
HWND formToolTip(HWND form, bool make) {
    if (const auto tip = static_cast<HWND>(GetPropW(form, kToolTipProperty)); tip || !make) return tip;
    static const bool classes = [] {
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)classes;
    const HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    if (tip) SetPropW(form, kToolTipProperty, tip);
    return tip;
}
}  // namespace

void Label::paint(HDC dc, const RECT& rect, UINT dpi) const {
    const HGDIOBJ oldFont = SelectObject(dc, skinFont(font_, dpi));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled_ ? color_ : colors::kMutedText);
    UINT format = ellipsis_ == Ellipsis::None ? kLabelFormat : kOneLineFormat;
    if (align_ == Align::Center) format |= DT_CENTER;
    if (align_ == Align::Right) format |= DT_RIGHT;
    const std::wstring text = ellipsis_ == Ellipsis::None ? caption_ : ellipsizedCaption(dc, dpi);
    RECT box = rect;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format);
    SelectObject(dc, oldFont);
}

SIZE Label::textSize(const std::wstring& text, UINT dpi) const {
    const MeasuringDC dc(font_, dpi);
    RECT box{0, 0, widthAt(dpi), 0};
    const UINT format = ellipsis_ == Ellipsis::None ? kLabelFormat : kOneLineFormat;
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    return {box.right - box.left, box.bottom - box.top};
}

int Label::widthAt(UINT dpi) const { return scaled(rect_.left + rect_.width, dpi) - scaled(rect_.left, dpi); }

void Label::setEllipsis(Ellipsis ellipsis) {
    ellipsis_ = ellipsis;
    applyGeometry();
}

std::wstring Label::shownText(UINT dpi) const {
    if (ellipsis_ == Ellipsis::None) return caption_;
    const MeasuringDC dc(font_, dpi);
    return ellipsizedCaption(dc.get(), dpi);
}

std::wstring Label::ellipsizedCaption(HDC dc, UINT dpi) const {
    const int width = widthAt(dpi);
    if (ellipsis_ == Ellipsis::End) return ellipsized(dc, caption_, width, DT_END_ELLIPSIS);
    // The ellipsis goes before the last part of the path; an address ending in a
    // slash ("/favorites/") keeps that part, not only the slash.
    if (caption_.size() < 2 || caption_.back() != L'/') return ellipsized(dc, caption_, width, DT_PATH_ELLIPSIS);
    SIZE slash{};
    GetTextExtentPoint32W(dc, L"/", 1, &slash);
    const std::wstring head = caption_.substr(0, caption_.size() - 1);
    return ellipsized(dc, head, width - slash.cx, DT_PATH_ELLIPSIS) + L'/';
}

void Label::applyGeometry() {
    Control::applyGeometry();
    updateToolTip();
}

void Label::updateToolTip() {
    if (ellipsis_ == Ellipsis::None || !container_ || !container_->surfaceWindow()) return;
    const bool cut = visible_ && shownText(form().dpi()) != caption_;
    const HWND tip = formToolTip(form().hwnd(), cut);
    if (!tip) return;
    TTTOOLINFOW cutTool = labelTool(container_->surfaceWindow(), this);
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&cutTool));
    if (!cut) return;
    cutTool.uFlags = TTF_SUBCLASS;
    cutTool.rect = deviceRect();
    cutTool.lpszText = const_cast<wchar_t*>(caption_.c_str());
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&cutTool));
}

std::wstring Label::toolTipText() const {
    const HWND tip = container_ && container_->surfaceWindow() ? formToolTip(form().hwnd(), false) : nullptr;
    if (!tip) return {};
    std::wstring text(caption_.size() + INFOTIPSIZE, L'\0');
    TTTOOLINFOW held = labelTool(container_->surfaceWindow(), this);
    held.lpszText = text.data();
    if (!SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&held))) return {};
    text.resize(text.find(L'\0'));
    return text;
}

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

// ---- WindowedControl

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

// ---- Surface

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
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        // Paint off screen first so that nothing flickers.
        MemoryDCHandle memory(CreateCompatibleDC(dc));
        GdiObjectHandle bitmap(CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
        const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
        paintContent(memory.get(), client);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        SelectObject(memory.get(), old);
        EndPaint(window, &ps);
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
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
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

// ---- TextBox

void TextBox::create(Surface& container, const DesignRect& rect, const std::wstring& text, wchar_t passwordChar) {
    locked_ = false;
    Change = nullptr;
    makeWindow(container, rect, L"EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL | (passwordChar ? ES_PASSWORD : 0),
               WS_EX_CLIENTEDGE);
    if (passwordChar) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, passwordChar, 0);
    subclassInput(hwnd_);
}

void TextBox::setLocked(bool locked) {
    locked_ = locked;
    if (hwnd_) SendMessageW(hwnd_, EM_SETREADONLY, locked, 0);
}

int TextBox::SelStart() const {
    DWORD start = 0;
    if (hwnd_) SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

void TextBox::setSelStart(int start) {
    if (hwnd_) SendMessageW(hwnd_, EM_SETSEL, start, start);
}

int TextBox::SelLength() const {
    DWORD start = 0, end = 0;
    if (hwnd_) SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TextBox::setSelLength(int length) {
    const int start = SelStart();
    if (hwnd_) SendMessageW(hwnd_, EM_SETSEL, start, start + length);
}

void TextBox::onCommand(WORD code) {
    if (code == EN_SETFOCUS) raise(GotFocus);
    if (code == EN_KILLFOCUS) raise(LostFocus);
    if (code == EN_CHANGE) raise(Change);
}

// ---- ComboBox

void ComboBox::create(Surface& container, const DesignRect& rect, const std::wstring& text,
                      const std::vector<std::wstring>& items) {
    locked_ = false;
    // The window's height is that of the dropped-down list.
    DesignRect dropped = rect;
    dropped.height = rect.height + 160;
    makeWindow(container, dropped, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL);
    for (const std::wstring& item : items) AddItem(item);
    setText(text);
}

void ComboBox::onCreated() {
    subclassInput(hwnd_);
    subclassInput(editWindow());
}

HWND ComboBox::editWindow() const {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    return (hwnd_ && GetComboBoxInfo(hwnd_, &info)) ? info.hwndItem : nullptr;
}

void ComboBox::AddItem(const std::wstring& item) {
    if (hwnd_) SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void ComboBox::Clear() {
    if (hwnd_) SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
}

int ComboBox::ListCount() const { return hwnd_ ? static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)) : 0; }

std::wstring ComboBox::List(int index) const {
    if (!hwnd_ || index < 0 || index >= ListCount()) return {};
    const auto length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, index, 0);
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    SendMessageW(hwnd_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
    return text;
}

bool ComboBox::swallowsKey(WPARAM key) const {
    // The arrow and page keys would pick another item of the list.
    return locked_ && (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT);
}

void ComboBox::setLocked(bool locked) {
    locked_ = locked;
    if (HWND edit = editWindow()) SendMessageW(edit, EM_SETREADONLY, locked, 0);
}

void ComboBox::onCommand(WORD code) {
    if (code == CBN_SELCHANGE) {
        // The text shows the picked item before the handler looks at it.
        const int index = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
        if (index >= 0) setText(List(index));
        raise(Click);
    }
    if (code == CBN_SETFOCUS) raise(GotFocus);
    if (code == CBN_KILLFOCUS) raise(LostFocus);
}

// ---- OptionButton, CheckBox, CommandButton

void OptionButton::create(Surface& container, const DesignRect& rect, const std::wstring& caption, bool value) {
    makeWindow(container, rect, L"BUTTON", caption, WS_TABSTOP | BS_AUTORADIOBUTTON);
    subclassInput(hwnd_);
    if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool OptionButton::Value() const { return hwnd_ && SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void OptionButton::setValue(bool value) {
    if (!hwnd_ || Value() == value) return;
    SendMessageW(hwnd_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!value) return;
    // The option buttons of one container are one group.
    for (HWND sibling = GetWindow(GetParent(hwnd_), GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        auto* other = dynamic_cast<OptionButton*>(WindowedControl::fromWindow(sibling));
        if (other && other != this) SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    raise(Click);
}

void OptionButton::onCommand(WORD code) {
    if (code == BN_CLICKED && Value()) raise(Click);
}

void CheckBox::create(Surface& container, const DesignRect& rect, const std::wstring& caption, int value) {
    makeWindow(container, rect, L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX);
    subclassInput(hwnd_);
    if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

int CheckBox::Value() const { return hwnd_ ? static_cast<int>(SendMessageW(hwnd_, BM_GETCHECK, 0, 0)) : 0; }

void CheckBox::setValue(int value) {
    if (!hwnd_ || Value() == value) return;
    if (value == vbGrayed) SetWindowLongPtrW(hwnd_, GWL_STYLE, (GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~0xF) | BS_AUTO3STATE);
    SendMessageW(hwnd_, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    raise(Click);
}

void CheckBox::onCommand(WORD code) {
    if (code == BN_CLICKED) raise(Click);
}

void CommandButton::create(Surface& container, const DesignRect& rect, const std::wstring& caption, bool isDefault) {
    default_ = isDefault;
    // The Return key presses a default button wherever the focus is; the
    // windows keep theirs out of sight, so Tab never takes the focus there.
    makeWindow(container, rect, L"BUTTON", caption, isDefault ? BS_DEFPUSHBUTTON : WS_TABSTOP | BS_PUSHBUTTON);
    subclassInput(hwnd_);
}

void CommandButton::onCommand(WORD code) {
    if (code == BN_CLICKED) raise(Click);
}

// ---- Timer

void Timer::create(Form& form, UINT interval, bool enabled) {
    form_ = &form;
    id_ = form.registerTimer(*this);
    interval_ = interval;
    enabled_ = enabled;
    Tick = nullptr;
    arm();
}

void Timer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    arm();
}

void Timer::setInterval(UINT interval) {
    interval_ = interval;
    arm();
}

void Timer::arm() {
    if (!form_ || !form_->hwnd()) return;
    if (enabled_ && interval_ > 0)
        SetTimer(form_->hwnd(), id_, interval_, nullptr);
    else
        KillTimer(form_->hwnd(), id_);
}

}  // namespace vorlane::ui
