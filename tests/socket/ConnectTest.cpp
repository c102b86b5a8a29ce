// Connecting, closing and the Error event, against real sockets on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "core/RuntimeError.h"
#include "tests/socket/SocketTestSupport.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

std::wstring localHostFirstAddress() {
    WinsockUser winsock;
    char name[256] = {};
    gethostname(name, sizeof name);
    const hostent* host = gethostbyname(name);
    if (!host) return L"";
    in_addr address;
    std::memcpy(&address, host->h_addr_list[0], 4);
    const char* dotted = inet_ntoa(address);
    return std::wstring(dotted, dotted + std::strlen(dotted));
}

}  // namespace

TEST(Connect, ByAddressGoesStraightToConnectingWithoutALookup) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;

    sock.Connect(L"127.0.0.1", server.port());
    EXPECT_EQ(sock.State(), StateConnecting);
    ASSERT_TRUE(pumpUntil([&] { return log.has(L"Connect"); }));
    EXPECT_EQ(log.lines(), std::vector<std::wstring>{L"Connect"});
    EXPECT_EQ(log.records()[0].state, StateConnected);
    EXPECT_EQ(sock.RemoteHostIP(), L"127.0.0.1");
    EXPECT_EQ(sock.RemotePort(), server.port());
    EXPECT_NE(sock.LocalPort(), 0);  // the port the system chose
    ASSERT_NE(sock.SocketHandle(), INVALID_SOCKET);
    // The local end was left to the system, which picks the interface that
    // reaches the peer: here the loopback.
    sockaddr_in local{};
    int length = sizeof local;
    getsockname(sock.SocketHandle(), reinterpret_cast<sockaddr*>(&local), &length);
    EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(ntohs(local.sin_port), sock.LocalPort());

    sock.CloseSck();
    EXPECT_EQ(sock.State(), StateClosed);
    EXPECT_EQ(sock.RemoteHostIP(), L"");
    EXPECT_EQ(sock.RemoteHost(), L"127.0.0.1");
    EXPECT_EQ(sock.RemotePort(), server.port());
    EXPECT_EQ(sock.LocalPort(), 0);  // back to the requested port
    EXPECT_EQ(sock.SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(log.records().size(), 1u);  // closing raises nothing
}

TEST(Connect, ByNamePassesThroughTheLookup) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;

    sock.Connect(L"localhost", server.port());
    std::vector<SocketState> states{sock.State()};
    ASSERT_TRUE(pumpUntil([&] {
        if (sock.State() != states.back()) states.push_back(sock.State());
        return sock.State() == StateConnected;
    }));
    EXPECT_EQ(states, (std::vector<SocketState>{StateResolvingHost, StateConnecting, StateConnected}));
    EXPECT_EQ(log.lines(), std::vector<std::wstring>{L"Connect"});
    EXPECT_EQ(sock.RemoteHostIP(), L"127.0.0.1");
    EXPECT_EQ(sock.RemoteHost(), L"localhost");
}

// The address 1.0.0.0 is an address like any other: the connect is started
// (it may then fail, but it is not mistaken for a lookup under way).
TEST(Connect, TheAddressOneZeroZeroZeroIsConnectedNotTakenForALookup) {
    CSocketMaster sock;
    EventLog log;
    log.attach(sock);
    sock.Connect(L"1.0.0.0", 9);
    if (sock.State() == StateError) {
        ASSERT_EQ(log.count(L"Error"), 1u);
        EXPECT_TRUE(log.lines()[0].ends_with(L"CSocketMaster.ConnectToIP"));
    } else {
        EXPECT_EQ(sock.State(), StateConnecting);
    }
    sock.CloseSck();
}

TEST(Connect, ARefusedPortIsAnErrorNotAConnection) {
    RefusingPort refusing;
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    sock.Connect(L"127.0.0.1", refusing.port());
    ASSERT_TRUE(pumpUntil([&] { return log.has(L"Error"); }));
    pumpFor(100);
    EXPECT_EQ(log.lines(),
              std::vector<std::wstring>{L"Error 10061 Connection refused. CSocketMaster.PostSocket"});
    EXPECT_EQ(sock.State(), StateError);
    EXPECT_NE(sock.SocketHandle(), INVALID_SOCKET);  // kept until CloseSck

    // Not even state 9 allows a new connect; closing does.
    const RuntimeError again = raisedBy([&] { sock.Connect(); });
    EXPECT_EQ(again.number(), 40020);
    EXPECT_EQ(again.description(), L"Invalid operation at current state");
    EXPECT_EQ(again.source(), L"CSocketMaster.Connect");

    sock.CloseSck();
    sock.Connect(L"127.0.0.1", server.port());
    EXPECT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
}

