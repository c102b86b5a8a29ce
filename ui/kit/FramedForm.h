// A window with the borderless frame: a header strip that drags the window, its
// title label, which hands its mouse events to the header's handlers, and a
// close picture outside the drag area.
#pragma once

#include "ui/kit/Form.h"

namespace vorlane::ui {

class FramedForm : public Form {
public:
    using Form::Form;

    PictureBox picHeaderBg;
    Label lblHeaderTitle;
    PictureBox picCloseX;

    void picHeaderBg_MouseDown(const MouseEvent& event) { dragMouseDown(event); }
    void picHeaderBg_MouseMove(const MouseEvent& event) { dragMouseMove(event); }
    void picHeaderBg_MouseUp(const MouseEvent& event) { dragMouseUp(event); }
    void lblHeaderTitle_MouseDown(const MouseEvent& event) { picHeaderBg_MouseDown(event); }
    void lblHeaderTitle_MouseMove(const MouseEvent& event) { picHeaderBg_MouseMove(event); }
    void lblHeaderTitle_MouseUp(const MouseEvent& event) { picHeaderBg_MouseUp(event); }

protected:
    // Header strip across the window's design width, with the title and the
    // close picture at its right end.
    void createFrame(const std::wstring& title);
};

}  // namespace vorlane::ui
