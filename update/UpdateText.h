// The text work of the update run that needs no platform: the archive name
// from the command line, its extension test, the web addresses and the log's
// last line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorlane::updater {

// The program's own title, the caption of its message boxes.
inline constexpr wchar_t kProgramTitle[] = L"VorlaneUpdater";

// What follows the program's name on its command line, after the one blank
// that separates them, taken literally: quotes and further blanks stay.
std::wstring commandArguments(std::wstring_view commandLine);

// The text after the last "." (the whole text when there is none).
std::wstring lastDotPiece(std::wstring_view path);

// True when the last "."-piece is exactly "zip" (letter case counts).
bool isZipArchiveName(std::wstring_view path);


// The folder part of a file's path, without the trailing backslash.
std::wstring folderOf(std::wstring_view path);

// "http://www.quorvex.com/", or "http://<override>/" when the service is
// pointed elsewhere (as the main program allows).
std::wstring webRoot(std::wstring_view serviceOverride);

// The last line of a log that holds any text.
std::wstring lastLine(std::wstring_view text);

// The status lines after a failed extraction, from what the engine printed:
// whether the installation was put back as it was or which files were not
// ("Not restored: " lines), the files a run ended half way had moved aside
// that could not be put back ("Not put back: " lines), then the engine's last
// line.
std::vector<std::wstring> extractionFailureLines(bool restored, std::wstring_view printed);

}  // namespace vorlane::updater
