// Winsock's start and stop, the hidden window, its router and the route tables.
#include "socket/modSocketMaster.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

#include "core/Ansi.h"
#include "core/Handles.h"
#include "core/RuntimeError.h"
#include "core/Trap.h"
#include "socket/CSocketMaster.h"
#include "socket/RouteTable.h"

namespace vorlane {

namespace {

constexpr long kSocketEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

struct LookupRoute {
    SocketMessageTarget* owner = nullptr;  // null once the owner has cancelled the lookup
    std::shared_ptr<LookupBlock> block;
};

struct SocketLayer {
    int32_t winsockUserCount = 0;
    bool winsockStarted = false;

    WindowHandle window;
    std::set<SOCKET> registeredSockets;
    RouteTable<SocketMessageTarget*> socketRoutes;
    RouteTable<LookupRoute> lookupRoutes;
    std::map<SOCKET, std::shared_ptr<CSocketMaster>> acceptHelpers;

    HWND subclassedWindow = nullptr;
    WNDPROC previousProcedure = nullptr;
};

SocketLayer& layer() {
    static SocketLayer state;
    return state;
}

RouteTable<SocketMessageTarget*>::Handle routeKey(SOCKET socket) { return static_cast<uintptr_t>(socket); }
RouteTable<LookupRoute>::Handle routeKey(HANDLE lookup) { return reinterpret_cast<uintptr_t>(lookup); }

// A lookup still running when its route goes may yet write its answer; its
// block is kept for the rest of the run rather than freed under it.
void keepBlockForever(std::shared_ptr<LookupBlock> block) {
    if (!block) return;
    static auto* kept = new std::vector<std::shared_ptr<LookupBlock>>();
    kept->push_back(std::move(block));
}

void clearRoutes() {
    SocketLayer& state = layer();
    state.lookupRoutes.forEach(
        [](uintptr_t, LookupRoute& route) { keepBlockForever(std::move(route.block)); });
    state.lookupRoutes.clear();
    state.socketRoutes.clear();
}

// The window's own procedure, as before it was subclassed; the handler that
// failed may have destroyed the window meanwhile.
LRESULT previousHandling(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = layer().previousProcedure;
    return previous && IsWindow(hwnd) ? CallWindowProcW(previous, hwnd, uMsg, wParam, lParam) : 0;
}

LRESULT deliver(SocketMessageTarget* owner, HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // A socket object tells its owner of every error raised while it handles a
    // notification. What still escapes comes from an owner's Error handler; it
    // goes to the program's error report and must not unwind through the
    // system's dispatch.
    return runDispatchTrapped(
        L"SocketMessageRouter", L"modSocketMaster", [&] { return owner->WndProc(hwnd, uMsg, wParam, lParam); },
        [&] { return previousHandling(hwnd, uMsg, wParam, lParam); });
}

LRESULT CALLBACK SocketMessageRouter(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    SocketLayer& state = layer();
    if (uMsg == RESOLVE_MESSAGE) {
        // The answer ends the lookup: its route goes before the owner sees it.
        std::optional<LookupRoute> route = state.lookupRoutes.remove(wParam);
        if (!route || !route->owner) return 0;
        return deliver(route->owner, hwnd, uMsg, wParam, lParam);
    }
    if (uMsg == SOCKET_MESSAGE) {
        SocketMessageTarget** owner = state.socketRoutes.lookup(wParam);
        if (!owner || !*owner) return 0;
        return deliver(*owner, hwnd, uMsg, wParam, lParam);
    }
    return previousHandling(hwnd, uMsg, wParam, lParam);
}

// Notifications already queued for a socket that is going would otherwise
// reach whichever socket is next given the same handle.
void dropQueuedNotifications(SOCKET socket) {
    const HWND window = layer().window.get();
    if (!window) return;
    std::vector<MSG> others;
    MSG msg;
    while (PeekMessageW(&msg, window, SOCKET_MESSAGE, SOCKET_MESSAGE, PM_REMOVE | PM_NOYIELD))
        if (msg.wParam != socket) others.push_back(msg);
    for (const MSG& kept : others) PostMessageW(window, kept.message, kept.wParam, kept.lParam);
}

void releaseWindowIfUnused() {
    SocketLayer& state = layer();
    if (!state.registeredSockets.empty()) return;
    UnsubclassMessageWindow();
    try {
        DestroyWinsockMessageWindow();
    } catch (const RuntimeError&) {
        // The window stays; the next first registration makes a new one.
        state.window.release();
    }
}

}  // namespace

// --- Winsock start and stop -------------------------------------------------

int32_t InitiateProcesses() {
    SocketLayer& state = layer();
    ++state.winsockUserCount;
    if (!state.winsockStarted) {
        CreateRouter();
        state.winsockStarted = true;
        const int32_t result = StartWinsock();
        if (result != 0) {
            // Undo the count so that the next socket object tries again.
            --state.winsockUserCount;
            state.winsockStarted = false;
            raiseError(result, WinsockErrorText(result), L"modSocketMaster.InitiateProcesses");
        }
    }
    return 0;
}

int32_t FinalizeProcesses() {
    SocketLayer& state = layer();
    --state.winsockUserCount;
    if (state.winsockStarted && state.winsockUserCount == 0) {
        if (StopWinsock() == -1) {
            const int32_t code = WSAGetLastError();
            raiseError(code, WinsockErrorText(code), L"modSocketMaster.FinalizeProcesses");
        }
        DestroyRouter();
        state.winsockStarted = false;
    }
    return 0;
}

int32_t StartWinsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data);
}

