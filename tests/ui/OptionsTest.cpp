// The options window: Save's checks and normalisations, loading the stored
// options, Freeze and the schedule, Cancel and Logout.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "tests/support/TestFiles.h"
#include "tests/ui/MemberFixture.h"
#include "ui/frmLogin.h"
#include "ui/frmOptions.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace vorlane::ui;

namespace {

class Options : public MemberFixture {
protected:
    void SetUp() override {
        MemberFixture::SetUp();
        options.loadOptions();
        showWithFocus(options);
    }

    void fill(const std::wstring& frequency, const std::wstring& unit, const std::wstring& rating) {
        options.txtFrequency.setText(frequency);
        options.cboFrequencyType.setText(unit);
        options.txtRating.setText(rating);
    }

    bool scheduleRuns() const {
        EXPECT_EQ(bool(gTimerFunctions->Active_CheckIdle), bool(gTimerFunctions->Active_ChangeWallpaper));
        return gTimerFunctions->Active_ChangeWallpaper;
    }

    FrmOptions& options = frmOptions();
};

struct Refused {
    const wchar_t* frequency;
    const wchar_t* unit;
    const wchar_t* rating;
    const wchar_t* title;
    const wchar_t* text;
    const wchar_t* focus;  // "frequency", "rating" or "unit"
    const wchar_t* frequencyAfter;
    const wchar_t* ratingAfter;
};

const wchar_t* kNotPositive = L"Oops! The frequency must be a positive number!";
const wchar_t* kTooLarge = L"Oops! The frequency cannot be larger than 500!";
const wchar_t* kNotNumber = L"The average quality rating must be a number.  Please check the value and try again.";
const wchar_t* kOutOfRange =
    L"The average quality rating must be between -99 and 200.  Please check the value and try again.";
const wchar_t* kTooFrequent = L"Oops! The most frequent update allowed is every 10 minutes.";
const wchar_t* kBadUnit = L"Invalid selection for 'Frequency Type'.  Please select Hours, Minutes, or Days.";

// Save with the boxes filled so, refused with that message: the box texts as
// the refusal leaves them, the focus in the box to mend, nothing applied or stored.
class SaveRefused : public Options {
protected:
    void SetUp() override {
        Options::SetUp();
        gTimerFunctions->Active_ChangeWallpaper = false;
        changeIntervalSeconds = 77;
    }

