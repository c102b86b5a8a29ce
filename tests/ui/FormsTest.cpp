// Tests of the windows' design values, scaling, close requests and keyboard navigation.
#include <gtest/gtest.h>

#include <windows.h>

#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmQuickStart.h"
#include "ui/frmSlideMessage.h"

using namespace vorlane::ui;

namespace {

SIZE clientSize(const Form& form) {
    RECT client;
    GetClientRect(form.hwnd(), &client);
    return {client.right, client.bottom};
}

std::wstring windowTitle(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return text;
}

}  // namespace

TEST(FormLayer, FirstReferenceLoadsAndUnloadBringsBackTheDesignValues) {
    FrmQuickStart& instance = formInstance<FrmQuickStart>();
    EXPECT_FALSE(instance.isLoaded());
    FrmQuickStart& loaded = frmQuickStart();
    EXPECT_EQ(&loaded, &instance);
    ASSERT_TRUE(instance.isLoaded());
    const HWND first = instance.hwnd();

    instance.lblQuickStartText[3].setCaption(L"changed");
    instance.chkDontShowAgain.setValue(CheckBox::vbUnchecked);
    instance.dragging = true;
    instance.Unload();
    EXPECT_FALSE(instance.isLoaded());
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(instance.chkDontShowAgain.hwnd(), nullptr);

    frmQuickStart();
    EXPECT_TRUE(instance.isLoaded());
    EXPECT_EQ(instance.lblQuickStartText[3].Caption(), L"Thanks for using Vorlane.  Enjoy!");
    EXPECT_EQ(instance.chkDontShowAgain.Value(), CheckBox::vbChecked);
    EXPECT_FALSE(instance.dragging);

    // Destroyed by other means, the window takes its controls' hold on their windows along.
    DestroyWindow(instance.hwnd());
    EXPECT_FALSE(instance.isLoaded());
    EXPECT_EQ(instance.chkDontShowAgain.hwnd(), nullptr);
    EXPECT_EQ(instance.picHeaderBg.hwnd(), nullptr);
}

TEST(FormLayer, WindowsAreBorderlessWithTheirClientSizesAndTitles) {
    struct Expected {
        Form& form;
        LONG width;
        LONG height;
        const wchar_t* title;
    };
    for (const Expected& e : {Expected{frmLogin(), 394, 352, L"Vorlane Login"},
                              Expected{frmDownloading(), 501, 66, L""},
                              Expected{frmQuickStart(), 343, 500, L"Vorlane - Quick Start Guide"},
                              Expected{frmMain(), 520, 500, L"Vorlane - Desktop Wallpaper Manager"},
                              Expected{frmOptions(), 430, 480, L"Vorlane Options"},
                              Expected{frmSlideMessage(), 280, 124, L"Vorlane Slide Up Message"},
                              Expected{frmPopupMenu(), 120, 40, L"Popup Menu Form"}}) {
        SCOPED_TRACE(testing::Message() << e.form.designWidth());
        const LONG style = GetWindowLongW(e.form.hwnd(), GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
        EXPECT_EQ(windowTitle(e.form.hwnd()), e.title);
        if (&e.form == &formInstance<FrmSlideMessage>()) continue;  // its height follows the slide
        EXPECT_EQ(clientSize(e.form).cx, e.width);
        EXPECT_EQ(clientSize(e.form).cy, e.height);
    }
}

TEST(FormLayer, LoginDesignValues) {
    FrmLogin& login = frmLogin();
    EXPECT_EQ(login.lblHeaderTitle.Caption(), L"Vorlane Account Login");
    EXPECT_EQ(login.lblLabels[0].Caption(), L"Username:");
    EXPECT_EQ(login.lblLabels[1].Caption(), L"Password:");
    EXPECT_EQ(login.lblLoginInstructionsTwo.Caption(), L"Register in seconds! It's quick and easy! ");
    EXPECT_EQ(login.cmdLogin.Caption(), L"Login");
    EXPECT_TRUE(login.cmdLogin.isDefault());
    EXPECT_EQ(SendMessageW(login.txtPassword.hwnd(), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(login.picLoginSubmit.mousePointer(), MousePointer::Custom);

    // Out of sight: only the keyboard reaches the default button.
    RECT client, button;
    GetClientRect(login.hwnd(), &client);
    GetWindowRect(login.cmdLogin.hwnd(), &button);
    MapWindowPoints(nullptr, login.hwnd(), reinterpret_cast<POINT*>(&button), 2);
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &client, &button));
}

TEST(FormLayer, OptionsDesignValues) {
    FrmOptions& options = frmOptions();
    EXPECT_EQ(options.txtFrequency.Text(), L"3");
    EXPECT_EQ(options.txtRating.Text(), L"0");
    EXPECT_EQ(options.cboFrequencyType.Text(), L"Hours");
    ASSERT_EQ(options.cboFrequencyType.ListCount(), 3);
    EXPECT_EQ(options.cboFrequencyType.List(0), L"Minutes");
    EXPECT_EQ(options.cboFrequencyType.List(2), L"Days");
    EXPECT_TRUE(options.optRandomize.Value());
    EXPECT_FALSE(options.optSequential.Value());
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbUnchecked);
    EXPECT_EQ(options.chkAutoUpdate.Value(), CheckBox::vbChecked);
    EXPECT_EQ(options.lblLoggedIn.Caption(), L"[Not Logged In]");
    EXPECT_EQ(options.lblNextRotation.Caption(), L"Not Running");
}

