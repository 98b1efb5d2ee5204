#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QWidget;

struct LanguageEntry {
    QString Abbreviation;
    QString Caption;
    int32_t Charset = 0;
};

// The texts of a window that SetLanguage may change (its caption, its
// controls' texts, list items, grid column and tab captions), as they stood
// when taken; Restore puts back those of the controls that still exist.
struct WindowTexts {
    std::vector<std::function<void()>> Restorers;
    void Restore() const {
        for (const auto& restore : Restorers)
            restore();
    }
};
WindowTexts CaptureWindowTexts(QWidget* window);

struct ResourceEntry {
    QString Name;
    QString Text;
    bool IsForm = false;
};

// The dictionary is an INI file, one section per resource name and one key
// per language code, that keeps each language's texts in the ANSI code page
// of the language's font character set (the station's code page for a set
// without one). These read and write one text of one language: the read is
// cut to bufferSize - 1 characters and empty when the file, the name or the
// language is missing; the write creates the file, and its folder, when
// there is none yet, and answers False when the file could not be written.
QString ReadDictionaryText(const QString& file, const QString& name, const QString& language,
                           int32_t charset, int bufferSize);
bool WriteDictionaryText(const QString& file, const QString& name, const QString& language,
                         int32_t charset, const QString& text);

// The resource manager: the language list with captions and character sets,
// the current language, the built-in (Bulgarian) texts and the dictionary
// look-ups. The dictionary is read afresh on every look-up, so a text
// written a moment ago is seen by the next one.
// Failing steps are ignored one by one: a look-up returns what the rules give
// and never raises. User-interface thread only.
class ResManagerClass final {
public:
    // Deletes the obsolete "Common.lng" and "Forms.lng" of the program folder.
    ResManagerClass();

    // Registers the list (comma-separated two-letter codes; blank: the
    // default list) in the settings file, loads it back, and picks and stores
    // the current language: the stored one when valid, else a start-up marker
    // in parentFolder, else "BG".
    void LoadLanguages(const QString& list, const QString& settingsFile,
                       const QString& parentFolder);

    QString CurrentLanguage() const { return currentLanguage_; }
    // Keeps only the first two characters.
    void SetCurrentLanguage(const QString& language);
    QString ParentAppPath() const { return parentAppPath_; }
    void SetParentAppPath(const QString& path) { parentAppPath_ = path; }
    // When no file exists at the stored path, the path is moved for good to
    // the "Related Documents" subfolder of its folder (once).
    QString DictionaryFile();
    void SetDictionaryFile(const QString& path) { dictionaryFile_ = path; }

    // The code of list entry index; "BG" outside the list.
    QString LanguageAbbrev(int16_t index) const;
    QString GetLanguageAbbreviation(int16_t index) const { return LanguageAbbrev(index); }
    // Rebuilds the language list from the settings file.
    void GetLanguages(const QString& settingsFile);
    void SaveLanguages(const QString& settingsFile) const;

    // Translates a loaded window in the language (empty: the current one)
    // from the dictionary; without a dictionary nothing changes.
    void SetLanguage(QWidget* window, const QString& language = QString());

    // Font character set of a language code (exact, case-sensitive).
    static int16_t GetCharsetDefault(const QString& language);
    // The character set a language's dictionary texts are in: its entry's in
    // the language list, else GetCharsetDefault.
    int32_t LanguageCharset(const QString& language) const;
    // Writes one text of a language into the dictionary (see
    // WriteDictionaryText); False when it could not be written.
    bool WriteResString(const QString& name, const QString& language, const QString& text);

    void AddResource(const QString& name, const QString& text);
    // name = window & "|" & control ("lblName", "btnTab|0" or "ME").
    void AddResourceForm(const QString& window, const QString& control, const QString& text);

    // The text in the current language, the built-in text when the
    // dictionary has none (or is missing); "|vbNewLine|" becomes CR LF. At
    // most 1023 characters come from the dictionary.
    QString GetResString(const QString& name);
    // The raw dictionary text of one language (empty: "BG"); only Bulgarian
    // falls back to the built-in text. Names beginning "str" read up to 1023
    // characters, others 254.
    QString ResString(const QString& name, const QString& language);

    // Fills the combo with the captions and selects the current language
    // (the last entry with its code; the first when none has it).
    void FillLanguageCombo(QComboBox* combo) const;

    int16_t CountResources() const { return int16_t(resources_.size()); }
    int16_t CountLanguages() const { return int16_t(languages_.size()); }
    // The name of built-in entry index; empty text outside the table.
    QString GetDictionaryKey(int16_t index) const;

    // Dictionary maintenance of the translation tools, defined in their own
    // source file of this folder. Each answers False when a text could not
    // be written into the dictionary (a new language stops at the first),
    // the export when its file could not be written whole (it stops at the
    // first line that fails; an old export that cannot be removed fails it).
    bool CreateNewLanguage(const QString& code);
    bool ImportResources(const QString& file, const QString& code);
    bool AddNewResource(const QString& name);
    bool ExportResources(bool onlyUntranslated, const QString& code);
    // The export file of a language code (trimmed, cut to two characters;
    // empty for all languages), in the program folder.
    static QString ExportFile(const QString& code);

    // The tables as they stand, for the translation tools.
    const std::vector<LanguageEntry>& Languages() const { return languages_; }
    const std::vector<ResourceEntry>& Resources() const { return resources_; }
    // The built-in text of a name (exact, case-sensitive); empty when none.
    QString GetDefaultResource(const QString& name) const;

private:
    void RegisterLanguage(const QString& code, int i, const QString& settingsFile);
    // An entry registered while the dictionary had no name for its language
    // (a station started before one was installed) gets the dictionary's
    // name; a caption that is not blank stays as it is.
    void FillBlankCaption(const QString& code, const QString& key, const QString& settingsFile);
    QString DetectStartupLanguage();
    int16_t CurrentCharset() const { return GetCharsetDefault(currentLanguage_); }
    void AppendResource(const QString& name, const QString& text, bool isForm);

    QString currentLanguage_ = QStringLiteral("BG");
    QString dictionaryFile_;
    QString parentAppPath_;
    std::vector<ResourceEntry> resources_;
    std::vector<LanguageEntry> languages_;
};

// The default language list.
inline constexpr const char* kDefaultLanguageList = "BG,EN,US,RU,DE,RO,GR,ES,SR,TR";

// The program-wide instance, created on first use.
ResManagerClass& ResManager();

// ResManager().GetResString of a name written in the source.
QString Res(const char* name);
