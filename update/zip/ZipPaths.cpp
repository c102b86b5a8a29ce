// Member names as places in the target folder, name patterns and time stamps.
#include "update/zip/ZipPaths.h"

#include <array>
#include <cwctype>
#include <vector>

namespace vorlane::updater {

namespace {

bool isSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

std::wstring upper(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) c = static_cast<wchar_t>(std::towupper(c));
    return result;
}

bool isDeviceName(std::wstring_view level) {
    // The device is named by the part before the first dot, blanks at its end
    // dropped: "nul.txt" and "NUL .txt" are NUL. The superscript digits count
    // as digits there.
    std::wstring stem = upper(level.substr(0, level.find(L'.')));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    static constexpr std::array<const wchar_t*, 6> kDevices = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices)
        if (stem == device) return true;
    const wchar_t digit = stem.size() == 4 ? stem[3] : L'0';
    const bool isDigit =
        (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    return isDigit && (stem.starts_with(L"COM") || stem.starts_with(L"LPT"));
}

// The form of the short names the file system gives long ones ("PROGRA~1",
// "LONG~NYX.TXT"): such a name may be another file's alias.
bool looksLikeShortName(std::wstring_view level) {
    const size_t dot = level.rfind(L'.');
    const std::wstring_view base = level.substr(0, dot);
    const std::wstring_view extension = dot == std::wstring_view::npos ? std::wstring_view() : level.substr(dot + 1);
    return base.find(L'~') != std::wstring_view::npos && base.size() <= 8 && extension.size() <= 3 &&
           base.find(L'.') == std::wstring_view::npos;
}

bool isSafeLevel(std::wstring_view level) { return isPlainFileName(level) && !looksLikeShortName(level); }

std::vector<std::wstring_view> levelsOf(std::wstring_view name) {
    std::vector<std::wstring_view> levels;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isSeparator(name[i])) continue;
        const std::wstring_view level = name.substr(start, i - start);
        if (!level.empty() && level != L".") levels.push_back(level);
        start = i + 1;
    }
    return levels;
}

}  // namespace

std::vector<std::wstring> placeLevels(const std::wstring& place) {
    std::vector<std::wstring> levels;
    if (place.empty()) return levels;
    for (size_t at = place.find(L'\\'); at != std::wstring::npos; at = place.find(L'\\', at + 1))
        levels.push_back(place.substr(0, at));
    levels.push_back(place);
    return levels;
}

bool isPlainFileName(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    if (name.back() == L'.' || name.back() == L' ') return false;
    for (wchar_t c : name)
        if (c < 0x20 || std::wstring_view(L"<>:\"|?*/\\").find(c) != std::wstring_view::npos) return false;
    return !isDeviceName(name);
}

std::optional<std::wstring> memberTargetPath(std::wstring_view name, bool honorDirectories, bool spaceToUnderscore) {
    if (!name.empty() && isSeparator(name.front())) return std::nullopt;  // absolute
    std::vector<std::wstring_view> levels = levelsOf(name);
    for (std::wstring_view level : levels)
        if (!isSafeLevel(level)) return std::nullopt;
    if (!honorDirectories && levels.size() > 1) levels.erase(levels.begin(), levels.end() - 1);
    std::wstring path;
    for (std::wstring_view level : levels) {
        if (!path.empty()) path += L'\\';
        path += level;
    }
    if (spaceToUnderscore)
        for (wchar_t& c : path)
            if (c == L' ') c = L'_';
    return path;
}

bool matchesPattern(std::wstring_view name, std::wstring_view pattern, bool caseSensitive) {
    auto same = [caseSensitive](wchar_t a, wchar_t b) {
        if (isSeparator(a) && isSeparator(b)) return true;
        return caseSensitive ? a == b : std::towlower(a) == std::towlower(b);
    };
    // Greedy with one back-track point: the last "*" seen.
    size_t n = 0, p = 0, starAt = std::wstring_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::wstring_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

std::wstring visibleName(std::wstring_view name) {
    auto hidden = [](wchar_t c) {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
               (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
    };
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring shown;
    shown.reserve(name.size());
    for (wchar_t c : name) {
        if (!hidden(c)) {
            shown += c;
        } else if (c <= 0xFF) {
            shown += {L'\\', L'x', kDigits[c >> 4], kDigits[c & 0xF]};
        } else {
            shown += {L'\\', L'u', kDigits[c >> 12], kDigits[(c >> 8) & 0xF], kDigits[(c >> 4) & 0xF], kDigits[c & 0xF]};
        }
    }
    return shown;
}

std::string visibleBytes(std::string_view name) {
    std::string shown;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else {
            static constexpr char kDigits[] = "0123456789abcdef";
            shown += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
        }
    }
    return shown;
}

DosTimeStamp decodeDosTime(uint16_t date, uint16_t time) {
    return {1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2};
}

}  // namespace vorlane::updater
