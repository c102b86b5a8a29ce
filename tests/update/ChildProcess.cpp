// A program started by a test, ended with its windows when the test is done.
#include "tests/update/ChildProcess.h"

#include "tests/support/ProcessWindows.h"

#include <stdexcept>
#include <thread>

namespace vorlane::test {

namespace {

template <class Done>
bool waitUntil(Done done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        throw std::runtime_error("cannot start the program");
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
}

ChildProcess::~ChildProcess() {
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool ChildProcess::running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool ChildProcess::waitForExit(std::chrono::milliseconds limit) {
    return WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

HWND ChildProcess::waitForWindow(const std::wstring& className, std::chrono::milliseconds limit) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND window : topLevelWindowsOf(processId_)) {
                if (classOf(window) != className || !IsWindowVisible(window)) continue;
                found = window;
                break;
            }
            return found != nullptr || !running();
        },
        limit);
    return found;
}

std::wstring textOf(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

bool waitForFile(const std::wstring& path, std::chrono::milliseconds limit) {
    return waitUntil([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, limit);
}

}  // namespace vorlane::test
