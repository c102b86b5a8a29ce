// Whole wallpaper changes against the stand-in: the query for each source and
// order, the download at the screen's size, the bitmap on the desktop and the
// member's settings; and the ways a change can fail.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include "core/Ansi.h"
#include "core/Globals.h"
#include "core/modRegistry.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace std::chrono_literals;

namespace {

std::wstring desktopWallpaper() {
    wchar_t path[MAX_PATH] = {};
    SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0);
    return path;
}

class Rotation : public ApiFixture {
protected:
    void SetUp() override {
        ApiFixture::SetUp();
        // The member's section is the test's own: tests run side by side.
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        gQXAPI->apiUsername = L"rotation-" + std::wstring(name.begin(), name.end());
        screenAspectRatio = L"1.25";  // the virtual screen is 1280 by 1024
        noMatchingWallpapers = false;
        activeSourceTab = 1;
        ui::FrmMain& main = ui::frmMain();
        main.txtTagName.setText(L"sun*, fractal");
        // The lists as a galleries reply leaves them, with the items the tests pick.
        for (ui::ComboBox* box : {&main.cboGallery, &main.cboCategory}) box->Clear();
        for (const wchar_t* item : {L"All Galleries", L"Nature", L"Anime"}) main.cboGallery.AddItem(item);
        for (const wchar_t* item : {L"All Categories", L"Forests"}) main.cboCategory.AddItem(item);
        main.cboGallery.setText(L"All Galleries");
        main.cboCategory.setText(L"All Categories");
        main.optMemberFavorites.setValue(true);
        ui::frmOptions().txtRating.setText(L"0");
        ui::frmOptions().optRandomize.setValue(true);
        SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(L""), 0);
    }

    std::wstring section() const { return memberSection(gQXAPI->apiUsername); }
    std::wstring bitmapPath() const { return dataFolder + L"Vorlane.bmp"; }

    // Runs one change and waits until it has ended, applied or not.
    void change(bool forced = false) {
        gQXAPI->apiForced = forced;
        gQXAPI->RotateWallpaper();
        ASSERT_TRUE(waitFor([&] { return changeEnded(); }, std::chrono::seconds(30))) << "the change never ended";
    }
    bool changeEnded() {
        return !apiRequests().empty() && gQXAPI->socket().State() != StateConnected &&
               ui::frmMain().Enabled() && !ui::formInstance<ui::FrmDownloading>().isLoaded();
    }

    QueryPairs lastQuery() { return queryPairsOf(apiRequests().back()); }

    std::vector<LoggedRequest> downloads() {
        std::vector<LoggedRequest> found;
        for (LoggedRequest& r : service.log())
            if (r.requestLine().find(" /dl/inline/") != std::string::npos) found.push_back(std::move(r));
        return found;
    }

    void expectApplied(int32_t id) {
        EXPECT_EQ(desktopWallpaper(), bitmapPath());
        EXPECT_EQ(gQXAPI->apiActiveWallpaper, id);
        EXPECT_EQ(regGetSetting(kAppName, section(), L"ActiveWallpaper", L""), std::to_wstring(id));
        EXPECT_EQ(regGetSetting(kAppName, section(), L"ActiveWallpaperLink", L""),
                  L"http://" + service.address() + L"/wallpaper/" + std::to_wstring(id));
        EXPECT_FALSE(gQXAPI->apiForced);
        const std::string bitmap = readFile(bitmapPath());
        ASSERT_GT(bitmap.size(), 54u);
        EXPECT_EQ(*reinterpret_cast<const int32_t*>(bitmap.data() + 18), 1280);
        EXPECT_EQ(*reinterpret_cast<const int32_t*>(bitmap.data() + 22), 1024);
    }
};

const QueryPair kVersion{"VL%5FVersion", "1%2E0%2E0"};

}  // namespace

