// Sending and receiving through the socket object's buffers, against plain
// Winsock peers on 127.0.0.1.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "core/RuntimeError.h"
#include "tests/socket/SocketTestSupport.h"

using namespace vorlane;
using namespace vorlane::test;

TEST(DataPath, ManyMegabytesToASlowReaderArriveWholeAndInOrder) {
    const std::string first = patternBytes(8 * 1024 * 1024, 0);
    const std::string second = patternBytes(1024 * 1024 + 7, 99);
    std::string received;
    Signal startReading;
    Loopback c([&](SOCKET peer) {
        startReading.wait();
        received = receiveUntilClosed(peer, 2);
    });
    ASSERT_TRUE(c.connect());

    c.sock.SendData(toBytes(first));
    ASSERT_FALSE(c.log.has(L"SendComplete"));  // the socket could not take it all at once
    const size_t reportsBeforeSecond = c.log.records().size();
    c.sock.SendData(toBytes(second));  // joins the queue behind the first
    startReading.set();
    ASSERT_TRUE(pumpUntil([&] { return c.log.has(L"SendComplete"); }, 60000));
    c.sock.CloseSck();
    c.server.join();

    EXPECT_TRUE(received == first + second) << "received " << received.size() << " bytes";
    // Every progress report: bytes sent by its drain and bytes still queued.
    // Together they account for every byte, and the last one reports nothing left.
    const size_t total = first.size() + second.size();
    size_t sent = 0;
    for (size_t i = 0; i < c.log.records().size(); ++i) {
        const std::wstring& line = c.log.records()[i].line;
        if (line == L"SendComplete") continue;
        long long bytesSent = 0, bytesRemaining = 0;
        ASSERT_EQ(swscanf(line.c_str(), L"SendProgress %lld %lld", &bytesSent, &bytesRemaining), 2);
        ASSERT_GT(bytesSent, 0);
        sent += static_cast<size_t>(bytesSent);
        const size_t queued = i < reportsBeforeSecond ? first.size() : total;
        EXPECT_EQ(static_cast<size_t>(bytesRemaining), queued - sent) << line.c_str();
    }
    EXPECT_EQ(sent, total);
    EXPECT_EQ(c.log.lines().back(), L"SendComplete");
    EXPECT_EQ(c.log.count(L"SendComplete"), 1u);
    EXPECT_TRUE(c.log.lines()[c.log.lines().size() - 2].ends_with(L" 0"));
}

