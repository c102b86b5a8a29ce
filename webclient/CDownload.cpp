// The HTTP/1.0 downloader: its request, the reply head, redirects, the body and its events.
#include "webclient/CDownload.h"

#include <algorithm>

#include "core/Ansi.h"
#include "core/Convert.h"
#include "core/HttpHead.h"
#include "core/RuntimeError.h"
#include "core/ServiceHosts.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kSource = L"CDownload";

std::wstring trim(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    const size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

bool startsWith(const std::wstring& text, std::wstring_view prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

std::wstring withoutScheme(const std::wstring& address) {
    std::wstring text = trim(address);
    if (startsWith(text, L"http://")) text.erase(0, 7);
    return text;
}

bool isControl(wchar_t c) { return c < 0x20 || c == 0x7F; }

bool holdsControlCharacter(const std::wstring& text) { return std::any_of(text.begin(), text.end(), isControl); }

// An address as a message may show it: no control character, cut short.
std::wstring shownAddress(std::wstring address) {
    address.resize(std::min<size_t>(address.size(), 100));
    std::replace_if(address.begin(), address.end(), isControl, L'?');
    return address;
}

// The address as a request line carries it: spaces and characters above 127
// percent-encoded as their code-page bytes, as a redirect's are. Nothing when
// the code page holds no byte for a character: it would go out as "?" (a
// query) or as a look-alike letter (another file).
std::optional<std::wstring> requestTarget(const std::wstring& address) {
    if (address.empty()) return address;
    const int length = static_cast<int>(address.size());
    const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, address.data(), length, nullptr, 0, nullptr,
                                           nullptr);
    std::string bytes(static_cast<size_t>(needed), '\0');
    BOOL unmapped = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, address.data(), length, bytes.data(), needed, nullptr, &unmapped);
    if (unmapped || needed == 0) return std::nullopt;
    const std::string target = encodedForRequest(bytes);  // ASCII only
    return std::wstring(target.begin(), target.end());
}

std::wstring secondsText(std::chrono::milliseconds time) {
    const auto seconds = (time.count() + 999) / 1000;
    return std::to_wstring(seconds) + (seconds == 1 ? L" second" : L" seconds");
}

}  // namespace

CDownload::~CDownload() = default;

void CDownload::Proxy(const std::wstring& strProxy) { proxy_ = trim(strProxy); }
void CDownload::URL(const std::wstring& strURL) { url_ = trim(strURL); }
void CDownload::Destination(const std::wstring& strDestination) { destination_ = trim(strDestination); }

// --- Address parts ------------------------------------------------------------

std::wstring CDownload::GetHost(const std::wstring& address) {
    const std::wstring text = withoutScheme(address);
    return text.substr(0, text.find(L'/'));
}

std::wstring CDownload::GetPath(const std::wstring& address) const {
    if (accessType_ == 1) return address;
    const std::wstring text = withoutScheme(address);
    const size_t slash = text.find(L'/');
    return slash == std::wstring::npos ? L"/" : text.substr(slash);
}

std::wstring CDownload::GetHeaderValue(const std::wstring& header, const std::wstring& name) {
    return fromAnsi(headerField(toAnsi(header), toAnsi(name)));
}

// --- Transfer -----------------------------------------------------------------

template <class Step>
void CDownload::runStep(Step&& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        failWith(static_cast<int16_t>(e.number()), e.description());
    } catch (const std::bad_alloc&) {
        failWith(errnum::OutOfMemory, standardErrorText(errnum::OutOfMemory));
    }
}

void CDownload::Download(std::optional<std::wstring> address, std::optional<std::wstring> destination) {
    redirects_ = 0;
    started_ = Clock::now();
    runStep([&] {
        if (address) URL(*address);
        if (destination) Destination(*destination);
        startTransfer();
    });
}

void CDownload::startTransfer() {
    ResetTransfer();
    // Whatever the address came from, nothing unfit reaches the request.
    const std::wstring host = GetHost(url_);
    std::optional<std::wstring> target = requestTarget(GetPath(url_));
    if (!isUsableHost(host) || holdsControlCharacter(url_) || !target) {
        failWith(downloadError::BadAddress, L"The address cannot be fetched: " + shownAddress(url_));
        return;
    }
    target_ = std::move(*target);
    cmSocket_ = std::make_unique<CSocketMaster>();
    CSocketMaster& socket = *cmSocket_;
    socket.events.Connect = [this] { cmSocket_Connect(); };
    socket.events.DataArrival = [this](int32_t bytesTotal) { cmSocket_DataArrival(bytesTotal); };
    socket.events.CloseSck = [this] { cmSocket_CloseSck(); };
    socket.events.Error = [this](int16_t number, std::wstring& description, int32_t, const std::wstring&,
                                 const std::wstring&, int32_t, bool& cancelDisplay) {
        cmSocket_Error(number, description, cancelDisplay);
    };

    connected_ = false;
    connectBy_ = Clock::now() + limits.connect;
    armDeadline();
    if (accessType_ != 0) {
        socket.Connect(proxy_, proxyPort_);
    } else {
        const ServiceHost server = parseServiceHost(host);
        socket.Connect(server.name, server.port);
    }
}

