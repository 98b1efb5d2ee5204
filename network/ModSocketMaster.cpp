#include "network/ModSocketMaster.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "network/CSocketMaster.h"
#include "network/SocketMasterCommon.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/sockets/AsyncSelect.h"

namespace {

constexpr int32_t kOutOfMemory = 7;

// An owner table: slot i holds a key and its owner; -1 (and no owner) marks a
// free slot. Slots are reused, so a table grows only to the largest number of
// entries alive at once.
struct OwnerTable {
    std::vector<int32_t> keys;
    std::vector<CSocketMaster*> owners;
    std::vector<uint32_t*> buffers;  // resolve table only

    void Add(int32_t key, CSocketMaster* owner, uint32_t* buffer = nullptr) {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == -1) {
                keys[i] = key;
                owners[i] = owner;
                buffers[i] = buffer;
                return;
            }
            if (keys[i] == key)
                return;  // already there: the first owner stays
        }
        keys.push_back(key);
        owners.push_back(owner);
        buffers.push_back(buffer);
    }
    int Find(int32_t key) const {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key)
                return int(i);
        }
        return -1;
    }
    void Remove(int32_t key) {
        const int i = Find(key);
        if (i >= 0) {
            keys[i] = -1;
            owners[i] = nullptr;
            buffers[i] = nullptr;
        }
    }
    void Reset() {
        keys.clear();
        owners.clear();
        buffers.clear();
    }
};

struct ModuleState {
    int32_t instanceCount = 0;
    bool started = false;
    std::optional<std::map<int32_t, CSocketMaster*>> socketRegistry;
    std::optional<std::map<int32_t, std::shared_ptr<CSocketMaster>>> acceptRegistry;
    bool window = false;
    bool procedureInstalled = false;
    OwnerTable resolveTable;
    OwnerTable socketTable;
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

// A connection that was accepted but taken by no socket object belongs to this
// module alone: it is closed as an unaccepted request is. Everything else
// belongs to live socket objects, each of which unregisters its socket and
// ends the module's use of the socket layer when it goes; they are left
// alone, or their descriptors would be closed under them (and could be
// reused by another socket before they close them again).
void ResetSocketModule() {
    ModuleState& m = State();
    if (!m.acceptRegistry)
        return;
    std::vector<int32_t> unaccepted;
    for (const auto& [socket, holder] : *m.acceptRegistry)
        unaccepted.push_back(socket);
    for (const int32_t socket : unaccepted) {
        platform::CloseSocket(socket);
        UnregisterSocket(socket);
        UnregisterAcceptHolder(socket);
    }
}
[[maybe_unused]] const bool kSocketsResetRegistered =
    platform::RegisterStateReset(&ResetSocketModule);

[[noreturn]] void RaiseWinsock(int32_t number, const QString& procedure) {
    throw AppError(number, GetErrorDescription(number), "modSocketMaster." + procedure);
}

void InstallProcedure() {
    State().procedureInstalled = true;
}

// Putting the previous procedure back ends every dispatch: both tables empty.
void RemoveProcedure() {
    ModuleState& m = State();
    m.procedureInstalled = false;
    m.socketTable.Reset();
    m.resolveTable.Reset();
}

void OnSocketEvent(platform::SocketHandle socket, int event, int error) {
    const uint32_t lParam = (uint32_t(error & 0xFFFF) << 16) | uint32_t(event & 0xFFFF);
    SocketWindowProc(kMsgSocketEvent, socket, int32_t(lParam));
}

void OnLookupDone(int handle, int error, uint32_t address) {
    ModuleState& m = State();
    if (!m.window)
        return;  // a message to a window that is gone is lost
    const int slot = m.resolveTable.Find(handle);
    if (slot < 0)
        return;
    if (error == 0 && m.resolveTable.buffers[slot])
        *m.resolveTable.buffers[slot] = address;
    const uint32_t lParam = uint32_t(error & 0xFFFF) << 16;
    SocketWindowProc(kMsgResolveDone, handle, int32_t(lParam));
    // A completed look-up frees its slot, so the table does not grow with
    // every look-up of the run.
    State().resolveTable.Remove(handle);
}

}  // namespace

int32_t InitiateProcesses() {
    ModuleState& m = State();
    ++m.instanceCount;
    if (!m.started) {
        m.started = true;
        const int error = platform::SocketStartup(0x0101);
        if (error)
            RaiseWinsock(error, "InitiateProcesses");
    }
    return 0;
}

