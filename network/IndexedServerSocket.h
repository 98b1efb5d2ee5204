#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class CSocketMaster;
class Variant;

// An indexed group of TCP sockets, as a window's socket control array: each
// loaded index holds one CSocketMaster, and the group raises the sockets'
// events with the index of the socket that raised them. The message server
// uses index 0 to listen and one index per terminal from 1.
//
// Index 0 is loaded when the group is created. Indexes are loaded and
// unloaded explicitly; asking for an index that is not loaded raises 340
// "Control array element 'n' doesn't exist", loading a loaded one 360
// "Object already loaded".
//
// Events are raised synchronously from inside the socket's notification or
// from inside the call that caused them (Accept raises DataArrival and Close
// for a connection that had data or had already ended). A handler may unload
// the index that raised the event, or any other: an unloaded socket is closed
// at once and destroyed only when control is back in the event loop, so the
// event that is running never outlives its object. References returned by
// Item are valid until the index is unloaded; look an index up again after
// anything that may pump events.
class IndexedServerSocket final : public QObject {
    Q_OBJECT
public:
    static constexpr int kErrElementMissing = 340;
    static constexpr int kErrAlreadyLoaded = 360;

    explicit IndexedServerSocket(QObject* parent = nullptr);
    ~IndexedServerSocket() override;
    IndexedServerSocket(const IndexedServerSocket&) = delete;
    IndexedServerSocket& operator=(const IndexedServerSocket&) = delete;

    CSocketMaster& operator()(int index) { return Item(index); }
    CSocketMaster& Item(int index);
    const CSocketMaster& Item(int index) const;
    bool IsLoaded(int index) const;
    void Load(int index);
    void Unload(int index);
    // The highest loaded index; -1 when none is loaded.
    int UBound() const;
    int Count() const;

    // Accept of the item, with the count of waiting bytes started afresh.
    void Accept(int index, int32_t requestID);
    // SendData of the item, keeping count of the bytes that wait in the
    // item's send buffer because the peer does not read them; the count is
    // exact as long as every send to the index goes through here.
    void SendData(int index, const Variant& data);
    int64_t PendingSendBytes(int index) const;
    // CloseSck of the item; its waiting bytes go with it and leave the count.
    void CloseSck(int index);
    // The sum of PendingSendBytes over every index, kept as the counts change.
    int64_t TotalPendingSendBytes() const { return totalPending_; }

signals:
    void ConnectionRequest(int index, int32_t requestID);
    void DataArrival(int index, int32_t bytesTotal);
    // The peer ended the connection (the socket is in state 8 until closed).
    void Close(int index);
    // An asynchronous failure of the socket (state 9): a reset connection, a
    // failed send.
    void Error(int index, int number, const QString& description);
    // Every byte given to SendData has been handed to the system.
    void SendComplete(int index);

private:
    struct Element {
        std::unique_ptr<CSocketMaster> socket;
        int64_t pendingSend = 0;
    };
    void Connect(int index, CSocketMaster* socket);
    void SetPending(int index, int64_t bytes);
    [[noreturn]] void RaiseMissing(int index) const;

    std::vector<Element> items_;
    int64_t totalPending_ = 0;
};
