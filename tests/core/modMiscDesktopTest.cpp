// Tests of the screen measures, the always-on-top helper and the shell's file opening.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/Handles.h"
#include "core/modMisc.h"
#include "core/modShell.h"
#include "core/RuntimeError.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/TestFiles.h"

using namespace vorlane;

TEST(ScreenMeasures, AspectRatioRoundsToFiveDecimals) {
    EXPECT_FLOAT_EQ(aspectRatioOf(1920, 1080), 1.77778f);
    EXPECT_FLOAT_EQ(aspectRatioOf(1280, 1024), 1.25f);
    EXPECT_FLOAT_EQ(aspectRatioOf(1024, 768), 1.33333f);
    EXPECT_FLOAT_EQ(aspectRatioOf(2560, 1080), 2.37037f);
}

TEST(ScreenMeasures, AspectRatioOfTheSessionScreen) {
    // The test session runs on a 1280 by 1024 virtual screen.
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    EXPECT_FLOAT_EQ(getScreenAspectRatio(), 1.25f);
}

TEST(ScreenMeasures, TaskbarHeight) {
    EXPECT_EQ(taskbarHeightOf(1024, 1024), 0);  // at a side, or hidden
    EXPECT_EQ(taskbarHeightOf(1080, 1040), 40);
    EXPECT_EQ(taskbarHeightOf(768, 727.5), 40);  // halves to even
    EXPECT_EQ(taskbarHeightOf(768, 726.5), 42);
    EXPECT_THROW(taskbarHeightOf(100000, 0), RuntimeError);

    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    test::ErrorCapture capture;
    EXPECT_EQ(getTaskbarHeight(), GetSystemMetrics(SM_CYSCREEN) - (work.bottom - work.top));
    EXPECT_TRUE(capture.empty());
}

TEST(WindowHelpers, AlwaysOnTopShowsWithoutActivating) {
    WindowHandle window(CreateWindowExW(0, L"STATIC", L"on top", WS_POPUP, 10, 10, 50, 50, nullptr, nullptr,
                                        nullptr, nullptr));
    ASSERT_TRUE(window);
    setAlwaysOnTop(window.get(), true);
    EXPECT_TRUE(IsWindowVisible(window.get()));
    EXPECT_TRUE(GetWindowLongW(window.get(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(GetActiveWindow(), window.get());
    setAlwaysOnTop(window.get(), false);
    EXPECT_FALSE(GetWindowLongW(window.get(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(Shell, FileWithoutAnAssociatedProgramGivesFalse) {
    test::TempDir dir;
    const std::wstring file = dir.file(L"unknown.vorlanenoassoc");
    test::writeFile(file, "x");
    EXPECT_FALSE(shellExecuteFile(file, L"Open", L"", L"", SW_HIDE));
    EXPECT_FALSE(shellExecuteFile(dir.file(L"missing.txt"), L"Open", L"", L"", SW_HIDE));
}
