// Tests of the window kit's controls and of the message dispatch's error trap.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>

#include "core/RuntimeError.h"
#include "socket/modSocketMaster.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/MessagePump.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

using namespace vorlane::ui;

TEST(Controls, SelectingAnOptionClearsItsGroupAndRaisesClickOnce) {
    FrmOptions& options = frmOptions();
    int randomize = 0, sequential = 0;
    options.optRandomize.Click = [&] { ++randomize; };
    options.optSequential.Click = [&] { ++sequential; };
    options.optSequential.setValue(true);
    EXPECT_TRUE(options.optSequential.Value());
    EXPECT_FALSE(options.optRandomize.Value());
    EXPECT_EQ(sequential, 1);
    options.optSequential.setValue(true);  // already selected: no click
    EXPECT_EQ(sequential, 1);
    options.optRandomize.setValue(true);
    EXPECT_EQ(randomize, 1);
    EXPECT_FALSE(options.optSequential.Value());
}

TEST(Controls, CheckBoxValueChangesRaiseClickAndMouseUpSeesTheNewValue) {
    FrmOptions& options = frmOptions();
    int clicks = 0;
    int valueOnMouseUp = -1;
    options.chkFreeze.Click = [&] { ++clicks; };
    options.chkFreeze.MouseUp = [&](const MouseEvent& e) {
        EXPECT_EQ(e.button, vbLeftButton);
        valueOnMouseUp = options.chkFreeze.Value();
    };
    options.chkFreeze.setValue(CheckBox::vbChecked);
    EXPECT_EQ(clicks, 1);
    options.chkFreeze.setValue(CheckBox::vbChecked);
    EXPECT_EQ(clicks, 1);

    // A real click through the control: down, up; it unticks on the release.
    const HWND box = options.chkFreeze.hwnd();
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbUnchecked);
    EXPECT_EQ(valueOnMouseUp, CheckBox::vbUnchecked);
    EXPECT_EQ(clicks, 2);
}

TEST(Controls, TextBoxSelectionAndLock) {
    FrmLogin& login = frmLogin();
    login.txtPassword.setText(L"secret");
    login.txtPassword.setSelStart(0);
    login.txtPassword.setSelLength(static_cast<int>(login.txtPassword.Text().size()));
    EXPECT_EQ(login.txtPassword.SelStart(), 0);
    EXPECT_EQ(login.txtPassword.SelLength(), 6);
    login.txtPassword.setSelStart(2);
    EXPECT_EQ(login.txtPassword.SelLength(), 0);

    login.txtUserName.setLocked(true);
    EXPECT_TRUE(GetWindowLongW(login.txtUserName.hwnd(), GWL_STYLE) & ES_READONLY);
    login.txtUserName.setLocked(false);
    login.txtUserName.setEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(login.txtUserName.hwnd()));
    login.txtUserName.setEnabled(true);
}

TEST(Controls, PickingAComboItemShowsItBeforeTheClickHandlerRuns) {
    FrmMain& main = frmMain();
    main.cboGallery.Clear();
    for (const wchar_t* item : {L"All Galleries", L"Animals", L"Space"}) main.cboGallery.AddItem(item);
    std::wstring seen;
    main.cboGallery.Click = [&] { seen = main.cboGallery.Text(); };
    SendMessageW(main.cboGallery.hwnd(), CB_SETCURSEL, 2, 0);
    SendMessageW(GetParent(main.cboGallery.hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(main.cboGallery.hwnd()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(main.cboGallery.hwnd()));
    EXPECT_EQ(seen, L"Space");
    EXPECT_EQ(main.cboGallery.List(1), L"Animals");
    EXPECT_EQ(main.cboGallery.List(7), L"");

    main.cboGallery.setLocked(true);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(main.cboGallery.hwnd(), &info));
    EXPECT_TRUE(GetWindowLongW(info.hwndItem, GWL_STYLE) & ES_READONLY);
}

TEST(Controls, ReturnKeyPressesTheDefaultButton) {
    FrmLogin& login = frmLogin();
    int clicks = 0;
    login.cmdLogin.Click = [&] { ++clicks; };
    login.Show();
    login.txtUserName.setFocus();
    MSG message{login.txtUserName.hwnd(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(translateFormMessage(message));
    EXPECT_EQ(clicks, 1);
    login.Hide();
}

TEST(Controls, WindowlessLabelClickNeedsPressAndReleaseOnIt) {
    FrmMain& main = frmMain();
    int clicks = 0;
    main.lblFavoriteWhere.Click = [&] { ++clicks; };
    const HWND page = main.frmSourceTabs[0].hwnd();
    const RECT link = main.lblFavoriteWhere.deviceRect();
    SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.left + 2, link.top + 2));
    SendMessageW(page, WM_LBUTTONUP, 0, MAKELPARAM(link.left + 3, link.top + 3));
    EXPECT_EQ(clicks, 1);
    // Released elsewhere: no click.
    SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.left + 2, link.top + 2));
    SendMessageW(page, WM_LBUTTONUP, 0, MAKELPARAM(link.right + 30, link.bottom + 30));
    EXPECT_EQ(clicks, 1);
    // The right button does not click.
    SendMessageW(page, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(link.left + 2, link.top + 2));
    SendMessageW(page, WM_RBUTTONUP, 0, MAKELPARAM(link.left + 2, link.top + 2));
    EXPECT_EQ(clicks, 1);
}

