#include "localization/ResManagerClass.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStringList>

#include "core/ModCommon.h"
#include "core/ModSpecialFolders.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"

namespace {

const QString kLanguages = QStringLiteral("Languages");
const QString kCounter = QStringLiteral("Counter");

// A counter of many thousands is garbage, not languages: reading that many
// keys would stall start-up for nothing.
constexpr int kMaxLanguages = 9999;

// A language's name is kept in the settings file in the language's own code
// page, byte for byte as the dictionary keeps its texts (the station's code
// page may lack its letters); the rest of the file is in the station's.
QString ReadLanguageCaption(const QString& settingsFile, const QString& key, int32_t charset) {
    const auto bytes = platform::IniLookupBytes(settingsFile, kLanguages, key);
    if (!bytes)
        return QString();
    return platform::FromCodePage(*bytes, platform::CharsetCodePage(charset)).left(254);
}

void WriteLanguageCaption(const QString& settingsFile, const QString& key, int32_t charset,
                          const QString& caption) {
    platform::IniWriteBytes(settingsFile, kLanguages, key,
                            platform::ToCodePage(caption, platform::CharsetCodePage(charset)));
}

// The character set stored for a language; "1" when the value is blank.
int32_t StoredCharset(const QString& settingsFile, const QString& code) {
    QString text = ReadIniValue(kLanguages, QStringLiteral("charset_") + code, settingsFile, 255);
    if (rt::Trim(text).isEmpty())
        text = QStringLiteral("1");
    const double cs = rt::Val(text);
    return (cs > INT32_MAX || cs < INT32_MIN) ? 1 : int32_t(cs);
}

int CounterValue(const QString& text) {
    const double v = rt::Val(text);
    if (v > kMaxLanguages)
        return kMaxLanguages;
    if (v < -1)
        return -1;
    return int(v);
}

}  // namespace

QString ReadDictionaryText(const QString& file, const QString& name, const QString& language,
                           int32_t charset, int bufferSize) {
    if (bufferSize <= 1)
        return QString();
    const auto bytes = platform::IniLookupBytes(file, name, language);
    if (!bytes)
        return QString();
    return platform::FromCodePage(*bytes, platform::CharsetCodePage(charset)).left(bufferSize - 1);
}

bool WriteDictionaryText(const QString& file, const QString& name, const QString& language,
                         int32_t charset, const QString& text) {
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !FileExists(file))
        CreateFolderPath(file.left(slash));
    return platform::IniWriteBytes(file, name, language,
                                   platform::ToCodePage(text, platform::CharsetCodePage(charset)));
}

ResManagerClass::ResManagerClass() {
    const QString folder = AddBackslash(platform::ProgramFolder());
    for (const char* obsolete : {"Common.lng", "Forms.lng"}) {
        const QString path = folder + QString::fromLatin1(obsolete);
        if (FileExists(path))
            QFile::remove(path);
    }
}

void ResManagerClass::SetCurrentLanguage(const QString& language) {
    currentLanguage_ = language.left(2);
}

void ResManagerClass::LoadLanguages(const QString& listIn, const QString& settingsFile,
                                    const QString& parentFolder) {
    if (!parentFolder.isEmpty())
        parentAppPath_ = parentFolder;
    QString list = listIn;
    if (rt::Trim(QString(list).remove(QLatin1Char(','))).isEmpty())
        list = QString::fromLatin1(kDefaultLanguageList);

    int counter = 0;
    for (const QString& item : list.split(QLatin1Char(','))) {
        if (item.size() != 2)
            continue;
        ++counter;
        RegisterLanguage(item, counter, settingsFile);
    }
    if (counter == 0) {
        RegisterLanguage(QStringLiteral("BG"), 1, settingsFile);
        counter = 1;
    }
    // RegisterLanguage writes the counter only with an entry it rewrites, so
    // a rewritten entry followed by unchanged ones would leave it short and
    // hide the languages after it. Raise it to cover every listed language.
    if (CounterValue(ReadIniValue(kLanguages, kCounter, settingsFile, 255)) < counter)
        WriteIniValue(kLanguages, kCounter, Variant(int32_t(counter)), settingsFile);

    GetLanguages(settingsFile);

    QString candidate = rt::Trim(
        ReadIniValue(QStringLiteral("Language"), QStringLiteral("Value"), settingsFile, 255));
    if (candidate.size() != 2 || !list.contains(candidate, Qt::CaseSensitive))
        candidate.clear();
    if (candidate.isEmpty())
        candidate = DetectStartupLanguage();
    SetCurrentLanguage(candidate);
    WriteIniValue(QStringLiteral("Language"), QStringLiteral("Value"), Variant(currentLanguage_),
                  settingsFile);
}