TEST(FormLayer, MainDesignValues) {
    FrmMain& main = frmMain();
    for (const PictureBox& tab : main.picSourceTabs) {
        EXPECT_EQ(tab.Tag, L"U");
        EXPECT_EQ(tab.mousePointer(), MousePointer::Custom);
    }
    for (const PictureBox& alternate : main.picSourceTabsAlt) EXPECT_FALSE(alternate.Visible());
    EXPECT_TRUE(main.optMemberFavorites.Value());
    EXPECT_EQ(main.cboGallery.Text(), L"Loading...");
    EXPECT_EQ(main.cboCategory.ListCount(), 0);
    EXPECT_EQ(main.cmdSaveMin.Caption(), L"Default (Return) Save and Minimize");
    EXPECT_TRUE(main.tmrMain.Enabled());
    EXPECT_EQ(main.tmrMain.Interval(), 1000u);
    EXPECT_EQ(main.lblTagExamples.Caption(), L"Examples: Love, Yankees, Golden Retriever, etc.");
}

TEST(FormLayer, TrayMenuItemsInOrderWithTheBusyLinesHidden) {
    FrmPopupMenu& popup = frmPopupMenu();
    EXPECT_EQ(popup.mnuSystrayPopup.Caption, L"Systray Popup");
    EXPECT_FALSE(popup.Visible());
    vorlane::MenuHandle menu = popup.mnuSystrayPopup.build(&popup.mnuEditPreferences);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 7);
    wchar_t text[64] = {};
    GetMenuStringW(menu.get(), 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Visit Quorvex");
    GetMenuStringW(menu.get(), 6, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"E&xit Vorlane");
    EXPECT_EQ(GetMenuDefaultItem(menu.get(), TRUE, 0), 3u);

    popup.mnuProcessing.Visible = popup.mnuPleaseWait.Visible = popup.mnuSep0.Visible = true;
    popup.mnuForce.Enabled = false;
    menu = popup.mnuSystrayPopup.build(&popup.mnuEditPreferences);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 10);
    EXPECT_TRUE(GetMenuState(menu.get(), 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu.get(), 7, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu.get(), 9, MF_BYPOSITION) & MF_GRAYED);
}

TEST(FormLayer, MovingToAMonitorOfAnotherDpiScalesTheWindowAndItsControls) {
    FrmLogin& login = formInstance<FrmLogin>();
    login.Unload();
    frmLogin();
    ASSERT_EQ(login.dpi(), 96u);
    RECT suggested{100, 100, 100 + 591, 100 + 528};
    SendMessageW(login.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(login.dpi(), 144u);
    EXPECT_EQ(clientSize(login).cx, 591);  // 394 * 1.5
    EXPECT_EQ(clientSize(login).cy, 528);

    RECT box;
    GetWindowRect(login.txtUserName.hwnd(), &box);
    MapWindowPoints(nullptr, login.hwnd(), reinterpret_cast<POINT*>(&box), 2);
    const RECT design = login.txtUserName.deviceRect();
    EXPECT_EQ(box.left, design.left);
    EXPECT_EQ(box.left, MulDiv(login.txtUserName.rect().left, 144, 96));
    EXPECT_EQ(box.right - box.left, MulDiv(login.txtUserName.rect().left + login.txtUserName.rect().width, 144, 96) -
                                        MulDiv(login.txtUserName.rect().left, 144, 96));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(login.txtUserName.hwnd(), WM_GETFONT, 0, 0));
    EXPECT_EQ(font, skinFont(FontRole::Body, 144));
    login.Unload();
}

