#include <gtest/gtest.h>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "common/TestSupport.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/ListView.h"
#include "platform/controls/RichTextBox.h"

namespace {

// A window with one control of every kind the program's windows use.
struct TestWindow {
    QDialog w;
    QLabel* lblGroup[3];
    platform::CommandButton* btnTab[3];
    platform::CommandButton* btnOK;
    QComboBox* cbList;
    platform::DataGrid* dgView;
    QLineEdit* tbName;
    platform::RichTextBox* rtbHelp;
    QGroupBox* frmBox;
    platform::ListView* lvHelp;
    QLabel* lblNote;

    TestWindow() {
        w.setObjectName("HelpForm");
        w.setWindowTitle("Design caption");
        for (int i = 0; i < 3; ++i) {
            lblGroup[i] = new QLabel("design", &w);
            lblGroup[i]->setObjectName("lblGroup");
            platform::SetControlIndex(lblGroup[i], i);
            btnTab[i] = new platform::CommandButton("btnTab", i, &w);
            btnTab[i]->SetCaption("tab");
        }
        btnOK = new platform::CommandButton(&w);
        btnOK->setObjectName("btnOK");
        btnOK->SetCaption("OK");
        cbList = new QComboBox(&w);
        cbList->setObjectName("cbList");
        cbList->addItems({"zero", "one", "two"});
        dgView = new platform::DataGrid(&w);
        dgView->setObjectName("dgView");
        for (int j = 0; j < 6; ++j)
            dgView->AddColumn(QString("C%1").arg(j), QString("col%1").arg(j));
        tbName = new QLineEdit("name", &w);
        tbName->setObjectName("tbName");
        rtbHelp = new platform::RichTextBox(&w);
        rtbHelp->setObjectName("rtbHelp");
        frmBox = new QGroupBox("frame", &w);
        frmBox->setObjectName("frmBox");
        lvHelp = new platform::ListView(&w);
        lvHelp->setObjectName("lvHelp");
        lblNote = new QLabel("note", &w);
        lblNote->setObjectName("lblNote");
    }
};

class FormTranslationTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        dict_ = PathIn("Dictionary_Kestrelle.lng");
        rm_.SetDictionaryFile(dict_);
        rm_.SetCurrentLanguage("BG");
    }
    void WriteDictionary(const QString& text) {
        WriteBytes(dict_, platform::ToAnsi(text));
        platform::IniClearCache();
    }
    ResManagerClass rm_;
    QString dict_;
};

}  // namespace

TEST_F(FormTranslationTest, EveryControlKindGetsItsKey) {
    WriteDictionary(
        "[HelpForm|ME]\nEN=   \n"
        "[HelpForm|lblGroup]\nEN=Same for all\n"
        "[HelpForm|lblGroup|1]\nEN=never read\n"
        "[HelpForm|btnTab|0]\nEN=Keys\n[HelpForm|btnTab|1]\nEN=Buttons\n[HelpForm|btnTab|2]\nEN="
        "Errors\n"
        "[HelpForm|btnTab]\nEN=never read either\n"
        "[HelpForm|btnOK]\nEN=Close\n"
        "[HelpForm|cbList|0]\nEN=Zero\n[HelpForm|cbList|2]\nEN=Two\n"
        "[HelpForm|dgView|3]\nEN=Quantity\n"
        "[HelpForm|tbName]\nEN=Name text\n"
        "[HelpForm|rtbHelp]\nEN=Help text\n"
        "[HelpForm|frmBox]\nEN=Frame title\n"
        "[HelpForm|lblNote]\nEN=Line one|vbNewLine|line two\n");
    TestWindow t;
    rm_.SetLanguage(&t.w, "EN");
    EXPECT_EQ(t.w.windowTitle(), "Design caption");  // blank value: kept
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(t.lblGroup[i]->text(), "Same for all");
    EXPECT_EQ(t.btnTab[0]->Caption(), "Keys");
    EXPECT_EQ(t.btnTab[1]->Caption(), "Buttons");
    EXPECT_EQ(t.btnTab[2]->Caption(), "Errors");
    EXPECT_EQ(t.btnOK->Caption(), "Close");
    EXPECT_EQ(t.cbList->itemText(0), "Zero");
    EXPECT_EQ(t.cbList->itemText(1), "one");
    EXPECT_EQ(t.cbList->itemText(2), "Two");
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(t.dgView->ColumnCaption(j),
                  j == 3 ? QString("Quantity") : QString("col%1").arg(j));
    EXPECT_EQ(t.tbName->text(), "Name text");
    EXPECT_EQ(t.rtbHelp->Text(), "Help text");
    EXPECT_EQ(t.frmBox->title(), "Frame title");
    EXPECT_EQ(t.lblNote->text(), "Line one|vbNewLine|line two");
    // Fonts take the current language's character set even where no text
    // changed, and even when the texts come from another language.
    EXPECT_EQ(t.dgView->property("Charset").toInt(), 204);
    EXPECT_EQ(t.dgView->property("HeadCharset").toInt(), 204);
    EXPECT_EQ(t.lvHelp->property("Charset").toInt(), 204);
    EXPECT_EQ(t.cbList->property("Charset").toInt(), 204);
    EXPECT_EQ(t.lblNote->property("Charset").toInt(), 204);
}