void CDownload::Cancel() {
    discardFile();
    ResetTransfer();
}

void CDownload::ResetTransfer() {
    ++transfer_;
    deadline_.disarm();
    // The socket may be the one whose event is running right now: it copes
    // with being destroyed from inside its own handler.
    cmSocket_.reset();
    header_.clear();
    headerComplete_ = false;
    announced_.reset();
    bodyWritten_ = 0;
    file_.reset();
    fileSize_ = 0;
}

void CDownload::failWith(int16_t number, const std::wstring& description) {
    discardFile();
    ResetTransfer();
    raise(events.Error, number, description);
}

void CDownload::discardFile() {
    // A transfer that did not complete leaves nothing that could pass for the file.
    if (!file_) return;
    file_.reset();
    DeleteFileW(destination_.c_str());
}

void CDownload::openDestination() {
    // Any old file of that name is replaced, whatever the letter case of its
    // name and whatever its attributes: never appended to.
    SetFileAttributesW(destination_.c_str(), FILE_ATTRIBUTE_NORMAL);
    file_.reset(CreateFileW(destination_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        switch (GetLastError()) {
            case ERROR_PATH_NOT_FOUND: raiseError(errnum::PathNotFound, kSource);
            case ERROR_ACCESS_DENIED: raiseError(errnum::PermissionDenied, kSource);
            default: raiseError(errnum::PathFileAccessError, kSource);
        }
    }
}

void CDownload::appendToFile(const uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        if (!WriteFile(file_.get(), data, piece, &written, nullptr) || written == 0) {
            const DWORD error = GetLastError();
            raiseError(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? errnum::DiskFull
                                                                                    : errnum::DeviceIOError,
                       kSource);
        }
        data += written;
        size -= written;
        bodyWritten_ += written;
    }
}

void CDownload::cmSocket_Connect() {
    runStep([&] {
        connected_ = true;
        lastArrival_ = Clock::now();
        keptUpUntil_ = lastArrival_ + limits.idle;
        armDeadline();
        openDestination();
        const std::wstring host = GetHost(url_);
        const std::wstring request =
            L"GET " + target_ + L" HTTP/1.0\r\n"
            L"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
            L"application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
            L"Referer: " + host + L"\r\n"
            L"User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n"
            L"Host: " + host + L"\r\n"
            L"\r\n";
        cmSocket_->SendData(request);
    });
}

void CDownload::cmSocket_DataArrival(int32_t) {
    // The storage of one piece serves the next: a large download arrives in
    // hundreds of pieces. A handler that runs messages meanwhile meets an empty
    // buffer, so the piece in hand is never overwritten.
    const std::weak_ptr<const char> alive = life_;
    ByteArray data = std::move(received_);
    runStep([&] { takePiece(data); });
    if (!alive.expired()) received_ = std::move(data);
}

void CDownload::takePiece(ByteArray& data) {
    cmSocket_->GetData(data);
    lastArrival_ = Clock::now();
    const int64_t rate = std::max<int64_t>(limits.slowestRate, 1);
    const auto bought = std::chrono::microseconds(int64_t(data.size()) * 1'000'000 / rate);
    keptUpUntil_ = std::min(keptUpUntil_ + bought, lastArrival_ + limits.idle);
    const uint8_t* piece = data.data();
    size_t pieceSize = data.size();
    if (!headerComplete_ && !takeHeader(data, piece, pieceSize)) return;
    writeBody(piece, pieceSize);
}

