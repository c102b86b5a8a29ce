// Reply dispatch by root element, on bodies as the framer hands them over.
#include <gtest/gtest.h>

#include "core/Convert.h"
#include "core/Globals.h"
#include "core/modRegistry.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "webclient/modXML.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

class Dispatch : public ApiFixture {
protected:
    void SetUp() override {
        ApiFixture::SetUp();
        noMatchingWallpapers = false;
        activeSourceTab = 1;
        galleries.clear();
        selectedGallery.clear();
        selectedCategory.clear();
    }

    std::vector<std::wstring> comboItems(ui::ComboBox& combo) {
        std::vector<std::wstring> items;
        for (int i = 0; i < combo.ListCount(); ++i) items.push_back(combo.List(i));
        return items;
    }
};

const wchar_t* kGalleries =
    L"<galleries>\n"
    L"<gallery><friendly>Anime</friendly><categories>"
    L"<category><redir>no</redir><friendly>Ah My Goddess</friendly></category>"
    L"<category><redir>No</redir><friendly>Hidden1</friendly></category>"
    L"<category><redir>yes</redir><friendly>Hidden2</friendly></category>"
    L"<category><redir></redir><friendly>Hidden3</friendly></category>"
    L"<category><redir>no</redir><friendly>Mecha</friendly></category>"
    L"</categories></gallery>\n"
    L"<gallery><friendly>Ah My Goddess</friendly><categories>"
    L"<category><redir>yes</redir><friendly>Gone</friendly></category>"
    L"</categories></gallery>\n"
    L"</galleries>";

}  // namespace

TEST_F(Dispatch, GalleriesBuildTheListAndFillTheMainWindow) {
    ParseXML(kGalleries);
    ASSERT_TRUE(errors.empty());
    ASSERT_EQ(galleries.size(), 2u);
    EXPECT_EQ(galleries.item(L"anime"), (Galleries::Entry{L"Anime", L"Ah! My Goddess", L"Mecha"}));
    EXPECT_EQ(galleries.item(L"Ah My Goddess"), Galleries::Entry{L"Ah My Goddess"});  // a gallery keeps its name

    ui::FrmMain& main = ui::frmMain();
    EXPECT_EQ(comboItems(main.cboGallery), (std::vector<std::wstring>{L"All Galleries", L"Anime", L"Ah My Goddess"}));
    EXPECT_EQ(main.cboGallery.Text(), L"All Galleries");
    EXPECT_EQ(comboItems(main.cboCategory), std::vector<std::wstring>{L"All Categories"});
    EXPECT_TRUE(main.cboGallery.Enabled());

    selectedGallery = L"Anime";
    selectedCategory = L"Mecha";
    ParseXML(kGalleries);
    EXPECT_EQ(comboItems(main.cboCategory),
              (std::vector<std::wstring>{L"All Categories", L"Ah! My Goddess", L"Mecha"}));
    EXPECT_EQ(main.cboCategory.Text(), L"Mecha");
}

TEST_F(Dispatch, GalleryNamesDifferingOnlyInCaseAreAFailure) {
    ui::frmMain().cboGallery.setText(L"Loading...");
    ParseXML(L"<galleries>\n<gallery><friendly>Abstract</friendly></gallery>\n"
             L"<gallery><friendly>Cars</friendly></gallery>\n<gallery><friendly>abstract</friendly></gallery>\n"
             L"</galleries>");
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function ParseXML, modXML");
    EXPECT_EQ(errors.reports()[0].number, 457);
    EXPECT_EQ(galleries.size(), 2u);  // what was added before the failure stays
    EXPECT_EQ(ui::frmMain().cboGallery.Text(), L"Loading...");  // the lists were not refilled
}

TEST_F(Dispatch, AcceptedLoginStoresTheMembersKey) {
    ParseXML(L"<auth>\n<token>tok</token><username>Alice</username><apiKey>Ak7Tq2Wn9Xc4</apiKey>\n</auth>");
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(gQXAPI->apiLoggedIn);
    EXPECT_EQ(gQXAPI->apiAuthToken, L"tok");
    EXPECT_EQ(gQXAPI->apiUsername, L"Alice");
    EXPECT_EQ(gQXAPI->apiKey, L"Ak7Tq2Wn9Xc4");
    EXPECT_EQ(ui::frmLogin().txtUserName.Text(), L"Alice");
}