// Every member that makes a socket, while Winsock is stopped under the object
// so that socket creation fails: the failure is told, and CloseSck brings the
// object back to where the same member works.
TEST(Connect, CloseSckRecoversFromAFailedSocketCreation) {
    struct Case {
        const char* name;
        SocketProtocol protocol;
        std::function<void(CSocketMaster&)> call;
        SocketState reached;
    };
    const std::vector<Case> cases{
        {"TCP Connect", ProtocolTCP, [](CSocketMaster& s) { s.Connect(); }, StateConnecting},
        {"UDP Connect", ProtocolUDP, [](CSocketMaster& s) { s.Connect(); }, StateOpen},
        {"UDP SendData", ProtocolUDP, [](CSocketMaster& s) { s.SendData(std::wstring(L"x")); }, StateOpen},
        {"Bind", ProtocolTCP, [](CSocketMaster& s) { s.Bind(0, L"127.0.0.1"); }, StateOpen},
        {"Listen", ProtocolTCP, [](CSocketMaster& s) { s.Listen(); }, StateListening},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSocketMaster sock;
        EventLog log;
        log.attach(sock);
        sock.Protocol(c.protocol);
        sock.RemoteHost(L"127.0.0.1");
        sock.RemotePort(9);

        int stops = 0;
        while (WSACleanup() == 0) ++stops;
        c.call(sock);
        WSADATA data;
        for (int i = 0; i < stops; ++i) WSAStartup(MAKEWORD(1, 1), &data);
        EXPECT_EQ(log.lines(), std::vector<std::wstring>{L"Error 10093 Successful WSAStartup not yet "
                                                         L"performed. CSocketMaster.SocketExists"});
        EXPECT_EQ(sock.State(), StateError);
        EXPECT_EQ(sock.SocketHandle(), INVALID_SOCKET);

        sock.CloseSck();
        EXPECT_EQ(sock.State(), StateClosed);
        c.call(sock);
        EXPECT_EQ(sock.State(), c.reached);
        EXPECT_EQ(log.records().size(), 1u);
    }
}

// A socket closed under the object fails the close once; the handle is then
// no socket of the object's, and the next close leaves it ready to connect.
TEST(Connect, AFailedCloseLeavesNoSocketBehind) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    ASSERT_TRUE(loopback.connect());
    const SOCKET handle = sock.SocketHandle();
    closesocket(handle);

    const RuntimeError failed = raisedBy([&] { sock.CloseSck(); });
    EXPECT_EQ(failed.number(), 10038);
    EXPECT_EQ(failed.source(), L"CSocketMaster.DestroySocket");
    EXPECT_EQ(sock.State(), StateError);
    EXPECT_FALSE(IsSocketRegistered(handle));

    sock.CloseSck();
    EXPECT_EQ(sock.State(), StateClosed);
    sock.Connect(L"127.0.0.1", server.port());
    EXPECT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
}

TEST(Connect, ANameThatDoesNotResolveIsAnError) {
    CSocketMaster sock;
    EventLog log;
    log.attach(sock);
    sock.Connect(L"no-such-host.invalid", 80);
    EXPECT_EQ(sock.State(), StateResolvingHost);
    ASSERT_TRUE(pumpUntil([&] { return log.has(L"Error"); }, 20000));
    ASSERT_EQ(log.records().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with(L"Error 110")) << log.lines()[0];
    EXPECT_TRUE(log.lines()[0].ends_with(L"CSocketMaster.ConnectToIP")) << log.lines()[0];
    EXPECT_EQ(sock.State(), StateError);
}

