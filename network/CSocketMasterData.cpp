// Sending and receiving of CSocketMaster, and the helpers its sources share.
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>

#include "core/ErrorController.h"
#include "network/CSocketMaster.h"
#include "network/ModSocketMaster.h"
#include "network/SocketMasterCommon.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Runtime.h"
#include "platform/sockets/SocketApi.h"

namespace socketmaster {

const QString kBadArgumentText = QStringLiteral(
    "The argument passed to a function was not in the correct format or in the specified range.");
const QString kInvalidArgumentText = QStringLiteral("Invalid argument");
const QString kUnsupportedTypeText = QStringLiteral("Unsupported variant type.");
const QString kInvalidStateText = QStringLiteral("Invalid operation at current state");

QString WrongStateText(int n) {
    return QString::number(n) +
           QStringLiteral(
               ".Wrong protocol or connection state for the requested transaction or request");
}

void Raise(int32_t number, const QString& description, const QString& procedure) {
    throw AppError(number, description, "CSocketMaster." + procedure);
}

void RaiseWinsock(int32_t number, const QString& procedure) {
    Raise(number, GetErrorDescription(number), procedure);
}

void LogHandlerError(const std::exception& error, const QString& fallbackSource) {
    if (const auto* e = dynamic_cast<const AppError*>(&error)) {
        ErrorLogger().Add(kSystemError, e->Number(), e->Description(),
                          e->Source().isEmpty() ? fallbackSource : e->Source());
        return;
    }
    ErrorLogger().Add(kSystemError, 0, QString::fromLocal8Bit(error.what()), fallbackSource);
}

std::optional<double> NumericValue(const Variant& value) {
    if (value.IsNumber() || value.Type() == VarType::Boolean)
        return value.ToDouble();
    if (value.Type() == VarType::String || value.Type() == VarType::ByteArray)
        return rt::ParseNumber(value.ToString());
    return std::nullopt;
}

int32_t PortArgument(const Variant& port, int32_t lowest, const QString& procedure) {
    const std::optional<double> value = NumericValue(port);
    if (!value)
        Raise(kErrUnsupportedType, kUnsupportedTypeText, procedure);
    if (*value < lowest || *value > 65535)
        Raise(kErrBadArgument, kBadArgumentText, procedure);
    return int32_t(rt::RoundHalfEven(*value));
}

int32_t ResolveHostSync(const QString& host, uint32_t* address) {
    *address = 0;
    if (host.isEmpty())
        return platform::wsa::kAddressFamilyNotSupported;
    if (platform::ParseDottedAddress(host, address))
        return 0;
    return platform::ResolveHostName(host, address);
}

}  // namespace socketmaster

using namespace socketmaster;

