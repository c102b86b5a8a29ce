// Download speed: a 64 MB file from the service stand-in (served from memory)
// through CDownload, beside a plain blocking recv loop fetching the same file,
// in the same run. The best of a few rounds of each counts.
//
//   download_mbps        CDownload, request to Completed, file written
//   plain_download_mbps  blocking socket, request to close, bytes counted only
//   download_ratio       the first over the second
//
// MB/s counts 10^6 bytes a second. Needs the stand-in that tools/run-benches starts.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/support/MessagePump.h"
#include "tests/support/QuorvexService.h"
#include "tests/support/TestFiles.h"
#include "webclient/CDownload.h"

using namespace vorlane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int64_t kFileBytes = 64ll * 1024 * 1024;
constexpr int kRounds = 5;
constexpr double kMegabyte = 1e6;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The seconds CDownload takes to fetch url into destination.
double timeDownload(const std::wstring& url, const std::wstring& destination) {
    CDownload download;
    bool done = false;
    std::wstring failure;
    download.events.Completed = [&] { done = true; };
    download.events.Error = [&](int16_t number, const std::wstring& description) {
        failure = std::to_wstring(number) + L" " + description;
        done = true;
    };
    const Clock::time_point start = Clock::now();
    download.Download(url, destination);
    if (!test::pumpUntil([&] { return done; }, std::chrono::minutes(5)))
        throw std::runtime_error("the download did not end");
    const double seconds = secondsSince(start);
    if (!failure.empty()) throw std::runtime_error("the download failed: " + std::string(failure.begin(), failure.end()));
    return seconds;
}

// The seconds a plain blocking socket takes to fetch the same file; checks
// that the whole response came.
double timePlain(uint16_t port, const std::string& request) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const Clock::time_point start = Clock::now();
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        send(s, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
        closesocket(s);
        throw std::runtime_error("the plain request failed");
    }
    static char chunk[65536];
    int64_t received = 0;
    int n;
    while ((n = recv(s, chunk, sizeof chunk, 0)) > 0) received += n;
    const double seconds = secondsSince(start);
    closesocket(s);
    if (received < kFileBytes) throw std::runtime_error("the plain download came short");
    return seconds;
}

}  // namespace

int main() {
    try {
        WSADATA winsock;
        if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) throw std::runtime_error("no Winsock");
        test::QuorvexService service;
        test::TempDir folder;
        const std::string path = "/bench/blob/" + std::to_string(kFileBytes);
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + service.host() + "\r\n\r\n";
        const std::wstring url = L"http://" + service.address() + std::wstring(path.begin(), path.end());
        const std::wstring destination = folder.file(L"blob.bin");

        timePlain(service.port(), request);  // the service makes the file on first request
        double best = 1e9, bestPlain = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            best = std::min(best, timeDownload(url, destination));
            bestPlain = std::min(bestPlain, timePlain(service.port(), request));
        }
        WIN32_FILE_ATTRIBUTE_DATA written{};
        if (!GetFileAttributesExW(destination.c_str(), GetFileExInfoStandard, &written) ||
            (int64_t(written.nFileSizeHigh) << 32 | written.nFileSizeLow) != kFileBytes)
            throw std::runtime_error("the downloaded file has the wrong size");

        const double mbps = kFileBytes / kMegabyte / best;
        const double plainMbps = kFileBytes / kMegabyte / bestPlain;
        std::printf("download_mbps %.1f MB/s\n", mbps);
        std::printf("plain_download_mbps %.1f MB/s\n", plainMbps);
        std::printf("download_ratio %.2f x\n", mbps / plainMbps);
        WSACleanup();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "download_bench: %s\n", e.what());
        return 1;
    }
}
