#pragma once

#include <QString>
#include <optional>

// The registry, kept as one INI file per root key in the "Registry" folder of
// the common application-data folder: a key path is a section, a value name a
// key. Only text values exist here.
namespace platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

QString RegistryFile(RegistryRoot root);

// Creates the key path when missing; false when the store cannot be written.
bool RegistryWriteString(RegistryRoot root, const QString& keyPath, const QString& valueName,
                         const QString& value);

// nullopt when the key or the value is missing.
std::optional<QString> RegistryReadString(RegistryRoot root, const QString& keyPath,
                                          const QString& valueName);

}  // namespace platform