namespace {

template <typename T>
QByteArray LittleEndianBytes(T value) {
    QByteArray bytes(int(sizeof(T)), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

template <typename T>
T FromLittleEndian(QByteArrayView bytes) {
    return qFromLittleEndian<T>(bytes.data());
}

// The bytes of a value in memory order, as SendData sends them.
QByteArray EncodeForSend(const Variant& data) {
    switch (data.Type()) {
        case VarType::Byte:
            return QByteArray(1, char(uint8_t(data.ToLong() & 0xFF)));
        case VarType::Integer:
            return LittleEndianBytes<int16_t>(data.ToInteger());
        case VarType::Long:
            return LittleEndianBytes<int32_t>(data.ToLong());
        case VarType::Single:
            return LittleEndianBytes<float>(float(data.ToDouble()));
        case VarType::Double:
        case VarType::Date:
            return LittleEndianBytes<double>(data.ToDouble());
        case VarType::Currency:
            return LittleEndianBytes<int64_t>(data.CurrencyScaled());
        case VarType::Boolean:
            return LittleEndianBytes<int16_t>(data.ToBoolean() ? int16_t(-1) : int16_t(0));
        case VarType::String:
            return platform::ToAnsi(data.ToString());
        case VarType::ByteArray:
            return data.ToBytes();
        default:
            Raise(kErrUnsupportedType, kUnsupportedTypeText, "SendData");
    }
}

// Size of the fixed-size types GetData delivers; 0 for any other type.
int FixedSize(int32_t type) {
    switch (VarType(type)) {
        case VarType::Byte:
            return 1;
        case VarType::Boolean:
        case VarType::Integer:
            return 2;
        case VarType::Long:
        case VarType::Single:
            return 4;
        case VarType::Currency:
        case VarType::Date:
        case VarType::Double:
            return 8;
        default:
            return 0;
    }
}

Variant DecodeFixed(int32_t type, QByteArrayView bytes) {
    switch (VarType(type)) {
        case VarType::Byte:
            return Variant::FromByte(uint8_t(bytes[0]));
        case VarType::Boolean:
            return Variant(FromLittleEndian<int16_t>(bytes) != 0);
        case VarType::Integer:
            return Variant::FromInteger(FromLittleEndian<int16_t>(bytes));
        case VarType::Long:
            return Variant::FromLong(FromLittleEndian<int32_t>(bytes));
        case VarType::Single:
            return Variant::FromSingle(FromLittleEndian<float>(bytes));
        case VarType::Currency:
            return Variant::FromCurrency(FromLittleEndian<int64_t>(bytes));
        case VarType::Date:
            return Variant::FromDate(FromLittleEndian<double>(bytes));
        default:
            return Variant::FromDouble(FromLittleEndian<double>(bytes));
    }
}

// Drops the consumed front of a buffer once it is large, so that taking from
// the front stays cheap and memory does not grow without bound. A buffer that
// still shares the caller's bytes (a large SendData) is left whole: dropping
// its front would copy all of it, and the caller holds the bytes anyway.
void Compact(QByteArray& buffer, qsizetype& offset) {
    if (offset >= buffer.size()) {
        buffer.clear();
        offset = 0;
    } else if (offset > (1 << 16) && offset > buffer.size() / 2 && buffer.isDetached()) {
        buffer.remove(0, offset);
        offset = 0;
    }
}

}  // namespace

// ---- sending ------------------------------------------------------------------------

void CSocketMaster::SendData(const Variant& data) {
    if (IsUdp()) {
        if (!SocketExists())
            return;
        if (!BindInternal(Variant(), Variant()))
            return;
        state_ = sckOpen;
    } else if (state_ != sckConnected) {
        Raise(kErrWrongState, WrongStateText(2), "SendData");
    }
    const QByteArray bytes = EncodeForSend(data);
    if (bytes.isEmpty())
        return;
    const bool wasEmpty = sendBuffer_.size() <= sendOffset_;
    if (wasEmpty) {
        sendBuffer_.clear();
        sendOffset_ = 0;
    } else {
        // A flush only moves the offset; what it has sent is dropped here,
        // where more bytes join the buffer.
        Compact(sendBuffer_, sendOffset_);
    }
    sendBuffer_.append(bytes);
    // With bytes already waiting, a flush waits for the write notification.
    if (!wasEmpty)
        return;
    if (IsUdp())
        SendBufferedDataUDP();
    else
        SendBufferedData();
}

void CSocketMaster::SendBufferedData() {
    int32_t sentInFlush = 0;
    // The system grows a connection's send buffer as the connection gets
    // going; a flush larger than the chunk reads the size again, so that each
    // send offers what the buffer can take now instead of the small size it
    // had at the start. A flush that fits the chunk costs no extra call.
    if (sendBuffer_.size() - sendOffset_ > sendChunk_) {
        int value = 0;
        if (platform::GetSocketOption(socket_, platform::SocketOption::SendBuffer, &value) == 0 &&
            value > 0)
            sendChunk_ = value;
    }
    const int32_t chunk = std::max<int32_t>(sendChunk_, 1);
    while (sendBuffer_.size() > sendOffset_) {
        const qsizetype pending = sendBuffer_.size() - sendOffset_;
        const int length = int(std::min<qsizetype>(pending, chunk));
        int sent = 0;
        const int error =
            platform::SendBytes(socket_, sendBuffer_.constData() + sendOffset_, length, &sent);
        if (error == 0) {
            sentInFlush += sent;
            sendOffset_ += sent;
            if (sendOffset_ >= sendBuffer_.size()) {
                sendBuffer_.clear();
                sendOffset_ = 0;
                if (!RaiseEvent([this, sentInFlush] { emit SendProgress(sentInFlush, 0); }))
                    return;
                RaiseEvent([this] { emit SendComplete(); });
                return;
            }
            continue;
        }
        if (error == platform::wsa::kWouldBlock) {
            if (sentInFlush > 0) {
                const int32_t remaining = int32_t(sendBuffer_.size() - sendOffset_);
                RaiseEvent(
                    [this, sentInFlush, remaining] { emit SendProgress(sentInFlush, remaining); });
            }
            return;  // the rest waits for the write notification
        }
        state_ = sckError;
        RaiseError(error, "CSocketMaster.SendBufferedData");
        return;
    }
}

void CSocketMaster::SendBufferedDataUDP() {
    uint32_t address = 0;
    const int32_t resolveError = ResolveHostSync(remoteHost_, &address);
    if (resolveError) {
        sendBuffer_.clear();
        sendOffset_ = 0;
        if (remoteHost_.isEmpty())
            RaiseWinsock(platform::wsa::kAddressFamilyNotSupported, "SendBufferedDataUDP");
        Raise(kErrBadArgument, kInvalidArgumentText, "SendBufferedDataUDP");
    }
    const QByteArray bytes = sendBuffer_.mid(sendOffset_);
    sendBuffer_.clear();
    sendOffset_ = 0;
    int sent = 0;
    const int error = platform::SendToSocket(socket_, bytes.constData(), int(bytes.size()), address,
                                             IntegerToUnsigned(remotePort_), &sent);
    if (error) {
        state_ = sckError;
        RaiseError(error, "CSocketMaster.SendBufferedDataUDP");
    }
}

// ---- receiving ------------------------------------------------------------------------

int32_t CSocketMaster::RecvDataToBuffer() {
    const int32_t chunk = std::max<int32_t>(recvChunk_, 1);
    const qsizetype old = recvBuffer_.size();
    recvBuffer_.resize(old + chunk);
    int received = 0;
    const int error =
        platform::RecvBytes(socket_, recvBuffer_.data() + old, chunk, false, &received);
    recvBuffer_.resize(old + received);
    if (error == platform::wsa::kWouldBlock)
        return 0;
    if (error) {
        state_ = sckError;
        RaiseWinsock(error, "RecvDataToBuffer");
    }
    return received;
}

void CSocketMaster::GetData(Variant& data, const Variant& type, const Variant& maxLen) {
    ReceiveInto(data, false, type, maxLen, QStringLiteral("GetData"));
}

void CSocketMaster::PeekData(Variant& data, const Variant& type, const Variant& maxLen) {
    ReceiveInto(data, true, type, maxLen, QStringLiteral("PeekData"));
}

void CSocketMaster::ReceiveInto(Variant& data, bool peek, const Variant& type,
                                const Variant& maxLen, const QString& procedure) {
    if (IsUdp()) {
        if (state_ != sckOpen)
            Raise(kErrWrongState, WrongStateText(peek ? 6 : 4), procedure);
    } else if (peek ? state_ != sckConnected : (state_ != sckConnected && !acceptHolder_)) {
        Raise(kErrWrongState, WrongStateText(peek ? 5 : 3), procedure);
    }
    int32_t available = 0;
    if (IsUdp()) {
        if (!FetchDatagram())
            return;  // no datagram pending: the data argument stays as it is
        available = HeldDatagram().size;
    } else {
        available = int32_t(recvBuffer_.size() - recvOffset_);
    }
    std::optional<int64_t> maximum;
    if (!maxLen.IsEmpty()) {
        const std::optional<double> value = NumericValue(maxLen);
        if (!value) {
            maximum = available;
        } else {
            if (*value < 0)
                Raise(kErrBadArgument, kBadArgumentText, procedure);
            maximum = int64_t(
                std::min<double>(rt::RoundHalfEven(*value), std::numeric_limits<int32_t>::max()));
        }
    }
    std::optional<int32_t> typeCode;
    if (!type.IsEmpty()) {
        const std::optional<double> value = NumericValue(type);
        if (!value || *value < std::numeric_limits<int32_t>::min() ||
            *value > std::numeric_limits<int32_t>::max())
            Raise(kErrUnsupportedType, kUnsupportedTypeText, "RecvData");
        typeCode = int32_t(*value);
    }
    RecvData(data, peek, typeCode, maximum);
}

void CSocketMaster::RecvData(Variant& data, bool peek, std::optional<int32_t> type,
                             std::optional<int64_t> maximum) {
    const int32_t available =
        IsUdp() ? PendingDatagram() : int32_t(recvBuffer_.size() - recvOffset_);
    // A value already in the data argument decides the type.
    const int32_t code =
        !data.IsEmpty() ? data.TypeCode() : type.value_or(int32_t(VarType::ByteArray));
    int32_t error = 0;
    if (code == int32_t(VarType::String) || code == int32_t(VarType::ByteArray)) {
        int32_t count = available;
        if (!maximum) {
            if (available == 0) {
                data = Variant(QByteArray());
                return;
            }
        } else {
            if (available == 0 || *maximum == 0) {
                data = Variant(QByteArray());
                if (IsUdp()) {
                    DropDatagram();
                    RaiseWinsock(platform::wsa::kMessageSize, "RecvData");
                }
                return;
            }
            count = int32_t(std::min<int64_t>(*maximum, available));
        }
        if (code == int32_t(VarType::ByteArray) && !peek && !IsUdp() && recvOffset_ == 0 &&
            count == recvBuffer_.size() && count >= recvBuffer_.capacity() / 2) {
            // The whole receive buffer, mostly full: handed over rather than
            // copied. A buffer with much room to spare is copied instead, so
            // that a caller keeping a few bytes does not keep a large block.
            data = Variant(std::move(recvBuffer_));
            recvBuffer_ = QByteArray();
            return;
        }
        const QByteArrayView bytes = TakeFromReceived(count, peek, &error);
        if (code == int32_t(VarType::String))
            data = Variant(platform::FromAnsi(bytes.data(), bytes.size()));
        else
            data = Variant(bytes.toByteArray());
    } else {
        const int size = FixedSize(code);
        if (size == 0)
            Raise(kErrUnsupportedType, kUnsupportedTypeText, "RecvData");
        if (available < size)
            return;
        const QByteArrayView bytes = TakeFromReceived(size, peek, &error);
        if (bytes.size() == size)
            data = DecodeFixed(code, bytes);
    }
    // The bytes are converted: what was taken from the receive buffer can go.
    Compact(recvBuffer_, recvOffset_);
    if (error)
        RaiseWinsock(error, "RecvData");
}

QByteArrayView CSocketMaster::TakeFromReceived(int32_t count, bool peek, int32_t* error) {
    *error = 0;
    if (IsUdp()) {
        // Served from the datagram taken by FetchDatagram: a read shorter than
        // the datagram delivers its first bytes, reports 10040 and, unless
        // peeking, discards the rest, as a short recvfrom does.
        if (!FetchDatagram())
            return QByteArrayView();
        const Datagram d = HeldDatagram();
        const char* bytes = datagramBuffer_.constData() + qsizetype(batchNext_) * kDatagramSlot;
        if (d.size > count)
            *error = platform::wsa::kMessageSize;
        remotePort_ = UnsignedToInteger(d.port);
        if (senderText_.isEmpty() || senderAddress_ != d.address) {
            senderAddress_ = d.address;
            senderText_ = platform::DottedAddress(d.address);
        }
        // A run of datagrams from one sender already holds its text.
        if (!remoteHostIP_.isSharedWith(senderText_))
            remoteHostIP_ = senderText_;
        remoteHost_.clear();
        if (!peek) {
            ++batchNext_;
            ++datagramsTaken_;
        }
        return QByteArrayView(bytes, std::min({d.size, count, kDatagramSlot}));
    }
    const qsizetype length = std::min<qsizetype>(count, recvBuffer_.size() - recvOffset_);
    const QByteArrayView bytes(recvBuffer_.constData() + recvOffset_, length);
    if (!peek)
        recvOffset_ += length;
    return bytes;
}
