// Every label holds the longest text the program puts into it, at 100 % and at
// 150 %: measured with the label's own font as the label draws it (wrapped at
// its width), against its box at that scaling.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "core/CTimerFunctions.h"
#include "core/Globals.h"
#include "core/RuntimeError.h"
#include "core/modRegistry.h"
#include "core/ServiceHosts.h"
#include "socket/SocketErrorNumbers.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/MessagePump.h"
#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmQuickStart.h"
#include "ui/frmSlideMessage.h"
#include "webclient/HttpReply.h"

using namespace vorlane;
using namespace vorlane::ui;

namespace {

constexpr UINT kScalings[] = {96, 144};

int widthAt(const Label& label, UINT dpi) {
    const DesignRect& box = label.rect();
    return scaled(box.left + box.width, dpi) - scaled(box.left, dpi);
}

::testing::AssertionResult fits(const Label& label, const std::wstring& text) {
    const DesignRect& box = label.rect();
    for (UINT dpi : kScalings) {
        const SIZE size = label.textSize(text, dpi);
        const int width = widthAt(label, dpi);
        const int height = scaled(box.top + box.height, dpi) - scaled(box.top, dpi);
        if (size.cx > width || size.cy > height)
            return ::testing::AssertionFailure() << "at " << dpi << " DPI the text takes " << size.cx << "x" << size.cy
                                                 << " of " << width << "x" << height << ": "
                                                 << ::testing::PrintToString(text);
    }
    return ::testing::AssertionSuccess();
}

// The longest user name the login takes, made of the widest character it allows.
std::wstring longestUsername(const Label& label) {
    const std::wstring allowed = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-";
    wchar_t widest = allowed[0];
    for (wchar_t c : allowed)
        if (label.textSize(std::wstring(1, c), 144).cx > label.textSize(std::wstring(1, widest), 144).cx) widest = c;
    return std::wstring(longestMemberName(), widest);
}

// The tooltip window a form's labels share, or null.
HWND toolTipOf(const Form& form) {
    HWND tip = nullptr;
    do tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr);
    while (tip && GetWindow(tip, GW_OWNER) != form.hwnd());
    return tip;
}

// The tooltip that pops up where the pointer rests on the label shows the whole
// of its text, and all of it lies on the screen.
::testing::AssertionResult popsUpWholeOnTheScreen(const Label& label) {
    label.form().Show();
    const HWND tip = toolTipOf(label.form());
    const HWND surface = label.container()->surfaceWindow();
    const RECT box = label.deviceRect();
    POINT at{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    const POINT inSurface = at;
    ClientToScreen(surface, &at);
    SetCursorPos(at.x, at.y);
    PostMessageW(surface, WM_MOUSEMOVE, 0, MAKELPARAM(inSurface.x, inSurface.y));
    if (!tip || !test::pumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, std::chrono::seconds(10)))
        return ::testing::AssertionFailure() << "no tooltip came up";
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    SendMessageW(tip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    const LRESULT needs = SendMessageW(tip, TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(&tool));
    RECT shown;
    GetWindowRect(tip, &shown);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(tip, MONITOR_DEFAULTTONEAREST), &monitor);
    SendMessageW(tip, TTM_POP, 0, 0);
    label.form().Hide();
    RECT onScreen;
    IntersectRect(&onScreen, &shown, &monitor.rcMonitor);
    if (!EqualRect(&onScreen, &shown) || LOWORD(needs) > shown.right - shown.left ||
        HIWORD(needs) > shown.bottom - shown.top)
        return ::testing::AssertionFailure() << "needs " << LOWORD(needs) << "x" << HIWORD(needs) << ", shown at "
                                             << shown.left << "," << shown.top << "-" << shown.right << ","
                                             << shown.bottom;
    return ::testing::AssertionSuccess();
}

