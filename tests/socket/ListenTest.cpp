// Listening, accepting and handing connections over, with plain Winsock callers.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "core/RuntimeError.h"
#include "tests/socket/SocketTestSupport.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A plain caller on a thread of its own.
class Caller {
public:
    explicit Caller(std::function<void(SOCKET&)> script)
        : thread_([this, script = std::move(script)] {
              WinsockUser winsock;
              script(socket_);
              if (socket_ != INVALID_SOCKET) closesocket(socket_);
              finished_ = true;
          }) {}
    ~Caller() { join(); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    // Runs the message loop while the caller works: it may need our answers.
    bool finish() {
        return pumpUntil([this] { return finished_.load(); });
    }

    SOCKET socket_ = INVALID_SOCKET;

private:
    std::atomic<bool> finished_ = false;
    std::thread thread_;
};

struct Listening {
    CSocketMaster listener;
    std::string address;
    int32_t port = 0;

    explicit Listening(int32_t remotePort = 0) {
        listener.RemotePort(remotePort);
        listener.Listen();
        address = narrow(listener.LocalIP());
        port = listener.LocalPort();
    }
};

// A caller that connects to the listener, sends text and closes.
Caller callerSending(const Listening& l, std::string text) {
    return Caller([&l, text = std::move(text)](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        sendAll(s, text);
    });
}

}  // namespace

TEST(Listen, AConnectionIsAnnouncedAndTakenOver) {
    Listening l(1234);  // what the listener holds before the event, and after it
    EXPECT_EQ(l.listener.State(), StateListening);
    ASSERT_NE(l.port, 0);

    std::string echoed;
    int32_t callerPort = 0;
    Caller caller([&](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        sockaddr_in local{};
        int length = sizeof local;
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
        callerPort = ntohs(local.sin_port);
        sendAll(s, "ping");
        echoed = receiveExactly(s, 4);
    });

    CSocketMaster owner;
    EventLog log;
    log.attach(owner);
    int32_t portDuringEvent = 0;
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) {
        portDuringEvent = l.listener.RemotePort();
        EXPECT_EQ(l.listener.RemoteHostIP(), l.listener.LocalIP());  // the caller runs on this host
        owner.Accept(requestID);
    };
    owner.events.DataArrival = [&](int32_t) {
        std::wstring text;
        owner.GetData(text);
        owner.SendData(text);
    };
    ASSERT_TRUE(caller.finish());
    EXPECT_NE(owner.SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(echoed, "ping");
    EXPECT_EQ(portDuringEvent, callerPort);
    EXPECT_EQ(l.listener.RemotePort(), 1234);
    EXPECT_EQ(l.listener.State(), StateListening);
    EXPECT_EQ(owner.RemotePort(), callerPort);
    EXPECT_EQ(owner.LocalPort(), l.port);
}

// Whatever the caller sent, and its close, before the owner took the
// connection over is replayed to the owner inside Accept.
TEST(Listen, DataAndCloseBeforeAcceptReachTheNewOwner) {
    Listening l;
    HANDLE sent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Caller caller([&](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        sendAll(s, "early bytes");
        closesocket(s);
        s = INVALID_SOCKET;
        SetEvent(sent);
    });
    CSocketMaster owner;
    EventLog log;
    log.attach(owner);
    std::wstring text;
    owner.events.DataArrival = [&, logged = owner.events.DataArrival](int32_t bytesTotal) {
        logged(bytesTotal);
        owner.GetData(text);
    };
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) {
        // Keep the message loop running before taking the connection, so
        // its data and its close reach the helper that holds it meanwhile.
        pumpUntil([&] { return WaitForSingleObject(sent, 0) == WAIT_OBJECT_0; });
        pumpFor(200);
        owner.Accept(requestID);
        EXPECT_EQ(log.lines(), (std::vector<std::wstring>{L"DataArrival 11", L"CloseSck"}));
    };
    ASSERT_TRUE(pumpUntil([&] { return owner.State() == StateClosing; }));
    EXPECT_EQ(text, L"early bytes");
    EXPECT_EQ(log.records()[0].state, StateConnected);
    CloseHandle(sent);
}

TEST(Listen, DataAndCloseAfterAcceptArriveAsNotifications) {
    Listening l;
    Caller caller = callerSending(l, "later");
    CSocketMaster owner;
    EventLog log;
    log.attach(owner);
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) { owner.Accept(requestID); };
    ASSERT_TRUE(pumpUntil([&] { return owner.State() == StateClosing; }));
    EXPECT_EQ(log.lines(), (std::vector<std::wstring>{L"DataArrival 5", L"CloseSck"}));
}