int32_t StopWinsock() { return WSACleanup(); }

int32_t WinsockUserCount() { return layer().winsockUserCount; }
bool WinsockStarted() { return layer().winsockStarted; }

// --- Routing ----------------------------------------------------------------

bool RegisterSocket(SOCKET socket, SocketMessageTarget* owner, bool withEvents) {
    const wchar_t* const source = L"modSocketMaster.RegisterSocket";
    SocketLayer& state = layer();
    if (state.registeredSockets.contains(socket)) raiseError(errnum::KeyAlreadyInCollection, source);
    if (!state.window) {
        if (CreateWinsockMessageWindow() != 0) raiseError(errnum::OutOfMemory, source);
        SubclassMessageWindow(state.window.get());
    }
    state.socketRoutes.add(routeKey(socket), owner);
    if (withEvents &&
        WSAAsyncSelect(socket, state.window.get(), SOCKET_MESSAGE, kSocketEvents) == SOCKET_ERROR) {
        const int32_t code = WSAGetLastError();
        state.socketRoutes.remove(routeKey(socket));
        releaseWindowIfUnused();
        raiseWinsockError(code, source);
    }
    state.registeredSockets.insert(socket);
    return true;
}

void UnregisterSocket(SOCKET socket) {
    SocketLayer& state = layer();
    state.socketRoutes.remove(routeKey(socket));
    dropQueuedNotifications(socket);
    state.registeredSockets.erase(socket);
    releaseWindowIfUnused();
}

bool IsSocketRegistered(SOCKET socket) { return layer().registeredSockets.contains(socket); }

void ChangeOwner(SOCKET socket, SocketMessageTarget* newOwner) {
    if (SocketMessageTarget** owner = layer().socketRoutes.lookup(routeKey(socket))) *owner = newOwner;
}

HANDLE ResolveHostAsync(const std::wstring& host, std::shared_ptr<LookupBlock> block,
                        SocketMessageTarget* owner) {
    SocketLayer& state = layer();
    if (!state.window || !block) {
        WSASetLastError(WSAEINVAL);
        return nullptr;
    }
    const std::string name = toAnsi(host);
    const HANDLE lookup = WSAAsyncGetHostByName(state.window.get(), RESOLVE_MESSAGE, name.c_str(),
                                                block->data(), int(block->size()));
    if (lookup) {
        // A handle given out again replaces a route whose answer never came.
        if (std::optional<LookupRoute> stale = state.lookupRoutes.remove(routeKey(lookup)))
            keepBlockForever(std::move(stale->block));
        state.lookupRoutes.add(routeKey(lookup), LookupRoute{owner, std::move(block)});
    }
    return lookup;
}