// Shown whole when it fits; else cut with an ellipsis where the label's kind
// cuts, in its box, with the whole text in the tooltip.
::testing::AssertionResult showsWholeOrEllipsized(const Label& label, const std::wstring& tail) {
    const std::wstring& text = label.Caption();
    for (UINT dpi : kScalings) {
        const std::wstring shown = label.shownText(dpi);
        const size_t dots = shown.find(L"...");
        const bool whole = shown == text && label.textSize(text, dpi).cx <= widthAt(label, dpi);
        const bool cut = dots != std::wstring::npos && shown.ends_with(tail) && shown.size() < text.size() &&
                         text.starts_with(shown.substr(0, dots)) && label.textSize(shown, dpi).cx <= widthAt(label, dpi);
        if (!whole && !cut)
            return ::testing::AssertionFailure() << "at " << dpi << " DPI shows " << testing::PrintToString(shown);
        if (dpi != label.form().dpi()) continue;
        if (label.toolTipText() != (whole ? L"" : text))
            return ::testing::AssertionFailure() << "tooltip " << testing::PrintToString(label.toolTipText());
        if (!whole) {
            if (auto onScreen = popsUpWholeOnTheScreen(label); !onScreen) return onScreen;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(LabelFit, EveryLabelHoldsItsDesignText) {
    for (Form* form : {static_cast<Form*>(&frmLogin()), static_cast<Form*>(&frmMain()),
                       static_cast<Form*>(&frmOptions()), static_cast<Form*>(&frmQuickStart()),
                       static_cast<Form*>(&frmDownloading()), static_cast<Form*>(&frmSlideMessage())}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(form->moduleName())));
        for (const Control* control : form->controls()) {
            if (const auto* label = dynamic_cast<const Label*>(control)) {
                EXPECT_TRUE(fits(*label, label->Caption()));
            }
        }
    }
}

TEST(LabelFit, AUserNameAndItsPageAddressesShowWholeOrEllipsizedWithTheWholeTextInATooltip) {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", nullptr);  // the built-in hosts
    FrmOptions& options = frmOptions();
    FrmMain& main = frmMain();
    const std::wstring longest = longestUsername(options.lblLoggedIn);
    // Back to a short name at the end: the tooltip goes with the cut.
    for (const std::wstring& name : {std::wstring(L"alice"), std::wstring(L"Maximilian.Alexander_von-Hohenberg-1987"),
                                     longest, std::wstring(L"alice")}) {
        SCOPED_TRACE(testing::PrintToString(name));
        options.lblLoggedIn.setCaption(name);
        main.lblFavoriteWhere.setCaption(memberPageAddress(name, L"favorites"));
        main.lblUploadedWhere.setCaption(memberPageAddress(name, L"uploads"));
        EXPECT_TRUE(showsWholeOrEllipsized(options.lblLoggedIn, L"..."));
        EXPECT_TRUE(showsWholeOrEllipsized(main.lblFavoriteWhere, L"/favorites/"));
        EXPECT_TRUE(showsWholeOrEllipsized(main.lblUploadedWhere, L"/uploads/"));
        EXPECT_EQ(main.lblUploadedWhere.toolTipText().empty(), name == L"alice");
    }

    // The tooltip may go on its own: the form finds none then, and the next cut
    // caption has a tooltip again.
    ASSERT_NE(toolTipOf(options), nullptr);
    DestroyWindow(toolTipOf(options));
    options.lblLoggedIn.setCaption(longest);
    EXPECT_EQ(options.lblLoggedIn.toolTipText(), longest);
}

TEST(LabelFit, TheCountdownOfTheLongestIntervalTheOptionsAllowFits) {
    test::ErrorCapture errors;
    FrmOptions& options = frmOptions();
    options.txtFrequency.setText(L"500");
    options.cboFrequencyType.setText(L"Days");
    options.UpdateChangeOnTrigger();
    ASSERT_EQ(changeIntervalSeconds, 500 * 86400);
    // The widest text of each day count: the last second before it drops.
    for (int32_t days = 0; days <= 500; ++days) {
        secondsSinceChange = changeIntervalSeconds - std::min(days * 86400 + 86399, changeIntervalSeconds);
        const std::wstring text = getFormattedTimeUntilChange();
        ASSERT_FALSE(text.empty());
        EXPECT_TRUE(fits(options.lblNextRotation, text));
    }
    EXPECT_TRUE(errors.empty());
}

TEST(LabelFit, TheDownloadTitlesAndPercentagesFit) {
    FrmDownloading& progress = frmDownloading();
    for (const wchar_t* title : {L"Vorlane - Connecting to Quorvex...", L"Vorlane - Downloading...",
                                 L"Vorlane - Downloading Update...", L"Vorlane - Verifying update file ...",
                                 L"Vorlane - Corrupt update detected! Retrying download...",
                                 L"Download completed. Updating..."})
        EXPECT_TRUE(fits(progress.lblHeaderTitle, title));
    EXPECT_TRUE(fits(progress.lblProgressPercent, L"100%"));
}

TEST(LabelFit, TheLongestErrorReportAndNoticesFitTheNotificationWindow) {
    FrmSlideMessage& slide = frmSlideMessage();
    slide.tmrSlide.setEnabled(false);
    // The socket layer raises errors with descriptions of its own.
    std::wstring description = sockerr::BadArgumentText;
    for (int32_t number = 1; number < 1000; ++number)
        if (standardErrorText(number).size() > description.size()) description = standardErrorText(number);
    slide.slideSysError(L"Function DownloadAndChangeWallpaper, CQXAPI", INT32_MIN, description);
    slide.tmrSlide.setEnabled(false);
    EXPECT_TRUE(fits(slide.lblTitle, slide.lblTitle.Caption()));
    EXPECT_TRUE(fits(slide.lblStatusMsg, slide.lblStatusMsg.Caption()));

    for (const wchar_t* title : {L"Vorlane - No matching wallpapers!", L"Vorlane - Connection Issue",
                                 L"Vorlane - Information", L"Vorlane - Update Error", L"Vorlane - Network Error",
                                 L"Vorlane - API Error", L"Vorlane API Error"})
        EXPECT_TRUE(fits(slide.lblTitle, title));
    const std::wstring program = programPageAddress();
    for (const std::wstring& notice : std::initializer_list<std::wstring>{
             L"Vorlane received a response from a source other than Quorvex.  This is usually caused by a wireless "
             L"gateway interfering (at a coffee shop, airport, etc).  Try visiting Quorvex in your web browser.  If "
             L"everything works there, try scanning your computer for spyware.",
             L"The Quorvex servers responded in an unexpected way.  This could be due to a temporary network problem "
             L"or interference from another program on your computer (such as spyware).  If this continues, please "
             L"reinstall Vorlane: " + program,
             L"The update engine cannot find the correct update file on the Quorvex servers.  This could be due to a "
             L"corruption issue.  Please reopen Vorlane and try again later.  If the problem persists, please "
             L"reinstall: " + program,
             std::wstring(L"Vorlane couldn't find any wallpapers matching your settings!\r\n\r\nCheck that the selected "
                          L"member has uploaded some wallpapers, then make sure they have been cropped to your "
                          L"resolution and have at least a +200 rating (via your settings)."),
             std::wstring(L"Vorlane has been minimized!\r\n\r\nYou'll see the Vorlane icon in the bottom-right corner "
                          L"of your monitor.  To bring the preferences screen back, double-click on the icon.  To see "
                          L"more options, right-click on it."),
         })
        EXPECT_TRUE(fits(slide.lblStatusMsg, notice));
    slide.Unload();
}

// A failed download the member asked for is told with the downloader's own
// description, which may quote the server's words: a run of characters longer
// than a line is broken, not cut off.
TEST(LabelFit, DownloadFailuresQuotingTheServerFit) {
    FrmSlideMessage& slide = frmSlideMessage();
    slide.tmrSlide.setEnabled(false);
    const std::string wide(200, 'W');
    const auto descriptionOf = [](const auto& outcome) { return std::get<ReplyProblem>(outcome).description; };
    for (const std::wstring& description :
         {descriptionOf(readReplyHead("HTTP/1.0 200 OK\r\nContent-Length: " + wide + "\r\n\r\n", 1000)),
          descriptionOf(resolveRedirect(L"http://a.test/", "http://" + wide + "!/")),
          descriptionOf(readReplyHead("HTTP/1.0 200 OK\r\nTransfer-Encoding: " + wide + "\r\n\r\n", 1000))}) {
        ASSERT_NE(description.find(L"WWWWWWWWWW"), std::wstring::npos);
        EXPECT_TRUE(fits(slide.lblStatusMsg, L"Network Error 32767!\r\n" + description));
    }
    slide.Unload();
}
