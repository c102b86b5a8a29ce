// The built tray program run as a child process and driven through its windows.
#include "tests/ui/ProgramProcess.h"

#include <gtest/gtest.h>

#include "tests/support/MessagePump.h"
#include "tests/support/TestFiles.h"

namespace vorlane::test {

namespace {

}  // namespace

ProgramProcess::ProgramProcess() {
    std::wstring commandLine = L"\"" + hostPath(VORLANE_EXE) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        ADD_FAILURE() << "cannot start " << VORLANE_EXE << ": error " << GetLastError();
        return;
    }
    CloseHandle(started.hThread);
    process_.reset(started.hProcess);
    id_ = started.dwProcessId;
}

ProgramProcess::~ProgramProcess() {
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
    }
}

bool ProgramProcess::running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool ProgramProcess::waitForExit(std::chrono::milliseconds limit, DWORD& exitCode) const {
    if (!process_) return false;
    if (!waitUntil([this] { return !running(); }, limit)) return false;
    return GetExitCodeProcess(process_.get(), &exitCode) != 0;
}

std::vector<HWND> ProgramProcess::windows() const {
    if (!id_) return {};
    return topLevelWindowsOf(id_);
}

std::vector<HWND> ProgramProcess::visibleWindows() const {
    std::vector<HWND> visible;
    for (HWND window : windows())
        if (IsWindowVisible(window)) visible.push_back(window);
    return visible;
}

HWND ProgramProcess::window(const std::wstring& caption) const {
    for (HWND window : windows())
        if (windowText(window) == caption) return window;
    return nullptr;
}

HWND ProgramProcess::waitForWindow(const std::wstring& caption, bool visible, std::chrono::milliseconds limit) const {
    HWND found = nullptr;
    waitUntil(
        [&] {
            found = window(caption);
            return found && (IsWindowVisible(found) != FALSE) == visible;
        },
        limit);
    return found && (IsWindowVisible(found) != FALSE) == visible ? found : nullptr;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) { return pumpUntil(done, limit); }

std::vector<HWND> descendants(HWND parent, const std::wstring& className) {
    struct Search {
        std::wstring className;
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

void clickWindow(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageW(window, WM_LBUTTONUP, 0, middle);
}

HWND closeBoxOf(HWND form) {
    RECT frame{};
    GetWindowRect(form, &frame);
    HWND best = nullptr;
    for (HWND candidate : descendants(form, L"VorlaneSurface")) {
        RECT box{};
        GetWindowRect(candidate, &box);
        const int width = box.right - box.left;
        const bool small = width > 0 && width == box.bottom - box.top && width < 40;
        const bool inHeader = box.top - frame.top < 40 && frame.right - box.right < 40;
        if (small && inHeader) best = candidate;
    }
    return best;
}

}  // namespace vorlane::test