void UnregisterLookup(HANDLE lookup) {
    // The lookup may still be running whatever its cancellation answered, and
    // writes into its block when it ends: the route keeps the block until then.
    if (LookupRoute* route = layer().lookupRoutes.lookup(routeKey(lookup))) route->owner = nullptr;
}

void ForgetOwner(SocketMessageTarget* owner) {
    SocketLayer& state = layer();
    std::vector<SOCKET> sockets;
    state.socketRoutes.forEach([&](uintptr_t handle, SocketMessageTarget*& routed) {
        if (routed == owner) sockets.push_back(static_cast<SOCKET>(handle));
    });
    for (SOCKET socket : sockets) UnregisterSocket(socket);
    state.lookupRoutes.forEach([&](uintptr_t, LookupRoute& route) {
        if (route.owner == owner) route.owner = nullptr;
    });
}

// --- Accept helpers ---------------------------------------------------------

void RegisterAcceptHelper(SOCKET socket) {
    auto helper = std::make_shared<CSocketMaster>();
    helper->Accept(socket);
    layer().acceptHelpers[socket] = std::move(helper);
}

bool IsAcceptHelperHeld(SOCKET socket) { return layer().acceptHelpers.contains(socket); }

std::shared_ptr<CSocketMaster> GetAcceptHelper(SOCKET socket) {
    auto& helpers = layer().acceptHelpers;
    const auto found = helpers.find(socket);
    if (found == helpers.end()) raiseError(errnum::InvalidProcedureCall, L"modSocketMaster.GetAcceptHelper");
    return found->second;
}

void UnregisterAcceptHelper(SOCKET socket) {
    auto& helpers = layer().acceptHelpers;
    const auto found = helpers.find(socket);
    if (found == helpers.end())
        raiseError(errnum::InvalidProcedureCall, L"modSocketMaster.UnregisterAcceptHelper");
    // Release the helper only after it has left the registry: its going may
    // reach back into the layer.
    std::shared_ptr<CSocketMaster> helper = std::move(found->second);
    helpers.erase(found);
}

// --- The hidden window ------------------------------------------------------

int32_t CreateWinsockMessageWindow() {
    // A message-only window: it receives posted notifications and nothing else.
    const HWND window = CreateWindowExW(0, L"STATIC", L"SOCKET_WINDOW", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    if (!window) return errnum::OutOfMemory;
    layer().window.reset(window);
    return 0;
}

int32_t DestroyWinsockMessageWindow() {
    SocketLayer& state = layer();
    if (!state.window) return 0;
    if (!DestroyWindow(state.window.get()))
        raiseError(errnum::OutOfMemory, L"modSocketMaster.DestroyWinsockMessageWindow");
    state.window.release();
    return 0;
}

void CreateRouter() { clearRoutes(); }

void DestroyRouter() {
    UnsubclassMessageWindow();
    clearRoutes();
}

bool SubclassMessageWindow(HWND window) {
    SocketLayer& state = layer();
    if (state.subclassedWindow) return false;
    state.subclassedWindow = window;
    state.previousProcedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    return SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SocketMessageRouter)) != 0;
}

bool UnsubclassMessageWindow() {
    SocketLayer& state = layer();
    if (!state.subclassedWindow) return false;
    clearRoutes();
    SetWindowLongPtrW(state.subclassedWindow, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(state.previousProcedure));
    state.subclassedWindow = nullptr;
    return true;
}

HWND MessageWindow() { return layer().window.get(); }

}  // namespace vorlane
