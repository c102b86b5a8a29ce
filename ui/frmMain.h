// The main window: the choice of picture source, save and minimize, options and
// exit. It owns the program's one-second clock.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/kit/FramedForm.h"

namespace vorlane::ui {

// The longest tag text the tag rule lets through.
inline constexpr size_t kLongestTag = 64;

// Saved source choices as they load: one the program would not have saved
// gives way to none (the empty tag, the list's "All" entry).
std::wstring storedTag(const std::wstring& text);
std::wstring storedListChoice(const std::wstring& text, const wchar_t* none);

class FrmMain : public FramedForm {
public:
    FrmMain();

    PictureBox picMainTopMascot;
    Label lblChoose;

    Image imgSourceBgTL, imgSourceBgTR, imgSourceBgBL, imgSourceBgBR;
    std::array<PictureBox, 3> picSourceTabs;
    std::array<PictureBox, 3> picSourceTabsAlt;
    PictureBox picBuff;
    std::array<Frame, 3> frmSourceTabs;

    // Page 0: the member's own wallpapers.
    Image imgMemberBg, imgMemberBgTL, imgMemberBgTR, imgMemberBgBL, imgMemberBgBR;
    Label lblMemberTabInstructions;
    OptionButton optMemberFavorites;
    OptionButton optMemberUploads;
    Label lblFavoriteWhere;
    Label lblUploadedWhere;
    Image imgMemberTabQuickTip;
    Label lblMemberTabQuickTip;

    // Page 1: tags.
    Image imgTagBg, imgTagBgTL, imgTagBgTR, imgTagBgBL, imgTagBgBR;
    Label lblTagTabInstructions;
    Label lblEnterTag;
    TextBox txtTagName;
    Label lblTagExamples;
    Image imgTagQuickTip;
    Label lblTagTabQuickTip;

    // Page 2: gallery and category.
    Image imgCategoryBg, imgCategoryBgTL, imgCategoryBgTR, imgCategoryBgBL, imgCategoryBgBR;
    Label lblCategoryTabInstructions;
    Label lblGallery;
    ComboBox cboGallery;
    Label lblCategory;
    ComboBox cboCategory;
    Image imgCategoryQuickTip;
    Label lblCategoryTabQuickTip;

    PictureBox picSave;
    PictureBox picOptions;
    PictureBox picExit;
    CommandButton cmdSaveMin;
    Timer tmrMain;

    // Ends the program: after the member confirms, or at once when Silent.
    // Returns only when the member answers No.
    void exitVorlane(bool Silent);

    // The one-second clock of the whole program.
    void tmrMain_Timer();

    // Brings the window back from the tray, centred.
    void unMinimize();

    // The tag rule: true when the tag text may be used (else the member is told why).
    bool validateTagName();
    // The tag a change asks with: the box's text when the tag rule lets it
    // through, else the member's saved tag (the box may hold one typed but
    // refused, or left there when the window went away without Save).
    std::wstring tagInEffect() const;
    // The gallery and category a change asks with: the boxes' texts when they
    // are items of their lists, else the member's saved ones.
    std::wstring galleryInEffect() const;
    std::wstring categoryInEffect() const;

    // A close request: the window is minimized instead (Cancel 1), never unloaded.
    void Form_Unload(int16_t& Cancel);
    // Save and minimize: to the tray, asking for a wallpaper of the chosen source
    // unless the wallpaper is frozen. The three are one action.
    void picSave_Click();
    void cmdSaveMin_Click();
    void picCloseX_Click();
    void picExit_Click();
    void picOptions_Click();
    // The member's pages and the service's home page, in the browser.
    void lblFavoriteWhere_Click();
    void lblUploadedWhere_Click();
    void picMainTopMascot_Click();

    // The last tag text that passed the tag rule in this run; empty until one does.
    std::wstring lastValidTag;

    // The picture-source controls' events (frmMainSources.cpp).
    void picSourceTabs_Click(int Index);
    void optMemberFavorites_Click();
    void optMemberUploads_Click();
    void cboGallery_Click();
    void cboGallery_KeyDown(const KeyEvent& event);
    void cboGallery_KeyUp(const KeyEvent& event);
    void cboGallery_Validate(bool& Cancel);
    void cboCategory_KeyDown(const KeyEvent& event);
    void cboCategory_KeyUp(const KeyEvent& event);
    void cboCategory_Validate(bool& Cancel);

protected:
    void createControls() override;
    // The program's start-up, when the window is loaded by startVorlane.
    void Form_Load() override;
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void closeRequested() override;

private:
    void createPageFrame(Frame& page, Image& fill, Image& topLeft, Image& topRight, Image& bottomLeft,
                         Image& bottomRight);
    void createMemberPage();
    void createTagPage();
    void createCategoryPage();
    void wireMainHandlers();
    void makeDataFolderOrEnd();
    // The exit question; true when the member answers Yes.
    bool confirmExit();
    HWND exitAskedFrom_ = nullptr;  // the window the exit question is up over

    // Joins the picture-source controls to their events.
    void wireSourceHandlers();
};

FrmMain& frmMain();

// Starts the program: loads the main window, whose load handler is the
// start-up. It returns once the start-up has ended: in the tray waiting for the
// silent login, or after the login window (a second copy has ended by then).
// Loading the main window any other way gives the window alone. An error that
// escapes the start-up is reported, and the program then ends as an exit does.
void startVorlane();

// The program's window the member works in: the download progress, first-run
// help, login or options window while one is up, else the main window. The
// program's message boxes are modal to it.
HWND windowInFront();

// The address of a member's page on the member-pages host: "favorites" or
// "uploads" ("http://members.../name/favorites/").
std::wstring memberPageAddress(const std::wstring& username, const wchar_t* page);

// The data folder below an application-data folder ("...\Vorlane\"), made if it
// is missing (the last level only); empty when it is not there and cannot be made.
std::wstring makeDataFolder(const std::wstring& appDataFolder);

}  // namespace vorlane::ui
