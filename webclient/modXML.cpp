// The reply parser: every API reply's root element and what the program does with it.
#include "webclient/modXML.h"

#include <windows.h>

#include <cmath>

#include "core/Convert.h"
#include "core/FlagScope.h"
#include "core/Globals.h"
#include "core/Trap.h"
#include "core/modRegistry.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "ui/modGlobals.h"
#include "webclient/CQXAPI.h"
#include "webclient/XmlDocument.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kModule = L"modXML";

// The clock runs on under the box, and a server that sends what cannot be read
// sends it again at the next change: one box says it at a time.
void tellUnreadableReply(const XmlDocument& document) {
    static bool open = false;
    if (!gQXAPI->tellOfTrouble() || open) return;
    const FlagScope showing(open);
    const std::wstring text = std::to_wstring(document.parseErrorCode()) + L"\r\n" + document.parseErrorReason();
    MessageBoxW(ui::windowInFront(), text.c_str(), L"XML Error", MB_OK | MB_ICONERROR);
}

void handleError(const XmlNode& root) {
    const std::wstring number = root.require(L"number").text();
    const std::wstring description = root.require(L"description").text();
    gQXAPI->APIHandleError(toInt16(std::floor(toDouble(number, kWireNumberFormat))), description);
}

// What an accepted login changes, kept so that a login that fails on the way
// can be undone: no half login is left behind.
class LoginUndo {
public:
    LoginUndo()
        : loggedIn_(gQXAPI->apiLoggedIn),
          token_(gQXAPI->apiAuthToken),
          username_(gQXAPI->apiUsername),
          key_(gQXAPI->apiKey),
          shownName_(ui::frmLogin().txtUserName.Text()),
          savedUsername_(savedLogin(L"SavedUsername")),
          savedPassword_(savedLogin(L"SavedPassword")) {}

    // Back to the state before the reply, logged out, with the login window
    // ready for another try.
    void undo() const {
        CQXAPI& api = *gQXAPI;
        api.apiLoggedIn = loggedIn_;
        api.apiAuthToken = token_;
        api.apiUsername = username_;
        api.apiKey = key_;
        restoreSavedLogin(L"SavedUsername", savedUsername_);
        restoreSavedLogin(L"SavedPassword", savedPassword_);
        ui::frmLogin().txtUserName.setText(shownName_);
        ui::frmLogin().readyForAnotherLogin();
    }

private:
    static std::wstring savedLogin(const wchar_t* name) { return regGetSetting(kAppName, kLoginSection, name, L""); }
    static void restoreSavedLogin(const wchar_t* name, const std::wstring& value) {
        if (savedLogin(name) != value) regSaveSetting(kAppName, kLoginSection, name, value);
    }

    bool loggedIn_;
    std::wstring token_, username_, key_, shownName_, savedUsername_, savedPassword_;
};

void acceptLogin(const XmlNode& root) {
    const LoginUndo before;
    try {
        gQXAPI->apiLoggedIn = true;
        gQXAPI->apiAuthToken = root.require(L"token").text();
        gQXAPI->apiUsername = root.require(L"username").text();
        ui::frmLogin().txtUserName.setText(gQXAPI->apiUsername);
        gQXAPI->apiKey = root.require(L"apiKey").text();
        ui::frmLogin().LoginSuccess();
    } catch (...) {
        before.undo();
        throw;
    }
}

void handleAuth(const XmlDocument& document, const XmlNode& root) {
    const std::wstring token = document.asNode().require(L"auth/token").text();
    if (!token.empty()) {
        acceptLogin(root);
        return;
    }
    // Refused with the service's reason, or without one.
    const std::wstring status = root.require(L"status").text();
    MessageBoxW(ui::windowInFront(), status.empty() ? L"Unknown Login Error" : status.c_str(), L"Vorlane", MB_OK);
    ui::frmLogin().readyForAnotherLogin();
}