TEST(Controls, TimerRunsItsHandlerFromTheMessageLoop) {
    FrmMain& main = frmMain();
    int ticks = 0;
    main.tmrMain.Tick = [&] { ++ticks; };
    main.tmrMain.setInterval(10);
    // Wait for real timer messages, with a generous limit: the count is what is checked.
    const DWORD deadline = GetTickCount() + 5000;
    MSG message;
    while (ticks < 2 && GetTickCount() < deadline) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        else Sleep(1);
    }
    EXPECT_GE(ticks, 2);
    main.tmrMain.setEnabled(false);
    ticks = 0;
    const DWORD quiet = GetTickCount() + 100;
    while (GetTickCount() < quiet) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        else Sleep(1);
    }
    EXPECT_EQ(ticks, 0);
}

// A windowless control whose drawing fails while armed; it notes the DC it drew
// into and the bitmap that DC held.
class FailingPicture : public Windowless {
public:
    bool armed = false;
    mutable HDC drawnInto = nullptr;
    mutable HGDIOBJ bitmap = nullptr;

    void create(Surface& container) {
        place(container, {0, 0, 20, 20});
        container.add(*this);
    }
    void paint(HDC dc, const RECT&, UINT) const override {
        drawnInto = dc;
        bitmap = GetCurrentObject(dc, OBJ_BITMAP);
        if (armed) vorlane::raiseError(11);
    }
};

// A window whose own handling of one message fails before the layer's runs.
class FailingForm : public Form {
public:
    FailingForm() : Form(L"frmFailing", L"Failing", 80, 60) {}
    UINT failingMessage = WM_APP;  // none sent yet
    FailingPicture picture;

protected:
    void createControls() override { picture.create(*this); }
    LRESULT formMessage(UINT message, WPARAM, LPARAM, bool&) override {
        if (message == failingMessage) vorlane::raiseError(11);
        return 0;
    }
};

// A route owner of the socket layer whose handling of its notifications fails.
class FailingSocketOwner : public vorlane::SocketMessageTarget {
public:
    LRESULT WndProc(HWND, UINT, WPARAM, LPARAM) override { vorlane::raiseError(17); }
};

// The socket window's own procedure, put in before the router takes the window:
// it answers the notifications that reach it with a mark of its own.
constexpr LRESULT kOwnProcedureAnswer = 77;
WNDPROC socketWindowProcedure = nullptr;
LRESULT CALLBACK ownSocketProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == vorlane::SOCKET_MESSAGE) return kOwnProcedureAnswer;
    return CallWindowProcW(socketWindowProcedure, window, message, wParam, lParam);
}

