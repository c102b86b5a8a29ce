// The main window's picture sources: the three source tabs, the gallery and
// category lists and the request that fills them; and the member's own settings
// section, where every choice is kept.
#pragma once

#include <cstdint>
#include <string>

namespace vorlane::ui {

// Makes the tab of that index (0 member, 1 tags, 2 gallery and category) the
// selected one and saves the choice.
void toggleSourceTabs(int16_t index);

// Refills the gallery and category lists from the gallery list of the last
// reply, showing the selected gallery and category.
void updateCategoryList();

// Asks the service for the gallery list. Lists filled before stay usable while
// it is asked for; lists still showing "Loading..." wait disabled for it.
void requestGalleries();

// A gallery request has ended, with the list or without it (failed, or answered
// with something else): lists filled before are usable. Lists still waiting for
// their first list wait on: the next change asks for it again.
void galleryRequestEnded();

// A setting of the member who is logged in (the section named by the API
// client's user name). Before the client exists nothing is read or written.
std::wstring getMemberSetting(const std::wstring& name, const std::wstring& defaultValue);
void saveMemberSetting(const std::wstring& name, const std::wstring& value);

}  // namespace vorlane::ui