TEST(Connect, ArgumentAndStateChecks) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    const RuntimeError zero = raisedBy([&] { sock.Connect(L"127.0.0.1", 0); });
    EXPECT_EQ(zero.number(), 40014);
    EXPECT_EQ(zero.description(),
              L"The argument passed to a function was not in the correct format or in the specified range.");
    EXPECT_EQ(zero.source(), L"CSocketMaster.Connect");
    EXPECT_EQ(raisedBy([&] { sock.Connect(L"127.0.0.1", 65536); }).number(), 40014);
    EXPECT_EQ(sock.State(), StateClosed);

    sock.RemotePort(0);  // the property takes 0, unlike Connect
    EXPECT_EQ(raisedBy([&] { sock.RemotePort(65536); }).source(), L"CSocketMaster.RemotePort");
    EXPECT_EQ(raisedBy([&] { sock.LocalPort(-1); }).number(), 40014);
    EXPECT_EQ(raisedBy([&] { sock.Protocol(static_cast<SocketProtocol>(2)); }).number(), 40014);

    sock.Connect(L"127.0.0.1", server.port());
    for (const auto& [name, set] : std::vector<std::pair<std::wstring, std::function<void()>>>{
             {L"RemotePort", [&] { sock.RemotePort(80); }},
             {L"RemoteHost", [&] { sock.RemoteHost(L"x"); }},
             {L"LocalPort", [&] { sock.LocalPort(80); }},
             {L"Protocol", [&] { sock.Protocol(ProtocolUDP); }},
             {L"Bind", [&] { sock.Bind(); }},
             {L"Accept", [&] { sock.Accept(INVALID_SOCKET); }}}) {
        const RuntimeError e = raisedBy(set);
        EXPECT_EQ(e.number(), 40020) << name.c_str();
        EXPECT_EQ(e.source(), L"CSocketMaster." + name);
    }
    sock.Tag(L"never guarded");
    EXPECT_EQ(sock.Tag(), L"never guarded");
}

TEST(Connect, LocalAddressAndName) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    EXPECT_FALSE(sock.LocalHostName().empty());
    sock.Connect(L"127.0.0.1", server.port());
    ASSERT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
    // While connected, the local host's first address, whatever was bound.
    EXPECT_EQ(sock.LocalIP(), localHostFirstAddress());
}

// A connect that cannot even start raises when called directly, and is told
// through the Error event when it starts from a lookup's answer, where nobody
// waits on a call.
TEST(Connect, ALocalPortInUseFailsTheConnect) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    WinsockUser winsock;
    const SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in taken{};
    taken.sin_family = AF_INET;
    ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&taken), sizeof taken), 0);
    int length = sizeof taken;
    getsockname(holder, reinterpret_cast<sockaddr*>(&taken), &length);
    sock.LocalPort(ntohs(taken.sin_port));

    const RuntimeError direct = raisedBy([&] { sock.Connect(L"127.0.0.1", server.port()); });
    EXPECT_EQ(direct.number(), 10048);
    EXPECT_EQ(direct.description(), L"Address already in use.");
    EXPECT_EQ(direct.source(), L"CSocketMaster.BindInternal");
    EXPECT_TRUE(log.records().empty());

    sock.CloseSck();
    sock.Connect(L"localhost", server.port());
    ASSERT_TRUE(pumpUntil([&] { return log.has(L"Error"); }));
    EXPECT_EQ(log.lines(),
              std::vector<std::wstring>{L"Error 10048 Address already in use. CSocketMaster.BindInternal"});
    EXPECT_EQ(sock.State(), StateError);
    closesocket(holder);
}

TEST(Connect, ALookupAnswerAfterCloseIsIgnored) {
    CSocketMaster sock;
    EventLog log;
    log.attach(sock);
    sock.Connect(L"localhost", 9);
    EXPECT_EQ(sock.State(), StateResolvingHost);
    sock.CloseSck();
    EXPECT_EQ(sock.State(), StateClosed);
    pumpFor(300);
    EXPECT_TRUE(log.records().empty());
    EXPECT_EQ(sock.State(), StateClosed);
}

TEST(Connect, AnObjectDestroyedDuringItsLookupGetsNoAnswer) {
    PlainServer server;
    server.serve([](SOCKET peer) { receiveUntilClosed(peer); });
    CSocketMaster other;  // keeps the hidden window up while the answer arrives
    other.Connect(L"127.0.0.1", server.port());

    auto sock = std::make_unique<CSocketMaster>();
    int events = 0;
    sock->events.Error = [&](auto&&...) { ++events; };
    sock->events.Connect = [&] { ++events; };
    sock->Connect(L"localhost", 9);
    sock.reset();
    pumpFor(300);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(other.State(), StateConnected);
}

