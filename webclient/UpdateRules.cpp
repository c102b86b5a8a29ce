#include "webclient/UpdateRules.h"

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

// The name becomes a path in the data folder and, unquoted, the update
// engine's command line: no folder parts, no device or stream syntax, no
// characters Windows refuses in names, no blanks.
bool isSafeArchiveName(const std::wstring& name) {
    if (name.size() <= kArchiveEnding.size()) return false;  // nothing before ".zip"
    if (name.find(L"..") != std::wstring::npos) return false;
    for (wchar_t c : name) {
        if (c <= L' ' || c == 0x7F) return false;
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    }
    return true;
}

}  // namespace

std::wstring updateArchiveName(const std::wstring& link, const ServiceHosts& hosts) {
    const bool fromDownloads = startsWith(link, hosts.downloads.root() + L"vorlane/");
    const bool fromWeb = startsWith(link, hosts.web.root() + L"vorlane/dl/");
    if (!(fromDownloads || fromWeb) || !endsWith(link, kArchiveEnding)) return L"";
    const std::wstring name = link.substr(link.rfind(L'/') + 1);
    return isSafeArchiveName(name) ? name : L"";
}

std::wstring publishedChecksum(std::string_view fileContent) {
    const size_t end = fileContent.find_first_of(",\r\n");
    return fromAnsi(fileContent.substr(0, end));
}

}  // namespace vorlane
