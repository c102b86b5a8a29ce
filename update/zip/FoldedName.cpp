// Folding the letter case of names the way the file system compares them.
#include "update/zip/FoldedName.h"

#include <windows.h>

#include <climits>
#include <new>

namespace vorlane::updater {

std::wstring foldedName(std::wstring_view name) {
    if (name.empty()) return {};
    if (name.size() > INT_MAX) throw std::bad_alloc();
    // Simple upper-casing, one character for one, without a language's rules:
    // as the file system's own table does it.
    std::wstring folded(name.size(), L'\0');
    const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), static_cast<int>(name.size()),
                                     folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0);
    if (length <= 0) return std::wstring(name);
    folded.resize(static_cast<size_t>(length));
    return folded;
}

}  // namespace vorlane::updater
