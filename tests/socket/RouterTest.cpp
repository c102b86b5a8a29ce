// The hidden window, its router and the route tables, with real windows and
// real Winsock lookups.
#include <gtest/gtest.h>

#include <memory>

#include "core/RuntimeError.h"
#include "tests/socket/SocketTestSupport.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

// A route owner that notes every message the router hands it.
class Recorder : public SocketMessageTarget {
public:
    struct Message {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> messages;

    LRESULT WndProc(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({uMsg, wParam, lParam});
        return 0;
    }
};

void post(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    ASSERT_TRUE(PostMessageW(MessageWindow(), message, wParam, lParam));
}

// Refuses the creation of the socket layer's window while it exists.
class WindowVeto {
public:
    WindowVeto() { hook_ = SetWindowsHookExW(WH_CBT, &veto, nullptr, GetCurrentThreadId()); }
    ~WindowVeto() { UnhookWindowsHookEx(hook_); }

private:
    static LRESULT CALLBACK veto(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            if (!IS_INTRESOURCE(create->lpszName) && create->lpszName &&
                std::wstring(create->lpszName) == L"SOCKET_WINDOW")
                return 1;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

}  // namespace

TEST(Router, TheWindowLivesFromTheFirstRegistrationToTheLast) {
    Recorder a;
    EXPECT_FALSE(IsSocketRegistered(100));
    EXPECT_EQ(MessageWindow(), nullptr);
    RegisterSocket(100, &a, false);
    const HWND first = MessageWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(IsWindow(first));
    RegisterSocket(200, &a, false);
    UnregisterSocket(100);
    EXPECT_EQ(MessageWindow(), first);
    UnregisterSocket(200);
    EXPECT_EQ(MessageWindow(), nullptr);
    EXPECT_FALSE(IsWindow(first));

    // A new window, with nothing routed from before.
    RegisterSocket(300, &a, false);
    ASSERT_NE(MessageWindow(), nullptr);
    EXPECT_TRUE(IsWindow(MessageWindow()));
    post(SOCKET_MESSAGE, 100, FD_READ);
    post(SOCKET_MESSAGE, 300, FD_CLOSE);
    pumpFor(50);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].wParam, 300u);
    EXPECT_EQ(a.messages[0].lParam, FD_CLOSE);
    UnregisterSocket(300);
}

TEST(Router, MessagesReachTheirOwnerAndNoOther) {
    Recorder a, b;
    RegisterSocket(100, &a, false);
    RegisterSocket(200, &b, false);
    post(SOCKET_MESSAGE, 100, MAKELPARAM(FD_READ, 10054));
    pumpFor(50);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].uMsg, SOCKET_MESSAGE);
    EXPECT_EQ(a.messages[0].lParam, MAKELPARAM(FD_READ, 10054));
    EXPECT_TRUE(b.messages.empty());

    UnregisterSocket(100);
    post(SOCKET_MESSAGE, 100, FD_READ);  // for a socket no longer registered: dropped
    pumpFor(50);
    EXPECT_EQ(a.messages.size(), 1u);
    EXPECT_TRUE(b.messages.empty());

    ChangeOwner(200, &a);
    post(SOCKET_MESSAGE, 200, FD_WRITE);
    pumpFor(50);
    EXPECT_EQ(a.messages.size(), 2u);
    EXPECT_TRUE(b.messages.empty());
    UnregisterSocket(200);
}

// Socket handles are pointer-sized: two handles that agree in their low 32
// bits are two different sockets.
TEST(Router, HandlesAreKeptAtFullWidth) {
    Recorder low, high;
    const SOCKET wide = (SOCKET{1} << 40) | 100;
    RegisterSocket(100, &low, false);
    RegisterSocket(wide, &high, false);
    EXPECT_TRUE(IsSocketRegistered(wide));
    post(SOCKET_MESSAGE, wide, FD_READ);
    pumpFor(50);
    EXPECT_TRUE(low.messages.empty());
    ASSERT_EQ(high.messages.size(), 1u);
    EXPECT_EQ(high.messages[0].wParam, wide);
    static_assert(sizeof(decltype(std::declval<CSocketMaster>().SocketHandle())) == sizeof(void*));
    UnregisterSocket(wide);
    UnregisterSocket(100);
}

