// Datagrams between two socket objects on 127.0.0.1.
#include <gtest/gtest.h>

#include "core/RuntimeError.h"
#include "tests/socket/SocketTestSupport.h"

using namespace vorlane;
using namespace vorlane::test;

extern "C" decltype(&ioctlsocket) __imp_ioctlsocket;

namespace {

// A receiving UDP object bound to 127.0.0.1 and a sender aimed at it.
struct Pair {
    CSocketMaster receiver;
    CSocketMaster sender;

    Pair() {
        receiver.Protocol(ProtocolUDP);
        receiver.Bind(0, L"127.0.0.1");
        sender.Protocol(ProtocolUDP);
        sender.RemoteHost(L"127.0.0.1");
        sender.RemotePort(receiver.LocalPort());
    }
};

// Windows counts every datagram waiting on a socket in FIONREAD; Wine counts
// only the first. While one of these lives, this process's ioctlsocket (the
// entry in its import table, which the socket layer calls through) answers as
// Windows does for one socket: what Wine says, plus the bytes of the datagrams
// that the test says wait behind the first.
class WindowsDatagramCount {
public:
    explicit WindowsDatagramCount(SOCKET socket) {
        socket_ = socket;
        swap(&counting);
    }
    ~WindowsDatagramCount() { swap(real_); }
    WindowsDatagramCount(const WindowsDatagramCount&) = delete;
    WindowsDatagramCount& operator=(const WindowsDatagramCount&) = delete;

    static inline size_t behind = 0;

private:
    using Ioctl = decltype(&ioctlsocket);

    static int WSAAPI counting(SOCKET socket, long command, u_long* argument) {
        const int result = real_(socket, command, argument);
        if (result == 0 && socket == socket_ && command == static_cast<long>(FIONREAD) && *argument > 0)
            *argument += static_cast<u_long>(behind);
        return result;
    }

    void swap(Ioctl to) {
        DWORD was;
        VirtualProtect(&__imp_ioctlsocket, sizeof(Ioctl), PAGE_READWRITE, &was);
        if (!real_) real_ = __imp_ioctlsocket;
        __imp_ioctlsocket = to;
        VirtualProtect(&__imp_ioctlsocket, sizeof(Ioctl), was, &was);
    }

