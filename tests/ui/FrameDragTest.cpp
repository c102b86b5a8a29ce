// Tests of the borderless frame's drag by the header and the title label.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <iterator>

#include "tests/support/DialogWatcher.h"

#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"

using namespace vorlane::ui;

namespace {

void mouse(HWND window, UINT message, WPARAM keys, int x, int y) {
    SendMessageW(window, message, keys, MAKELPARAM(x, y));
}

POINT topLeft(const Form& form) {
    const RECT rect = form.screenRect();
    return {rect.left, rect.top};
}

class FrameDrag : public ::testing::Test {
protected:
    void SetUp() override {
        login().moveTo(200, 150);
        header = login().picHeaderBg.hwnd();
    }
    static FrmLogin& login() { return frmLogin(); }
    HWND header = nullptr;
};

}  // namespace

TEST_F(FrameDrag, HeaderDragFollowsThePointerAndShowsTheMovePointer) {
    mouse(header, WM_LBUTTONDOWN, MK_LBUTTON, 50, 3);  // on the strip, above the title
    EXPECT_TRUE(login().dragging);
    EXPECT_EQ(login().startX, 50);
    EXPECT_EQ(login().startY, 3);
    EXPECT_EQ(login().mousePointer(), MousePointer::SizeAll);

    mouse(header, WM_MOUSEMOVE, MK_LBUTTON, 70, 18);
    EXPECT_EQ(topLeft(login()).x, 220);
    EXPECT_EQ(topLeft(login()).y, 165);

    // The grab point moved with the window: the same position again moves on.
    mouse(header, WM_MOUSEMOVE, MK_LBUTTON, 70, 18);
    EXPECT_EQ(topLeft(login()).x, 240);

    mouse(header, WM_LBUTTONUP, 0, 45, 3);
    EXPECT_EQ(topLeft(login()).x, 235);
    EXPECT_EQ(topLeft(login()).y, 180);
    EXPECT_FALSE(login().dragging);
    EXPECT_EQ(login().mousePointer(), MousePointer::Default);
}

TEST_F(FrameDrag, RightAndMiddleButtonsDragToo) {
    mouse(header, WM_RBUTTONDOWN, MK_RBUTTON, 10, 10);
    mouse(header, WM_RBUTTONUP, 0, 40, 0);
    EXPECT_EQ(topLeft(login()).x, 230);
    EXPECT_EQ(topLeft(login()).y, 140);

    mouse(header, WM_MBUTTONDOWN, MK_MBUTTON | MK_SHIFT, 10, 10);
    mouse(header, WM_MOUSEMOVE, MK_MBUTTON, 5, 20);
    mouse(header, WM_MBUTTONUP, 0, 5, 20);
    EXPECT_EQ(topLeft(login()).x, 220);
    EXPECT_EQ(topLeft(login()).y, 160);
    EXPECT_FALSE(login().dragging);
}

TEST_F(FrameDrag, TitleLabelDragsExactlyLikeTheHeader) {
    const RECT title = login().lblHeaderTitle.deviceRect();
    mouse(header, WM_LBUTTONDOWN, MK_LBUTTON, title.left + 5, title.top + 4);
    EXPECT_TRUE(login().dragging);
    EXPECT_EQ(login().startX, 5);  // relative to the label
    EXPECT_EQ(login().startY, 4);
    mouse(header, WM_MOUSEMOVE, MK_LBUTTON, title.left + 25, title.top + 10);
    mouse(header, WM_LBUTTONUP, 0, title.left + 25, title.top + 10);
    EXPECT_EQ(topLeft(login()).x, 240);
    EXPECT_EQ(topLeft(login()).y, 162);
}

TEST_F(FrameDrag, MoveOrReleaseWithoutAPressChangesNothing) {
    login().setMousePointer(MousePointer::Custom);
    mouse(header, WM_MOUSEMOVE, 0, 90, 20);
    mouse(header, WM_LBUTTONUP, 0, 90, 20);
    EXPECT_EQ(topLeft(login()).x, 200);
    EXPECT_EQ(topLeft(login()).y, 150);
    EXPECT_FALSE(login().dragging);
    EXPECT_EQ(login().mousePointer(), MousePointer::Custom);
    login().setMousePointer(MousePointer::Default);
}

