// Tests of the tray icon against the shell.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/Handles.h"
#include "core/modSysTray.h"
#include "tests/support/ErrorCapture.h"

using namespace vorlane;

namespace {

WindowHandle makeOwner() {
    return WindowHandle(CreateWindowExW(0, L"STATIC", L"tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr));
}

// Whether the shell knows the icon: modifying an icon it does not know fails.
bool shellHasIcon() {
    NOTIFYICONDATAW probe = trayIconData();
    probe.uFlags = NIF_TIP;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

}  // namespace

TEST(SysTray, TooltipIsCutToWhatTheShellShows) {
    const std::wstring sixtyThree(63, L'a');
    EXPECT_EQ(trayTooltipText(sixtyThree), sixtyThree);
    EXPECT_EQ(trayTooltipText(sixtyThree + L"bc"), sixtyThree);
    EXPECT_EQ(trayTooltipText(L""), L"");
}

TEST(SysTray, RecordDescribesOwnerCallbackAndTooltip) {
    WindowHandle owner = makeOwner();
    test::ErrorCapture capture;
    CreateSystrayIcon(owner.get(), L"Vorlane Wallpaper Manager");
    const NOTIFYICONDATAW& record = trayIconData();
    EXPECT_EQ(record.hWnd, owner.get());
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_STREQ(record.szTip, L"Vorlane Wallpaper Manager");
    EXPECT_TRUE(systrayIconShown());

    setSystrayTooltip(std::wstring(70, L'x'));
    EXPECT_EQ(std::wstring(trayIconData().szTip), std::wstring(63, L'x'));
    RemoveSystrayIcon();
    EXPECT_FALSE(systrayIconShown());
    EXPECT_TRUE(capture.empty());
}

TEST(SysTray, AddModifyRemoveAgainstTheShell) {
    WindowHandle owner = makeOwner();
    CreateSystrayIcon(owner.get(), L"Vorlane - Next update in 3 hours");
    EXPECT_TRUE(shellHasIcon());
    RemoveSystrayIcon();
    EXPECT_FALSE(shellHasIcon());
    RemoveSystrayIcon();  // already gone: nothing happens
    EXPECT_FALSE(shellHasIcon());
}

TEST(SysTray, IconComesBackWhenTheTaskbarIsRecreated) {
    WindowHandle owner = makeOwner();
    CreateSystrayIcon(owner.get(), L"Vorlane");
    // The shell forgets every icon when it restarts; stand in for that.
    NOTIFYICONDATAW record = trayIconData();
    Shell_NotifyIconW(NIM_DELETE, &record);
    ASSERT_FALSE(shellHasIcon());
    EXPECT_NE(taskbarCreatedMessage(), 0u);
    onTaskbarCreated();
    EXPECT_TRUE(shellHasIcon());
    RemoveSystrayIcon();
    onTaskbarCreated();  // not shown: stays away
    EXPECT_FALSE(shellHasIcon());
}
