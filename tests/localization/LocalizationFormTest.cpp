// The translation tools on a real dictionary file: new languages and
// resources, import, export, and the editor window.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "localization/BuiltInTexts.h"
#include "localization/LocalizationForm.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/controls/CommandButton.h"

namespace {

const QString kLanguageCaptions =
    "[strLanguage]\nBG=Български\nEN=English\nUS=American\nRU=Русский\nDE=Deutsch\n"
    "RO=Romana\nGR=Greek\nES=Espanol\nSR=Srpski\nTR=Turkce\n";

class TranslationToolsTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        dict_ = PathIn("Dictionary_Kestrelle.lng");
        WriteBytes(dict_, platform::ToAnsi(kLanguageCaptions +
                                           "[strAttention]\nEN=Attention\nDE=not translated\n"));
        platform::IniClearCache();
        rm_.SetDictionaryFile(dict_);
        rm_.LoadLanguages("BG,EN,DE", PathIn("test.config"), AppData());
        rm_.AddResource("strAttention", "Внимание");
        rm_.AddResource("strExit", "Изход");
        rm_.AddResourceForm("AboutForm", "lblAVeryLongControlNameThatGoesOnAndOn", "Дълъг");
    }
    QString Dict(const QString& name, const QString& code) {
        return ReadIniValue(name, code, dict_, 1024);
    }
    static QString Export(const QString& code) {
        return AddBackslash(platform::ProgramFolder()) + "ExpDictionary" + code + ".txt";
    }
    static QString ReadExport(const QString& code) {
        return platform::FromAnsi(ReadBytes(Export(code)));
    }

    ResManagerClass rm_;
    QString dict_;
};

}  // namespace

TEST_F(TranslationToolsTest, NewLanguageAndNewResourceMarkTextsAsUntranslated) {
    // Writes every text without running other handlers between the writes.
    EXPECT_EQ(QueuedHandlerOrder([this] { rm_.CreateNewLanguage("RO"); }),
              (QStringList{"returned", "queued"}));
    EXPECT_EQ(Dict("strAttention", "RO"), "NOT TRANSLATED");
    EXPECT_EQ(Dict("AboutForm|lblAVeryLongControlNameThatGoesOnAndOn", "RO"), "NOT TRANSLATED");
    // Existing texts of the language are replaced; others stay.
    rm_.CreateNewLanguage("EN");
    EXPECT_EQ(Dict("strAttention", "EN"), "NOT TRANSLATED");
    EXPECT_EQ(Dict("strAttention", "DE"), "not translated");

    rm_.AddNewResource("strExit");
    EXPECT_EQ(Dict("strExit", "BG"), "Изход");
    EXPECT_EQ(Dict("strExit", "EN"), "NOT TRANSLATED");
    EXPECT_EQ(Dict("strExit", "DE"), "NOT TRANSLATED");
    rm_.AddNewResource("strBrandNew");
    EXPECT_EQ(Dict("strBrandNew", "BG"), "");
    EXPECT_EQ(Dict("strBrandNew", "EN"), "NOT TRANSLATED");
}

TEST_F(TranslationToolsTest, ImportMergesTabSeparatedTexts) {
    const QString file = PathIn("import.txt");
    WriteBytes(file, platform::ToAnsi("strAttention\tAchtung\tignored field\r\n"
                                      "strExit\t   \r\n"
                                      "no tab on this line\r\n"
                                      "\r\n"
                                      "  strNew  \t  Neu  \n"
                                      "strKyrillisch\tИзход\r"));
    rm_.ImportResources(file, "DE");
    EXPECT_EQ(Dict("strAttention", "DE"), "Achtung");
    EXPECT_EQ(Dict("strAttention", "EN"), "Attention");
    EXPECT_EQ(Dict("strExit", "DE"), "");
    EXPECT_EQ(Dict("strNew", "DE"), "Neu");
    EXPECT_EQ(Dict("strKyrillisch", "DE"), "Изход");
    EXPECT_FALSE(ReadBytes(dict_).contains("no tab"));

    const QByteArray before = ReadBytes(dict_);
    rm_.ImportResources(PathIn("missing.txt"), "DE");
    EXPECT_EQ(ReadBytes(dict_), before);
}

