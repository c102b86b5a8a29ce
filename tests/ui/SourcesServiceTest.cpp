// The picture sources and the tray menu against the stand-in service: the
// gallery list as the service sends it, and a change asked for from the menu.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "core/Globals.h"
#include "core/modRegistry.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmSlideMessage.h"
#include "ui/modGlobals.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace vorlane::ui;

namespace {

class SourcesService : public ApiFixture {
protected:
    void SetUp() override {
        ApiFixture::SetUp();
        member = L"sources-" + std::to_wstring(GetCurrentProcessId());
        gQXAPI->apiUsername = member;
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Vorlane\\" + memberSection(member)).c_str());
        ApiFixture::TearDown();
    }

    static std::vector<std::wstring> items(const ComboBox& box) {
        std::vector<std::wstring> list;
        for (int i = 0; i < box.ListCount(); ++i) list.push_back(box.List(i));
        return list;
    }

    // Chooses an entry as the member does, with the mouse.
    void pick(ComboBox& box, int index) {
        box.setFocus();
        SendMessageW(box.hwnd(), CB_SETCURSEL, index, 0);
        SendMessageW(GetParent(box.hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box.hwnd()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box.hwnd()));
    }

    // Asks for a change with no notice up and the no-match notice free to come
    // again; true once a notice is up.
    bool rotateUntilNotice() {
        formInstance<FrmSlideMessage>().Unload();
        noMatchingWallpapers = false;
        gQXAPI->RotateWallpaper();
        return waitFor([&] { return notice().has_value(); });
    }

    std::wstring member;
    FrmMain& main = frmMain();
};

TEST_F(SourcesService, TheGalleryListFillsTheBoxesAndAPickedGalleryBringsItsCategories) {
    selectedGallery = L"All Galleries";
    selectedCategory = L"All Categories";
    requestGalleries();
    EXPECT_FALSE(main.cboGallery.Enabled());
    EXPECT_FALSE(main.cboCategory.Enabled());
    ASSERT_TRUE(waitFor([&] { return main.cboGallery.Enabled(); }));
    EXPECT_TRUE(main.cboCategory.Enabled());
    const auto galleryItems = items(main.cboGallery);
    ASSERT_GE(galleryItems.size(), 3u);
    EXPECT_EQ(galleryItems[0], L"All Galleries");
    EXPECT_EQ(galleryItems[1], L"Nature");
    EXPECT_EQ(items(main.cboCategory), std::vector<std::wstring>{L"All Categories"});

    toggleSourceTabs(2);
    ShowWindow(main.hwnd(), SW_SHOWNA);
    pick(main.cboGallery, 1);
    main.cboCategory.setFocus();
    // Categories the service redirects elsewhere are left out.
    EXPECT_EQ(items(main.cboCategory),
              (std::vector<std::wstring>{L"All Categories", L"Forests", L"Mountains", L"Oceans"}));
    EXPECT_EQ(regGetSetting(kAppName, memberSection(member), L"Gallery", L""), L"Nature");
    EXPECT_TRUE(errors.empty());
    // Asked for again and answered with an error of the service's: the boxes keep their list, usable.
    service.fault("api_error", "&number=901");
    requestGalleries();
    ASSERT_TRUE(waitFor([&] { return notice().has_value(); }));
    EXPECT_TRUE(main.cboGallery.Enabled() && main.cboCategory.Enabled());
}

TEST_F(SourcesService, AccentedGalleriesAndCategoriesShowRightAndBringTheirWallpapers) {
    ASSERT_EQ(GetACP(), 1252u) << "the test session runs with the Western code page";
    selectedGallery = L"All Galleries";
    selectedCategory = L"All Categories";
    requestGalleries();
    ASSERT_TRUE(waitFor([&] { return main.cboGallery.Enabled(); }));
    const auto galleryItems = items(main.cboGallery);
    const auto photography = std::find(galleryItems.begin(), galleryItems.end(), L"Fotograf\u00eda");
    ASSERT_NE(photography, galleryItems.end());

    toggleSourceTabs(2);
    ShowWindow(main.hwnd(), SW_SHOWNA);
    pick(main.cboGallery, static_cast<int>(photography - galleryItems.begin()));
    main.cboCategory.setFocus();
    ASSERT_EQ(items(main.cboCategory),
              (std::vector<std::wstring>{L"All Categories", L"Stra\u00dfen", L"Citt\u00e0"}));
    pick(main.cboCategory, 2);
    main.cboGallery.setFocus();
    EXPECT_EQ(regGetSetting(kAppName, memberSection(member), L"Category", L""), L"Citt\u00e0");

    // A change now asks for that category and gets its one wallpaper for a 1.6 screen.
    screenAspectRatio = L"1.6";
    ui::frmOptions().txtRating.setText(L"0");
    ui::frmOptions().optRandomize.setValue(true);
    nextWallpaperID = 0;
    service.fault("drop", "&scope=dl");  // the picture itself is not needed
    gQXAPI->apiForced = false;
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([] { return nextWallpaperID != 0; }));
    EXPECT_EQ(nextWallpaperID, 1014);
    const QueryPairs query = queryPairsOf(apiRequests().back());
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"gallery", "Fotograf%EDa"}), query.end());
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"category", "Citt%E0"}), query.end());
    ASSERT_TRUE(waitFor([&] { return main.Enabled(); }));  // the change has ended
}

