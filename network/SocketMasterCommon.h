#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <optional>

class Variant;

// Error numbers, texts and small helpers shared by the sources of
// CSocketMaster and its window procedure in ModSocketMaster. Not for other
// callers.
namespace socketmaster {

inline constexpr int32_t kErrOutOfMemory = 7;
inline constexpr int32_t kErrWrongState = 40006;
inline constexpr int32_t kErrBadArgument = 40014;
inline constexpr int32_t kErrUnsupportedType = 40018;
inline constexpr int32_t kErrInvalidState = 40020;

extern const QString kBadArgumentText;      // 40014, out of range or format
extern const QString kInvalidArgumentText;  // 40014, unresolvable address
extern const QString kUnsupportedTypeText;  // 40018
extern const QString kInvalidStateText;     // 40020
// "n.Wrong protocol or connection state for the requested transaction or request"
QString WrongStateText(int n);

// Raises a numbered error with the source "CSocketMaster." + procedure.
[[noreturn]] void Raise(int32_t number, const QString& description, const QString& procedure);
// Raises a Winsock error with its description.
[[noreturn]] void RaiseWinsock(int32_t number, const QString& procedure);
// Records what a socket event's handler let out as a system error in the
// error log: an AppError under its own source (the fallback when it has
// none), any other exception under the fallback. The event is then over.
void LogHandlerError(const std::exception& error, const QString& fallbackSource);

// The value of a tagged value that counts as numeric (numbers, Booleans, and
// texts that are numbers); nullopt otherwise.
std::optional<double> NumericValue(const Variant& value);
// A port argument's number, rounded half to even: raises 40018 when the value
// is not numeric and 40014 when it lies outside lowest..65535.
int32_t PortArgument(const Variant& port, int32_t lowest, const QString& procedure);

// A host to an address at once: an empty host is 10047, a dotted address is
// used unchanged, anything else is looked up (blocking). Answers 0 or the
// Winsock error.
int32_t ResolveHostSync(const QString& host, uint32_t* address);

}  // namespace socketmaster