    void expectRefused(const Refused& c) {
        SCOPED_TRACE(std::string(c.frequency, c.frequency + wcslen(c.frequency)) + " " +
                     std::string(c.rating, c.rating + wcslen(c.rating)));
        const size_t before = dialogs.count();
        fill(c.frequency, c.unit, c.rating);
        secondsSinceChange = 33;
        click(options.picSave.hwnd());
        ASSERT_EQ(dialogs.count(), before + 1);
        EXPECT_EQ(dialogs.seen().back().title, c.title);
        EXPECT_EQ(dialogs.seen().back().text, c.text);
        EXPECT_EQ(options.txtFrequency.Text(), c.frequencyAfter);
        EXPECT_EQ(options.txtRating.Text(), c.ratingAfter);
        const HWND focus = std::wstring(c.focus) == L"frequency" ? options.txtFrequency.hwnd()
                           : std::wstring(c.focus) == L"rating"  ? options.txtRating.hwnd()
                                                                  : options.cboFrequencyType.hwnd();
        EXPECT_TRUE(hasFocus(focus));
        EXPECT_TRUE(options.Visible());
        EXPECT_EQ(secondsSinceChange, 33);
        EXPECT_EQ(changeIntervalSeconds, 77);
        EXPECT_FALSE(gTimerFunctions->Active_ChangeWallpaper);
        for (const wchar_t* name : {L"Frequency", L"FrequencyType", L"QualityRating", L"Freeze", L"Method"})
            EXPECT_EQ(stored(name), L"<absent>") << name;
    }
};

TEST_F(SaveRefused, AFrequencyBelowOneOrAbove500) {
    for (const Refused& c : {
             Refused{L"0.5", L"Hours", L"+5", L"Invalid Frequency", kNotPositive, L"frequency", L"0.5", L"+5"},
             Refused{L"often", L"Hours", L"0", L"Invalid Frequency", kNotPositive, L"frequency", L"often", L"0"},
             Refused{L"", L"Hours", L"0", L"Invalid Frequency", kNotPositive, L"frequency", L"", L"0"},
             Refused{L"500.4", L"Days", L"0", L"Invalid Frequency", kTooLarge, L"frequency", L"500.4", L"0"},
             // Too large for a double: no number at all, not a crash.
             Refused{L"1e400", L"Hours", L"0", L"Invalid Frequency", kNotPositive, L"frequency", L"1e400", L"0"},
             Refused{L"-1e400", L"Hours", L"0", L"Invalid Frequency", kNotPositive, L"frequency", L"-1e400", L"0"},
         })
        expectRefused(c);
}

TEST_F(SaveRefused, ARatingThatIsNoNumberOrOutOfRangeAfterTheFrequencyIsRounded) {
    for (const Refused& c : {
             Refused{L"2.5", L"Hours", L"", L"Non-Numeric Rating", kNotNumber, L"rating", L"2", L""},
             Refused{L"3.5", L"Hours", L"+", L"Non-Numeric Rating", kNotNumber, L"rating", L"4", L""},
             Refused{L"3", L"Hours", L"-99.5", L"Invalid Rating Range", kOutOfRange, L"rating", L"3", L"-99.5"},
             Refused{L"3", L"Hours", L"+200.4", L"Invalid Rating Range", kOutOfRange, L"rating", L"3", L"200.4"},
             Refused{L"3", L"Hours", L"1e999", L"Non-Numeric Rating", kNotNumber, L"rating", L"3", L"1e999"},
         })
        expectRefused(c);
}

TEST_F(SaveRefused, FewerThanTenMinutesOrAnotherUnitAfterTheRatingIsRounded) {
    for (const Refused& c : {
             Refused{L"9", L"Minutes", L"+7.5", L"Too Frequent Wallpaper Rotation", kTooFrequent, L"frequency", L"9",
                     L"8"},
             Refused{L"9.4", L"Minutes", L"1+2", L"Too Frequent Wallpaper Rotation", kTooFrequent, L"frequency",
                     L"9", L"12"},
             Refused{L"5", L"minutes", L"0", L"Invalid Frequency Type", kBadUnit, L"unit", L"5", L"0"},
             Refused{L"5", L"Weeks", L"0", L"Invalid Frequency Type", kBadUnit, L"unit", L"5", L"0"},
         })
        expectRefused(c);
}

struct Accepted {
    const wchar_t* frequency;
    const wchar_t* unit;
    const wchar_t* rating;
    const wchar_t* frequencyStored;
    const wchar_t* ratingStored;
    int32_t interval;
};

TEST_F(Options, SaveStoresWholeNumbersAppliesTheIntervalAndCloses) {
    const Accepted cases[] = {
        {L"500", L"Hours", L"200", L"500", L"200", 500 * 3600},
        {L"1", L"Hours", L"-99", L"1", L"-99", 3600},
        {L"2.5", L"Hours", L"+5", L"2", L"5", 2 * 3600},
        {L"3.5", L"Days", L"1+2", L"4", L"12", 4 * 86400},
        {L"9.5", L"Minutes", L"-0.4", L"10", L"0", 600},
        {L" 45 ", L"Minutes", L"2.5", L"45", L"2", 45 * 60},
        {L"500", L"Days", L"0", L"500", L"0", 43200000},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(std::string(c.frequency, c.frequency + wcslen(c.frequency)));
        fill(c.frequency, c.unit, c.rating);
        secondsSinceChange = 99;
        noMatchingWallpapers = true;
        click(options.picSave.hwnd());
        EXPECT_EQ(dialogs.count(), 0u);
        EXPECT_EQ(stored(L"Frequency"), c.frequencyStored);
        EXPECT_EQ(stored(L"FrequencyType"), c.unit);
        EXPECT_EQ(stored(L"QualityRating"), c.ratingStored);
        EXPECT_EQ(changeIntervalSeconds, c.interval);
        EXPECT_EQ(secondsSinceChange, 0);
        EXPECT_FALSE(noMatchingWallpapers);
        EXPECT_FALSE(options.Visible());
        EXPECT_TRUE(frmMain().Visible());
    }
}

TEST_F(Options, SaveStoresTheChecksAndTheOrder) {
    options.optSequential.setValue(true);
    options.chkAutoUpdate.setValue(CheckBox::vbUnchecked);
    options.chkFreeze.setValue(CheckBox::vbChecked);
    click(options.picSave.hwnd());
    EXPECT_EQ(stored(L"Method"), L"Sequential");
    EXPECT_EQ(stored(L"AutoUpdate"), L"0");
    EXPECT_EQ(stored(L"Freeze"), L"1");

    options.optRandomize.setValue(true);
    options.chkFreeze.setValue(CheckBox::vbUnchecked);
    click(options.picSave.hwnd());
    EXPECT_EQ(stored(L"Method"), L"Randomize");
    EXPECT_EQ(stored(L"Freeze"), L"0");
}

TEST_F(Options, SaveSwitchesTheScheduleByFreeze) {
    gTimerFunctions->Active_CheckIdle = true;
    gTimerFunctions->Active_ChangeWallpaper = true;
    options.chkFreeze.setValue(CheckBox::vbChecked);
    click(options.picSave.hwnd());
    EXPECT_FALSE(scheduleRuns());

    options.chkFreeze.setValue(CheckBox::vbUnchecked);
    click(options.picSave.hwnd());
    EXPECT_TRUE(scheduleRuns());
}

TEST_F(Options, FreezeByMouseReachesTheScheduleAtOnceByKeyboardOnlyAtSave) {
    gTimerFunctions->Active_CheckIdle = true;
    gTimerFunctions->Active_ChangeWallpaper = true;
    const HWND box = options.chkFreeze.hwnd();
    click(box);
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbChecked);
    EXPECT_FALSE(scheduleRuns());
    EXPECT_EQ(stored(L"Freeze"), L"<absent>");
    click(box);
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbUnchecked);
    EXPECT_TRUE(scheduleRuns());

    options.chkFreeze.setFocus();
    SendMessageW(box, WM_KEYDOWN, VK_SPACE, 1);
    SendMessageW(box, WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbChecked);
    EXPECT_TRUE(scheduleRuns());
    click(options.picSave.hwnd());
    EXPECT_FALSE(scheduleRuns());
}

