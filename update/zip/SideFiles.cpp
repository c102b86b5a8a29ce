// The names of the new and old copies a staged change puts beside a place.
#include "update/zip/SideFiles.h"

namespace vorlane::updater {

namespace {

// Drops the digits at the end of name; the digits, or nothing when none.
std::wstring_view dropDigits(std::wstring_view& name) {
    size_t digits = 0;
    while (digits < name.size() && name[name.size() - 1 - digits] >= L'0' && name[name.size() - 1 - digits] <= L'9')
        ++digits;
    const std::wstring_view dropped = name.substr(name.size() - digits);
    name.remove_suffix(digits);
    return dropped;
}

}  // namespace

std::wstring sideFilePath(const std::wstring& path) {
    constexpr size_t kMaxPath = 260;  // with its terminating NUL, as the platform counts
    if (path.size() < kMaxPath || path.starts_with(L"\\\\?\\")) return path;
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

const wchar_t* sideSuffix(SideKind kind) {
    return kind == SideKind::kOld ? L".old" : kind == SideKind::kAdded ? L".added" : L".new";
}

std::optional<SideFileName> parseSideFileName(std::wstring_view name) {
    SideFileName side;
    for (SideKind kind : {SideKind::kNew, SideKind::kOld, SideKind::kAdded})
        if (name.ends_with(sideSuffix(kind))) side.kind = kind;
    const std::wstring_view suffix = sideSuffix(side.kind);
    if (!name.ends_with(suffix)) return std::nullopt;
    name.remove_suffix(suffix.size());
    if (dropDigits(name).empty() || !name.ends_with(L'-')) return std::nullopt;
    name.remove_suffix(1);
    side.run = dropDigits(name);
    if (side.run.empty() || !name.ends_with(L'.')) return std::nullopt;
    name.remove_suffix(1);
    if (name.empty()) return std::nullopt;
    side.owner = name;
    return side;
}

}  // namespace vorlane::updater
