#include "network/IndexedServerSocket.h"

#include "network/CSocketMaster.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Variant.h"

IndexedServerSocket::IndexedServerSocket(QObject* parent) : QObject(parent) {
    Load(0);
}

// Sockets waiting for deferred deletion are children and go with the group.
IndexedServerSocket::~IndexedServerSocket() = default;

void IndexedServerSocket::RaiseMissing(int index) const {
    throw AppError(kErrElementMissing,
                   QStringLiteral("Control array element '%1' doesn't exist").arg(index),
                   QStringLiteral("sckServerIM"));
}

bool IndexedServerSocket::IsLoaded(int index) const {
    return index >= 0 && size_t(index) < items_.size() && items_[size_t(index)].socket;
}

CSocketMaster& IndexedServerSocket::Item(int index) {
    if (!IsLoaded(index))
        RaiseMissing(index);
    return *items_[size_t(index)].socket;
}

const CSocketMaster& IndexedServerSocket::Item(int index) const {
    if (!IsLoaded(index))
        RaiseMissing(index);
    return *items_[size_t(index)].socket;
}

void IndexedServerSocket::Load(int index) {
    if (index < 0)
        RaiseMissing(index);
    if (IsLoaded(index))
        throw AppError(kErrAlreadyLoaded, QStringLiteral("Object already loaded"),
                       QStringLiteral("sckServerIM"));
    if (size_t(index) >= items_.size())
        items_.resize(size_t(index) + 1);
    auto socket = std::make_unique<CSocketMaster>();
    Connect(index, socket.get());
    items_[size_t(index)].socket = std::move(socket);
    SetPending(index, 0);
}

void IndexedServerSocket::Unload(int index) {
    if (!IsLoaded(index))
        RaiseMissing(index);
    SetPending(index, 0);
    CSocketMaster* socket = items_[size_t(index)].socket.release();
    while (!items_.empty() && !items_.back().socket)
        items_.pop_back();
    disconnect(socket, nullptr, this, nullptr);
    try {
        socket->CloseSck();
    } catch (const AppError&) {
        // The descriptor is gone either way; the object is deleted below.
    }
    // Unloading may happen inside one of this socket's own events: the
    // object must outlive the emission that is running.
    socket->setParent(this);
    socket->deleteLater();
}

int IndexedServerSocket::UBound() const {
    return int(items_.size()) - 1;
}

int IndexedServerSocket::Count() const {
    int count = 0;
    for (const Element& e : items_)
        count += e.socket ? 1 : 0;
    return count;
}

void IndexedServerSocket::Accept(int index, int32_t requestID) {
    CSocketMaster& socket = Item(index);
    SetPending(index, 0);
    socket.Accept(requestID);
}

void IndexedServerSocket::SendData(int index, const Variant& data) {
    CSocketMaster& socket = Item(index);
    if (socket.State() != CSocketMaster::sckConnected)
        SetPending(index, 0);
    // What the send cannot hand to the system stays counted; the progress
    // events raised inside SendData correct the count to what is left.
    const int64_t size = data.Type() == VarType::ByteArray ? data.ToBytes().size()
                         : data.Type() == VarType::String ? platform::ToAnsi(data.ToString()).size()
                                                          : 0;
    SetPending(index, items_[size_t(index)].pendingSend + size);
    socket.SendData(data);
}

void IndexedServerSocket::CloseSck(int index) {
    CSocketMaster& socket = Item(index);
    SetPending(index, 0);
    socket.CloseSck();
}

void IndexedServerSocket::SetPending(int index, int64_t bytes) {
    int64_t& pending = items_[size_t(index)].pendingSend;
    totalPending_ += bytes - pending;
    pending = bytes;
}

int64_t IndexedServerSocket::PendingSendBytes(int index) const {
    if (!IsLoaded(index) || Item(index).State() != CSocketMaster::sckConnected)
        return 0;
    return items_[size_t(index)].pendingSend;
}

void IndexedServerSocket::Connect(int index, CSocketMaster* socket) {
    connect(socket, &CSocketMaster::ConnectionRequest, this,
            [this, index](int32_t requestID) { emit ConnectionRequest(index, requestID); });
    connect(socket, &CSocketMaster::DataArrival, this,
            [this, index](int32_t bytesTotal) { emit DataArrival(index, bytesTotal); });
    connect(socket, &CSocketMasterEvents::CloseSck, this, [this, index] { emit Close(index); });
    connect(
        socket, &CSocketMaster::Error, this,
        [this, index](int16_t number, QString& description, int32_t, const QString&, const QString&,
                      int32_t, bool&) { emit Error(index, number, description); });
    connect(socket, &CSocketMaster::SendProgress, this,
            [this, index](int32_t, int32_t bytesRemaining) {
                if (IsLoaded(index))
                    SetPending(index, bytesRemaining);
            });
    connect(socket, &CSocketMaster::SendComplete, this, [this, index] {
        if (IsLoaded(index))
            SetPending(index, 0);
        emit SendComplete(index);
    });
}