TEST_F(FrameDrag, ThePointerReturnsToDefaultAfterTheDragWhateverItWasBefore) {
    login().setMousePointer(MousePointer::Custom);
    mouse(header, WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
    EXPECT_EQ(login().mousePointer(), MousePointer::SizeAll);
    mouse(header, WM_LBUTTONUP, 0, 10, 10);
    EXPECT_EQ(login().mousePointer(), MousePointer::Default);
}

TEST_F(FrameDrag, CloseBoxIsNotPartOfTheDragArea) {
    int clicks = 0;
    login().picCloseX.Click = [&] { ++clicks; };
    const HWND close = login().picCloseX.hwnd();
    mouse(close, WM_LBUTTONDOWN, MK_LBUTTON, 4, 4);
    mouse(close, WM_MOUSEMOVE, MK_LBUTTON, 8, 8);
    mouse(close, WM_LBUTTONUP, 0, 8, 8);
    EXPECT_FALSE(login().dragging);
    EXPECT_EQ(topLeft(login()).x, 200);
    EXPECT_EQ(topLeft(login()).y, 150);
    EXPECT_EQ(clicks, 1);
}

// Alt+Tab, another window taking the mouse, a cancelled mode or a message box
// during the drag: the window must not follow the bare pointer afterwards.
TEST_F(FrameDrag, LosingTheMouseCaptureEndsTheDrag) {
    vorlane::test::DialogWatcher dialogs;
    const std::function<void()> losses[] = {
        [] { ReleaseCapture(); },
        [&] {
            SetCapture(login().picCloseX.hwnd());
            ReleaseCapture();
        },
        [&] { SendMessageW(login().hwnd(), WM_CANCELMODE, 0, 0); },
        [&] { MessageBoxW(login().hwnd(), L"During the drag", L"Drag", MB_OK); },
    };
    for (size_t i = 0; i < std::size(losses); ++i) {
        SCOPED_TRACE(i);
        login().moveTo(200, 150);
        mouse(header, WM_LBUTTONDOWN, MK_LBUTTON, 50, 3);
        ASSERT_TRUE(login().dragging);
        losses[i]();
        EXPECT_FALSE(login().dragging);
        EXPECT_EQ(login().mousePointer(), MousePointer::Default);
        mouse(header, WM_MOUSEMOVE, 0, 90, 20);
        mouse(header, WM_LBUTTONUP, 0, 90, 20);
        EXPECT_EQ(topLeft(login()).x, 200);
        EXPECT_EQ(topLeft(login()).y, 150);
    }
    EXPECT_EQ(dialogs.count(), 1u);
}

TEST(FrameDragImageHeader, DownloadWindowDragsByItsHeaderImage) {
    FrmDownloading& window = frmDownloading();
    window.moveTo(100, 100);
    const HWND form = window.hwnd();
    mouse(form, WM_LBUTTONDOWN, MK_LBUTTON, 3, 12);  // header image, left of the title
    EXPECT_TRUE(window.dragging);
    mouse(form, WM_LBUTTONUP, 0, 13, 2);
    EXPECT_EQ(topLeft(window).x, 110);
    EXPECT_EQ(topLeft(window).y, 90);

    const RECT title = window.lblHeaderTitle.deviceRect();
    mouse(form, WM_RBUTTONDOWN, MK_RBUTTON, title.left + 100, title.top + 5);
    mouse(form, WM_RBUTTONUP, 0, title.left + 90, title.top + 15);
    EXPECT_EQ(topLeft(window).x, 100);
    EXPECT_EQ(topLeft(window).y, 100);

    // The progress strip is not a handle.
    const RECT bar = window.picProgressBar.deviceRect();
    mouse(form, WM_LBUTTONDOWN, MK_LBUTTON, bar.left + 5, bar.top + 5);
    EXPECT_FALSE(window.dragging);
}
