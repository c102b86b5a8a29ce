#include "webclient/CDownload.h"

#include <algorithm>
#include <cwctype>

#include "core/Ansi.h"
#include "core/Convert.h"
#include "core/RuntimeError.h"
#include "core/ServiceHosts.h"

namespace vorlane {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr const wchar_t* kSource = L"CDownload";

std::wstring trim(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    const size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

bool startsWith(const std::wstring& text, std::wstring_view prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

std::wstring withoutScheme(const std::wstring& address) {
    std::wstring text = trim(address);
    if (startsWith(text, L"http://")) text.erase(0, 7);
    return text;
}

// The length of the scheme that starts an absolute address ("http" in
// "http://..."), 0 when the address has none.
size_t schemeLength(const std::wstring& address) {
    const size_t colon = address.find(L"://");
    if (colon == std::wstring::npos || colon == 0 || !std::iswalpha(address[0])) return 0;
    for (size_t i = 1; i < colon; ++i)
        if (!std::iswalnum(address[i]) && address[i] != L'+' && address[i] != L'-' && address[i] != L'.') return 0;
    return colon;
}

// The leading number of a header value, as a 32-bit count.
int32_t leadingCount(const std::wstring& value) {
    double number = 0;
    size_t i = 0;
    while (i < value.size() && value[i] == L' ') ++i;
    const bool negative = i < value.size() && value[i] == L'-';
    if (i < value.size() && (value[i] == L'-' || value[i] == L'+')) ++i;
    for (; i < value.size() && std::iswdigit(value[i]); ++i) number = number * 10 + (value[i] - L'0');
    return toInt32(negative ? -number : number);
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
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find(L"\r\n", start);
        if (end == std::wstring::npos) end = header.size();
        const std::wstring_view line(header.data() + start, end - start);
        const size_t colon = line.find(L':');
        if (colon != std::wstring_view::npos && equalsIgnoringCase(trim(std::wstring(line.substr(0, colon))), name))
            return trim(std::wstring(line.substr(colon + 1)));
        start = end + 2;
    }
    return {};
}

std::wstring CDownload::ResolveLocation(const std::wstring& current, const std::wstring& location) {
    std::wstring target = trim(location);
    if (const size_t scheme = schemeLength(target)) {
        // Servers may write the scheme in capitals; the host is found after "http://" only.
        std::transform(target.begin(), target.begin() + scheme, target.begin(),
                       [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
        return target;
    }
    if (startsWith(target, L"//")) return L"http:" + target;
    const std::wstring host = GetHost(current);
    if (startsWith(target, L"/")) return L"http://" + host + target;

    std::wstring path = withoutScheme(current);
    const size_t slash = path.find(L'/');
    path = (slash == std::wstring::npos) ? L"/" : path.substr(slash);
    path = path.substr(0, path.find(L'?'));
    // A query alone replaces the current one; anything else is relative to the current folder.
    if (startsWith(target, L"?")) return L"http://" + host + path + target;
    return L"http://" + host + path.substr(0, path.rfind(L'/') + 1) + target;
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
    runStep([&] {
        if (address) URL(*address);
        if (destination) Destination(*destination);
        startTransfer();
    });
}

void CDownload::startTransfer() {
    ResetTransfer();
    cmSocket_ = std::make_unique<CSocketMaster>();
    CSocketMaster& socket = *cmSocket_;
    socket.events.Connect = [this] { cmSocket_Connect(); };
    socket.events.DataArrival = [this](int32_t bytesTotal) { cmSocket_DataArrival(bytesTotal); };
    socket.events.CloseSck = [this] { cmSocket_CloseSck(); };
    socket.events.Error = [this](int16_t number, std::wstring& description, int32_t, const std::wstring&,
                                 const std::wstring&, int32_t, bool& cancelDisplay) {
        cmSocket_Error(number, description, cancelDisplay);
    };

    if (accessType_ != 0) {
        socket.Connect(proxy_, proxyPort_);
    } else {
        const ServiceHost server = parseServiceHost(GetHost(url_));
        socket.Connect(server.name, server.port);
    }
}

void CDownload::Cancel() { ResetTransfer(); }

void CDownload::ResetTransfer() {
    ++transfer_;
    // The socket may be the one whose event is running right now: it copes
    // with being destroyed from inside its own handler.
    cmSocket_.reset();
    header_.clear();
    headerComplete_ = false;
    bodyWritten_ = 0;
    file_.reset();
    fileSize_ = 0;
}

void CDownload::failWith(int16_t number, const std::wstring& description) {
    ResetTransfer();
    raise(events.Error, number, description);
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
        openDestination();
        const std::wstring host = GetHost(url_);
        const std::wstring request =
            L"GET " + GetPath(url_) + L" HTTP/1.0\r\n"
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
    const uint8_t* piece = data.data();
    size_t pieceSize = data.size();

    if (!headerComplete_) {
        const size_t searchFrom = header_.size() >= 3 ? header_.size() - 3 : 0;
        header_.append(reinterpret_cast<const char*>(data.data()), data.size());
        const size_t end = header_.find(kHeaderEnd, searchFrom);
        if (end == std::string::npos) return;  // the bytes wait in the header

        headerComplete_ = true;
        const size_t bodyStart = end + kHeaderEnd.size();
        const size_t bodyInHeader = header_.size() - bodyStart;
        piece = data.data() + (data.size() - bodyInHeader);
        pieceSize = bodyInHeader;
        header_.resize(bodyStart);

        const std::wstring header = fromAnsi(header_);
        if (!disableRedirection_ && followRedirect(header)) return;

        const std::wstring length = GetHeaderValue(header, L"Content-Length");
        fileSize_ = length.empty() ? 0 : leadingCount(length);
        if (!raise(events.Starting, fileSize_, header)) return;
    }
    appendToFile(piece, pieceSize);
    raise(events.DataArrival, static_cast<int32_t>(pieceSize));
}

bool CDownload::followRedirect(const std::wstring& header) {
    const std::wstring location = GetHeaderValue(header, L"Location");
    if (location.empty()) return false;
    if (redirects_ >= kMostRedirects) {
        failWith(kTooManyRedirects, L"Too many redirections");
        return true;
    }
    ++redirects_;
    url_ = ResolveLocation(url_, location);
    startTransfer();
    return true;
}

void CDownload::cmSocket_CloseSck() {
    runStep([&] {
        if (!headerComplete_) {
            // No header end ever came: everything is body.
            std::string body;
            body.swap(header_);
            if (!raise(events.Starting, static_cast<int32_t>(body.size()), std::wstring())) return;
            appendToFile(reinterpret_cast<const uint8_t*>(body.data()), body.size());
            if (!raise(events.DataArrival, static_cast<int32_t>(body.size()))) return;
        }
        if (fileSize_ > 0 && bodyWritten_ < fileSize_) {
            failWith(kIncompleteBody, L"The connection closed before the whole file arrived");
            return;
        }
        ResetTransfer();
        raise(events.Completed);
    });
}

void CDownload::cmSocket_Error(int16_t Number, const std::wstring& Description, bool&) {
    // CancelDisplay stays as it came: the socket shows nothing of its own.
    failWith(Number, Description);
}

}  // namespace vorlane
