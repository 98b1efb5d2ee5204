#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cmath>

#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/System.h"

// Each test starts from a fresh record pointing at a configuration file in
// its own application-data folder.
class ConfigurationTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        file_ = GetConfigFileName();
    }

    void Set(const QString& key, const QString& value) {
        ASSERT_TRUE(platform::IniWrite(file_, key, "Value", value));
    }

    QString file_;
    ConfigurationRecord& c = ConfigurationSettings;
};

TEST_F(ConfigurationTest, ConfigFileLivesInTheProgramDataFolder) {
    EXPECT_EQ(file_, AppData() + "/Quillbarrow/Kestrelle/KestrelleApp.config");
    EXPECT_TRUE(QDir(AppData() + "/Quillbarrow/Kestrelle").exists());
    EXPECT_EQ(GetProgramDataFolder(), AppData() + "/Quillbarrow/Kestrelle/");
    // Once fixed, the path stays.
    c.ConfigFile = "/elsewhere/x.config";
    EXPECT_EQ(GetConfigFileName(), "/elsewhere/x.config");
}

TEST_F(ConfigurationTest, MissingFileKeepsDefaultsAndReturnsFalse) {
    c.Communication = 2;
    c.Restriction = false;
    c.Country = 4;
    c.UserName = "kept";
    EXPECT_FALSE(LoadConfiguration());
    EXPECT_EQ(c.Communication, 0);
    EXPECT_TRUE(c.Restriction);
    EXPECT_EQ(c.DatabasePath, platform::ProgramFolder() + "/quillbarrow.mdb");
    EXPECT_EQ(c.Language, "BG");
    EXPECT_EQ(c.PrefixUsers, "971");
    EXPECT_EQ(c.PortUDP, 7002);
    EXPECT_EQ(c.PortTCP, 7003);
    EXPECT_EQ(c.Country, 4);        // not reset
    EXPECT_EQ(c.UserName, "kept");  // not reset
}

TEST_F(ConfigurationTest, CommunicationRangeAndRounding) {
    const std::pair<const char*, int> cases[] = {{"3", 0},   {"-1", 0}, {"2.4", 0},  {"1.5", 2},
                                                 {"0.5", 0}, {"2", 2},  {"1abc", 1}, {"", 0}};
    for (const auto& [text, expected] : cases) {
        Set("Communication", text);
        LoadConfiguration();
        EXPECT_EQ(c.Communication, expected) << text;
    }
}

TEST_F(ConfigurationTest, DatabaseTypeHasNoRangeCheck) {
    Set("DatabaseType", "7");
    LoadConfiguration();
    EXPECT_EQ(c.DatabaseType, 7);
    // A 32-bit number, read as one.
    Set("DatabaseType", "40000");
    LoadConfiguration();
    EXPECT_EQ(c.DatabaseType, 40000);
    Set("DatabaseType", "3000000000");  // overflows: keeps the reset value
    LoadConfiguration();
    EXPECT_EQ(c.DatabaseType, 0);
}

TEST_F(ConfigurationTest, AMissingDatabasePathGivesAnEmptyPath) {
    Set("Language", "EN");
    ASSERT_TRUE(LoadConfiguration());
    EXPECT_EQ(c.DatabasePath, "");
    EXPECT_EQ(c.Language, "EN");
    Set("Language", "");
    LoadConfiguration();
    EXPECT_EQ(c.Language, "BG");
}

TEST_F(ConfigurationTest, CountryKeepsTheDerivedValueUnlessItConverts) {
    c.Country = 4;
    Set("Country", "-5");
    LoadConfiguration();
    EXPECT_EQ(c.Country, 4);
    Set("Country", "abc");
    LoadConfiguration();
    EXPECT_EQ(c.Country, 4);
    Set("Country", "70000");
    LoadConfiguration();
    EXPECT_EQ(c.Country, 4);
    Set("Country", "15");
    LoadConfiguration();
    EXPECT_EQ(c.Country, 15);
}

