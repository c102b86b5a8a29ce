// Names as the file system compares them: letter case folded the way Windows
// does for file names, for every script, not only ASCII.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::updater {

// Two names are one file's (letter case aside) exactly when their folded forms
// are equal.
std::wstring foldedName(std::wstring_view name);

}  // namespace vorlane::updater
