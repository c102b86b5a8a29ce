// A picture of part of the screen as a PNG file, for the tools that show the
// program's windows under Wine (`make screens`, `make demo`). Needs COM.
#pragma once

#include <windows.h>

#include <string>

namespace vorlane {

// Saves what the screen shows inside rect (screen pixels); false when it could not.
bool saveScreenPng(const RECT& rect, const std::wstring& path);

}  // namespace vorlane
