#pragma once

#include <QString>
#include <cstdint>
#include <span>
#include <variant>

// The station's settings: one record in memory, one INI file on disk, each
// setting a section of its own name holding the single key "Value". The
// members the file keeps take their defaults from the table of settings
// (Settings()), which also drives loading, saving and the options grid.
struct ConfigurationRecord {
    // Every setting of the table at its default.
    ConfigurationRecord();

    // Set by LoadConfiguration: the record holds what this run read (or the
    // defaults of a first start), so a save writes nothing the file did not
    // say. A record that was never loaded is never saved at the board's end.
    bool Loaded = false;
    QString ConfigFile;
    QString Language;
    int32_t Country;
    QString Skin;
    int32_t DatabaseType;
    QString DatabasePath;
    QString DatabaseName;
    QString ServerName;
    QString LocalServerName;
    QString UserName;
    QString Password;
    int32_t Communication;
    bool Restriction;
    bool UserDefineKeys;
    bool AutoLock;
    QString GoodsGroups;
    bool WarningSaveChages;
    bool Assistant;
    bool SoundNotification;
    QString PrefixUsers;
    int16_t ObjectCodeRange;
    bool FinishWholeOrder;
    bool FocusNewOrder;
    QString Password_2;
    // Ports are 1 to 65535: wider than the other 16-bit settings.
    int32_t PortUDP;
    int32_t PortTCP;
    bool StandartMessage = false;
};

// What LoadConfiguration does with a setting before it reads the file.
enum class SettingLoad {
    Keep,                   // keeps what the record holds
    Reset,                  // back to the default
    ResetDatabaseModeOnly,  // back to the default, and again after the read outside mode 2
    ResetToDatabaseFile,    // the program folder's database file
};

// How the text read from the file becomes the setting; a text that does not
// pass keeps what the reset left.
enum class SettingRule {
    NotRead,        // read on its own (SelectSkin)
    Text,           // as read
    TrimmedText,    // blanks around it dropped
    TextOrDefault,  // an empty text gives the default
    ThreeDigits,    // the text's digits, when there are exactly three
    Boolean,        // "True"/"False" or a number
    // The leading number of a non-empty text when it lies in low..high,
    // rounded (half to even) when that fits 32 bits.
    Number,
    // The whole text as a number, rounded, when that lies in low..high.
    WholeNumber,
    // The whole text as a 16-bit number, unless its leading number is negative.
    WholeNumberUnlessNegative,
};

// A rule with the range its numbers must lie in.
struct SettingRead {
    SettingRule rule;
    double low = 0;
    double high = 0;
};

// How the station options grid shows and edits a setting.
enum class OptionKind {
    OnOff,        // a list of "disable" and "enable"
    CodeRange,    // a list of the object-code ranges, one per value low..high
    GoodsGroups,  // the goods-groups picker behind a cell button
    Digits,       // an edit of three digits
};

// A setting's row of the station options grid.
struct SettingOption {
    // Rows show in increasing position, spaced by ten so that a new row fits
    // between two; 0 for no row.
    int position = 0;
    const char* caption = nullptr;
    OptionKind kind = OptionKind::OnOff;
    bool databaseModeOnly = false;  // shown only while mode 2 is chosen
};

// One setting: where the file keeps it, the record's member, its default and
// the rules of loading it and of the options grid.
struct Setting {
    using Member = std::variant<QString ConfigurationRecord::*, bool ConfigurationRecord::*,
                                int32_t ConfigurationRecord::*, int16_t ConfigurationRecord::*>;
    using Value = std::variant<const char*, bool, int32_t>;

    const char* key;
    Member member;
    Value initial;
    SettingLoad load;
    SettingRead read;
    SettingOption option = {};

    // The record's member of a text, flag or number setting.
    QString& Text(ConfigurationRecord& record) const;
    const QString& Text(const ConfigurationRecord& record) const;
    bool& Flag(ConfigurationRecord& record) const;
    bool Flag(const ConfigurationRecord& record) const;
    int32_t Number(const ConfigurationRecord& record) const;
    // A 16-bit member takes the value's low 16 bits.
    void SetNumber(ConfigurationRecord& record, int32_t value) const;
};

// Every setting of the file, in the file's key order.
std::span<const Setting> Settings();

// The setting of a key (case as written in the table); nullptr for none.
const Setting* FindSetting(QStringView key);

// The program-wide record.
extern ConfigurationRecord ConfigurationSettings;

// Communication 2: the station reads its orders from the point-of-sale
// database (0 takes datagrams, 1 runs the message server).
inline bool DatabaseMode(const ConfigurationRecord& record) {
    return record.Communication == 2;
}
inline bool DatabaseMode() {
    return DatabaseMode(ConfigurationSettings);
}

// The configuration file's path, fixed (and the program data folder created)
// on the first call.
QString GetConfigFileName();

// The program data folder with a trailing separator, created when missing.
QString GetProgramDataFolder();

// The port a port's text stands for, in the file or in a port box: its number
// when that is 1 to 65535, else fallback.
int32_t PortFromText(const QString& text, int32_t fallback);

// Resets the settings the table resets, then reads every key that converts;
// true when the file existed. Outside mode 2 the mode-2 options go back to
// their defaults.
bool LoadConfiguration();

// Writes every setting of record in the table's order (the skin and the two
// ports last) in one replacement of its ConfigFile: false, and the file as it
// was, when it cannot be written. The record itself is not changed.
bool SaveConfiguration(const ConfigurationRecord& record);
// The same for the program-wide record.
bool SaveConfiguration();

// The file is in the station's code page, where a letter it lacks is written
// as "?": the first text setting of the record (in the file's order) that
// would lose letters so, with those letters (each once) in letters; nullptr,
// and letters empty, when every text keeps its letters.
const Setting* SettingLosingLetters(const ConfigurationRecord& record, QString* letters);

// Reads the "Skin" section into the record ("0"/"" Default, "1" Blue,
// "2" Lila, any other text a scheme name) and hands it to the skin component.
void SelectSkin();

// StandartMessage from the command line (case-insensitive, anywhere in it).
void ReadCommandLineSwitches();
