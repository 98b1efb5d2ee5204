#include "platform/AppError.h"

#include <cstdio>
#include <exception>

namespace rt {
namespace {

void WriteToConsole(int number, const QString& description, const QString& methodName) {
    qWarning("%s: %d %s", qPrintable(methodName), number, qPrintable(description));
}

UnexpectedErrorSink sink = &WriteToConsole;
std::terminate_handler previousTerminate = nullptr;

[[noreturn]] void ReportThenTerminate() {
    if (std::current_exception())
        ReportUnexpectedError("Uncaught exception");
    if (previousTerminate)
        previousTerminate();
    std::abort();
}

}  // namespace

void SetUnexpectedErrorSink(UnexpectedErrorSink newSink) {
    sink = newSink ? newSink : &WriteToConsole;
    static const bool terminateHooked = [] {
        previousTerminate = std::set_terminate(&ReportThenTerminate);
        return true;
    }();
    (void)terminateHooked;
}

void ReportUnexpectedError(const char* methodName) noexcept {
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return;
    try {
        int number = 0;
        QString description;
        try {
            std::rethrow_exception(current);
        } catch (const AppError& e) {
            number = e.Number();
            description = e.Description();
        } catch (const std::exception& e) {
            description = QString::fromLocal8Bit(e.what());
        } catch (...) {
            description = QStringLiteral("Unknown exception");
        }
        sink(number, description, QString::fromUtf8(methodName));
    } catch (...) {
        // Out of memory for the report itself: the console is all that is left.
        std::fprintf(stderr, "%s: an error could not be reported\n", methodName);
    }
}

}  // namespace rt
