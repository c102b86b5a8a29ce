// The update run's text work: the archive name, its extension, the web addresses and the log's last line.
#include "update/UpdateText.h"

#include <algorithm>

namespace vorlane::updater {

std::wstring commandArguments(std::wstring_view commandLine) {
    size_t at = 0;
    if (!commandLine.empty() && commandLine.front() == L'"') {
        const size_t closing = commandLine.find(L'"', 1);
        at = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
    } else {
        at = std::min(commandLine.find_first_of(L" \t"), commandLine.size());
    }
    if (at < commandLine.size() && (commandLine[at] == L' ' || commandLine[at] == L'\t')) ++at;
    return std::wstring(commandLine.substr(at));
}

std::wstring lastDotPiece(std::wstring_view path) {
    const size_t dot = path.rfind(L'.');
    return std::wstring(dot == std::wstring_view::npos ? path : path.substr(dot + 1));
}

bool isZipArchiveName(std::wstring_view path) { return lastDotPiece(path) == L"zip"; }

std::wstring folderOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash));
}

std::wstring webRoot(std::wstring_view serviceOverride) {
    return L"http://" + std::wstring(serviceOverride.empty() ? L"www.quorvex.com" : serviceOverride) + L"/";
}

std::wstring lastLine(std::wstring_view text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == L'\r' || text[end - 1] == L'\n')) --end;
    const size_t start = text.find_last_of(L"\r\n", end == 0 ? 0 : end - 1);
    return std::wstring(start == std::wstring_view::npos || end == 0 ? text.substr(0, end)
                                                                     : text.substr(start + 1, end - start - 1));
}

std::vector<std::wstring> extractionFailureLines(bool restored, std::wstring_view printed) {
    std::vector<std::wstring> lines{restored ? L"Archive extraction failed, aborting! No files were changed."
                                             : L"Archive extraction failed, aborting! Some files could not be restored:"};
    // What is not as it should be, this run's or left by a run ended half way.
    constexpr std::wstring_view kNotRestored = L"Not restored: ";
    constexpr std::wstring_view kNotPutBack = L"Not put back: ";
    for (size_t start = 0; start < printed.size();) {
        const size_t end = std::min(printed.find(L"\r\n", start), printed.size());
        const std::wstring_view line = printed.substr(start, end - start);
        if (line.starts_with(kNotRestored) || line.starts_with(kNotPutBack)) lines.emplace_back(line);
        start = end + 2;
    }
    lines.push_back(lastLine(printed));
    return lines;
}

}  // namespace vorlane::updater
