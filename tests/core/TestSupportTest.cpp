// The test harness's own moving parts, checked once against the real platform.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/DialogWatcher.h"

using vorlane::test::DialogWatcher;

TEST(DialogWatcher, AnswersAndRecordsMessageBoxes) {
    DialogWatcher watcher;
    watcher.answer(L"Confirm Exit", IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Sure?", L"Confirm Exit", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Line one\r\nLine two", L"Plain", MB_OK), IDOK);
    const auto seen = watcher.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, L"Confirm Exit");
    EXPECT_EQ(seen[0].text, L"Sure?");
    EXPECT_EQ(seen[1].text, L"Line one\r\nLine two");
}