TEST_F(Options, CancelRestoresTheStoredOptionsButNotAMouseFreeze) {
    store(L"Frequency", L"2");
    store(L"FrequencyType", L"Hours");
    store(L"QualityRating", L"15");
    options.loadOptions();
    gTimerFunctions->Active_CheckIdle = true;
    gTimerFunctions->Active_ChangeWallpaper = true;

    fill(L"7", L"Days", L"-3");
    options.optSequential.setValue(true);
    click(options.chkFreeze.hwnd());
    ASSERT_FALSE(scheduleRuns());
    secondsSinceChange = 1234;
    changeIntervalSeconds = 1;
    click(options.picCancel.hwnd());

    EXPECT_EQ(options.txtFrequency.Text(), L"2");
    EXPECT_EQ(options.cboFrequencyType.Text(), L"Hours");
    EXPECT_EQ(options.txtRating.Text(), L"15");
    EXPECT_TRUE(options.optRandomize.Value());
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbUnchecked);
    EXPECT_FALSE(scheduleRuns());  // until the next Save, login or mouse change
    EXPECT_EQ(secondsSinceChange, 0);
    EXPECT_EQ(changeIntervalSeconds, 7200);
    EXPECT_FALSE(options.Visible());
    EXPECT_TRUE(frmMain().Visible());
    EXPECT_EQ(stored(L"Frequency"), L"2");
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(Options, TheCloseBoxAltF4AndTheTaskbarsCloseCancel) {
    store(L"AutoUpdate", L"0");
    const std::function<void()> closes[] = {
        [&] { click(options.picCloseX.hwnd()); },
        [&] { SendMessageW(options.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); },
        [&] { SendMessageW(options.hwnd(), WM_CLOSE, 0, 0); },
    };
    for (const auto& close : closes) {
        options.loadOptions();
        frmMain().Hide();
        showWithFocus(options);
        fill(L"8", L"Days", L"1");
        options.chkAutoUpdate.setValue(CheckBox::vbChecked);
        secondsSinceChange = 50;
        close();
        // Hidden, never unloaded: the boxes hold the member's stored options.
        ASSERT_TRUE(options.isLoaded());
        EXPECT_EQ(options.txtFrequency.Text(), L"3");
        EXPECT_EQ(options.chkAutoUpdate.Value(), CheckBox::vbUnchecked);
        EXPECT_EQ(secondsSinceChange, 0);
        EXPECT_FALSE(options.Visible());
        EXPECT_TRUE(frmMain().Visible());
    }
}

