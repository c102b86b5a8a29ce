// Program updates that leave the program running: the permission and the
// notices before the download, the address check, the download's state and
// window, a checksum file that matches nothing, an outage, a failure on the
// way. The archive downloads are held by the stand-in so that no update
// completes here (the endings are in UpdateEndingTest.cpp).
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "core/Globals.h"
#include "tests/webclient/UpdateFixture.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "webclient/modXML.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

class UpdateDownload : public Update {
protected:
    // Waits for the given number of update requests to have reached the service.
    bool waitForUpdateRequests(size_t count) {
        return waitFor([&] { return updateRequestLines(service).size() >= count; });
    }

    static ui::FrmDownloading& progress() { return ui::formInstance<ui::FrmDownloading>(); }

    void expectIdleAndUntouched() {
        EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
        EXPECT_FALSE(gQXAPI->apiDownloadingUpdateMD5);
        EXPECT_EQ(gQXAPI->apiDownloadingUpdateLink, L"");
        EXPECT_EQ(gQXAPI->apiDownloadingUpdateFile, L"");
        EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
        EXPECT_TRUE(ui::frmMain().Enabled());
        EXPECT_FALSE(progress().isLoaded());
    }
};

}  // namespace

TEST_F(UpdateDownload, AutomaticUpdateAsksNothingAndShowsNoWindow) {
    service.fault("hang", "&scope=update&seconds=30");
    announceUpdate(false);
    ASSERT_TRUE(waitForUpdateRequests(1));

    EXPECT_EQ(updateRequestLines(service), std::vector<std::string>{kArchiveRequest});
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_TRUE(gQXAPI->apiDownloadingUpdate);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdateMD5);
    EXPECT_EQ(gQXAPI->apiDownloadingUpdateLink, link());
    EXPECT_EQ(gQXAPI->apiDownloadingUpdateFile, kArchiveFile);
    EXPECT_TRUE(gQXAPI->apiForced);
    EXPECT_EQ(gQXAPI->QXDownload.Destination(), archivePath());
    EXPECT_FALSE(ui::frmMain().tmrMain.Enabled());
    EXPECT_FALSE(ui::frmMain().Enabled());
    ASSERT_TRUE(progress().isLoaded());
    EXPECT_FALSE(progress().Visible());
    EXPECT_EQ(progress().lblProgressPercent.Caption(), L"0%");
    EXPECT_TRUE(errors.empty());

    // The rotation stands still meanwhile.
    secondsSinceChange = 5;
    gQXAPI->RotateWallpaper();
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(secondsSinceChange, 5);
    EXPECT_EQ(apiRequests().size(), 1u);

    // Aborting forgets the update and the partial archive, and the rotation
    // runs again as it did before it.
    ASSERT_TRUE(fileExists(archivePath()));
    progress().imgAbort_Click();
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
    EXPECT_FALSE(gQXAPI->apiForced);
}

// The fault this guards against: a service that announces the update in each
// reply, and the update started over by the next one (asked for again, its
// download begun anew, a checksum file cut off and the update given up).
TEST_F(UpdateDownload, AnAnnouncementDuringTheUpdateChangesNothing) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    dialogs.answer(L"Proceed with Update?", IDYES, std::chrono::milliseconds(1500));
    service.fault("hang", "&scope=update&seconds=30");
    service.fault("upgrade", "&count=3");
    // Two changes asked for at once: the second reply comes during the update.
    gQXAPI->RotateWallpaper();
    gQXAPI->RotateWallpaper();
    // A third falls due while the question is open (the clock runs on under it).
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (FindWindowW(nullptr, L"Proceed with Update?") && KillTimer(nullptr, id)) gQXAPI->RotateWallpaper();
    });
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 3; }));
    ASSERT_TRUE(waitForUpdateRequests(1));
    pumpFor(std::chrono::milliseconds(500));

    EXPECT_EQ(updateRequestLines(service), std::vector<std::string>{kArchiveRequest});
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_TRUE(gQXAPI->apiDownloadingUpdate);
}

TEST_F(UpdateDownload, PermissionThenTheForcedNoticeThenTheWindow) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    dialogs.answer(L"Proceed with Update?", IDYES);
    service.fault("hang", "&scope=update&seconds=30");
    announceUpdate(true);
    ASSERT_TRUE(waitForUpdateRequests(1));

    const std::vector<SeenDialog> seen = dialogs.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, L"Proceed with Update?");
    EXPECT_EQ(seen[0].text, permissionText());
    EXPECT_EQ(seen[1].title, L"Auto-Update Starting");
    EXPECT_EQ(seen[1].text, autoUpdateStartingText());
    ASSERT_TRUE(progress().isLoaded());
    EXPECT_TRUE(progress().Visible());
    EXPECT_EQ(GetWindow(progress().hwnd(), GW_OWNER), ui::frmMain().hwnd());
    EXPECT_EQ(progress().picProgressBar.Width(), 1);
    EXPECT_EQ(progress().lblProgressPercent.Caption(), L"0%");
    EXPECT_TRUE(gQXAPI->apiDownloadingUpdate);
}

