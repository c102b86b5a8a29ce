// The tooltip a form's labels share: made on first need, its texts broken into
// lines that stay on the screen, and its property on the form removed when it goes.
#include "ui/kit/FormToolTip.h"

#include <commctrl.h>

#include <algorithm>
#include <string_view>

#include "ui/kit/PaintGuards.h"
#include "ui/kit/Skin.h"

namespace vorlane::ui {

namespace {

constexpr const wchar_t* kToolTipProperty = L"VorlaneToolTip";
constexpr UINT_PTR kToolTipSubclass = 1;
// The widest line one reads at a glance, in design pixels.
constexpr int kGlanceWidth = 400;
constexpr std::wstring_view kLineBreak = L"\r\n";

TTTOOLINFOW toolOf(HWND window, UINT_PTR id) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window;
    tool.uId = id;
    return tool;
}

// The property goes with the tooltip, whether the form's window takes it along
// or it is destroyed on its own: the form never finds a tooltip that is gone.
LRESULT CALLBACK toolTipProc(HWND tip, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR form) {
    if (message == WM_NCDESTROY) {
        const auto owner = reinterpret_cast<HWND>(form);
        if (GetPropW(owner, kToolTipProperty) == tip) RemovePropW(owner, kToolTipProperty);
        RemoveWindowSubclass(tip, toolTipProc, kToolTipSubclass);
    }
    return DefSubclassProc(tip, message, wParam, lParam);
}

// How wide a line of the tooltip may be at dpi: a glance's width, and never
// more than half the work area of the monitor the form is on.
int lineWidth(HWND form, UINT dpi) {
    const int glance = scaled(kGlanceWidth, dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTONEAREST), &monitor)) return glance;
    return std::max(1, std::min<int>(glance, (monitor.rcWork.right - monitor.rcWork.left) / 2));
}

// text in lines no wider than width in the tooltip's font. A name or address
// has no blanks to wrap at: each line is broken after its last blank or slash
// where that keeps at least half of it, else after as many characters as fit.
std::wstring inLines(HWND tip, const std::wstring& text, int width) {
    const auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(tip, WM_GETFONT, 0, 0));
    const MeasuringDC dc(font ? font : GetStockObject(DEFAULT_GUI_FONT));
    std::wstring lines;
    for (std::wstring_view rest = text; !rest.empty();) {
        int fit = 0;
        SIZE size{};
        if (!GetTextExtentExPointW(dc.get(), rest.data(), static_cast<int>(rest.size()), width, &fit, nullptr, &size))
            fit = static_cast<int>(rest.size());
        size_t take = std::clamp<size_t>(static_cast<size_t>(std::max(fit, 0)), 1, rest.size());
        if (take < rest.size()) {
            const size_t gap = rest.substr(0, take).find_last_of(L" /");
            if (gap != std::wstring_view::npos && gap + 1 >= take / 2) take = gap + 1;
        }
        if (!lines.empty()) lines += kLineBreak;
        lines += rest.substr(0, take);
        rest.remove_prefix(take);
    }
    return lines;
}

}  // namespace

HWND FormToolTip::toolTip(bool make) const {
    if (const auto tip = static_cast<HWND>(GetPropW(form_, kToolTipProperty)); tip || !make) return tip;
    static const bool classes = [] {
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)classes;
    const HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    if (!tip) return nullptr;
    if (!SetWindowSubclass(tip, toolTipProc, kToolTipSubclass, reinterpret_cast<DWORD_PTR>(form_)) ||
        !SetPropW(form_, kToolTipProperty, tip)) {
        DestroyWindow(tip);
        return nullptr;
    }
    return tip;
}

void FormToolTip::set(HWND window, UINT_PTR id, const RECT& rect, const std::wstring& text, UINT dpi) const {
    const HWND tip = toolTip(true);
    if (!tip) return;
    TTTOOLINFOW tool = toolOf(window, id);
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // With a width set the tooltip keeps to it and shows the lines as given.
    const int width = lineWidth(form_, dpi);
    SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, width);
    std::wstring lines = inLines(tip, text, width);
    tool.uFlags = TTF_SUBCLASS;
    tool.rect = rect;
    tool.lpszText = lines.data();
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FormToolTip::remove(HWND window, UINT_PTR id) const {
    const HWND tip = toolTip(false);
    if (!tip) return;
    TTTOOLINFOW tool = toolOf(window, id);
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::wstring FormToolTip::text(HWND window, UINT_PTR id, size_t given) const {
    const HWND tip = toolTip(false);
    if (!tip) return {};
    // Room for the text with a line break after each of its characters.
    std::wstring held((kLineBreak.size() + 1) * given + INFOTIPSIZE, L'\0');
    TTTOOLINFOW tool = toolOf(window, id);
    tool.lpszText = held.data();
    if (!SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return {};
    held.resize(held.find(L'\0'));
    for (size_t at = held.find(kLineBreak); at != std::wstring::npos; at = held.find(kLineBreak, at))
        held.erase(at, kLineBreak.size());
    return held;
}

}  // namespace vorlane::ui
