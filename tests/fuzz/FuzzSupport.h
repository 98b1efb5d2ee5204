#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

// Shared by every fuzz target, whether libFuzzer drives it or the replay
// program of the normal build feeds it the checked-in corpus.

// The entry point each target defines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// The one application object of the process (offscreen), created on first
// use together with a private common application-data folder that lives
// until the process ends. Returns that folder.
QString Init();

// Aborts with the message when the invariant does not hold: libFuzzer keeps
// the input as a crash, the replay program fails its test.
[[noreturn]] void Fail(const char* file, int line, const char* what, const QString& detail);

// The input cut into pieces at every kPieceSeparator; an input without one
// is a single piece.
inline constexpr char kPieceSeparator[] = "\x1e\x1e";
QList<QByteArray> Pieces(const uint8_t* data, size_t size);

// Replaces the file's bytes; an unwritable file breaks the run.
void WriteFile(const QString& path, const QByteArray& bytes);

// A value as a profile (INI) file gives it back after it was written: line
// breaks turned into blanks, NUL gone, outer blanks and tabs and one pair of
// matching quotes taken off.
QString ProfileValueAsRead(QString value);

// Pumps events until the condition holds; false after timeoutMs.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace fuzz

#define FUZZ_CHECK(condition, detail)                               \
    do {                                                            \
        if (!(condition))                                           \
            ::fuzz::Fail(__FILE__, __LINE__, #condition, (detail)); \
    } while (0)
