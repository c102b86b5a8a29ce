// PutBack: putting a place back as a run found it, patient with a file another program holds for a moment.
#include "update/zip/PutBack.h"

#include <windows.h>

#include "core/Handles.h"
#include "update/FileTests.h"
#include "update/zip/FinalPath.h"

namespace vorlane::updater {

namespace {

// A hold of a second or so is common; two seconds leave a margin to it.
constexpr ULONGLONG kHeldPatience = 2000;  // milliseconds
constexpr DWORD kHeldStep = 50;
constexpr int kNameTries = 100;

// What the platform answers while another program holds a file: a file open
// without leave to share it, a file replaced or deleted while it is open, a
// folder whose deleted file someone still has open.
bool isHeld(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DIR_NOT_EMPTY;
}

}  // namespace

bool removeAddedPlace(const std::wstring& place) {
    const std::wstring path = sideFilePath(place);
    if (isMissing(path)) return true;
    if (isFolder(path))
        return retryWhileHeld([&] { return RemoveDirectoryW(path.c_str()) != 0; });
    const size_t slash = place.find_last_of(L'\\');
    if (slash == std::wstring::npos || !isFileOfItsOwn(place.substr(0, slash), place.substr(slash + 1))) return false;
    return deleteWhenFree(path);
}

bool deleteWhenFree(const std::wstring& path) {
    return retryWhileHeld([&] { return DeleteFileW(path.c_str()) != 0; });
}

bool isMissing(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
}

bool isFolder(const std::wstring& path) { return dirExists(sideFilePath(path)); }

bool retryWhileHeld(const std::function<bool()>& attempt) {
    const ULONGLONG deadline = GetTickCount64() + kHeldPatience;
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if (!isHeld(error) || GetTickCount64() >= deadline) {
            SetLastError(error);
            return false;
        }
        Sleep(kHeldStep);
    }
}

bool putPlaceBack(const std::wstring& place, const std::wstring& sideFile, SideKind kind) {
    if (kind == SideKind::kOld) {
        const std::wstring path = sideFilePath(place);
        return retryWhileHeld(
            [&] { return MoveFileExW(sideFile.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; });
    }
    if (!removeAddedPlace(place)) return false;
    deleteWhenFree(sideFile);
    return true;
}

std::optional<std::wstring> makeSideFile(const std::wstring& place, std::wstring_view run, SideKind kind) {
    for (int number = 1; number <= kNameTries; ++number) {
        const std::wstring path =
            sideFilePath(place + L"." + std::wstring(run) + L"-" + std::to_wstring(number) + sideSuffix(kind));
        const FileHandle made(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (made) return path;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::nullopt;
}

}  // namespace vorlane::updater