// Every export goes to the one file name of its language in the program
// folder, so all export cases run in this one test.
TEST_F(TranslationToolsTest, ExportWritesRowsBlocksAndTrailers) {
    rm_.ExportResources(true, " EN ");
    EXPECT_FALSE(QFile::exists(Export("EN")));  // nothing untranslated

    WriteBytes(dict_, platform::ToAnsi(kLanguageCaptions +
                                       "[strAttention]\nEN=Not Translated\nDE=not translated\n"
                                       "[AboutForm|lblAVeryLongControlNameThatGoesOnAndOn]\n"
                                       "EN=NOT TRANSLATED\n"));
    platform::IniClearCache();
    rm_.ExportResources(true, "ENGLISH");
    const QString longName = QString("AboutForm|lblAVeryLongControlNameThatGoesOnAndOn").left(40);
    EXPECT_EQ(ReadExport("EN"),
              "0\tstrAttention                            \tВнимание\t\r\n"
              "2\t" +
                  longName +
                  "\tДълъг\t\r\n"
                  "---------- Resources = 2 ----------\t\r\n");

    rm_.ExportResources(false, "EN");
    EXPECT_EQ(ReadExport("EN"),
              "0\tstrAttention                            \tВнимание\tNot Translated\t\r\n"
              "1\tstrExit                                 \tИзход\t\t\r\n"
              "2\t" +
                  longName +
                  "\tДълъг\tNOT TRANSLATED\t\r\n"
                  "---------- Resources = 3 ----------\t\r\n");

    // All languages: every block has its header; only blocks with rows end
    // in a trailer; BG is left out.
    WriteBytes(dict_, platform::ToAnsi(kLanguageCaptions + "[strExit]\nDE=NOT TRANSLATED\n"));
    platform::IniClearCache();
    rm_.ExportResources(true, "");
    const QString en = rm_.Languages()[1].Caption;
    const QString de = rm_.Languages()[2].Caption;
    EXPECT_EQ(ReadExport(""), "\r\n---------- " + en +
                                  " ----------\t\r\n"
                                  "\r\n---------- " +
                                  de +
                                  " ----------\t\r\n"
                                  "1\tstrExit                                 \tИзход\t\r\n"
                                  "---------- Resources = 1 ----------\t\r\n");
    EXPECT_EQ(en, "English");

    // The default list: eight blocks in list order, none for BG and SR.
    ResManagerClass all;
    all.SetDictionaryFile(dict_);
    all.LoadLanguages("", PathIn("all.config"), AppData());
    all.AddResource("strExit", "Изход");
    all.ExportResources(false, "");
    const QString text = ReadExport("");
    QStringList order;
    qsizetype last = -1;
    for (const LanguageEntry& l : all.Languages()) {
        const qsizetype at = text.indexOf("---------- " + l.Caption + " ----------");
        if (at >= 0) {
            EXPECT_GT(at, last) << l.Abbreviation.toStdString();
            last = at;
            order << l.Abbreviation;
        }
    }
    EXPECT_EQ(order, QStringList({"EN", "US", "RU", "DE", "RO", "GR", "ES", "TR"}));
    EXPECT_EQ(text.count(" Resources = 1 "), 8);
    QFile::remove(Export("EN"));
    QFile::remove(Export(""));
}

namespace {

// The editor works on the program-wide resource manager.
class LocalizationFormTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        ResManagerClass& rm = ResManager();
        dict_ = PathIn("Dictionary_Kestrelle.lng");
        WriteBytes(dict_, platform::ToAnsi(kLanguageCaptions + "[AboutForm|ME]\nEN=About\n"));
        platform::IniClearCache();
        rm.SetDictionaryFile(dict_);
        // The settings file's path is fixed once per process; its folder may
        // belong to an earlier test's temporary folder.
        QDir().mkpath(QFileInfo(GetConfigFileName()).path());
        rm.LoadLanguages("BG,EN,DE,GR", GetConfigFileName(), AppData());
        if (rm.CountResources() == 0)
            RegisterBuiltInTexts();
    }
    void TearDown() override {
        SetLocalizationFormClosed(nullptr);
        TempAppDataTest::TearDown();
    }
    QString dict_;
};

}  // namespace

TEST_F(LocalizationFormTest, ShowsEveryBuiltInNameAndBothTexts) {
    LocalizationForm form;
    ASSERT_EQ(form.cbIndex()->count(), ResManager().CountResources());
    EXPECT_EQ(form.cbIndex()->itemText(0), ResManager().GetDictionaryKey(0));
    EXPECT_EQ(form.cbIndex()->currentIndex(), 0);
    EXPECT_EQ(form.windowTitle(), "Quillbarrow Ferromont - Localization Tool");
    EXPECT_EQ(form.tbBulgarian()->toPlainText(), "За програмата");

    // The first language of the list is locked; the others are editable.
    form.cbLanguages()->setCurrentIndex(0);
    EXPECT_TRUE(form.tbselected()->isReadOnly());
    EXPECT_EQ(form.tbselected()->toPlainText(), "За програмата");
    EXPECT_EQ(form.Label3()->text(), "Български");
    EXPECT_EQ(form.btnExport(2)->Caption(), "Български");
    EXPECT_EQ(form.btnExport(3)->Caption(), "Български - NOT TRANSLATED");

    form.cbLanguages()->setCurrentIndex(1);
    EXPECT_FALSE(form.tbselected()->isReadOnly());
    EXPECT_EQ(form.tbselected()->toPlainText(), "About");
    EXPECT_EQ(form.Label3()->text(), "English");
    EXPECT_EQ(form.Label3()->textFormat(), Qt::PlainText);  // a name from the settings
    EXPECT_EQ(form.btnExport(3)->Caption(), "English - NOT TRANSLATED");
    EXPECT_EQ(form.btnExport(0)->Caption(), "Всички");
    EXPECT_EQ(form.btnExport(1)->Caption(), "Всички - NOT TRANSLATED");
}

