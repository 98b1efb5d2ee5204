#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <utility>
#include <variant>

// Type codes of tagged values, as callers and the socket layer see them.
enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,  // 16-bit signed
    Long = 3,     // 32-bit signed
    Single = 4,   // 32-bit float
    Double = 5,
    Currency = 6,  // 64-bit, scaled by 10,000
    Date = 7,      // day number since 30 December 1899, as a double
    String = 8,
    Boolean = 11,
    Byte = 17,
    ByteArray = 8209,
};

// One tagged value: recordset fields, scalar query results, socket payloads.
// Conversions follow the runtime's rules (rt::CInt, rt::CBool, ...) and raise
// AppError 13 "Type mismatch" or 6 "Overflow" where those do.
class Variant {
public:
    Variant() = default;  // Empty
    Variant(const QString& text) : type_(VarType::String), value_(text) {}
    Variant(QString&& text)
        : type_(VarType::String), value_(std::in_place_type<QString>, std::move(text)) {}
    Variant(const char* text) : Variant(QString::fromUtf8(text)) {}
    Variant(bool b) : type_(VarType::Boolean), value_(b) {}
    Variant(int32_t n) : type_(VarType::Long), value_(int64_t(n)) {}
    Variant(double d) : type_(VarType::Double), value_(d) {}
    Variant(const QByteArray& bytes) : type_(VarType::ByteArray), value_(bytes) {}
    Variant(QByteArray&& bytes)
        : type_(VarType::ByteArray), value_(std::in_place_type<QByteArray>, std::move(bytes)) {}

    static Variant Null();
    static Variant FromInteger(int16_t n);
    static Variant FromLong(int32_t n);
    static Variant FromSingle(float f);
    static Variant FromDouble(double d);
    static Variant FromCurrency(int64_t scaledBy10000);
    static Variant FromDate(double serial);
    static Variant FromDateTime(const QDateTime& when);
    static Variant FromByte(uint8_t b);

    VarType Type() const { return type_; }
    int TypeCode() const { return int(type_); }
    bool IsEmpty() const { return type_ == VarType::Empty; }
    bool IsNull() const { return type_ == VarType::Null; }
    bool IsNumber() const;

    // Text form: "" for Empty and Null, "True"/"False", decimal numbers,
    // dates in the short-date pattern, byte arrays as ANSI text.
    QString ToString() const;
    double ToDouble() const;
    int16_t ToInteger() const;
    int32_t ToLong() const;
    bool ToBoolean() const;
    QDateTime ToDateTime() const;
    QByteArray ToBytes() const;
    // The raw payload of a Currency value (scaled by 10,000).
    int64_t CurrencyScaled() const;

    bool operator==(const Variant& other) const {
        return type_ == other.type_ && value_ == other.value_;
    }

private:
    using Storage = std::variant<std::monostate, int64_t, double, bool, QString, QByteArray>;
    Variant(VarType t, Storage v) : type_(t), value_(std::move(v)) {}

    VarType type_ = VarType::Empty;
    Storage value_;
};
