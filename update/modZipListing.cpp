// The member listing's fixed columns (counted from 1): name 1-50, size 51-57,
// date 60-67, time 70-74.
#include <algorithm>

#include "update/modZip.h"

namespace vorlane::updater {

namespace {

constexpr size_t kLineWidth = 80;

void place(std::wstring& line, size_t column, std::wstring_view text) {
    line.replace(column - 1, text.size(), text);
}

std::wstring twoDigits(int value, wchar_t pad) {
    std::wstring digits = std::to_wstring(value);
    if (digits.size() < 2) digits.insert(0, 1, pad);
    return digits;
}

}  // namespace

std::wstring listingHeaderLine() {
    std::wstring line(kLineWidth, L' ');
    place(line, 1, L"Filename:");
    place(line, 53, L"Size");
    place(line, 62, L"Date");
    place(line, 71, L"Time");
    return line;
}

std::wstring listingMemberLine(uint64_t size, int month, int day, int year, int hour, int minute,
                               std::wstring_view name) {
    std::wstring line(kLineWidth, L' ');
    place(line, 1, name.substr(0, 50));
    std::wstring sizeText = L" " + std::to_wstring(size);
    if (sizeText.size() < 7) sizeText.insert(0, 7 - sizeText.size(), L' ');
    place(line, 51, std::wstring_view(sizeText).substr(sizeText.size() - 7));
    place(line, 60, twoDigits(month, L'0') + L"/");
    place(line, 63, twoDigits(day, L'0') + L"/");
    const std::wstring yearText = twoDigits(year, L'0');
    place(line, 66, std::wstring_view(yearText).substr(yearText.size() - 2));
    place(line, 70, twoDigits(hour, L' ') + L":");
    place(line, 73, twoDigits(minute, L'0'));
    return line;
}

}  // namespace vorlane::updater