// Notifications still queued for a socket that goes never reach the next
// socket given the same handle.
TEST(Router, QueuedNotificationsDoNotOutliveTheirSocket) {
    Recorder keeper, old, reused;
    RegisterSocket(500, &keeper, false);
    RegisterSocket(100, &old, false);
    post(SOCKET_MESSAGE, 100, FD_CLOSE);
    post(SOCKET_MESSAGE, 500, FD_READ);
    UnregisterSocket(100);
    RegisterSocket(100, &reused, false);
    pumpFor(50);
    EXPECT_TRUE(old.messages.empty());
    EXPECT_TRUE(reused.messages.empty());
    EXPECT_EQ(keeper.messages.size(), 1u);  // other sockets' notifications stay
    UnregisterSocket(100);
    UnregisterSocket(500);
}

TEST(Router, RegisteringASocketTwiceFails) {
    Recorder a, b;
    RegisterSocket(100, &a, false);
    try {
        RegisterSocket(100, &b, false);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 457);
    }
    post(SOCKET_MESSAGE, 100, FD_READ);
    pumpFor(50);
    EXPECT_EQ(a.messages.size(), 1u);  // the first route stands
    EXPECT_TRUE(b.messages.empty());
    UnregisterSocket(100);
}

TEST(Router, OtherMessagesReachTheWindowsOwnProcedure) {
    Recorder a;
    RegisterSocket(100, &a, false);
    wchar_t title[32] = {};
    EXPECT_EQ(SendMessageW(MessageWindow(), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title)), 13);
    EXPECT_STREQ(title, L"SOCKET_WINDOW");
    EXPECT_TRUE(a.messages.empty());
    UnregisterSocket(100);
}

// The answer of a lookup ends its route: a second message with the same
// handle reaches nobody, and a cancelled lookup's answer reaches nobody.
TEST(Router, ALookupsAnswerEndsItsRoute) {
    CSocketMaster holder;  // keeps Winsock started
    Recorder keeper, a, b;
    RegisterSocket(100, &keeper, false);
    const HANDLE answered = ResolveHostAsync(L"localhost", std::make_shared<LookupBlock>(), &a);
    ASSERT_NE(answered, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return !a.messages.empty(); }));
    EXPECT_EQ(a.messages[0].uMsg, RESOLVE_MESSAGE);
    EXPECT_EQ(HighWord(static_cast<int32_t>(a.messages[0].lParam)), 0);
    post(RESOLVE_MESSAGE, reinterpret_cast<WPARAM>(answered));
    pumpFor(50);
    EXPECT_EQ(a.messages.size(), 1u);

    const HANDLE cancelled = ResolveHostAsync(L"localhost", std::make_shared<LookupBlock>(), &b);
    ASSERT_NE(cancelled, nullptr);
    EXPECT_NE(cancelled, answered);
    WSACancelAsyncRequest(cancelled);
    UnregisterLookup(cancelled);
    pumpFor(300);
    EXPECT_TRUE(b.messages.empty());
    EXPECT_TRUE(keeper.messages.empty());
    UnregisterSocket(100);
}

// After the window could not be made, the next registration tries again.
TEST(Router, AFailedWindowCreationIsRetried) {
    Recorder a;
    {
        WindowVeto veto;
        try {
            RegisterSocket(100, &a, false);
            FAIL() << "the window was made";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 7);
            EXPECT_EQ(e.description(), L"Out of memory");
            EXPECT_EQ(e.source(), L"modSocketMaster.RegisterSocket");
        }
        EXPECT_EQ(MessageWindow(), nullptr);
        EXPECT_FALSE(IsSocketRegistered(100));
    }
    RegisterSocket(100, &a, false);
    ASSERT_NE(MessageWindow(), nullptr);
    post(SOCKET_MESSAGE, 100, FD_READ);
    pumpFor(50);
    EXPECT_EQ(a.messages.size(), 1u);
    UnregisterSocket(100);
}

TEST(Router, ASocketObjectRecoversFromAFailedWindowCreation) {
    Loopback loopback;
    auto& [server, sock, log] = loopback;
    {
        WindowVeto veto;
        try {
            sock.Connect(L"127.0.0.1", server.port());
            FAIL() << "the window was made";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 7);
            EXPECT_EQ(e.source(), L"modSocketMaster.RegisterSocket");
        }
    }
    EXPECT_EQ(sock.State(), StateClosed);
    EXPECT_EQ(sock.SocketHandle(), INVALID_SOCKET);  // no socket kept without its route
    sock.Connect(L"127.0.0.1", server.port());
    EXPECT_TRUE(pumpUntil([&] { return sock.State() == StateConnected; }));
}