// A connection lost while the helper held it is no silent one: the new owner
// gets what arrived before the loss, then the failure, as if it had held it.
TEST(Listen, AConnectionLostBeforeAcceptIsAnErrorForTheNewOwner) {
    Listening l;
    Caller caller = callerSending(l, "partial");
    CSocketMaster owner;
    EventLog log;
    log.attach(owner);
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) {
        pumpUntil([&] {
            return IsAcceptHelperHeld(requestID) && GetAcceptHelper(requestID)->BytesReceived() == 7;
        });
        PostMessageW(MessageWindow(), SOCKET_MESSAGE, requestID, WSAMAKESELECTREPLY(FD_CLOSE, WSAECONNRESET));
        pumpUntil([&] { return GetAcceptHelper(requestID)->State() == StateError; });
        owner.Accept(requestID);
    };
    ASSERT_TRUE(pumpUntil([&] { return log.has(L"Error"); }));
    EXPECT_EQ(log.lines(),
              (std::vector<std::wstring>{L"DataArrival 7",
                                         L"Error 10054 Connection reset by peer. CSocketMaster.PostSocket"}));
    EXPECT_EQ(owner.State(), StateError);
}

TEST(Listen, AConnectionNobodyTakesIsClosed) {
    Listening l;
    int requests = 0;
    l.listener.events.ConnectionRequest = [&](SOCKET) { ++requests; };
    int received = -2;
    Caller caller([&](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        char byte;
        received = recv(s, &byte, 1, 0);  // ends when the connection is closed
    });
    ASSERT_TRUE(pumpUntil([&] { return received != -2; }));
    EXPECT_EQ(requests, 1);
    EXPECT_LE(received, 0);
    EXPECT_EQ(l.listener.State(), StateListening);
}

TEST(Listen, AConnectionTakenOverCannotBeTakenAgain) {
    Listening l;
    Caller caller([&](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        Sleep(300);
    });
    CSocketMaster owner;
    CSocketMaster latecomer;
    std::optional<RuntimeError> second;
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) {
        owner.Accept(requestID);
        try {
            latecomer.Accept(requestID);
        } catch (const RuntimeError& e) {
            second = e;
        }
    };
    ASSERT_TRUE(pumpUntil([&] { return second.has_value(); }));
    EXPECT_EQ(second->number(), 40006);
    EXPECT_EQ(second->source(), L"CSocketMaster.Accept");
    EXPECT_EQ(latecomer.State(), StateClosed);
    EXPECT_EQ(latecomer.SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(owner.State(), StateConnected);
}

TEST(Listen, ReleasingTheOwnerClosesTheConnection) {
    Listening l;
    int received = -2;
    Caller caller([&](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        char byte;
        received = recv(s, &byte, 1, 0);
    });
    auto owner = std::make_unique<CSocketMaster>();
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) { owner->Accept(requestID); };
    ASSERT_TRUE(pumpUntil([&] { return owner->State() == StateConnected; }));
    pumpFor(100);
    EXPECT_EQ(received, -2);  // the helper's release left the connection open
    owner.reset();
    ASSERT_TRUE(pumpUntil([&] { return received != -2; }));
    EXPECT_LE(received, 0);
}

TEST(Listen, BindThenListenUsesTheBoundAddress) {
    CSocketMaster sock;
    sock.Bind(0, L"127.0.0.1");
    EXPECT_EQ(sock.State(), StateOpen);
    const int32_t port = sock.LocalPort();
    ASSERT_NE(port, 0);
    const RuntimeError twice = raisedBy([&] { sock.Bind(); });
    EXPECT_EQ(twice.number(), 40020);
    EXPECT_EQ(twice.source(), L"CSocketMaster.Bind");

    sock.Listen();
    EXPECT_EQ(sock.State(), StateListening);
    EXPECT_EQ(sock.LocalPort(), port);
    EXPECT_EQ(sock.LocalIP(), L"127.0.0.1");
    EXPECT_EQ(raisedBy([&] { sock.Listen(); }).source(), L"CSocketMaster.Listen");

    bool announced = false;
    sock.events.ConnectionRequest = [&](SOCKET) { announced = true; };
    Caller caller([&](SOCKET& s) { s = connectPlain("127.0.0.1", port); });
    EXPECT_TRUE(pumpUntil([&] { return announced; }));
}

