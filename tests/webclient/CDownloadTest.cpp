// The downloader against the service stand-in on loopback: the request it
// sends, what lands in the file, the order of its events, redirects, broken
// connections and callers that cancel from inside an event.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ErrorCapture.h"
#include "tests/support/MessagePump.h"
#include "tests/support/QuorvexService.h"
#include "tests/support/TestFiles.h"
#include "webclient/CDownload.h"
#include "webclient/DeadlineTimer.h"
#include "webclient/Md5.h"
#include "webclient/modMD5.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr const char* kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
    "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n";
constexpr const char* kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n";

// The body of the stand-in's /bench/blob/<size>: 64 KiB made of the SHA-256
// digests of the numbers 0 to 2047 (4 bytes, big-endian), repeated and cut.
std::string blobBytes(size_t size) {
    static const std::string block = [] {
        BCRYPT_ALG_HANDLE sha256 = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            throw std::runtime_error("no SHA-256");
        std::string bytes;
        for (uint32_t i = 0; i < 2048; ++i) {
            uint8_t number[4] = {uint8_t(i >> 24), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)};
            uint8_t digest[32];
            if (!BCRYPT_SUCCESS(BCryptHash(sha256, nullptr, 0, number, sizeof number, digest, sizeof digest)))
                throw std::runtime_error("SHA-256 failed");
            bytes.append(reinterpret_cast<const char*>(digest), sizeof digest);
        }
        BCryptCloseAlgorithmProvider(sha256, 0);
        return bytes;
    }();
    std::string bytes;
    bytes.reserve(size);
    while (bytes.size() < size) bytes.append(block, 0, std::min(block.size(), size - bytes.size()));
    return bytes;
}

// Query text for a fault parameter: every byte but letters and digits escaped.
std::string escaped(const std::string& text) {
    std::string result;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            result += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            result += hex;
        }
    }
    return result;
}

bool deletable(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }
bool holdsControl(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}
bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A socket bound to a free port on 127.0.0.1, held so that nobody else takes
// the port. Nothing listens there: a connect is refused.
class RefusingPort {
public:
    RefusingPort() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        address_.sin_family = AF_INET;
        address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address_;
        if (bind(socket_, reinterpret_cast<sockaddr*>(&address_), length) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address_), &length) != 0)
            throw std::runtime_error("no free port");
    }
    ~RefusingPort() {
        closesocket(socket_);
        WSACleanup();
    }
    uint16_t port() const { return ntohs(address_.sin_port); }

protected:
    SOCKET socket_ = INVALID_SOCKET;
    sockaddr_in address_{};
};

// A port whose listener's queue is full and never accepted: the system drops
// every further attempt to connect, which then stays unanswered.
class StalledPort : public RefusingPort {
public:
    StalledPort() {
        if (listen(socket_, 0) != 0) throw std::runtime_error("no listener");
        for (SOCKET& filler : fillers_) {
            filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<sockaddr*>(&address_), sizeof address_);
        }
        Sleep(200);  // the fillers' handshakes are done, or dropped
    }
    ~StalledPort() {
        for (SOCKET filler : fillers_) closesocket(filler);
    }

private:
    SOCKET fillers_[4] = {INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET};
};

// One event of the downloader, with what it carried and the FileSize property
// as the handler saw it.
struct Event {
    std::wstring name;
    int64_t value = 0;  // FileSize, bytesTotal or Number
    std::wstring text;  // Header or Description
    int32_t fileSizeProperty = 0;
};

class DownloadTest : public ::testing::Test {
protected:
    DownloadTest() { record(download, events); }

    static void record(CDownload& target, std::vector<Event>& into) {
        target.events.Starting = [&](int32_t size, const std::wstring& header) {
            into.push_back({L"Starting", size, header, target.FileSize()});
        };
        target.events.DataArrival = [&](int32_t bytes) {
            into.push_back({L"DataArrival", bytes, L"", target.FileSize()});
        };
        target.events.Error = [&](int16_t number, const std::wstring& description) {
            into.push_back({L"Error", number, description, target.FileSize()});
        };
        target.events.Completed = [&] { into.push_back({L"Completed", 0, L"", target.FileSize()}); };
    }