TEST_F(Dispatch, ARefusedLoginShowsTheReasonOrAnUnknownFailure) {
    ParseXML(L"<auth>\n<token></token><status>Account not activated</status>\n</auth>");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Vorlane");
    EXPECT_EQ(dialogs.seen()[0].text, L"Account not activated");
    EXPECT_FALSE(gQXAPI->apiLoggedIn);

    ParseXML(L"<auth>\n<token></token><status></status>\n</auth>");
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.seen()[1].title, L"Vorlane");
    EXPECT_EQ(dialogs.seen()[1].text, L"Unknown Login Error");
    EXPECT_TRUE(ui::frmLogin().txtUserName.Enabled());
    ui::frmLogin().Hide();
}

TEST_F(Dispatch, ALoginReplyWithoutAPartLeavesNoHalfLogin) {
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"bob");
    regSaveSetting(kAppName, kLoginSection, L"SavedPassword", L"0123456789abcdef0123456789abcdef");
    const std::wstring builtInKey = gQXAPI->apiKey;
    ui::FrmLogin& login = ui::frmLogin();
    const wchar_t* replies[] = {L"<auth>\n<token>tok</token><apiKey>k</apiKey>\n</auth>",
                                L"<auth>\n<token>tok</token><username>Alice</username>\n</auth>"};
    for (const wchar_t* reply : replies) {
        SCOPED_TRACE(reply);
        gQXAPI->apiUsername = L"alice";  // as typed
        login.txtUserName.setText(L"alice");
        login.DisableLogin();
        login.Hide();
        ParseXML(reply);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.reports().back().where, L"Function ParseXML, modXML");
        EXPECT_EQ(errors.reports().back().number, 91);
        EXPECT_FALSE(gQXAPI->apiLoggedIn);
        EXPECT_EQ(gQXAPI->apiUsername, L"alice");
        EXPECT_EQ(gQXAPI->apiKey, builtInKey);
        EXPECT_EQ(gQXAPI->apiAuthToken, L"");
        EXPECT_EQ(login.txtUserName.Text(), L"alice");
        // Logged out: the login window is there to try again.
        EXPECT_TRUE(login.Visible());
        EXPECT_TRUE(login.txtUserName.Enabled());
        EXPECT_EQ(regGetSetting(kAppName, kLoginSection, L"SavedUsername", L""), L"bob");
        EXPECT_EQ(regGetSetting(kAppName, kLoginSection, L"SavedPassword", L""), L"0123456789abcdef0123456789abcdef");
    }
}

TEST_F(Dispatch, ErrorNumbersAreTakenToTheirIntegerPart) {
    ParseXML(L"<error>\n<number>912.8</number><description>Slow down</description>\n</error>");
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane Error");
    EXPECT_EQ(shown->text.rfind(L"An error has occurred [912]: Slow down.  Please contact us for details: http://", 0),
              0u);
    EXPECT_NE(shown->text.find(L"/contact/"), std::wstring::npos);
}

TEST_F(Dispatch, NumbersOfTheReplyAreReadTheSameInEveryLocale) {
    // A user whose locale writes "1.234,5": the point of the wire is no digit
    // group there (912.8 is no 9128, 0.5 no 5), nor the comma its decimal mark.
    struct CommaLocale {
        const NumberFormat before = userNumberFormat();
        CommaLocale() { useNumberFormat({L',', L'.'}); }
        ~CommaLocale() { useNumberFormat(before); }
    } commaLocale;
    ParseXML(L"<error>\n<number>912.8</number><description>Slow down</description>\n</error>");
    ASSERT_TRUE(notice());
    EXPECT_EQ(notice()->text.rfind(L"An error has occurred [912]: ", 0), 0u) << notice()->text;
    ParseXML(L"<wallpapers count=\"0.5\">\n<wallpaper><id>1007</id><filename>a.jpg</filename>"
             L"<link>x</link></wallpaper>\n</wallpapers>");
    EXPECT_TRUE(noMatchingWallpapers);
    EXPECT_FALSE(ui::formInstance<ui::FrmDownloading>().isLoaded());
    ParseXML(L"<error>\n<number>7,5</number><description>x</description>\n</error>");
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].number, 13);
}

TEST_F(Dispatch, ErrorWithoutANumberIsAFailure) {
    ParseXML(L"<error>\n<number>lots</number><description>x</description>\n</error>");
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].number, 13);
}

TEST_F(Dispatch, NoMatchNoticeOncePerChoiceWithTheRatingAsTyped) {
    ui::frmOptions().txtRating.setText(L"5");
    ParseXML(L"<wallpapers count=\"0\">\n</wallpapers>");
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - No matching wallpapers!");
    EXPECT_EQ(shown->text,
              L"Vorlane couldn't find any wallpapers matching your settings!\r\n\r\nCheck that wallpapers marked with "
              L"your exact tag exist on Quorvex, then make sure they have been cropped to your resolution and have "
              L"at least a +5 rating (via your settings).");
    EXPECT_TRUE(noMatchingWallpapers);

    ui::frmSlideMessage().lblStatusMsg.setCaption(L"something else");
    ParseXML(L"<wallpapers count=\"-3\">\n</wallpapers>");
    EXPECT_EQ(notice().value().text, L"something else");  // not repeated
}

