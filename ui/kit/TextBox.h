// The text box: the platform's edit field, plain or for a password.
#pragma once

#include <windows.h>

#include <string>

#include "ui/kit/WindowedControl.h"

namespace vorlane::ui {

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

}  // namespace vorlane::ui