TEST_F(SourcesService, RotateNowIsAChangeTheMemberAskedFor) {
    main.cboGallery.setText(L"All Galleries");
    main.cboCategory.setText(L"All Categories");
    toggleSourceTabs(1);
    main.txtTagName.setText(L"nosuchtaganywhere");
    gQXAPI->apiForced = false;
    frmPopupMenu().mnuForce.Click();
    EXPECT_TRUE(gQXAPI->apiForced);
    ASSERT_TRUE(waitFor([&] { return notice().has_value(); }));
    EXPECT_EQ(notice()->title, L"Vorlane - No matching wallpapers!");
    const auto requests = apiRequests();
    ASSERT_EQ(requests.size(), 1u);
    const QueryPairs query = queryPairsOf(requests[0]);
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"method", "qx.wallpapers.browse"}), query.end());
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"tag", "nosuchtaganywhere"}), query.end());
}

// A change that falls due while the member is typing asks with the options and
// the tag in effect: never with a rating typed in the options window but not
// saved, nor with a tag the tag rule refuses (typed, or left in the box when
// the window went away without Save), which give way to the saved ones.
TEST_F(SourcesService, AChangeAsksWithTheRatingAndTheTagInEffect) {
    regSaveSetting(kAppName, memberSection(member), L"QualityRating", L"5");
    regSaveSetting(kAppName, memberSection(member), L"TagName", L"nosuchtaganywhere");
    FrmOptions& options = frmOptions();
    options.loadOptions();
    main.cboGallery.setText(L"All Galleries");
    main.cboCategory.setText(L"All Categories");
    toggleSourceTabs(1);
    ShowWindow(options.hwnd(), SW_SHOWNA);
    const std::pair<std::wstring, std::wstring> typed[] = {
        {L"abc", L"nosuchtaganywhere"}, {L"", L""}, {L"5000", L"dog's"}, {L"5", std::wstring(65, L'x')}};
    for (const auto& [rating, tag] : typed) {
        SCOPED_TRACE(testing::PrintToString(rating) + " " + testing::PrintToString(tag));
        options.txtRating.setText(rating);
        main.txtTagName.setText(tag);
        ASSERT_TRUE(rotateUntilNotice());
        const QueryPairs query = queryPairsOf(apiRequests().back());
        EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"minpoints", "5"}), query.end());
        EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"tag", "nosuchtaganywhere"}), query.end());
        const std::wstring advice = L"+5 rating (via your settings).";
        const std::wstring text = notice()->text;
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), advice.size())), advice);
    }
    EXPECT_EQ(main.txtTagName.Text(), std::wstring(65, L'x'));  // the box is the member's to mend
    options.Hide();
    EXPECT_TRUE(errors.empty());
}

// A saved tag the rule refuses (damaged, edited by hand) is no tag either: the
// change asks with the empty tag, as login loads it into the box.
TEST_F(SourcesService, ASavedTagTheRuleRefusesNeverGoesOut) {
    main.cboGallery.setText(L"All Galleries");
    main.cboCategory.setText(L"All Categories");
    toggleSourceTabs(1);
    main.txtTagName.setText(L"");
    for (const std::wstring& saved : {std::wstring(L"dog's\r\nX-Evil: 1"), std::wstring(5000, L'x')}) {
        regSaveSetting(kAppName, memberSection(member), L"TagName", saved);
        ASSERT_TRUE(rotateUntilNotice());
        const QueryPairs query = queryPairsOf(apiRequests().back());
        EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"tag", ""}), query.end());
    }
    EXPECT_TRUE(errors.empty());
}

// Nor with a gallery or category that is no item of its list (pasted with the
// mouse, and the window gone without the focus leaving the box): it asks with
// the member's saved ones.
TEST_F(SourcesService, AChangeAsksOnlyWithListedGalleriesAndCategories) {
    regSaveSetting(kAppName, memberSection(member), L"Gallery", L"Nature");
    regSaveSetting(kAppName, memberSection(member), L"Category", L"Forests");
    selectedGallery = L"Nature";
    selectedCategory = L"Forests";
    requestGalleries();
    ASSERT_TRUE(waitFor([&] { return main.cboGallery.Enabled(); }));
    toggleSourceTabs(2);
    for (ComboBox* box : {&main.cboGallery, &main.cboCategory}) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(GetComboBoxInfo(box->hwnd(), &info));
        SetWindowTextW(info.hwndItem, L"Plants");
    }
    service.fault("drop", "&scope=dl");  // the picture itself is not needed
    const size_t before = apiRequests().size();
    gQXAPI->RotateWallpaper();
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() > before; }));
    const QueryPairs query = queryPairsOf(apiRequests().back());
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"gallery", "Nature"}), query.end());
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"category", "Forests"}), query.end());
    ASSERT_TRUE(waitFor([&] { return main.Enabled(); }));  // the change has ended
}

// A saved gallery or category login would not load (the lists' waiting text,
// an overlong name) is no fallback for an unlisted text in the box: the change
// asks for all of them.
TEST_F(SourcesService, AnUnlistedBoxFallsBackOnlyToASoundSavedChoice) {
    requestGalleries();
    ASSERT_TRUE(waitFor([&] { return main.cboGallery.Enabled(); }));
    toggleSourceTabs(2);
    service.fault("drop", "&scope=dl");  // the picture itself is not needed
    for (const std::wstring& saved : {std::wstring(L"Loading..."), std::wstring(3000, L'g')}) {
        regSaveSetting(kAppName, memberSection(member), L"Gallery", saved);
        regSaveSetting(kAppName, memberSection(member), L"Category", saved);
        main.cboGallery.setText(L"Plants");
        main.cboCategory.setText(L"Plants");
        const size_t before = apiRequests().size();
        gQXAPI->RotateWallpaper();
        ASSERT_TRUE(waitFor([&] { return apiRequests().size() > before; }));
        for (const QueryPair& pair : queryPairsOf(apiRequests().back())) {
            EXPECT_NE(pair.first, "gallery");
            EXPECT_NE(pair.first, "category");
        }
        ASSERT_TRUE(waitFor([&] { return main.Enabled(); }));  // the change has ended
    }
}

}  // namespace
