// The borderless frame: the header strip, the title label and the close picture.
#include "ui/kit/FramedForm.h"

namespace vorlane::ui {

namespace {
constexpr int kHeaderHeight = 30;
constexpr int kCloseSize = 18;
}  // namespace

void FramedForm::createFrame(const std::wstring& title) {
    const int width = designWidth();
    picHeaderBg.create(*this, {0, 0, width, kHeaderHeight}, Art::HeaderStrip, false);
    lblHeaderTitle.create(picHeaderBg, {12, 8, width - 48, 16}, title, FontRole::Title, colors::kHeaderText);
    picCloseX.create(picHeaderBg, {width - kCloseSize - 7, (kHeaderHeight - kCloseSize) / 2 - 1, kCloseSize, kCloseSize},
                     Art::CloseBox);
    picCloseX.setMousePointer(MousePointer::Custom);

    picHeaderBg.MouseDown = [this](const MouseEvent& e) { picHeaderBg_MouseDown(e); };
    picHeaderBg.MouseMove = [this](const MouseEvent& e) { picHeaderBg_MouseMove(e); };
    picHeaderBg.MouseUp = [this](const MouseEvent& e) { picHeaderBg_MouseUp(e); };
    lblHeaderTitle.MouseDown = [this](const MouseEvent& e) { lblHeaderTitle_MouseDown(e); };
    lblHeaderTitle.MouseMove = [this](const MouseEvent& e) { lblHeaderTitle_MouseMove(e); };
    lblHeaderTitle.MouseUp = [this](const MouseEvent& e) { lblHeaderTitle_MouseUp(e); };
}

}  // namespace vorlane::ui
