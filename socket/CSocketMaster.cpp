// CSocketMaster: construction, properties, the connection state machine, host
// resolution, binding and the Error event.
#include "socket/CSocketMaster.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/Ansi.h"
#include "core/RuntimeError.h"
#include "socket/SocketErrorNumbers.h"

namespace vorlane {

namespace {

bool isPort(int32_t value) { return value >= 0 && value <= 65535; }

std::wstring dottedText(in_addr address) { return StringFromPointer(inet_ntoa(address)); }

std::optional<uint32_t> firstAddressOf(const hostent* host) {
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
        !host->h_addr_list[0])
        return std::nullopt;
    uint32_t address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return address;
}

}  // namespace

CSocketMaster::CSocketMaster() { InitiateProcesses(); }

CSocketMaster::~CSocketMaster() {
    CancelPendingLookups();
    if (acceptHelper_) {
        // A helper's connection belongs to whoever takes it over.
        socket_.release();
    } else {
        try {
            DestroySocket();
        } catch (const RuntimeError&) {
        }
    }
    ForgetOwner(this);
    try {
        FinalizeProcesses();
    } catch (const RuntimeError&) {
        // Winsock could not be stopped; nothing more can be done on the way out.
    }
}

// --- Properties -------------------------------------------------------------

void CSocketMaster::requireClosedState(const wchar_t* member) const {
    if (state_ != StateClosed)
        vorlane::raiseError(sockerr::InvalidOperation, sockerr::InvalidOperationText, sourceOf(member));
}

void CSocketMaster::RemotePort(int32_t lngPort) {
    if (!isUdp()) requireClosedState(L"RemotePort");
    if (!isPort(lngPort))
        vorlane::raiseError(sockerr::BadArgument, sockerr::BadArgumentText, sourceOf(L"RemotePort"));
    remotePort_ = lngPort;
}

void CSocketMaster::RemoteHost(const std::wstring& strHost) {
    if (!isUdp()) requireClosedState(L"RemoteHost");
    remoteHost_ = strHost;
}

void CSocketMaster::LocalPort(int32_t lngPort) {
    requireClosedState(L"LocalPort");
    if (!isPort(lngPort))
        vorlane::raiseError(sockerr::BadArgument, sockerr::BadArgumentText, sourceOf(L"LocalPort"));
    requestedLocalPort_ = lngPort;
}

void CSocketMaster::Protocol(SocketProtocol enmProtocol) {
    requireClosedState(L"Protocol");
    // Only the two protocols exist; any other code would be TCP to one member
    // and UDP to another.
    if (enmProtocol != ProtocolTCP && enmProtocol != ProtocolUDP)
        vorlane::raiseError(sockerr::BadArgument, sockerr::BadArgumentText, sourceOf(L"Protocol"));
    // A failed Bind, Listen or Connect can leave a socket of the old protocol
    // here, which every later call would take for one of the new.
    if (enmProtocol != protocol_) DestroySocket();
    protocol_ = enmProtocol;
}

std::wstring CSocketMaster::LocalHostName() const { return GetLocalHostName(); }

std::wstring CSocketMaster::LocalIP() const {
    if (state_ == StateOpen || state_ == StateListening) return localIP_;
    return GetLocalIP();
}

// --- Events -----------------------------------------------------------------

bool CSocketMaster::raiseError(int32_t number, std::wstring description, const std::wstring& source) {
    state_ = StateError;
    // Nobody hears a helper: the owner that takes its connection over is told.
    if (acceptHelper_) heldFailure_.emplace(number, description, source);
    return raiseErrorEvent(number, std::move(description), source);
}

bool CSocketMaster::raiseErrorEvent(int32_t number, std::wstring description, const std::wstring& source) {
    bool cancelDisplay = true;
    const std::wstring helpFile;
    const bool alive =
        raise(events.Error, static_cast<int16_t>(number), description, 0, source, helpFile, 0, cancelDisplay);
    if (!cancelDisplay) MessageBoxW(nullptr, WinsockErrorText(number).c_str(), source.c_str(), MB_OK);
    return alive;
}

bool CSocketMaster::reportWinsockError(int32_t code, const wchar_t* member) {
    return raiseError(code, WinsockErrorText(code), sourceOf(member));
}

