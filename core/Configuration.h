#pragma once

#include <QString>
#include <cstdint>

// The station's settings: one record in memory, one INI file on disk, each
// setting a section of its own name holding the single key "Value".
struct ConfigurationRecord {
    // Set by LoadConfiguration: the record holds what this run read (or the
    // defaults of a first start), so a save writes nothing the file did not
    // say. A record that was never loaded is never saved at the board's end.
    bool Loaded = false;
    QString ConfigFile;
    QString Language = QStringLiteral("BG");
    int32_t Country = 0;
    QString Skin;
    int32_t DatabaseType = 0;
    QString DatabasePath;
    QString DatabaseName;
    QString ServerName;
    QString LocalServerName;
    QString UserName;
    QString Password;
    int32_t Communication = 0;
    bool Restriction = true;
    bool UserDefineKeys = false;
    bool AutoLock = false;
    QString GoodsGroups;
    bool WarningSaveChages = false;
    bool Assistant = true;
    bool SoundNotification = true;
    QString PrefixUsers = QStringLiteral("971");
    int16_t ObjectCodeRange = 1;
    bool FinishWholeOrder = true;
    bool FocusNewOrder = false;
    QString Password_2;
    // Ports are 1 to 65535: wider than the other 16-bit settings.
    int32_t PortUDP = 7002;
    int32_t PortTCP = 7003;
    bool StandartMessage = false;
};

// The program-wide record.
extern ConfigurationRecord ConfigurationSettings;

// Communication 2: the station reads its orders from the point-of-sale
// database (0 takes datagrams, 1 runs the message server).
inline bool DatabaseMode() {
    return ConfigurationSettings.Communication == 2;
}

// The configuration file's path, fixed (and the program data folder created)
// on the first call.
QString GetConfigFileName();

// The program data folder with a trailing separator, created when missing.
QString GetProgramDataFolder();

// The port a port's text stands for, in the file or in a port box: its number
// when that is 1 to 65535, else fallback.
int32_t PortFromText(const QString& text, int32_t fallback);

// Resets the reset-by-load fields, then reads every key that converts; true
// when the file existed. Outside mode 2 the mode-2 options are cleared.
bool LoadConfiguration();

// Writes every setting in the file's key order, then the two ports, in one
// replacement of the file: false, and the file as it was, when it cannot be
// written.
bool SaveConfiguration();

// Reads the "Skin" section into the record ("0"/"" Default, "1" Blue,
// "2" Lila, any other text a scheme name) and hands it to the skin component.
void SelectSkin();

// StandartMessage from the command line (case-insensitive, anywhere in it).
void ReadCommandLineSwitches();
