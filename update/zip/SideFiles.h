// The names of the files a staged change puts beside a place:
// "<place>.<process>-<number>.new" for a new copy, ".old" for the old one,
// and ".added", an empty mark, for a place that held nothing before.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorlane::updater {

enum class SideKind { kNew, kOld, kAdded };

struct SideFileName {
    std::wstring_view owner;  // the place's own name
    std::wstring_view run;    // the process number: one run's files share it
    SideKind kind = SideKind::kNew;
};

// The suffix that names a side file of that kind: ".new", ".old", ".added".
const wchar_t* sideSuffix(SideKind kind);

// What a name says when it is shaped like a side file's, else nothing.
std::optional<SideFileName> parseSideFileName(std::wstring_view name);

// A side file's name makes a place's path longer: a place as long as Windows
// allows gets a side file beyond it. Such a path (a full one) is given in
// the form the file system takes at any length; shorter ones stay as they are.
std::wstring sideFilePath(const std::wstring& path);

}  // namespace vorlane::updater
