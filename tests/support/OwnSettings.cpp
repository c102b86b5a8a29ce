// The program's settings under a registry key of the test's own.
#include "tests/support/OwnSettings.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace vorlane::test {

OwnSettings::OwnSettings() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
    key_ = L"VorlaneTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::wstring(name.begin(), name.end());
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + key_).c_str());
    SetEnvironmentVariableW(L"VORLANE_SETTINGS", key_.c_str());
}

OwnSettings::~OwnSettings() {
    SetEnvironmentVariableW(L"VORLANE_SETTINGS", nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + key_).c_str());
}

}  // namespace vorlane::test
