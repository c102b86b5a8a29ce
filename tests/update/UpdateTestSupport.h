// What the update engine's tests share: the fixture archives, the bytes of the
// large members, and the files a folder holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlane::test {

// The fixture archive of that name, as the program sees its path.
std::wstring zipFixture(const std::wstring& name);

// The content of the fixtures' pattern members (see make_zip_fixtures.py).
std::string patternBytes(size_t length, uint32_t seed);

// The content the fixtures give docs/readme.txt, and the UTF-8 named member.
inline constexpr char kReadme[] = "line one\nline two\r\nline three\n";
inline const std::wstring kUmlautName = L"gr\u00fc\u00dfe.txt";

// Every file and folder below the folder, as relative paths (folders end with
// a backslash), sorted.
std::vector<std::wstring> treeOf(const std::wstring& folder);

// The last write time of a file as the archives' stamp would give it.
bool hasLocalTime(const std::wstring& path, int year, int month, int day, int hour, int minute, int second);

// Sets a file's last write time this many seconds from now.
void setAge(const std::wstring& path, int64_t secondsFromNow);

// Makes name in folder a symbolic link to the folder pointsTo ("../outside",
// relative to folder), by the platform's call where it makes one, else as a
// program on the host would (Wine shows host links as reparse points that
// lead where they point). True once the link leads to a folder.
bool makeFolderLink(const std::wstring& folder, const std::wstring& name, const std::wstring& pointsTo);

// Makes name in folder a symbolic link of the host to pointsTo, which must
// exist; true once the link shows.
bool makeHostLink(const std::wstring& folder, const std::wstring& name, const std::wstring& pointsTo);

}  // namespace vorlane::test
