// Adding, changing and removing the program's icon in the notification area.
#include "core/modSysTray.h"

#include <algorithm>

#include "core/Trap.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kModule = L"modSysTray";

struct TrayState {
    NOTIFYICONDATAW record{};
    bool shown = false;
};

TrayState& tray() {
    static TrayState state;
    return state;
}

HICON iconOf(HWND window) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
    if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
    return icon;
}

void writeTooltip(NOTIFYICONDATAW& record, const std::wstring& tooltip) {
    const std::wstring text = trayTooltipText(tooltip);
    std::fill(std::begin(record.szTip), std::end(record.szTip), L'\0');
    std::copy(text.begin(), text.end(), record.szTip);
}

}  // namespace

const NOTIFYICONDATAW& trayIconData() { return tray().record; }

std::wstring trayTooltipText(const std::wstring& tooltip) { return tooltip.substr(0, kTrayTooltipLength); }

void CreateSystrayIcon(HWND owner, const std::wstring& tooltip) {
    runTrapped(L"CreateSystrayIcon", kModule, [&] {
        NOTIFYICONDATAW& record = tray().record;
        record = NOTIFYICONDATAW{};
        record.cbSize = sizeof(record);
        record.hWnd = owner;
        record.uID = 1;
        record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        record.uCallbackMessage = WM_MOUSEMOVE;
        record.hIcon = iconOf(owner);
        writeTooltip(record, tooltip);
        Shell_NotifyIconW(NIM_ADD, &record);
        tray().shown = true;
    });
}

void RemoveSystrayIcon() {
    runTrapped(L"RemoveSystrayIcon", kModule, [&] {
        Shell_NotifyIconW(NIM_DELETE, &tray().record);
        tray().shown = false;
    });
}

void setSystrayTooltip(const std::wstring& tooltip) {
    NOTIFYICONDATAW& record = tray().record;
    writeTooltip(record, tooltip);
    Shell_NotifyIconW(NIM_MODIFY, &record);
}

UINT taskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void onTaskbarCreated() {
    if (tray().shown) Shell_NotifyIconW(NIM_ADD, &tray().record);
}

bool systrayIconShown() { return tray().shown; }

}  // namespace vorlane
