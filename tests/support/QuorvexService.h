// The local stand-in of the Quorvex service, as a test sees it: an instance of
// the test's own (spawned from the one the test run started), with its faults,
// its request log and its update archive under the test's control.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlane::test {

struct LoggedRequest {
    int sequence = 0;
    int connection = 0;  // equal numbers: the same TCP connection
    std::string fault;   // "-" when none was applied
    std::string head;    // the request head exactly as sent
    std::string requestLine() const { return head.substr(0, head.find("\r\n")); }
};

class QuorvexService {
public:
    explicit QuorvexService(bool keepAlive = false);
    ~QuorvexService();
    QuorvexService(const QuorvexService&) = delete;
    QuorvexService& operator=(const QuorvexService&) = delete;

    uint16_t port() const { return port_; }
    std::wstring address() const;  // "127.0.0.1:port", as VORLANE_SERVICE takes it
    std::string host() const;      // the same, narrow

    // Arms a fault for the following matching requests: params as a query
    // tail, for example "&scope=dl&count=2".
    void fault(const std::string& name, const std::string& params = "");
    void reset();
    std::vector<LoggedRequest> log();

    // Sets the update archive the service publishes, and optionally the digest
    // its .md5 file carries.
    void setUpdate(const std::string& name, const std::string& archive, const std::string& md5 = "");

    // One control request ("/_control/...") on this instance; returns the body.
    std::string control(const std::string& target, const std::string& postBody = "", bool post = false);

private:
    uint16_t port_ = 0;
};

// A raw HTTP/1.0 exchange over a plain blocking socket: sends request, returns
// every byte until the server closes.
std::string httpExchange(uint16_t port, const std::string& request);

}  // namespace vorlane::test
