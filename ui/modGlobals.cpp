// The picture sources: the source tabs, the gallery and category lists, and the member's settings.
#include "ui/modGlobals.h"

#include "core/Globals.h"
#include "core/Trap.h"
#include "core/modMisc.h"
#include "core/modRegistry.h"
#include "ui/frmMain.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {

constexpr const wchar_t* kModule = L"modGlobals";
constexpr const wchar_t* kAllGalleries = L"All Galleries";
constexpr const wchar_t* kAllCategories = L"All Categories";

// Tag texts of the tab pictures: "U" shows its own picture, "A" the alternate
// (selected) one.
constexpr const wchar_t* kUnselected = L"U";
constexpr const wchar_t* kSelected = L"A";

// The tab shows the picture its alternate box held, and the alternate box keeps
// the one the tab showed, ready for the swap back.
void swapTabPictures(FrmMain& main, size_t tab) {
    main.picBuff.setPicture(main.picSourceTabs[tab].Picture());
    main.picSourceTabs[tab].setPicture(main.picSourceTabsAlt[tab].Picture());
    main.picSourceTabsAlt[tab].setPicture(main.picBuff.Picture());
}

// A selected tab shows its alternate picture, the default pointer and its page;
// the others their own picture, the custom pointer and no page. A tab already
// in the wanted state keeps its pictures.
void showTab(FrmMain& main, size_t tab, bool selected) {
    PictureBox& picture = main.picSourceTabs[tab];
    const wchar_t* wanted = selected ? kSelected : kUnselected;
    if (picture.Tag != wanted) {
        swapTabPictures(main, tab);
        picture.Tag = wanted;
        picture.setMousePointer(selected ? MousePointer::Default : MousePointer::Custom);
    }
    main.frmSourceTabs[tab].setVisible(selected);
}

// The boxes are usable whenever they show a list: they keep the one they show
// while it is asked for again, and only wait disabled for their first one.
void enableListsWhenFilled() {
    FrmMain& main = frmMain();
    const bool filled = main.cboGallery.ListCount() > 0;
    main.cboGallery.setEnabled(filled);
    main.cboCategory.setEnabled(filled);
}

}  // namespace

std::wstring getMemberSetting(const std::wstring& name, const std::wstring& defaultValue) {
    if (!gQXAPI) return defaultValue;
    return regGetSetting(kAppName, memberSection(gQXAPI->apiUsername), name, defaultValue);
}

void saveMemberSetting(const std::wstring& name, const std::wstring& value) {
    if (gQXAPI) regSaveSetting(kAppName, memberSection(gQXAPI->apiUsername), name, value);
}

void toggleSourceTabs(int16_t index) {
    runTrapped(L"toggleSourceTabs", kModule, [&] {
        FrmMain& main = frmMain();
        for (size_t tab = 0; tab < main.picSourceTabs.size(); ++tab) showTab(main, tab, static_cast<int>(tab) == index);
        // Another number still switches the pages above, but names no source.
        if (index >= 0 && index <= 2) activeSourceTab = index;
        noMatchingWallpapers = false;
        saveMemberSetting(L"ActiveTab", std::to_wstring(index));
    });
}

void updateCategoryList() {
    runTrapped(L"updateCategoryList", kModule, [] {
        if (selectedGallery.empty()) selectedGallery = kAllGalleries;
        if (selectedCategory.empty()) selectedCategory = kAllCategories;

        FrmMain& main = frmMain();
        main.cboGallery.Clear();
        main.cboCategory.Clear();
        main.cboGallery.AddItem(kAllGalleries);
        for (size_t i = 0; i < galleries.size(); ++i) main.cboGallery.AddItem(galleries[i].front());
        main.cboGallery.setText(selectedGallery);

        main.cboCategory.AddItem(kAllCategories);
        // A saved gallery that the service no longer lists keeps its name in the
        // box and offers no categories; the lists stay usable so that the member
        // can pick another.
        if (selectedGallery != kAllGalleries && galleries.contains(selectedGallery)) {
            const Galleries::Entry& gallery = galleries.item(selectedGallery);
            for (size_t i = 1; i < gallery.size(); ++i) main.cboCategory.AddItem(gallery[i]);
        }
        // A category that the listed gallery does not hold (saved with another
        // gallery, or no longer offered) is none: all of the gallery's.
        const bool galleryListed = selectedGallery == kAllGalleries || galleries.contains(selectedGallery);
        if (galleryListed && !existsInCombo(selectedCategory, main.cboCategory.hwnd()))
            selectedCategory = kAllCategories;
        main.cboCategory.setText(selectedCategory);
        main.cboGallery.setEnabled(true);
        main.cboCategory.setEnabled(true);
    });
}

void requestGalleries() {
    enableListsWhenFilled();
    TextArray keys, values;
    array_push(keys, L"withcategories");
    array_push(values, L"yes");
    // A request still under way is not dropped: this one waits its turn.
    gQXAPI->APISend(L"qx.getGalleries", keys, values);
}

void galleryRequestEnded() { enableListsWhenFilled(); }

}  // namespace vorlane::ui
