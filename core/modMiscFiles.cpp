// The parts of modMisc that ask the platform: file and folder tests and the
// combo-box search.
#include <windows.h>

#include "core/RuntimeError.h"
#include "core/modMisc.h"
#include "core/Trap.h"

namespace vorlane {

namespace {

DWORD attributesOf(const std::wstring& path) {
    if (path.empty()) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(path.c_str());
}

}  // namespace

bool fileExists(const std::wstring& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool dirExists(const std::wstring& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool existsInCombo(const std::wstring& text, HWND comboBox) {
    bool found = false;
    runTrapped(L"existsInCombo", L"modMisc", [&] {
        if (!IsWindow(comboBox)) raiseError(errnum::ObjectNotSet);
        const LRESULT count = SendMessageW(comboBox, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count && !found; ++i) {
            const LRESULT length = SendMessageW(comboBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            if (length < 0 || static_cast<size_t>(length) != text.size()) continue;
            std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(comboBox, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
            entry.resize(static_cast<size_t>(length));
            found = (entry == text);
        }
    });
    return found;
}

}  // namespace vorlane
