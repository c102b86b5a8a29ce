// Finding and reading the windows of a process, this one or a child.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorlane::test {

// The process's top-level windows, in the desktop's order.
std::vector<HWND> topLevelWindowsOf(DWORD processId);

std::wstring windowText(HWND window);
std::wstring classOf(HWND window);

}  // namespace vorlane::test
