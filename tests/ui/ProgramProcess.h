// The built tray program run as a child process, as a member would start it,
// and the windows it shows, found and driven from outside (window texts,
// WM_SETTEXT, BM_CLICK, mouse messages to picture buttons).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/Handles.h"
#include "tests/support/ProcessWindows.h"

namespace vorlane::test {

using namespace std::chrono_literals;

class ProgramProcess {
public:
    // Starts Vorlane.exe with this process's environment (VORLANE_SERVICE,
    // VORLANE_SETTINGS); the test fails when it cannot.
    ProgramProcess();
    // Ends the program if it is still running.
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    DWORD id() const { return id_; }
    bool running() const;
    // Waits for the program to end; true with its exit code when it did.
    bool waitForExit(std::chrono::milliseconds limit, DWORD& exitCode) const;

    // The program's top-level windows, shown or not.
    std::vector<HWND> windows() const;
    std::vector<HWND> visibleWindows() const;
    // Its top-level window with this caption, or null.
    HWND window(const std::wstring& caption) const;
    // Waits for that window to exist and to be shown (or hidden); null when it does not come to that.
    HWND waitForWindow(const std::wstring& caption, bool visible = true, std::chrono::milliseconds limit = 20s) const;

private:
    KernelHandle process_;
    DWORD id_ = 0;
};

// Polls (with this thread's messages dispatched) until done() is true.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);

// Every window below parent of this class, in creation order.
std::vector<HWND> descendants(HWND parent, const std::wstring& className);
// A left click in the middle of a window, posted as its own mouse messages.
void clickWindow(HWND window);
// The close box of a framed window: the small square picture at the header's right end.
HWND closeBoxOf(HWND form);

}  // namespace vorlane::test
