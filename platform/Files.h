#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces the file's content in one step: the bytes go to a temporary file in
// the same folder, are flushed to the disk, and the temporary file is renamed
// over the target. A crash or a full disk leaves either the old or the new
// file, never half of one. An existing file's permissions are kept. Returns
// false (and leaves the old file) when any step fails.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Appends in one write, creating the file when missing; false on failure.
bool AppendToFile(const QString& path, const QByteArray& bytes);

// The whole file, or nullopt-like empty with ok=false when it cannot be read.
QByteArray ReadWholeFile(const QString& path, bool* ok = nullptr);

}  // namespace platform