// --- Socket creation and destruction ----------------------------------------

namespace {
constexpr int kPreferredReceiveBuffer = 1 << 20;
}  // namespace

bool CSocketMaster::SocketExists() {
    if (socket_) return true;
    const bool udp = protocol_ != ProtocolTCP;
    OwnedSocket created(socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, udp ? IPPROTO_UDP : IPPROTO_TCP));
    if (!created) {
        reportWinsockError(WSAGetLastError(), L"SocketExists");
        return false;
    }
    if (!udp) {
        // A roomier receive buffer than the platform's default: each read
        // notification then moves up to a megabyte, which keeps large downloads
        // from being paced by one window message per small chunk.
        const int receiveBuffer = kPreferredReceiveBuffer;
        setsockopt(created.get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                   sizeof receiveBuffer);
    }
    // A socket that cannot be set up or routed is closed again at once, so the
    // object never holds one that would get no notifications.
    ProcessOptions(created.get());
    RegisterSocket(created.get(), this, true);
    socket_ = std::move(created);
    return true;
}

void CSocketMaster::DestroySocket() {
    if (!socket_) return;
    const SOCKET socket = socket_.get();
    const int32_t code = closesocket(socket) == 0 ? 0 : WSAGetLastError();
    // Only a close that would block leaves a socket that closing again can
    // end. After any other failure the handle is no longer a socket of ours:
    // keeping it would make every later close fail the same way.
    if (code != WSAEWOULDBLOCK) {
        socket_.release();
        UnregisterSocket(socket);
    }
    if (code != 0) {
        state_ = StateError;
        raiseWinsockError(code, sourceOf(L"DestroySocket"));
    }
}

// Also without a socket: a failed socket creation leaves StateError and no
// handle, and closing is how the owner starts again.
void CSocketMaster::CloseSck() {
    CancelPendingLookups();
    DestroySocket();
    boundPort_ = 0;
    remoteHostIP_.clear();
    recvBuffer_.clear();
    sendBuffer_.clear();
    sendChunkSize_ = 0;
    recvChunkSize_ = 0;
    state_ = StateClosed;
}

// --- Connect ----------------------------------------------------------------

void CSocketMaster::Connect(std::optional<std::wstring> remoteHost, std::optional<int32_t> remotePort) {
    requireClosedState(L"Connect");
    if (remoteHost) remoteHost_ = std::move(*remoteHost);
    if (remotePort) {
        if (*remotePort < 1 || *remotePort > 65535)
            vorlane::raiseError(sockerr::BadArgument, sockerr::BadArgumentText, sourceOf(L"Connect"));
        remotePort_ = *remotePort;
    }
    if (!SocketExists()) return;
    if (isUdp()) {
        if (BindInternal(std::nullopt, kAnyAddress)) state_ = StateOpen;
        return;
    }
    if (const std::optional<uint32_t> address = ResolveIfHostname(remoteHost_)) {
        if (std::optional<RuntimeError> failure = ConnectToIP(*address, 0)) throw *failure;
    }
}

std::optional<uint32_t> CSocketMaster::ResolveIfHostname(const std::wstring& host) {
    const std::string ansi = toAnsi(host);
    const unsigned long address = inet_addr(ansi.c_str());
    if (address != INADDR_NONE) return static_cast<uint32_t>(address);

    state_ = StateResolvingHost;
    AllocateLookupBuffer();
    const HANDLE lookup = ResolveHostAsync(host, lookupBlock_, this);
    if (lookup) {
        pendingLookups_.push_back(lookup);
    } else {
        const int32_t code = WSAGetLastError();
        FreeLookupBuffer();
        reportWinsockError(code, L"ResolveIfHostname");
    }
    return std::nullopt;  // the answer comes as a message, or the failure has been reported
}

void CSocketMaster::AllocateLookupBuffer() {
    try {
        lookupBlock_ = std::make_shared<LookupBlock>();
    } catch (const std::bad_alloc&) {
        state_ = StateError;
        vorlane::raiseError(errnum::OutOfMemory, L"Out of memory", sourceOf(L"ResolveIfHostname"));
    }
}

