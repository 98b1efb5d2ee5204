#include "platform/Variant.h"

#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Locale.h"
#include "platform/Runtime.h"

Variant Variant::Null() {
    return Variant(VarType::Null, std::monostate{});
}
Variant Variant::FromInteger(int16_t n) {
    return Variant(VarType::Integer, int64_t(n));
}
Variant Variant::FromLong(int32_t n) {
    return Variant(VarType::Long, int64_t(n));
}
Variant Variant::FromSingle(float f) {
    return Variant(VarType::Single, double(f));
}
Variant Variant::FromDouble(double d) {
    return Variant(VarType::Double, d);
}
Variant Variant::FromCurrency(int64_t scaled) {
    return Variant(VarType::Currency, scaled);
}
Variant Variant::FromDate(double serial) {
    return Variant(VarType::Date, serial);
}
Variant Variant::FromDateTime(const QDateTime& when) {
    return FromDate(rt::ToDateSerial(when));
}
Variant Variant::FromByte(uint8_t b) {
    return Variant(VarType::Byte, int64_t(b));
}

bool Variant::IsNumber() const {
    switch (type_) {
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double:
        case VarType::Currency:
        case VarType::Byte:
            return true;
        default:
            return false;
    }
}

QString Variant::ToString() const {
    switch (type_) {
        case VarType::Empty:
        case VarType::Null:
            return QString();
        case VarType::Integer:
        case VarType::Long:
        case VarType::Byte:
            return QString::number(std::get<int64_t>(value_));
        case VarType::Currency:
            return rt::Str(std::get<int64_t>(value_) / 10000.0);
        case VarType::Single:
        case VarType::Double:
            return rt::Str(std::get<double>(value_));
        case VarType::Date: {
            const QDateTime when = rt::FromDateSerial(std::get<double>(value_));
            const QString date = rt::FormatDate(when, platform::LocaleShortDatePattern());
            if (when.time().msecsSinceStartOfDay() == 0)
                return date;
            return date + rt::FormatDate(when, " hh:nn:ss");
        }
        case VarType::String:
            return std::get<QString>(value_);
        case VarType::Boolean:
            return rt::Str(std::get<bool>(value_));
        case VarType::ByteArray:
            return platform::FromAnsi(std::get<QByteArray>(value_));
    }
    return QString();
}

double Variant::ToDouble() const {
    switch (type_) {
        case VarType::Empty:
            return 0;
        case VarType::Null:
            throw AppError(rt::kErrInvalidNull, "Invalid use of Null");
        case VarType::Integer:
        case VarType::Long:
        case VarType::Byte:
            return double(std::get<int64_t>(value_));
        case VarType::Currency:
            return std::get<int64_t>(value_) / 10000.0;
        case VarType::Single:
        case VarType::Double:
        case VarType::Date:
            return std::get<double>(value_);
        case VarType::Boolean:
            return std::get<bool>(value_) ? -1 : 0;
        case VarType::String:
            return rt::CDbl(std::get<QString>(value_));
        case VarType::ByteArray:
            return rt::CDbl(ToString());
    }
    return 0;
}

int16_t Variant::ToInteger() const {
    return rt::CInt(ToDouble());
}
int32_t Variant::ToLong() const {
    return rt::CLng(ToDouble());
}

bool Variant::ToBoolean() const {
    switch (type_) {
        case VarType::Boolean:
            return std::get<bool>(value_);
        case VarType::String:
            return rt::CBool(std::get<QString>(value_));
        default:
            return ToDouble() != 0;
    }
}

QDateTime Variant::ToDateTime() const {
    if (type_ == VarType::String) {
        const QString text = rt::Trim(std::get<QString>(value_));
        for (const QString& pattern :
             {platform::LocaleShortDatePattern() + " HH:mm:ss", platform::LocaleShortDatePattern(),
              QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
              QStringLiteral("yyyy-MM-dd")}) {
            const QDateTime when = QDateTime::fromString(text, pattern);
            if (when.isValid())
                return when;
        }
        if (const std::optional<QDateTime> when = rt::ParseIsoDateTime(text);
            when && when->isValid())
            return *when;
        rt::RaiseTypeMismatch();
    }
    return rt::FromDateSerial(ToDouble());
}

QByteArray Variant::ToBytes() const {
    if (type_ == VarType::ByteArray)
        return std::get<QByteArray>(value_);
    return platform::ToAnsi(ToString());
}

int64_t Variant::CurrencyScaled() const {
    if (type_ == VarType::Currency)
        return std::get<int64_t>(value_);
    return int64_t(std::llround(ToDouble() * 10000.0));
}