// Minimized from the taskbar, then closed there: the next Options shows the
// window itself, not a button on the taskbar.
TEST_F(Options, ClosedWhileMinimizedItOpensAgainRestored) {
    SendMessageW(options.hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IsIconic(options.hwnd()));
    SendMessageW(options.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(options.Visible());
    frmMain().picOptions_Click();
    EXPECT_TRUE(options.Visible());
    EXPECT_FALSE(IsIconic(options.hwnd()));
    options.Hide();
}

TEST_F(Options, LoadShowsFewMinutesAsTenWithoutStoringIt) {
    store(L"Frequency", L"5");
    store(L"FrequencyType", L"Minutes");
    options.loadOptions();
    EXPECT_EQ(options.txtFrequency.Text(), L"10");
    EXPECT_EQ(changeIntervalSeconds, 600);
    EXPECT_EQ(stored(L"Frequency"), L"5");

    store(L"FrequencyType", L"Hours");
    options.loadOptions();
    EXPECT_EQ(options.txtFrequency.Text(), L"5");
    EXPECT_EQ(changeIntervalSeconds, 5 * 3600);
}

TEST_F(Options, LoadFillsEveryBoxAndLeavesTheScheduleAlone) {
    // Nothing stored: the defaults.
    secondsSinceChange = 10;
    EXPECT_EQ(options.txtFrequency.Text(), L"3");
    EXPECT_EQ(options.cboFrequencyType.Text(), L"Hours");
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbUnchecked);
    EXPECT_EQ(options.chkAutoUpdate.Value(), CheckBox::vbChecked);
    EXPECT_EQ(options.txtRating.Text(), L"0");
    EXPECT_TRUE(options.optRandomize.Value());
    EXPECT_EQ(changeIntervalSeconds, 3 * 3600);

    store(L"Frequency", L"12");
    store(L"FrequencyType", L"Days");
    store(L"Freeze", L"1");
    store(L"AutoUpdate", L"0");
    store(L"QualityRating", L"-20");
    store(L"Method", L"Sequential");
    gTimerFunctions->Active_CheckIdle = true;
    gTimerFunctions->Active_ChangeWallpaper = true;
    options.loadOptions();
    EXPECT_EQ(options.txtFrequency.Text(), L"12");
    EXPECT_EQ(options.cboFrequencyType.Text(), L"Days");
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbChecked);
    EXPECT_EQ(options.chkAutoUpdate.Value(), CheckBox::vbUnchecked);
    EXPECT_EQ(options.txtRating.Text(), L"-20");
    EXPECT_TRUE(options.optSequential.Value());
    EXPECT_FALSE(options.optRandomize.Value());
    EXPECT_EQ(changeIntervalSeconds, 12 * 86400);
    EXPECT_EQ(secondsSinceChange, 0);
    EXPECT_TRUE(scheduleRuns());

    store(L"Method", L"randomize");  // exactly "Randomize" or it is sequential
    options.optRandomize.setValue(true);
    options.loadOptions();
    EXPECT_TRUE(options.optSequential.Value());
}

TEST_F(Options, DamagedStoredValuesGiveWayToTheDefaults) {
    store(L"Frequency", L"often");
    store(L"FrequencyType", L"Weeks");
    store(L"Freeze", L"yes");
    store(L"AutoUpdate", L"7");
    changeIntervalSeconds = 0;
    options.loadOptions();
    EXPECT_EQ(options.txtFrequency.Text(), L"3");
    EXPECT_EQ(options.cboFrequencyType.Text(), L"Hours");
    EXPECT_EQ(options.chkFreeze.Value(), CheckBox::vbUnchecked);
    EXPECT_EQ(options.chkAutoUpdate.Value(), CheckBox::vbChecked);
    EXPECT_EQ(changeIntervalSeconds, 3 * 3600);  // never a change at every tick

    for (const wchar_t* frequency : {L"100000", L"1e400"}) {  // past what the countdown can hold in days
        store(L"Frequency", frequency);
        store(L"FrequencyType", L"Days");
        store(L"QualityRating", L"1e999");
        options.loadOptions();
        EXPECT_EQ(options.txtFrequency.Text(), L"3");
        EXPECT_EQ(options.txtRating.Text(), L"0");
        EXPECT_EQ(changeIntervalSeconds, 3 * 86400);
    }
    EXPECT_TRUE(errors.empty());
}

