// The address, the kept name and the checksum of an announced update.
#include "webclient/UpdateRules.h"

#include <algorithm>

#include "core/Ansi.h"

namespace vorlane {

namespace {

constexpr std::wstring_view kArchiveEnding = L".zip";

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::wstring& text, std::wstring_view ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

wchar_t asciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c; }

bool equalsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return asciiUpper(x) == asciiUpper(y); });
}

// Windows opens a device instead of a file for these names, whatever follows
// the first dot ("NUL.zip", "com1.v2.zip") and with blanks before it; the
// superscript digits count as digits there.
bool isDeviceName(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (equalsIgnoringAsciiCase(stem, device)) return true;
    if (stem.size() != 4) return false;
    const std::wstring_view port = stem.substr(0, 3);
    const wchar_t digit = stem[3];
    const bool isDigit = (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    return isDigit && (equalsIgnoringAsciiCase(port, L"COM") || equalsIgnoringAsciiCase(port, L"LPT"));
}

bool isControlCharacter(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The name becomes a path in the data folder and, unquoted, the update
// engine's command line: no folder parts, no device or stream syntax, no
// characters Windows refuses in names or drops from their end, no blanks.
bool isSafeArchiveName(const std::wstring& name) {
    if (name.size() <= kArchiveEnding.size()) return false;  // nothing before ".zip"
    if (name.find(L"..") != std::wstring::npos) return false;
    if (name.back() == L'.' || name.back() == L' ') return false;
    for (wchar_t c : name) {
        if (c == L' ' || isControlCharacter(c)) return false;
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    }
    return !isDeviceName(name);
}

// The address's path after its prefix stays below it: no "." or ".."
// segment, written or escaped (nor any escaped dot, slash or backslash), no
// backslash a server takes for a slash, no query or fragment that would fetch
// something else than the name says.
bool staysBelowPrefix(std::wstring_view rest) {
    if (rest.find_first_of(L"\\?#") != std::wstring_view::npos) return false;
    for (size_t at = rest.find(L'%'); at != std::wstring_view::npos; at = rest.find(L'%', at + 1)) {
        const std::wstring_view code = rest.substr(at + 1, 2);
        for (std::wstring_view hidden : {L"2E", L"2F", L"5C"})
            if (equalsIgnoringAsciiCase(code, hidden)) return false;
    }
    for (size_t start = 0; start <= rest.size();) {
        const size_t end = std::min(rest.find(L'/', start), rest.size());
        const std::wstring_view segment = rest.substr(start, end - start);
        if (segment == L"." || segment == L"..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::wstring updateArchiveName(const std::wstring& link, const ServiceHosts& hosts) {
    const std::wstring downloadsPrefix = hosts.downloads.root() + L"vorlane/";
    const std::wstring webPrefix = hosts.web.root() + L"vorlane/dl/";
    const bool fromDownloads = startsWith(link, downloadsPrefix);
    const bool fromWeb = startsWith(link, webPrefix);
    if (!(fromDownloads || fromWeb) || !endsWith(link, kArchiveEnding)) return L"";
    const size_t prefixSize = (fromWeb ? webPrefix : downloadsPrefix).size();
    if (!staysBelowPrefix(std::wstring_view(link).substr(prefixSize))) return L"";
    const std::wstring name = link.substr(link.rfind(L'/') + 1);
    return isSafeArchiveName(name) ? name : L"";
}

bool isMovedAsideCopy(std::wstring_view name, std::wstring_view fileName) {
    if (name.size() <= fileName.size() || !equalsIgnoringAsciiCase(name.substr(0, fileName.size()), fileName)) return false;
    std::wstring_view rest = name.substr(fileName.size());
    if (!rest.starts_with(L'.') || rest.size() < 4 || !equalsIgnoringAsciiCase(rest.substr(rest.size() - 4), L".old")) return false;
    rest = rest.substr(1, rest.size() - 5);  // "<process>-<number>"
    const size_t dash = rest.find(L'-');
    auto allDigits = [](std::wstring_view digits) {
        return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    return dash != std::wstring_view::npos && allDigits(rest.substr(0, dash)) && allDigits(rest.substr(dash + 1));
}

std::wstring publishedChecksum(std::string_view fileContent) {
    // Checksum files come from many tools: with a byte-order mark, blank lines
    // or blanks before the digest, the archive's name after it ("<digest>
    // <name>"), the digits in either case. Only the digest itself counts, and
    // it must be all of its 32 digits: anything else is no checksum.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (fileContent.starts_with(kByteOrderMark)) fileContent.remove_prefix(kByteOrderMark.size());
    const size_t start = std::min(fileContent.find_first_not_of(" \t\r\n"), fileContent.size());
    std::string field(fileContent.substr(start, fileContent.find_first_of(", \t\r\n", start) - start));
    constexpr size_t kDigits = 32;
    const auto isHexDigit = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    if (field.size() != kDigits || !std::all_of(field.begin(), field.end(), isHexDigit)) return L"";
    // The digest computed here is written in small letters.
    std::transform(field.begin(), field.end(), field.begin(),
                   [](char c) { return c >= 'A' && c <= 'F' ? char(c - 'A' + 'a') : c; });
    return fromAnsi(field);
}

}  // namespace vorlane
