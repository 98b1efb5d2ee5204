#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "common/TestSupport.h"
#include "core/ModCommon.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

namespace {

class ResManagerTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        dict_ = PathIn("Dictionary_Kestrelle.lng");
        config_ = PathIn("KestrelleApp.config");
        rm_.SetDictionaryFile(dict_);
        rm_.AddResource("strAttention", "Внимание");
        rm_.AddResource("strExit", "Желаете ли изход от програмата?");
        rm_.AddResource("strAttention", "shadowed");
        rm_.AddResourceForm("SetupForm", "lblLanguage", "Език:");
    }
    void WriteDictionary(const QString& text) {
        WriteBytes(dict_, platform::ToAnsi(text));
        platform::IniClearCache();
    }
    QString Config(const QString& section, const QString& key) {
        return ReadIniValue(section, key, config_, 255);
    }

    ResManagerClass rm_;
    QString dict_;
    QString config_;
};

}  // namespace

TEST_F(ResManagerTest, GetResStringFallsBackToTheBuiltInText) {
    // No dictionary: built-in texts in every language.
    rm_.SetCurrentLanguage("EN");
    EXPECT_EQ(rm_.GetResString("strAttention"), "Внимание");
    EXPECT_EQ(rm_.GetResString("strNoSuchName"), "");

    // The look-up moved the missing file's path; start-up would have set it
    // to a file that exists.
    rm_.SetDictionaryFile(dict_);
    WriteDictionary(
        "[strAttention]\nEN=Attention\nDE=   \n"
        "[strExit]\nEN=Exit|vbNewLine|now?\n");
    EXPECT_EQ(rm_.GetResString("strAttention"), "Attention");
    EXPECT_EQ(rm_.GetResString("strExit"), "Exit\r\nnow?");
    // Blanks only: the built-in text.
    rm_.SetCurrentLanguage("DE");
    EXPECT_EQ(rm_.GetResString("strAttention"), "Внимание");
    // Case-sensitive built-in names.
    EXPECT_EQ(rm_.GetResString("strattention"), "");
    EXPECT_EQ(rm_.GetDefaultResource("strattention"), "");
}

TEST_F(ResManagerTest, ResStringKeepsTheTokenAndFallsBackForBulgarianOnly) {
    WriteDictionary("[strExit]\nEN=Exit|vbNewLine|now?\nBG=Изход?\n");
    EXPECT_EQ(rm_.ResString("strExit", "EN"), "Exit|vbNewLine|now?");
    EXPECT_EQ(rm_.ResString("strExit", ""), "Изход?");
    EXPECT_EQ(rm_.ResString("strAttention", "EN"), "");
    EXPECT_EQ(rm_.ResString("strAttention", "BG"), "Внимание");
    EXPECT_EQ(rm_.ResString("strAttention", ""), "Внимание");
}

TEST_F(ResManagerTest, LongAndBrokenDictionaryValuesAreCut) {
    const QString longText(5000, QChar(0x0416));  // Ж, one byte in the code page
    QByteArray bytes = platform::ToAnsi("garbage line without section\n[strAttention]\nEN=");
    bytes += platform::ToAnsi(longText);
    bytes += "\n[SetupForm|lblLanguage]\nEN=" + platform::ToAnsi(longText) + "\n";
    bytes += "[strExit]\nEN=Ex\0it\n"_qba;
    bytes += "[strBroken\nEN=half a section\n=value without key\n\xff\xfe\x00\x01\n";
    WriteBytes(dict_, bytes);
    platform::IniClearCache();
    rm_.SetCurrentLanguage("EN");
    EXPECT_EQ(rm_.GetResString("strAttention").size(), 1023);
    EXPECT_EQ(rm_.ResString("strAttention", "EN").size(), 1023);
    EXPECT_EQ(rm_.ResString("SetupForm|lblLanguage", "EN").size(), 254);
    EXPECT_EQ(rm_.GetResString("SetupForm|lblLanguage").size(), 1023);
    const QString exit = rm_.GetResString("strExit");
    EXPECT_FALSE(exit.contains(QChar(0)));
    EXPECT_EQ(rm_.GetResString("strBroken"), "");
}