// An error that no handler trapped, raised from a handler that real input runs
// (a picture's click, a key in a text box, the default button, a timer), is
// reported by the dispatch at the window's location and the program goes on.
TEST(Controls, TheDispatchReportsAnErrorNoHandlerTrappedAndTheWindowGoesOn) {
    vorlane::test::ErrorCapture errors;
    FrmLogin& login = frmLogin();
    FrmMain& main = frmMain();
    const auto fail = [](int32_t number) { return [number] { vorlane::raiseError(number); }; };
    login.picLoginSubmit.Click = fail(5);
    login.txtUserName.KeyDown = [](const KeyEvent&) { vorlane::raiseError(6); };
    login.cmdLogin.Click = fail(13);

    struct Case {
        const wchar_t* where;
        int32_t number;
        std::function<void()> input;
        size_t reports = 1;
    };
    FailingForm failing;
    failing.Load();
    failing.Show();
    const Case cases[] = {
        {L"Function WindowProc, frmLogin", 5,
         [&] {
             SendMessageW(login.picLoginSubmit.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
             SendMessageW(login.picLoginSubmit.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
         }},
        {L"Function WindowProc, frmLogin", 6,
         [&] { SendMessageW(login.txtUserName.hwnd(), WM_KEYDOWN, 'A', 1); }},
        // Then the control's default handling: the key still moves the caret.
        {L"Function WindowProc, frmLogin", 6,
         [&] {
             login.txtUserName.setText(L"abc");
             login.txtUserName.setSelStart(0);
             SendMessageW(login.txtUserName.hwnd(), WM_KEYDOWN, VK_END, 1);
             EXPECT_EQ(login.txtUserName.SelStart(), 3);
         }},
        {L"Function WindowProc, frmLogin", 13, [&] { SendMessageW(login.cmdLogin.hwnd(), BM_CLICK, 0, 0); }},
        {L"Function WindowProc, frmMain", 9,
         [&] {
             main.tmrMain.Tick = fail(9);
             main.tmrMain.setInterval(10);
             const size_t reported = errors.reports().size();
             vorlane::test::pumpUntil([&] { return errors.reports().size() > reported; }, std::chrono::seconds(5));
             main.tmrMain.setEnabled(false);
         }},
        // Then the default handling: the failed paint is not asked for again and again.
        {L"Function WindowProc, frmFailing", 11,
         [&] {
             failing.failingMessage = WM_PAINT;
             InvalidateRect(failing.hwnd(), nullptr, FALSE);
             vorlane::test::pumpFor(std::chrono::milliseconds(300));
             EXPECT_FALSE(GetUpdateRect(failing.hwnd(), nullptr, FALSE));
         }},
        // A paint that fails inside its content gives back the window's DC (which
        // a paint takes again and again), the off-screen DC and its bitmap.
        {L"Function WindowProc, frmFailing", 11,
         [&] {
             failing.failingMessage = WM_APP;
             failing.picture.armed = true;
             const HDC windowDC = GetDC(failing.hwnd());
             ReleaseDC(failing.hwnd(), windowDC);
             for (int paint = 0; paint < 100; ++paint) {
                 InvalidateRect(failing.hwnd(), nullptr, FALSE);
                 UpdateWindow(failing.hwnd());
             }
             failing.picture.armed = false;
             EXPECT_FALSE(ReleaseDC(failing.hwnd(), windowDC)) << "a failed paint kept the window's DC";
             EXPECT_EQ(GetObjectType(failing.picture.drawnInto), 0u);
             EXPECT_EQ(GetObjectType(failing.picture.bitmap), 0u);
         },
         100},
        // The socket window's notification goes on to the window's own procedure.
        {L"Function SocketMessageRouter, modSocketMaster", 17,
         [&] {
             FailingSocketOwner owner;
             ASSERT_EQ(vorlane::MessageWindow(), nullptr);
             ASSERT_EQ(vorlane::CreateWinsockMessageWindow(), 0);
             const HWND window = vorlane::MessageWindow();
             socketWindowProcedure = reinterpret_cast<WNDPROC>(
                 SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ownSocketProcedure)));
             vorlane::SubclassMessageWindow(window);
             vorlane::RegisterSocket(100, &owner, false);
             EXPECT_EQ(SendMessageW(window, vorlane::SOCKET_MESSAGE, 100, FD_READ), kOwnProcedureAnswer);
             vorlane::UnregisterSocket(100);
         }},
        // But a close stays undone: by default it would destroy the window.
        {L"Function WindowProc, frmFailing", 11,
         [&] {
             failing.failingMessage = WM_CLOSE;
             SendMessageW(failing.hwnd(), WM_CLOSE, 0, 0);
             EXPECT_TRUE(failing.isLoaded());
         }},
    };
    for (const Case& c : cases) {
        const size_t before = errors.reports().size();
        c.input();
        ASSERT_EQ(errors.reports().size(), before + c.reports) << c.number;
        EXPECT_EQ(errors.reports().back().where, c.where);
        EXPECT_EQ(errors.reports().back().number, c.number);
    }
    main.tmrMain.Tick = nullptr;

    // The windows still answer.
    int clicks = 0;
    login.cmdLogin.Click = [&] { ++clicks; };
    SendMessageW(login.cmdLogin.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(errors.reports().size(), 108u);
}
