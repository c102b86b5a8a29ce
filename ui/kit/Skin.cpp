// The skin's fonts, pointer and pictures, drawn at the size and DPI they are shown at.
#include "ui/kit/Skin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/Handles.h"
#include "ui/kit/PaintGuards.h"

namespace vorlane::ui {

namespace {

// ---- fonts and pointer

struct FontLook {
    int height;  // design pixels
    int weight;
    bool underline;
};

FontLook lookOf(FontRole role) {
    switch (role) {
    case FontRole::Bold: return {11, FW_BOLD, false};
    case FontRole::Title: return {12, FW_BOLD, false};
    case FontRole::Heading: return {13, FW_BOLD, false};
    case FontRole::Link: return {11, FW_NORMAL, true};
    case FontRole::Small: return {10, FW_NORMAL, false};
    default: return {11, FW_NORMAL, false};
    }
}

// A hand with a pointing finger; X is the outline, . the fill.
constexpr const char* kHandPointer[] = {
    "     XX          ",
    "    X..X         ",
    "    X..X         ",
    "    X..X         ",
    "    X..X         ",
    "    X..XXX       ",
    "    X..X..XXX    ",
    "    X..X..X..XX  ",
    " XX X..X..X..X.X ",
    "X..XX........X.X ",
    "X...X..........X ",
    " X.............X ",
    "  X............X ",
    "  X...........X  ",
    "   X..........X  ",
    "    X........X   ",
    "     X.......X   ",
    "     XXXXXXXXX   ",
};

HCURSOR makeHandPointer() {
    const int width = GetSystemMetrics(SM_CXCURSOR);
    const int height = GetSystemMetrics(SM_CYCURSOR);
    const int rowBytes = ((width + 15) / 16) * 2;
    std::vector<BYTE> andMask(static_cast<size_t>(rowBytes * height), 0xFF);
    std::vector<BYTE> xorMask(static_cast<size_t>(rowBytes * height), 0x00);
    const int rows = static_cast<int>(std::size(kHandPointer));
    for (int y = 0; y < std::min(rows, height); ++y) {
        for (int x = 0; kHandPointer[y][x] && x < width; ++x) {
            const char c = kHandPointer[y][x];
            if (c == ' ') continue;
            const size_t at = static_cast<size_t>(y * rowBytes + x / 8);
            const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
            andMask[at] &= static_cast<BYTE>(~bit);
            if (c == '.') xorMask[at] |= bit;
        }
    }
    return CreateCursor(GetModuleHandleW(nullptr), 5, 0, width, height, andMask.data(), xorMask.data());
}

// ---- drawing helpers

COLORREF mix(COLORREF a, COLORREF b, double t) {
    auto channel = [t](int x, int y) { return static_cast<BYTE>(std::lround(x + (y - x) * t)); };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

void fillRect(HDC dc, const RECT& rect, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// A pair of GDI objects selected into a DC for one shape.
class Brushes {
public:
    Brushes(HDC dc, COLORREF fill, COLORREF line, int lineWidth)
        : brush_(CreateSolidBrush(fill)),
          pen_(lineWidth > 0 ? CreatePen(PS_SOLID, lineWidth, line) : CreatePen(PS_NULL, 0, 0)),
          brushSelection_(dc, brush_.get()),
          penSelection_(dc, pen_.get()) {}

private:
    // Given back in the reverse order: both leave the DC before either is deleted.
    GdiObjectHandle brush_;
    GdiObjectHandle pen_;
    SelectedObject brushSelection_;
    SelectedObject penSelection_;
};

// Draws shapes four times larger than the target and averages them down, so
// that curves and slopes come out smooth. Coordinates are design pixels of the
// art, relative to the art's rectangle.
class SmoothCanvas {
public:
    SmoothCanvas(HDC target, const RECT& rect, UINT dpi)
        : target_(target), rect_(rect), width_(rect.right - rect.left), height_(rect.bottom - rect.top),
          unit_(kFactor * dpi / 96.0) {
        if (width_ <= 0 || height_ <= 0) return;
        small_ = makeDib(width_, height_, &smallBits_);
        big_ = makeDib(width_ * kFactor, height_ * kFactor, &bigBits_);
        if (!smallBits_ || !bigBits_) return;  // no memory for them: nothing is drawn
        smallDc_.reset(CreateCompatibleDC(target));
        bigDc_.reset(CreateCompatibleDC(target));
        if (!smallDc_ || !bigDc_) return;
        smallSelection_.emplace(smallDc_.get(), small_.get());
        bigSelection_.emplace(bigDc_.get(), big_.get());
        BitBlt(smallDc_.get(), 0, 0, width_, height_, target, rect.left, rect.top, SRCCOPY);
        for (int y = 0; y < height_ * kFactor; ++y)
            for (int x = 0; x < width_ * kFactor; ++x)
                bigBits_[y * width_ * kFactor + x] = smallBits_[(y / kFactor) * width_ + x / kFactor];
    }

    ~SmoothCanvas() {
        if (!ready()) return;
        GdiFlush();
        const int bigWidth = width_ * kFactor;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                unsigned r = 0, g = 0, b = 0;
                for (int dy = 0; dy < kFactor; ++dy) {
                    for (int dx = 0; dx < kFactor; ++dx) {
                        const uint32_t p = bigBits_[(y * kFactor + dy) * bigWidth + x * kFactor + dx];
                        r += (p >> 16) & 0xFF;
                        g += (p >> 8) & 0xFF;
                        b += p & 0xFF;
                    }
                }
                constexpr unsigned n = kFactor * kFactor;
                smallBits_[y * width_ + x] = ((r / n) << 16) | ((g / n) << 8) | (b / n);
            }
        }
        BitBlt(target_, rect_.left, rect_.top, width_, height_, smallDc_.get(), 0, 0, SRCCOPY);
    }

    SmoothCanvas(const SmoothCanvas&) = delete;
    SmoothCanvas& operator=(const SmoothCanvas&) = delete;

    bool ready() const { return smallSelection_ && bigSelection_; }
    HDC dc() const { return bigDc_.get(); }
    int at(double designPixels) const { return static_cast<int>(std::lround(designPixels * unit_)); }
    // The art's size in design pixels.
    double width() const { return width_ * kFactor / unit_; }
    double height() const { return height_ * kFactor / unit_; }

    void roundRect(double left, double top, double right, double bottom, double radius, COLORREF fill,
                   COLORREF line = CLR_INVALID, double lineWidth = 1) {
        Brushes use(dc(), fill, line, line == CLR_INVALID ? 0 : std::max(1, at(lineWidth)));
        RoundRect(dc(), at(left), at(top), at(right), at(bottom), at(radius * 2), at(radius * 2));
    }

    void ellipse(double left, double top, double right, double bottom, COLORREF fill, COLORREF line = CLR_INVALID,
                 double lineWidth = 1) {
        Brushes use(dc(), fill, line, line == CLR_INVALID ? 0 : std::max(1, at(lineWidth)));
        Ellipse(dc(), at(left), at(top), at(right), at(bottom));
    }

    void polygon(std::initializer_list<std::pair<double, double>> points, COLORREF fill) {
        std::vector<POINT> scaledPoints;
        for (auto [x, y] : points) scaledPoints.push_back({at(x), at(y)});
        Brushes use(dc(), fill, CLR_INVALID, 0);
        Polygon(dc(), scaledPoints.data(), static_cast<int>(scaledPoints.size()));
    }

    void line(double x1, double y1, double x2, double y2, COLORREF color, double width) {
        LOGBRUSH brush{BS_SOLID, color, 0};
        GdiObjectHandle pen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND, std::max(1, at(width)), &brush, 0,
                                         nullptr));
        const SelectedObject use(dc(), pen.get());
        MoveToEx(dc(), at(x1), at(y1), nullptr);
        LineTo(dc(), at(x2), at(y2));
    }

