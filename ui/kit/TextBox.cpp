// The text box: its edit window, lock and selection, and its change and focus events.
#include "ui/kit/TextBox.h"

#include "ui/kit/ControlInput.h"

namespace vorlane::ui {

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

}  // namespace vorlane::ui
