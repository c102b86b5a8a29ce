// The base of every window of the program: a borderless window of a fixed client
// size that paints its own skin, holds its controls as members and passes every
// message it does not handle to the default procedure.
//
// Each window is one global instance, reached through an accessor that creates it
// on first use and loads it:
//
//     FrmSlideMessage& frmSlideMessage() { return loadedForm<FrmSlideMessage>(); }
//
// Load makes the window, creates its controls with their design values and runs
// Form_Load; Unload destroys the window, and the next reference loads it afresh.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/Handles.h"
#include "ui/kit/Controls.h"

namespace vorlane::ui {

struct FormStyle {
    bool toolWindow = false;  // no taskbar button, never activated by showing
    bool topmost = false;
    bool appWindow = false;   // a taskbar button of its own even while owned
    bool minimizes = true;    // false for a window that, minimized, nothing could bring back
};

class Form : public Surface {
public:
    // module: the window's name in the program ("frmMain"), for error reports.
    Form(const wchar_t* module, std::wstring caption, int designWidth, int designHeight, FormStyle style = {});
    ~Form() override;

    void Load();
    void Unload();
    bool isLoaded() const { return static_cast<bool>(window_); }
    HWND hwnd() const { return window_.get(); }

    void Show();
    // Shows the window, not modally, owned by owner: it stays above it.
    void Show(Form* owner);
    void Hide();
    bool Visible() const;
    bool Enabled() const;
    void setEnabled(bool enabled);
    const std::wstring& Caption() const { return caption_; }
    const wchar_t* moduleName() const { return module_; }
    // Shows the window owned by owner and returns when it is hidden or unloaded;
    // the owner is disabled meanwhile.
    void ShowModal(Form* owner);

    UINT dpi() const { return dpi_; }
    // Every control of the window, in the order they were made.
    const std::vector<Control*>& controls() const { return controls_; }
    int designWidth() const { return designWidth_; }
    int designHeight() const { return designHeight_; }

    // Position and size on the screen in pixels.
    RECT screenRect() const;
    void moveTo(int left, int top);
    void centerOnScreen();

    // The same in twips, 1440 to the logical inch at the window's DPI.
    double twipsPerPixelX() const { return 1440.0 / dpi_; }
    double twipsPerPixelY() const { return 1440.0 / dpi_; }
    float Left() const;
    float Top() const;
    float Width() const;
    float Height() const;
    void setLeft(float twips);
    void setTop(float twips);
    void setHeight(float twips);
    float screenWidth() const;
    float screenHeight() const;

    MousePointer mousePointer() const { return pointer_; }
    void setMousePointer(MousePointer pointer);

    HWND surfaceWindow() const override { return window_.get(); }
    Form& owningForm() override { return *this; }

    // The mouse capture of a press went elsewhere (Alt+Tab, a message box, a
    // cancelled mode): a drag under way ends there.
    void pressCaptureLost();
    // A control of the window (or the window itself) got the keyboard focus.
    void noteFocus(HWND window);

    // The borderless frame's drag state.
    bool dragging = false;
    int16_t startX = 0;
    int16_t startY = 0;

protected:
    virtual void createControls() = 0;
    virtual void Form_Load() {}
    // A request to close the window (Alt+F4, the taskbar's Close, WM_CLOSE):
    // each window does what its own close or cancel does; by default it unloads.
    virtual void closeRequested() { Unload(); }
    // Messages a window handles beyond the layer's own; set handled to keep them
    // from the default procedure.
    virtual LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // The drag of the borderless frame, for the header's mouse handlers.
    void dragMouseDown(const MouseEvent& event);
    void dragMouseMove(const MouseEvent& event);
    void dragMouseUp(const MouseEvent& event);

    UINT surfaceDpi() override { return dpi_; }

private:
    friend class Control;
    friend class WindowedControl;
    friend class Timer;

    static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT message(UINT message, WPARAM wParam, LPARAM lParam);
    void relayout();
    void dragBy(const MouseEvent& event);
    // On activation the focus goes back to target, the control that had it last,
    // or to the first control of the tab order when the window was just shown.
    void restoreFocus(HWND target);
    int registerWindowed(WindowedControl& control);
    void registerControl(Control& control);
    UINT_PTR registerTimer(Timer& timer);
    WindowedControl* defaultButton() const;
    // The control of this window that has the keyboard focus, or null.
    WindowedControl* focusedControl() const;

    const wchar_t* module_;
    std::wstring caption_;
    int designWidth_;
    int designHeight_;
    FormStyle style_;
    WindowHandle window_;
    UINT dpi_ = 96;
    MousePointer pointer_ = MousePointer::Default;
    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
    int nextId_ = 100;
    HWND lastFocus_ = nullptr;
};

// The one instance of a window, created on first use, not loaded.
template <class F>
F& formInstance() {
    static F form;
    return form;
}

// The one instance of a window, loaded if it was not.
template <class F>
F& loadedForm() {
    F& form = formInstance<F>();
    form.Load();
    return form;
}

// Declares the process per-monitor DPI aware; call before the first window.
void enableDpiAwareness();

// Keyboard navigation inside the program's windows (Tab, Return for the default
// button); true when the message was used.
bool translateFormMessage(MSG& message);

}  // namespace vorlane::ui
