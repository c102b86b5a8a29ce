// A program update against the test's own stand-in: the archive it announces,
// the requests for it, and the texts the member is shown on the way.
#pragma once

#include <string>
#include <vector>

#include "tests/webclient/ApiFixture.h"

namespace vorlane::test {

inline constexpr const char* kArchiveName = "Vorlane-1.0.113.zip";
inline constexpr const wchar_t* kArchiveFile = L"Vorlane-1.0.113.zip";

// The address the stand-in announces for its update (on the web host, under dl/).
std::wstring archiveLink(const std::wstring& serviceAddress);

// "GET <path> HTTP/1.0" lines of the update requests the service received.
std::vector<std::string> updateRequestLines(QuorvexService& service);
inline const std::string kArchiveRequest = std::string("GET /vorlane/dl/") + kArchiveName + " HTTP/1.0";
inline const std::string kChecksumRequest = std::string("GET /vorlane/dl/") + kArchiveName + ".md5 HTTP/1.0";

// The texts of the update's boxes and notices, with the service's own page.
std::wstring permissionText();
std::wstring refusedAddressText(const std::wstring& serviceAddress);
std::wstring autoUpdateStartingText();
std::wstring downloadedText();
std::wstring missingEngineText(const std::wstring& serviceAddress);
std::wstring corruptUpdateText(const std::wstring& serviceAddress);
std::wstring updateErrorText(const std::wstring& serviceAddress);
std::wstring engineDidNotStartText(const std::wstring& serviceAddress);

// The service's update as it reaches the program fetching the archive again:
// its checksum matches nothing, and the second archive download hangs.
void holdTheArchiveFetchedAgain(QuorvexService& service);

// Wallpaper queries that the service can answer with an update, automatic
// updates on, nothing forced.
void prepareForUpdate();

class Update : public ApiFixture {
protected:
    void SetUp() override;

    std::wstring link() const { return archiveLink(service.address()); }
    std::wstring archivePath() const;
    // Starts an update as the service does: its reply to a wallpaper query announces it.
    void announceUpdate(bool forced);
};

}  // namespace vorlane::test