// Every box of the update is modal to the window the member has in front.
TEST_F(UpdateDownload, ItsBoxesAreModalToTheWindowInFront) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    dialogs.answer(L"Proceed with Update?", IDYES);
    dialogs.answer(L"Confirm Exit", IDNO);
    struct Asked {
        ui::Form& window;
        std::function<void()> ask;
        size_t boxes;
    };
    const Asked cases[] = {
        {ui::frmOptions(), [&] { announceUpdate(true); }, 2},
        {ui::frmMain(), [] { upgradeVorlane(L"http://127.0.0.2/vorlane/dl/Vorlane-1.0.113.zip"); }, 3},
    };
    service.fault("hang", "&scope=update&seconds=30");
    for (const Asked& c : cases) {
        SCOPED_TRACE(c.window.Caption());
        c.window.Show();
        const size_t before = dialogs.count();
        c.ask();
        ASSERT_TRUE(waitFor([&] { return dialogs.count() == before + c.boxes; }));
        const std::vector<SeenDialog> seen = dialogs.seen();
        for (size_t i = before; i < seen.size(); ++i) {
            SCOPED_TRACE(std::string(seen[i].title.begin(), seen[i].title.end()));
            EXPECT_EQ(seen[i].owner, static_cast<void*>(c.window.hwnd()));
            EXPECT_FALSE(seen[i].ownerEnabled);
        }
        if (progress().isLoaded()) progress().imgAbort_Click();
        c.window.Hide();
    }
}

// Each refused address on its own: every one costs two boxes.
struct RefusedCase {
    const char* name;
    const wchar_t* address;  // SERVICE stands for the stand-in's host and port
};

void PrintTo(const RefusedCase& refused, std::ostream* out) { *out << refused.name; }

class RefusedAddress : public UpdateDownload, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedAddress, ChangesNothingAndTheMemberMayStay) {
    std::wstring address = GetParam().address;
    if (const size_t at = address.find(L"SERVICE"); at != std::wstring::npos)
        address.replace(at, 7, service.address());
    upgradeVorlane(address);
    upgradeVorlane(address);  // announced again by the next reply: not asked about again

    const std::vector<SeenDialog> seen = dialogs.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, L"Critical Update Error");
    EXPECT_EQ(seen[0].text, refusedAddressText(service.address()));
    EXPECT_EQ(seen[1].title, L"Confirm Exit");
    expectIdleAndUntouched();
    EXPECT_FALSE(gQXAPI->apiForced);
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(updateRequestLines(service).empty());
    EXPECT_TRUE(errors.empty());
}

const RefusedCase kRefused[] = {
    {"ZipInCapitals", L"http://SERVICE/vorlane/dl/Vorlane-1.0.113.ZIP"},
    {"QueryAfterZip", L"http://SERVICE/vorlane/dl/Vorlane-1.0.113.zip?m=2"},
    {"NameWithFolders", L"http://SERVICE/vorlane/dl/..\\..\\Vorlane.zip"},
    {"OtherHost", L"http://127.0.0.2/vorlane/dl/Vorlane-1.0.113.zip"},
    {"Short", L"http://127.0.0.1"},
};

INSTANTIATE_TEST_SUITE_P(UpdateDownload, RefusedAddress, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<RefusedCase>& one) { return std::string(one.param.name); });

TEST_F(UpdateDownload, AnnouncedAddressInCapitalsIsRefusedAfterThePermission) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    dialogs.answer(L"Proceed with Update?", IDYES);
    service.fault("upgrade", "&link=http%3A%2F%2F" + service.host() + "%2Fvorlane%2Fdl%2FVorlane.ZIP");
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] { return dialogs.count() == 3; }));
    const std::vector<SeenDialog> seen = dialogs.seen();
    EXPECT_EQ(seen[0].title, L"Proceed with Update?");
    EXPECT_EQ(seen[1].title, L"Critical Update Error");
    EXPECT_EQ(seen[2].title, L"Confirm Exit");
    pumpFor(std::chrono::milliseconds(100));
    expectIdleAndUntouched();
    EXPECT_TRUE(updateRequestLines(service).empty());
}

