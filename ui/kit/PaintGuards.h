// Scope guards for painting and measuring: a window's paint, an object selected
// into a DC, a DC to measure text in and an off-screen buffer, each given back
// however the painting ends.
#pragma once

#include <windows.h>

#include <optional>

#include "core/Handles.h"

namespace vorlane::ui {

// BeginPaint for the scope: EndPaint gives the window's DC back and shows the
// caret again, also when the painting fails.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a DC for the scope; the one it replaced comes back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), replaced_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (replaced_ && replaced_ != HGDI_ERROR) SelectObject(dc_, replaced_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

    bool selected() const { return replaced_ && replaced_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ replaced_;
};

// A memory DC with a font selected, for measuring text.
class MeasuringDC {
public:
    explicit MeasuringDC(HGDIOBJ font) : dc_(CreateCompatibleDC(nullptr)), font_(dc_.get(), font) {}
    HDC get() const { return dc_.get(); }

private:
    MemoryDCHandle dc_;
    SelectedObject font_;
};

// A memory DC with a bitmap of the target's kind, to paint into first and show
// at once. Without one (no memory for it) the painting goes straight to the target.
class OffscreenBuffer {
public:
    OffscreenBuffer(HDC target, int width, int height);
    OffscreenBuffer(const OffscreenBuffer&) = delete;
    OffscreenBuffer& operator=(const OffscreenBuffer&) = delete;

    // Where to paint: the buffer, or the target when there is none.
    HDC dc() const { return selection_ ? memory_.get() : target_; }
    // Copies what was painted to the target.
    void show() const;

private:
    HDC target_;
    int width_;
    int height_;
    // Given back in the reverse order: the bitmap leaves the DC before either goes.
    MemoryDCHandle memory_;
    GdiObjectHandle bitmap_;
    std::optional<SelectedObject> selection_;
};

}  // namespace vorlane::ui