TEST_F(Rotation, TagsInRandomOrder) {
    change();
    EXPECT_EQ(lastQuery(), (QueryPairs{{"apikey", "Vx3k9QpL2m7Z"}, {"method", "qx.wallpapers.browse"},
                                       {"withar", "1%2E25"}, {"withtags", "no"}, {"sort", "desc"}, {"minpoints", "0"},
                                       {"order", "randomize"}, {"page", "1"}, {"perpage", "1"},
                                       {"tag", "sun%2A%2C+fractal"}, kVersion}));
    ASSERT_EQ(downloads().size(), 1u);
    const std::string line = downloads()[0].requestLine();
    const bool sunset = line == "GET /dl/inline/1007/1280x1024/red-sunset.jpg HTTP/1.0";
    const bool fractal = line == "GET /dl/inline/1022/1280x1024/julia-blue.jpg HTTP/1.0";
    EXPECT_TRUE(sunset || fractal) << line;
    expectApplied(sunset ? 1007 : 1022);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(secondsSinceChange, 0);
}

TEST_F(Rotation, GalleryAndCategoryInSequenceFromTheSavedWallpaper) {
    activeSourceTab = 2;
    ui::frmMain().cboGallery.setText(L"Nature");
    ui::frmMain().cboCategory.setText(L"Forests");
    ui::frmOptions().optSequential.setValue(true);
    regSaveSetting(kAppName, section(), L"ActiveWallpaper", L"1030");
    change();
    EXPECT_EQ(lastQuery(), (QueryPairs{{"apikey", "Vx3k9QpL2m7Z"}, {"method", "qx.wallpapers.browse"},
                                       {"withar", "1%2E25"}, {"withtags", "no"}, {"sort", "desc"}, {"minpoints", "0"},
                                       {"startid", "1030"}, {"order", "freshness"}, {"page", "1"}, {"perpage", "1"},
                                       {"gallery", "Nature"}, {"category", "Forests"}, kVersion}));
    expectApplied(1029);
}

TEST_F(Rotation, AllGalleriesSendsNeitherAndAllCategoriesOnlyTheGallery) {
    activeSourceTab = 2;
    ui::frmMain().cboCategory.setText(L"Forests");
    ui::frmOptions().optSequential.setValue(true);  // no saved wallpaper: start from 0
    change();
    QueryPairs query = lastQuery();
    EXPECT_EQ(std::vector<QueryPair>(query.begin() + 6, query.end()),
              (QueryPairs{{"startid", "0"}, {"order", "freshness"}, {"page", "1"}, {"perpage", "1"}, kVersion}));

    ui::frmMain().cboGallery.setText(L"Anime");
    ui::frmMain().cboCategory.setText(L"All Categories");
    change();
    query = lastQuery();
    EXPECT_EQ(query[query.size() - 2], (QueryPair{"gallery", "Anime"}));
}

TEST_F(Rotation, ASavedWallpaperThatIsNotANumberStartsTheSequenceOver) {
    ui::frmOptions().optSequential.setValue(true);
    regSaveSetting(kAppName, section(), L"ActiveWallpaper", L"abc");
    change();
    const QueryPairs query = lastQuery();
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"startid", "0"}), query.end());
    EXPECT_TRUE(errors.empty());
}

TEST_F(Rotation, OfTwoWallpapersOnlyTheFirstIsDownloaded) {
    const auto wallpaper = [&](const wchar_t* id, const wchar_t* file) {
        return std::wstring(L"<wallpaper><id>") + id + L"</id><filename>" + file + L"</filename><link>http://" +
               service.address() + L"/wallpaper/" + id + L"</link></wallpaper>\n";
    };
    const std::wstring body = L"<wallpapers count=\"2\">\n" + wallpaper(L"1007", L"red-sunset.jpg") +
                              wallpaper(L"1022", L"julia-blue.jpg") + L"</wallpapers>\n";
    service.fault("custom", "&body=" + toAnsi(URLEncode(body)));
    change();
    ASSERT_EQ(downloads().size(), 1u);
    EXPECT_EQ(downloads()[0].requestLine(), "GET /dl/inline/1007/1280x1024/red-sunset.jpg HTTP/1.0");
    expectApplied(1007);
}

