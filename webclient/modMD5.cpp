// The program's digests of the member's password and of an update archive.
#include "webclient/modMD5.h"

#include <windows.h>

#include <vector>

#include "core/Ansi.h"
#include "core/Handles.h"
#include "core/RuntimeError.h"
#include "webclient/Md5.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kSource = L"modMD5.GetFileMD5";
constexpr DWORD kReadChunk = 64 * 1024;

[[noreturn]] void raiseOpenFailure(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: raiseError(errnum::FileNotFound, kSource);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE: raiseError(errnum::PathNotFound, kSource);
        case ERROR_ACCESS_DENIED: raiseError(errnum::PermissionDenied, kSource);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: raiseError(errnum::FileAlreadyOpen, kSource);
        default: raiseError(errnum::PathFileAccessError, kSource);
    }
}

}  // namespace

std::wstring GetStringMD5(const std::wstring& text) { return Md5::hexOf(toAnsi(text)); }

std::wstring GetFileMD5(const std::wstring& path) {
    if (path.empty()) raiseError(errnum::BadFileNameOrNumber, kSource);

    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) raiseOpenFailure(GetLastError());

    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file.get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        raiseError(errnum::PathFileAccessError, kSource);

    Md5 md5;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk.data(), kReadChunk, &read, nullptr)) raiseError(errnum::DeviceIOError, kSource);
        if (read == 0) break;
        md5.update(chunk.data(), read);
    }
    return Md5::hex(md5.finish());
}

}  // namespace vorlane
