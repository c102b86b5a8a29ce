// CSocketMaster: one TCP or UDP socket, non-blocking and driven by window
// messages, that reports what happens on it to its owner through events.
//
// Events are public function slots grouped in `events`, so that an owner of two
// sockets keeps them apart and names its handlers after the socket:
//
//     QXSock.events.DataArrival = [this](int32_t bytesTotal) { QXSock_DataArrival(bytesTotal); };
//     QXSock.events.Error = [this](auto&&... e) { QXSock_Error(e...); };
//
// An event is raised synchronously from inside the object: from the member the
// owner called (SendData raises SendProgress and SendComplete) or from the
// notification the hidden window's router delivered. A handler may call back
// into the object (GetData in DataArrival, CloseSck in Error), and may even
// destroy it: the object touches nothing of itself after a handler that did so.
// An empty slot means the event is not handled.
//
// Misuse raises a RuntimeError whose source is "CSocketMaster." and the
// member's name; failures that happen while the owner is not waiting on a call
// (a refused connection, a lost one, a failed lookup or send) set the state to
// StateError and raise the Error event with the Winsock number and its text.
// So does any error raised while a notification is handled, one escaping an
// owner's handler included; only a listener whose caller's connection failed
// is told and goes on listening. CloseSck starts the object again from any
// state, with or without a socket.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/RuntimeError.h"
#include "socket/ByteQueue.h"
#include "socket/SocketHandle.h"
#include "socket/SocketValue.h"
#include "socket/modSocketMaster.h"

namespace vorlane {

// The plain value types GetData and PeekData read straight into a variable.
template <class T>
concept SocketScalar = std::same_as<T, bool> || std::same_as<T, uint8_t> || std::same_as<T, int16_t> ||
    std::same_as<T, int32_t> || std::same_as<T, float> || std::same_as<T, double> ||
    std::same_as<T, Currency> || std::same_as<T, OleDate>;

class CSocketMaster final : private SocketMessageTarget {
public:
    struct Events {
        std::function<void()> CloseSck;                           // the peer closed the connection
        std::function<void()> Connect;                            // a connect has completed
        std::function<void(SOCKET requestID)> ConnectionRequest;  // a listener accepted a connection
        std::function<void(int32_t bytesTotal)> DataArrival;      // data is waiting: all of it, in bytes
        // An asynchronous failure. CancelDisplay comes in True; a handler that sets
        // it False has the object show the error in a message box.
        std::function<void(int16_t Number, std::wstring& Description, int32_t sCode,
                           const std::wstring& Source, const std::wstring& HelpFile, int32_t HelpContext,
                           bool& CancelDisplay)>
            Error;
        std::function<void()> SendComplete;  // the send buffer is empty
        // Part of the send buffer went out: bytes sent by this drain, bytes still queued.
        std::function<void(int32_t bytesSent, int32_t bytesRemaining)> SendProgress;
    };
    Events events;

    CSocketMaster();  // starts Winsock with the first object; a failure raises
    ~CSocketMaster();
    CSocketMaster(const CSocketMaster&) = delete;
    CSocketMaster& operator=(const CSocketMaster&) = delete;

    // --- Properties ---
    int32_t RemotePort() const { return remotePort_; }
    void RemotePort(int32_t lngPort);
    const std::wstring& RemoteHost() const { return remoteHost_; }
    void RemoteHost(const std::wstring& strHost);
    const std::wstring& RemoteHostIP() const { return remoteHostIP_; }
    int32_t LocalPort() const { return boundPort_ != 0 ? boundPort_ : requestedLocalPort_; }
    void LocalPort(int32_t lngPort);
    SocketState State() const { return state_; }
    std::wstring LocalHostName() const;
    std::wstring LocalIP() const;
    int32_t BytesReceived() const;
    SOCKET SocketHandle() const { return socket_.get(); }  // INVALID_SOCKET when none
    const std::wstring& Tag() const { return tag_; }
    void Tag(const std::wstring& strTag) { tag_ = strTag; }
    SocketProtocol Protocol() const { return protocol_; }
    void Protocol(SocketProtocol enmProtocol);

    // --- Connection ---
    void CloseSck();
    void Connect(std::optional<std::wstring> remoteHost = std::nullopt,
                 std::optional<int32_t> remotePort = std::nullopt);
    void Bind(std::optional<int32_t> localPort = std::nullopt,
              std::optional<std::wstring> localIP = std::nullopt);
    void Listen();
    void Accept(SOCKET requestID);

    // --- Data ---
    // Queues a value for sending in its byte layout (text as ANSI bytes).
    void SendData(const SocketValue& data);

    // Take (GetData) or copy (PeekData) received data into data. An empty
    // SocketValue is read as varType, or as a byte array when varType is Empty;
    // one that holds a value is read as its own type. Text and byte arrays take
    // everything available, or at most maxLen bytes; a fixed-size value takes
    // its size or, when fewer bytes are waiting, nothing at all. Answers the
    // number of bytes taken.
    int32_t GetData(SocketValue& data, VarType varType = VarType::Empty,
                    std::optional<int32_t> maxLen = std::nullopt);
    int32_t PeekData(SocketValue& data, VarType varType = VarType::Empty,
                     std::optional<int32_t> maxLen = std::nullopt);

    // The same for typed variables: text (ANSI code page), exact bytes, numbers.
    int32_t GetData(std::wstring& text, std::optional<int32_t> maxLen = std::nullopt) {
        return readInto(text, false, maxLen);
    }
    int32_t GetData(ByteArray& bytes, std::optional<int32_t> maxLen = std::nullopt) {
        return readInto(bytes, false, maxLen);
    }
    template <SocketScalar T>
    int32_t GetData(T& value) {
        return readInto(value, false, std::nullopt);
    }

