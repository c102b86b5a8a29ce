// A logged-in member as the windows see one: the API client and the scheduler
// made as start-up makes them, a settings section of the test's own (tests run
// side by side in one registry), and the reports and message boxes of the run
// collected. The main window's clock runs but ticks nothing: the tests step the
// scheduler themselves.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/CTimerFunctions.h"
#include "core/Globals.h"
#include "core/modRegistry.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/MessagePump.h"
#include "ui/kit/Form.h"
#include "ui/frmMain.h"
#include "webclient/CQXAPI.h"

namespace vorlane::test {

class MemberFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        member = std::wstring(name.begin(), name.end()) + L"-" + std::to_wstring(GetCurrentProcessId());
        gTimerFunctions = std::make_unique<CTimerFunctions>();
        gTimerFunctions->TimerInit();
        gQXAPI = std::make_unique<CQXAPI>();
        gQXAPI->apiUsername = member;
        gQXAPI->apiLoggedIn = true;
        ui::frmMain().tmrMain.Tick = nullptr;
    }

    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Vorlane\\" + memberSection(member)).c_str());
        gQXAPI.reset();
        gTimerFunctions.reset();
    }

    // A value of the member's section, or "<absent>".
    std::wstring stored(const std::wstring& name) const {
        return regGetSetting(kAppName, memberSection(member), name, L"<absent>");
    }
    void store(const std::wstring& name, const std::wstring& value) const {
        regSaveSetting(kAppName, memberSection(member), name, value);
    }
    void forget(const std::wstring& name) const {
        const std::wstring key = L"Software\\Vorlane\\" + memberSection(member);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str());
    }

    // The window shown, with the focus inside it, without taking the desktop's
    // foreground: tests run side by side on one desktop, and a process that
    // holds the foreground loses its focus whenever another one takes it.
    static void showWithFocus(ui::Form& form) {
        ShowWindow(form.hwnd(), SW_SHOWNA);
        SetFocus(form.hwnd());
    }

    // A left click on a window, as the pointer gives it.
    static void click(HWND window) {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    }

    // The focus is in the control (or in its edit field, for a combo box).
    static bool hasFocus(HWND control) {
        const HWND focus = GetFocus();
        return focus && (focus == control || IsChild(control, focus));
    }

    std::wstring member;
    ErrorCapture errors;
    DialogWatcher dialogs;
};

}  // namespace vorlane::test
