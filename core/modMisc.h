// Small helpers shared by the whole program: file and folder tests, query
// encoding, text-array operations, the combo-box search, the API reply header
// check and the user-name rule.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HWND__;

namespace vorlane {

using TextArray = std::vector<std::wstring>;

// True for an existing item that is not a folder; false for anything else,
// never an error.
bool fileExists(const std::wstring& path);

// True for an existing folder; false for anything else, never an error.
bool dirExists(const std::wstring& path);

// Encodes a query value: letters and digits stay, a blank becomes "+", every
// other character becomes "%" and the two hexadecimal digits of each of its
// bytes in the ANSI code page. Any length is encoded whole.
std::wstring URLEncode(const std::wstring& text);

// Appends value at the end of the array.
void array_push(TextArray& array, const std::wstring& value);

// With two elements or more: removes element 0 and returns it. With one or
// none: returns empty text and leaves the array alone.
std::wstring array_shift(TextArray& array);

// True when one of the combo box's list entries equals text exactly. No combo
// box is reported (91) and matches nothing.
bool existsInCombo(const std::wstring& text, HWND__* comboBox);

// Cuts the reply down to its body (everything after the first blank line; the
// header's lines end with CR LF, or all with LF alone) and answers whether its header carries the field
// "Response-From" (any letter case) with the value "QXAPI". A reply without a
// blank line is left as it is and answers false.
bool validateHTMLHeader(std::wstring& reply);

// True when every character is a letter A-Z or a-z, a digit, ".", "_" or "-".
bool isValidUsername(std::wstring_view name);

// True when every character is one a tag text may hold: a letter A-Z or a-z, a
// digit, "-", the wildcard "*", the "," between tags or a blank.
bool hasOnlyTagCharacters(std::wstring_view text);

// The countdown text for a number of seconds left: "H:MM:SS", led by "1 Day, "
// or "N Days, " from a day on (modMiscTime.cpp). An overdue (negative) count
// shows as "0:00:" and the count itself, as in "0:00:-05".
std::wstring formatTimeLeft(int32_t secondsLeft);

// Window and desktop helpers (modMiscDesktop.cpp).

// Makes the window topmost (or not) and shows it, without activating it.
void setAlwaysOnTop(HWND__* window, bool onTop);

// Screen height minus work-area height in pixels: the taskbar at the bottom or
// top edge, 0 when it stands at a side or is hidden. Reports and gives 0 on error.
int16_t getTaskbarHeight();

// Screen width divided by screen height, rounded to 5 decimals.
float getScreenAspectRatio();

// The arithmetic of the two measures: rounded half to even; the first raises
// Overflow (6) past the 16-bit range.
int16_t taskbarHeightOf(double screenHeight, double workAreaHeight);
float aspectRatioOf(double width, double height);

}  // namespace vorlane