    int32_t PeekData(std::wstring& text, std::optional<int32_t> maxLen = std::nullopt) {
        return readInto(text, true, maxLen);
    }
    int32_t PeekData(ByteArray& bytes, std::optional<int32_t> maxLen = std::nullopt) {
        return readInto(bytes, true, maxLen);
    }
    template <SocketScalar T>
    int32_t PeekData(T& value) {
        return readInto(value, true, std::nullopt);
    }

private:
    struct HostAddress {
        uint32_t address = 0;  // network byte order
        std::wstring dotted;
        int32_t error = 0;  // Winsock error of the lookup, 0 when found
    };

    LRESULT WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Connection (CSocketMaster.cpp)
    bool SocketExists();
    void DestroySocket();
    void PostHostResolved(HANDLE lookup, int32_t error);
    void PostSocket(int32_t event, int32_t error);
    std::optional<RuntimeError> ConnectToIP(uint32_t address,
                                            int32_t error);  // answers what the caller raises
    bool BindInternal(std::optional<int32_t> port, const std::wstring& address);
    std::optional<uint32_t> ResolveIfHostname(const std::wstring& host);
    static HostAddress ResolveHostBlocking(const std::wstring& host);
    void AllocateLookupBuffer();
    void FreeLookupBuffer();
    void CancelPendingLookups();
    static std::wstring GetLocalHostName();
    static std::wstring GetLocalIP();
    int32_t QueryBoundPort() const;
    bool IsBound() const;
    void OnPeerClosed();
    void readPeerAddress();

    // Data path (CSocketMasterData.cpp)
    void FlushSendBuffer();
    void SendBufferedData();
    void SendBufferedDataUDP();
    int64_t RecvDataToBuffer();
    void OnReadable();
    void ProcessOptions(SOCKET socket);
    int32_t ReadGate(SocketValue& data, bool peek, VarType varType, std::optional<int32_t> maxLen);
    int32_t RecvData(SocketValue& data, bool peek, VarType varType, std::optional<int32_t> maxLen);
    void TakeReceivedBytes(ByteArray& bytes, size_t count, bool peek, int32_t& error);
    int32_t PendingDatagramBytes() const;
    void DiscardDatagram();

    // Listening (CSocketMasterListen.cpp)
    void OnAcceptable();
    void AcceptConnection();
    bool QueryRemoteInfo(SOCKET socket);
    void ReadSockAddr(const sockaddr_in& address);

    // Events
    template <class Slot, class... Args>
    bool raise(const Slot& slot, Args&&... args);
    bool raiseError(int32_t number, std::wstring description, const std::wstring& source);
    // The Error event alone, the state left as it is.
    bool raiseErrorEvent(int32_t number, std::wstring description, const std::wstring& source);
    // The exception being handled as an error to report; called inside a catch block.
    static RuntimeError errorInFlight(const wchar_t* member);
    bool reportWinsockError(int32_t code, const wchar_t* member);

    template <class T>
    int32_t readInto(T& target, bool peek, std::optional<int32_t> maxLen);

    // A connect binds its local end to the requested port on every local
    // address, so the system picks the interface that reaches the peer.
    static constexpr const wchar_t* kAnyAddress = L"0.0.0.0";

    bool isUdp() const { return protocol_ == ProtocolUDP; }
    static std::wstring sourceOf(const wchar_t* member) { return std::wstring(L"CSocketMaster.") + member; }
    void requireClosedState(const wchar_t* member) const;

    OwnedSocket socket_;
    SocketState state_ = StateClosed;
    std::wstring tag_;
    std::wstring remoteHost_;
    int32_t remotePort_ = 0;
    std::wstring remoteHostIP_;
    int32_t requestedLocalPort_ = 0;
    int32_t boundPort_ = 0;
    std::wstring localIP_;
    SocketProtocol protocol_ = ProtocolTCP;
    std::shared_ptr<LookupBlock> lookupBlock_;
    size_t sendChunkSize_ = 0;
    size_t recvChunkSize_ = 0;
    ByteQueue sendBuffer_;
    ByteQueue recvBuffer_;
    bool acceptHelper_ = false;
    std::optional<RuntimeError> heldFailure_;  // a helper's failure, for the owner that takes over
    std::vector<HANDLE> pendingLookups_;
    uint64_t drainsStarted_ = 0;     // TCP drains begun, to tell whether a handler started another
    uint64_t datagramsRemoved_ = 0;  // datagrams taken or dropped, to tell whether a handler read one

    // Expires with the object: a handler that destroyed it is noticed by this.
    std::shared_ptr<const char> life_ = std::make_shared<const char>();
};

template <class Slot, class... Args>
bool CSocketMaster::raise(const Slot& slot, Args&&... args) {
    if (!slot) return true;
    const std::weak_ptr<const char> alive = life_;
    const Slot handler = slot;  // the handler may replace the slot, or destroy the object with it
    handler(std::forward<Args>(args)...);
    return !alive.expired();
}

template <class T>
int32_t CSocketMaster::readInto(T& target, bool peek, std::optional<int32_t> maxLen) {
    // A variable that holds a value is read as its own type, so the value
    // comes back as a T; on an error the variable keeps what it held.
    SocketValue value(std::in_place_type<T>, std::move(target));
    struct GiveBack {
        SocketValue& value;
        T& target;
        ~GiveBack() { target = std::get<T>(std::move(value)); }
    } giveBack{value, target};
    return ReadGate(value, peek, VarType::Empty, maxLen);
}

}  // namespace vorlane
