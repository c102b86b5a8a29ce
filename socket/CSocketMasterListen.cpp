// CSocketMaster: binding, listening, and handing accepted connections over.
#include <memory>
#include <tuple>

#include "core/RuntimeError.h"
#include "socket/CSocketMaster.h"
#include "socket/SocketErrorNumbers.h"

namespace vorlane {

namespace {

// Closes a just-accepted connection that no handler took over.
class CloseUnclaimed {
public:
    explicit CloseUnclaimed(SOCKET socket) : socket_(socket) {}
    ~CloseUnclaimed() {
        if (!IsAcceptHelperHeld(socket_)) return;
        closesocket(socket_);
        UnregisterSocket(socket_);
        try {
            UnregisterAcceptHelper(socket_);
        } catch (const RuntimeError&) {
        }
    }
    CloseUnclaimed(const CloseUnclaimed&) = delete;
    CloseUnclaimed& operator=(const CloseUnclaimed&) = delete;

private:
    SOCKET socket_;
};

}  // namespace

void CSocketMaster::Bind(std::optional<int32_t> localPort, std::optional<std::wstring> localIP) {
    requireClosedState(L"Bind");
    if (BindInternal(localPort, localIP.value_or(std::wstring()))) state_ = StateOpen;
}

void CSocketMaster::Listen() {
    if (state_ != StateClosed && state_ != StateOpen)
        vorlane::raiseError(sockerr::InvalidOperation, sockerr::InvalidOperationText, sourceOf(L"Listen"));
    if (!SocketExists()) return;
    if (!BindInternal(std::nullopt, std::wstring())) return;
    if (listen(socket_.get(), 5) != 0) raiseWinsockError(WSAGetLastError(), sourceOf(L"Listen"));
    state_ = StateListening;
}

void CSocketMaster::OnAcceptable() {
    if (state_ != StateListening) return;
    const std::weak_ptr<const char> alive = life_;
    try {
        AcceptConnection();
    } catch (...) {
        // One caller's connection failed: its owner is told, and the listener
        // goes on listening for the next caller.
        if (alive.expired()) return;
        const RuntimeError failure = errorInFlight(L"PostSocket");
        raiseErrorEvent(failure.number(), failure.description(), failure.source());
    }
}

void CSocketMaster::AcceptConnection() {
    sockaddr_in caller{};
    int length = sizeof caller;
    const SOCKET accepted = accept(socket_.get(), reinterpret_cast<sockaddr*>(&caller), &length);
    if (accepted == INVALID_SOCKET) {
        const int32_t code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK) return;  // the caller has gone already: nothing to take
        raiseWinsockError(code, sourceOf(L"PostSocket"));
    }
    try {
        RegisterAcceptHelper(accepted);
    } catch (...) {
        closesocket(accepted);
        throw;
    }
    const CloseUnclaimed closeUnclaimed(accepted);

    // While the event runs, the listener's remote end describes the caller;
    // afterwards it is put back, also when the handler failed.
    struct RemoteEndKept {
        CSocketMaster& listener;
        std::weak_ptr<const char> alive;
        std::tuple<int32_t, std::wstring, std::wstring> kept;
        ~RemoteEndKept() {
            if (alive.expired() || listener.state_ != StateListening) return;
            std::tie(listener.remotePort_, listener.remoteHostIP_, listener.remoteHost_) = std::move(kept);
        }
    } remoteEndKept{*this, life_, {remotePort_, remoteHostIP_, remoteHost_}};
    QueryRemoteInfo(accepted);
    raise(events.ConnectionRequest, accepted);
}

void CSocketMaster::Accept(SOCKET requestID) {
    requireClosedState(L"Accept");
    const wchar_t* const member = L"Accept";
    const bool helperHeld = IsAcceptHelperHeld(requestID);
    // A connection routed to an object other than its helper has been taken
    // over already; it is not this object's to adopt.
    if (!helperHeld && IsSocketRegistered(requestID))
        vorlane::raiseError(sockerr::WrongState, sockerr::WrongStateText, sourceOf(member));
    // A failed Bind, Listen or Connect can leave a socket here: its route goes
    // with it, or the next socket given its handle could not be registered.
    DestroySocket();

    protocol_ = ProtocolTCP;
    ProcessOptions(requestID);
    socket_.reset(requestID);

    if (!helperHeld) {
        // This object becomes the helper that holds the connection until an
        // owner takes it. The connection already carries the listener's
        // notification selection.
        acceptHelper_ = true;
        state_ = StateConnected;
        try {
            RegisterSocket(requestID, this, false);
        } catch (...) {
            socket_.release();
            acceptHelper_ = false;
            state_ = StateClosed;
            throw;
        }
        return;
    }

    const std::shared_ptr<CSocketMaster> helper = GetAcceptHelper(requestID);
    UnregisterAcceptHelper(requestID);
    ChangeOwner(requestID, this);

    sockaddr_in local{};
    int length = sizeof local;
    if (getsockname(requestID, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        raiseWinsockError(WSAGetLastError(), sourceOf(member));
    boundPort_ = ShortToPort(static_cast<int16_t>(ntohs(local.sin_port)));
    localIP_ = StringFromPointer(inet_ntoa(local.sin_addr));
    QueryRemoteInfo(requestID);
    state_ = StateConnected;

    // Replay what the helper received and noticed before the hand-over.
    if (!helper->recvBuffer_.empty()) {
        recvBuffer_.append(helper->recvBuffer_.front(helper->recvBuffer_.size()));
        helper->recvBuffer_.clear();
    }
    if (!recvBuffer_.empty() && !raise(events.DataArrival, static_cast<int32_t>(recvBuffer_.size()))) return;
    if (helper->heldFailure_ && state_ == StateConnected) {
        const RuntimeError& failure = *helper->heldFailure_;
        raiseError(failure.number(), failure.description(), failure.source());
    } else if (helper->state_ == StateClosing && state_ == StateConnected) {
        state_ = StateClosing;
        raise(events.CloseSck);
    }
}

bool CSocketMaster::QueryRemoteInfo(SOCKET socket) {
    sockaddr_in peer{};
    int length = sizeof peer;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
        remotePort_ = 0;
        remoteHostIP_.clear();
        remoteHost_.clear();
        return false;
    }
    ReadSockAddr(peer);
    return true;
}

void CSocketMaster::ReadSockAddr(const sockaddr_in& address) {
    remotePort_ = ShortToPort(static_cast<int16_t>(ntohs(address.sin_port)));
    remoteHostIP_ = StringFromPointer(inet_ntoa(address.sin_addr));
    remoteHost_.clear();
}

}  // namespace vorlane
