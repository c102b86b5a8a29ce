// A test's own instance of the service stand-in: its faults, requests and update archive.
#include "tests/support/QuorvexService.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <fstream>
#include <stdexcept>

namespace vorlane::test {

namespace {

struct WinsockSession {
    WinsockSession() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    }
    ~WinsockSession() { WSACleanup(); }
};

uint16_t runServicePort() {
    std::ifstream file(QUORVEX_STATE_DIR "/port");
    int port = 0;
    if (!(file >> port) || port <= 0 || port > 65535)
        throw std::runtime_error("the stand-in service is not running (no port file in " QUORVEX_STATE_DIR ")");
    return static_cast<uint16_t>(port);
}

std::string bodyOf(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    if (end == std::string::npos) throw std::runtime_error("control reply without a header end");
    if (reply.compare(0, 12, "HTTP/1.0 200") != 0) throw std::runtime_error("control request refused: " + reply);
    return reply.substr(end + 4);
}

int numberAfter(const std::string& json, const std::string& key) {
    const size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) throw std::runtime_error("no " + key + " in " + json);
    return std::stoi(json.substr(at + key.size() + 3));
}

}  // namespace

std::string httpExchange(uint16_t port, const std::string& request) {
    WinsockSession winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    DWORD timeout = 20000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
        char chunk[65536];
        int n;
        while ((n = recv(s, chunk, sizeof chunk, 0)) > 0) reply.append(chunk, static_cast<size_t>(n));
    }
    closesocket(s);
    if (reply.empty()) throw std::runtime_error("no answer from the stand-in service");
    return reply;
}

QuorvexService::QuorvexService(bool keepAlive) {
    const std::string target = std::string("/_control/spawn") + (keepAlive ? "?keepalive=1" : "");
    const std::string answer = bodyOf(httpExchange(runServicePort(), "GET " + target + " HTTP/1.0\r\n\r\n"));
    port_ = static_cast<uint16_t>(numberAfter(answer, "port"));
}

QuorvexService::~QuorvexService() {
    try {
        control("/_control/shutdown");
    } catch (...) {
    }
}

std::wstring QuorvexService::address() const { return L"127.0.0.1:" + std::to_wstring(port_); }
std::string QuorvexService::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string QuorvexService::control(const std::string& target, const std::string& postBody, bool post) {
    std::string request = (post ? "POST " : "GET ") + target + " HTTP/1.0\r\n";
    if (post) request += "Content-Length: " + std::to_string(postBody.size()) + "\r\n";
    request += "\r\n" + postBody;
    return bodyOf(httpExchange(port_, request));
}

void QuorvexService::fault(const std::string& name, const std::string& params) {
    control("/_control/fault?name=" + name + params);
}

void QuorvexService::reset() { control("/_control/reset"); }

std::vector<LoggedRequest> QuorvexService::log() {
    const std::string raw = control("/_control/log?format=raw");
    std::vector<LoggedRequest> requests;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\x1e', start);
        if (end == std::string::npos) end = raw.size();
        const std::string record = raw.substr(start, end - start);
        const size_t lineEnd = record.find('\n');
        LoggedRequest request;
        char fault[64] = {};
        if (lineEnd != std::string::npos &&
            sscanf(record.substr(0, lineEnd).c_str(), "%d %d %63s", &request.sequence, &request.connection, fault) == 3) {
            request.fault = fault;
            request.head = record.substr(lineEnd + 1);
            requests.push_back(std::move(request));
        }
        start = end + 1;
    }
    return requests;
}

void QuorvexService::setUpdate(const std::string& name, const std::string& archive, const std::string& md5) {
    std::string target = "/_control/update?name=" + name;
    if (!md5.empty()) target += "&md5=" + md5;
    control(target, archive, true);
}

}  // namespace vorlane::test
