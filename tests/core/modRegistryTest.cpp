// Tests of the settings store against the test prefix's registry.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/modRegistry.h"

using namespace vorlane;

namespace {

// Every test works under an application key of its own, removed afterwards, so
// that test processes sharing the prefix's registry never meet.
class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string test = name();
        app = L"VorlaneTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::wstring(test.begin(), test.end());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + app).c_str()); }

    static std::string name() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

    std::wstring keyPath(const std::wstring& section) const { return L"Software\\" + app + L"\\" + section; }

    void writeRaw(const std::wstring& section, const wchar_t* value, DWORD type, const void* data, DWORD bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath(section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data), bytes);
        RegCloseKey(key);
    }

    std::wstring app;
};

}  // namespace

TEST_F(Settings, MissingKeyOrValueGivesTheDefault) {
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"SavedUsername", L"fallback"), L"fallback");
    EXPECT_EQ(regReadString(HKEY_CURRENT_USER, keyPath(L"Nowhere"), L"Missing"), L"");

    regSaveSetting(app, L"Quorvex", L"SavedUsername", L"abc");
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"SavedPassword", L"none"), L"none");
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"SavedUsername", L"none"), L"abc");
}

TEST_F(Settings, ValuesLiveUnderSoftwareAppSection) {
    EXPECT_EQ(settingsKeyPath(L"Vorlane", memberSection(L"abc")), L"Software\\Vorlane\\Vorlane - abc\\");
    regSaveSetting(app, memberSection(L"abc"), L"Freeze", L"1");

    wchar_t data[16] = {};
    DWORD bytes = sizeof(data);
    DWORD type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, keyPath(L"Vorlane - abc").c_str(), L"Freeze", RRF_RT_ANY, &type, data,
                           &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, 2 * sizeof(wchar_t));  // "1" and its terminating NUL
    EXPECT_STREQ(data, L"1");
}

TEST_F(Settings, ValueOfAnotherTypeCountsAsAbsent) {
    const DWORD number = 1;
    writeRaw(L"Quorvex", L"ActiveTab", REG_DWORD, &number, sizeof(number));
    writeRaw(L"Quorvex", L"Expanded", REG_EXPAND_SZ, L"x", 4);
    writeRaw(L"Quorvex", L"Multi", REG_MULTI_SZ, L"a\0b\0", 10);
    writeRaw(L"Quorvex", L"Binary", REG_BINARY, "1", 1);
    writeRaw(L"Quorvex\\Keyed", L"", REG_SZ, L"x", 4);  // a key where a value should be
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"ActiveTab", L"0"), L"0");
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"Expanded", L"d"), L"d");
    for (const wchar_t* name : {L"Multi", L"Binary", L"Keyed"})
        EXPECT_EQ(regGetSetting(app, L"Quorvex", name, L"d"), L"d") << testing::PrintToString(std::wstring(name));
}

TEST_F(Settings, EmptyTextIsStoredAndReadBackAsEmpty) {
    regSaveSetting(app, L"Quorvex", L"SavedUsername", L"");
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"SavedUsername", L"default"), L"");
    regSaveSetting(app, L"Quorvex", L"SavedUsername", L"later");
    EXPECT_EQ(regGetSetting(app, L"Quorvex", L"SavedUsername", L"default"), L"later");
}

TEST_F(Settings, StoredTextIsCutAtItsFirstNulAndUnterminatedTextIsWhole) {
    const wchar_t inner[] = L"ab\0cd";
    writeRaw(L"S", L"Inner", REG_SZ, inner, sizeof(inner));
    writeRaw(L"S", L"Unterminated", REG_SZ, L"xyz", 3 * sizeof(wchar_t));
    writeRaw(L"S", L"Odd", REG_SZ, "a\0b", 3);
    EXPECT_EQ(regGetSetting(app, L"S", L"Inner", L"-"), L"ab");
    EXPECT_EQ(regGetSetting(app, L"S", L"Unterminated", L"-"), L"xyz");
    EXPECT_EQ(regGetSetting(app, L"S", L"Odd", L"-"), L"a");
}

TEST_F(Settings, MembersKeepSeparateSections) {
    regSaveSetting(app, memberSection(L"abc"), L"TagName", L"dogs");
    regSaveSetting(app, memberSection(L"xyz"), L"TagName", L"cats");
    EXPECT_EQ(regGetSetting(app, memberSection(L"abc"), L"TagName", L""), L"dogs");
    EXPECT_EQ(regGetSetting(app, memberSection(L"xyz"), L"TagName", L""), L"cats");
    EXPECT_EQ(regGetSetting(app, memberSection(L"other"), L"TagName", L"none"), L"none");
}

TEST_F(Settings, NamesAndTextsOutsideTheAnsiCodePageRoundTrip) {
    const std::wstring member = L"m\u00fcller\u4e2d\u0416";
    const std::wstring text = L"\u00e9t\u00e9 \u6771\u4eac \U0001F600";
    regSaveSetting(app, memberSection(member), L"TagName", text);
    EXPECT_EQ(regGetSetting(app, memberSection(member), L"TagName", L""), text);
    EXPECT_EQ(regGetSetting(app, memberSection(L"m\u00fcller"), L"TagName", L"apart"), L"apart");
}

TEST_F(Settings, LongValuesSurvive) {
    const std::wstring text(20000, L'q');
    regSaveSetting(app, L"S", L"Long", text);
    EXPECT_EQ(regGetSetting(app, L"S", L"Long", L""), text);
}

TEST_F(Settings, TheProgramsOwnSettingsFollowTheEnvironmentAndOthersStay) {
    SetEnvironmentVariableW(L"VORLANE_SETTINGS", app.c_str());
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"moved");
    EXPECT_EQ(settingsApp(kAppName), app);
    EXPECT_EQ(settingsKeyPath(kAppName, kLoginSection), L"Software\\" + app + L"\\Quorvex\\");
    EXPECT_EQ(regReadString(HKEY_CURRENT_USER, keyPath(L"Quorvex"), L"SavedUsername"), L"moved");
    EXPECT_EQ(settingsApp(L"Another"), L"Another");

    SetEnvironmentVariableW(L"VORLANE_SETTINGS", nullptr);
    EXPECT_EQ(settingsApp(kAppName), L"Vorlane");
    EXPECT_EQ(regGetSetting(app, kLoginSection, L"SavedUsername", L""), L"moved");
}
