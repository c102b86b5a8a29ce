// Helpers for the socket layer's tests: the message pump, plain Winsock peers and event records.
#include "tests/socket/SocketTestSupport.h"

#include <chrono>

namespace vorlane::test {

namespace {

using Clock = std::chrono::steady_clock;

// A peer gives up waiting in the end, so a failing test cannot hang on it.
void limitWaits(SOCKET s) {
    const DWORD patience = 20000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&patience), sizeof patience);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&patience), sizeof patience);
}

}  // namespace

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (pumpOne())
            if (done()) return true;
        if (done()) return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left, 20)),
                                  QS_ALLINPUT);
    }
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

bool pumpOne() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

WinsockUser::WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

WinsockUser::~WinsockUser() { WSACleanup(); }

namespace {

SOCKET boundLoopbackSocket(int32_t& port) {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

}  // namespace

PlainServer::PlainServer() {
    listener_ = boundLoopbackSocket(port_);
    listen(listener_, 5);
}

PlainServer::~PlainServer() {
    closesocket(listener_);
    join();
}

void PlainServer::serve(std::function<void(SOCKET)> handler) {
    join();
    thread_ = std::thread([this, handler = std::move(handler)] {
        const SOCKET connection = accept(listener_, nullptr, nullptr);
        if (connection == INVALID_SOCKET) return;
        limitWaits(connection);
        handler(connection);
        closesocket(connection);
    });
}

void PlainServer::join() {
    if (thread_.joinable()) thread_.join();
}

RefusingPort::RefusingPort() { socket_ = boundLoopbackSocket(port_); }
RefusingPort::~RefusingPort() { closesocket(socket_); }

SOCKET connectPlain(const char* address, int32_t port) {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    limitWaits(s);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(port));
    peer.sin_addr.s_addr = inet_addr(address);
    if (connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

void sendAll(SOCKET socket, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(socket, bytes.data() + sent,
                           static_cast<int>(std::min<size_t>(bytes.size() - sent, 65536)), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

std::string receiveUntilClosed(SOCKET socket, int pauseMsEvery64k) {
    std::string received;
    char buffer[65536];
    for (;;) {
        const int n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return received;
        received.append(buffer, static_cast<size_t>(n));
        if (pauseMsEvery64k > 0) Sleep(static_cast<DWORD>(pauseMsEvery64k));
    }
}

std::string receiveExactly(SOCKET socket, size_t count) {
    std::string received;
    char buffer[4096];
    while (received.size() < count) {
        const int n =
            recv(socket, buffer, static_cast<int>(std::min(sizeof buffer, count - received.size())), 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

void resetConnection(SOCKET socket) {
    const linger abortive{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
}

std::string patternBytes(size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i + seed) % 251);
    return bytes;
}

ByteArray toBytes(const std::string& bytes) { return ByteArray(bytes.begin(), bytes.end()); }
std::string toString(const ByteArray& bytes) { return std::string(bytes.begin(), bytes.end()); }

void EventLog::attach(CSocketMaster& socket) {
    CSocketMaster* const s = &socket;
    auto add = [this, s](std::wstring line) { records_.push_back({std::move(line), s->State()}); };
    socket.events.CloseSck = [add] { add(L"CloseSck"); };
    socket.events.Connect = [add] { add(L"Connect"); };
    socket.events.ConnectionRequest = [add](SOCKET requestID) {
        add(L"ConnectionRequest " + std::to_wstring(requestID));
    };
    socket.events.DataArrival = [add](int32_t bytesTotal) {
        add(L"DataArrival " + std::to_wstring(bytesTotal));
    };
    socket.events.Error = [add](int16_t number, std::wstring& description, int32_t,
                                const std::wstring& source, const std::wstring&, int32_t, bool&) {
        add(L"Error " + std::to_wstring(number) + L" " + description + L" " + source);
    };
    socket.events.SendComplete = [add] { add(L"SendComplete"); };
    socket.events.SendProgress = [add](int32_t sent, int32_t remaining) {
        add(L"SendProgress " + std::to_wstring(sent) + L" " + std::to_wstring(remaining));
    };
}

Loopback::Loopback(std::function<void(SOCKET)> peer) {
    server.serve(std::move(peer));
    log.attach(sock);
}

bool Loopback::connect() {
    sock.Connect(L"127.0.0.1", server.port());
    const bool connected = pumpUntil([&] { return sock.State() == StateConnected; });
    log.clear();
    return connected;
}

std::vector<std::wstring> EventLog::lines() const {
    std::vector<std::wstring> result;
    for (const auto& record : records_) result.push_back(record.line);
    return result;
}

size_t EventLog::count(const std::wstring& prefix) const {
    size_t n = 0;
    for (const auto& record : records_)
        if (record.line.starts_with(prefix)) ++n;
    return n;
}

}  // namespace vorlane::test