    // A vertical gradient clipped to a rounded rectangle.
    void gradientRoundRect(double left, double top, double right, double bottom, double radius, COLORREF upper,
                           COLORREF lower) {
        GdiObjectHandle region(CreateRoundRectRgn(at(left), at(top), at(right) + 1, at(bottom) + 1, at(radius * 2),
                                                  at(radius * 2)));
        SelectClipRgn(dc(), static_cast<HRGN>(region.get()));
        fillGradient(dc(), {at(left), at(top), at(right), at(bottom)}, upper, lower);
        SelectClipRgn(dc(), nullptr);
    }

private:
    static constexpr int kFactor = 4;

    static GdiObjectHandle makeDib(int width, int height, uint32_t** bits) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* data = nullptr;
        GdiObjectHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &data, nullptr, 0));
        *bits = static_cast<uint32_t*>(data);
        return bitmap;
    }

    HDC target_;
    RECT rect_;
    int width_;
    int height_;
    double unit_;
    GdiObjectHandle small_;
    GdiObjectHandle big_;
    uint32_t* smallBits_ = nullptr;
    uint32_t* bigBits_ = nullptr;
    MemoryDCHandle smallDc_;
    MemoryDCHandle bigDc_;
    // Given back first: the pictures leave their DCs before any of them goes.
    std::optional<SelectedObject> smallSelection_;
    std::optional<SelectedObject> bigSelection_;
};