void CSocketMaster::FreeLookupBuffer() { lookupBlock_.reset(); }

void CSocketMaster::CancelPendingLookups() {
    for (HANDLE lookup : pendingLookups_) {
        WSACancelAsyncRequest(lookup);
        UnregisterLookup(lookup);
    }
    pendingLookups_.clear();
    FreeLookupBuffer();
}

void CSocketMaster::PostHostResolved(HANDLE lookup, int32_t error) {
    if (state_ != StateResolvingHost) return;
    std::erase(pendingLookups_, lookup);
    std::optional<uint32_t> address;
    if (error == 0) {
        state_ = StateHostResolved;
        address = firstAddressOf(reinterpret_cast<const hostent*>(lookupBlock_->data()));
        if (!address) error = WSANO_DATA;
    }
    FreeLookupBuffer();
    // Nobody waits on a call here: a failure that a direct connect would raise
    // is told through the Error event, or the owner would wait forever.
    if (std::optional<RuntimeError> failure = ConnectToIP(address.value_or(0), error))
        raiseError(failure->number(), failure->description(), failure->source());
}

std::optional<RuntimeError> CSocketMaster::ConnectToIP(uint32_t address, int32_t error) {
    if (error != 0) {
        reportWinsockError(error, L"ConnectToIP");
        return std::nullopt;
    }
    try {
        // The socket exists already, so binding raises no event of its own.
        if (!BindInternal(std::nullopt, kAnyAddress)) return std::nullopt;
    } catch (const RuntimeError& e) {
        return e;
    }

    state_ = StateConnecting;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(PortToShort(remotePort_)));
    peer.sin_addr.s_addr = address;
    if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return std::nullopt;
    const int32_t code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK) return std::nullopt;  // the connect notification follows
    if (code == WSAEADDRNOTAVAIL) return RuntimeError(code, WinsockErrorText(code), sourceOf(L"ConnectToIP"));
    reportWinsockError(code, L"ConnectToIP");
    return std::nullopt;
}

// --- Binding ----------------------------------------------------------------

bool CSocketMaster::BindInternal(std::optional<int32_t> port, const std::wstring& address) {
    // A socket bound before a failure (a datagram that could not go, a refused
    // listen) is bound still: binding it again would fail every later call
    // that asks for no port of its own.
    if (state_ == StateOpen || (!port && IsBound())) return true;
    const wchar_t* const member = L"BindInternal";
    if (port && !isPort(*port))
        vorlane::raiseError(sockerr::BadArgument, sockerr::BadArgumentText, sourceOf(member));
    const int32_t localPort = port.value_or(requestedLocalPort_);

    const HostAddress local = ResolveHostBlocking(address.empty() ? GetLocalIP() : address);
    if (local.error != 0)
        vorlane::raiseError(sockerr::BadArgument, sockerr::InvalidArgumentText, sourceOf(member));
    if (!SocketExists()) return false;

    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<u_short>(PortToShort(localPort)));
    bound.sin_addr.s_addr = local.address;
    if (bind(socket_.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0)
        raiseWinsockError(WSAGetLastError(), sourceOf(member));

    localIP_ = local.dotted;
    if (localPort == 0) {
        boundPort_ = QueryBoundPort();
    } else {
        requestedLocalPort_ = localPort;
    }
    return true;
}

bool CSocketMaster::IsBound() const {
    if (!socket_) return false;
    sockaddr_in bound{};
    int length = sizeof bound;
    return getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &length) == 0 &&
           bound.sin_port != 0;
}

int32_t CSocketMaster::QueryBoundPort() const {
    sockaddr_in bound{};
    int length = sizeof bound;
    if (getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        raiseWinsockError(WSAGetLastError(), sourceOf(L"BindInternal"));
    return ShortToPort(static_cast<int16_t>(ntohs(bound.sin_port)));
}

CSocketMaster::HostAddress CSocketMaster::ResolveHostBlocking(const std::wstring& host) {
    if (host.empty()) return {1, {}, WSAEAFNOSUPPORT};
    const std::string ansi = toAnsi(host);
    const unsigned long address = inet_addr(ansi.c_str());
    if (address != INADDR_NONE) return {static_cast<uint32_t>(address), host, 0};
    const hostent* entry = gethostbyname(ansi.c_str());
    const std::optional<uint32_t> first = firstAddressOf(entry);
    if (!first) return {1, {}, entry ? WSANO_DATA : WSAGetLastError()};
    in_addr found;
    found.s_addr = *first;
    return {*first, dottedText(found), 0};
}

std::wstring CSocketMaster::GetLocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name) != 0)
        raiseWinsockError(WSAGetLastError(), sourceOf(L"GetLocalHostName"));
    name[sizeof name - 1] = '\0';
    return StringFromPointer(name);
}