void handleGalleries(const XmlDocument& document) {
    galleries.clear();
    for (const XmlNode& gallery : document.asNode().selectAll(L"galleries/gallery")) {
        const std::wstring name = gallery.require(L"friendly").text();
        Galleries::Entry& entry = galleries.add(name);
        entry.push_back(name);
        for (const XmlNode& category : gallery.selectAll(L"categories/category")) {
            if (category.require(L"redir").text() != L"no") continue;
            std::wstring categoryName = category.require(L"friendly").text();
            if (categoryName == L"Ah My Goddess") categoryName = L"Ah! My Goddess";
            entry.push_back(categoryName);
        }
    }
    ui::updateCategoryList();
}

void handleWallpapers(const XmlNode& root) {
    const auto count = root.attribute(L"count");
    if (!count) raiseError(errnum::ObjectNotSet, kModule);
    if (toDouble(*count, kWireNumberFormat) < 1) {
        NoWallpapersExist();
        return;
    }
    const XmlNode wallpaper = root.require(L"wallpaper");
    nextWallpaperID = toInt32(toDouble(wallpaper.require(L"id").text(), kWireNumberFormat));
    const std::wstring fileName = wallpaper.require(L"filename").text();
    nextWallpaperLink = wallpaper.require(L"link").text();
    gQXAPI->DownloadAndChangeWallpaper(nextWallpaperID, fileName);
}

void handleUpgrade(const XmlNode& root) {
    if (root.require(L"action").text() != L"upgrade") return;
    const std::wstring link = root.require(L"link").text();
    // The service announces the update in every reply while it is out: an
    // update under way is not started over by the next one.
    if (gQXAPI->apiDownloadingUpdate) return;
    upgradeVorlane(link);
}

void handleOtherRoot(const XmlDocument& document) {
    if (!gQXAPI->tellOfTrouble()) return;
    ui::showNotice(L"Vorlane - API Error",
               L"Vorlane has encountered an inconsistency in communications with Quorvex\r\nDebug Dump: " +
                   document.xml());
}

}  // namespace

void ParseXML(const std::wstring& body) {
    // A reply that fails on the way is trouble like one that cannot be read.
    runTrappedTelling(L"ParseXML", kModule, [] { return gQXAPI->tellOfTrouble(); }, [&] {
        XmlDocument document;
        if (!document.loadXml(body)) {
            tellUnreadableReply(document);
            return;
        }
        const XmlNode root = document.rootElement();
        const std::wstring name = root.name();

        if (name == L"error") handleError(root);
        else if (name == L"auth") handleAuth(document, root);
        else if (name == L"galleries") handleGalleries(document);
        else if (name == L"wallpapers") handleWallpapers(root);
        else if (name == L"vorlane") handleUpgrade(root);
        else handleOtherRoot(document);
    });
}

void NoWallpapersExist() {
    runTrapped(L"NoWallpapersExist", kModule, [&] {
        if (noMatchingWallpapers) return;
        std::wstring rating = ui::frmOptions().ratingInEffect();
        if (toDouble(rating) > 0) rating = L"+" + rating;

        std::wstring advice;
        switch (activeSourceTab) {
            case 2:
                advice = L"Check that your selected category contains wallpapers that have been cropped to your "
                         L"resolution and have at least a ";
                break;
            case 1:
                advice = L"Check that wallpapers marked with your exact tag exist on Quorvex, then make sure they "
                         L"have been cropped to your resolution and have at least a ";
                break;
            case 0:
                if (ui::frmMain().optMemberFavorites.Value())
                    advice = L"Check that the selected member has favorited some wallpapers, then make sure they "
                             L"have been cropped to your resolution and have at least a ";
                else if (ui::frmMain().optMemberUploads.Value())
                    advice = L"Check that the selected member has uploaded some wallpapers, then make sure they "
                             L"have been cropped to your resolution and have at least a ";
                break;
            default:
                break;
        }
        std::wstring text = L"Vorlane couldn't find any wallpapers matching your settings!\r\n\r\n";
        if (!advice.empty()) text += advice + rating + L" rating (via your settings).";

        ui::showNotice(L"Vorlane - No matching wallpapers!", text);
        noMatchingWallpapers = true;
    });
}

}  // namespace vorlane
