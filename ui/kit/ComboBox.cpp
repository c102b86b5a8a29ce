// The combo box: its list, lock and the events of picking an item.
#include "ui/kit/ComboBox.h"

#include <algorithm>

#include "ui/kit/ControlInput.h"

namespace vorlane::ui {

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

}  // namespace vorlane::ui
