// The control kinds of the windows: windowless labels and images drawn by their
// container, picture boxes and frames that hold other controls, the platform's
// text, combo, option, check and command buttons, and timers. Geometry is in
// design pixels (96 DPI) within the container; mouse coordinates are pixels on
// the screen's scale, relative to the control that gets the event.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Handles.h"
#include "ui/kit/Skin.h"

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

enum class Align { Left, Center, Right };

// How a label of one line shows a text wider than itself: cut at its end with an
// ellipsis (a name), or in its middle, keeping the last part of a path or address.
enum class Ellipsis { None, End, Path };

class Label : public Windowless {
public:
    void create(Surface& container, const DesignRect& rect, std::wstring caption, FontRole font = FontRole::Body,
                COLORREF color = colors::kText, Align align = Align::Left);
    const std::wstring& Caption() const { return caption_; }
    void setCaption(const std::wstring& caption);
    FontRole font() const { return font_; }
    // The size text takes when drawn as the label lays it out at dpi: wrapped at
    // the words to the label's width, or wider where one word is; on one line,
    // whole, for a label that ellipsizes.
    SIZE textSize(const std::wstring& text, UINT dpi) const;
    void setForeColor(COLORREF color);
    void paint(HDC dc, const RECT& rect, UINT dpi) const override;

    // A label that ellipsizes keeps to one line; while its caption is cut, a
    // tooltip on the label holds the whole of it.
    void setEllipsis(Ellipsis ellipsis);
    // The caption as the label shows it at dpi: whole, or ellipsized to its width.
    std::wstring shownText(UINT dpi) const;
    // The whole text the label's tooltip holds: the caption while it is cut,
    // else empty (the label has no tooltip then).
    std::wstring toolTipText() const;

protected:
    void applyGeometry() override;

private:
    int widthAt(UINT dpi) const;  // device pixels
    // The caption ellipsized to the label's width, measured in dc (the label's
    // font selected).
    std::wstring ellipsizedCaption(HDC dc, UINT dpi) const;
    void updateToolTip();

    std::wstring caption_;
    FontRole font_ = FontRole::Body;
    COLORREF color_ = colors::kText;
    Align align_ = Align::Left;
    Ellipsis ellipsis_ = Ellipsis::None;
};

class Image : public Windowless {
public:
    void create(Surface& container, const DesignRect& rect, Art picture);
    Art Picture() const { return picture_; }
    void setPicture(Art picture);
    void paint(HDC dc, const RECT& rect, UINT dpi) const override;

private:
    Art picture_ = Art::None;
};

// A control with a window of its own, a child of its container's window.
class WindowedControl : public Control {
public:
    ~WindowedControl() override;
    HWND hwnd() const { return hwnd_; }
    void setFocus();

    EventHandler GotFocus;
    EventHandler LostFocus;
    KeyHandler KeyDown;
    KeyHandler KeyUp;
    // Runs before the focus moves to another control of the same window (not
    // when the window itself loses the focus).
    ValidateHandler Validate;

    // The wrapper of a window made by this layer, or null.
    static WindowedControl* fromWindow(HWND window);

    // Runs Validate as when the focus leaves for another control of the window
    // (a press of the default button does so); false when it keeps the focus.
    bool mayLoseFocus();

protected:
    // Makes the window; the control's wrapper is bound to it before it returns.
    void makeWindow(Surface& container, const DesignRect& rect, const wchar_t* className, const std::wstring& text,
                    DWORD style, DWORD exStyle = 0, void* createParam = nullptr);
    // Forwards mouse and key input of a platform control to the event handlers.
    void subclassInput(HWND window);
    void applyGeometry() override;
    void applyVisible() override;
    void applyEnabled() override;
    void applyFont();
    std::wstring windowText() const;
    void setWindowText(const std::wstring& text);

    virtual void onCommand(WORD /*code*/) {}
    virtual void onCreated() {}
    // Keys the control keeps from its window (a locked list keeps its selection).
    virtual bool swallowsKey(WPARAM /*key*/) const { return false; }
    virtual FontRole font() const { return FontRole::Body; }
    // Forgets the window when the form goes; the form's window takes it along.
    void detach();

    HWND hwnd_ = nullptr;

    friend class Surface;
    friend class Form;

private:
    static LRESULT CALLBACK inputProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT inputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The focus is leaving for newFocus: runs Validate where it applies and, on
    // cancel, has the focus brought back once the move is over.
    void validateFocusLoss(HWND newFocus);
};

// Moves the focus to window; false when a control's validation kept it.
bool moveFocus(HWND window);

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

class TextBox : public WindowedControl {
public:
    // passwordChar 0 shows the text as it is.
    void create(Surface& container, const DesignRect& rect, const std::wstring& text, wchar_t passwordChar = 0);
    std::wstring Text() const { return windowText(); }
    void setText(const std::wstring& text) { setWindowText(text); }
    bool Locked() const { return locked_; }
    void setLocked(bool locked);
    int SelStart() const;
    void setSelStart(int start);
    int SelLength() const;
    void setSelLength(int length);

    EventHandler Change;

protected:
    void onCommand(WORD code) override;

private:
    bool locked_ = false;
};

// An editable combo box with its drop-down list.
class ComboBox : public WindowedControl {
public:
    void create(Surface& container, const DesignRect& rect, const std::wstring& text,
                const std::vector<std::wstring>& items = {});
    std::wstring Text() const { return windowText(); }
    void setText(const std::wstring& text) { setWindowText(text); }
    void AddItem(const std::wstring& item);
    void Clear();
    int ListCount() const;
    std::wstring List(int index) const;
    bool Locked() const { return locked_; }
    void setLocked(bool locked);

protected:
    void onCommand(WORD code) override;
    void onCreated() override;
    bool swallowsKey(WPARAM key) const override;

private:
    HWND editWindow() const;
    bool locked_ = false;
};

class OptionButton : public WindowedControl {
public:
    void create(Surface& container, const DesignRect& rect, const std::wstring& caption, bool value);
    bool Value() const;
    // Selecting clears the other option buttons of the container and raises Click.
    void setValue(bool value);

protected:
    void onCommand(WORD code) override;
};

class CheckBox : public WindowedControl {
public:
    static constexpr int vbUnchecked = 0;
    static constexpr int vbChecked = 1;
    static constexpr int vbGrayed = 2;

    void create(Surface& container, const DesignRect& rect, const std::wstring& caption, int value);
    int Value() const;
    // A new value raises Click, as a click would.
    void setValue(int value);

protected:
    void onCommand(WORD code) override;
};

class CommandButton : public WindowedControl {
public:
    // The default button is pressed by the Return key anywhere in the window; it
    // is no tab stop.
    void create(Surface& container, const DesignRect& rect, const std::wstring& caption, bool isDefault = false);
    std::wstring Caption() const { return windowText(); }
    bool isDefault() const { return default_; }

protected:
    void onCommand(WORD code) override;

private:
    bool default_ = false;
};

class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    EventHandler Tick;  // the timer's event

    void create(Form& form, UINT interval, bool enabled);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    UINT Interval() const { return interval_; }
    void setInterval(UINT interval);

private:
    void arm();
    Form* form_ = nullptr;
    UINT_PTR id_ = 0;
    UINT interval_ = 0;
    bool enabled_ = false;

    friend class Form;
};

}  // namespace vorlane::ui