TEST_F(Rotation, AReplyThatStartsNoDownloadDoesNotRenameTheOneUnderWay) {
    service.fault("hang", "&scope=dl&seconds=2&reply=1");
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] { return downloads().size() == 1; }));
    const std::string line = downloads()[0].requestLine();
    const int32_t downloading = line.find("/1007/") != std::string::npos ? 1007 : 1022;

    // A scheduled change meanwhile gets a reply naming another wallpaper,
    // but without its file name: nothing replaces the running download.
    service.fault("custom", "&body=" + toAnsi(URLEncode(L"<wallpapers count=\"1\">\n<wallpaper><id>1030</id><link>http://" +
                                                        service.address() + L"/wallpaper/1030</link></wallpaper>\n</wallpapers>\n")));
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 2 && changeEnded(); }, 30s));
    ASSERT_EQ(downloads().size(), 1u);
    expectApplied(downloading);
}

TEST_F(Rotation, LogoutEndsTheChangeUnderWayAndNothingOfItIsAppliedOrSaved) {
    service.fault("hang", "&scope=dl&seconds=2&reply=1");
    const std::wstring member = section();
    gQXAPI->apiLoggedIn = true;
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] { return downloads().size() == 1; }));
    ui::frmMain().Show();
    gQXAPI->APILogout();
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_FALSE(ui::formInstance<ui::FrmDownloading>().isLoaded());
    EXPECT_FALSE(gQXAPI->apiForced);

    pumpFor(3s);  // past the moment the server sends the picture
    EXPECT_FALSE(fileExists(bitmapPath()));
    EXPECT_NE(desktopWallpaper(), bitmapPath());
    for (const std::wstring& anyone : {member, memberSection(L"")})
        EXPECT_EQ(regGetSetting(kAppName, anyone, L"ActiveWallpaper", L"none"), L"none");
    EXPECT_TRUE(errors.empty());
}

// The data folder removed while the program runs (a clean-up tool, the member)
// is made again: else no later change could be shown until the next start.
TEST_F(Rotation, ADataFolderRemovedMeanwhileIsMadeAgain) {
    dataFolder = data.path() + L"\\removed\\";
    ASSERT_FALSE(dirExists(dataFolder));
    change();
    ASSERT_EQ(downloads().size(), 1u);
    EXPECT_TRUE(dirExists(dataFolder));
    expectApplied(gQXAPI->apiActiveWallpaper);
    EXPECT_GT(gQXAPI->apiActiveWallpaper, 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Rotation, MemberFavoritesAndUploads) {
    activeSourceTab = 0;
    gQXAPI->apiUsername = L"alice";
    screenAspectRatio = L"1.6";
    ui::frmOptions().txtRating.setText(L"30");
    change();
    QueryPairs query = lastQuery();
    EXPECT_EQ(query[1], (QueryPair{"method", "qx.wallpapers.favorites"}));
    EXPECT_EQ(query[query.size() - 2], (QueryPair{"member", "alice"}));
    expectApplied(1021);  // alice's one favorite at 1.6 rated 30 or more

    ui::frmMain().optMemberUploads.setValue(true);
    gQXAPI->apiUsername = L"carol-x";
    ui::frmOptions().txtRating.setText(L"-5");
    screenAspectRatio = L"1.25";
    change();
    query = lastQuery();
    EXPECT_EQ(query[1], (QueryPair{"method", "qx.wallpapers.browse"}));
    EXPECT_EQ(query[query.size() - 2], (QueryPair{"member", "carol%2Dx"}));
    expectApplied(1007);
}

TEST_F(Rotation, GalleryListStillLoadingIsAskedForInstead) {
    ui::frmMain().cboCategory.setText(L"Loading...");
    secondsSinceChange = 42;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] { return !apiRequests().empty(); }));
    EXPECT_EQ(lastQuery()[1], (QueryPair{"method", "qx.getGalleries"}));
    EXPECT_EQ(secondsSinceChange, 42);
    EXPECT_TRUE(ui::frmMain().cboGallery.Enabled());  // it keeps the list it shows meanwhile
    ASSERT_TRUE(waitFor([] { return ui::frmMain().cboCategory.Text() != L"Loading..."; }));
    EXPECT_EQ(ui::frmMain().cboGallery.Text(), L"All Galleries");
}

