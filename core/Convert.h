// Number conversions with the semantics the program relies on: whole-number
// conversions round halves to even and raise Overflow (6) out of range; text
// conversions accept what the user's locale writes and raise Type mismatch (13)
// on anything else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane {

struct NumberFormat {
    wchar_t decimalSeparator = L'.';
    wchar_t groupSeparator = L',';  // the decimal separator here: no digit groups
};

// Numbers as the service's replies and the program's own records write them,
// whatever the user's locale: a point before any fraction, no digit groups.
inline constexpr NumberFormat kWireNumberFormat{L'.', L'.'};

// The user's decimal and digit-group separators (read once, from the locale).
const NumberFormat& userNumberFormat();
// Takes another format as the user's for the rest of the run (a test plays a
// user's locale with it).
void useNumberFormat(const NumberFormat& format);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

int16_t toInt16(double value);  // raises 6 out of range or for NaN
int32_t toInt32(double value);  // raises 6 out of range or for NaN

// Parses a number as the user would type it: surrounding blanks, an optional
// sign, digits with optional group separators, the decimal separator and an
// optional exponent. Nothing else is accepted, nor a number too large for a
// double ("1e400"); one too small to tell from zero is 0.
std::optional<double> parseNumber(std::wstring_view text, const NumberFormat& format);

bool isNumeric(std::wstring_view text, const NumberFormat& format = userNumberFormat());

// Text to number: raises 13 when the text is not a number.
double toDouble(std::wstring_view text, const NumberFormat& format = userNumberFormat());
int16_t toInt16(std::wstring_view text, const NumberFormat& format = userNumberFormat());
int32_t toInt32(std::wstring_view text, const NumberFormat& format = userNumberFormat());

// Number to text the way the program shows and sends numbers: the shortest
// form up to 15 significant digits (7 for single precision), no trailing zeros,
// the user's decimal separator.
std::wstring numberText(double value, const NumberFormat& format = userNumberFormat());
std::wstring numberText(float value, const NumberFormat& format = userNumberFormat());
std::wstring numberText(int32_t value);

}  // namespace vorlane