TEST(DataPath, ASmallSendCompletesAtOnceAndEmptyValuesSendNothing) {
    std::string received;
    Loopback c([&](SOCKET peer) { received = receiveUntilClosed(peer); });
    ASSERT_TRUE(c.connect());
    c.sock.SendData(std::wstring());
    c.sock.SendData(ByteArray());
    EXPECT_TRUE(c.log.records().empty());
    c.sock.SendData(std::wstring(L"GET / HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(c.log.lines(), (std::vector<std::wstring>{L"SendProgress 18 0", L"SendComplete"}));
    c.sock.SendData(int16_t{258});
    c.sock.SendData(true);
    c.sock.CloseSck();
    c.server.join();
    EXPECT_EQ(received, std::string("GET / HTTP/1.0\r\n\r\n\x02\x01\xFF\xFF"));
}

TEST(DataPath, SendingNeedsAConnectionBeforeATypeIsLookedAt) {
    CSocketMaster sock;
    const RuntimeError unconnected = raisedBy([&] { sock.SendData(SocketValue{}); });
    EXPECT_EQ(unconnected.number(), 40006);
    EXPECT_EQ(unconnected.description(),
              L"Wrong protocol or connection state for the requested transaction or request");
    EXPECT_EQ(unconnected.source(), L"CSocketMaster.SendData");

    Loopback c;
    ASSERT_TRUE(c.connect());
    const RuntimeError untyped = raisedBy([&] { c.sock.SendData(SocketValue{}); });
    EXPECT_EQ(untyped.number(), 40018);
    EXPECT_EQ(untyped.description(), L"Unsupported variant type.");
}

TEST(DataPath, DataArrivalTellsTheWholeBufferedLength) {
    Signal firstSeen;
    Loopback c([&](SOCKET peer) {
        sendAll(peer, patternBytes(100));
        firstSeen.wait();
        sendAll(peer, patternBytes(50, 100));
        receiveUntilClosed(peer);
    });
    ASSERT_TRUE(c.connect());
    ASSERT_TRUE(pumpUntil([&] { return c.log.has(L"DataArrival"); }));
    EXPECT_EQ(c.sock.BytesReceived(), 100);
    firstSeen.set();
    ASSERT_TRUE(pumpUntil([&] { return c.log.count(L"DataArrival") == 2; }));
    EXPECT_EQ(c.log.lines(), (std::vector<std::wstring>{L"DataArrival 100", L"DataArrival 150"}));

    ByteArray peeked, taken;
    c.sock.PeekData(peeked);
    EXPECT_EQ(c.sock.BytesReceived(), 150);
    c.sock.GetData(taken);
    EXPECT_EQ(c.sock.BytesReceived(), 0);
    EXPECT_EQ(peeked, taken);
    EXPECT_EQ(toString(taken), patternBytes(150));
}

TEST(DataPath, TypedReadsTakeTheirSizeOrNothing) {
    Loopback c([](SOCKET peer) {
        // 258 as a Long, then one more byte; then text.
        sendAll(peer, std::string("\x02\x01\x00\x00\x07hello", 10));
        receiveUntilClosed(peer);
    });
    ASSERT_TRUE(c.connect());
    ASSERT_TRUE(pumpUntil([&] { return c.sock.BytesReceived() == 10; }));

    int32_t number = -5;
    EXPECT_EQ(c.sock.PeekData(number), 4);
    EXPECT_EQ(number, 258);
    EXPECT_EQ(c.sock.GetData(number), 4);
    EXPECT_EQ(c.sock.BytesReceived(), 6);
    uint8_t byte = 0;
    c.sock.GetData(byte);
    EXPECT_EQ(byte, 7);

    double tooBig = 1.5;  // 8 bytes wanted, 5 buffered
    EXPECT_EQ(c.sock.GetData(tooBig), 0);
    EXPECT_EQ(tooBig, 1.5);
    EXPECT_EQ(c.sock.BytesReceived(), 5);

    // An empty variable is read as the type asked for; one that holds text is
    // read as text whatever is asked.
    SocketValue asked;
    c.sock.PeekData(asked, VarType::Integer);
    EXPECT_EQ(asked, SocketValue(int16_t{'h' | ('e' << 8)}));
    SocketValue text = std::wstring(L"old");
    c.sock.PeekData(text, VarType::Long, 2);
    EXPECT_EQ(text, SocketValue(std::wstring(L"he")));

    std::wstring nothing = L"old";
    EXPECT_EQ(c.sock.GetData(nothing, 0), 0);  // maxLen 0 takes nothing
    EXPECT_EQ(nothing, L"");
    EXPECT_EQ(c.sock.BytesReceived(), 5);
    const RuntimeError negative = raisedBy([&] { c.sock.GetData(nothing, -1); });
    EXPECT_EQ(negative.number(), 40014);
    EXPECT_EQ(negative.source(), L"CSocketMaster.GetData");
    SocketValue untyped;
    const RuntimeError unsupported = raisedBy([&] { c.sock.GetData(untyped, static_cast<VarType>(9)); });
    EXPECT_EQ(unsupported.number(), 40018);
    EXPECT_EQ(unsupported.source(), L"CSocketMaster.RecvData");

    std::wstring rest;
    c.sock.GetData(rest);
    EXPECT_EQ(rest, L"hello");
    c.sock.GetData(rest);
    EXPECT_EQ(rest, L"");  // nothing left
}

// The peer sends a body and closes at once, while the owner is busy: the
// close is told with bytes still waiting in Winsock. Every byte must be
// announced before the close. Windows may post the close notification while
// data waits; Wine posts it only once all was read, so the test posts it
// itself at that moment, as Windows would.
TEST(DataPath, DataSentJustBeforeTheCloseIsNeverCutShort) {
    const std::string body = patternBytes(1024 * 1024 + 123);
    Signal peerDone;
    PlainServer server;
    server.serve([&](SOCKET peer) {
        sendAll(peer, body);
        shutdown(peer, SD_SEND);
        peerDone.set();
    });
    CSocketMaster sock;
    std::string received;
    std::vector<std::wstring> order;
    sock.events.DataArrival = [&](int32_t) {
        ByteArray piece;
        sock.GetData(piece);
        received += toString(piece);
        if (order.empty() || order.back() != L"DataArrival") order.push_back(L"DataArrival");
    };
    sock.events.CloseSck = [&] { order.push_back(L"CloseSck"); };
    sock.Connect(L"127.0.0.1", server.port());
    ASSERT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
    // Let the whole body and the close pile up before anything is read.
    ASSERT_TRUE(peerDone.wait(20000));
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, sock.SocketHandle(), FD_CLOSE);
    ASSERT_TRUE(pumpUntil([&] { return sock.State() != StateConnected; }, 20000));
    pumpFor(100);
    EXPECT_EQ(received.size(), body.size());
    EXPECT_TRUE(received == body);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"DataArrival", L"CloseSck"}));
    EXPECT_EQ(sock.State(), StateClosing);
}

