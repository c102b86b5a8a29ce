// The tooltip window a form's labels share, and the texts its tools hold.
#pragma once

#include <windows.h>

#include <string>

namespace vorlane::ui {

// The form's one tooltip window (tools of one window share the relay of its
// mouse messages), made when a tool first needs it. The form's window takes it
// along; the property that finds it on the form goes with it, however it goes.
class FormToolTip {
public:
    explicit FormToolTip(HWND form) : form_(form) {}

    // The tool id holds text over rect (device pixels) of window, in place of
    // what it held. A text too wide for one line is shown in lines a glance
    // takes in, never wider than half the work area of the form's screen.
    void set(HWND window, UINT_PTR id, const RECT& rect, const std::wstring& text, UINT dpi) const;
    void remove(HWND window, UINT_PTR id) const;
    // The text the tool holds, its lines joined again; empty when there is no
    // such tool. given: the length of the text it was set with.
    std::wstring text(HWND window, UINT_PTR id, size_t given) const;

private:
    HWND toolTip(bool make) const;

    HWND form_;
};

}  // namespace vorlane::ui
