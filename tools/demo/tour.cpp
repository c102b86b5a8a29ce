// The guided tour of `make demo` on a display nobody watches. It starts
// Vorlane, logs in as the demo member the way a member would (typing into the
// login window), closes the first-run help, saves the source choice (which
// fetches a wallpaper) and saves a picture of the screen after each step.
// Usage: tour VORLANE_EXE OUTPUT_FOLDER USERNAME PASSWORD
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/Handles.h"
#include "tools/screens/ScreenPng.h"

using namespace vorlane;

namespace {

DWORD programId = 0;
std::wstring outputFolder;
int step = 0;

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The program's shown top-level window with this caption, or null.
HWND shownWindow(const std::wstring& caption) {
    struct Search {
        const std::wstring& caption;
        HWND found = nullptr;
    } search{caption};
    EnumWindows(
        [](HWND window, LPARAM context) {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == programId && IsWindowVisible(window) && textOf(window) == s->caption) s->found = window;
            return s->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool waitFor(const std::function<bool()>& done, DWORD milliseconds = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(100);
    }
    return true;
}

HWND waitForWindow(const std::wstring& caption) {
    HWND window = nullptr;
    waitFor([&] { return (window = shownWindow(caption)) != nullptr; });
    if (!window) std::wprintf(L"  (no window \"%ls\" came up)\n", caption.c_str());
    return window;
}

std::vector<HWND> children(HWND parent, const std::wstring& className) {
    struct Search {
        const std::wstring& className;
        std::vector<HWND> found;
    } search{className, {}};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM context) {
            auto* s = reinterpret_cast<Search*>(context);
            if (classOf(window) == s->className) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND buttonCalled(HWND form, const std::wstring& caption) {
    for (HWND button : children(form, L"Button"))
        if (textOf(button) == caption) return button;
    return nullptr;
}

// The small square picture at the right end of a window's header.
HWND closeBoxOf(HWND form) {
    RECT frame{};
    GetWindowRect(form, &frame);
    for (HWND candidate : children(form, L"VorlaneSurface")) {
        RECT box{};
        GetWindowRect(candidate, &box);
        const int width = box.right - box.left;
        if (width > 0 && width < 40 && width == box.bottom - box.top && box.top - frame.top < 40 &&
            frame.right - box.right < 40)
            return candidate;
    }
    return nullptr;
}

void click(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageW(window, WM_LBUTTONUP, 0, middle);
}

void shot(const std::wstring& name, const std::wstring& what) {
    Sleep(700);  // let the windows paint
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    wchar_t file[16];
    std::swprintf(file, 16, L"%02d-", ++step);
    const std::wstring fileName = file + name + L".png";
    const bool saved = saveScreenPng(screen, outputFolder + L"\\" + fileName);
    std::wprintf(L"  %-48ls %ls%ls\n", what.c_str(), fileName.c_str(), saved ? L"" : L" (not saved)");
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::fwprintf(stderr, L"usage: tour VORLANE_EXE OUTPUT_FOLDER USERNAME PASSWORD\n");
        return 2;
    }
    outputFolder = argv[2];
    CreateDirectoryW(outputFolder.c_str(), nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        std::fwprintf(stderr, L"cannot start %ls\n", argv[1]);
        return 1;
    }
    CloseHandle(started.hThread);
    KernelHandle program(started.hProcess);
    programId = started.dwProcessId;

    if (HWND login = waitForWindow(L"Vorlane Login")) {
        shot(L"login", L"The login window");
        const std::vector<HWND> boxes = children(login, L"Edit");
        if (boxes.size() == 2) {
            SendMessageW(boxes[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
            SendMessageW(boxes[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        }
        shot(L"login-typed", L"The demo member typed in");
        if (HWND button = buttonCalled(login, L"Login")) PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        std::wprintf(L"  (a saved login: Vorlane started in the tray)\n");
    }

    if (HWND help = waitForWindow(L"Vorlane - Quick Start Guide")) {
        shot(L"first-run-help", L"The first-run help");
        if (HWND close = closeBoxOf(help)) click(close);
    }
    if (HWND main = waitForWindow(L"Vorlane - Desktop Wallpaper Manager")) {
        Sleep(1000);  // the gallery list arrives
        shot(L"main-window", L"The main window");
        if (HWND save = buttonCalled(main, L"Default (Return) Save and Minimize")) PostMessageW(save, BM_CLICK, 0, 0);
        shot(L"saved", L"Saved and minimized: a wallpaper is on its way");
        Sleep(4000);
        shot(L"wallpaper", L"A few seconds later");
    }

    TerminateProcess(program.get(), 0);
    CoUninitialize();
    return 0;
}