TEST_F(ConfigurationTest, BooleansConvertOrKeepTheirDefault) {
    Set("Restriction", "0");
    Set("Assistant", "FALSE");
    Set("SoundNotification", "");
    Set("FocusNewOrder", "true");
    Set("FinishWholeOrder", "maybe");
    Set("UserDefineKeys", "-1");
    LoadConfiguration();
    EXPECT_FALSE(c.Restriction);
    EXPECT_FALSE(c.Assistant);
    EXPECT_TRUE(c.SoundNotification);
    EXPECT_TRUE(c.FocusNewOrder);
    EXPECT_TRUE(c.FinishWholeOrder);
    EXPECT_TRUE(c.UserDefineKeys);
    Set("Restriction", "");
    LoadConfiguration();
    EXPECT_TRUE(c.Restriction);  // an empty value keeps the lock on
}

TEST_F(ConfigurationTest, PrefixUsersTakesExactlyThreeDigits) {
    Set("PrefixUsers", "9-7-1");
    LoadConfiguration();
    EXPECT_EQ(c.PrefixUsers, "971");
    Set("PrefixUsers", "A12 3");
    LoadConfiguration();
    EXPECT_EQ(c.PrefixUsers, "123");
    Set("PrefixUsers", "12");
    LoadConfiguration();
    EXPECT_EQ(c.PrefixUsers, "971");
    Set("PrefixUsers", "1234");
    LoadConfiguration();
    EXPECT_EQ(c.PrefixUsers, "971");
}

TEST_F(ConfigurationTest, ModeTwoOptionsOnlyInModeTwo) {
    Set("ObjectCodeRange", "5");
    Set("GoodsGroups", "001|002");
    Set("AutoLock", "True");
    Set("Communication", "2");
    LoadConfiguration();
    EXPECT_EQ(c.ObjectCodeRange, 5);
    EXPECT_EQ(c.GoodsGroups, "001|002");
    EXPECT_TRUE(c.AutoLock);
    Set("Communication", "1");
    LoadConfiguration();
    EXPECT_EQ(c.ObjectCodeRange, 1);
    EXPECT_EQ(c.GoodsGroups, "");
    EXPECT_FALSE(c.AutoLock);
}

TEST_F(ConfigurationTest, ObjectCodeRangeOutsideOneToTenGivesOne) {
    Set("Communication", "2");
    for (const char* text : {"0", "11", "abc", "", "-3"}) {
        Set("ObjectCodeRange", text);
        LoadConfiguration();
        EXPECT_EQ(c.ObjectCodeRange, 1) << text;
    }
    Set("ObjectCodeRange", "10");
    LoadConfiguration();
    EXPECT_EQ(c.ObjectCodeRange, 10);
}

TEST_F(ConfigurationTest, StationPasswordIsTrimmed) {
    Set("Password_2", "\"  secret  \"");
    LoadConfiguration();
    EXPECT_EQ(c.Password_2, "secret");
}