TEST(Listen, BindChecksItsArguments) {
    CSocketMaster sock;
    const RuntimeError port = raisedBy([&] { sock.Bind(65536); });
    EXPECT_EQ(port.number(), 40014);
    EXPECT_EQ(port.source(), L"CSocketMaster.BindInternal");
    const RuntimeError address = raisedBy([&] { sock.Bind(0, L"no-such-host.invalid"); });
    EXPECT_EQ(address.number(), 40014);
    EXPECT_EQ(address.description(), L"Invalid argument");
    EXPECT_EQ(sock.State(), StateClosed);
}

// A failed Bind or Listen leaves the object holding a socket; taking a
// connection over closes that socket and drops its route with it.
TEST(Listen, AcceptDropsTheRouteOfTheSocketItReplaces) {
    WinsockUser winsock;
    const SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in taken{};
    taken.sin_family = AF_INET;
    taken.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&taken), sizeof taken), 0);
    int length = sizeof taken;
    getsockname(holder, reinterpret_cast<sockaddr*>(&taken), &length);

    const std::vector<std::pair<const char*, std::function<void(CSocketMaster&)>>> failures{
        {"Bind", [&](CSocketMaster& s) { s.Bind(ntohs(taken.sin_port), L"127.0.0.1"); }},
        {"Listen", [](CSocketMaster& s) {
             s.Protocol(ProtocolUDP);
             s.Listen();
         }},
    };
    for (const auto& [name, fail] : failures) {
        SCOPED_TRACE(name);
        Listening l;
        CSocketMaster owner;
        raisedBy([&] { fail(owner); });
        const SOCKET left = owner.SocketHandle();
        ASSERT_NE(left, INVALID_SOCKET);
        ASSERT_EQ(owner.State(), StateClosed);

        std::optional<bool> leftRouted;
        l.listener.events.ConnectionRequest = [&](SOCKET requestID) {
            owner.Accept(requestID);
            leftRouted = IsSocketRegistered(left);
        };
        Caller caller([&](SOCKET& s) { s = connectPlain(l.address.c_str(), l.port); });
        ASSERT_TRUE(pumpUntil([&] { return leftRouted.has_value(); }));
        EXPECT_FALSE(*leftRouted);
        EXPECT_EQ(owner.State(), StateConnected);
        CSocketMaster next;  // often given the freed handle
        EXPECT_NO_THROW(next.Connect(L"127.0.0.1", 9));
    }
    closesocket(holder);
}

// Whatever fails while a connection is being accepted reaches the listener's
// Error event, and the listener goes on listening.
TEST(Listen, AcceptFailuresReachTheListenersErrorEvent) {
    Listening l;
    EventLog log;
    log.attach(l.listener);
    const SOCKET listening = l.listener.SocketHandle();
    // A notification with nothing left to accept is no failure.
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, listening, FD_ACCEPT);
    pumpFor(100);
    EXPECT_TRUE(log.records().empty());

    // An owner whose Accept fails inside the event.
    CSocketMaster bound;
    bound.Bind(0, L"127.0.0.1");
    l.listener.events.ConnectionRequest = [&](SOCKET requestID) { bound.Accept(requestID); };
    int received = -2;
    Caller caller([&](SOCKET& s) {
        s = connectPlain(l.address.c_str(), l.port);
        char byte;
        received = recv(s, &byte, 1, 0);
    });
    ASSERT_TRUE(pumpUntil([&] { return received != -2; }));
    EXPECT_LE(received, 0);  // the connection nobody took is closed
    ASSERT_EQ(log.records().size(), 1u);
    EXPECT_TRUE(log.lines()[0].ends_with(L" Invalid operation at current state CSocketMaster.Accept"))
        << log.lines()[0];
    EXPECT_EQ(log.records()[0].state, StateListening);
    EXPECT_EQ(l.listener.State(), StateListening);

    // The listening socket itself failing to accept.
    log.clear();
    closesocket(listening);
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, listening, FD_ACCEPT);
    ASSERT_TRUE(pumpUntil([&] { return log.has(L"Error"); }));
    EXPECT_EQ(log.lines(), std::vector<std::wstring>{
                               L"Error 10038 Socket operation on nonsocket. CSocketMaster.PostSocket"});
}