void ResManagerClass::RegisterLanguage(const QString& code, int i, const QString& settingsFile) {
    const QString n = QString::number(i);
    const QString stored =
        ReadIniValue(kLanguages, n + QStringLiteral("lng"), settingsFile, 255).left(2);
    if (stored == code) {
        FillBlankCaption(code, n + QStringLiteral("cap"), settingsFile);
        return;
    }
    const int32_t charset = GetCharsetDefault(code);
    WriteIniValue(kLanguages, n + QStringLiteral("lng"), Variant(code), settingsFile);
    WriteLanguageCaption(settingsFile, n + QStringLiteral("cap"), charset,
                         ResString(QStringLiteral("strLanguage"), code));
    WriteIniValue(kLanguages, QStringLiteral("charset_") + code, Variant(charset), settingsFile);
    WriteIniValue(kLanguages, kCounter, Variant(int32_t(i)), settingsFile);
}

void ResManagerClass::FillBlankCaption(const QString& code, const QString& key,
                                       const QString& settingsFile) {
    const int32_t charset = StoredCharset(settingsFile, code);
    if (!rt::Trim(ReadLanguageCaption(settingsFile, key, charset)).isEmpty())
        return;
    const QString name =
        ReadDictionaryText(DictionaryFile(), QStringLiteral("strLanguage"), code, charset, 1024);
    if (!rt::Trim(name).isEmpty())
        WriteLanguageCaption(settingsFile, key, charset, name);
}

void ResManagerClass::GetLanguages(const QString& settingsFile) {
    languages_.clear();
    const int counter = FileExists(settingsFile)
                            ? CounterValue(ReadIniValue(kLanguages, kCounter, settingsFile, 255))
                            : 0;
    if (counter == 0) {
        languages_.push_back(LanguageEntry{QStringLiteral("BG"), QStringLiteral("Български"), 204});
        return;
    }
    for (int i = 1; i <= counter; ++i) {
        const QString n = QString::number(i);
        const QString code =
            ReadIniValue(kLanguages, n + QStringLiteral("lng"), settingsFile, 255).left(2);
        if (rt::Trim(code).isEmpty())
            continue;
        LanguageEntry e;
        e.Abbreviation = code.toUpper();
        e.Caption = e.Abbreviation;
        e.Charset = StoredCharset(settingsFile, e.Abbreviation);
        const QString caption =
            ReadLanguageCaption(settingsFile, n + QStringLiteral("cap"), e.Charset);
        if (!rt::Trim(caption).isEmpty())
            e.Caption = caption;
        languages_.push_back(e);
    }
}

void ResManagerClass::SaveLanguages(const QString& settingsFile) const {
    for (size_t i = 0; i < languages_.size(); ++i) {
        const LanguageEntry& e = languages_[i];
        if (e.Abbreviation.isEmpty())
            break;
        const QString n = QString::number(i + 1);
        WriteIniValue(kLanguages, n + QStringLiteral("lng"), Variant(e.Abbreviation), settingsFile);
        WriteLanguageCaption(settingsFile, n + QStringLiteral("cap"), e.Charset, e.Caption);
        WriteIniValue(kLanguages, QStringLiteral("charset_") + e.Abbreviation, Variant(e.Charset),
                      settingsFile);
    }
    WriteIniValue(kLanguages, kCounter, Variant(int32_t(languages_.size())), settingsFile);
}

QString ResManagerClass::DetectStartupLanguage() {
    // Without a folder there is nothing to search: an empty path would mean
    // the working directory, whose files are none of ours to delete.
    if (rt::Trim(parentAppPath_).isEmpty())
        return QStringLiteral("BG");
    // Directory order, as the installer's file system gives it; the pattern
    // matches without regard to case and finds folders too.
    QDir dir(parentAppPath_);
    const QStringList names =
        dir.entryList(QStringList{QStringLiteral("StartUp.*")},
                      QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDir::Unsorted);
    for (const QString& name : names) {
        const QString suffix =
            QString(name).replace(QStringLiteral("StartUp."), QString()).toUpper();
        bool listed = false;
        for (const LanguageEntry& e : languages_) {
            if (e.Abbreviation == suffix) {
                listed = true;
                break;
            }
        }
        // A folder cannot be deleted this way; it stays and the rules go on.
        QFile::remove(dir.filePath(name));
        if (listed)
            return suffix;
    }
    return QStringLiteral("BG");
}