// Save lets through only a check that is on or off and a whole rating from -99
// to 200; any other stored form gives the default, and a rating that holds a
// number is loaded as Save would have stored it, since it goes to the service.
TEST_F(Options, StoredChecksAndRatingsLoadOnlyInTheFormsSaveStores) {
    const auto freeze = [&] { return std::to_wstring(options.chkFreeze.Value()); };
    const auto autoUpdate = [&] { return std::to_wstring(options.chkAutoUpdate.Value()); };
    const auto rating = [&] { return options.txtRating.Text(); };
    const struct {
        const wchar_t* name;
        std::wstring stored;
        std::function<std::wstring()> loaded;
        const wchar_t* expected;
    } cases[] = {
        {L"Freeze", L"2", freeze, L"0"},  // grayed: frozen at login, running after Save
        {L"AutoUpdate", L"2", autoUpdate, L"1"},
        {L"QualityRating", L"5000", rating, L"0"},
        {L"QualityRating", L"-100", rating, L"0"},
        {L"QualityRating", L"200", rating, L"200"},
        {L"QualityRating", L" 2.5 ", rating, L"2"},
        {L"QualityRating", std::wstring(100000, L'0') + L"7", rating, L"7"},  // a request line no server takes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " = " +
                     testing::PrintToString(c.stored.substr(0, 40)));
        store(c.name, c.stored);
        options.loadOptions();
        const std::wstring loaded = c.loaded();
        EXPECT_TRUE(loaded == c.expected) << testing::PrintToString(loaded.substr(0, 60));
        forget(c.name);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Options, TheWindowTakesTheMainWindowsIcon) {
    formInstance<FrmOptions>().Unload();
    const HICON icon = LoadIconW(nullptr, IDI_WARNING);
    SendMessageW(frmMain().hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(frmMain().hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    const HWND window = frmOptions().hwnd();
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)), icon);
}

TEST_F(Options, LogoutAnsweredNoChangesNothing) {
    dialogs.answer(L"Confirm Logout?", IDNO);
    fill(L"6", L"Days", L"4");
    options.lblLogout.Click();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Confirm Logout?");
    EXPECT_EQ(dialogs.seen()[0].text, L"Are you sure you want to logout of your Quorvex account?");
    EXPECT_EQ(options.txtFrequency.Text(), L"6");
    EXPECT_TRUE(options.Visible());
    EXPECT_TRUE(gQXAPI->apiLoggedIn);
    EXPECT_EQ(gQXAPI->apiUsername, member);
}

// Logging out forgets the saved login, which all tests share: this one keeps
// its whole user registry apart.
class PrivateUserRegistry {
public:
    PrivateUserRegistry() {
        const std::wstring path = L"Software\\VorlaneTests\\" + std::to_wstring(GetCurrentProcessId());
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        path_ = path;
        overridden_ = RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
    }
    ~PrivateUserRegistry() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    bool overridden() const { return overridden_; }

private:
    HKEY key_ = nullptr;
    std::wstring path_;
    bool overridden_ = false;
};

TEST_F(Options, LogoutAnsweredYesReloadsTheBoxesAndLogsOut) {
    PrivateUserRegistry registry;
    ASSERT_TRUE(registry.overridden());
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", member);
    dialogs.answer(L"Confirm Logout?", IDYES);
    fill(L"6", L"Days", L"4");
    options.lblLogout.Click();
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(options.txtFrequency.Text(), L"3");
    EXPECT_EQ(options.cboFrequencyType.Text(), L"Hours");
    EXPECT_FALSE(options.Visible());
    EXPECT_FALSE(gQXAPI->apiLoggedIn);
    EXPECT_EQ(gQXAPI->apiUsername, L"");
    EXPECT_EQ(options.lblLoggedIn.Caption(), L"[Not Logged In]");
    EXPECT_FALSE(frmMain().Visible());
    EXPECT_TRUE(frmLogin().Visible());
    EXPECT_EQ(regGetSetting(kAppName, kLoginSection, L"SavedUsername", L"?"), L"");
    frmLogin().Hide();
}

}  // namespace
