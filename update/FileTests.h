// The update engine's own file and folder tests (it shares no code with the
// main program). Neither ever fails: a missing, empty or malformed path is
// simply not there.
#pragma once

#include <string>

namespace vorlane::updater {

// An existing item that is not a folder (hidden, system and read-only included).
bool fileExists(const std::wstring& path);
bool dirExists(const std::wstring& path);

}  // namespace vorlane::updater
