// A modal box that asks for one line of text: a prompt, a text field, OK and
// Cancel.
#pragma once

#include <string>

namespace vorlane::updater {

// The window class of the box, for whoever has to find it.
inline constexpr wchar_t kInputBoxClass[] = L"VorlaneUpdaterInputBox";
constexpr int kInputBoxTextId = 100;

// Shows the box over this thread's active window, which is disabled meanwhile,
// and answers the text entered; an empty text when the box is cancelled or
// closed.
std::wstring InputBox(const std::wstring& prompt, const std::wstring& title);

}  // namespace vorlane::updater
