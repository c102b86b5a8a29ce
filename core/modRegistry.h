// The settings store: every setting is a text value under
// HKEY_CURRENT_USER\Software\<app>\<section>\. A value that is missing, of another
// type or unreadable reads as the caller's default; nothing is ever reported.
#pragma once

#include <cstddef>
#include <string>

struct HKEY__;

namespace vorlane {

// The program's own name, the app of every setting.
inline constexpr const wchar_t* kAppName = L"Vorlane";
// The section that remembers the last login.
inline constexpr const wchar_t* kLoginSection = L"Quorvex";

// "Vorlane - " + the member's user name: the section of that member's choices.
std::wstring memberSection(const std::wstring& username);

// The most characters a registry key name holds. A member's section is one key
// name, wherever VORLANE_SETTINGS puts the settings, so it bounds the user name.
inline constexpr size_t kLongestKeyName = 255;
// The longest user name whose section can be named.
size_t longestMemberName();

// The key below "Software\" that holds app's settings: app itself, except that
// the program's own settings move to the key the environment variable
// VORLANE_SETTINGS names, when it is set (read afresh each time). Test runs and
// demonstrations keep their logins apart that way, as VORLANE_SERVICE keeps
// their service apart.
std::wstring settingsApp(const std::wstring& app);

// "Software\" + settingsApp(app) + "\" + section + "\".
std::wstring settingsKeyPath(const std::wstring& app, const std::wstring& section);

void regSaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& name,
                    const std::wstring& value);
std::wstring regGetSetting(const std::wstring& app, const std::wstring& section, const std::wstring& name,
                           const std::wstring& defaultValue);

// Writes a REG_SZ value, creating missing key levels. Failures pass in silence.
void regWriteString(HKEY__* root, const std::wstring& keyPath, const std::wstring& name, const std::wstring& value);
// The REG_SZ value cut at its first NUL, or the default.
std::wstring regReadString(HKEY__* root, const std::wstring& keyPath, const std::wstring& name,
                           const std::wstring& defaultValue = {});

}  // namespace vorlane