// Winsock tells of a reset as a close notification that carries the error.
// (The loopback here turns an abortive close into an orderly one, so the
// notification is posted as Winsock would post it.)
TEST(Connect, AResetByThePeerIsAnErrorNotAClose) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    sock.Connect(L"127.0.0.1", server.port());
    ASSERT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
    log.clear();
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, sock.SocketHandle(),
                 WSAMAKESELECTREPLY(FD_CLOSE, WSAECONNRESET));
    ASSERT_TRUE(pumpUntil([&] { return sock.State() != StateConnected; }));
    pumpFor(50);
    EXPECT_EQ(log.lines(),
              std::vector<std::wstring>{L"Error 10054 Connection reset by peer. CSocketMaster.PostSocket"});
    EXPECT_EQ(sock.State(), StateError);
}

// A handler may destroy the object that raised its event, as an owner does
// when a transfer ends: nothing further may reach or touch the object.
TEST(Connect, AnOwnerMayDestroyTheObjectInsideItsHandlers) {
    PlainServer server;
    server.serve([](SOCKET peer) {
        sendAll(peer, patternBytes(100000));
        resetConnection(peer);
    });
    auto sock = std::make_unique<CSocketMaster>();
    int arrivals = 0;
    sock->events.DataArrival = [&](int32_t) {
        ++arrivals;
        sock.reset();  // with more notifications for it still to come
    };
    sock->Connect(L"127.0.0.1", server.port());
    ASSERT_TRUE(pumpUntil([&] { return !sock; }));
    server.join();
    pumpFor(200);
    EXPECT_EQ(arrivals, 1);

    RefusingPort refusing;
    sock = std::make_unique<CSocketMaster>();
    int errors = 0;
    sock->events.Error = [&](auto&&...) {
        ++errors;
        sock.reset();
    };
    sock->Connect(L"127.0.0.1", refusing.port());
    ASSERT_TRUE(pumpUntil([&] { return !sock; }));
    pumpFor(200);
    EXPECT_EQ(errors, 1);
}

namespace {

struct BoxWatch {
    std::vector<std::wstring> titles;
    std::vector<std::wstring> texts;
};
BoxWatch* gBoxWatch = nullptr;

// Closes every message box of this thread and notes its title and text.
void CALLBACK closeBoxes(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            wchar_t className[32] = {};
            GetClassNameW(window, className, 32);
            if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
            wchar_t title[128] = {};
            GetWindowTextW(window, title, 128);
            wchar_t text[256] = {};
            EnumChildWindows(
                window,
                [](HWND child, LPARAM out) -> BOOL {
                    wchar_t name[32] = {};
                    GetClassNameW(child, name, 32);
                    if (std::wstring(name) == L"Static" && GetWindowTextLengthW(child) > 0)
                        GetWindowTextW(child, reinterpret_cast<wchar_t*>(out), 256);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(text));
            gBoxWatch->titles.push_back(title);
            gBoxWatch->texts.push_back(text);
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            return TRUE;
        },
        0);
}

}  // namespace

TEST(Connect, AnErrorHandlerThatAllowsDisplayGetsOneMessageBox) {
    BoxWatch watch;
    gBoxWatch = &watch;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, closeBoxes);
    RefusingPort refusing;

    CSocketMaster quiet;  // a handler that leaves CancelDisplay alone: no box
    quiet.events.Error = [](auto&&...) {};
    quiet.Connect(L"127.0.0.1", refusing.port());
    ASSERT_TRUE(pumpUntil([&] { return quiet.State() == StateError; }));

    CSocketMaster shown;
    bool returned = false;
    shown.events.Error = [](int16_t, std::wstring&, int32_t, const std::wstring&, const std::wstring&,
                            int32_t, bool& cancelDisplay) { cancelDisplay = false; };
    shown.Connect(L"127.0.0.1", refusing.port());
    ASSERT_TRUE(pumpUntil([&] {
        returned = shown.State() == StateError;
        return returned;
    }));
    pumpFor(200);
    KillTimer(nullptr, timer);
    gBoxWatch = nullptr;
    ASSERT_EQ(watch.titles.size(), 1u);
    EXPECT_EQ(watch.titles[0], L"CSocketMaster.PostSocket");
    EXPECT_EQ(watch.texts[0], L"Connection refused.");
}