    static inline Ioctl real_ = nullptr;
    static inline SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

TEST(Udp, ADatagramArrivesWithItsSender) {
    Pair p;
    EXPECT_EQ(p.receiver.State(), StateOpen);
    EXPECT_EQ(p.receiver.LocalIP(), L"127.0.0.1");
    EXPECT_NE(p.receiver.LocalPort(), 0);

    std::wstring text;
    std::vector<int32_t> announced;
    p.receiver.events.DataArrival = [&](int32_t bytesTotal) {
        announced.push_back(bytesTotal);
        EXPECT_EQ(p.receiver.BytesReceived(), bytesTotal);
        p.receiver.GetData(text);
    };
    p.sender.SendData(std::wstring(L"hello"));
    EXPECT_EQ(p.sender.State(), StateOpen);
    ASSERT_TRUE(pumpUntil([&] { return !text.empty(); }));
    EXPECT_EQ(text, L"hello");
    EXPECT_EQ(announced, std::vector<int32_t>{5});
    EXPECT_EQ(p.receiver.RemoteHostIP(), L"127.0.0.1");
    EXPECT_EQ(p.receiver.RemotePort(), p.sender.LocalPort());
    EXPECT_EQ(p.receiver.RemoteHost(), L"");
    // A datagram's destination may change at any time.
    p.sender.RemotePort(p.sender.RemotePort());
}

TEST(Udp, AnUnreadDatagramIsDroppedAndAReadOneDropsNothingElse) {
    Pair p;
    std::vector<std::wstring> got;
    int arrivals = 0;
    p.receiver.events.DataArrival = [&](int32_t) {
        // The first datagram is left unread; every later one is read.
        if (++arrivals == 1) return;
        std::wstring text;
        p.receiver.GetData(text);
        got.push_back(text);
    };
    p.sender.SendData(std::wstring(L"one"));
    p.sender.SendData(std::wstring(L"two"));
    p.sender.SendData(std::wstring(L"three"));
    ASSERT_TRUE(pumpUntil([&] { return got.size() == 2; }));
    pumpFor(100);
    EXPECT_EQ(got, (std::vector<std::wstring>{L"two", L"three"}));
    EXPECT_EQ(arrivals, 3);
}

TEST(Udp, TakingNothingDropsTheDatagramAndRaises) {
    Pair p;
    std::optional<RuntimeError> raised;
    int arrivals = 0;
    p.receiver.events.DataArrival = [&](int32_t) {
        ++arrivals;
        ByteArray bytes{1, 2};
        try {
            p.receiver.GetData(bytes, 0);
        } catch (const RuntimeError& e) {
            raised = e;
        }
        EXPECT_TRUE(bytes.empty());
    };
    p.sender.SendData(std::wstring(L"gone"));
    ASSERT_TRUE(pumpUntil([&] { return raised.has_value(); }));
    EXPECT_EQ(raised->number(), 10040);
    EXPECT_EQ(raised->description(), L"Message too long.");
    EXPECT_EQ(raised->source(), L"CSocketMaster.RecvData");
    pumpFor(100);
    EXPECT_EQ(arrivals, 1);
    EXPECT_EQ(p.receiver.BytesReceived(), 0);
}

TEST(Udp, ADestinationThatDoesNotResolveRaises) {
    CSocketMaster sock;
    sock.Protocol(ProtocolUDP);
    const RuntimeError empty = raisedBy([&] { sock.SendData(std::wstring(L"x")); });
    EXPECT_EQ(empty.number(), 10047);
    EXPECT_EQ(empty.description(), L"Address family not supported by protocol family.");
    EXPECT_EQ(empty.source(), L"CSocketMaster.SendBufferedDataUDP");
    sock.RemoteHost(L"no-such-host.invalid");
    sock.RemotePort(9);
    const RuntimeError unknown = raisedBy([&] { sock.SendData(std::wstring(L"x")); });
    EXPECT_EQ(unknown.number(), 40014);
    EXPECT_EQ(unknown.description(), L"Invalid argument");
}

TEST(Udp, ReadingNeedsAnOpenSocketAndListeningIsRefused) {
    CSocketMaster sock;
    sock.Protocol(ProtocolUDP);
    std::wstring text;
    EXPECT_EQ(raisedBy([&] { sock.GetData(text); }).number(), 40006);
    sock.Connect(L"127.0.0.1", 9);  // binds; nothing is sent
    EXPECT_EQ(sock.State(), StateOpen);
    EXPECT_EQ(sock.GetData(text), 0);  // nothing waiting: the variable as it was

    CSocketMaster listener;
    listener.Protocol(ProtocolUDP);
    const RuntimeError refused = raisedBy([&] { listener.Listen(); });
    EXPECT_EQ(refused.number(), 10045);
    EXPECT_EQ(refused.source(), L"CSocketMaster.Listen");

    // The socket the refusal left behind is of the old protocol: a new
    // protocol gets a socket of its own.
    listener.Protocol(ProtocolTCP);
    listener.Listen();
    EXPECT_EQ(listener.State(), StateListening);
    int type = 0;
    int length = sizeof type;
    getsockopt(listener.SocketHandle(), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length);
    EXPECT_EQ(type, SOCK_STREAM);
}

// A read takes one datagram, and hands over only the bytes it held however
// many the queue was said to hold; a value longer than the datagram is not
// made up of it.
TEST(Udp, AReadHandsOverOnlyTheBytesOfTheDatagram) {
    Pair p;
    const WindowsDatagramCount windows(p.receiver.SocketHandle());
    int32_t value = -1;
    int32_t valueTaken = -1;
    ByteArray bytes;
    std::wstring text;
    int arrivals = 0;
    p.receiver.events.DataArrival = [&](int32_t) {
        switch (++arrivals) {
            case 1:
                valueTaken = p.receiver.GetData(value);
                WindowsDatagramCount::behind = 5;
                break;
            case 2:
                p.receiver.GetData(bytes);
                WindowsDatagramCount::behind = 0;
                break;
            default:
                p.receiver.GetData(text);
        }
    };
    WindowsDatagramCount::behind = 3 + 5;
    p.sender.SendData(std::wstring(L"xy"));
    p.sender.SendData(std::wstring(L"one"));
    p.sender.SendData(std::wstring(L"three"));
    ASSERT_TRUE(pumpUntil([&] { return arrivals == 3; }));
    EXPECT_EQ(valueTaken, 0);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(toString(bytes), "one");
    EXPECT_EQ(text, L"three");
}

// One datagram that cannot go is that datagram's failure, not the socket's:
// the next one is sent from the same port, and the object is open again.
TEST(Udp, ADatagramThatCannotGoDoesNotStopTheNextOne) {
    Pair p;
    EventLog log;
    log.attach(p.sender);
    std::wstring received;
    p.receiver.events.DataArrival = [&](int32_t) { p.receiver.GetData(received); };
    p.sender.SendData(toBytes(patternBytes(70000)));  // more than a datagram can hold
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with(L"Error 10040 ")) << log.lines()[0];
    const int32_t port = p.sender.LocalPort();

    p.sender.SendData(std::wstring(L"after"));
    ASSERT_TRUE(pumpUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, L"after");
    EXPECT_EQ(p.receiver.RemotePort(), port);
    EXPECT_EQ(p.sender.State(), StateOpen);
}