std::wstring CSocketMaster::GetLocalIP() {
    const std::string name = toAnsi(GetLocalHostName());
    const hostent* entry = gethostbyname(name.c_str());
    const std::optional<uint32_t> first = firstAddressOf(entry);
    if (!first) raiseWinsockError(entry ? WSANO_DATA : WSAGetLastError(), sourceOf(L"GetLocalIP"));
    in_addr found;
    found.s_addr = *first;
    return dottedText(found);
}

// --- Notifications ----------------------------------------------------------

void CSocketMaster::readPeerAddress() {
    sockaddr_in peer{};
    int length = sizeof peer;
    if (getpeername(socket_.get(), reinterpret_cast<sockaddr*>(&peer), &length) != 0) return;
    remotePort_ = ShortToPort(static_cast<int16_t>(ntohs(peer.sin_port)));
    remoteHostIP_ = dottedText(peer.sin_addr);
}

LRESULT CSocketMaster::WndProc(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const int32_t packed = static_cast<int32_t>(lParam);
    const std::weak_ptr<const char> alive = life_;
    try {
        if (uMsg == RESOLVE_MESSAGE) {
            PostHostResolved(reinterpret_cast<HANDLE>(wParam), HighWord(packed));
        } else if (uMsg == SOCKET_MESSAGE) {
            PostSocket(LowWord(packed), HighWord(packed));
        }
    } catch (...) {
        // Nobody waits on a call here: an error raised while a notification is
        // handled, by a handler of the owner's included, reaches the owner as
        // the Error event.
        if (alive.expired()) return 0;
        const RuntimeError failure =
            errorInFlight(uMsg == RESOLVE_MESSAGE ? L"PostHostResolved" : L"PostSocket");
        raiseError(failure.number(), failure.description(), failure.source());
    }
    return 0;
}

RuntimeError CSocketMaster::errorInFlight(const wchar_t* member) {
    try {
        throw;
    } catch (const RuntimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RuntimeError(errnum::OutOfMemory, standardErrorText(errnum::OutOfMemory), sourceOf(member));
    } catch (...) {
        return RuntimeError(errnum::InternalError, standardErrorText(errnum::InternalError),
                            sourceOf(member));
    }
}

void CSocketMaster::PostSocket(int32_t event, int32_t error) {
    if (error != 0) {
        reportWinsockError(error, L"PostSocket");
        return;
    }
    switch (event) {
        case FD_CONNECT:
            if (state_ != StateConnecting) return;
            readPeerAddress();
            state_ = StateConnected;
            raise(events.Connect);
            return;
        case FD_CLOSE:
            if (state_ == StateConnected) OnPeerClosed();
            return;
        case FD_READ:
            OnReadable();
            return;
        case FD_WRITE:
            if (state_ == StateConnected && !sendBuffer_.empty()) FlushSendBuffer();
            return;
        case FD_ACCEPT:
            OnAcceptable();
            return;
        default:
            return;
    }
}

// The peer's close can be told before everything it sent has been read: read
// and announce the rest first, so nothing it sent is lost at the close.
void CSocketMaster::OnPeerClosed() {
    for (;;) {
        const int64_t read = RecvDataToBuffer();
        if (read < 0) return;  // failure reported
        if (read == 0) break;
        if (!raise(events.DataArrival, static_cast<int32_t>(std::min<size_t>(recvBuffer_.size(), INT32_MAX))))
            return;
        if (state_ != StateConnected) return;  // the handler closed the socket
    }
    state_ = StateClosing;
    raise(events.CloseSck);
}

}  // namespace vorlane
