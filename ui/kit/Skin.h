// The program's own look: colours, fonts, the pointer of picture buttons and every
// picture of the windows, drawn by code at the size and DPI they are shown at.
#pragma once

#include <windows.h>

namespace vorlane::ui {

// Design sizes are pixels at 96 DPI; everything on the screen scales with the DPI.
inline int scaled(int designPixels, UINT dpi) { return MulDiv(designPixels, static_cast<int>(dpi), 96); }

namespace colors {
constexpr COLORREF kWindow = RGB(0xF3, 0xF5, 0xF8);
constexpr COLORREF kPanel = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kPanelBorder = RGB(0xCF, 0xD8, 0xE3);
constexpr COLORREF kText = RGB(0x1F, 0x2A, 0x37);
constexpr COLORREF kMutedText = RGB(0x5B, 0x67, 0x75);
constexpr COLORREF kLink = RGB(0x1B, 0x6A, 0xB5);
constexpr COLORREF kHeaderText = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kHeaderTop = RGB(0x24, 0x3B, 0x5E);
constexpr COLORREF kHeaderBottom = RGB(0x1A, 0x2C, 0x47);
constexpr COLORREF kAccent = RGB(0xF2, 0xA5, 0x41);
constexpr COLORREF kAccentDark = RGB(0xD9, 0x86, 0x1C);
}  // namespace colors

enum class FontRole { Body, Bold, Title, Heading, Link, Small };

// The font of a role at a DPI; owned by the skin, shared by every window.
HFONT skinFont(FontRole role, UINT dpi);

// The custom pointer of picture buttons and links: a pointing hand.
HCURSOR customPointer();

// Every picture the windows show. None is an empty picture.
enum class Art {
    None,
    HeaderStrip,        // the dragging strip at the top of a window
    SlideHeaderStrip,   // the notification window's narrower header
    CloseBox,
    MainBackground,
    LoginBackground,
    OptionsBackground,
    QuickStartBackground,
    DownloadBackground,  // includes the trough under the progress strip
    SlideWatermark,
    Mascot,
    TabMembers, TabMembersActive,
    TabTags, TabTagsActive,
    TabCategory, TabCategoryActive,
    PanelFill,
    CornerTopLeft, CornerTopRight, CornerBottomLeft, CornerBottomRight,
    SourceCornerTopLeft, SourceCornerTopRight, SourceCornerBottomLeft, SourceCornerBottomRight,
    QuickTip,
    DividerLine,
    ProgressStrip,
    ButtonSaveMinimize, ButtonOptions, ButtonExit,
    ButtonLogin, ButtonSignUp,
    ButtonSave, ButtonCancel, ButtonClose, ButtonAbort,
};

// Paints the picture into rect (device pixels) of dc; what the picture leaves
// uncovered keeps what dc held.
void drawArt(HDC dc, const RECT& rect, Art art, UINT dpi);

// Fills rect with a vertical gradient.
void fillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);

}  // namespace vorlane::ui