TEST_F(Rotation, NothingHappensDuringAnUpdateOrAScheduledChangeInAnOutage) {
    secondsSinceChange = 7;
    gQXAPI->apiDownloadingUpdate = true;
    gQXAPI->RotateWallpaper();
    gQXAPI->apiDownloadingUpdate = false;
    gQXAPI->apiNetworkOutage = true;
    gQXAPI->RotateWallpaper();
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(apiRequests().empty());
    EXPECT_EQ(secondsSinceChange, 7);
}

TEST_F(Rotation, ForcedChangeInAnOutageReconnectsFirst) {
    gQXAPI->apiLoggedIn = true;
    gQXAPI->apiNetworkOutage = true;
    change(true);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    EXPECT_EQ(lastQuery()[1], (QueryPair{"method", "qx.wallpapers.browse"}));
}

TEST_F(Rotation, ForcedChangeThatCannotReconnectTellsOfTheOutageAgain) {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", L"127.0.0.1:1");
    gQXAPI = std::make_unique<CQXAPI>();
    gQXAPI->apiLoggedIn = true;
    gQXAPI->apiNetworkOutage = true;
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Connection Issue");
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
}

TEST_F(Rotation, ForcedChangeShowsItsProgressAndAScheduledOneDoesNot) {
    service.fault("trickle", "&scope=dl&limit=20000&delay=0.0002");
    bool sawProgress = false;
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] {
        auto& progress = ui::formInstance<ui::FrmDownloading>();
        if (progress.isLoaded() && progress.Visible() && progress.lblHeaderTitle.Caption() == L"Vorlane - Downloading..." &&
            progress.lblProgressPercent.Caption() != L"0%")
            sawProgress = true;
        return changeEnded();
    }));
    EXPECT_TRUE(sawProgress);

    service.fault("trickle", "&scope=dl&limit=20000&delay=0.0002");
    bool shown = false;
    std::wstring percent;
    gQXAPI->apiForced = false;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] {
        auto& progress = ui::formInstance<ui::FrmDownloading>();
        if (progress.isLoaded()) {
            shown = shown || progress.Visible();
            percent = progress.lblProgressPercent.Caption();
        }
        return changeEnded() && apiRequests().size() == 2;
    }));
    EXPECT_FALSE(shown);
    EXPECT_EQ(percent, L"0%");
}

TEST_F(Rotation, NotAPictureAsksAgainThreeTimesAtMostAndKeepsThePrevious) {
    change();
    const int32_t applied = gQXAPI->apiActiveWallpaper;
    const std::string bitmap = readFile(bitmapPath());

    service.fault("not_picture", "&scope=dl&count=0");
    change(true);
    ASSERT_TRUE(waitFor([&] { return downloads().size() == 4 && changeEnded(); }));
    pumpFor(std::chrono::milliseconds(500));
    EXPECT_EQ(downloads().size(), 4u);  // the first change, then three that failed; then it waits
    EXPECT_EQ(apiRequests().size(), 4u);
    EXPECT_EQ(gQXAPI->apiActiveWallpaper, applied);
    EXPECT_EQ(regGetSetting(kAppName, section(), L"ActiveWallpaper", L""), std::to_wstring(applied));
    EXPECT_EQ(readFile(bitmapPath()), bitmap);
    EXPECT_EQ(desktopWallpaper(), bitmapPath());
    EXPECT_FALSE(gQXAPI->apiForced);
    EXPECT_TRUE(errors.empty());

    // The next scheduled change starts afresh.
    service.reset();
    change();
    EXPECT_EQ(downloads().size(), 1u);
    EXPECT_NE(regGetSetting(kAppName, section(), L"ActiveWallpaper", L""), L"");
}

TEST_F(Rotation, InSequenceTheTryAfterARefusedPictureGoesOnPastIt) {
    ui::frmOptions().optSequential.setValue(true);
    ui::frmOptions().txtRating.setText(L"-5");  // both of the tag's pictures
    service.fault("http_error", "&scope=dl&status=404");
    change();
    ASSERT_TRUE(waitFor([&] { return downloads().size() == 2 && changeEnded(); }));
    EXPECT_EQ(downloads()[0].requestLine(), "GET /dl/inline/1022/1280x1024/julia-blue.jpg HTTP/1.0");
    EXPECT_EQ(lastQuery()[6], (QueryPair{"startid", "1022"}));
    expectApplied(1007);
}