QString ResManagerClass::DictionaryFile() {
    if (dictionaryFile_.isEmpty() || FileExists(dictionaryFile_))
        return dictionaryFile_;
    QString name = GetFileNameFromPath(dictionaryFile_);
    // A bare file name has no folder part: it is all name, not all folder
    // (which would glue the subfolder onto the file's name).
    if (name.isEmpty() && !dictionaryFile_.endsWith(QLatin1Char('/')))
        name = dictionaryFile_;
    const QString folder = dictionaryFile_.left(dictionaryFile_.size() - name.size());
    const QString moved = QStringLiteral("Related Documents/") + name;
    if (!dictionaryFile_.contains(moved))
        dictionaryFile_ = folder + moved;
    return dictionaryFile_;
}

QString ResManagerClass::LanguageAbbrev(int16_t index) const {
    if (index < 0 || size_t(index) >= languages_.size())
        return QStringLiteral("BG");
    return languages_[size_t(index)].Abbreviation;
}

int16_t ResManagerClass::GetCharsetDefault(const QString& language) {
    if (language == "BG" || language == "RU")
        return 204;
    if (language == "DE" || language == "RO" || language == "SR")
        return 238;
    if (language == "GR")
        return 161;
    if (language == "ES")
        return 0;
    if (language == "TR")
        return 162;
    if (language == "HY")
        return 178;
    return 1;
}

int32_t ResManagerClass::LanguageCharset(const QString& language) const {
    for (const LanguageEntry& e : languages_) {
        if (e.Abbreviation == language)
            return e.Charset;
    }
    return GetCharsetDefault(language);
}

bool ResManagerClass::WriteResString(const QString& name, const QString& language,
                                     const QString& text) {
    return WriteDictionaryText(DictionaryFile(), name, language, LanguageCharset(language), text);
}

void ResManagerClass::AddResource(const QString& name, const QString& text) {
    AppendResource(name, text, false);
}

void ResManagerClass::AddResourceForm(const QString& window, const QString& control,
                                      const QString& text) {
    AppendResource(window + QLatin1Char('|') + control, text, true);
}

void ResManagerClass::AppendResource(const QString& name, const QString& text, bool isForm) {
    resources_.push_back(ResourceEntry{name, text, isForm});
}

QString ResManagerClass::GetDefaultResource(const QString& name) const {
    for (const ResourceEntry& e : resources_) {
        if (e.Name == name)
            return e.Text;
    }
    return QString();
}

QString ResManagerClass::GetResString(const QString& name) {
    QString text;
    const QString file = DictionaryFile();
    if (!file.isEmpty() && FileExists(file)) {
        text = ReadDictionaryText(file, name, currentLanguage_, LanguageCharset(currentLanguage_),
                                  1024);
        if (rt::Trim(text).isEmpty())
            text = GetDefaultResource(name);
    } else {
        text = GetDefaultResource(name);
    }
    text.replace(QStringLiteral("|vbNewLine|"), QStringLiteral("\r\n"));
    return text;
}

QString ResManagerClass::ResString(const QString& name, const QString& languageIn) {
    const QString language = languageIn.isEmpty() ? QStringLiteral("BG") : languageIn;
    const int size = name.left(3) == QLatin1String("str") ? 1024 : 255;
    QString text =
        ReadDictionaryText(DictionaryFile(), name, language, LanguageCharset(language), size);
    if (language == QLatin1String("BG") && rt::Trim(text).isEmpty())
        text = GetDefaultResource(name);
    return text;
}

void ResManagerClass::FillLanguageCombo(QComboBox* combo) const {
    if (!combo)
        return;
    combo->clear();
    int selected = 0;
    for (size_t i = 0; i < languages_.size(); ++i) {
        combo->addItem(languages_[i].Caption);
        if (languages_[i].Abbreviation == currentLanguage_)
            selected = int(i);
    }
    combo->setCurrentIndex(combo->count() > 0 ? selected : -1);
}

QString ResManagerClass::GetDictionaryKey(int16_t index) const {
    if (index < 0 || size_t(index) >= resources_.size())
        return QString();
    return resources_[size_t(index)].Name;
}

ResManagerClass& ResManager() {
    static ResManagerClass instance;
    return instance;
}

namespace {
// The built-in language, no language list, no dictionary path yet.
void ResetResManager() {
    ResManager() = ResManagerClass();
}
[[maybe_unused]] const bool kResManagerResetRegistered =
    platform::RegisterStateReset(&ResetResManager);
}  // namespace

QString Res(const char* name) {
    return ResManager().GetResString(QLatin1String(name));
}