int32_t FinalizeProcesses() {
    ModuleState& m = State();
    const int32_t before = m.instanceCount;
    --m.instanceCount;
    if (m.started && before == 1) {
        const int error = platform::SocketCleanup();
        if (error)
            RaiseWinsock(error, "FinalizeProcesses");
        RemoveProcedure();
        m.started = false;
    }
    return 0;
}

QString GetErrorDescription(int32_t number) {
    using namespace platform::wsa;
    static constexpr std::pair<int32_t, const char*> kTexts[] = {
        {kInterrupted, "Interrupted function call."},
        {kAccessDenied, "Permission denied."},
        {kFault, "Bad address."},
        {kInvalidArgument, "Invalid argument."},
        {kTooManyOpenFiles, "Too many open files."},
        {kWouldBlock, "Resource temporarily unavailable."},
        {kInProgress, "Operation now in progress."},
        {kAlreadyInProgress, "Operation already in progress."},
        {kNotSocket, "Socket operation on nonsocket."},
        {kDestinationRequired, "Destination address required."},
        {kMessageSize, "Message too long."},
        {kProtocolType, "Protocol wrong type for socket."},
        {kProtocolOption, "Bad protocol option."},
        {kProtocolNotSupported, "Protocol not supported."},
        {kSocketTypeNotSupported, "Socket type not supported."},
        {kOperationNotSupported, "Operation not supported."},
        {kProtocolFamilyNotSupported, "Protocol family not supported."},
        {kAddressFamilyNotSupported, "Address family not supported by protocol family."},
        {kAddressInUse, "Address already in use."},
        {kAddressNotAvailable, "Cannot assign requested address."},
        {kNetworkDown, "Network is down."},
        {kNetworkUnreachable, "Network is unreachable."},
        {kNetworkReset, "Network dropped connection on reset."},
        {kConnectionAborted, "Software caused connection abort."},
        {kConnectionReset, "Connection reset by peer."},
        {kNoBufferSpace, "No buffer space available."},
        {kIsConnected, "Socket is already connected."},
        {kNotConnected, "Socket is not connected."},
        {kShutdown, "Cannot send after socket shutdown."},
        {kTimedOut, "Connection timed out."},
        {kConnectionRefused, "Connection refused."},
        {kHostUnreachable, "No route to host."},
        {kTooManyProcesses, "Too many processes."},
        {kSystemNotReady, "Network subsystem is unavailable."},
        {kVersionNotSupported, "Winsock.dll version out of range."},
        {kNotInitialised, "Successful WSAStartup not yet performed."},
        {kHostNotFound, "Host not found."},
        {kTryAgain, "Nonauthoritative host not found."},
        {kNoRecovery, "This is a nonrecoverable error."},
        {kNoData, "Valid name, no data record of requested type."},
    };
    for (const auto& [code, text] : kTexts) {
        if (code == number)
            return QString::fromLatin1(text);
    }
    return QStringLiteral("Unknown error.");
}

bool RegisterSocket(int32_t socket, CSocketMaster* owner, bool withEvents) {
    ModuleState& m = State();
    if (!m.socketRegistry) {
        m.socketRegistry.emplace();
        if (CreateWinsockMessageWindow() != 0)
            throw AppError(kOutOfMemory, "Out of memory", "modSocketMaster.RegisterSocket");
        InstallProcedure();
    }
    m.socketTable.Add(socket, owner);
    if (withEvents) {
        const int error = platform::AsyncSelect(socket, OnSocketEvent, kSocketEventMask);
        if (error)
            RaiseWinsock(error, "RegisterSocket");
    }
    m.socketRegistry->emplace(socket, owner);
    return true;
}

void UnregisterSocket(int32_t socket) {
    ModuleState& m = State();
    m.socketTable.Remove(socket);
    try {
        if (!m.socketRegistry)
            return;
        m.socketRegistry->erase(socket);
        if (m.socketRegistry->empty()) {
            m.socketRegistry.reset();
            RemoveProcedure();
            DestroyWinsockMessageWindow();
        }
    } catch (const AppError&) {
        // Every failure after the table entry is freed is ignored.
    } catch (...) {
        // A socket's destructor unregisters it: nothing may leave.
        rt::ReportUnexpectedError("ModSocketMaster.UnregisterSocket");
    }
}