TEST_F(ResManagerTest, MissingDictionaryMovesToRelatedDocumentsOnce) {
    const QString related = PathIn("Related Documents/Dictionary_Kestrelle.lng");
    EXPECT_EQ(rm_.DictionaryFile(), related);
    EXPECT_EQ(rm_.DictionaryFile(), related);  // stays, not moved twice
    QDir().mkpath(PathIn("Related Documents"));
    WriteBytes(related, "[strAttention]\nEN=Attention\n");
    platform::IniClearCache();
    rm_.SetCurrentLanguage("EN");
    EXPECT_EQ(rm_.GetResString("strAttention"), "Attention");
    // Created beside the program afterwards: the path has moved for good.
    WriteDictionary("[strAttention]\nEN=Beside\n");
    EXPECT_EQ(rm_.GetResString("strAttention"), "Attention");

    ResManagerClass bare;
    bare.SetDictionaryFile("NoSuchDictionary.lng");
    EXPECT_EQ(bare.DictionaryFile(), "Related Documents/NoSuchDictionary.lng");
}

TEST_F(ResManagerTest, LoadLanguagesRegistersTheDefaultListOnAFirstStart) {
    rm_.LoadLanguages(",,", config_, AppData());
    EXPECT_EQ(Config("Languages", "Counter"), "10");
    EXPECT_EQ(Config("Languages", "1lng"), "BG");
    EXPECT_EQ(Config("Languages", "10lng"), "TR");
    EXPECT_EQ(Config("Languages", "charset_GR"), "161");
    // Captions come from the dictionary only: registration runs before the
    // built-in texts exist at start-up, and this manager has no strLanguage.
    EXPECT_EQ(Config("Languages", "1cap"), "");
    ASSERT_EQ(rm_.CountLanguages(), 10);
    EXPECT_EQ(rm_.Languages()[0].Caption, "BG");
    EXPECT_EQ(rm_.LanguageAbbrev(9), "TR");
    EXPECT_EQ(rm_.LanguageAbbrev(10), "BG");
    EXPECT_EQ(rm_.GetLanguageAbbreviation(-1), "BG");
    EXPECT_EQ(rm_.CurrentLanguage(), "BG");
    EXPECT_EQ(Config("Language", "Value"), "BG");
}

TEST_F(ResManagerTest, LoadLanguagesSkipsItemsThatAreNotTwoCharacters) {
    WriteDictionary("[strLanguage]\nEN=English\nRU=Русский\n");
    rm_.LoadLanguages("EN,DEU,RU", config_, AppData());
    EXPECT_EQ(Config("Languages", "1lng"), "EN");
    EXPECT_EQ(Config("Languages", "2lng"), "RU");
    EXPECT_EQ(Config("Languages", "2cap"), "Русский");
    EXPECT_EQ(Config("Languages", "Counter"), "2");
    ASSERT_EQ(rm_.CountLanguages(), 2);
    EXPECT_EQ(rm_.Languages()[1].Caption, "Русский");
    EXPECT_EQ(rm_.Languages()[1].Charset, 204);
}

TEST_F(ResManagerTest, RegisteredEntriesKeepTheirCaptionAndChangedOnesAreRewritten) {
    WriteBytes(config_,
               "[Languages]\nCounter=3\n1lng=BG\n1cap=Bulgarian\n2lng=FR\n2cap=Francais\n"
               "3lng=RU\n3cap=My Russian\ncharset_RU=7\ncharset_BG=204\n");
    platform::IniClearCache();
    rm_.LoadLanguages("BG,EN,RU", config_, AppData());
    EXPECT_EQ(Config("Languages", "1cap"), "Bulgarian");
    EXPECT_EQ(Config("Languages", "2lng"), "EN");
    EXPECT_EQ(Config("Languages", "2cap"), "");
    EXPECT_EQ(Config("Languages", "charset_EN"), "1");
    EXPECT_EQ(Config("Languages", "3cap"), "My Russian");
    EXPECT_EQ(Config("Languages", "charset_RU"), "7");
    // The rewritten entry 2 set the counter to 2; it is raised again so that
    // entry 3 is not lost.
    EXPECT_EQ(Config("Languages", "Counter"), "3");
    ASSERT_EQ(rm_.CountLanguages(), 3);
    EXPECT_EQ(rm_.Languages()[2].Caption, "My Russian");
    EXPECT_EQ(rm_.Languages()[2].Charset, 7);
}

