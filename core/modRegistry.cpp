// The settings store: text values under the program's key of the current user.
#include "core/modRegistry.h"

#include <windows.h>

#include "core/Handles.h"

namespace vorlane {

namespace {

// Reads a REG_SZ value in full; false for any other type or a failed query.
bool queryText(HKEY key, const std::wstring& name, std::wstring& text) {
    // The value may change between the size query and the read: ask again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
        if (type != REG_SZ) return false;
        std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD readBytes = bytes;
        const LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer.data()), &readBytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || type != REG_SZ) return false;
        buffer.resize(readBytes / sizeof(wchar_t));
        const size_t nul = buffer.find(L'\0');
        text = nul == std::wstring::npos ? buffer : buffer.substr(0, nul);
        return true;
    }
    return false;
}

}  // namespace

std::wstring memberSection(const std::wstring& username) { return std::wstring(kAppName) + L" - " + username; }

size_t longestMemberName() { return kLongestKeyName - memberSection(L"").size(); }

std::wstring settingsApp(const std::wstring& app) {
    if (app != kAppName) return app;
    wchar_t name[256];
    const DWORD length = GetEnvironmentVariableW(L"VORLANE_SETTINGS", name, ARRAYSIZE(name));
    return length > 0 && length < ARRAYSIZE(name) ? std::wstring(name, length) : app;
}

std::wstring settingsKeyPath(const std::wstring& app, const std::wstring& section) {
    return L"Software\\" + settingsApp(app) + L"\\" + section + L"\\";
}

void regSaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& name,
                    const std::wstring& value) {
    regWriteString(HKEY_CURRENT_USER, settingsKeyPath(app, section), name, value);
}

std::wstring regGetSetting(const std::wstring& app, const std::wstring& section, const std::wstring& name,
                           const std::wstring& defaultValue) {
    return regReadString(HKEY_CURRENT_USER, settingsKeyPath(app, section), name, defaultValue);
}

void regWriteString(HKEY root, const std::wstring& keyPath, const std::wstring& name, const std::wstring& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegistryKeyHandle key(opened);
    // The stored data carries its terminating NUL, as REG_SZ data should.
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

std::wstring regReadString(HKEY root, const std::wstring& keyPath, const std::wstring& name,
                           const std::wstring& defaultValue) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return defaultValue;
    RegistryKeyHandle key(opened);
    std::wstring text;
    return queryText(key.get(), name, text) ? text : defaultValue;
}

}  // namespace vorlane
