// CQXAPI: construction, the request writer, the connection and the reply framer.
#include "webclient/CQXAPI.h"

#include <windows.h>

#include <algorithm>

#include "core/MessageLoop.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "core/CTimerFunctions.h"
#include "version.h"
#include "webclient/modXML.h"

namespace vorlane {

std::unique_ptr<CQXAPI> gQXAPI;

namespace {

constexpr const wchar_t* kModule = L"CQXAPI";

// The program's own key, used until a login reply gives the member's.
constexpr const wchar_t* kBuiltInApiKey = L"Vx3k9QpL2m7Z";

// The version the service sees: major.minor.revision.
std::wstring programVersion() { return VORLANE_VERSION_TEXT; }

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t at; (at = text.find(L'\n', start)) != std::wstring::npos; start = at + 1)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

// The closing tag of the root element whose start tag is firstLine: its text
// without the first and last character, cut at the first blank.
std::wstring endTagFor(const std::wstring& firstLine) {
    if (firstLine.size() < 2) raiseError(errnum::InvalidProcedureCall, L"CQXAPI.QXSock_DataArrival");
    std::wstring tag = L"</" + firstLine.substr(1, firstLine.size() - 2);
    tag = tag.substr(0, tag.find(L' '));
    return tag + L">";
}

// True while text may still grow into an HTTP status line and header.
bool couldStartHeader(const std::wstring& text) {
    constexpr std::wstring_view kStatus = L"HTTP/";
    const size_t common = std::min(text.size(), kStatus.size());
    return text.compare(0, common, kStatus.substr(0, common)) == 0;
}

}  // namespace

CQXAPI::CQXAPI() {
    QXSock.events.DataArrival = [this](int32_t bytesTotal) { QXSock_DataArrival(bytesTotal); };
    QXSock.events.Error = [this](int16_t number, std::wstring& description, int32_t, const std::wstring&,
                                 const std::wstring&, int32_t, bool&) { QXSock_Error(number, description); };
    QXDownload.events.Starting = [this](int32_t size, const std::wstring& header) { QXDownload_Starting(size, header); };
    QXDownload.events.DataArrival = [this](int32_t bytesTotal) { QXDownload_DataArrival(bytesTotal); };
    QXDownload.events.Completed = [this] { QXDownload_Completed(); };
    QXDownload.events.Error = [this](int16_t number, const std::wstring& description) {
        QXDownload_Error(number, description);
    };

    apiHost = serviceHosts().api.hostText();
    apiBaseURL = L"http://" + apiHost + L"/api.php?apikey=";
    apiKey = kBuiltInApiKey;
}

CQXAPI::~CQXAPI() = default;

bool CQXAPI::APISend(const std::wstring& QueryMethod, TextArray& queryKeys, TextArray& queryValues) {
    bool sent = false;
    runTrapped(L"APISend", kModule, [&] {
        if (QXSock.State() != StateConnected && !APIConnect()) return;

        if (QueryMethod != L"qx.getGalleries" && QueryMethod != L"qx.auth.login") {
            array_push(queryKeys, L"VL_Version");
            array_push(queryValues, programVersion());
        }
        std::wstring address = apiBaseURL + apiKey + L"&method=" + QueryMethod;
        for (size_t i = 0; i < queryKeys.size(); ++i)
            address += L"&" + URLEncode(queryKeys[i]) + L"=" + URLEncode(queryValues.at(i));

        // A reply that never completed belongs to no one now.
        dropUnreadReply();
        QXSock.SendData(L"GET " + address + L" HTTP/1.0\r\n\r\n");

        if (QXSock.State() == StateError) {
            APIHandleSockError();
            return;
        }
        gTimerFunctions->Active_SockTimeout = true;
        sent = true;
    });
    return sent;
}

void CQXAPI::dropUnreadReply() {
    apiEndTag.clear();
    if (QXSock.State() == StateConnected && QXSock.BytesReceived() > 0) {
        ByteArray unread;
        QXSock.GetData(unread);
    }
}

bool CQXAPI::APIConnect() {
    bool connected = false;
    runTrapped(L"APIConnect", kModule, [&] {
        if (QXSock.State() == StateConnected) {
            connected = true;
            return;
        }
        QXSock.CloseSck();
        const ServiceHost server = parseServiceHost(apiHost);
        QXSock.Connect(server.name, server.port);
        for (;;) {
            const SocketState state = QXSock.State();
            if (state == StateConnected) {
                connected = true;
                return;
            }
            if (state == StateError || state == StateClosed) {
                apiSetNetworkOutage();
                return;
            }
            // The socket's notifications arrive as window messages.
            if (!waitThenDoEvents(250)) return;
        }
    });
    return connected;
}

void CQXAPI::QXSock_DataArrival(int32_t) {
    runTrapped(L"QXSock_DataArrival", kModule, [&] { frameReply(); });
}

void CQXAPI::frameReply() {
    apiNetworkOutage = false;
    gTimerFunctions->Active_SockTimeout = false;

    if (QXSock.BytesReceived() > kLargestReply) {
        // No reply of the service is this long: give up on it, and on the rest
        // of it still on its way.
        apiEndTag.clear();
        APICloseSock();
        APIUnexpectedResponse();
        return;
    }

    std::wstring text;
    QXSock.PeekData(text);
    if (text.find(L"\r\n\r\n") == std::wstring::npos) {
        // Not judged yet: the tail of the reply just taken (its last line end
        // can come on its own), or a header still on its way.
        if (text.find_first_not_of(L"\r\n") == std::wstring::npos) {
            dropUnreadReply();
            return;
        }
        if (couldStartHeader(text)) return;
    }
    if (!validateHTMLHeader(text)) APIForeignResponse();

    std::vector<std::wstring> lines = splitLines(text);
    for (;;) {
        if (lines.size() < 2) return;  // wait for more
        if (!lines.front().empty()) break;
        lines.erase(lines.begin());
    }
    while (lines.back().empty()) {
        lines.pop_back();
        if (lines.size() < 2) APIUnexpectedResponse();
    }

    if (apiEndTag.empty()) apiEndTag = endTagFor(lines.front());
    if (lines.back() != apiEndTag) return;  // stays buffered until the rest arrives

    apiEndTag.clear();
    std::wstring reply;
    QXSock.GetData(reply);
    if (!validateHTMLHeader(reply)) APIForeignResponse();
    ParseXML(reply);
}

}  // namespace vorlane
