// The option buttons, check boxes and command buttons: their values and clicks.
#include "ui/kit/Buttons.h"

#include "ui/kit/ControlInput.h"

namespace vorlane::ui {

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

}  // namespace vorlane::ui