// Alt+F4 and the taskbar's Close (WM_SYSCOMMAND) and a plain close request do
// what each window's own close does; the windows with settings or a download
// behind them are tried in their own suites.
TEST(FormLayer, CloseRequestsDoWhatEachWindowsOwnCloseDoes) {
    for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>{WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}}) {
        SCOPED_TRACE(message);
        // The tray icon's window stays for the whole run.
        FrmPopupMenu& popup = frmPopupMenu();
        const HWND tray = popup.hwnd();
        SendMessageW(tray, message, wParam, 0);
        EXPECT_TRUE(popup.isLoaded());
        EXPECT_EQ(popup.hwnd(), tray);

        // The notice and the first-run help close as their close boxes do.
        FrmSlideMessage& slide = frmSlideMessage();
        SendMessageW(slide.hwnd(), message, wParam, 0);
        EXPECT_FALSE(slide.isLoaded());
        EXPECT_FALSE(slide.tmrSlide.Enabled());
        SendMessageW(frmQuickStart().hwnd(), message, wParam, 0);
        EXPECT_FALSE(formInstance<FrmQuickStart>().isLoaded());
    }
}

// Tab goes round the controls the member can see, and no further: never to a
// default button kept out of sight (the Return key presses that one).
TEST(FormLayer, TabGoesOnlyToControlsInSight) {
    FrmMain& main = frmMain();
    const auto inSight = [](Form& form, int page) {
        SCOPED_TRACE(testing::Message() << windowTitle(form.hwnd()) << " page " << page);
        RECT client;
        GetClientRect(form.hwnd(), &client);
        const HWND first = GetNextDlgTabItem(form.hwnd(), nullptr, FALSE);
        ASSERT_NE(first, nullptr);
        HWND control = first;
        int count = 0;
        do {
            RECT box;
            GetWindowRect(control, &box);
            MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&box), 2);
            RECT inside;
            EXPECT_TRUE(IntersectRect(&inside, &client, &box) && EqualRect(&inside, &box)) << windowTitle(control);
            EXPECT_TRUE(IsWindowVisible(control));
            control = GetNextDlgTabItem(form.hwnd(), control, FALSE);
        } while (control && control != first && ++count < 50);
    };
    for (Form* form : {static_cast<Form*>(&frmLogin()), static_cast<Form*>(&frmOptions()),
                       static_cast<Form*>(&frmQuickStart())}) {
        form->Show();
        inSight(*form, 0);
        form->Hide();
    }
    main.Show();
    for (int page = 0; page < 3; ++page) {
        for (int i = 0; i < 3; ++i) main.frmSourceTabs[i].setVisible(i == page);
        inSight(main, page);
    }
    main.Hide();

    // From the last box of the login, Tab comes back to the first.
    FrmLogin& login = frmLogin();
    EXPECT_EQ(GetNextDlgTabItem(login.hwnd(), login.txtPassword.hwnd(), FALSE), login.txtUserName.hwnd());
}

// The windows whose titles are for the taskbar get a button there: the login
// and the first-run help although the main window owns them; the notice, the
// tray's window and the progress window (titled for nothing) get none.
TEST(FormLayer, TheLoginAndTheFirstRunHelpHaveATaskbarButton) {
    FrmMain& main = frmMain();
    const auto hasTaskbarButton = [](const Form& form) {
        const LONG_PTR exStyle = GetWindowLongPtrW(form.hwnd(), GWL_EXSTYLE);
        if (exStyle & WS_EX_TOOLWINDOW) return false;
        return GetWindow(form.hwnd(), GW_OWNER) == nullptr || (exStyle & WS_EX_APPWINDOW) != 0;
    };
    struct Expected {
        Form& form;
        bool button;
    };
    for (const Expected& e : {Expected{frmLogin(), true}, Expected{frmQuickStart(), true},
                              Expected{frmDownloading(), false}, Expected{frmSlideMessage(), false},
                              Expected{frmPopupMenu(), false}}) {
        // Owned by the main window, as they are shown.
        SetWindowLongPtrW(e.form.hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main.hwnd()));
        EXPECT_EQ(hasTaskbarButton(e.form), e.button) << windowTitle(e.form.hwnd());
    }
    EXPECT_TRUE(hasTaskbarButton(main));
    EXPECT_TRUE(hasTaskbarButton(frmOptions()));
}