// Each language's name is kept as the dictionary keeps it, in the language's
// own code page, whatever the station's code page is: also in UTF-8, where a
// later save of the settings must not turn the other bytes into U+FFFD.
TEST_F(ResManagerTest, LanguageNamesKeepEveryLetterInTheirOwnCodePage) {
    struct StationPage {
        ~StationPage() {
            qunsetenv("KESTRELLE_CODEPAGE");
            platform::ResetAnsiCodePage();
            platform::IniClearCache();
        }
    } restore;
    const QByteArray greek("\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc");  // CP1253
    const QByteArray turkish("T\xfcrk\xe7\x65");                 // CP1254
    const QByteArray romanian("Rom\xe2n\xe3");                   // CP1250
    WriteBytes(dict_, "[strLanguage]\r\nGR=" + greek + "\r\nTR=" + turkish + "\r\nRO=" + romanian +
                          "\r\nES=Espa\xf1ol\r\n");
    platform::IniClearCache();
    rm_.LoadLanguages("BG,GR,TR,RO,ES", config_, AppData());
    EXPECT_EQ(platform::IniLookupBytes(config_, "Languages", "2cap"), greek);
    EXPECT_EQ(platform::IniLookupBytes(config_, "Languages", "3cap"), turkish);
    EXPECT_EQ(platform::IniLookupBytes(config_, "Languages", "4cap"), romanian);
    ASSERT_EQ(rm_.CountLanguages(), 5);
    EXPECT_EQ(rm_.Languages()[1].Caption, "Ελληνικά");
    EXPECT_EQ(rm_.Languages()[4].Caption, "Español");

    // The export's block header names the language in its own code page.
    rm_.ExportResources(false, "");
    const QString exported = AddBackslash(platform::ProgramFolder()) + "ExpDictionary.txt";
    EXPECT_TRUE(ReadBytes(exported).contains("---------- " + greek + " ----------\t"));
    QFile::remove(exported);

    qputenv("KESTRELLE_CODEPAGE", "UTF-8");
    platform::ResetAnsiCodePage();
    platform::IniClearCache();
    ASSERT_TRUE(WriteIniValue("Skin", "Value", "1", config_));
    EXPECT_EQ(platform::IniLookupBytes(config_, "Languages", "2cap"), greek);
    ResManagerClass later;
    later.GetLanguages(config_);
    ASSERT_EQ(later.CountLanguages(), 5);
    EXPECT_EQ(later.Languages()[1].Caption, "Ελληνικά");
    EXPECT_EQ(later.Languages()[2].Caption, "Türkçe");
    EXPECT_EQ(later.Languages()[3].Caption, "Română");
}

TEST_F(ResManagerTest, AStoredLanguageMustBeListedExactly) {
    WriteBytes(config_, "[Language]\nValue=de\n");
    platform::IniClearCache();
    WriteBytes(PathIn("StartUp.RU"), "");
    rm_.LoadLanguages("", config_, AppData());
    EXPECT_EQ(rm_.CurrentLanguage(), "RU");
    EXPECT_FALSE(QFile::exists(PathIn("StartUp.RU")));
    EXPECT_EQ(Config("Language", "Value"), "RU");

    // A valid stored language wins over a marker, which then stays.
    WriteBytes(PathIn("StartUp.EN"), "");
    ResManagerClass again;
    again.LoadLanguages("", config_, AppData());
    EXPECT_EQ(again.CurrentLanguage(), "RU");
    EXPECT_TRUE(QFile::exists(PathIn("StartUp.EN")));
}

TEST_F(ResManagerTest, MarkerSearchDeletesWhatItMeetsAndStopsAtAListedLanguage) {
    QDir().mkpath(PathIn("markers/StartUp.xx"));  // a folder of that name
    for (const char* name : {"StartUp.XX", "StartUp.", "startup.gr", "StartUp.en"})
        WriteBytes(PathIn(QString("markers/") + name), "");
    rm_.LoadLanguages("", config_, PathIn("markers"));
    // "startup.gr" matches the pattern but keeps its text: suffix
    // "STARTUP.GR" is no language. "StartUp.en" gives EN.
    EXPECT_EQ(rm_.CurrentLanguage(), "EN");
    EXPECT_FALSE(QFile::exists(PathIn("markers/StartUp.en")));
    EXPECT_TRUE(QDir(PathIn("markers/StartUp.xx")).exists());
    // Files met before the match are gone; those after it may stay.
    const QStringList left = QDir(PathIn("markers")).entryList(QDir::Files);
    for (const QString& f : left)
        EXPECT_TRUE(f == "StartUp.XX" || f == "StartUp." || f == "startup.gr") << f.toStdString();

    // No marker folder at all: the working directory is never searched.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(PathIn("markers"));
    WriteBytes(PathIn("markers/StartUp.RU"), "");
    ResManagerClass nofolder;
    nofolder.LoadLanguages("", PathIn("third.config"), "");
    QDir::setCurrent(cwd);
    EXPECT_EQ(nofolder.CurrentLanguage(), "BG");
    EXPECT_TRUE(QFile::exists(PathIn("markers/StartUp.RU")));

    ResManagerClass none;
    QDir().mkpath(PathIn("empty"));
    none.LoadLanguages("", PathIn("other.config"), PathIn("empty"));
    EXPECT_EQ(none.CurrentLanguage(), "BG");
}