// Each language's texts go into the dictionary in its own code page.
TEST_F(LocalizationFormTest, SaveAndImportWriteTheChosenLanguage) {
    LocalizationForm form;
    form.cbLanguages()->setCurrentIndex(3);  // GR
    form.cbIndex()->setCurrentIndex(1);
    const QString name = form.cbIndex()->currentText();
    form.tbselected()->setPlainText("Σχετικά");
    form.btnSave()->Press();
    EXPECT_EQ(platform::IniLookupBytes(dict_, name, "GR"),
              QByteArray("\xd3\xf7\xe5\xf4\xe9\xea\xdc"));
    form.cbIndex()->setCurrentIndex(0);
    form.cbIndex()->setCurrentIndex(1);
    EXPECT_EQ(form.tbselected()->toPlainText(), "Σχετικά");

    form.cbLanguages()->setCurrentIndex(2);  // DE
    form.tbselected()->setPlainText("Über");
    form.btnSave()->Press();
    WriteBytes(PathIn("de.txt"), name.toLatin1() +
                                     "\t\xdc"
                                     "bersicht\r\n");
    form.Text1()->setText(PathIn("de.txt"));
    form.btnImport()->Press();
    EXPECT_EQ(platform::IniLookupBytes(dict_, name, "DE"), QByteArray("\xdc"
                                                                      "bersicht"));
    EXPECT_EQ(ResManager().ResString(name, "DE"), "Übersicht");
    // The boxes are not refreshed by an import.
    EXPECT_EQ(form.tbselected()->toPlainText(), "Über");
}

// No dictionary ships with the station: the first write creates it, and its
// folder, where the station's next start looks for it.
TEST_F(LocalizationFormTest, WithoutADictionaryTheEditorCreatesIt) {
    QFile::remove(dict_);
    ResManager().SetDictionaryFile(dict_);
    LocalizationForm form;
    form.cbLanguages()->setCurrentIndex(2);  // DE
    form.cbIndex()->setCurrentIndex(1);
    const QString name = form.cbIndex()->currentText();
    form.tbselected()->setPlainText("Über");
    form.btnSave()->Press();
    WriteBytes(PathIn("en.txt"), "strAttention\tAttention\r\n");
    form.cbLanguages()->setCurrentIndex(1);  // EN
    form.Text1()->setText(PathIn("en.txt"));
    form.btnImport()->Press();
    ResManager().CreateNewLanguage("RO");

    const QByteArray bytes = ReadBytes(PathIn("Related Documents/Dictionary_Kestrelle.lng"));
    EXPECT_TRUE(bytes.contains("[" + name.toLatin1() +
                               "]\r\nDE=\xdc"
                               "ber\r\nRO=NOT TRANSLATED\r\n"))
        << bytes.left(200).toStdString();
    EXPECT_TRUE(bytes.contains("[strAttention]\r\nEN=Attention\r\nRO=NOT TRANSLATED\r\n"));

    // The next start sets the path in the program folder, as start-up does.
    ResManagerClass next;
    next.SetDictionaryFile(dict_);
    next.SetCurrentLanguage("DE");
    EXPECT_EQ(next.GetResString(name), "Über");
    next.SetCurrentLanguage("EN");
    EXPECT_EQ(next.GetResString("strAttention"), "Attention");
}

TEST_F(LocalizationFormTest, AFailedWriteTellsTheTranslator) {
    // A file where the dictionary's folder would have to be, a folder where
    // the Greek export would be written.
    QFile::remove(dict_);
    WriteBytes(PathIn("Related Documents"), "in the way");
    ResManager().SetDictionaryFile(dict_);
    const QString exported = ResManagerClass::ExportFile("GR");
    ASSERT_TRUE(QDir().mkpath(exported));
    struct Cleanup {
        QString folder;
        ~Cleanup() { QDir(folder).removeRecursively(); }
    } cleanup{exported};
    LocalizationForm form;
    form.cbLanguages()->setCurrentIndex(1);  // EN
    WriteBytes(PathIn("en.txt"), "strAttention\tAttention\r\n");
    form.Text1()->setText(PathIn("en.txt"));
    const QString dictionary = PathIn("Related Documents/Dictionary_Kestrelle.lng");
    const std::pair<std::function<void()>, QString> actions[] = {
        {[&] { form.btnSave()->Press(); }, "Речникът не може да бъде записан:\n" + dictionary},
        {[&] { form.btnImport()->Press(); }, "Речникът не може да бъде записан:\n" + dictionary},
        {[&] {
             form.cbLanguages()->setCurrentIndex(3);  // GR
             form.btnExport(2)->Press();
         },
         "Експортът не може да бъде записан:\n" + exported}};
    for (const auto& [action, expected] : actions) {
        QString prompt;
        modal::WhenModal(
            [&](QWidget* w) {
                if (auto* box = qobject_cast<MsgBoxExForm*>(w)) {
                    for (QLabel* line : box->MessageLines())
                        prompt += line->text() + '\n';
                }
                w->close();
            },
            2000);
        action();
        // Without a box, the wait's time-out fails the test here.
        PumpEventsUntil([&] { return !prompt.isEmpty(); }, 2500);
        EXPECT_EQ(prompt, expected + '\n');
    }
}

