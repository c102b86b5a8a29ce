// The extraction options' defaults and one extraction under them.
#include "update/CUnzip.h"

#include <limits>

#include "update/UpdateError.h"
#include "update/modZip.h"

namespace vorlane::updater {

namespace {

int16_t toInt16(int32_t value) {
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        raiseError(errnum::Overflow, L"CUnzip::Unzip");
    return static_cast<int16_t>(value);
}

}  // namespace

int32_t CUnzip::Unzip(const std::wstring& sZipFileName, const std::wstring& sExtractDir) {
    try {
        if (!sZipFileName.empty()) m_ZipFileName = sZipFileName;
        if (!sExtractDir.empty()) m_ExtractDir = sExtractDir;
        const int16_t privilege = toInt16(m_Privilege);
        const int16_t extractList = toInt16(m_ExtractList);
        const int16_t messageLevel = toInt16(m_MessageLevel);
        return VBUnzip(m_ZipFileName, m_ExtractDir, m_ExtractNewer, m_SpaceToUnderScore, m_PromptOverwrite,
                       messageLevel, m_WriteToStdOut, m_TestZip, extractList, m_ExtractOnlyNewer, m_DisplayComment,
                       m_HonorDirectories, m_OverWriteFiles, m_ConvertCRtoCRLF, m_Verbose, m_CaseSensitive,
                       privilege);
    } catch (const UpdateError& error) {
        throw UpdateError(error.number, error.description, L"CUnzip::Unzip");
    } catch (const std::bad_alloc&) {
        raiseError(errnum::OutOfMemory, L"CUnzip::Unzip");
    }
}

std::wstring CUnzip::GetLastMessage() const { return LastMessageText; }

}  // namespace vorlane::updater
