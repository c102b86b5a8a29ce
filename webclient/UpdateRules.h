// What the program accepts of an announced update: the address of its archive,
// the name the archive is kept under in the data folder, and the checksum its
// companion file publishes.
#pragma once

#include <string>
#include <string_view>

#include "core/ServiceHosts.h"

namespace vorlane {

// The archive's file name (the address's text after its last "/") when link is
// an address the program fetches updates from: it begins with
// "http://<update-download host>/vorlane/" or "http://<web host>/vorlane/dl/",
// ends in ".zip" (both exact, letter case included), its path never climbs
// out of that folder (no dot segment, written or escaped), and its file name is safe
// as a name in the data folder and as the update engine's whole parameter text.
// Empty when the address is refused.
std::wstring updateArchiveName(const std::wstring& link, const ServiceHosts& hosts);

// The checksum a companion file publishes, in small letters: its first word
// (blanks, blank lines and a byte-order mark before it skipped; it ends at a
// blank, a comma or the line's end). Empty unless that word is 32 hexadecimal
// digits: anything else is no checksum, whatever it holds.
std::wstring publishedChecksum(std::string_view fileContent);

// True when name is the one the update engine gives a file it moves aside
// while it replaces it: "<fileName>.<process>-<number>.old" (letter case aside).
bool isMovedAsideCopy(std::wstring_view name, std::wstring_view fileName);

}  // namespace vorlane
