// Helpers for the socket layer's tests: running this thread's message loop
// until something has happened, plain blocking Winsock peers on threads of
// their own, and a record of a socket object's events.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/RuntimeError.h"
#include "socket/CSocketMaster.h"

namespace vorlane::test {

// Dispatches this thread's messages, asking done() after each, until it
// answers true or timeoutMs has passed; answers whether it did.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Dispatches this thread's messages for ms milliseconds.
void pumpFor(int ms);
// Dispatches at most one message waiting now; answers whether there was one.
bool pumpOne();

// Winsock for the test's own plain sockets, independent of the socket layer.
class WinsockUser {
public:
    WinsockUser();
    ~WinsockUser();
    WinsockUser(const WinsockUser&) = delete;
    WinsockUser& operator=(const WinsockUser&) = delete;
};

// A blocking TCP listener on 127.0.0.1 at a port the system chose. serve()
// accepts one connection on a thread and runs the handler with it; the
// connection is closed after the handler returns. Declare it before the
// socket objects that connect to it, so they close first.
class PlainServer {
public:
    PlainServer();
    ~PlainServer();
    PlainServer(const PlainServer&) = delete;
    PlainServer& operator=(const PlainServer&) = delete;

    int32_t port() const { return port_; }
    void serve(std::function<void(SOCKET)> handler);
    void join();  // waits for the handler to finish

private:
    WinsockUser winsock_;
    SOCKET listener_ = INVALID_SOCKET;
    int32_t port_ = 0;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (held bound, so nobody else takes it).
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    int32_t port() const { return port_; }

private:
    WinsockUser winsock_;
    SOCKET socket_ = INVALID_SOCKET;
    int32_t port_ = 0;
};

// Plain blocking socket operations for peers.
SOCKET connectPlain(const char* address, int32_t port);  // INVALID_SOCKET on failure
void sendAll(SOCKET socket, const std::string& bytes);
std::string receiveUntilClosed(SOCKET socket, int pauseMsEvery64k = 0);
std::string receiveExactly(SOCKET socket, size_t count);
void resetConnection(SOCKET socket);  // an abortive close: the peer sees a reset

// count bytes of a pattern that never repeats within 251 bytes, to catch loss,
// duplication or reordering.
std::string patternBytes(size_t count, unsigned seed = 0);
ByteArray toBytes(const std::string& bytes);
std::string toString(const ByteArray& bytes);

// The error body raised; a failed expectation when it raised nothing.
template <class Body>
RuntimeError raisedBy(Body&& body) {
    try {
        body();
    } catch (const RuntimeError& e) {
        return e;
    }
    ADD_FAILURE() << "nothing was raised";
    return RuntimeError(0, L"");
}

// A manual-reset event for stepping a peer thread.
class Signal {
public:
    Signal() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Signal() { CloseHandle(handle_); }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void set() { SetEvent(handle_); }
    bool wait(DWORD ms = 5000) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

private:
    HANDLE handle_;
};

// One line per event, e.g. "Connect", "DataArrival 150", "Error 10061 Connection
// refused. CSocketMaster.PostSocket", with the state the object was in.
struct EventRecord {
    std::wstring line;
    SocketState state;
};

class EventLog {
public:
    // Fills every event slot of socket with a recorder (and nothing else).
    void attach(CSocketMaster& socket);

    const std::vector<EventRecord>& records() const { return records_; }
    std::vector<std::wstring> lines() const;
    size_t count(const std::wstring& prefix) const;
    bool has(const std::wstring& prefix) const { return count(prefix) > 0; }
    void clear() { records_.clear(); }

private:
    std::vector<EventRecord> records_;
};

// A plain server running peer, and a socket object whose events are recorded.
struct Loopback {
    PlainServer server;
    CSocketMaster sock;
    EventLog log;

    explicit Loopback(std::function<void(SOCKET)> peer = [](SOCKET s) { receiveUntilClosed(s); });
    // Connects sock to the server and forgets the events so far; answers
    // whether the connection was made.
    bool connect();
};

}  // namespace vorlane::test
