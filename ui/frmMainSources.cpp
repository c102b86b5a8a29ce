// The main window's picture-source controls: the tabs, the member option, the
// tag rule and the gallery and category boxes. Every choice is saved at once in
// the member's settings and lets a paused countdown run again.
#include <windows.h>

#include "core/Globals.h"
#include "core/modMisc.h"
#include "ui/frmMain.h"
#include "ui/modGlobals.h"

namespace vorlane::ui {

namespace {

constexpr const wchar_t* kAllCategories = L"All Categories";

// The gallery box shows another gallery than the lists were filled for: the
// category starts again from all of them.
void resetCategoryOnGalleryChange(FrmMain& main) {
    if (main.cboGallery.Text() == selectedGallery) return;
    main.cboCategory.setText(kAllCategories);
    selectedCategory = kAllCategories;
    main.cboCategory.setLocked(false);
}

// Longer than any name the service gives a gallery or category, and short
// enough that a request with both stays far inside the request line a web
// server takes.
constexpr size_t kLongestListName = 255;

}  // namespace

// Every tag is saved only after it passed the tag rule; one the rule refuses
// (a text no request line can carry, say) is damage.
std::wstring storedTag(const std::wstring& text) {
    return text.size() <= kLongestTag && hasOnlyTagCharacters(text) ? text : std::wstring();
}

// A gallery or category the lists can show. Their waiting text is none: while
// a box shows it, every change asks for the gallery list instead.
std::wstring storedListChoice(const std::wstring& text, const wchar_t* none) {
    return text.size() <= kLongestListName && text != L"Loading..." ? text : none;
}

void FrmMain::wireSourceHandlers() {
    for (size_t i = 0; i < picSourceTabs.size(); ++i)
        picSourceTabs[i].Click = [this, i] { picSourceTabs_Click(static_cast<int>(i)); };
    optMemberFavorites.Click = [this] { optMemberFavorites_Click(); };
    optMemberUploads.Click = [this] { optMemberUploads_Click(); };
    cboGallery.Click = [this] { cboGallery_Click(); };
    cboGallery.KeyDown = [this](const KeyEvent& e) { cboGallery_KeyDown(e); };
    cboGallery.KeyUp = [this](const KeyEvent& e) { cboGallery_KeyUp(e); };
    cboGallery.Validate = [this](bool& cancel) { cboGallery_Validate(cancel); };
    cboCategory.KeyDown = [this](const KeyEvent& e) { cboCategory_KeyDown(e); };
    cboCategory.KeyUp = [this](const KeyEvent& e) { cboCategory_KeyUp(e); };
    cboCategory.Validate = [this](bool& cancel) { cboCategory_Validate(cancel); };
}

void FrmMain::picSourceTabs_Click(int Index) { toggleSourceTabs(static_cast<int16_t>(Index)); }

void FrmMain::optMemberFavorites_Click() {
    noMatchingWallpapers = false;
    saveMemberSetting(L"UseMembers", L"Favorites");
}

void FrmMain::optMemberUploads_Click() {
    noMatchingWallpapers = false;
    saveMemberSetting(L"UseMembers", L"Uploads");
}

std::wstring FrmMain::tagInEffect() const {
    // What the tag rule refuses comes back empty, as an empty box does.
    if (std::wstring typed = storedTag(txtTagName.Text()); !typed.empty()) return typed;
    return storedTag(getMemberSetting(L"TagName", L""));
}

std::wstring FrmMain::galleryInEffect() const {
    const std::wstring shown = cboGallery.Text();
    if (existsInCombo(shown, cboGallery.hwnd())) return shown;
    return storedListChoice(getMemberSetting(L"Gallery", L"All Galleries"), L"All Galleries");
}

std::wstring FrmMain::categoryInEffect() const {
    const std::wstring shown = cboCategory.Text();
    if (existsInCombo(shown, cboCategory.hwnd())) return shown;
    return storedListChoice(getMemberSetting(L"Category", kAllCategories), kAllCategories);
}

bool FrmMain::validateTagName() {
    const std::wstring tag = txtTagName.Text();
    if (tag.empty()) {
        MessageBoxW(hwnd(), L"Please enter one or more tags that you would like to use!", L"Vorlane Tag Error",
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    const wchar_t* title = nullptr;
    const wchar_t* text = nullptr;
    if (tag.size() > kLongestTag) {
        title = L"Tag Too Long";
        text = L"A tag can only be a maximum of 64 characters long.  Please double-check your tag exists on "
               L"Quorvex, then try again.";
    } else if (!hasOnlyTagCharacters(tag)) {
        title = L"Invalid Character";
        text = L"Oops! A tag can only contain letters, numbers, dashes, spaces, and wildcard characters (*).\r\n\r\n"
               L"To enter multiple tags, seperate them with a comma.";
    }
    if (title) {
        txtTagName.setText(lastValidTag);
        MessageBoxW(hwnd(), text, title, MB_OK | MB_ICONINFORMATION);
        if (Visible()) {
            txtTagName.setFocus();
            txtTagName.setSelStart(static_cast<int>(txtTagName.Text().size()));
        }
        return false;
    }

    lastValidTag = tag;
    noMatchingWallpapers = false;
    saveMemberSetting(L"TagName", tag);
    return true;
}

// The keyboard never edits the two boxes: each is locked while a key is down.
void FrmMain::cboGallery_KeyDown(const KeyEvent&) {
    cboGallery.setLocked(true);
    resetCategoryOnGalleryChange(*this);
}

void FrmMain::cboGallery_KeyUp(const KeyEvent&) {
    cboGallery.setLocked(false);
    resetCategoryOnGalleryChange(*this);
}

void FrmMain::cboCategory_KeyDown(const KeyEvent&) { cboCategory.setLocked(true); }

void FrmMain::cboCategory_KeyUp(const KeyEvent&) { cboCategory.setLocked(false); }

void FrmMain::cboGallery_Click() {
    if (cboGallery.Text() == selectedGallery) return;
    cboCategory.setText(kAllCategories);
    selectedCategory = kAllCategories;
}

void FrmMain::cboGallery_Validate(bool& Cancel) {
    const std::wstring gallery = cboGallery.Text();
    if (!existsInCombo(gallery, cboGallery.hwnd())) {
        cboGallery.setText(selectedGallery);
        Cancel = true;
        return;
    }
    const bool changed = gallery != selectedGallery;
    if (changed) {
        selectedGallery = gallery;
        updateCategoryList();
    }
    noMatchingWallpapers = false;
    saveMemberSetting(L"Gallery", gallery);
    // The category went back to all of them with the change: saved with it, or
    // the next login pairs the new gallery with the old one's category.
    if (changed) saveMemberSetting(L"Category", selectedCategory);
}

void FrmMain::cboCategory_Validate(bool& Cancel) {
    const std::wstring category = cboCategory.Text();
    if (!existsInCombo(category, cboCategory.hwnd())) {
        cboCategory.setText(selectedCategory);
        Cancel = true;
        return;
    }
    noMatchingWallpapers = false;
    saveMemberSetting(L"Category", category);
}

}  // namespace vorlane::ui
