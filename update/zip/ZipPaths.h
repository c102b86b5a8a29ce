// Member names as places in the target folder, name patterns, and the time
// stamps members carry. No platform calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::updater {

// Where a member goes below the target folder, with backslashes between the
// levels: "docs\readme.txt". Without honorDirectories only the last level is
// kept. Empty for a name that names the target folder itself ("./").
// Nothing for a name that would leave the target folder or that the file
// system would read differently: an absolute path, a drive or stream (":"), a
// ".." level, a level ending in "." or a blank, a device name (CON, NUL,
// COM1...), a level shaped like a short name ("PROGRA~1") or characters no
// file name may hold.
std::optional<std::wstring> memberTargetPath(std::wstring_view name, bool honorDirectories, bool spaceToUnderscore);

// Each level of a place, from the top: "data", "data\images",
// "data\images\pixel.bin" for "data\images\pixel.bin".
std::vector<std::wstring> placeLevels(const std::wstring& place);

// True when the name is one file's name, as it stands, in the folder it is
// put in: no folder parts, no drive, stream or device, no characters that no
// name may hold or that the file system drops from its end.
bool isPlainFileName(std::wstring_view name);

// "*" any run of characters, "?" any one; "/" and "\" match each other.
bool matchesPattern(std::wstring_view name, std::wstring_view pattern, bool caseSensitive);

// A name for the log, with the characters that would hide or cut it (control
// characters, NUL among them, and the ones that reorder text) written as
// "\x00" or "\u202e".
std::wstring visibleName(std::wstring_view name);
// The same for a name's bytes as stored, before they are decoded.
std::string visibleBytes(std::string_view name);

struct DosTimeStamp {
    int year, month, day, hour, minute, second;
};

DosTimeStamp decodeDosTime(uint16_t date, uint16_t time);

}  // namespace vorlane::updater
