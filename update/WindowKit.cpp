// The update engine's window pieces: fonts at a DPI, gradients and the skinned buttons.
#include "update/WindowKit.h"

#include <string>

namespace vorlane::updater {

namespace {

COLORREF mix(COLORREF a, COLORREF b, int step, int steps) {
    auto channel = [&](int x, int y) { return static_cast<BYTE>(x + (y - x) * step / (steps > 1 ? steps - 1 : 1)); };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

}  // namespace

GdiObjectHandle arialFont(int hundredthsOfPoint, bool bold, UINT dpi) {
    LOGFONTW description{};
    description.lfHeight = -MulDiv(hundredthsOfPoint, static_cast<int>(dpi), 7200);
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(description.lfFaceName, L"Arial", LF_FACESIZE);
    return GdiObjectHandle(CreateFontIndirectW(&description));
}

UINT systemDpi() {
    const UINT dpi = GetDpiForSystem();
    return dpi ? dpi : 96;
}

void fillSolid(HDC dc, const RECT& rect, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void fillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
    const int height = rect.bottom - rect.top;
    for (int y = 0; y < height; ++y)
        fillSolid(dc, {rect.left, rect.top + y, rect.right, rect.top + y + 1}, mix(top, bottom, y, height));
}

void drawSkinButton(const DRAWITEMSTRUCT& item, UINT dpi) {
    const bool enabled = !(item.itemState & ODS_DISABLED);
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    // The corners show the window behind the button.
    fillSolid(dc, rect, palette::kWindow);
    const COLORREF border = enabled ? palette::kAccentDark : palette::kQuietBorder;
    GdiObjectHandle region(CreateRoundRectRgn(rect.left, rect.top, rect.right + 1, rect.bottom + 1, scaled(8, dpi),
                                              scaled(8, dpi)));
    SelectClipRgn(dc, static_cast<HRGN>(region.get()));
    if (enabled)
        fillGradient(dc, rect, pressed ? palette::kAccentDark : palette::kAccent,
                     pressed ? palette::kAccent : palette::kAccentDark);
    else
        fillSolid(dc, rect, palette::kQuiet);
    SelectClipRgn(dc, nullptr);
    GdiObjectHandle borderBrush(CreateSolidBrush(border));
    FrameRgn(dc, static_cast<HRGN>(region.get()), static_cast<HBRUSH>(borderBrush.get()), 1, 1);

    const std::wstring caption = windowText(item.hwndItem);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? palette::kText : palette::kMutedText);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = rect;
        InflateRect(&focus, -scaled(4, dpi), -scaled(4, dpi));
        DrawFocusRect(dc, &focus);
    }
}

void registerWindowClass(const wchar_t* className, WNDPROC windowProc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &existing)) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

RECT centredWindowRect(int designWidth, int designHeight, UINT dpi, DWORD style, DWORD exStyle) {
    RECT rect{0, 0, scaled(designWidth, dpi), scaled(designHeight, dpi)};
    AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    return {left, top, left + width, top + height};
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied));
    return text;
}

}  // namespace vorlane::updater
