// CDownload: fetches one address with an HTTP/1.0 GET over a socket object of
// its own and writes the response body into a local file, reporting progress
// through events. Only a success (2xx, but a part of a file, 206) is a file;
// a redirect (301, 302, 303, 307, 308) to a safe http address is followed, up
// to ten of them; any other reply, and a server too slow or silent, ends in
// Error and leaves no file.
//
// Events are function slots, as the socket object's are:
//
//     QXDownload.events.Completed = [this] { QXDownload_Completed(); };
//
// A handler may call back into the object (Cancel in DataArrival) and may start
// the next download; the object notices and touches nothing of the old one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Handles.h"
#include "socket/CSocketMaster.h"
#include "webclient/DeadlineTimer.h"
#include "webclient/HttpReply.h"

namespace vorlane {

class CDownload {
public:
    struct Events {
        // The header of a successful response is complete.
        std::function<void(int32_t FileSize, const std::wstring& Header)> Starting;
        // A piece of the body was written to the file: its size in bytes.
        std::function<void(int32_t bytesTotal)> DataArrival;
        // A socket error, a run-time error, a reply that is no file, or a
        // deadline (numbers in downloadError) ended the transfer; the file
        // is gone.
        std::function<void(int16_t Number, const std::wstring& Description)> Error;
        // The whole announced Content-Length arrived (what follows it is not
        // written), or, without one, the server closed the connection; the
        // file is complete and closed. A close before the head ended, or
        // before all of an announced length, is an Error (IncompleteHead,
        // IncompleteBody) instead: a lost connection can look like an orderly
        // close, a reset in particular.
        std::function<void()> Completed;
    };
    Events events;

    static constexpr int kMostRedirects = 10;

    // How long a transfer may take, and how much it may bring. A transfer is
    // refused when connecting takes longer than connect; when it falls more
    // than idle behind slowestRate (every byte buys 1/slowestRate of a second,
    // and no more than idle can be saved up), so that nothing at all for idle
    // ends it, and so does a drip, whatever size it announces; and when it is
    // not done within grace plus the time the body (its announced length,
    // else what came so far) needs at slowestRate.
    // Tests shorten them; the defaults suit real use.
    struct Limits {
        // A name lookup and a few lost handshakes on a poor line fit in it.
        std::chrono::milliseconds connect{30'000};
        // A picture made to size may keep the service quiet for seconds, not this long.
        std::chrono::milliseconds idle{30'000};
        std::chrono::milliseconds grace{60'000};
        // Bytes a second: below what the slowest dial-up or mobile line keeps
        // up, so that a real download always finishes in time.
        int64_t slowestRate = 2048;
        // Real reply heads take a kilobyte or two.
        size_t largestHeader = 64 * 1024;
        // Far above the largest picture the service makes (7680 by 4320, tens
        // of megabytes even as PNG) and any release; below 2 GiB, the reach of
        // the 32-bit sizes of the events.
        int64_t largestBody = 512ll * 1024 * 1024;
    };
    Limits limits;

    CDownload() = default;
    ~CDownload();
    CDownload(const CDownload&) = delete;
    CDownload& operator=(const CDownload&) = delete;

    // --- Properties ---
    const std::wstring& Proxy() const { return proxy_; }
    void Proxy(const std::wstring& strProxy);
    int32_t ProxyPort() const { return proxyPort_; }
    void ProxyPort(int32_t lngProxyPort) { proxyPort_ = lngProxyPort; }
    // 0: connect to the address's host; else to Proxy on ProxyPort, and 1 also
    // sends the whole address in the request line.
    int32_t AccessType() const { return accessType_; }
    void AccessType(int32_t acAccess) { accessType_ = acAccess; }
    const std::wstring& URL() const { return url_; }
    void URL(const std::wstring& strURL);
    const std::wstring& Destination() const { return destination_; }
    void Destination(const std::wstring& strDestination);
    bool DisableRedirection() const { return disableRedirection_; }
    void DisableRedirection(bool blnRedir) { disableRedirection_ = blnRedir; }
    // The response's Content-Length, 0 when absent; back to 0 when the transfer ends.
    int32_t FileSize() const { return fileSize_; }
    // A transfer is under way: it has neither completed, failed nor been cancelled.
    bool Busy() const { return cmSocket_ != nullptr; }

    // Starts a transfer of URL into Destination (either given here).
    void Download(std::optional<std::wstring> URL = std::nullopt,
                  std::optional<std::wstring> Destination = std::nullopt);
    // Stops the transfer at once; raises no event.
    void Cancel();

    // The address parts as the request uses them (public for their own tests).
    static std::wstring GetHost(const std::wstring& address);
    std::wstring GetPath(const std::wstring& address) const;
    // The value of the header line whose name is name (letter case ignored),
    // trimmed; empty when there is no such line.
    static std::wstring GetHeaderValue(const std::wstring& header, const std::wstring& name);

private:
    void startTransfer();
    void cmSocket_Connect();
    void cmSocket_DataArrival(int32_t bytesTotal);
    void takePiece(ByteArray& data);
    void cmSocket_CloseSck();
    void cmSocket_Error(int16_t Number, const std::wstring& Description, bool& CancelDisplay);
    void ResetTransfer();

    void openDestination();
    void appendToFile(const uint8_t* data, size_t size);
    bool takeHeader(ByteArray& data, const uint8_t*& piece, size_t& pieceSize);
    void followRedirect(const std::string& location);
    void writeBody(const uint8_t* piece, size_t pieceSize);
    void complete();
    void failWith(int16_t number, const std::wstring& description);
    void discardFile();

    using Clock = std::chrono::steady_clock;
    void checkDeadlines();
    Clock::time_point nextDeadline() const;
    void armDeadline();
    template <class Step>
    void runStep(Step&& step);

    // Raises an event; false when the handler ended or replaced this transfer
    // (or destroyed the object), so the caller must leave at once.
    template <class Slot, class... Args>
    bool raise(const Slot& slot, Args&&... args);

    std::wstring proxy_;
    int32_t proxyPort_ = 0;
    int32_t accessType_ = 0;
    std::wstring url_;
    std::wstring destination_;
    bool disableRedirection_ = false;
    int32_t fileSize_ = 0;

    std::wstring target_;  // the request line's address, fit for it
    std::unique_ptr<CSocketMaster> cmSocket_;
    ByteArray received_;  // storage for the next piece, kept between pieces
    std::string header_;  // the response header collected so far, as received
    bool headerComplete_ = false;
    std::optional<int64_t> announced_;  // the body's Content-Length
    int64_t bodyWritten_ = 0;  // body bytes of the current response in the file
    FileHandle file_;
    int redirects_ = 0;      // redirects followed by this download
    uint64_t transfer_ = 0;  // changes with every reset

    Clock::time_point started_;      // Download was called
    Clock::time_point connectBy_;    // this connection's connect deadline
    Clock::time_point lastArrival_;  // connected, or bytes last arrived
    Clock::time_point keptUpUntil_;  // what came so far, at the slowest rate, lasts until then
    bool connected_ = false;
    DeadlineTimer deadline_{[this] { checkDeadlines(); }};
    std::shared_ptr<const char> life_ = std::make_shared<const char>();
};

template <class Slot, class... Args>
bool CDownload::raise(const Slot& slot, Args&&... args) {
    if (!slot) return true;
    const std::weak_ptr<const char> alive = life_;
    const uint64_t transfer = transfer_;
    const Slot handler = slot;
    handler(std::forward<Args>(args)...);
    return !alive.expired() && transfer_ == transfer;
}

}  // namespace vorlane