// A letter the language's code page lacks would be stored as "?": the
// editor names it first, and going back saves nothing.
TEST_F(LocalizationFormTest, LettersTheCodePageLacksAreNamedBeforeTheSave) {
    LocalizationForm form;
    form.cbLanguages()->setCurrentIndex(2);  // DE, CP1250
    form.cbIndex()->setCurrentIndex(1);
    const QString name = form.cbIndex()->currentText();
    const auto before = platform::IniLookupBytes(dict_, name, "DE");
    form.tbselected()->setPlainText("Setări și opțiuni");
    for (const QString answer : {"No", "Yes"}) {
        QString prompt;
        modal::WhenModal([&](QWidget* w) {
            if (auto* box = qobject_cast<MsgBoxExForm*>(w)) {
                for (QLabel* line : box->MessageLines())
                    prompt += line->text() + '\n';
            }
            if (QAbstractButton* b = modal::FindButton(w, answer))
                b->click();
            else
                w->close();
        });
        form.btnSave()->Press();
        EXPECT_TRUE(prompt.contains("CP1250")) << prompt.toStdString();
        EXPECT_TRUE(prompt.contains("\nș ț\n")) << prompt.toStdString();
        if (answer == "No") {
            EXPECT_EQ(platform::IniLookupBytes(dict_, name, "DE"), before);
            EXPECT_EQ(form.tbselected()->toPlainText(), "Setări și opțiuni");
        }
    }
    EXPECT_EQ(platform::IniLookupBytes(dict_, name, "DE"), QByteArray("Set\xe3ri ?i op?iuni"));
}

// The dictionary cannot hold a line break in a value: an Enter typed into the
// text is stored as the dictionary's token and shown again as a line break.
TEST_F(LocalizationFormTest, EnterInTheTextIsKeptAsALineBreak) {
    LocalizationForm form;
    form.cbLanguages()->setCurrentIndex(1);  // EN
    form.cbIndex()->setCurrentIndex(1);
    const QString name = form.cbIndex()->currentText();
    form.tbselected()->clear();
    QTest::keyClicks(form.tbselected(), "First");
    QTest::keyClick(form.tbselected(), Qt::Key_Return);
    QTest::keyClicks(form.tbselected(), "second");
    form.btnSave()->Press();
    EXPECT_EQ(platform::IniLookupBytes(dict_, name, "EN"), QByteArray("First|vbNewLine|second"));
    form.cbIndex()->setCurrentIndex(0);
    form.cbIndex()->setCurrentIndex(1);
    EXPECT_EQ(form.tbselected()->toPlainText(), "First\nsecond");
    ResManager().SetCurrentLanguage("EN");
    EXPECT_EQ(ResManager().GetResString(name), "First\r\nsecond");
}

TEST_F(LocalizationFormTest, ExportButtonOfTheChosenLanguage) {
    LocalizationForm form;
    form.cbLanguages()->setCurrentIndex(2);  // DE
    const QString file = AddBackslash(platform::ProgramFolder()) + "ExpDictionaryDE.txt";
    form.btnExport(2)->Press();
    const QString text = platform::FromAnsi(ReadBytes(file));
    EXPECT_TRUE(text.startsWith("0\tAboutForm|ME")) << text.left(80).toStdString();
    EXPECT_TRUE(text.endsWith(
        QString(" Resources = %1 ----------\t\r\n").arg(ResManager().CountResources())));
    // Nothing of DE reads NOT TRANSLATED: the old export is gone.
    form.btnExport(3)->Press();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(LocalizationFormTest, ClosingTheEditorEndsTheProgram) {
    int ended = 0;
    SetLocalizationFormClosed([&] { ++ended; });
    ShowLocalizationForm();
    LocalizationForm* form = LocalizationFormInstance();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    form->close();
    EXPECT_EQ(ended, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(LocalizationFormInstance(), nullptr);
}
