// Winsock is started by the first socket object and stopped with the last.
#include <gtest/gtest.h>

#include <memory>

#include "tests/socket/SocketTestSupport.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

// Whether Winsock is started in this process: a socket can be made.
bool winsockUp() {
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe == INVALID_SOCKET) return WSAGetLastError() != WSANOTINITIALISED;
    closesocket(probe);
    return true;
}

}  // namespace

TEST(WinsockLife, StartedByTheFirstObjectAndStoppedByTheLast) {
    EXPECT_FALSE(winsockUp());
    EXPECT_EQ(WinsockUserCount(), 0);
    EXPECT_FALSE(WinsockStarted());

    auto first = std::make_unique<CSocketMaster>();
    EXPECT_TRUE(winsockUp());
    EXPECT_TRUE(WinsockStarted());
    auto second = std::make_unique<CSocketMaster>();
    EXPECT_EQ(WinsockUserCount(), 2);

    first.reset();
    EXPECT_TRUE(winsockUp());
    EXPECT_TRUE(WinsockStarted());
    second.reset();
    EXPECT_FALSE(winsockUp());
    EXPECT_FALSE(WinsockStarted());
    EXPECT_EQ(WinsockUserCount(), 0);

    CSocketMaster again;  // and a later object starts it again
    EXPECT_TRUE(winsockUp());
}

TEST(WinsockLife, AnObjectWithASocketKeepsTheWindowUntilItCloses) {
    PlainServer server;
    server.serve([](SOCKET peer) { receiveUntilClosed(peer); });
    CSocketMaster idle;
    EXPECT_EQ(MessageWindow(), nullptr);  // objects without a socket need no window
    {
        CSocketMaster sock;
        sock.Connect(L"127.0.0.1", server.port());
        EXPECT_TRUE(IsSocketRegistered(sock.SocketHandle()));
        EXPECT_NE(MessageWindow(), nullptr);
        ASSERT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
        const SOCKET handle = sock.SocketHandle();
        sock.CloseSck();
        EXPECT_FALSE(IsSocketRegistered(handle));
        EXPECT_EQ(MessageWindow(), nullptr);
        sock.Connect(L"127.0.0.1", server.port());  // a fresh socket, a fresh window
        EXPECT_NE(MessageWindow(), nullptr);
    }
    EXPECT_EQ(MessageWindow(), nullptr);
    EXPECT_TRUE(WinsockStarted());  // idle still holds it
}
