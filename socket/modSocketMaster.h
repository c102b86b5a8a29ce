// The socket layer's process-wide services: Winsock started by the first socket
// object and stopped with the last, and the hidden window whose procedure, the
// router, hands each Winsock notification to the object that owns the socket or
// host lookup it concerns. Everything here runs on the user-interface thread.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "socket/WinsockErrors.h"

namespace vorlane {

class CSocketMaster;

// Messages of the hidden window. RESOLVE_MESSAGE: wParam the lookup handle,
// high word of lParam its Winsock error. SOCKET_MESSAGE: wParam the socket, low
// word of lParam the network event, high word its Winsock error.
constexpr UINT RESOLVE_MESSAGE = 0x800;
constexpr UINT SOCKET_MESSAGE = 0x801;

// What a route leads to: the router calls WndProc with each message routed to
// it. A route keeps nothing alive; an owner removes its routes before it goes.
class SocketMessageTarget {
public:
    virtual LRESULT WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~SocketMessageTarget() = default;
};

// The block an asynchronous host lookup writes its answer into. The router
// holds it until the answer has arrived, so a lookup whose owner has gone
// never writes into freed memory.
using LookupBlock = std::array<char, MAXGETHOSTSTRUCT>;

// --- Winsock start and stop -------------------------------------------------

int32_t InitiateProcesses();  // one more socket object; the first starts Winsock
int32_t FinalizeProcesses();  // one fewer; the last stops Winsock
int32_t StartWinsock();       // WSAStartup for version 1.1: 0 or the Winsock error
int32_t StopWinsock();        // WSACleanup: 0 or -1
int32_t WinsockUserCount();
bool WinsockStarted();

// --- Routing ----------------------------------------------------------------

// Routes socket's notifications to owner; with withEvents, asks Winsock for
// read, write, accept, connect and close notifications on SOCKET_MESSAGE. The
// first registration creates the hidden window. Answers True; failures raise.
bool RegisterSocket(SOCKET socket, SocketMessageTarget* owner, bool withEvents);
// Drops socket's route and any of its notifications still queued; the last
// registered socket takes the hidden window with it. Never raises.
void UnregisterSocket(SOCKET socket);
bool IsSocketRegistered(SOCKET socket);
// Routes socket's notifications to newOwner from now on.
void ChangeOwner(SOCKET socket, SocketMessageTarget* newOwner);

// Starts a lookup of host whose answer comes to owner as RESOLVE_MESSAGE.
// Answers the lookup handle, or null (the Winsock error then set) when the
// lookup could not start. The answer's arrival removes the route.
HANDLE ResolveHostAsync(const std::wstring& host, std::shared_ptr<LookupBlock> block,
                        SocketMessageTarget* owner);
// Stops routing a lookup's answer (its owner cancelled it).
void UnregisterLookup(HANDLE lookup);

// Removes every route that still leads to owner (called as an owner goes).
void ForgetOwner(SocketMessageTarget* owner);

// --- Accept helpers ---------------------------------------------------------

// Makes a new socket object the holder of a just-accepted connection.
void RegisterAcceptHelper(SOCKET socket);
bool IsAcceptHelperHeld(SOCKET socket);
std::shared_ptr<CSocketMaster> GetAcceptHelper(SOCKET socket);  // raises 5 when none is held
void UnregisterAcceptHelper(SOCKET socket);                     // raises 5 when none is held

// --- The hidden window ------------------------------------------------------

int32_t CreateWinsockMessageWindow();   // 0, or 7 when no window could be made
int32_t DestroyWinsockMessageWindow();  // 0; a failure raises 7
void CreateRouter();
void DestroyRouter();
bool SubclassMessageWindow(HWND window);
bool UnsubclassMessageWindow();
HWND MessageWindow();  // null when there is none

}  // namespace vorlane
