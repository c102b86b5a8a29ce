// The unzip driver: the engine's records, its callbacks and one extraction.
#include "update/modZip.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "update/AnsiText.h"
#include "update/CUnzip.h"
#include "update/InputBox.h"
#include "update/UpdateError.h"
#include "update/UpdateText.h"
#include "update/zip/UnzipRecords.h"

namespace vorlane::updater {

namespace {

// Name lists for the engine: none included or excluded means all members.
UnzipNameList includeList{};
UnzipNameList excludeList{};

// A text buffer from the engine: at most length bytes, up to the first zero.
std::string_view bufferText(const char* text, size_t length) {
    if (!text) return {};
    const void* zero = std::memchr(text, '\0', length);
    return {text, zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length};
}

void resetModuleState() {
    LastMessageText.clear();
    includeList.names[0] = nullptr;
    excludeList.names[0] = nullptr;
    ListingLineCount = 0;
    ListingText.clear();
    PrintText.clear();
    PasswordSkipped = 0;
}

UnzipCallbackRecord callbackRecord() {
    UnzipCallbackRecord callbacks{};
    callbacks.print = UnzipPrintCallback;
    callbacks.sound = nullptr;
    callbacks.replace = nullptr;  // files are overwritten without asking
    callbacks.password = UnzipPasswordCallback;
    callbacks.message = UnzipMessageCallback;
    callbacks.service = UnzipServiceCallback;
    return callbacks;
}

UnzipVersionRecord versionRecord() {
    UnzipVersionRecord version{};
    version.structLength = sizeof(UnzipVersionRecord);
    std::memset(version.releaseKind, ' ', sizeof version.releaseKind - 1);
    std::memset(version.buildDate, ' ', sizeof version.buildDate - 1);
    std::memset(version.inflateVersion, ' ', sizeof version.inflateVersion - 1);
    return version;
}

}  // namespace

int32_t UnzipArchive(const std::wstring& zipFileName, const std::wstring& extractDir) {
    CUnzip unzip;
    return unzip.Unzip(zipFileName, extractDir);
}

int32_t VBUnzip(const std::wstring& sZipFileName, const std::wstring& sExtractDir, int16_t ExtractNewer,
                int16_t SpaceToUnderScore, int16_t PromptOverwrite, int16_t MessageLevel, int16_t WriteToStdOut,
                int16_t TestZip, int16_t ExtractList, int16_t ExtractOnlyNewer, int16_t DisplayComment,
                int16_t HonorDirectories, int16_t OverWriteFiles, int16_t ConvertCRtoCRLF, int16_t Verbose,
                int16_t CaseSensitive, int16_t Privilege) {
    try {
        resetModuleState();
        const UnzipOptionRecord options{ExtractOnlyNewer, SpaceToUnderScore, PromptOverwrite, MessageLevel,
                                        WriteToStdOut,    TestZip,           ExtractList,     ExtractNewer,
                                        DisplayComment,   HonorDirectories,  OverWriteFiles,  ConvertCRtoCRLF,
                                        Verbose,          CaseSensitive,     Privilege,       sZipFileName.c_str(),
                                        sExtractDir.c_str()};
        UnzipCallbackRecord callbacks = callbackRecord();
        UnzipVersionRecord version = versionRecord();
        zipEngineVersion(&version);
        return zipEngineUnzip(0, &includeList, 0, &excludeList, &options, &callbacks);
    } catch (const UpdateError& error) {
        throw UpdateError(error.number, error.description, L"CodeModule::VBUnzip");
    } catch (const std::bad_alloc&) {
        raiseError(errnum::OutOfMemory, L"CodeModule::VBUnzip");
    }
}

int32_t UnzipPrintCallback(const char* text, uint32_t length) noexcept {
    try {
        std::wstring piece = fromAnsi(bufferText(text, length));
        if (!piece.empty() && piece.front() == L'\n') piece = L"\r\n";
        // Both grow by the piece: a copy of the whole text on each piece would
        // cost the square of what is printed.
        PrintText += piece;
        LastMessageText += piece;
    } catch (...) {
        // The engine must never see an error from here; the piece is lost.
    }
    return 0;
}

void UnzipMessageCallback(uint64_t size, uint64_t, int32_t, int32_t month, int32_t day, int32_t year, int32_t hour,
                          int32_t minute, char, const char* name, const char*, uint32_t, int32_t) noexcept {
    try {
        if (ListingLineCount == 0) ListingText = listingHeaderLine() + L"\r\n";
        const std::wstring memberName = fromAnsi(bufferText(name, 256));
        ListingText += listingMemberLine(size, month, day, year, hour, minute, memberName) + L"\r\n";
        if (ListingLineCount < std::numeric_limits<int16_t>::max()) ++ListingLineCount;
    } catch (...) {
        // As above: a line that cannot be built is left out.
    }
}

int32_t UnzipServiceCallback(const char* name, uint32_t length) noexcept {
    try {
        (void)fromAnsi(bufferText(name, length));
    } catch (...) {
    }
    return 0;
}

int16_t UnzipPasswordCallback(char* buffer, int32_t size, const char*, const char*) noexcept {
    try {
        if (PasswordSkipped == 1) return 1;
        const std::wstring answer = InputBox(L"Please Enter The Password!", kProgramTitle);
        if (answer.empty()) {
            PasswordSkipped = 1;
            return 1;
        }
        if (!buffer || size <= 0) return 1;
        std::memset(buffer, 0, static_cast<size_t>(size));
        // The buffer always ends with a zero: a longer answer is cut.
        const std::string bytes = toAnsi(answer);
        std::memcpy(buffer, bytes.data(), std::min(bytes.size(), static_cast<size_t>(size) - 1));
        return 0;
    } catch (...) {
        return 1;
    }
}

}  // namespace vorlane::updater
