// The modal box that asks for one line of text.
#include "update/InputBox.h"

#include <windows.h>
#include <windowsx.h>

#include "core/Handles.h"
#include "update/WindowKit.h"

namespace vorlane::updater {

namespace {

// A borderless box in the program's look: a header strip that carries the
// title and drags the box, the prompt, the field and the two buttons.
constexpr int kDesignWidth = 360;
constexpr int kDesignHeight = 152;
constexpr int kHeaderHeight = 30;

struct InputBoxState {
    std::wstring prompt;
    std::wstring title;
    UINT dpi = 96;
    GdiObjectHandle font;
    GdiObjectHandle titleFont;
    GdiObjectHandle windowBrush;
    HWND text = nullptr;
    bool done = false;
    std::wstring answer;
};

void makeControls(HWND box, InputBoxState& state) {
    const UINT dpi = state.dpi;
    auto control = [&](const wchar_t* type, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h,
                       DWORD exStyle = 0) {
        HWND child = CreateWindowExW(exStyle, type, text, WS_CHILD | WS_VISIBLE | style, scaled(x, dpi),
                                     scaled(y, dpi), scaled(w, dpi), scaled(h, dpi), box,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                     nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
        return child;
    };
    control(L"STATIC", state.prompt.c_str(), SS_LEFT | SS_NOPREFIX, -1, 12, kHeaderHeight + 10, 336, 34);
    state.text = control(L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kInputBoxTextId, 12,
                         kHeaderHeight + 48, 336, 22);
    control(L"BUTTON", L"OK", WS_TABSTOP | BS_OWNERDRAW, IDOK, 188, kHeaderHeight + 84, 76, 26);
    control(L"BUTTON", L"Cancel", WS_TABSTOP | BS_OWNERDRAW, IDCANCEL, 272, kHeaderHeight + 84, 76, 26);
}

void paintBox(HWND box, HDC dc, const InputBoxState& state) {
    RECT client;
    GetClientRect(box, &client);
    const int header = scaled(kHeaderHeight, state.dpi);
    const int accent = scaled(2, state.dpi);
    fillGradient(dc, {0, 0, client.right, header - accent}, palette::kHeaderTop, palette::kHeaderBottom);
    fillSolid(dc, {0, header - accent, client.right, header}, palette::kAccent);
    fillSolid(dc, {0, header, client.right, client.bottom}, palette::kWindow);
    RECT title{scaled(12, state.dpi), 0, client.right, header - accent};
    const HGDIOBJ old = SelectObject(dc, state.titleFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, palette::kHeaderText);
    DrawTextW(dc, state.title.c_str(), -1, &title, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT CALLBACK inputBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(box, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(box, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WM_COMMAND:
        if (!state) break;
        if (LOWORD(wParam) == IDOK) state->answer = windowText(state->text);
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) state->done = true;
        return 0;
    case WM_CLOSE:
        if (state) state->done = true;
        return 0;
    case WM_DRAWITEM:
        if (state) drawSkinButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam), state->dpi);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (!state) break;
        SetBkColor(reinterpret_cast<HDC>(wParam), palette::kWindow);
        SetTextColor(reinterpret_cast<HDC>(wParam), palette::kText);
        return reinterpret_cast<LRESULT>(state->windowBrush.get());
    case WM_ERASEBKGND: return TRUE;
    case WM_PAINT: {
        if (!state) break;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(box, &ps);
        paintBox(box, dc, *state);
        EndPaint(box, &ps);
        return 0;
    }
    case WM_NCHITTEST: {
        // The header strip moves the box.
        if (!state) break;
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(box, &at);
        if (at.y >= 0 && at.y < scaled(kHeaderHeight, state->dpi)) return HTCAPTION;
        break;
    }
    default: break;
    }
    return DefWindowProcW(box, message, wParam, lParam);
}

}  // namespace

std::wstring InputBox(const std::wstring& prompt, const std::wstring& title) {
    registerWindowClass(kInputBoxClass, inputBoxProc);
    InputBoxState state;
    state.prompt = prompt;
    state.dpi = systemDpi();
    state.title = title;
    state.font = arialFont(900, false, state.dpi);
    state.titleFont = arialFont(975, true, state.dpi);
    state.windowBrush.reset(CreateSolidBrush(palette::kWindow));

    HWND owner = GetActiveWindow();
    constexpr DWORD kStyle = WS_POPUP | WS_BORDER;
    constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_TOPMOST;
    const RECT place = centredWindowRect(kDesignWidth, kDesignHeight, state.dpi, kStyle, kExStyle);
    WindowHandle box(CreateWindowExW(kExStyle, kInputBoxClass, title.c_str(), kStyle, place.left, place.top,
                                     place.right - place.left, place.bottom - place.top, owner, nullptr,
                                     GetModuleHandleW(nullptr), &state));
    if (!box) return {};
    makeControls(box.get(), state);
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(box.get(), SW_SHOW);
    SetForegroundWindow(box.get());
    SetFocus(state.text);

    MSG message{};
    while (!state.done && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(box.get(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
    if (owner) EnableWindow(owner, TRUE);
    return state.answer;
}

}  // namespace vorlane::updater