TEST_F(FormTranslationTest, EmptyLanguageMeansTheCurrentOneAndLaterCallsOverwriteOnlyTheirTexts) {
    // Each language's texts are in the code page of its character set, side
    // by side in the one file: Greek (161), Spanish (0) and German (238)
    // read right under the station's CP1251.
    WriteBytes(dict_, platform::ToAnsi("[HelpForm|ME]\nBG=Помощ\n") +
                          "GR=\xc2\xef\xde\xe8\xe5\xe9\xe1\nES=A\xf1o\n" +
                          platform::ToAnsi("[HelpForm|btnOK]\nBG=Добре\n") + "DE=T\xfcr\n");
    platform::IniClearCache();
    TestWindow t;
    rm_.SetLanguage(&t.w, "");
    EXPECT_EQ(t.w.windowTitle(), "Помощ");
    EXPECT_EQ(t.btnOK->Caption(), "Добре");
    rm_.SetLanguage(&t.w, "GR");
    EXPECT_EQ(t.w.windowTitle(), "Βοήθεια");
    EXPECT_EQ(t.btnOK->Caption(), "Добре");
    EXPECT_EQ(t.lblNote->property("Charset").toInt(), 204);
    rm_.SetLanguage(&t.w, "DE");
    EXPECT_EQ(t.btnOK->Caption(), "Tür");
    EXPECT_EQ(t.w.windowTitle(), "Βοήθεια");
    rm_.SetLanguage(&t.w, "ES");
    EXPECT_EQ(t.w.windowTitle(), "Año");
}

TEST_F(FormTranslationTest, NoDictionaryChangesNothingNotEvenFonts) {
    TestWindow t;
    rm_.SetLanguage(&t.w, "EN");
    EXPECT_EQ(t.w.windowTitle(), "Design caption");
    EXPECT_FALSE(t.lblNote->property("Charset").isValid());
    EXPECT_EQ(t.btnTab[2]->Caption(), "tab");
}

TEST_F(FormTranslationTest, NamelessInnerPartsAreNotTranslated) {
    // A value under the window's name with an empty control name would hit
    // every inner widget of a composite control.
    WriteDictionary("[HelpForm|]\nBG=broken\n[HelpForm|ME]\nBG=Помощ\n");
    TestWindow t;
    t.cbList->setEditable(true);
    rm_.SetLanguage(&t.w, "");
    EXPECT_EQ(t.cbList->lineEdit()->text(), "zero");
    EXPECT_EQ(t.w.windowTitle(), "Помощ");
}

// A dictionary text that looks like markup is shown as written: "<b></b>"
// takes its room and no letter turns bold.
TEST_F(FormTranslationTest, LabelsShowMarkupAsWritten) {
    WriteDictionary("[HelpForm|lblNote]\nEN=<b></b>MMMMMMMM\n");
    TestWindow t;
    rm_.SetLanguage(&t.w, "EN");
    EXPECT_EQ(t.lblNote->text(), "<b></b>MMMMMMMM");
    EXPECT_GE(t.lblNote->sizeHint().width(),
              t.lblNote->fontMetrics().horizontalAdvance("<b></b>MMMMMMMM"));
}
