// The platform's buttons: option buttons, check boxes and command buttons.
#pragma once

#include <windows.h>

#include <string>

#include "ui/kit/WindowedControl.h"

namespace vorlane::ui {

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

}  // namespace vorlane::ui
