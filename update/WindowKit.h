// Small pieces the update engine's windows share: the palette, fonts at a DPI
// and design pixels scaled to it.
#pragma once

#include <windows.h>

#include <string>

#include "core/Handles.h"

namespace vorlane::updater {

namespace palette {
constexpr COLORREF kWindow = RGB(0xF3, 0xF5, 0xF8);
constexpr COLORREF kText = RGB(0x1F, 0x2A, 0x37);
constexpr COLORREF kMutedText = RGB(0x5B, 0x67, 0x75);
constexpr COLORREF kHeaderText = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kHeaderTop = RGB(0x24, 0x3B, 0x5E);
constexpr COLORREF kHeaderBottom = RGB(0x1A, 0x2C, 0x47);
constexpr COLORREF kAccent = RGB(0xF2, 0xA5, 0x41);
constexpr COLORREF kAccentDark = RGB(0xD9, 0x86, 0x1C);
constexpr COLORREF kQuiet = RGB(0xE3, 0xE8, 0xEE);
constexpr COLORREF kQuietBorder = RGB(0xB5, 0xC1, 0xCF);
}  // namespace palette

// Design sizes are pixels at 96 DPI.
inline int scaled(int designPixels, UINT dpi) { return MulDiv(designPixels, static_cast<int>(dpi), 96); }

// Arial at a size in hundredths of a point (975 is 9.75 pt).
GdiObjectHandle arialFont(int hundredthsOfPoint, bool bold, UINT dpi);

// The DPI a new window on the main screen gets.
UINT systemDpi();

// A vertical gradient.
void fillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
void fillSolid(HDC dc, const RECT& rect, COLORREF color);

// Paints an owner-drawn push button in the program's look: the accent colour
// when enabled, quiet grey when not.
void drawSkinButton(const DRAWITEMSTRUCT& item, UINT dpi);

// Registers a window class of this program once, with its icon and arrow.
void registerWindowClass(const wchar_t* className, WNDPROC windowProc);

// Where a window of that client size (design pixels) and style sits, centred
// in the work area.
RECT centredWindowRect(int designWidth, int designHeight, UINT dpi, DWORD style, DWORD exStyle);

// The window's text.
std::wstring windowText(HWND window);

}  // namespace vorlane::updater