// Positions inside a whole-window background, in design pixels.
struct Layout {
    RECT rect;
    double unit;
    RECT box(double left, double top, double width, double height) const {
        return {rect.left + static_cast<LONG>(std::lround(left * unit)),
                rect.top + static_cast<LONG>(std::lround(top * unit)),
                rect.left + static_cast<LONG>(std::lround((left + width) * unit)),
                rect.top + static_cast<LONG>(std::lround((top + height) * unit))};
    }
};

void frameRect(HDC dc, const RECT& rect, COLORREF color) {
    GdiObjectHandle brush(CreateSolidBrush(color));
    FrameRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void drawCaption(HDC dc, const RECT& rect, const wchar_t* text, COLORREF color, UINT dpi, FontRole role = FontRole::Bold,
                 UINT align = DT_CENTER) {
    const SelectedObject font(dc, skinFont(role, dpi));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    RECT box = rect;
    DrawTextW(dc, text, -1, &box, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// ---- the pictures

constexpr COLORREF kSourcePanel = RGB(0xE4, 0xEA, 0xF2);
constexpr COLORREF kBand = RGB(0xE7, 0xEC, 0xF2);

void drawHeader(HDC dc, const RECT& rect, UINT dpi) {
    fillGradient(dc, rect, colors::kHeaderTop, colors::kHeaderBottom);
    const int accent = std::max(1, scaled(2, dpi));
    fillRect(dc, {rect.left, rect.bottom - accent, rect.right, rect.bottom}, colors::kAccent);
}

void drawCloseBox(HDC dc, const RECT& rect, UINT dpi, bool light) {
    SmoothCanvas canvas(dc, rect, dpi);
    if (!canvas.ready()) return;
    const double w = canvas.width(), h = canvas.height();
    const COLORREF fill = light ? RGB(0xE3, 0xE8, 0xEE) : RGB(0x3B, 0x55, 0x7C);
    const COLORREF border = light ? RGB(0xB5, 0xC1, 0xCF) : RGB(0x6A, 0x82, 0xA6);
    const COLORREF cross = light ? colors::kText : RGB(0xFF, 0xFF, 0xFF);
    canvas.roundRect(0.5, 0.5, w - 0.5, h - 0.5, 3.5, fill, border);
    const double inset = std::min(w, h) * 0.3;
    canvas.line(inset, inset, w - inset, h - inset, cross, 1.8);
    canvas.line(w - inset, inset, inset, h - inset, cross, 1.8);
}

void drawLandscape(SmoothCanvas& canvas, double left, double top, double size, COLORREF back, COLORREF front,
                   COLORREF sun) {
    const double s = size;
    canvas.ellipse(left + s * 0.62, top + s * 0.16, left + s * 0.86, top + s * 0.40, sun);
    canvas.polygon({{left + s * 0.05, top + s * 0.92}, {left + s * 0.38, top + s * 0.38}, {left + s * 0.62, top + s * 0.74},
                    {left + s * 0.70, top + s * 0.92}},
                   back);
    canvas.polygon({{left + s * 0.30, top + s * 0.92}, {left + s * 0.62, top + s * 0.50}, {left + s * 0.95, top + s * 0.92}},
                   front);
}

void drawMascot(HDC dc, const RECT& rect, UINT dpi) {
    SmoothCanvas canvas(dc, rect, dpi);
    if (!canvas.ready()) return;
    const double w = canvas.width(), h = canvas.height();
    canvas.roundRect(0.5, 0.5, w - 0.5, h - 0.5, 9, RGB(0xFF, 0xFF, 0xFF), colors::kPanelBorder);
    canvas.gradientRoundRect(4, 4, w - 4, h - 4, 6, RGB(0x3E, 0x86, 0xD4), RGB(0xA9, 0xD3, 0xF2));
    drawLandscape(canvas, 4, 6, w - 8, RGB(0x2B, 0x4C, 0x7E), colors::kHeaderBottom, colors::kAccent);
}

void drawWatermark(HDC dc, const RECT& rect, UINT dpi) {
    fillGradient(dc, rect, RGB(0xFF, 0xFF, 0xFF), RGB(0xE5, 0xEE, 0xF7));
    const int size = scaled(70, dpi);
    const RECT mark{rect.right - size - scaled(8, dpi), rect.bottom - size, rect.right - scaled(8, dpi), rect.bottom};
    SmoothCanvas canvas(dc, mark, dpi);
    if (!canvas.ready()) return;
    drawLandscape(canvas, 0, 6, canvas.width(), RGB(0xDD, 0xE7, 0xF2), RGB(0xD4, 0xE0, 0xEE), RGB(0xF8, 0xEC, 0xDC));
}

enum class TabIcon { Members, Tags, Category };

void drawTab(HDC dc, const RECT& rect, UINT dpi, TabIcon icon, const wchar_t* caption, bool active) {
    {
        SmoothCanvas canvas(dc, rect, dpi);
        if (!canvas.ready()) return;
        const double w = canvas.width(), h = canvas.height();
        if (active) {
            canvas.gradientRoundRect(0, 0, w, h, 7, colors::kHeaderTop, colors::kHeaderBottom);
            canvas.roundRect(8, h - 4, w - 8, h - 1, 1.5, colors::kAccent);
        } else {
            canvas.roundRect(0.5, 0.5, w - 0.5, h - 0.5, 7, RGB(0xFA, 0xFB, 0xFD), RGB(0xC3, 0xCE, 0xDB));
        }
        const COLORREF ink = active ? colors::kAccent : RGB(0x3A, 0x5A, 0x86);
        const double cx = 26, cy = h / 2, r = 11;
        switch (icon) {
        case TabIcon::Members:
            canvas.ellipse(cx - 5, cy - 11, cx + 5, cy - 1, ink);
            canvas.roundRect(cx - 10, cy + 1, cx + 10, cy + 14, 7, ink);
            break;
        case TabIcon::Tags:
            canvas.polygon({{cx - r, cy - r + 3}, {cx - r + 3, cy - r}, {cx + 1, cy - r}, {cx + r, cy - 1}, {cx + 1, cy + r},
                            {cx - r, cy + 1}},
                           ink);
            canvas.ellipse(cx - 7, cy - 7, cx - 3, cy - 3, active ? colors::kHeaderTop : RGB(0xFA, 0xFB, 0xFD));
            break;
        case TabIcon::Category:
            for (int i = 0; i < 4; ++i) {
                const double x = cx - 10 + (i % 2) * 11, y = cy - 10 + (i / 2) * 11;
                canvas.roundRect(x, y, x + 9, y + 9, 2, ink);
            }
            break;
        }
    }
    RECT text = rect;
    text.left += scaled(44, dpi);
    drawCaption(dc, text, caption, active ? colors::kHeaderText : colors::kText, dpi, FontRole::Title, DT_LEFT);
}

void drawCorner(HDC dc, const RECT& rect, UINT dpi, int corner, COLORREF outside, COLORREF inside, COLORREF border) {
    fillRect(dc, rect, outside);
    SmoothCanvas canvas(dc, rect, dpi);
    if (!canvas.ready()) return;
    const double w = canvas.width(), h = canvas.height();
    // The rounded rectangle twice the piece's size, placed so its corner lands here.
    const double left = (corner == 0 || corner == 2) ? 0.5 : -w;
    const double top = (corner == 0 || corner == 1) ? 0.5 : -h;
    canvas.roundRect(left, top, left + 2 * w - 0.5, top + 2 * h - 0.5, w, inside, border);
}

enum class ButtonKind { Primary, Secondary, Plain };

void drawButton(HDC dc, const RECT& rect, UINT dpi, ButtonKind kind, const wchar_t* caption) {
    COLORREF upper, lower, border, ink;
    switch (kind) {
    case ButtonKind::Primary:
        upper = RGB(0xF7, 0xBC, 0x62), lower = RGB(0xE8, 0x96, 0x2E), border = RGB(0xC7, 0x7A, 0x1A);
        ink = colors::kHeaderBottom;
        break;
    case ButtonKind::Secondary:
        upper = RGB(0x3A, 0x5C, 0x8C), lower = colors::kHeaderBottom, border = RGB(0x16, 0x25, 0x3C);
        ink = colors::kHeaderText;
        break;
    default:
        upper = RGB(0xF4, 0xF6, 0xF9), lower = RGB(0xD6, 0xDD, 0xE5), border = RGB(0xA9, 0xB6, 0xC5);
        ink = colors::kText;
        break;
    }
    {
        SmoothCanvas canvas(dc, rect, dpi);
        if (!canvas.ready()) return;
        const double w = canvas.width(), h = canvas.height();
        canvas.roundRect(0.5, 0.5, w - 0.5, h - 0.5, 6, border);
        canvas.gradientRoundRect(1.5, 1.5, w - 1.5, h - 1.5, 5, upper, lower);
    }
    drawCaption(dc, rect, caption, ink, dpi);
}

void drawQuickTip(HDC dc, const RECT& rect, UINT dpi) {
    SmoothCanvas canvas(dc, rect, dpi);
    if (!canvas.ready()) return;
    const double w = canvas.width();
    const double cx = w / 2;
    canvas.ellipse(cx - 9, 1, cx + 9, 19, RGB(0xFF, 0xD2, 0x6B), colors::kAccentDark, 1.2);
    canvas.roundRect(cx - 5, 18, cx + 5, 24, 1.5, RGB(0x8C, 0x98, 0xA8));
    canvas.line(cx - 4, 21, cx + 4, 21, RGB(0xC9, 0xD1, 0xDB), 0.8);
    canvas.line(cx - 3, 8, cx + 3, 8, RGB(0xFF, 0xF4, 0xD6), 1.2);
}

void drawProgress(HDC dc, const RECT& rect, UINT dpi) {
    SmoothCanvas canvas(dc, rect, dpi);
    if (!canvas.ready()) return;
    const double w = canvas.width(), h = canvas.height();
    canvas.gradientRoundRect(0, 0, w, h, std::min(4.0, w / 2), RGB(0x4F, 0x9B, 0xE8), RGB(0x1F, 0x66, 0xB5));
    if (w > 8) canvas.roundRect(3, 2, w - 3, h / 2, std::min(3.0, w / 4), RGB(0x7F, 0xB8, 0xF0));
}

void drawMainBackground(HDC dc, const RECT& rect, UINT dpi) {
    fillRect(dc, rect, colors::kWindow);
    const Layout layout{rect, dpi / 96.0};
    fillRect(dc, layout.box(12, 108, 496, 316), kSourcePanel);
    frameRect(dc, layout.box(12, 108, 496, 316), colors::kPanelBorder);
    fillRect(dc, layout.box(0, 436, 520, 64), kBand);
    fillRect(dc, layout.box(0, 436, 520, 1), colors::kPanelBorder);
}

void drawLoginBackground(HDC dc, const RECT& rect, UINT dpi) {
    fillRect(dc, rect, colors::kWindow);
    const Layout layout{rect, dpi / 96.0};
    fillRect(dc, layout.box(0, 232, 394, 120), kBand);
    fillRect(dc, layout.box(0, 232, 394, 1), colors::kPanelBorder);
}

void drawOptionsBackground(HDC dc, const RECT& rect, UINT dpi) {
    fillRect(dc, rect, colors::kWindow);
    const Layout layout{rect, dpi / 96.0};
    for (int y : {78, 156, 224, 284}) fillRect(dc, layout.box(16, y, 398, 1), colors::kPanelBorder);
    fillRect(dc, layout.box(0, 420, 430, 60), kBand);
    fillRect(dc, layout.box(0, 420, 430, 1), colors::kPanelBorder);
}

void drawQuickStartBackground(HDC dc, const RECT& rect, UINT dpi) {
    fillRect(dc, rect, colors::kWindow);
    const Layout layout{rect, dpi / 96.0};
    fillRect(dc, layout.box(12, 42, 319, 384), colors::kPanel);
    frameRect(dc, layout.box(12, 42, 319, 384), colors::kPanelBorder);
}

void drawDownloadBackground(HDC dc, const RECT& rect, UINT dpi) {
    fillGradient(dc, rect, colors::kWindow, RGB(0xE3, 0xE9, 0xF0));
    const Layout layout{rect, dpi / 96.0};
    SmoothCanvas canvas(dc, layout.box(11, 31, 419, 26), dpi);
    if (!canvas.ready()) return;
    canvas.roundRect(0.5, 0.5, canvas.width() - 0.5, canvas.height() - 0.5, 4.5, RGB(0xDA, 0xE1, 0xEA),
                     RGB(0xB4, 0xC0, 0xCE));
}

void drawDivider(HDC dc, const RECT& rect, UINT dpi) {
    const int width = std::max(1, scaled(1, dpi));
    const int x = rect.left + (rect.right - rect.left - width) / 2;
    const int height = rect.bottom - rect.top;
    for (int y = 0; y < height; ++y) {
        // Fades out towards both ends.
        const double t = std::min(1.0, std::min(y, height - 1 - y) / (height * 0.2 + 1));
        fillRect(dc, {x, rect.top + y, x + width, rect.top + y + 1}, mix(kBand, RGB(0xA9, 0xB6, 0xC5), t));
    }
}

}  // namespace

HFONT skinFont(FontRole role, UINT dpi) {
    static std::map<std::pair<FontRole, UINT>, GdiObjectHandle> fonts;
    GdiObjectHandle& font = fonts[{role, dpi}];
    if (!font) {
        const FontLook look = lookOf(role);
        LOGFONTW description{};
        description.lfHeight = -scaled(look.height, dpi);
        description.lfWeight = look.weight;
        description.lfUnderline = look.underline;
        description.lfCharSet = DEFAULT_CHARSET;
        description.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(description.lfFaceName, L"Tahoma", LF_FACESIZE);
        font.reset(CreateFontIndirectW(&description));
    }
    return static_cast<HFONT>(font.get());
}

HCURSOR customPointer() {
    static CursorHandle pointer(makeHandPointer());
    return pointer ? pointer.get() : LoadCursorW(nullptr, IDC_HAND);
}

void fillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
    const int height = rect.bottom - rect.top;
    for (int y = 0; y < height; ++y)
        fillRect(dc, {rect.left, rect.top + y, rect.right, rect.top + y + 1},
                 mix(top, bottom, height > 1 ? static_cast<double>(y) / (height - 1) : 0.0));
}

void drawArt(HDC dc, const RECT& rect, Art art, UINT dpi) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    switch (art) {
    case Art::None: break;
    case Art::HeaderStrip:
    case Art::SlideHeaderStrip: drawHeader(dc, rect, dpi); break;
    case Art::CloseBox: drawCloseBox(dc, rect, dpi, false); break;
    case Art::ButtonAbort: drawCloseBox(dc, rect, dpi, true); break;
    case Art::MainBackground: drawMainBackground(dc, rect, dpi); break;
    case Art::LoginBackground: drawLoginBackground(dc, rect, dpi); break;
    case Art::OptionsBackground: drawOptionsBackground(dc, rect, dpi); break;
    case Art::QuickStartBackground: drawQuickStartBackground(dc, rect, dpi); break;
    case Art::DownloadBackground: drawDownloadBackground(dc, rect, dpi); break;
    case Art::SlideWatermark: drawWatermark(dc, rect, dpi); break;
    case Art::Mascot: drawMascot(dc, rect, dpi); break;
    case Art::TabMembers: drawTab(dc, rect, dpi, TabIcon::Members, L"Members", false); break;
    case Art::TabMembersActive: drawTab(dc, rect, dpi, TabIcon::Members, L"Members", true); break;
    case Art::TabTags: drawTab(dc, rect, dpi, TabIcon::Tags, L"Tag", false); break;
    case Art::TabTagsActive: drawTab(dc, rect, dpi, TabIcon::Tags, L"Tag", true); break;
    case Art::TabCategory: drawTab(dc, rect, dpi, TabIcon::Category, L"Category", false); break;
    case Art::TabCategoryActive: drawTab(dc, rect, dpi, TabIcon::Category, L"Category", true); break;
    case Art::PanelFill:
        fillRect(dc, rect, colors::kPanel);
        frameRect(dc, rect, colors::kPanelBorder);
        break;
    case Art::CornerTopLeft: drawCorner(dc, rect, dpi, 0, kSourcePanel, colors::kPanel, colors::kPanelBorder); break;
    case Art::CornerTopRight: drawCorner(dc, rect, dpi, 1, kSourcePanel, colors::kPanel, colors::kPanelBorder); break;
    case Art::CornerBottomLeft: drawCorner(dc, rect, dpi, 2, kSourcePanel, colors::kPanel, colors::kPanelBorder); break;
    case Art::CornerBottomRight: drawCorner(dc, rect, dpi, 3, kSourcePanel, colors::kPanel, colors::kPanelBorder); break;
    case Art::SourceCornerTopLeft: drawCorner(dc, rect, dpi, 0, colors::kWindow, kSourcePanel, colors::kPanelBorder); break;
    case Art::SourceCornerTopRight: drawCorner(dc, rect, dpi, 1, colors::kWindow, kSourcePanel, colors::kPanelBorder); break;
    case Art::SourceCornerBottomLeft: drawCorner(dc, rect, dpi, 2, colors::kWindow, kSourcePanel, colors::kPanelBorder); break;
    case Art::SourceCornerBottomRight: drawCorner(dc, rect, dpi, 3, colors::kWindow, kSourcePanel, colors::kPanelBorder); break;
    case Art::QuickTip: drawQuickTip(dc, rect, dpi); break;
    case Art::DividerLine: drawDivider(dc, rect, dpi); break;
    case Art::ProgressStrip: drawProgress(dc, rect, dpi); break;
    case Art::ButtonSaveMinimize: drawButton(dc, rect, dpi, ButtonKind::Primary, L"Save and Minimize"); break;
    case Art::ButtonOptions: drawButton(dc, rect, dpi, ButtonKind::Secondary, L"Options"); break;
    case Art::ButtonExit: drawButton(dc, rect, dpi, ButtonKind::Plain, L"Exit"); break;
    case Art::ButtonLogin: drawButton(dc, rect, dpi, ButtonKind::Primary, L"Login"); break;
    case Art::ButtonSignUp: drawButton(dc, rect, dpi, ButtonKind::Secondary, L"Sign Up Free"); break;
    case Art::ButtonSave: drawButton(dc, rect, dpi, ButtonKind::Primary, L"Save"); break;
    case Art::ButtonCancel: drawButton(dc, rect, dpi, ButtonKind::Plain, L"Cancel"); break;
    case Art::ButtonClose: drawButton(dc, rect, dpi, ButtonKind::Primary, L"Close"); break;
    }
}

}  // namespace vorlane::ui