TEST_F(ResManagerTest, GetLanguagesWithoutUsableCounter) {
    rm_.GetLanguages(PathIn("missing.config"));
    ASSERT_EQ(rm_.CountLanguages(), 1);
    EXPECT_EQ(rm_.Languages()[0].Caption, "Български");
    EXPECT_EQ(rm_.Languages()[0].Charset, 204);

    WriteBytes(config_, "[Languages]\nCounter=many\n");
    platform::IniClearCache();
    rm_.GetLanguages(config_);
    EXPECT_EQ(rm_.CountLanguages(), 1);

    // A positive counter whose entries are all blank: an empty list.
    WriteBytes(config_, "[Languages]\nCounter=2\n1lng=  \n");
    platform::IniClearCache();
    rm_.GetLanguages(config_);
    EXPECT_EQ(rm_.CountLanguages(), 0);
    EXPECT_EQ(rm_.LanguageAbbrev(0), "BG");

    // A huge counter is bounded, not a stall.
    WriteBytes(config_, "[Languages]\nCounter=1e12\n1lng=en\ncharset_EN=abc\n");
    platform::IniClearCache();
    rm_.GetLanguages(config_);
    ASSERT_EQ(rm_.CountLanguages(), 1);
    EXPECT_EQ(rm_.Languages()[0].Abbreviation, "EN");
    EXPECT_EQ(rm_.Languages()[0].Charset, 0);
}

TEST_F(ResManagerTest, SaveLanguagesWritesTheListBack) {
    rm_.LoadLanguages("BG,EN", config_, AppData());
    QFile::remove(config_);
    platform::IniClearCache();
    rm_.SaveLanguages(config_);
    EXPECT_EQ(Config("Languages", "Counter"), "2");
    EXPECT_EQ(Config("Languages", "2lng"), "EN");
    EXPECT_EQ(Config("Languages", "2cap"), "EN");
}

TEST_F(ResManagerTest, CharsetsAndCombo) {
    EXPECT_EQ(ResManagerClass::GetCharsetDefault("gr"), 1);
    EXPECT_EQ(ResManagerClass::GetCharsetDefault("GR"), 161);
    EXPECT_EQ(ResManagerClass::GetCharsetDefault("HY"), 178);
    EXPECT_EQ(ResManagerClass::GetCharsetDefault("SR"), 238);
    EXPECT_EQ(ResManagerClass::GetCharsetDefault("ES"), 0);
    rm_.LoadLanguages("BG,EN,RU", config_, AppData());
    QComboBox combo;
    combo.addItem("old");
    int changes = 0;
    QObject::connect(&combo, &QComboBox::currentIndexChanged, [&] { ++changes; });
    rm_.SetCurrentLanguage("RUSSIAN");
    EXPECT_EQ(rm_.CurrentLanguage(), "RU");
    rm_.FillLanguageCombo(&combo);
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.currentIndex(), 2);
    EXPECT_GT(changes, 0);
    rm_.SetCurrentLanguage("FR");
    rm_.FillLanguageCombo(&combo);
    EXPECT_EQ(combo.currentIndex(), 0);
}

