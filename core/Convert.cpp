// The program's number conversions: rounding to whole numbers, and numbers to and from text.
#include "core/Convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/RuntimeError.h"

namespace vorlane {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == 0x00A0; }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view trimBlanks(std::wstring_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

template <class Int>
Int toWhole(double value) {
    if (std::isnan(value)) raiseError(errnum::Overflow);
    const double rounded = roundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        raiseError(errnum::Overflow);
    return static_cast<Int>(rounded);
}

// Copies the digits of text into out (as plain ASCII with '.' and 'e'),
// checking the grammar on the way.
bool normalise(std::wstring_view text, const NumberFormat& format, std::string& out) {
    size_t i = 0;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) out += static_cast<char>(text[i++]);

    size_t mantissaDigits = 0;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            out += static_cast<char>(text[i]);
            ++mantissaDigits;
        } else if (text[i] == format.groupSeparator && mantissaDigits > 0 &&
                   format.groupSeparator != format.decimalSeparator) {
            continue;  // "1,000" is a thousand, as the user writes it
        } else {
            break;
        }
    }
    if (i < text.size() && text[i] == format.decimalSeparator) {
        out += '.';
        for (++i; i < text.size() && isDigit(text[i]); ++i) {
            out += static_cast<char>(text[i]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return false;

    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        out += 'e';
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) out += static_cast<char>(text[i++]);
        size_t exponentDigits = 0;
        for (; i < text.size() && isDigit(text[i]); ++i, ++exponentDigits) out += static_cast<char>(text[i]);
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

std::wstring withSeparator(const char* ascii, wchar_t decimalSeparator) {
    std::wstring text;
    for (const char* p = ascii; *p; ++p) text += (*p == '.') ? decimalSeparator : static_cast<wchar_t>(*p);
    return text;
}

}  // namespace

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) return floor + 1.0;
    if (fraction < 0.5) return floor;
    return (std::fmod(floor, 2.0) == 0.0) ? floor : floor + 1.0;
}

int16_t toInt16(double value) { return toWhole<int16_t>(value); }
int32_t toInt32(double value) { return toWhole<int32_t>(value); }

std::optional<double> parseNumber(std::wstring_view text, const NumberFormat& format) {
    text = trimBlanks(text);
    std::string ascii;
    if (text.empty() || !normalise(text, format, ascii)) return std::nullopt;

    const char* first = ascii.data();
    if (*first == '+') ++first;  // from_chars takes a minus sign only
    double value = 0;
    const auto [end, ec] = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large for a double is no
        // number the program can hold, so the numeric test and the conversion
        // refuse it alike rather than one saying yes and the other failing.
        const double nearest = std::strtod(ascii.c_str(), nullptr);
        if (!std::isfinite(nearest)) return std::nullopt;
        return nearest;
    }
    if (ec != std::errc() || end != ascii.data() + ascii.size()) return std::nullopt;
    return value;
}

bool isNumeric(std::wstring_view text, const NumberFormat& format) { return parseNumber(text, format).has_value(); }

double toDouble(std::wstring_view text, const NumberFormat& format) {
    const auto value = parseNumber(text, format);
    if (!value) raiseError(errnum::TypeMismatch);
    return *value;
}

int16_t toInt16(std::wstring_view text, const NumberFormat& format) { return toInt16(toDouble(text, format)); }
int32_t toInt32(std::wstring_view text, const NumberFormat& format) { return toInt32(toDouble(text, format)); }

std::wstring numberText(double value, const NumberFormat& format) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return withSeparator(buffer, format.decimalSeparator);
}

std::wstring numberText(float value, const NumberFormat& format) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    return withSeparator(buffer, format.decimalSeparator);
}

std::wstring numberText(int32_t value) { return std::to_wstring(value); }

}  // namespace vorlane