TEST(DataPath, AfterThePeerClosedBufferedBytesCanNoLongerBeTaken) {
    Loopback c([](SOCKET peer) { sendAll(peer, "late"); });
    ASSERT_TRUE(c.connect());
    ASSERT_TRUE(pumpUntil([&] { return c.log.has(L"CloseSck"); }));
    EXPECT_EQ(c.log.lines(), (std::vector<std::wstring>{L"DataArrival 4", L"CloseSck"}));
    EXPECT_EQ(c.sock.State(), StateClosing);
    EXPECT_EQ(c.sock.BytesReceived(), 4);
    std::wstring text;
    const RuntimeError refused = raisedBy([&] { c.sock.GetData(text); });
    EXPECT_EQ(refused.number(), 40006);
    EXPECT_EQ(refused.source(), L"CSocketMaster.GetData");
    EXPECT_EQ(raisedBy([&] { c.sock.PeekData(text); }).source(), L"CSocketMaster.PeekData");
}

// A read notification that finds nothing to read (one already dealt with by
// an earlier read) is no failure: the connection stays up.
TEST(DataPath, AStaleReadNotificationChangesNothing) {
    Signal proceed;
    Loopback c([&](SOCKET peer) {
        proceed.wait();
        sendAll(peer, "after");
        receiveUntilClosed(peer);
    });
    ASSERT_TRUE(c.connect());
    ASSERT_NE(MessageWindow(), nullptr);
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, c.sock.SocketHandle(), FD_READ);
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, c.sock.SocketHandle(), FD_READ);
    pumpFor(100);
    EXPECT_EQ(c.sock.State(), StateConnected);
    EXPECT_TRUE(c.log.records().empty());

    proceed.set();
    ASSERT_TRUE(pumpUntil([&] { return c.log.has(L"DataArrival"); }));
    EXPECT_EQ(c.log.lines(), std::vector<std::wstring>{L"DataArrival 5"});
}

// A receive that fails while a notification is handled is told through the
// Error event: the owner must not wait for data that will never come.
TEST(DataPath, AFailedReceiveIsAnError) {
    Loopback c([](SOCKET peer) {
        sendAll(peer, "lost");
        receiveUntilClosed(peer);
    });
    ASSERT_TRUE(c.connect());
    shutdown(c.sock.SocketHandle(), SD_RECEIVE);  // from now on every receive fails
    PostMessageW(MessageWindow(), SOCKET_MESSAGE, c.sock.SocketHandle(), FD_READ);
    ASSERT_TRUE(pumpUntil([&] { return c.sock.State() != StateConnected; }));
    ASSERT_EQ(c.log.count(L"Error"), 1u);
    EXPECT_TRUE(c.log.lines()[0].ends_with(L"CSocketMaster.RecvDataToBuffer")) << c.log.lines()[0];
    EXPECT_EQ(c.sock.State(), StateError);
}

