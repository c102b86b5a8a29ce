// The main window's source lists: the gallery and category lists and the
// request that fills them.
#pragma once

namespace vorlane::ui {

// Refills the gallery and category lists from the gallery list of the last
// reply, showing the selected gallery and category.
void updateCategoryList();

// Asks the service for the gallery list; the lists stay disabled until it arrives.
void requestGalleries();

}  // namespace vorlane::ui
