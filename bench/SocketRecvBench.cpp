// Receiving throughput of the socket object over loopback: 256 MB taken with
// GetData in a DataArrival handler, beside a plain blocking recv loop on the
// same runtime (the floor it allows). Prints "NAME VALUE UNIT" lines.
#include <windows.h>
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "socket/CSocketMaster.h"

using namespace vorlane;

namespace {

constexpr size_t kTotal = size_t{256} << 20;
constexpr size_t kPiece = 64 * 1024;
constexpr int kRounds = 3;

using Clock = std::chrono::steady_clock;

// A loopback listener that sends kTotal bytes to each caller and closes.
class Source {
public:
    Source() {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 5);
    }
    ~Source() {
        if (thread_.joinable()) thread_.join();
        closesocket(listener_);
    }

    int port() const { return port_; }

    void serveOne() {
        if (thread_.joinable()) thread_.join();
        thread_ = std::thread([this] {
            const SOCKET peer = accept(listener_, nullptr, nullptr);
            std::vector<char> piece(kPiece);
            for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>(i % 251);
            for (size_t sent = 0; sent < kTotal;) {
                const int n = send(peer, piece.data(), static_cast<int>(std::min(kPiece, kTotal - sent)), 0);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            closesocket(peer);
        });
    }

private:
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Plain blocking receive loop; answers the seconds taken, or -1 when bytes went missing.
double plainRound(Source& source) {
    source.serveOne();
    const auto start = Clock::now();
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(source.port()));
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    // Each call asks for the socket's receive buffer size, as the socket object does.
    int bufferSize = 0;
    int length = sizeof bufferSize;
    getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&bufferSize), &length);
    std::vector<char> buffer(static_cast<size_t>(std::max(bufferSize, 4096)));
    size_t received = 0;
    for (;;) {
        const int n = recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n <= 0) break;
        received += static_cast<size_t>(n);
    }
    const double taken = seconds(Clock::now() - start);
    closesocket(s);
    return received == kTotal ? taken : -1;
}

// The socket object, driven by this thread's message loop.
double socketRound(Source& source) {
    source.serveOne();
    const auto start = Clock::now();
    CSocketMaster sock;
    size_t received = 0;
    bool closed = false;
    ByteArray piece;
    sock.events.DataArrival = [&](int32_t) {
        sock.GetData(piece);
        received += piece.size();
    };
    sock.events.CloseSck = [&] { closed = true; };
    sock.events.Error = [&](auto&&...) { closed = true; };
    sock.Connect(L"127.0.0.1", source.port());
    MSG msg;
    while (!closed && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    const double taken = seconds(Clock::now() - start);
    return received == kTotal ? taken : -1;
}

// Best time of each kind, the rounds taken in turn so that both see the same
// conditions; -1 when bytes went missing.
std::pair<double, double> bestTimes(Source& source) {
    double plain = -1, layered = -1;
    for (int i = 0; i < kRounds; ++i) {
        const double p = plainRound(source);
        const double l = socketRound(source);
        if (p < 0 || l < 0) return {-1, -1};
        plain = plain < 0 ? p : std::min(plain, p);
        layered = layered < 0 ? l : std::min(layered, l);
    }
    return {plain, layered};
}

}  // namespace

int main() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    Source source;
    const double megabytes = static_cast<double>(kTotal) / (1 << 20);
    const auto [plain, layered] = bestTimes(source);
    if (plain <= 0 || layered <= 0) {
        std::fprintf(stderr, "bytes went missing\n");
        return 1;
    }
    const double socketMbps = megabytes / layered;
    const double plainMbps = megabytes / plain;
    std::printf("socket_recv_mbps %.1f MB/s\n", socketMbps);
    std::printf("plain_recv_mbps %.1f MB/s\n", plainMbps);
    std::printf("socket_recv_ratio %.3f ratio\n", socketMbps / plainMbps);
    WSACleanup();
    return 0;
}