    static bool ended(const std::vector<Event>& list) {
        return !list.empty() && (list.back().name == L"Completed" || list.back().name == L"Error");
    }

    std::wstring address(const std::wstring& path) const { return L"http://" + service.address() + path; }

    // Downloads address into the test's file and runs messages until it ended.
    void fetch(const std::wstring& url, std::chrono::milliseconds limit = 20s) {
        download.Download(url, destination);
        ASSERT_TRUE(pumpUntil([&] { return ended(events); }, limit)) << "the download never ended";
    }

    // The events by name, a run of DataArrival written once.
    std::wstring shape() const {
        std::wstring result;
        for (size_t i = 0; i < events.size(); ++i) {
            if (i > 0 && events[i].name == L"DataArrival" && events[i - 1].name == L"DataArrival") continue;
            result += (result.empty() ? L"" : L" ") + events[i].name;
        }
        return result;
    }

    int64_t bodyBytes() const {
        int64_t total = 0;
        for (const Event& e : events)
            if (e.name == L"DataArrival") total += e.value;
        return total;
    }

    // The request head the downloader must send, for a host other than the stand-in's when given.
    std::string headOf(const std::string& requestLine, std::string host = "") const {
        if (host.empty()) host = service.host();
        return requestLine + "\r\n" + kAccept + "Referer: " + host + "\r\n" + kUserAgent + "Host: " + host +
               "\r\n\r\n";
    }

    // Fetches url (a 10-byte blob on any host) with the stand-in as the proxy;
    // answers the one request head it received.
    std::string headThroughProxy(int32_t accessType, const std::wstring& url) {
        download.Proxy(L" 127.0.0.1 ");
        download.ProxyPort(service.port());
        download.AccessType(accessType);
        fetch(url);
        EXPECT_EQ(readFile(destination), blobBytes(10));
        const auto log = service.log();
        EXPECT_EQ(log.size(), 1u);
        return log.empty() ? "" : log[0].head;
    }

    QuorvexService service;
    TempDir folder;
    const std::wstring destination = folder.file(L"download.bin");
    CDownload download;
    std::vector<Event> events;
};

}  // namespace

// --- Address parts and header lines ---------------------------------------------

TEST(DownloadAddress, HostIsTheTextBeforeThePathPortIncluded) {
    EXPECT_EQ(CDownload::GetHost(L"http://pics.example/a/b.jpg"), L"pics.example");
    EXPECT_EQ(CDownload::GetHost(L"  http://pics.example:8080/a.jpg "), L"pics.example:8080");
    EXPECT_EQ(CDownload::GetHost(L"pics.example/a.jpg"), L"pics.example");
    EXPECT_EQ(CDownload::GetHost(L"http://pics.example"), L"pics.example");
}

TEST(DownloadAddress, PathIsSlashWhenMissingAndTheWholeAddressForAccessTypeOne) {
    CDownload download;
    EXPECT_EQ(download.GetPath(L"http://pics.example/a/b.jpg?x=1"), L"/a/b.jpg?x=1");
    EXPECT_EQ(download.GetPath(L"http://pics.example:81"), L"/");
    EXPECT_EQ(download.GetPath(L"pics.example"), L"/");
    download.AccessType(2);
    EXPECT_EQ(download.GetPath(L"http://pics.example/a.jpg"), L"/a.jpg");
    download.AccessType(1);
    EXPECT_EQ(download.GetPath(L"http://pics.example/a.jpg"), L"http://pics.example/a.jpg");
}

TEST(DownloadAddress, HeaderValueComesOnlyFromALineOfThatName) {
    const std::wstring header =
        L"HTTP/1.0 200 OK\r\n"
        L"X-Original-Location: http://elsewhere.example/\r\n"
        L"X-Note: Content-Length: 999\r\n"
        L"content-length:   1234  \r\n"
        L"Location: http://first.example/\r\n"
        L"LOCATION: http://second.example/\r\n"
        L"\r\n";
    EXPECT_EQ(CDownload::GetHeaderValue(header, L"Location"), L"http://first.example/");
    EXPECT_EQ(CDownload::GetHeaderValue(header, L"Content-Length"), L"1234");
    EXPECT_EQ(CDownload::GetHeaderValue(header, L"Server"), L"");
    EXPECT_EQ(CDownload::GetHeaderValue(header, L"Note"), L"");
    EXPECT_EQ(CDownload::GetHeaderValue(L"", L"Location"), L"");
}