bool IsSocketRegistered(int32_t socket) {
    const ModuleState& m = State();
    return m.socketRegistry && m.socketRegistry->count(socket) > 0;
}

int32_t ResolveHostAsync(const QString& hostName, uint32_t* buffer, CSocketMaster* owner) {
    const int handle = platform::StartHostLookup(hostName, OnLookupDone);
    if (handle != 0)
        State().resolveTable.Add(handle, owner, buffer);
    return handle;
}

void UnregisterResolution(int32_t handle) {
    State().resolveTable.Remove(handle);
}

int32_t CancelAsyncRequest(int32_t handle) {
    return platform::CancelHostLookup(handle);
}

void RegisterAcceptHolder(int32_t socket) {
    ModuleState& m = State();
    if (!m.acceptRegistry)
        m.acceptRegistry.emplace();
    auto holder = std::make_shared<CSocketMaster>();
    int32_t requestID = socket;
    holder->Accept(requestID);
    m.acceptRegistry->emplace(socket, std::move(holder));
}

bool IsAcceptHolderRegistered(int32_t socket) {
    const ModuleState& m = State();
    return m.acceptRegistry && m.acceptRegistry->count(socket) > 0;
}

std::shared_ptr<CSocketMaster> GetAcceptHolder(int32_t socket) {
    const ModuleState& m = State();
    if (!m.acceptRegistry)
        return nullptr;
    const auto it = m.acceptRegistry->find(socket);
    return it == m.acceptRegistry->end() ? nullptr : it->second;
}

void UnregisterAcceptHolder(int32_t socket) {
    ModuleState& m = State();
    if (!m.acceptRegistry)
        return;
    // The holder may be destroyed here; take it out of the registry first so
    // its destructor sees a consistent registry.
    std::shared_ptr<CSocketMaster> holder;
    if (const auto it = m.acceptRegistry->find(socket); it != m.acceptRegistry->end()) {
        holder = std::move(it->second);
        m.acceptRegistry->erase(it);
    }
    if (m.acceptRegistry->empty())
        m.acceptRegistry.reset();
}

void ChangeSocketOwner(int32_t socket, CSocketMaster* owner) {
    OwnerTable& t = State().socketTable;
    const int slot = t.Find(socket);
    if (slot >= 0)
        t.owners[slot] = owner;
}

int32_t CreateWinsockMessageWindow() {
    State().window = true;
    return 0;
}

void DestroyWinsockMessageWindow() {
    State().window = false;
}

int32_t SocketWindowProc(uint32_t message, int32_t wParam, int32_t lParam) {
    ModuleState& m = State();
    if (!m.procedureInstalled)
        return 0;
    CSocketMaster* owner = nullptr;
    if (message == kMsgResolveDone) {
        const int slot = m.resolveTable.Find(wParam);
        if (slot >= 0)
            owner = m.resolveTable.owners[slot];
    } else if (message == kMsgSocketEvent) {
        const int slot = m.socketTable.Find(wParam);
        if (slot >= 0)
            owner = m.socketTable.owners[slot];
    }
    if (!owner)
        return 0;
    try {
        return owner->WndProc(0, message, wParam, lParam);
    } catch (const std::exception& e) {
        socketmaster::LogHandlerError(e, QStringLiteral("modSocketMaster.SocketWindowProc"));
    }
    return 0;
}

int32_t LoWord(int32_t value) {
    return int32_t(uint32_t(value) & 0xFFFF);
}

int32_t HiWord(int32_t value) {
    return int32_t((uint32_t(value) >> 16) & 0xFFFF);
}

uint16_t IntegerToUnsigned(int32_t value) {
    if (value < 0 || value > 65535)
        rt::RaiseOverflow();
    return uint16_t(value);
}

int32_t UnsignedToInteger(uint16_t value) {
    return int32_t(value);
}

int32_t SocketInstanceCount() {
    return State().instanceCount;
}
bool SocketRuntimeStarted() {
    return State().started;
}
bool SocketWindowExists() {
    return State().window;
}
int32_t SocketTableCount() {
    return int32_t(State().socketTable.keys.size());
}
int32_t ResolveTableCount() {
    return int32_t(State().resolveTable.keys.size());
}
int32_t AcceptHolderCount() {
    const ModuleState& m = State();
    return m.acceptRegistry ? int32_t(m.acceptRegistry->size()) : 0;
}
