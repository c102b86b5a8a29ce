#include "ui/modGlobals.h"

#include "core/Globals.h"
#include "core/Trap.h"
#include "core/modMisc.h"
#include "ui/frmMain.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {
constexpr const wchar_t* kAllGalleries = L"All Galleries";
constexpr const wchar_t* kAllCategories = L"All Categories";
}  // namespace

void updateCategoryList() {
    runTrapped(L"updateCategoryList", L"modGlobals", [] {
        if (selectedGallery.empty()) selectedGallery = kAllGalleries;
        if (selectedCategory.empty()) selectedCategory = kAllCategories;

        FrmMain& main = frmMain();
        main.cboGallery.Clear();
        main.cboCategory.Clear();
        main.cboGallery.AddItem(kAllGalleries);
        for (size_t i = 0; i < galleries.size(); ++i) main.cboGallery.AddItem(galleries[i].front());
        main.cboGallery.setText(selectedGallery);

        main.cboCategory.AddItem(kAllCategories);
        if (selectedGallery != kAllGalleries) {
            const Galleries::Entry& gallery = galleries.item(selectedGallery);
            for (size_t i = 1; i < gallery.size(); ++i) main.cboCategory.AddItem(gallery[i]);
        }
        main.cboCategory.setText(selectedCategory);
        main.cboGallery.setEnabled(true);
        main.cboCategory.setEnabled(true);
    });
}

void requestGalleries() {
    FrmMain& main = frmMain();
    main.cboGallery.setEnabled(false);
    main.cboCategory.setEnabled(false);
    TextArray keys, values;
    array_push(keys, L"withcategories");
    array_push(values, L"yes");
    gQXAPI->APICloseSock();
    gQXAPI->APISend(L"qx.getGalleries", keys, values);
}

void toggleSourceTabs(int16_t) {}

}  // namespace vorlane::ui