TEST_F(Dispatch, NoMatchAdviceFollowsTheSource) {
    struct Case {
        int tab;
        bool favorites, uploads;
        const wchar_t* rating;
        std::wstring expectedTail;
    } cases[] = {
        {2, true, false, L"0", L"selected category contains wallpapers that have been cropped to your resolution and "
                               L"have at least a 0 rating (via your settings)."},
        {0, true, false, L"-10", L"member has favorited some wallpapers, then make sure they have been cropped to your "
                                 L"resolution and have at least a -10 rating (via your settings)."},
        {0, false, true, L"3", L"member has uploaded some wallpapers, then make sure they have been cropped to your "
                               L"resolution and have at least a +3 rating (via your settings)."},
        {0, false, false, L"3", L"matching your settings!\r\n\r\n"},
    };
    ui::FrmMain& main = ui::frmMain();
    for (const Case& c : cases) {
        noMatchingWallpapers = false;
        activeSourceTab = c.tab;
        main.optMemberFavorites.setValue(c.favorites);
        main.optMemberUploads.setValue(c.uploads);
        if (!c.favorites && !c.uploads) main.optMemberFavorites.setValue(false);
        ui::frmOptions().txtRating.setText(c.rating);
        NoWallpapersExist();
        const auto shown = notice();
        ASSERT_TRUE(shown);
        const std::wstring text = shown->text;
        ASSERT_GE(text.size(), c.expectedTail.size());
        EXPECT_EQ(text.substr(text.size() - c.expectedTail.size()), c.expectedTail) << c.tab;
    }
}

TEST_F(Dispatch, NoMatchWithARatingThatIsNotANumberIsReported) {
    ui::frmOptions().txtRating.setText(L"high");
    NoWallpapersExist();
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function NoWallpapersExist, modXML");
    EXPECT_FALSE(noMatchingWallpapers);
    EXPECT_FALSE(notice());
}

TEST_F(Dispatch, WallpapersReplyWithoutCountIsAFailure) {
    ParseXML(L"<wallpapers>\n<wallpaper><id>1</id><filename>a.jpg</filename><link>l</link></wallpaper>\n</wallpapers>");
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function ParseXML, modXML");
    EXPECT_FALSE(ui::formInstance<ui::FrmDownloading>().isLoaded());
}

TEST_F(Dispatch, OtherRootsAndCaseVariantsGetTheApiErrorNotice) {
    for (const wchar_t* body : {L"<status>\n<ok/>\n</status>", L"<Error>\n<number>1</number>\n</Error>",
                                L"<WALLPAPERS count=\"1\">\n</WALLPAPERS>"}) {
        ui::formInstance<ui::FrmSlideMessage>().Unload();
        ParseXML(body);
        const auto shown = notice();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->title, L"Vorlane - API Error");
        EXPECT_EQ(shown->text.rfind(L"Vorlane has encountered an inconsistency in communications with Quorvex\r\n"
                                       L"Debug Dump: <",
                                       0),
                  0u);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Dispatch, DeclarationFirstIsReadAndMalformedIsAnXmlErrorBox) {
    ParseXML(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n<galleries><gallery><friendly>Nature</friendly>"
             L"</gallery></galleries>");
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(galleries.item(L"Nature"), Galleries::Entry{L"Nature"});

    ui::frmMain().Show();
    // Another unreadable reply while the box is open says nothing more.
    dialogs.answer(L"XML Error", IDOK, std::chrono::milliseconds(500));
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (KillTimer(nullptr, id)) ParseXML(L"<auth><token>t</auth>");
    });
    ParseXML(L"<auth><token>t</auth>");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"XML Error");
    // Modal to the window in front, as every box is.
    EXPECT_EQ(dialogs.seen()[0].owner, static_cast<void*>(ui::frmMain().hwnd()));
    EXPECT_FALSE(dialogs.seen()[0].ownerEnabled);
    EXPECT_FALSE(gQXAPI->apiLoggedIn);
    ui::frmMain().Hide();
}

TEST_F(Dispatch, UpgradeNoticeWithAnotherActionIsIgnored) {
    ParseXML(L"<vorlane>\n<action>wait</action>\n</vorlane>");  // no link: it is never read
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(notice());
}