TEST_F(ConfigurationTest, SaveWritesEveryKeyInOrderAndLoadsBack) {
    c.Communication = 2;
    c.DatabaseType = 2;
    c.DatabasePath = "/data/db.mdb";
    c.ServerName = "srv";
    c.DatabaseName = "pos";
    c.UserName = "u";
    c.Password = "p w";
    c.Country = 9;
    c.Language = "EN";
    c.Restriction = false;
    c.ObjectCodeRange = 3;
    c.GoodsGroups = "001|005";
    c.PrefixUsers = "123";
    c.Password_2 = "st";
    c.Skin = "Lime";
    c.PortUDP = 9000;
    ASSERT_TRUE(SaveConfiguration());

    QStringList sections = platform::IniSectionNames(file_);
    const QStringList expected = {
        "Communication", "DatabaseType",      "DatabasePath", "ServerName",      "LocalServerName",
        "DatabaseName",  "UserName",          "Password",     "Country",         "Language",
        "AutoLock",      "WarningSaveChages", "Restriction",  "ObjectCodeRange", "Assistant",
        "GoodsGroups",   "SoundNotification", "PrefixUsers",  "UserDefineKeys",  "FinishWholeOrder",
        "Password_2",    "FocusNewOrder",     "Skin",         "PortUDP",         "PortTCP"};
    EXPECT_EQ(sections, expected);
    const QByteArray bytes = ReadBytes(file_);
    EXPECT_TRUE(bytes.startsWith("[Communication]\r\nValue=2\r\n[DatabaseType]\r\nValue=2\r\n"));
    EXPECT_TRUE(bytes.contains("[Restriction]\r\nValue=False\r\n"));

    const ConfigurationRecord saved = c;
    c = ConfigurationRecord();
    c.ConfigFile = file_;
    ASSERT_TRUE(LoadConfiguration());
    EXPECT_EQ(c.Communication, 2);
    EXPECT_EQ(c.DatabasePath, saved.DatabasePath);
    EXPECT_EQ(c.Password, "p w");
    EXPECT_EQ(c.GoodsGroups, saved.GoodsGroups);
    EXPECT_EQ(c.ObjectCodeRange, 3);
    EXPECT_FALSE(c.Restriction);
    EXPECT_EQ(c.Country, 9);
    EXPECT_EQ(c.PortUDP, 9000);  // the edited port takes effect
    EXPECT_EQ(c.PortTCP, 7003);
}

// A setting's text as the file holds it.
QString TextOf(const ConfigurationRecord& r, const Setting& s) {
    switch (s.member.index()) {
        case 0:
            return s.Text(r);
        case 1:
            return s.Flag(r) ? "True" : "False";
    }
    return QString::number(s.Number(r));
}

// The table drives the file: a save writes its keys in its order, and every
// setting the load reads comes back as it was saved.
TEST_F(ConfigurationTest, EverySettingOfTheTableSavesAndLoadsBack) {
    QStringList keys;
    for (const Setting& s : Settings()) {
        keys << s.key;
        if (s.member.index() == 0)
            s.Text(c) = s.read.rule == SettingRule::ThreeDigits ? "123" : QString(s.key) + " x";
        else if (s.member.index() == 1)
            s.Flag(c) = !s.Flag(c);
        else  // the top of the range: mode 2 for the mode, which keeps its options
            s.SetNumber(c,
                        s.read.high > 0 && std::isfinite(s.read.high) ? int32_t(s.read.high) : 7);
    }
    ASSERT_TRUE(SaveConfiguration());
    EXPECT_EQ(platform::IniSectionNames(file_), keys);

    const ConfigurationRecord saved = c;
    c = ConfigurationRecord();
    c.ConfigFile = file_;
    ASSERT_TRUE(LoadConfiguration());
    for (const Setting& s : Settings()) {
        EXPECT_EQ(ReadIniValue(s.key, "Value", file_), TextOf(saved, s)) << s.key;
        EXPECT_NE(TextOf(saved, s), TextOf(ConfigurationRecord(), s)) << s.key;
        if (s.read.rule != SettingRule::NotRead) {
            EXPECT_EQ(TextOf(c, s), TextOf(saved, s)) << s.key;
        }
    }
}

TEST_F(ConfigurationTest, PortsThatAreNoPortKeepTheDefault) {
    for (const char* text : {"", "0", "-5", "abc", "65536"}) {
        Set("PortUDP", text);
        Set("PortTCP", text);
        LoadConfiguration();
        EXPECT_EQ(c.PortUDP, 7002) << text;
        EXPECT_EQ(c.PortTCP, 7003) << text;
    }
    Set("PortTCP", "40103");
    LoadConfiguration();
    EXPECT_EQ(c.PortTCP, 40103);
    EXPECT_EQ(c.PortUDP, 7002);
}

