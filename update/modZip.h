// The unzip driver: turns the options into the engine's records, registers the
// routines the engine calls back, runs one extraction and keeps what the
// engine reported until the next one starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlane::updater {

// What the last extraction reported; reset when the next one starts.
inline std::wstring PrintText;        // all text the engine printed
inline std::wstring LastMessageText;  // PrintText as of the last print
inline std::wstring ListingText;      // the member listing: a header line, then a line per member
inline int16_t ListingLineCount = 0;  // members listed so far (0: the header line is due)
inline int16_t PasswordSkipped = 0;   // 1 once the member has declined to give a password

// Extracts the archive into the folder with the default options and answers
// the engine's result code (0 for success). Errors are raised with the source
// "CUnzip::Unzip".
int32_t UnzipArchive(const std::wstring& zipFileName, const std::wstring& extractDir);

// One extraction with the given option values; answers the engine's result.
// Errors are raised with the source "CodeModule::VBUnzip".
int32_t VBUnzip(const std::wstring& sZipFileName, const std::wstring& sExtractDir, int16_t ExtractNewer,
                int16_t SpaceToUnderScore, int16_t PromptOverwrite, int16_t MessageLevel, int16_t WriteToStdOut,
                int16_t TestZip, int16_t ExtractList, int16_t ExtractOnlyNewer, int16_t DisplayComment,
                int16_t HonorDirectories, int16_t OverWriteFiles, int16_t ConvertCRtoCRLF, int16_t Verbose,
                int16_t CaseSensitive, int16_t Privilege);

// The routines the engine calls back. None of them ever throws.
int32_t UnzipPrintCallback(const char* text, uint32_t length) noexcept;
void UnzipMessageCallback(uint64_t size, uint64_t packedSize, int32_t savedPercent, int32_t month, int32_t day,
                          int32_t year, int32_t hour, int32_t minute, char encryptedMark, const char* name,
                          const char* method, uint32_t crc, int32_t encrypted) noexcept;
int32_t UnzipServiceCallback(const char* name, uint32_t length) noexcept;
int16_t UnzipPasswordCallback(char* buffer, int32_t size, const char* prompt, const char* memberName) noexcept;

// The listing's lines, 80 characters each.
std::wstring listingHeaderLine();
std::wstring listingMemberLine(uint64_t size, int month, int day, int year, int hour, int minute,
                               std::wstring_view name);

}  // namespace vorlane::updater
