// CSocketMaster: the send and receive buffers, typed values and socket options.
#include <algorithm>
#include <climits>

#include "core/Ansi.h"
#include "core/RuntimeError.h"
#include "socket/CSocketMaster.h"
#include "socket/SocketErrorNumbers.h"
#include "socket/ValueBytes.h"

namespace vorlane {

namespace {

// A buffer size the system reports as tiny or zero must not stall a transfer.
constexpr size_t kSmallestChunk = 4096;

// Event arguments are 32-bit; a count beyond that range reads as its largest value.
int32_t count32(size_t count) { return static_cast<int32_t>(std::min<size_t>(count, INT32_MAX)); }

}  // namespace

// --- Options ----------------------------------------------------------------

void CSocketMaster::ProcessOptions(SOCKET socket) {
    auto readOption = [&](int option) {
        int value = 0;
        int length = sizeof value;
        if (getsockopt(socket, SOL_SOCKET, option, reinterpret_cast<char*>(&value), &length) != 0)
            raiseWinsockError(WSAGetLastError(), sourceOf(L"ProcessOptions"));
        return std::max(static_cast<size_t>(std::max(value, 0)), kSmallestChunk);
    };
    if (protocol_ != ProtocolTCP) {
        const BOOL broadcast = TRUE;
        setsockopt(socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                   sizeof broadcast);
        recvChunkSize_ = sendChunkSize_ = readOption(SO_MAX_MSG_SIZE);
    } else {
        recvChunkSize_ = readOption(SO_RCVBUF);
        sendChunkSize_ = readOption(SO_SNDBUF);
    }
}

// --- Sending ----------------------------------------------------------------

void CSocketMaster::SendData(const SocketValue& data) {
    const std::wstring source = sourceOf(L"SendData");
    if (isUdp()) {
        if (!SocketExists()) return;
        if (!BindInternal(std::nullopt, kAnyAddress)) return;
        state_ = StateOpen;
    } else if (state_ != StateConnected) {
        vorlane::raiseError(sockerr::WrongState, sockerr::WrongStateText, source);
    }

    const bool wasEmpty = sendBuffer_.empty();
    if (const ByteArray* bytes = std::get_if<ByteArray>(&data)) {
        if (bytes->empty()) return;
        sendBuffer_.append(*bytes);
    } else {
        const std::optional<ByteArray> converted = valueBytes(data);
        if (!converted) vorlane::raiseError(sockerr::UnsupportedType, sockerr::UnsupportedTypeText, source);
        if (converted->empty()) return;
        sendBuffer_.append(*converted);
    }
    // A drain that met a full socket resumes with the write notification; the
    // bytes just join its queue.
    if (wasEmpty) FlushSendBuffer();
}

void CSocketMaster::FlushSendBuffer() {
    if (isUdp()) {
        SendBufferedDataUDP();
    } else {
        SendBufferedData();
    }
}

void CSocketMaster::SendBufferedData() {
    const uint64_t drain = ++drainsStarted_;
    size_t sent = 0;
    while (!sendBuffer_.empty()) {
        const size_t chunk = std::min({sendBuffer_.size(), sendChunkSize_, size_t{INT_MAX}});
        const auto piece = sendBuffer_.front(chunk);
        const int accepted = send(socket_.get(), reinterpret_cast<const char*>(piece.data()), int(chunk), 0);
        if (accepted == SOCKET_ERROR) {
            const int32_t code = WSAGetLastError();
            if (code != WSAEWOULDBLOCK) {
                reportWinsockError(code, L"SendBufferedData");
            } else if (sent > 0) {
                raise(events.SendProgress, count32(sent), count32(sendBuffer_.size()));
            }
            return;
        }
        sent += static_cast<size_t>(accepted);
        sendBuffer_.drop(static_cast<size_t>(accepted));
    }
    if (!raise(events.SendProgress, count32(sent), 0)) return;
    // A handler that sent more started a drain of its own, which tells of its
    // completion itself: this one's would come early, or twice.
    if (drain == drainsStarted_ && sendBuffer_.empty()) raise(events.SendComplete);
}

void CSocketMaster::SendBufferedDataUDP() {
    const std::wstring source = sourceOf(L"SendBufferedDataUDP");
    const HostAddress destination = ResolveHostBlocking(remoteHost_);
    if (destination.error != 0) {
        sendBuffer_.clear();
        if (destination.error == WSAEAFNOSUPPORT) raiseWinsockError(destination.error, source);
        vorlane::raiseError(sockerr::BadArgument, sockerr::InvalidArgumentText, source);
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(PortToShort(remotePort_)));
    peer.sin_addr.s_addr = destination.address;

    const auto whole = sendBuffer_.front(sendBuffer_.size());
    const ByteArray datagram(whole.begin(), whole.end());
    sendBuffer_.clear();
    if (sendto(socket_.get(), reinterpret_cast<const char*>(datagram.data()), int(datagram.size()), 0,
               reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR)
        reportWinsockError(WSAGetLastError(), L"SendBufferedDataUDP");
}

// --- Receiving --------------------------------------------------------------

// Reads what one receive call gives into the receive buffer. Answers the bytes
// read; 0 when nothing was waiting (a notification already dealt with) or the
// peer has closed; -1 after a failure has been reported.
int64_t CSocketMaster::RecvDataToBuffer() {
    const size_t chunk = std::min(recvChunkSize_, size_t{INT_MAX});
    const auto room = recvBuffer_.prepareAppend(chunk);
    const int received = recv(socket_.get(), reinterpret_cast<char*>(room.data()), int(chunk), 0);
    if (received == SOCKET_ERROR) {
        const int32_t code = WSAGetLastError();
        recvBuffer_.commitAppend(0);
        if (code == WSAEWOULDBLOCK) return 0;
        // Nobody waits on a call here: the owner learns of the failure through
        // the Error event, as of any other lost connection.
        reportWinsockError(code, L"RecvDataToBuffer");
        return -1;
    }
    recvBuffer_.commitAppend(static_cast<size_t>(received));
    return received;
}

void CSocketMaster::OnReadable() {
    if (isUdp()) {
        if (state_ != StateOpen) return;
        const int32_t waiting = PendingDatagramBytes();
        const uint64_t removedBefore = datagramsRemoved_;
        if (waiting > 0 && !raise(events.DataArrival, waiting)) return;
        // A datagram the handler left unread is dropped, so the next one can
        // be announced; one the handler did read leaves the queue as it is.
        if (state_ == StateOpen && datagramsRemoved_ == removedBefore) DiscardDatagram();
        return;
    }
    if (state_ != StateConnected) return;
    if (RecvDataToBuffer() > 0) raise(events.DataArrival, count32(recvBuffer_.size()));
}

int32_t CSocketMaster::BytesReceived() const {
    return isUdp() ? PendingDatagramBytes() : count32(recvBuffer_.size());
}

int32_t CSocketMaster::PendingDatagramBytes() const {
    u_long waiting = 0;
    if (ioctlsocket(socket_.get(), FIONREAD, &waiting) != 0) return 0;
    return count32(waiting);
}

void CSocketMaster::DiscardDatagram() {
    char first;
    recv(socket_.get(), &first, 1, 0);
    ++datagramsRemoved_;
}

int32_t CSocketMaster::GetData(SocketValue& data, VarType varType, std::optional<int32_t> maxLen) {
    return ReadGate(data, false, varType, maxLen);
}

int32_t CSocketMaster::PeekData(SocketValue& data, VarType varType, std::optional<int32_t> maxLen) {
    return ReadGate(data, true, varType, maxLen);
}

int32_t CSocketMaster::ReadGate(SocketValue& data, bool peek, VarType varType,
                                std::optional<int32_t> maxLen) {
    const std::wstring source = sourceOf(peek ? L"PeekData" : L"GetData");
    if (isUdp()) {
        if (state_ != StateOpen) vorlane::raiseError(sockerr::WrongState, sockerr::WrongStateText, source);
        if (PendingDatagramBytes() == 0) return 0;
    } else {
        // A helper holding an accepted connection hands its data over in any state.
        const bool readable = state_ == StateConnected || (!peek && acceptHelper_);
        if (!readable) vorlane::raiseError(sockerr::WrongState, sockerr::WrongStateText, source);
    }
    if (maxLen && *maxLen < 0) vorlane::raiseError(sockerr::BadArgument, sockerr::BadArgumentText, source);
    return RecvData(data, peek, varType, maxLen);
}

int32_t CSocketMaster::RecvData(SocketValue& data, bool peek, VarType varType,
                                std::optional<int32_t> maxLen) {
    const size_t available = isUdp() ? static_cast<size_t>(PendingDatagramBytes()) : recvBuffer_.size();
    VarType type = varTypeOf(data);
    if (type == VarType::Empty) type = varType != VarType::Empty ? varType : VarType::Bytes;

    int32_t error = 0;
    size_t taken = 0;
    if (type == VarType::String || type == VarType::Bytes) {
        ByteArray bytes;
        if (std::holds_alternative<ByteArray>(data)) bytes = std::move(std::get<ByteArray>(data));
        bytes.clear();
        if (available == 0 || (maxLen && *maxLen == 0)) {
            // Nothing to take: the variable becomes empty.
            if (type == VarType::String) {
                data = std::wstring();
            } else {
                data = std::move(bytes);
            }
            if (!maxLen || !isUdp()) return 0;
            DiscardDatagram();
            raiseWinsockError(WSAEMSGSIZE, sourceOf(L"RecvData"));
        }
        TakeReceivedBytes(bytes, maxLen ? std::min(available, static_cast<size_t>(*maxLen)) : available, peek,
                          error);
        taken = bytes.size();
        if (type == VarType::String) {
            data = fromAnsi(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        } else {
            data = std::move(bytes);
        }
    } else {
        const size_t size = fixedSizeOf(type);
        if (size == 0)
            vorlane::raiseError(sockerr::UnsupportedType, sockerr::UnsupportedTypeText,
                                sourceOf(L"RecvData"));
        if (available < size) return 0;  // not enough yet: nothing taken, the variable as it was
        ByteArray bytes;
        TakeReceivedBytes(bytes, size, peek, error);
        // A datagram shorter than the value holds none of it: the variable
        // stays as it was.
        if (bytes.size() == size) {
            data = valueFromBytes(type, bytes);
            taken = size;
        }
    }
    if (error != 0) raiseWinsockError(error, sourceOf(L"RecvData"));
    return count32(taken);
}

void CSocketMaster::TakeReceivedBytes(ByteArray& bytes, size_t count, bool peek, int32_t& error) {
    if (!isUdp()) {
        const auto front = recvBuffer_.front(count);
        bytes.assign(front.begin(), front.end());
        if (!peek) recvBuffer_.drop(count);
        return;
    }
    // One datagram, read into at most count bytes: only the bytes it held are
    // handed over, however many the queue was said to hold. Its sender becomes
    // the remote end.
    bytes.assign(std::min(count, size_t{INT_MAX}), 0);
    sockaddr_in sender{};
    int length = sizeof sender;
    const int received = recvfrom(socket_.get(), reinterpret_cast<char*>(bytes.data()), int(bytes.size()),
                                  peek ? MSG_PEEK : 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (received == SOCKET_ERROR) {
        error = WSAGetLastError();
        // A datagram longer than the buffer fills it; any other failure gives nothing.
        if (error != WSAEMSGSIZE) bytes.clear();
    } else {
        bytes.resize(static_cast<size_t>(received));
    }
    if (!peek) ++datagramsRemoved_;
    ReadSockAddr(sender);
}

}  // namespace vorlane
