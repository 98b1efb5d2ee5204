#pragma once

#include <QString>
#include <stdexcept>

// A raised, numbered error: number, description and the source that raised it
// ("CSocketMaster.Connect"). Callers that "ignore errors step by step" wrap each
// step in its own try/catch.
class AppError : public std::runtime_error {
public:
    AppError(int number, const QString& description, const QString& source = QString())
        : std::runtime_error(description.toStdString()),
          number_(number),
          description_(description),
          source_(source) {}

    // The errors raised by name in several places, each with its one text:
    // 9 for an index outside a list, 3704 for an operation on a connection or
    // recordset that is closed.
    static constexpr int kSubscriptOutOfRange = 9;
    static constexpr int kObjectClosed = 3704;
    static AppError SubscriptOutOfRange(const QString& source = QString()) {
        return AppError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"), source);
    }
    static AppError ObjectClosed(const QString& source = QString()) {
        return AppError(kObjectClosed,
                        QStringLiteral("Operation is not allowed when the object is closed."),
                        source);
    }

    int Number() const { return number_; }
    const QString& Description() const { return description_; }
    const QString& Source() const { return source_; }

private:
    int number_;
    QString description_;
    QString source_;
};

// The runtime's own error numbers, raised by the value conversions.
namespace rt {
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrInvalidNull = 94;
[[noreturn]] void RaiseOverflow(const QString& source = QString());
[[noreturn]] void RaiseTypeMismatch(const QString& source = QString());

// Where an error that no step expected is reported: the core sets a sink
// that adds it to Error.log; until then, and in a program without the core,
// it goes to the console. Setting a sink also has an exception that leaves
// the program uncaught reported there before the program ends.
using UnexpectedErrorSink = void (*)(int number, const QString& description,
                                     const QString& methodName);
void SetUnexpectedErrorSink(UnexpectedErrorSink sink);

// Reports the exception being handled under the method's name: an AppError
// with its number and text, any other exception with its what() text. Only
// inside a catch block; never raises.
void ReportUnexpectedError(const char* methodName) noexcept;

// Runs one step of a routine that ignores failing steps one by one: an error
// the program raises (AppError) is dropped and the routine goes on with its
// next step. Anything else (out of memory, a broken rule of the code) is no
// failure of the step: it leaves the step for the caller to see.
template <typename F>
void IgnoreErrors(F&& step) {
    try {
        step();
    } catch (const AppError&) {
    }
}

// IgnoreErrors for a step that must let nothing out: an event handler that
// returns into the event loop, a destructor. Anything but an AppError is
// reported under the method's name and ends the step.
template <typename F>
void ContainErrors(const char* methodName, F&& step) noexcept {
    try {
        step();
    } catch (const AppError&) {
    } catch (...) {
        ReportUnexpectedError(methodName);
    }
}
}  // namespace rt