TEST_F(UpdateDownload, ChecksumFileWithoutAChecksumMatchesNothing) {
    // An empty companion file: both files are fetched again, as on a mismatch.
    service.control("/_control/update?name=" + std::string(kArchiveName) + "&md5=&md5_eol=none");
    service.fault("trickle", "&scope=update&count=3&limit=1&delay=0");  // archive, checksum, archive, unharmed
    service.fault("hang", "&scope=update&seconds=30");                  // the next request
    announceUpdate(false);
    ASSERT_TRUE(waitForUpdateRequests(4));

    EXPECT_EQ(updateRequestLines(service),
              (std::vector<std::string>{kArchiveRequest, kChecksumRequest, kArchiveRequest, kChecksumRequest}));
    EXPECT_EQ(gQXAPI->apiDownloadingUpdateErr, 1);
    EXPECT_TRUE(gQXAPI->apiDownloadingUpdateMD5);
    EXPECT_TRUE(gQXAPI->apiDownloadingUpdate);
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_FALSE(progress().Visible());
    EXPECT_TRUE(errors.empty());
}

// The ways out of an update that leave the program running; each takes the
// update's files with it, the one being fetched and the one fetched before.
struct WayOut {
    const char* name;
    void (*leave)();
};

void PrintTo(const WayOut& way, std::ostream* out) { *out << way.name; }

class UnfinishedUpdate : public UpdateDownload, public ::testing::WithParamInterface<WayOut> {};

TEST_P(UnfinishedUpdate, LeavesNoFileBehind) {
    gQXAPI->apiLoggedIn = true;
    holdTheArchiveFetchedAgain(service);
    announceUpdate(false);
    ASSERT_TRUE(waitForUpdateRequests(3));
    ASSERT_TRUE(fileExists(archivePath() + L".md5"));

    GetParam().leave();
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(fileExists(archivePath() + L".md5"));
}

const WayOut kWaysOut[] = {
    {"Abort", [] { ui::formInstance<ui::FrmDownloading>().imgAbort_Click(); }},
    {"Outage", [] { gQXAPI->QXDownload.events.Error(10053, L"Software caused connection abort."); }},
};

INSTANTIATE_TEST_SUITE_P(UpdateDownload, UnfinishedUpdate, ::testing::ValuesIn(kWaysOut),
                         [](const ::testing::TestParamInfo<WayOut>& one) { return std::string(one.param.name); });

TEST_F(UpdateDownload, OutageForgetsTheUpdateAndRestartsTheClock) {
    gQXAPI->apiLoggedIn = true;
    service.fault("hang", "&scope=update&seconds=30");
    announceUpdate(false);
    ASSERT_TRUE(waitForUpdateRequests(1));
    ASSERT_TRUE(fileExists(archivePath()));

    // A connection aborted on our side, as the downloader reports it.
    gQXAPI->QXDownload.events.Error(10053, L"Software caused connection abort.");

    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    ASSERT_TRUE(notice());
    EXPECT_EQ(notice()->title, L"Vorlane - Connection Issue");
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdateMD5);
    EXPECT_FALSE(gQXAPI->apiForced);
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());  // so the retry can run
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_FALSE(progress().isLoaded());
    EXPECT_EQ(dialogs.count(), 0u);

    // A clock that something else had stopped stays stopped.
    ui::frmMain().tmrMain.setEnabled(false);
    service.fault("hang", "&scope=update&seconds=30");
    upgradeVorlane(link());
    ASSERT_TRUE(waitForUpdateRequests(2));
    gQXAPI->QXDownload.events.Error(11004, L"Valid name, no data record of requested type.");
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
    EXPECT_FALSE(ui::frmMain().tmrMain.Enabled());
}

// The data folder gone while the checksum file came, and not to be made again:
// the try after the mismatch cannot start, and the update is given up.
TEST_F(UpdateDownload, ATryThatCannotStartEndsTheUpdate) {
    service.fault("hang", "&scope=update&match=.md5&seconds=1&reply=1");
    announceUpdate(false);
    ASSERT_TRUE(waitForUpdateRequests(2));
    writeFile(data.file(L"blocker"), "a file where a folder should be");
    dataFolder = data.file(L"blocker") + L"\\Vorlane\\";
    ASSERT_TRUE(waitFor([] { return !gQXAPI->apiDownloadingUpdate; }));
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function upgradeVorlane, modXML");
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_FALSE(progress().isLoaded());
}

TEST_F(UpdateDownload, DataFolderThatCannotBeMadeIsReported) {
    const std::wstring blocker = data.file(L"blocker");
    writeFile(blocker, "a file where a folder should be");
    dataFolder = blocker + L"\\Vorlane\\";
    upgradeVorlane(link());

    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function upgradeVorlane, modXML");
    EXPECT_EQ(errors.reports()[0].number, 76);
    EXPECT_EQ(errors.reports()[0].description, L"Path not found");
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(updateRequestLines(service).empty());
}