TEST(BuiltInTextsTest, TableOrderAndExactTexts) {
    ResManagerClass& rm = ResManager();
    if (rm.CountResources() == 0)
        RegisterBuiltInTexts();
    EXPECT_EQ(rm.CountResources(), 46 + 96);
    EXPECT_EQ(rm.GetDictionaryKey(0), "AboutForm|ME");
    EXPECT_EQ(rm.GetDictionaryKey(45), "UsersLoginForm|ME");
    EXPECT_EQ(rm.GetDictionaryKey(46), "strLanguage");
    EXPECT_EQ(rm.GetDictionaryKey(131), "strVBNo");
    // Texts added later follow the last entry, so every index above stays.
    EXPECT_EQ(rm.GetDictionaryKey(132), "strNoPermission");
    EXPECT_EQ(rm.GetDictionaryKey(134), "strSettingsNotSaved");
    EXPECT_EQ(rm.GetDictionaryKey(136), "strHistoryNotSaved");
    EXPECT_EQ(rm.GetDictionaryKey(137), "strItemsNotFinished");
    EXPECT_EQ(rm.GetDictionaryKey(139), "strFolderNotLocked");
    EXPECT_EQ(rm.GetDictionaryKey(140), "strSettingLosesLetters");
    EXPECT_EQ(rm.GetDictionaryKey(141), "strBoardChanged");
    EXPECT_EQ(rm.GetDictionaryKey(142), "");
    EXPECT_EQ(rm.GetDictionaryKey(-1), "");
    EXPECT_TRUE(rm.Resources()[0].IsForm);
    EXPECT_FALSE(rm.Resources()[46].IsForm);
    // The Latin letters the dictionaries in the field carry.
    EXPECT_EQ(rm.GetDefaultResource("MainWindow|dgView|1"), QString::fromUtf8("Им") + "e");
    EXPECT_EQ(rm.GetDefaultResource("SetupForm|lblUser"),
              QString::fromUtf8("Потр") + "e" + QString::fromUtf8("бителско име:"));
    EXPECT_EQ(rm.GetDefaultResource("strVBOk"), QString::fromUtf8("ОК"));
    EXPECT_NE(rm.GetDefaultResource("strVBOk"), "OK");
    EXPECT_EQ(rm.GetDefaultResource("HelpForm|btnOK"), "OK");
    EXPECT_EQ(rm.GetDefaultResource("strDiffVersion2"), "! Системата може да работи само с версия");
    for (const ResourceEntry& e : rm.Resources())
        EXPECT_FALSE(e.Text.isEmpty()) << e.Name.toStdString();
}

// Every name the program's code looks up has a text without any dictionary.
TEST(BuiltInTextsTest, EveryNameTheCodeLooksUpHasAText) {
    ResManagerClass& rm = ResManager();
    if (rm.CountResources() == 0)
        RegisterBuiltInTexts();
    const QRegularExpression quoted(QStringLiteral("\"(str[A-Z]\\w*)\""));
    int names = 0;
    for (const char* folder : {"core", "data", "localization", "network", "board", "dialogs"}) {
        QDirIterator files(QStringLiteral(KESTRELLE_SOURCE_DIR "/") + QLatin1String(folder),
                           {QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.endsWith(QLatin1String("/BuiltInTexts.cpp")))
                continue;
            const QString code = QString::fromUtf8(ReadBytes(path));
            for (auto m = quoted.globalMatch(code); m.hasNext(); ++names) {
                const QString name = m.next().captured(1);
                EXPECT_FALSE(rm.GetDefaultResource(name).isEmpty())
                    << name.toStdString() << " in " << path.toStdString();
            }
        }
    }
    EXPECT_GT(names, 100);
}

// The dictionary that comes with the station, beside the program: an English
// text for every built-in text, with the placeholders and line-break tokens
// of the Bulgarian one, and a name for every language of the default list.
TEST(BuiltInTextsTest, TheShippedDictionaryHasEnglishForEveryText) {
    ResManagerClass& rm = ResManager();
    if (rm.CountResources() == 0)
        RegisterBuiltInTexts();
    rm.SetDictionaryFile(AddBackslash(platform::ProgramFolder()) + "Dictionary_Kestrelle.lng");
    ASSERT_TRUE(QFile::exists(rm.DictionaryFile()));
    const QRegularExpression tokens(QStringLiteral("%\\d|\\|vbNewLine\\|"));
    const auto tokensOf = [&tokens](const QString& text) {
        QStringList found;
        for (auto m = tokens.globalMatch(text); m.hasNext();)
            found << m.next().captured();
        found.sort();
        return found;
    };
    for (const ResourceEntry& e : rm.Resources()) {
        const QString english = rm.ResString(e.Name, "EN");
        EXPECT_FALSE(english.trimmed().isEmpty()) << e.Name.toStdString();
        EXPECT_FALSE(english.contains(QRegularExpression("[\\x{0400}-\\x{04FF}]")))
            << e.Name.toStdString();
        EXPECT_EQ(tokensOf(english), tokensOf(e.Text)) << e.Name.toStdString();
    }
    for (const QString& code : QString(kDefaultLanguageList).split(','))
        EXPECT_FALSE(rm.ResString("strLanguage", code).trimmed().isEmpty()) << code.toStdString();
}