TEST(ConfigurationPorts, PortTextRule) {
    EXPECT_EQ(PortFromText(QStringLiteral("9000"), 7002), 9000);
    EXPECT_EQ(PortFromText(QStringLiteral(""), 7002), 7002);
    EXPECT_EQ(PortFromText(QStringLiteral("0"), 7002), 7002);
    EXPECT_EQ(PortFromText(QStringLiteral("12x"), 7002), 7002);
    EXPECT_EQ(PortFromText(QStringLiteral("0080"), 7002), 80);
}

TEST_F(ConfigurationTest, SkinNumbersBecomeNamesAndAreSavedAsNames) {
    Set("Skin", "2");
    SelectSkin();
    EXPECT_EQ(c.Skin, "Lila");
    SaveConfiguration();
    EXPECT_EQ(ReadIniValue("Skin", "Value", file_), "Lila");
    for (const auto& [text, name] : std::initializer_list<std::pair<const char*, const char*>>{
             {"0", "Default"}, {"", "Default"}, {" 1 ", "Blue"}, {"Lime", "Lime"}}) {
        Set("Skin", text);
        SelectSkin();
        EXPECT_EQ(c.Skin, name) << text;
    }
}

TEST_F(ConfigurationTest, StandartMessageSwitchAnywhereInAnyCase) {
    platform::SetCommandLine("-x /STANDARTMESSAGEplus");
    ReadCommandLineSwitches();
    EXPECT_TRUE(c.StandartMessage);
    platform::SetCommandLine("local reconnect");
    ReadCommandLineSwitches();
    EXPECT_FALSE(c.StandartMessage);
    platform::SetCommandLine("");
}

// Broken files load what converts and never crash.
TEST_F(ConfigurationTest, BrokenFilesLoadWhatConverts) {
    WriteBytes(file_, "");
    EXPECT_TRUE(LoadConfiguration());
    EXPECT_EQ(c.Communication, 0);

    WriteBytes(file_,
               "[Communication]\rValue=1\r[Restriction]\rValue=False\r[Communication]\rValue=2\r");
    LoadConfiguration();
    EXPECT_EQ(c.Communication, 1);
    EXPECT_FALSE(c.Restriction);

    WriteBytes(file_, "[Communication]\r\nValue=1\r\n[Restri");  // truncated
    LoadConfiguration();
    EXPECT_EQ(c.Communication, 1);
    EXPECT_TRUE(c.Restriction);

    QByteArray big;
    QRandomGenerator rng(3);
    for (int i = 0; i < 4 * 1024 * 1024; ++i)
        big.append(char(rng.bounded(256)));
    big.append("\r\n[Language]\r\nValue=RU\r\n");
    WriteBytes(file_, big);
    LoadConfiguration();
    EXPECT_EQ(c.Language, "RU");
    SaveConfiguration();  // and it can be saved over
    EXPECT_EQ(ReadIniValue("Language", "Value", file_), "RU");
}

TEST_F(ConfigurationTest, ASettingsFileThatIsALinkIsWrittenThroughIt) {
    const QString target = AppData() + "/shared/KestrelleApp.config";
    ASSERT_TRUE(QDir().mkpath(AppData() + "/shared"));
    QFile::remove(file_);
    ASSERT_TRUE(QFile::link(target, file_));
    c.PortTCP = 7100;
    ASSERT_TRUE(SaveConfiguration());
    EXPECT_EQ(QFileInfo(file_).symLinkTarget(), target);
    EXPECT_EQ(ReadIniValue("PortTCP", "Value", target), "7100");
}

TEST_F(ConfigurationTest, AnUnwritableFileIsReported) {
    c.ConfigFile = AppData() + "/no/such/folder/KestrelleApp.config";
    EXPECT_FALSE(SaveConfiguration());
    EXPECT_FALSE(QFile::exists(c.ConfigFile));
    EXPECT_FALSE(LoadConfiguration());
}