TEST_F(Rotation, PictureWithoutASizeIsNeverApplied) {
    service.fault("no_length", "&scope=dl&count=0");
    change(true);
    ASSERT_TRUE(waitFor([&] { return downloads().size() == 3 && changeEnded(); }));
    pumpFor(std::chrono::milliseconds(500));
    EXPECT_EQ(downloads().size(), 3u);
    EXPECT_EQ(gQXAPI->apiActiveWallpaper, 0);
    EXPECT_EQ(regGetSetting(kAppName, section(), L"ActiveWallpaper", L"none"), L"none");
    EXPECT_NE(desktopWallpaper(), bitmapPath());
}

TEST_F(Rotation, LostConnectionDuringAForcedDownloadIsTheOutage) {
    // The downloader reports a connection aborted on our side (10053), which
    // loopback cannot be made to produce: it is raised as the downloader would.
    gQXAPI->apiLoggedIn = true;
    service.fault("hang", "&scope=dl&seconds=30");
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([] { return ui::formInstance<ui::FrmDownloading>().isLoaded(); }));
    gQXAPI->QXDownload.events.Error(10053, L"Software caused connection abort.");

    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Connection Issue");
    EXPECT_EQ(shown->text.rfind(L"Could not connect to Quorvex", 0), 0u);
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_FALSE(ui::formInstance<ui::FrmDownloading>().isLoaded());
    EXPECT_FALSE(gQXAPI->apiForced);
}

TEST_F(Rotation, RefusedDownloadOfAForcedChangeIsANetworkErrorNotice) {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", L"127.0.0.1:1");
    gQXAPI = std::make_unique<CQXAPI>();
    gQXAPI->apiLoggedIn = true;
    gQXAPI->apiForced = true;
    gQXAPI->DownloadAndChangeWallpaper(1007, L"red-sunset.jpg");
    ASSERT_TRUE(waitFor([] { return !ui::formInstance<ui::FrmDownloading>().isLoaded(); }));
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Connection Issue");
    EXPECT_EQ(shown->text.rfind(L"Network Error 10061!\r\n", 0), 0u);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    EXPECT_TRUE(ui::frmMain().Enabled());
}

TEST_F(Rotation, ErrorRepliesToTheQuery) {
    service.fault("api_error", "&number=69&description=Nothing");
    change();
    ASSERT_TRUE(notice());
    EXPECT_EQ(notice().value().title, L"Vorlane - No matching wallpapers!");

    service.fault("api_error", "&number=901&description=Exhausted");
    change();
    EXPECT_EQ(notice().value().title, L"Vorlane API Error");
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());

    service.fault("api_error", "&number=123&description=Odd");
    change();
    EXPECT_EQ(notice().value().text.rfind(L"An error has occurred [123]: Odd.", 0), 0u);

    service.fault("api_error", "&number=950&description=Bad+key");
    change();
    EXPECT_EQ(notice().value().text.rfind(L"[950] A fatal API error", 0), 0u);
    EXPECT_TRUE(gTimerFunctions->rotationHeld);  // until the service answers well again
    EXPECT_TRUE(downloads().empty());
}

TEST_F(Rotation, BodyPastItsLengthIsNotWrittenAndTheProgressStopsAtAHundred) {
    // Far more than the picture: the percentage would run into the thousands.
    service.fault("overlong", "&scope=dl&extra=20000000");
    std::wstring highest = L"0%";
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] {
        auto& progress = ui::formInstance<ui::FrmDownloading>();
        if (progress.isLoaded() && progress.lblProgressPercent.Caption().size() > highest.size()) highest = progress.lblProgressPercent.Caption();
        return changeEnded();
    }, 30s));
    EXPECT_TRUE(errors.empty()) << errors.reports()[0].description;
    EXPECT_LE(highest.size(), 4u) << highest;  // "100%" at most
    ASSERT_EQ(downloads().size(), 1u);
    expectApplied(gQXAPI->apiActiveWallpaper);
    EXPECT_NE(gQXAPI->apiActiveWallpaper, 0);
}

