// The combo box: an editable text with its drop-down list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/kit/WindowedControl.h"

namespace vorlane::ui {

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

}  // namespace vorlane::ui
