// The path the file system really uses for a place, links followed.
#include "update/zip/FinalPath.h"

#include <windows.h>

#include "core/Handles.h"
#include "update/zip/FoldedName.h"
#include "update/zip/SideFiles.h"

namespace vorlane::updater {

std::optional<std::wstring> finalPathOf(const std::wstring& path) {
    FileHandle handle(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::nullopt;
        if (length < final.size()) {
            final.resize(length);
            while (!final.empty() && final.back() == L'\\') final.pop_back();  // a drive's root
            return foldedName(final);
        }
        final.resize(length + 1);
    }
}

bool isFileOfItsOwn(const std::wstring& folder, const std::wstring& name) {
    const std::wstring path = sideFilePath(folder + L"\\" + name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    const std::optional<std::wstring> folderFinal = finalPathOf(folder);
    const std::optional<std::wstring> fileFinal = finalPathOf(path);
    return folderFinal && fileFinal && *fileFinal == *folderFinal + L"\\" + foldedName(name);
}

}  // namespace vorlane::updater
