#pragma once

#include <QString>

// Where the station's files live. Paths use "/" as the separator; a folder
// path returned here ends with one.

inline constexpr int kAppFerromont = 0;
inline constexpr int kAppKestrelle = 8;
inline constexpr int kCsidlCommonAppData = 35;

// Folder kinds of GetAppDataFolder.
inline constexpr int kFolderLogs = 1;
inline constexpr int kFolderScales = 2;
inline constexpr int kFolderTemplates = 3;

// The special folder with one trailing separator; empty text when unknown.
QString GetSpecialFolderPath(int csidl, long long ownerWindow = 0);

// Common application data & "Quillbarrow/" & product folder & "/" & the kind's
// subfolder; created when `create` is set and the index is not 0 (the
// point-of-sale product's folder is never created here). Empty text for an
// index without a product folder.
QString GetAppDataFolder(int appIndex, int folderKind, bool create, long long ownerWindow = 0);

// Creates every missing level; true when the folder exists afterwards.
bool CreateFolderPath(const QString& path);

// True for an existing directory; "", ".", ".." and "/" give false.
bool FolderExists(const QString& path);

// "KestrelleApp.config" for row 8, with the program data folder in front when
// withFolder is set (the folder is created); empty text for other rows.
QString GetAppConfigFilePath(int appIndex, bool withFolder);

// The Logs folder's "Error.log" (created), or the bare name.
QString GetErrorLogPath(int appIndex, bool inLogsFolder);

// "Quillbarrow " & product folder name.
QString GetFullProductName(int appIndex);

// The row whose configuration file name equals the text exactly; 1 otherwise.
int GetAppIndexFromConfigName(const QString& configName);

// The product folder name of a row, empty when the row has none.
QString GetProductFolderName(int appIndex);