// --- A change against a server as rude as a real network can be ---------------

namespace {

struct RudeDownload {
    const char* name;
    const char* fault;
    const char* params;
    int16_t error;  // of the first try, in the member's notice
    size_t tries;   // a reply that is no picture is asked for again; the network's failures are not
};

const RudeDownload kRudeDownloads[] = {
    {"SilentServer", "hang", "&seconds=120", downloadError::ServerSilent, 1},
    {"Drip", "drip", "&every=0.1", downloadError::TooSlow, 1},
    {"BodyCutShort", "truncated", "", downloadError::IncompleteBody, 1},
    {"ClosedBeforeAnyByte", "drop", "", downloadError::IncompleteHead, 1},
    {"ClosedInTheStatusLine", "close_before_header", "&bytes=12", downloadError::IncompleteHead, 1},
    {"ClosedInTheHead", "close_before_header", "", downloadError::IncompleteHead, 1},
    {"ResetInTheHead", "reset", "&bytes=40", downloadError::IncompleteHead, 1},
    {"EndlessHeader", "endless_header", "&bytes=300000000", downloadError::HeaderTooLarge, 3},
    {"NotFoundPage", "http_error", "&status=404", downloadError::HttpStatus, 3},
};

void PrintTo(const RudeDownload& c, std::ostream* out) { *out << c.fault; }

// The memory the process holds for itself alone (its commit charge; Wine
// counts it here, not under PrivateUsage).
size_t privateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

class RudeChange : public Rotation, public ::testing::WithParamInterface<RudeDownload> {};

}  // namespace

TEST_P(RudeChange, EndsWithThePreviousWallpaperAndBoundedMemory) {
    gQXAPI->apiLoggedIn = true;
    change();
    const int32_t applied = gQXAPI->apiActiveWallpaper;
    ASSERT_NE(applied, 0);
    const std::string bitmap = readFile(bitmapPath());
    const std::wstring link = regGetSetting(kAppName, section(), L"ActiveWallpaperLink", L"");

    // Deadlines short enough for a test; a drip of the picture misses its own at once.
    gQXAPI->QXDownload.limits = {.idle = 1s, .grace = 2s, .slowestRate = 1'000'000};
    service.fault(GetParam().fault, std::string("&scope=dl&count=0") + GetParam().params);
    const size_t before = privateBytes();
    size_t most = before;
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] {
        most = std::max(most, privateBytes());
        return downloads().size() == 1 + GetParam().tries && changeEnded();
    }, 60s)) << "the change never ended";
    pumpFor(500ms);

    EXPECT_EQ(downloads().size(), 1 + GetParam().tries);  // the first change, then those that failed; then it waits
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Connection Issue");
    // A reset may be told as such, or (as Wine does) only as the early close it also is.
    const bool toldAsReset =
        std::string(GetParam().fault) == "reset" && shown->text.starts_with(L"Network Error 10054!");
    const std::wstring told = L"Network Error " + std::to_wstring(GetParam().error) + L"!\r\n";
    EXPECT_TRUE(toldAsReset || shown->text.starts_with(told)) << shown->text;
    EXPECT_FALSE(noMatchingWallpapers);
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_FALSE(ui::formInstance<ui::FrmDownloading>().isLoaded());
    EXPECT_FALSE(gQXAPI->apiForced);
    EXPECT_EQ(gQXAPI->apiActiveWallpaper, applied);
    EXPECT_EQ(regGetSetting(kAppName, section(), L"ActiveWallpaper", L""), std::to_wstring(applied));
    EXPECT_EQ(regGetSetting(kAppName, section(), L"ActiveWallpaperLink", L""), link);
    EXPECT_EQ(readFile(bitmapPath()), bitmap);
    EXPECT_EQ(desktopWallpaper(), bitmapPath());
    EXPECT_FALSE(fileExists(dataFolder + L"qx_wall_active"));
    EXPECT_LT(most - before, 32u << 20) << "memory grew while the server was fed";
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Rotation, RudeChange, ::testing::ValuesIn(kRudeDownloads),
                         [](const auto& one) { return std::string(one.param.name); });
