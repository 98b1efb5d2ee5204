#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class CSocketMaster;

// The process-wide runtime under every CSocketMaster: starts and stops the
// networking layer with the first and last object, owns the dispatcher that
// takes the place of the hidden socket window, keeps the tables that tell
// which object owns which socket and which host look-up, keeps the registry of
// accepted connections not yet taken by a user object, and turns Winsock
// error numbers into English texts. User-interface thread only; nothing is
// locked.
//
// Errors are raised as AppError with the source "modSocketMaster." followed
// by the procedure.

// Messages of the socket window: a completed host look-up (wParam the look-up
// handle, high word of lParam the error) and a socket notification (wParam the
// socket, low word of lParam the event, high word the error).
inline constexpr uint32_t kMsgResolveDone = 0x800;
inline constexpr uint32_t kMsgSocketEvent = 0x801;
// The events selected for every socket registered with events.
inline constexpr int32_t kSocketEventMask = 59;

int32_t InitiateProcesses();
int32_t FinalizeProcesses();

// The text of a Winsock error number; "Unknown error." for any other number.
QString GetErrorDescription(int32_t number);

bool RegisterSocket(int32_t socket, CSocketMaster* owner, bool withEvents);
void UnregisterSocket(int32_t socket);
bool IsSocketRegistered(int32_t socket);
// The owner's buffer receives the resolved address when the look-up
// completes, before the owner's WndProc is called with kMsgResolveDone; the
// buffer must live until then or until UnregisterResolution.
int32_t ResolveHostAsync(const QString& hostName, uint32_t* buffer, CSocketMaster* owner);
void UnregisterResolution(int32_t handle);
// Cancels a pending look-up in the platform layer; 0 or the Winsock error.
int32_t CancelAsyncRequest(int32_t handle);

void RegisterAcceptHolder(int32_t socket);
bool IsAcceptHolderRegistered(int32_t socket);
std::shared_ptr<CSocketMaster> GetAcceptHolder(int32_t socket);
void UnregisterAcceptHolder(int32_t socket);
void ChangeSocketOwner(int32_t socket, CSocketMaster* owner);

int32_t CreateWinsockMessageWindow();
void DestroyWinsockMessageWindow();

// The dispatcher of the socket window: the two messages go to the owner that
// the tables name; everything else, and a message whose handle no table holds,
// goes to the previous procedure (which does nothing) and answers 0. An error
// escaping an owner is recorded in the error log and never ends the program.
int32_t SocketWindowProc(uint32_t message, int32_t wParam, int32_t lParam);

// Small conversions of message parameters and ports.
int32_t LoWord(int32_t value);
int32_t HiWord(int32_t value);
// A port 0..65535 to the unsigned 16-bit field; raises 6 "Overflow" outside.
uint16_t IntegerToUnsigned(int32_t value);
int32_t UnsignedToInteger(uint16_t value);

// Module state, for diagnostics and tests.
int32_t SocketInstanceCount();
bool SocketRuntimeStarted();
bool SocketWindowExists();
int32_t SocketTableCount();
int32_t ResolveTableCount();
int32_t AcceptHolderCount();
