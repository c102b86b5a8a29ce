// A program started by a test, and the windows it shows. Whatever still runs
// when the object goes is ended, so no test leaves a window waiting.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "core/Handles.h"

namespace vorlane::test {

class ChildProcess {
public:
    // The command line is the program's quoted path, a blank and arguments.
    ChildProcess(const std::wstring& program, const std::wstring& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool waitForExit(std::chrono::milliseconds limit = std::chrono::seconds(30));
    bool running() const;

    // A visible top-level window of the process with that class ("#32770"
    // for message boxes); null when none shows within the limit.
    HWND waitForWindow(const std::wstring& className, std::chrono::milliseconds limit = std::chrono::seconds(30));

    DWORD threadId() const { return threadId_; }

private:
    KernelHandle process_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
};

// A window's text, asked across processes.
std::wstring textOf(HWND window);

// Waits until the file exists.
bool waitForFile(const std::wstring& path, std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace vorlane::test