// --- The request ------------------------------------------------------------------

TEST_F(DownloadTest, RequestHeadIsExactlyTheFiveLinesAndABlankLine) {
    fetch(address(L"/bench/blob/10"));
    const auto log = service.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].head, headOf("GET /bench/blob/10 HTTP/1.0"));
}

TEST_F(DownloadTest, AddressWithoutPathAsksForTheRoot) {
    fetch(address(L""));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    const auto log = service.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].head, headOf("GET / HTTP/1.0"));
}

TEST_F(DownloadTest, AccessTypeOneSendsTheWholeAddressToTheProxy) {
    EXPECT_EQ(headThroughProxy(1, L"http://wallpapers.example:8080/bench/blob/10"),
              headOf("GET http://wallpapers.example:8080/bench/blob/10 HTTP/1.0", "wallpapers.example:8080"));
}

TEST_F(DownloadTest, OtherAccessTypesSendOnlyThePathToTheProxy) {
    EXPECT_EQ(headThroughProxy(2, L"http://wallpapers.example/bench/blob/10"),
              headOf("GET /bench/blob/10 HTTP/1.0", "wallpapers.example"));
}

// --- Responses --------------------------------------------------------------------

TEST_F(DownloadTest, BodyWithLengthLandsInTheFileAndFileSizeFollowsTheTransfer) {
    fetch(address(L"/bench/blob/300000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    const Event& starting = events.front();
    EXPECT_EQ(starting.value, 300000);
    EXPECT_EQ(starting.fileSizeProperty, 300000);
    EXPECT_EQ(starting.text.substr(0, 17), L"HTTP/1.0 200 OK\r\n");
    EXPECT_NE(starting.text.find(L"\r\nContent-Length: 300000\r\n"), std::wstring::npos);
    EXPECT_EQ(starting.text.substr(starting.text.size() - 4), L"\r\n\r\n");
    EXPECT_EQ(bodyBytes(), 300000);
    EXPECT_EQ(events.back().fileSizeProperty, 0);  // back to 0 before Completed
    EXPECT_EQ(download.FileSize(), 0);
    EXPECT_EQ(readFile(destination), blobBytes(300000));
    EXPECT_TRUE(deletable(destination)) << "the file was left open";
}

TEST_F(DownloadTest, AnEmptyBodyCompletesWithoutAnnouncingData) {
    // Header and body can arrive apart; neither an empty body nor a header on
    // its own is data (its owner would read a DataArrival as a size-less file).
    service.fault("trickle", "&scope=dl&count=2&limit=1000&delay=0");
    fetch(address(L"/bench/blob/0"));
    EXPECT_EQ(shape(), L"Starting Completed");
    EXPECT_EQ(readFile(destination), "");
    events.clear();
    fetch(address(L"/bench/blob/20"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    for (const Event& e : events) EXPECT_FALSE(e.name == L"DataArrival" && e.value == 0);
}

TEST_F(DownloadTest, BodyWithoutLengthGivesFileSizeZero) {
    service.fault("no_length", "&scope=dl");
    fetch(address(L"/bench/blob/5000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(events.front().value, 0);
    EXPECT_EQ(events.front().text.find(L"Content-Length"), std::wstring::npos);
    EXPECT_EQ(bodyBytes(), 5000);
    EXPECT_EQ(readFile(destination), blobBytes(5000));
}

TEST_F(DownloadTest, HeaderAndBodyInOnePieceWriteOnlyTheBody) {
    service.fault("raw", "&scope=dl&data=" + escaped("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"));
    fetch(address(L"/bench/blob/10"));
    ASSERT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(events[0].value, 5);
    EXPECT_EQ(events[0].text, L"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(events[1].value, 5);
    EXPECT_EQ(readFile(destination), "hello");
}

TEST_F(DownloadTest, HeaderEndSplitOverPiecesIsFound) {
    // Every byte of the header comes in a piece of its own.
    service.fault("trickle", "&scope=dl&limit=400&delay=0.001");
    fetch(address(L"/bench/blob/2000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(events.front().value, 2000);
    EXPECT_EQ(bodyBytes(), 2000);
    EXPECT_EQ(readFile(destination), blobBytes(2000));
}

TEST_F(DownloadTest, NamesInsideOtherHeaderLinesAreNotTaken) {
    const std::string response =
        "HTTP/1.0 200 OK\r\nX-Original-Location: http://127.0.0.1:1/elsewhere\r\n"
        "X-Note: Content-Length: 999\r\nContent-Length: 4\r\n\r\nbody";
    service.fault("raw", "&scope=dl&data=" + escaped(response));
    fetch(address(L"/bench/blob/10"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(events.front().value, 4);
    EXPECT_EQ(readFile(destination), "body");
    EXPECT_EQ(service.log().size(), 1u);
}

// --- Redirects --------------------------------------------------------------------

TEST_F(DownloadTest, AbsoluteRedirectIsFollowedWithoutWritingItsBody) {
    service.fault("redirect", "&scope=dl");
    fetch(address(L"/bench/blob/1000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(events.front().text.substr(0, 12), L"HTTP/1.0 200");  // not the redirect's header
    EXPECT_EQ(readFile(destination), blobBytes(1000));
    const auto log = service.log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].connection, log[1].connection);
    EXPECT_EQ(log[1].head, headOf("GET /bench/blob/1000 HTTP/1.0"));
}

TEST_F(DownloadTest, RelativeRedirectsAreResolvedAgainstTheCurrentAddress) {
    service.fault("redirect", "&scope=dl&to=2000");
    service.fault("redirect_relative", "&scope=dl&to=/bench/blob/3000");
    fetch(address(L"/bench/blob/1000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(readFile(destination), blobBytes(3000));
    const auto log = service.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].head, headOf("GET /bench/blob/2000 HTTP/1.0"));
    EXPECT_EQ(log[2].head, headOf("GET /bench/blob/3000 HTTP/1.0"));
}

TEST_F(DownloadTest, DisabledRedirectionEndsARedirectInErrorWithoutAFile) {
    service.fault("redirect", "&scope=dl");
    download.DisableRedirection(true);
    fetch(address(L"/bench/blob/1000"));
    ASSERT_EQ(shape(), L"Error");
    EXPECT_EQ(events[0].value, downloadError::HttpStatus);
    EXPECT_NE(events[0].text.find(L"302"), std::wstring::npos);
    EXPECT_FALSE(exists(destination));
    EXPECT_EQ(service.log().size(), 1u);
}

TEST_F(DownloadTest, RedirectLoopEndsInErrorAfterTenRedirects) {
    service.fault("redirect_loop", "&scope=dl");
    fetch(address(L"/bench/blob/1000"));
    ASSERT_EQ(shape(), L"Error");
    EXPECT_EQ(events[0].value, downloadError::TooManyRedirects);
    EXPECT_FALSE(events[0].text.empty());
    EXPECT_EQ(events[0].fileSizeProperty, 0);
    EXPECT_EQ(service.log().size(), 1u + CDownload::kMostRedirects);
    EXPECT_FALSE(exists(destination));

    // The count starts afresh with the next download.
    service.reset();
    events.clear();
    for (int i = 0; i < CDownload::kMostRedirects; ++i) service.fault("redirect", "&scope=dl");
    fetch(address(L"/bench/blob/1000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(readFile(destination), blobBytes(1000));
}

// --- Failures ---------------------------------------------------------------------

TEST_F(DownloadTest, ResetInMidBodyEndsInErrorWithTheFileGone) {
    service.fault("reset", "&scope=dl&after=100000");
    bool goneAtError = false;
    download.events.Error = [&](int16_t number, const std::wstring& description) {
        events.push_back({L"Error", number, description, download.FileSize()});
        goneAtError = !exists(destination);
    };
    fetch(address(L"/bench/blob/1000000"));
    ASSERT_EQ(events.back().name, L"Error");
    // Winsock may tell the reset, or (as Wine does) only an early close.
    EXPECT_TRUE(events.back().value == WSAECONNRESET || events.back().value == downloadError::IncompleteBody)
        << events.back().value;
    EXPECT_FALSE(events.back().text.empty());
    EXPECT_EQ(events.back().fileSizeProperty, 0);
    EXPECT_LT(bodyBytes(), 1000000);
    EXPECT_TRUE(goneAtError) << "the partial file was still there when Error was raised";
}

TEST_F(DownloadTest, OrderlyCloseBeforeTheAnnouncedLengthIsAnError) {
    service.fault("truncated", "&scope=dl&bytes=60000");
    fetch(address(L"/bench/blob/100000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Error");
    EXPECT_EQ(events.back().value, downloadError::IncompleteBody);
    EXPECT_EQ(bodyBytes(), 60000);
    EXPECT_FALSE(exists(destination));
}

TEST_F(DownloadTest, RefusedConnectionEndsInErrorWithTheWinsockNumber) {
    RefusingPort refusing;
    fetch(L"http://127.0.0.1:" + std::to_wstring(refusing.port()) + L"/a.jpg");
    ASSERT_EQ(shape(), L"Error");
    EXPECT_EQ(events[0].value, 10061);
    EXPECT_FALSE(events[0].text.empty());
    EXPECT_FALSE(exists(destination));  // nothing was made
}

TEST_F(DownloadTest, SpacesAndAccentsInTheAddressAreSentEncoded) {
    // As a wallpaper's file name from the service's reply puts them in the address.
    fetch(address(L"/bench/blob/10/na\u00EFve wall paper.jpg"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    const auto log = service.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].requestLine(), "GET /bench/blob/10/na%EFve%20wall%20paper.jpg HTTP/1.0");
}

TEST_F(DownloadTest, AddressUnfitForARequestIsNeverSent) {
    // The last two have characters the code page holds no byte for: they
    // would go out as "?", or as another letter.
    for (const std::wstring& unfit : {address(L"/bench/blob/10 HTTP/1.0\r\nX-Injected: 1"),
                                      std::wstring(L"http://user@") + service.address() + L"/bench/blob/10",
                                      address(L"/bench/blob/10/\u4E00.jpg"), address(L"/bench/blob/10/\u0109.jpg")}) {
        events.clear();
        fetch(unfit);
        ASSERT_EQ(shape(), L"Error");
        EXPECT_EQ(events[0].value, downloadError::BadAddress);
        EXPECT_FALSE(holdsControl(events[0].text)) << events[0].text;
    }
    EXPECT_TRUE(service.log().empty());
}

TEST_F(DownloadTest, DestinationThatCannotBeMadeEndsInError) {
    download.Download(address(L"/bench/blob/10"), folder.file(L"missing\\download.bin"));
    ASSERT_TRUE(pumpUntil([&] { return ended(events); }));
    ASSERT_EQ(shape(), L"Error");
    EXPECT_EQ(events[0].value, 76);  // Path not found
}

// --- The destination file ---------------------------------------------------------

TEST_F(DownloadTest, ExistingLongerFileIsReplacedNotAppendedTo) {
    writeFile(destination, std::string(50000, 'x'));
    fetch(address(L"/bench/blob/1000"));
    EXPECT_EQ(readFile(destination), blobBytes(1000));
}

TEST_F(DownloadTest, ExistingFileNamedInOtherLetterCaseIsReplaced) {
    const std::wstring shouted = folder.file(L"DOWNLOAD.BIN");
    writeFile(shouted, std::string(50000, 'x'));
    fetch(address(L"/bench/blob/1000"));
    EXPECT_EQ(readFile(destination), blobBytes(1000));
    EXPECT_EQ(readFile(shouted), blobBytes(1000));  // the same file
}

TEST_F(DownloadTest, ExistingReadOnlyHiddenFileIsReplaced) {
    writeFile(destination, std::string(50000, 'x'));
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    fetch(address(L"/bench/blob/1000"));
    EXPECT_EQ(shape(), L"Starting DataArrival Completed");
    EXPECT_EQ(readFile(destination), blobBytes(1000));
}

// --- Callers that act from inside an event ---------------------------------------

TEST_F(DownloadTest, CancelInsideDataArrivalStopsEveryFurtherEvent) {
    download.events.DataArrival = [&](int32_t bytes) {
        events.push_back({L"DataArrival", bytes, L"", download.FileSize()});
        download.Cancel();
    };
    download.Download(address(L"/bench/blob/4000000"), destination);
    ASSERT_TRUE(pumpUntil([&] { return !events.empty() && events.back().name == L"DataArrival"; }));
    EXPECT_EQ(download.FileSize(), 0);
    EXPECT_FALSE(exists(destination)) << "Cancel left the partial file";

    // Let a whole other download run: whatever was on its way for the
    // cancelled one has been dealt with by then.
    CDownload other;
    std::vector<Event> otherEvents;
    record(other, otherEvents);
    other.Download(address(L"/bench/blob/4000000"), folder.file(L"other.bin"));
    ASSERT_TRUE(pumpUntil([&] { return ended(otherEvents); }));
    EXPECT_EQ(otherEvents.back().name, L"Completed");
    EXPECT_EQ(shape(), L"Starting DataArrival");
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(DownloadTest, NextDownloadStartedInsideAnEventTakesOver) {
    const std::wstring second = folder.file(L"second.bin");
    bool restarted = false;
    download.events.DataArrival = [&](int32_t bytes) {
        events.push_back({L"DataArrival", bytes, L"", download.FileSize()});
        if (restarted) return;
        restarted = true;
        download.Cancel();
        download.Download(address(L"/bench/blob/7000"), second);
    };
    download.Download(address(L"/bench/blob/4000000"), destination);
    ASSERT_TRUE(pumpUntil([&] { return ended(events); }));
    EXPECT_EQ(shape(), L"Starting DataArrival Starting DataArrival Completed");
    EXPECT_EQ(readFile(second), blobBytes(7000));
    EXPECT_EQ(download.URL(), address(L"/bench/blob/7000"));
}

TEST_F(DownloadTest, ObjectDestroyedInsideAnEventIsLeftAlone) {
    auto owned = std::make_unique<CDownload>();
    std::vector<Event> ownedEvents;
    record(*owned, ownedEvents);
    owned->events.Starting = [&](int32_t size, const std::wstring& header) {
        ownedEvents.push_back({L"Starting", size, header, 0});
        owned.reset();
    };
    owned->Download(address(L"/bench/blob/100000"), destination);
    ASSERT_TRUE(pumpUntil([&] { return !ownedEvents.empty(); }));
    EXPECT_EQ(owned, nullptr);
    // The test would crash here, or leave a file open, if the object went on.
    fetch(address(L"/bench/blob/10"));
    EXPECT_EQ(ownedEvents.size(), 1u);
    EXPECT_EQ(readFile(destination), blobBytes(10));
}

// --- Size ---------------------------------------------------------------------------

TEST_F(DownloadTest, LargeFileLeavesExactlyTheServedBytes) {
    constexpr int32_t size = 48 * 1024 * 1024 + 12345;
    fetch(address(L"/bench/blob/" + std::to_wstring(size)), 120s);
    ASSERT_EQ(events.back().name, L"Completed");
    EXPECT_EQ(events.front().value, size);
    EXPECT_EQ(bodyBytes(), size);
    EXPECT_EQ(GetFileMD5(destination), Md5::hexOf(blobBytes(size)));
}

// --- Rude servers ----------------------------------------------------------------

namespace {

using FaultParams = std::vector<std::pair<std::string, std::string>>;

struct RudeReply {
    const char* name;
    const char* fault;
    FaultParams params;     // "{host}" in a value stands for the stand-in's host
    int16_t error = 0;      // 0: the download completes with the whole blob, and only it
    const wchar_t* saying = L"";
    CDownload::Limits limits = {};
};

constexpr int kBlob = 2000;

CDownload::Limits quickIdle() { return {.idle = 1s}; }
// A drip slower than 1000 bytes a second misses its deadline within 3 seconds.
CDownload::Limits quickDrip() { return {.grace = 1s, .slowestRate = 1000}; }

const RudeReply kRudeReplies[] = {
    {"SilentServer", "hang", {{"seconds", "120"}}, downloadError::ServerSilent, L"sent nothing", quickIdle()},
    {"DripOfTheBody", "drip", {{"every", "0.05"}}, downloadError::TooSlow, L"too slow", quickDrip()},
    // Its announced size would allow it days: the rate counts, not the size.
    {"DripUnderAHugeLength", "drip", {{"every", "0.05"}, {"length", "100000000"}}, downloadError::TooSlow,
     L"too slow", {.idle = 2s, .grace = 1s, .slowestRate = 1000}},
    {"DripOfTheHeader", "trickle", {{"limit", "100000"}, {"delay", "0.05"}}, downloadError::TooSlow, L"too slow",
     quickDrip()},
    {"NotFoundPage", "http_error", {{"status", "404"}}, downloadError::HttpStatus, L"404 Not Found"},
    {"ServerErrorPage", "http_error", {{"status", "500"}}, downloadError::HttpStatus, L"500"},
    {"OtherRedirection", "http_error", {{"status", "300"}}, downloadError::HttpStatus, L"300"},
    {"PartOfTheFile", "raw",
     {{"data", "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 0-3/2000\r\nContent-Length: 4\r\n\r\nbody"}},
     downloadError::HttpStatus, L"206"},
    {"RedirectWithoutLocation", "http_error", {{"status", "302"}}, downloadError::BadAddress, L"where"},
    {"NoStatusLine", "raw", {{"data", "<html>Not here</html>\r\n\r\nbody"}}, downloadError::NotHttp},
    {"MalformedStatusLine", "raw", {{"data", "HTTP/1.0 2OO OK\r\nContent-Length: 4\r\n\r\nbody"}},
     downloadError::NotHttp},
    {"ClosedInsideTheHeader", "raw", {{"data", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\nbody, no blank line"}},
     downloadError::IncompleteHead},
    {"MalformedStatusLineCutShort", "raw", {{"data", "HTTP/1.0 2OO OK"}}, downloadError::NotHttp},
    {"NothingAtAll", "drop", {}, downloadError::IncompleteHead},
    {"NegativeLength", "length", {{"value", "-5"}}, downloadError::BadLength, L"-5"},
    {"LengthNotANumber", "length", {{"value", "2000abc"}}, downloadError::BadLength},
    {"LengthTooLarge", "length", {{"value", "99999999999999999999"}}, downloadError::BodyTooLarge},
    {"TwoLengths", "length", {{"value", "2000"}, {"second", "1000"}}, downloadError::BadLength},
    {"ChunkedBody", "chunked", {}, downloadError::BadEncoding, L"chunked"},
    {"EndlessHeader", "endless_header", {{"bytes", "50000000"}}, downloadError::HeaderTooLarge},
    {"EndlessBodyWithoutLength", "endless_body", {{"bytes", "50000000"}}, downloadError::BodyTooLarge, L"",
     {.largestBody = 1 << 20}},
    {"RedirectToHttps", "redirect", {{"to", "https://{host}/bench/blob/2000"}}, downloadError::BadAddress, L"https:"},
    {"RedirectToScript", "redirect", {{"to", "javascript:alert(1)"}}, downloadError::BadAddress, L"javascript:"},
    {"RedirectWithLineFeed", "redirect", {{"to", "/bench/blob/2000 HTTP/1.0\nX-Injected: 1"}},
     downloadError::BadAddress, L"control character"},
    {"RedirectWithCarriageReturn", "redirect", {{"to", "/bench/blob/2000\rX-Injected: 1"}},
     downloadError::BadAddress, L"control character"},
    {"RedirectWithNul", "redirect", {{"to", "/bench/blob/2000\0.jpg"s}}, downloadError::BadAddress,
     L"control character"},
    {"RedirectWithUserName", "redirect", {{"to", "http://evil@{host}/bench/blob/2000"}}, downloadError::BadAddress,
     L"host"},
    {"RedirectToHostWithSpace", "redirect", {{"to", "http://bad host/bench/blob/2000"}}, downloadError::BadAddress,
     L"host"},
    {"RedirectToBadPort", "redirect", {{"to", "http://127.0.0.1:99999/bench/blob/2000"}}, downloadError::BadAddress,
     L"host"},

    {"BytesPastTheLength", "overlong", {}},
    {"EndlessBodyPastTheLength", "endless_body", {{"length", "2000"}, {"bytes", "50000000"}}},
    {"SameLengthTwice", "length", {{"value", "2000"}, {"second", "2000"}}},
    {"HeadWithLineFeedsOnly", "lf_head", {}},
    {"SlowButInTime", "drip", {{"every", "0.05"}, {"piece", "100"}}, 0, L"",
     {.grace = 500ms, .slowestRate = 200}},  // about 1 s of the 10.5 s its size allows
    {"RedirectInCapitals", "redirect", {{"to", "HTTP://{host}/bench/blob/2000"}}},
    {"RedirectToANetworkPath", "redirect", {{"to", "//{host}/bench/blob/2000"}}},
    {"RedirectWithDotSegments", "redirect_relative", {{"to", "/bench/x/../blob/./2000"}}},
    {"RelativeRedirectWithDotSegments", "redirect", {{"to", "../../bench/blob/2000"}}},
};

void PrintTo(const RudeReply& c, std::ostream* out) { *out << c.fault; }

class RudeServer : public DownloadTest, public ::testing::WithParamInterface<RudeReply> {
protected:
    std::string faultParams(const FaultParams& params) const {
        std::string text = "&scope=dl";
        for (auto [name, value] : params) {
            for (size_t at; (at = value.find("{host}")) != std::string::npos;) value.replace(at, 6, service.host());
            text += "&" + name + "=" + escaped(value);
        }
        return text;
    }
};

}  // namespace

TEST_P(RudeServer, EndsInAnErrorOfItsOwnWithNoFileOrGetsTheWholeFile) {
    const RudeReply& c = GetParam();
    download.limits = c.limits;
    service.fault(c.fault, faultParams(c.params));
    fetch(address(L"/bench/blob/" + std::to_wstring(kBlob)));
    const auto log = service.log();
    if (c.error == 0) {
        EXPECT_EQ(shape(), L"Starting DataArrival Completed");
        EXPECT_EQ(readFile(destination), blobBytes(kBlob));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().requestLine(), "GET /bench/blob/2000 HTTP/1.0");
        return;
    }
    ASSERT_EQ(events.back().name, L"Error") << shape();
    EXPECT_EQ(events.back().value, c.error) << events.back().text;
    EXPECT_NE(events.back().text.find(c.saying), std::wstring::npos) << events.back().text;
    EXPECT_EQ(shape().find(L"Completed"), std::wstring::npos);
    EXPECT_FALSE(exists(destination)) << "a file is left that could pass for the download";
    EXPECT_EQ(log.size(), 1u) << "a refused redirect was followed";
}

INSTANTIATE_TEST_SUITE_P(Download, RudeServer, ::testing::ValuesIn(kRudeReplies),
                         [](const auto& one) { return std::string(one.param.name); });

TEST_F(DownloadTest, ConnectThatNeverCompletesEndsInItsOwnError) {
    StalledPort stalled;
    download.limits.connect = 1s;
    fetch(L"http://127.0.0.1:" + std::to_wstring(stalled.port()) + L"/a.jpg");
    ASSERT_EQ(shape(), L"Error");
    EXPECT_EQ(events[0].value, downloadError::ConnectTimedOut);
    EXPECT_NE(events[0].text.find(L"1 second"), std::wstring::npos) << events[0].text;
    EXPECT_FALSE(exists(destination));
}

// The downloader's deadlines are the program's one thread timer, called from
// whatever message loop runs: an error escaping its handler is reported, and
// the program (and the next deadline) goes on.
TEST(DeadlineTimer, AnErrorEscapingTheHandlerIsReportedAndTheNextDeadlineStillCalls) {
    ErrorCapture errors;
    int calls = 0;
    DeadlineTimer failing([&] {
        ++calls;
        throw std::out_of_range("index");
    });
    DeadlineTimer next([&] { ++calls; });
    ASSERT_TRUE(failing.arm(10ms));
    ASSERT_TRUE(next.arm(30ms));
    ASSERT_TRUE(pumpUntil([&] { return calls == 2; }, 5s));
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function TimerProc, DeadlineTimer");
    EXPECT_EQ(errors.reports()[0].number, 9);
}
