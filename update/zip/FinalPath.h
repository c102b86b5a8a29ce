// Where the file system really puts a path, links followed.
#pragma once

#include <optional>
#include <string>

namespace vorlane::updater {

// The path a file or folder resolves to, folded as names compare, without a
// trailing backslash; nothing when the file system cannot tell.
std::optional<std::wstring> finalPathOf(const std::wstring& path);

// True when name in folder is a file of its own there: no link to another
// place, which a rename would carry along and a delete reach through (under
// Wine a host's link to a file shows as a plain file, and deleting it deletes
// the file it leads to).
bool isFileOfItsOwn(const std::wstring& folder, const std::wstring& name);

}  // namespace vorlane::updater
