// The base of the controls with a window of their own: focus, keys, validation
// and the input of the platform's controls forwarded to the event handlers.
#pragma once

#include <windows.h>

#include <string>

#include "ui/kit/Control.h"
#include "ui/kit/Skin.h"

namespace vorlane::ui {

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
    // The window is being destroyed, whoever destroys it: its wrapper lets go of it.
    static void windowGone(HWND window);

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

}  // namespace vorlane::ui