// An error that a handler lets escape is told to the owner through the Error
// event, as any other failure while a notification is handled.
TEST(DataPath, AnErrorEscapingAHandlerIsToldThroughTheErrorEvent) {
    Loopback c([](SOCKET peer) {
        sendAll(peer, "data");
        receiveUntilClosed(peer);
    });
    ASSERT_TRUE(c.connect());
    c.sock.events.DataArrival = [&](int32_t) {
        ByteArray bytes;
        c.sock.GetData(bytes, -1);
    };
    ASSERT_TRUE(pumpUntil([&] { return c.log.has(L"Error"); }));
    ASSERT_EQ(c.log.records().size(), 1u);
    EXPECT_TRUE(c.log.lines()[0].ends_with(L" in the specified range. CSocketMaster.GetData"))
        << c.log.lines()[0];
    EXPECT_EQ(c.sock.State(), StateError);
}

// An owner may destroy the object from inside a handler: the object then
// raises nothing more.
TEST(DataPath, AnOwnerMayDestroyTheObjectWhileItSends) {
    PlainServer server;
    server.serve([](SOCKET peer) { receiveUntilClosed(peer); });
    auto sock = std::make_unique<CSocketMaster>();
    sock->Connect(L"127.0.0.1", server.port());
    ASSERT_TRUE(pumpUntil([&] { return sock->State() == StateConnected; }));
    int progress = 0, complete = 0;
    sock->events.SendProgress = [&](int32_t, int32_t) {
        ++progress;
        sock.reset();
    };
    sock->events.SendComplete = [&] { ++complete; };
    sock->SendData(std::wstring(L"short"));  // all of it goes at once: progress, then completion
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(sock, nullptr);
}

TEST(DataPath, AHandlerMayReadAndCloseFromInsideItsEvents) {
    Loopback c([](SOCKET peer) {
        sendAll(peer, "reply");
        receiveUntilClosed(peer);
    });
    ASSERT_TRUE(c.connect());
    std::wstring reply;
    c.sock.events.DataArrival = [&](int32_t bytesTotal) {
        EXPECT_EQ(bytesTotal, 5);
        c.sock.GetData(reply);
        c.sock.CloseSck();
    };
    ASSERT_TRUE(pumpUntil([&] { return c.sock.State() == StateClosed; }));
    EXPECT_EQ(reply, L"reply");
    c.server.join();  // the peer saw the close
}

// SendComplete tells that the buffer is empty: never while bytes a handler
// sent from inside SendProgress are still queued, and once per emptying.
TEST(DataPath, SendingFromInsideSendProgressCompletesOnceWhenAllHasGone) {
    for (const size_t more : {size_t{4}, size_t{16 * 1024 * 1024}}) {
        const std::string extra = patternBytes(more, 5);
        std::string received;
        Signal startReading;
        Loopback c([&](SOCKET peer) {
            startReading.wait();
            received = receiveUntilClosed(peer);
        });
        ASSERT_TRUE(c.connect());
        bool sentMore = false;
        c.sock.events.SendProgress = [&, logged = c.sock.events.SendProgress](int32_t sent, int32_t left) {
            logged(sent, left);
            if (!std::exchange(sentMore, true)) c.sock.SendData(toBytes(extra));
        };
        c.sock.SendData(std::wstring(L"first"));
        startReading.set();
        ASSERT_TRUE(pumpUntil([&] { return c.log.has(L"SendComplete"); }, 60000)) << more;
        pumpFor(100);
        c.sock.CloseSck();
        c.server.join();
        EXPECT_TRUE(received == "first" + extra) << more << ": received " << received.size();
        const std::vector<std::wstring> lines = c.log.lines();
        EXPECT_EQ(c.log.count(L"SendComplete"), 1u) << more;
        EXPECT_EQ(lines.back(), L"SendComplete") << more;
        ASSERT_GE(lines.size(), 2u);
        EXPECT_TRUE(lines[lines.size() - 2].ends_with(L" 0")) << more;
    }
}
