// The status window: a banner across the top with the program's icon and the
// "Update Engine" label, the log in the middle and the button below it.
#include "update/frmMain.h"
#include "update/WindowKit.h"

namespace vorlane::updater {

namespace {

// Design pixels at 96 DPI: a client area of 5700 by 4560 twips.
constexpr int kDesignWidth = 380;
constexpr int kDesignHeight = 304;
constexpr int kBannerHeight = 64;
constexpr int kMargin = 12;
constexpr RECT kStatusBox{kMargin, kBannerHeight + 12, kDesignWidth - kMargin, 252};
constexpr RECT kDoneButton{kDesignWidth - kMargin - 120, 264, kDesignWidth - kMargin, 292};

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

RECT scaledRect(const RECT& design, UINT dpi) {
    return {scaled(design.left, dpi), scaled(design.top, dpi), scaled(design.right, dpi), scaled(design.bottom, dpi)};
}

void drawText(HDC dc, HGDIOBJ font, const std::wstring& text, RECT rect, COLORREF color, UINT format) {
    const HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

}  // namespace

void FrmMain::createWindow() {
    registerWindowClass(kClassName, windowProc);
    dpi_ = systemDpi();
    const RECT place = centredWindowRect(kDesignWidth, kDesignHeight, dpi_, kStyle, kExStyle);
    window_.reset(CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, place.left, place.top,
                                  place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), this));

    txtStatus = CreateWindowExW(0, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                                0, 0, 0, 0, window_.get(), reinterpret_cast<HMENU>(INT_PTR{kStatusId}),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(txtStatus, EM_SETLIMITTEXT, 0, 0);
    cmdDone = CreateWindowExW(0, L"BUTTON", L"Please Wait...", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0,
                              0, 0, 0, window_.get(), reinterpret_cast<HMENU>(INT_PTR{kDoneId}),
                              GetModuleHandleW(nullptr), nullptr);
    EnableWindow(cmdDone, FALSE);
    icon_.reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                              scaled(32, dpi_), scaled(32, dpi_), 0)));
    applyDpi(dpi_);
}

void FrmMain::applyDpi(UINT dpi) {
    dpi_ = dpi;
    statusFont_ = arialFont(975, true, dpi);
    titleFont_ = arialFont(1425, false, dpi);
    brandFont_ = arialFont(1425, true, dpi);
    SendMessageW(txtStatus, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_.get()), FALSE);
    SendMessageW(cmdDone, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_.get()), FALSE);
    const int margin = scaled(6, dpi);
    SendMessageW(txtStatus, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
    layout();
}

void FrmMain::layout() {
    // The log sits one pixel inside the frame that paint draws around it.
    RECT box = scaledRect(kStatusBox, dpi_);
    MoveWindow(txtStatus, box.left + 1, box.top + 1, box.right - box.left - 2, box.bottom - box.top - 2, TRUE);
    const RECT button = scaledRect(kDoneButton, dpi_);
    MoveWindow(cmdDone, button.left, button.top, button.right - button.left, button.bottom - button.top, TRUE);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void FrmMain::paint(HDC dc) {
    RECT client;
    GetClientRect(window_.get(), &client);
    const int bannerHeight = scaled(kBannerHeight, dpi_);
    const int accent = scaled(2, dpi_);
    fillGradient(dc, {0, 0, client.right, bannerHeight - accent}, palette::kHeaderTop, palette::kHeaderBottom);
    fillSolid(dc, {0, bannerHeight - accent, client.right, bannerHeight}, palette::kAccent);
    fillSolid(dc, {0, bannerHeight, client.right, client.bottom}, palette::kWindow);

    const int iconSize = scaled(32, dpi_);
    const int iconTop = (bannerHeight - accent - iconSize) / 2;
    if (icon_) DrawIconEx(dc, scaled(kMargin, dpi_), iconTop, icon_.get(), iconSize, iconSize, 0, nullptr, DI_NORMAL);
    const int brandLeft = scaled(kMargin + 42, dpi_);
    drawText(dc, brandFont_.get(), L"Vorlane", {brandLeft, 0, client.right / 2, bannerHeight - accent},
             palette::kHeaderText, DT_LEFT | DT_VCENTER);
    // lblUpdateEngine
    drawText(dc, titleFont_.get(), L"Update Engine",
             {client.right / 2, scaled(8, dpi_), client.right - scaled(kMargin, dpi_), scaled(36, dpi_)},
             palette::kHeaderText, DT_RIGHT | DT_TOP);

    RECT frame = scaledRect(kStatusBox, dpi_);
    GdiObjectHandle border(CreateSolidBrush(palette::kQuietBorder));
    FrameRect(dc, &frame, static_cast<HBRUSH>(border.get()));
}

LRESULT CALLBACK FrmMain::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* form = reinterpret_cast<FrmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form || message == WM_NCCREATE) return DefWindowProcW(window, message, wParam, lParam);
    return form->message(window, message, wParam, lParam);
}

LRESULT FrmMain::message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        paint(dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return TRUE;
    case WM_SHOWWINDOW:
        if (wParam) showLog();
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
        // The read-only log: bold text on the button-face colour.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), palette::kText);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_DRAWITEM: drawSkinButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam), dpi_); return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        // Enter and Escape reach the window as IDOK and IDCANCEL.
        if ((id == kDoneId || id == IDOK || id == IDCANCEL) && IsWindowEnabled(cmdDone)) cmdDone_Click();
        return 0;
    }
    case WM_CLOSE: cmdDone_Click(); return 0;
    case WM_ACTIVATE:
        // As dialogs do: the focus leaves with the window and comes back to
        // the same control, not to the window itself.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus)) focusOnReturn_ = focus;
        } else {
            SetFocus(focusOnReturn_ ? focusOnReturn_ : cmdDone);
        }
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        applyDpi(HIWORD(wParam));
        return 0;
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace vorlane::updater