// Collects the reply head; true when it is complete, is a file's, and the
// body's first bytes (piece) are to be written.
bool CDownload::takeHeader(ByteArray& data, const uint8_t*& piece, size_t& pieceSize) {
    const size_t searchFrom = header_.size() >= 3 ? header_.size() - 3 : 0;
    header_.append(reinterpret_cast<const char*>(data.data()), data.size());
    const size_t end = httpHeadLength(std::string_view(header_), searchFrom);
    const size_t headSize = end == std::string::npos ? header_.size() : end;
    if (!canBeginReply(header_)) {
        failWith(downloadError::NotHttp, L"The server's reply is not HTTP");
        return false;
    }
    if (headSize > limits.largestHeader) {
        failWith(downloadError::HeaderTooLarge,
                 L"The server's reply header is longer than " + std::to_wstring(limits.largestHeader) + L" bytes");
        return false;
    }
    if (end == std::string::npos) return false;  // the bytes wait in the header

    headerComplete_ = true;
    const size_t bodyInHeader = header_.size() - headSize;
    piece = data.data() + (data.size() - bodyInHeader);
    pieceSize = bodyInHeader;
    header_.resize(headSize);

    auto reply = readReplyHead(header_, limits.largestBody);
    if (auto* problem = std::get_if<ReplyProblem>(&reply)) {
        failWith(problem->number, problem->description);
        return false;
    }
    const ReplyHead& head = std::get<ReplyHead>(reply);
    if (isRedirectStatus(head.status)) {
        if (disableRedirection_)
            failWith(downloadError::HttpStatus, L"The server redirected elsewhere (" + std::to_wstring(head.status) +
                                                    L"), and redirection is off");
        else
            followRedirect(head.location);
        return false;
    }
    announced_ = head.contentLength;
    fileSize_ = static_cast<int32_t>(announced_.value_or(0));
    return raise(events.Starting, fileSize_, fromAnsi(header_));
}

void CDownload::writeBody(const uint8_t* piece, size_t pieceSize) {
    // Nothing past the announced length; without one, nothing past the largest body.
    const int64_t room = announced_.value_or(limits.largestBody) - bodyWritten_;
    if (!announced_ && static_cast<int64_t>(pieceSize) > room) {
        failWith(downloadError::BodyTooLarge,
                 L"The file is larger than the " + std::to_wstring(limits.largestBody) + L" bytes a download may have");
        return;
    }
    pieceSize = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(pieceSize), room));
    // A header that came without body bytes announces no data: an empty
    // DataArrival would read as a download without a size.
    if (pieceSize > 0) {
        appendToFile(piece, pieceSize);
        if (!raise(events.DataArrival, static_cast<int32_t>(pieceSize))) return;
    }
    if (announced_ && bodyWritten_ == *announced_) complete();
}

void CDownload::followRedirect(const std::string& location) {
    if (redirects_ >= kMostRedirects) {
        failWith(downloadError::TooManyRedirects, L"Too many redirections");
        return;
    }
    auto target = resolveRedirect(url_, location);
    if (auto* problem = std::get_if<ReplyProblem>(&target)) {
        failWith(problem->number, problem->description);
        return;
    }
    ++redirects_;
    url_ = std::get<std::wstring>(target);
    discardFile();  // the redirecting response wrote nothing into it
    startTransfer();
}

void CDownload::complete() {
    ResetTransfer();
    raise(events.Completed);
}

void CDownload::cmSocket_CloseSck() {
    runStep([&] {
        // A close before the whole reply came, at any stage, is the network's:
        // the server may never have been reached (a proxy or gateway on the
        // way), and a reset can look like an orderly close.
        if (!headerComplete_) {
            failWith(downloadError::IncompleteHead, L"The connection closed before the server's reply header ended");
        } else if (announced_ && bodyWritten_ < *announced_) {
            failWith(downloadError::IncompleteBody, L"The connection closed before the whole file arrived");
        } else {
            complete();
        }
    });
}

void CDownload::cmSocket_Error(int16_t Number, const std::wstring& Description, bool&) {
    // CancelDisplay stays as it came: the socket shows nothing of its own.
    failWith(Number, Description);
}

// --- Deadlines ----------------------------------------------------------------

CDownload::Clock::time_point CDownload::nextDeadline() const {
    const int64_t body = std::max(announced_.value_or(0), bodyWritten_);
    const auto bodyTime = std::chrono::milliseconds(body * 1000 / std::max<int64_t>(limits.slowestRate, 1));
    const Clock::time_point overall = started_ + limits.grace + bodyTime;
    return std::min(connected_ ? keptUpUntil_ : connectBy_, overall);
}

void CDownload::armDeadline() {
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(nextDeadline() - Clock::now());
    if (!deadline_.arm(delay)) raiseError(errnum::OutOfMemory, kSource);
}

void CDownload::checkDeadlines() {
    runStep([&] {
        const Clock::time_point now = Clock::now();
        if (now < nextDeadline()) {
            armDeadline();  // bytes came meanwhile: the deadline moved on
        } else if (!connected_ && now >= connectBy_) {
            failWith(downloadError::ConnectTimedOut,
                     L"The server could not be reached within " + secondsText(limits.connect));
        } else if (connected_ && now >= lastArrival_ + limits.idle) {
            failWith(downloadError::ServerSilent, L"The server sent nothing for " + secondsText(limits.idle));
        } else {
            failWith(downloadError::TooSlow, L"The download was too slow to finish in time");
        }
    });
}

}  // namespace vorlane
