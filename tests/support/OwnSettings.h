// The program's settings under a registry key of the test's own (through
// VORLANE_SETTINGS, which programs the test starts inherit), removed afterwards:
// tests running at the same time never share a saved login or a member's
// choices, nor the single-instance name that follows the key.
#pragma once

#include <string>

namespace vorlane::test {

class OwnSettings {
public:
    OwnSettings();
    ~OwnSettings();
    OwnSettings(const OwnSettings&) = delete;
    OwnSettings& operator=(const OwnSettings&) = delete;

    // The key below HKEY_CURRENT_USER\Software that holds them.
    const std::wstring& key() const { return key_; }

private:
    std::wstring key_;
};

}  // namespace vorlane::test
