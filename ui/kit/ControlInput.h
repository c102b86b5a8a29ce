// What the kinds of control share to handle input: the buttons and shift keys a
// mouse message carries, raising an event, and whether two windows are one window's.
#pragma once

#include <windows.h>

#include "ui/kit/Control.h"

namespace vorlane::ui {

inline bool sameTopWindow(HWND one, HWND other) { return GetAncestor(one, GA_ROOT) == GetAncestor(other, GA_ROOT); }

inline int buttonOf(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: return vbLeftButton;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: return vbRightButton;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: return vbMiddleButton;
    default: return 0;
    }
}

inline int buttonsHeld(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? vbLeftButton : 0) | ((keys & MK_RBUTTON) ? vbRightButton : 0) |
           ((keys & MK_MBUTTON) ? vbMiddleButton : 0);
}

inline int shiftOf(WPARAM keys) {
    return ((keys & MK_SHIFT) ? vbShiftMask : 0) | ((keys & MK_CONTROL) ? vbCtrlMask : 0) |
           ((GetKeyState(VK_MENU) < 0) ? vbAltMask : 0);
}

inline bool isButtonDown(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

inline bool isButtonUp(UINT message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

inline void raise(const EventHandler& handler) {
    if (handler) handler();
}

inline void raise(const MouseHandler& handler, const MouseEvent& event) {
    if (handler) handler(event);
}

}  // namespace vorlane::ui
