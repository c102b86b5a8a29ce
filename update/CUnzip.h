// The extraction options with their defaults, and one extraction under them.
// Flags are kept as 16-bit values, 1 for on and 0 for off.
#pragma once

#include <cstdint>
#include <string>

namespace vorlane::updater {

class CUnzip {
public:
    CUnzip() = default;

    bool ExtractNewer() const { return m_ExtractNewer == 1; }
    void setExtractNewer(bool bExtractNewer) { m_ExtractNewer = flag(bExtractNewer); }
    bool SpaceToUnderScore() const { return m_SpaceToUnderScore == 1; }
    void setSpaceToUnderScore(bool bConvert) { m_SpaceToUnderScore = flag(bConvert); }
    bool PromptOverwrite() const { return m_PromptOverwrite == 1; }
    void setPromptOverwrite(bool bPrompt) { m_PromptOverwrite = flag(bPrompt); }
    int32_t MessageLevel() const { return m_MessageLevel; }
    void setMessageLevel(int32_t iLevel) { m_MessageLevel = iLevel; }
    bool WriteToStdOut() const { return m_WriteToStdOut == 1; }
    void setWriteToStdOut(bool bWrite) { m_WriteToStdOut = flag(bWrite); }
    bool TestZip() const { return m_TestZip == 1; }
    void setTestZip(bool bTest) { m_TestZip = flag(bTest); }
    int32_t ExtractList() const { return m_ExtractList; }
    void setExtractList(int32_t zExType) { m_ExtractList = zExType; }
    bool ExtractOnlyNewer() const { return m_ExtractOnlyNewer == 1; }
    void setExtractOnlyNewer(bool bOnlyNewer) { m_ExtractOnlyNewer = flag(bOnlyNewer); }
    bool DisplayComment() const { return m_DisplayComment == 1; }
    void setDisplayComment(bool bDisplay) { m_DisplayComment = flag(bDisplay); }
    bool HonorDirectories() const { return m_HonorDirectories == 1; }
    void setHonorDirectories(bool bHonor) { m_HonorDirectories = flag(bHonor); }
    bool OverWriteFiles() const { return m_OverWriteFiles == 1; }
    void setOverWriteFiles(bool bOverWrite) { m_OverWriteFiles = flag(bOverWrite); }
    bool ConvertCRtoCRLF() const { return m_ConvertCRtoCRLF == 1; }
    void setConvertCRtoCRLF(bool bConvert) { m_ConvertCRtoCRLF = flag(bConvert); }
    bool Verbose() const { return m_Verbose == 1; }
    void setVerbose(bool bVerbose) { m_Verbose = flag(bVerbose); }
    bool CaseSensitive() const { return m_CaseSensitive == 1; }
    void setCaseSensitive(bool bCaseSensitive) { m_CaseSensitive = flag(bCaseSensitive); }
    int32_t Privilege() const { return m_Privilege; }
    void setPrivilege(int32_t zPriv) { m_Privilege = zPriv; }
    const std::wstring& ZipFileName() const { return m_ZipFileName; }
    void setZipFileName(std::wstring sZipFileName) { m_ZipFileName = std::move(sZipFileName); }
    const std::wstring& ExtractDir() const { return m_ExtractDir; }
    void setExtractDir(std::wstring sExtractDir) { m_ExtractDir = std::move(sExtractDir); }

    // Extracts the archive into the folder; an empty argument keeps the stored
    // value. Answers the engine's result code (0 for success). Errors
    // (Overflow for a 32-bit option outside the 16-bit range) are raised
    // with the source "CUnzip::Unzip".
    int32_t Unzip(const std::wstring& sZipFileName, const std::wstring& sExtractDir);

    // Everything the engine printed during the last extraction.
    std::wstring GetLastMessage() const;

private:
    static int16_t flag(bool value) { return value ? 1 : 0; }

    int16_t m_ExtractNewer = 0;
    int16_t m_SpaceToUnderScore = 0;
    int16_t m_PromptOverwrite = 0;
    int32_t m_MessageLevel = 2;
    int16_t m_WriteToStdOut = 0;
    int16_t m_TestZip = 0;
    int32_t m_ExtractList = 0;
    int16_t m_ExtractOnlyNewer = 0;
    int16_t m_DisplayComment = 0;
    int16_t m_HonorDirectories = 1;
    int16_t m_OverWriteFiles = 1;
    int16_t m_ConvertCRtoCRLF = 0;
    int16_t m_Verbose = 0;
    int16_t m_CaseSensitive = 1;
    int32_t m_Privilege = 0;
    std::wstring m_ZipFileName;
    std::wstring m_ExtractDir;
};

}  // namespace vorlane::updater
