// CQXAPI: construction, the request writer, the connection and the reply framer.
#include "webclient/CQXAPI.h"

#include <windows.h>

#include <algorithm>

#include "core/Ansi.h"
#include "core/HttpHead.h"
#include "core/MessageLoop.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "core/CTimerFunctions.h"
#include "core/FlagScope.h"
#include "ui/frmMain.h"
#include "ui/modGlobals.h"
#include "version.h"
#include "webclient/XmlOutline.h"
#include "webclient/modXML.h"

namespace vorlane {

std::unique_ptr<CQXAPI> gQXAPI;

namespace {

constexpr const wchar_t* kModule = L"CQXAPI";

// The program's own key, used until a login reply gives the member's.
constexpr const wchar_t* kBuiltInApiKey = L"Vx3k9QpL2m7Z";

// The version the service sees: major.minor.revision.
std::wstring programVersion() { return VORLANE_VERSION_TEXT; }

std::wstring_view withoutTrailingBlanks(std::wstring_view text) {
    return text.substr(0, text.find_last_not_of(L" \t\r") + 1);
}

bool isBlank(std::wstring_view text) { return text.find_first_not_of(L" \t\r\n") == std::wstring_view::npos; }

// UTF-8's byte-order mark as its bytes come in, read in the code page.
const std::wstring& utf8MarkAsReceived() {
    static const std::wstring mark = fromAnsi("\xEF\xBB\xBF");
    return mark;
}

// The length of the byte-order mark that begins body, 0 when there is none.
size_t byteOrderMarkLength(std::wstring_view body) {
    if (body.starts_with(L'\uFEFF')) return 1;
    return body.starts_with(utf8MarkAsReceived()) ? utf8MarkAsReceived().size() : 0;
}

// The body as a document: a byte-order mark is no part of it, and UTF-8's
// announces UTF-8 text, which the code page has misread.
std::wstring documentText(const std::wstring& body) {
    const size_t mark = byteOrderMarkLength(body);
    if (mark <= 1) return body.substr(mark);
    const std::string bytes = toAnsi(std::wstring_view(body).substr(mark));
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

// Where the root element's start tag stands in a body: past a byte-order mark,
// white space, the XML declaration, comments and processing instructions.
// npos while the body holds no more than these.
size_t rootStart(std::wstring_view body) {
    const size_t at = pastMisc(body, byteOrderMarkLength(body));
    return at == body.size() ? std::wstring_view::npos : at;
}

// The closing tag of the root element whose start tag begins firstLine: its
// name runs to the first blank, "/" or ">".
std::wstring endTagFor(std::wstring_view firstLine) {
    if (firstLine.size() < 2) raiseError(errnum::InvalidProcedureCall, L"CQXAPI.QXSock_DataArrival");
    return L"</" + std::wstring(firstLine.substr(1, firstLine.find_first_of(L" \t/>", 1) - 1)) + L">";
}

// Whether a document ends, white space aside, with the end of a tag: only
// then can its root have closed with this piece.
bool endsAtTag(std::wstring_view document) {
    const size_t last = document.find_last_not_of(L" \t\r\n");
    return last != std::wstring_view::npos && document[last] == L'>';
}

// Whether tag, the one that closed the root, is the root's own: the end tag
// endTag names, with or without blanks before its ">", or the root's start
// tag when it is an empty element.
bool closesOwnRoot(std::wstring_view tag, std::wstring_view endTag) {
    const std::wstring_view name = endTag.substr(2, endTag.size() - 3);
    tag.remove_prefix(tag.starts_with(L"</") ? 2 : 1);
    return tag.size() > name.size() && tag.starts_with(name) &&
           std::wstring_view(L" \t\r\n/>").find(tag[name.size()]) != std::wstring_view::npos;
}

// True when the reply's header asks to keep the connection ("Connection: keep-alive").
bool asksToKeepConnection(std::wstring_view reply) {
    const size_t headLength = httpHeadLength(reply);
    if (headLength == std::wstring_view::npos) return false;
    const auto values = httpHeadFieldValues(reply.substr(0, headLength), L"Connection");
    return std::any_of(values.begin(), values.end(),
                       [](std::wstring_view value) { return sameLettersIgnoringCase(value, L"keep-alive"); });
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
    QXSock.events.CloseSck = [this] { QXSock_CloseSck(); };
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
    useProgramKey();
}

CQXAPI::~CQXAPI() = default;

void CQXAPI::useProgramKey() {
    apiKey = kBuiltInApiKey;
    apiAuthToken.clear();
}

bool CQXAPI::APISend(const std::wstring& QueryMethod, TextArray& queryKeys, TextArray& queryValues) {
    bool accepted = false;
    runTrapped(L"APISend", kModule, [&] {
        if (QueryMethod != L"qx.getGalleries" && QueryMethod != L"qx.auth.login") {
            array_push(queryKeys, L"VL_Version");
            array_push(queryValues, programVersion());
        }
        // The key is the service's text from a login reply: encoded like any value.
        std::wstring address = apiBaseURL + URLEncode(apiKey) + L"&method=" + QueryMethod;
        for (size_t i = 0; i < queryKeys.size(); ++i)
            address += L"&" + URLEncode(queryKeys[i]) + L"=" + URLEncode(queryValues.at(i));

        const uint64_t id = ++lastRequestId_;
        const bool login = QueryMethod == L"qx.auth.login";
        Request request{id, L"GET " + address + L" HTTP/1.0\r\n\r\n", false, login,
                        QueryMethod == L"qx.getGalleries"};
        request.members = membersExchange_ || (login && !apiSilent);
        pendingRequests_.push_back(std::move(request));
        sendQueued();
        accepted = isUnderWay(id);
    });
    return accepted;
}

bool CQXAPI::isUnderWay(uint64_t id) const {
    return (inFlight_ && inFlight_->id == id) ||
           std::any_of(pendingRequests_.begin(), pendingRequests_.end(), [id](const Request& r) { return r.id == id; });
}

void CQXAPI::sendQueued() {
    // A handler that runs while a connection is made, or while a reply is
    // awaited, only queues its request: one exchange at a time, in order.
    while (!pendingRequests_.empty() && !connecting_ && !awaitingReply()) {
        const FlagScope exchange = exchangeOf(pendingRequests_.front().members);
        if (!APIConnect()) {
            pendingRequests_.clear();  // nothing can go out: the outage state has been entered
            return;
        }
        const Request request = std::move(pendingRequests_.front());
        pendingRequests_.pop_front();
        writeRequest(request);
    }
}

void CQXAPI::writeRequest(const Request& request) {
    dropUnreadReply();  // bytes left on a kept connection belong to no request
    QXSock.SendData(request.line);
    // A failed send has been reported through the socket's error event, which
    // closed it.
    if (QXSock.State() != StateConnected) {
        const FlagScope exchange = exchangeOf(request.members);
        APIHandleSockError();
        if (request.galleries) ui::galleryRequestEnded();
        return;
    }
    inFlight_ = request;
    inFlight_->onKeptConnection = connectionAnswered_;
    replyBegun_ = false;
    replyIsOneLine_ = false;
    replyPace_.start(replyLimits);
    troublesAtRequest_ = troubles_;
    gTimerFunctions->Active_SockTimeout = true;  // each request's own ten seconds
}

bool CQXAPI::awaitingReply() {
    if (!inFlight_) return false;
    if (gTimerFunctions->Active_SockTimeout && QXSock.State() == StateConnected && !replyOverdueWithoutClock())
        return true;
    // Its time-out fired (and ran the outage path), or its connection was lost
    // to a socket error, already reported: its reply will not come. A late one
    // must not be taken for the next request's.
    const Request lost = *inFlight_;
    const bool connectionLost = QXSock.State() != StateConnected;
    forgetRequestInFlight();
    QXSock.CloseSck();
    // The gallery and category boxes wait disabled for their list: one lost
    // with its connection is asked for again, first in line, unless asked
    // already. (Its own time-out still ends it.)
    if (lost.galleries && connectionLost && !anyRequest(&Request::galleries))
        pendingRequests_.push_front({lost.id, lost.line, false, false, true});
    return false;
}

bool CQXAPI::anyRequest(bool Request::*flag) const {
    return (inFlight_ && (*inFlight_).*flag) ||
           std::any_of(pendingRequests_.begin(), pendingRequests_.end(), [flag](const Request& r) { return r.*flag; });
}

// With the main clock stopped (an update download stops it) no time-out ends
// a request, so one whose reply is overdue would hold up every later one.
bool CQXAPI::replyOverdueWithoutClock() const {
    return !ui::frmMain().tmrMain.Enabled() && replyPace_.overdue();
}

// Every arrival starts the ten seconds of silence again; a reply that falls
// too far behind the slowest pace ends as its time-out would end it.
bool CQXAPI::replyTooSlow() {
    replyPace_.arrived(QXSock.BytesReceived());
    if (!replyPace_.overdue()) {
        gTimerFunctions->Active_SockTimeout = true;
        return false;
    }
    replyTimedOut();
    return true;
}

// A request written into a kept connection just as the service ended it gets
// no reply there: it goes out again, first in line, on a new connection.
bool CQXAPI::resendUnanswered() {
    if (!inFlight_ || replyBegun_ || !inFlight_->onKeptConnection) return false;
    Request request = std::move(*inFlight_);
    request.onKeptConnection = false;
    forgetRequestInFlight();
    QXSock.CloseSck();
    pendingRequests_.push_front(std::move(request));
    sendQueued();
    return true;
}

void CQXAPI::forgetRequestInFlight() {
    if (inFlight_) gTimerFunctions->Active_SockTimeout = false;  // its time-out goes with it
    inFlight_.reset();
    apiEndTag.clear();
}

void CQXAPI::dropRequests() {
    pendingRequests_.clear();
    forgetRequestInFlight();
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
        if (connecting_) {  // a connection is being made further up: wait for it
            connected = waitForConnect();
            return;
        }
        const FlagScope connecting(connecting_);
        const ServiceHost server = parseServiceHost(apiHost);
        for (;;) {
            const uint64_t closings = closings_;
            QXSock.CloseSck();
            QXSock.Connect(server.name, server.port);
            if (waitForConnect()) {
                connectionAnswered_ = false;
                connected = true;
                return;
            }
            // A handler closed the connection meanwhile; start again only for
            // requests it left waiting.
            if (closings_ == closings || pendingRequests_.empty()) return;
        }
    });
    return connected;
}

bool CQXAPI::waitForConnect() {
    // The system's own limits on a lookup and a connect can run to minutes;
    // a connection not made in the downloader's time counts as failed. That
    // time outlasts the system's connect attempts on a line that loses the
    // first handshakes (about 21 seconds), so a slow line still gets through.
    const uint64_t deadline = GetTickCount64() + static_cast<uint64_t>(CDownload::Limits{}.connect.count());
    const uint64_t closings = closings_;
    for (;;) {
        const SocketState state = QXSock.State();
        if (state == StateConnected) return true;
        if (closings_ != closings) return false;
        if (state == StateError || state == StateClosed || GetTickCount64() > deadline) {
            QXSock.CloseSck();  // a lookup or connect given up ends here
            connectionFailed();
            return false;
        }
        // The socket's notifications arrive as window messages.
        if (!waitThenDoEvents(250)) return false;
    }
}

void CQXAPI::QXSock_DataArrival(int32_t) {
    const FlagScope exchange = exchangeOf(inFlightIsMembers());
    // Bytes that cannot be framed are the reply's trouble, as an unreadable one's.
    runTrappedTelling(L"QXSock_DataArrival", kModule, [this] { return tellOfTrouble(); }, [&] { frameReply(); });
}

void CQXAPI::QXSock_CloseSck() {
    const FlagScope exchange = exchangeOf(inFlightIsMembers());
    runTrapped(L"QXSock_CloseSck", kModule, [&] {
        if (!inFlight_ || !gTimerFunctions->Active_SockTimeout) return;
        if (resendUnanswered()) return;
        // A reply of one line that is no whole document has ended with its
        // connection: it is no reply of the service's, which writes more.
        if (replyIsOneLine_) {
            refuseReply();
            return;
        }
        // The service ended the connection before the whole reply: nothing more
        // can come, so the request ends now as its time-out would end it.
        forgetRequestInFlight();
        apiSetNetworkOutage();
        sendQueued();
    });
}

void CQXAPI::frameReply() {
    // Data ends an outage; only the whole reply ends its request's time-out.
    apiNetworkOutage = false;
    if (!inFlight_) {
        dropUnaskedBytes();
        return;
    }
    replyBegun_ = true;
    if (replyTooSlow()) return;

    if (QXSock.BytesReceived() > kLargestReply) {
        refuseReply();  // no reply of the service is this long
        return;
    }

    std::wstring text;
    QXSock.PeekData(text);
    if (httpHeadLength(std::wstring_view(text)) == std::wstring::npos) {
        // Not judged yet: the tail of the reply just taken (its last line end
        // can come on its own), or a header still on its way.
        if (isBlank(text)) {
            dropUnreadReply();
            return;
        }
        if (couldStartHeader(text)) return;
    }
    const bool fromService = validateHTMLHeader(text);
    if (!fromService) APIForeignResponse();
    const size_t start = rootStart(text);
    if (start == std::wstring::npos) return;  // wait for more
    frameDocument(std::wstring_view(text).substr(start), fromService);
}

// The reply is whole when its root element has closed, by its own end tag or
// as an empty element, with nothing after it but white space, comments and
// processing instructions, however its lines are laid out.
void CQXAPI::frameDocument(std::wstring_view document, bool fromService) {
    // The outline reads the whole document: only when it may have ended, not
    // at every piece of a long reply.
    const XmlOutline outline = endsAtTag(document) ? outlineXml(document) : XmlOutline{};
    const size_t lineEnd = document.find(L'\n');
    if (lineEnd == std::wstring_view::npos && !outline.rootClosed) return;  // the start tag's line is still on its way
    if (apiEndTag.empty()) apiEndTag = endTagFor(withoutTrailingBlanks(document.substr(0, lineEnd)));

    const bool rootStartsIt = document[0] == L'<';
    const bool ownEnd = outline.rootClosed && closesOwnRoot(outline.rootClosingTag, apiEndTag) &&
                        !outline.documentTypeInProlog;
    if (rootStartsIt && ownEnd && outline.whole()) {
        completeReply();
        return;
    }
    // The service's reply that can no longer grow into a document it writes
    // ends its request now: text where the root should start, a root closed by
    // another name's end tag or behind a document type, more after the root.
    // A stranger's page (a gateway's) ends with its connection, as the
    // network's failure it is.
    replyIsOneLine_ = fromService && lineEnd != std::wstring_view::npos && isBlank(document.substr(lineEnd));
    if (fromService && (!rootStartsIt || (outline.rootClosed && (!ownEnd || outline.strayAfterRoot)))) refuseReply();
}

void CQXAPI::refuseReply() {
    const bool login = inFlight_ && inFlight_->login;
    forgetRequestInFlight();
    QXSock.CloseSck();  // the rest of it, still on its way, is never read
    APIUnexpectedResponse();
    if (login) loginEndedWithoutSession();
    sendQueued();
}

void CQXAPI::dropUnaskedBytes() {
    // Nothing is asked on this connection: what comes is no one's reply, from
    // a server out of step with its requests. Only the last line end of the
    // reply just taken may come on its own.
    std::wstring text;
    QXSock.PeekData(text);
    const bool tailOfLastReply = isBlank(text);
    dropUnreadReply();
    if (!tailOfLastReply) QXSock.CloseSck();  // the next request starts afresh
}

void CQXAPI::completeReply() {
    const bool login = inFlight_ && inFlight_->login;
    const bool galleryList = inFlight_ && inFlight_->galleries;
    const uint64_t troublesBefore = troublesAtRequest_;  // the framing's count too
    forgetRequestInFlight();  // answered
    std::wstring reply;
    QXSock.GetData(reply);
    const bool keepConnection = asksToKeepConnection(reply);
    const bool fromService = validateHTMLHeader(reply);
    if (!fromService) APIForeignResponse();
    // HTTP/1.0: the service ends the connection after its reply unless it said
    // it keeps it. The next request then starts on a new one rather than being
    // written into one that is closing.
    if (keepConnection) {
        connectionAnswered_ = true;
    } else {
        QXSock.CloseSck();
    }
    ParseXML(documentText(reply));
    if (galleryList) ui::galleryRequestEnded();
    // The service answers as itself again, and was understood: the rotation
    // goes on where it stood.
    if (fromService && troubles_ == troublesBefore) endEpisode();
    askAgainInEpisode();  // a login this reply accepted
    if (login) loginEndedWithoutSession();
    sendQueued();
}

}  // namespace vorlane
