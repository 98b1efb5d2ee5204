// The settings dialog's first tab: connection rows, previews, the connection
// test, tabs, Save and Cancel.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "core/Configuration.h"
#include "core/Globals.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "dialogs/FileOpen.h"
#include "dialogs/SetupForm.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SkinManager.h"

void SetupForm::ArrangeConnectionControls() {
    const int m = cbCommunicationMethod->currentIndex();
    const int t = cbDBType->currentIndex();
    const bool direct = m >= 2;
    for (QWidget* w : std::initializer_list<QWidget*>{
             lblDBType, cbDBType, btnTestConnection, lblPath, tbPath, btnFileOpen, lblServerName,
             tbServerName, lblLocalServerName, tbLocalServerName, lblName, tbName, lblUser, tbUser,
             lblPassword, tbPassword}) {
        w->setVisible(direct);
    }
    for (QWidget* w : {static_cast<QWidget*>(lblIPPort), static_cast<QWidget*>(tbIP),
                       static_cast<QWidget*>(lblPass1), static_cast<QWidget*>(tbPass1),
                       static_cast<QWidget*>(lblPass2), static_cast<QWidget*>(tbPass2)}) {
        w->setVisible(!direct);
    }
    tbPortUDP->setVisible(m == 0);
    tbPortTCP->setVisible(m == 1);
    if (direct) {
        for (QWidget* w : {static_cast<QWidget*>(lblPath), static_cast<QWidget*>(tbPath),
                           static_cast<QWidget*>(btnFileOpen)}) {
            w->setEnabled(t == 0);
        }
        for (QWidget* w : std::initializer_list<QWidget*>{
                 lblServerName, tbServerName, lblLocalServerName, tbLocalServerName, lblName,
                 tbName, lblUser, tbUser, lblPassword, tbPassword}) {
            w->setEnabled(t != 0);
        }
    }

    const int step = cbDBType->y() - cbCommunicationMethod->y();
    const int rows = direct ? 8 : 4;
    cbLanguage->move(cbLanguage->x(), cbCommunicationMethod->y() + step * rows);
    cbCountry->move(cbCountry->x(), cbLanguage->y() + step);
    cbColorScheme->move(cbColorScheme->x(), cbCountry->y() + step);
    lblLanguage->move(lblLanguage->x(), cbLanguage->y() + 2);
    lblCountry->move(lblCountry->x(), cbCountry->y() + 2);
    lblColorScheme->move(lblColorScheme->x(), cbColorScheme->y() + 2);
}

void SetupForm::cbCommunicationMethod_Click() {
    ArrangeConnectionControls();
    ConnectionChanged = true;
}

void SetupForm::cbDBType_Click() {
    ArrangeConnectionControls();
    ConnectionChanged = true;
}

void SetupForm::cbLanguage_Click() {
    SetHourglass(true);
    const QString language = ResManager().LanguageAbbrev(int16_t(cbLanguage->currentIndex()));
    ResManager().SetLanguage(this, language);
    if (QWidget* main = MainForm())
        ResManager().SetLanguage(main, language);
    SetHourglass(false);
}

void SetupForm::cbColorScheme_Click() {
    platform::SkinManager& skins = SkinManager();
    const QString name = skins.Item(cbColorScheme->currentIndex());
    if (name.isEmpty() || name == skins.SelectedSkin())
        return;
    SetHourglass(true);
    btnSave->SetEnabled(false);
    btnCancel->SetEnabled(false);
    skins.SetSelectedSkin(name);
    // Save and Cancel stay disabled until both windows wear the new scheme.
    ApplySkinToForm(this);
    if (QWidget* main = MainForm())
        ApplySkinToForm(main);
    btnSave->SetEnabled(true);
    btnCancel->SetEnabled(true);
    SetHourglass(false);
}

void SetupForm::ConnectionText_Change(QLineEdit* box) {
    ConnectionChanged = true;
    if (box == tbPath)
        tbPath->setToolTip(tbPath->text());
    // Oracle connects as a schema: its name and its user are one text.
    if (cbDBType->currentIndex() == 4) {
        if (box == tbName)
            tbUser->setText(tbName->text());
        else if (box == tbUser)
            tbName->setText(tbUser->text());
    }
}

void SetupForm::tbPort_Change(QLineEdit* box) {
    // Pasted or dropped text passes no key filter: it is filtered here.
    const QString digits = GetDigitsOnly(box->text()).left(5);
    if (digits != box->text()) {
        box->setText(digits);
        box->setCursorPosition(int(digits.size()));
    }
}

void SetupForm::tbPort_LostFocus(QLineEdit* box) {
    const int32_t stored =
        box == tbPortUDP ? ConfigurationSettings.PortUDP : ConfigurationSettings.PortTCP;
    if (PortFromText(box->text(), 0) == 0)
        box->setText(QString::number(stored));
}

void SetupForm::ShowTab(int index) {
    rt::ContainErrors("Setupform.ShowTab", [&] {
        for (int j = 0; j < tabButtons_.size(); ++j) {
            frmTab(j)->setVisible(j == index);
            btnTab(j)->SetValue(j == index);
            btnTab(j)->SetFontBold(j == index);
            btnTab(j)->Refresh();
        }
        if (index == 0) {
            cbCommunicationMethod->setFocus();
        } else if (index == 1) {
            FillOptionsGrid();
            dgView->setFocus();
        }
    });
}

QString BrowseDatabaseFile(const QString& current) {
    FileOpen& chooser = FileOpenForm();
    if (!current.isEmpty() && FileExists(current)) {
        const int cut = int(current.lastIndexOf(QLatin1Char('/')));
        const QString folder = current.left(cut);
        const QString name = current.mid(cut + 1);
        chooser.Dir1()->SetPath(folder.isEmpty() ? QStringLiteral("/") : folder);
        FileListBox* files = chooser.File1();
        int found = -1;
        for (int i = 0; i < files->count() && found < 0; ++i) {
            files->setCurrentRow(i);
            if (files->item(i)->text() == name)
                found = i;
        }
        if (found < 0 && files->count() > 0)
            files->setCurrentRow(0);
    } else {
        chooser.Dir1()->SetPath(GetProgramDataFolder());
    }
    chooser.exec();
    QString chosen = current;
    if (DialogAccepted)
        chosen = AddBackslash(chooser.Dir1()->Path()) + chooser.File1()->FileName();
    UnloadFileOpenForm();
    return chosen;
}

void SetupForm::btnFileOpen_Click() {
    rt::ContainErrors("Setupform.btnFileOpen_Click", [this] {
        const QString current = tbPath->toolTip();
        const QString chosen = BrowseDatabaseFile(current);
        // The chooser reports through the same flag as this dialog, which is
        // not confirmed until Save: a Cancel after a chosen file must not
        // reach the opener as accepted.
        DialogAccepted = false;
        if (chosen != current)
            tbPath->setText(chosen);
        SetTopMost(this);
    });
}

void SetupForm::btnTestConnection_Click() {
    SetHourglass(true);
    const int t = cbDBType->currentIndex();
    bool ok = false;
    if (t == 0) {
        ok = Database().TestConnectionAccess(tbPath->text());
    } else {
        ok = Database().TestConnectionServer(t, tbServerName->text(), tbLocalServerName->text(),
                                             tbName->text(), tbUser->text(), tbPassword->text());
    }
    const QString target = t != 0 ? tbName->text() : tbPath->text();
    // The hourglass would stay over the message box otherwise.
    SetHourglass(false);
    if (ok) {
        QString message = Res("strTestYes");
        message.replace(QStringLiteral("%1"), target);
        MsgBoxEx().Show(message, kMsgInformation, windowTitle());
    } else {
        QString message = Res("strTestNo");
        message.replace(QStringLiteral("%1"), target);
        if (t == 2 && Database().MyODBCMissing())
            message += QLatin1Char(' ') + Res("strMyODBCMissing");
        MsgBoxEx().Show(message, kMsgExclamation, windowTitle());
    }
    SetHourglass(false);
}

void SetupForm::btnSave_Click() {
    if (!btnSave->Enabled())
        return;
    const int m = cbCommunicationMethod->currentIndex();
    if (m < 2 && tbPass1->text() != tbPass2->text()) {
        MsgBoxEx().Show(Res("strWrongPassword"), kMsgExclamation, Res("strAttention"));
        tbPass1->setFocus();
        return;
    }
    SetHourglass(true);
    ConfigurationRecord& c = ConfigurationSettings;
    const ConfigurationRecord before = c;
    c.Communication = m < 0 ? c.Communication : m;
    c.DatabaseType = cbDBType->currentIndex() < 0 ? c.DatabaseType : cbDBType->currentIndex();
    c.DatabaseName = tbName->text();
    c.DatabasePath = tbPath->text();
    c.ServerName = tbServerName->text();
    c.LocalServerName = tbLocalServerName->text();
    c.UserName = tbUser->text();
    c.Password = tbPassword->text();
    c.Language = ResManager().GetLanguageAbbreviation(int16_t(cbLanguage->currentIndex()));
    // A stored country the list does not know stays as it is.
    if (cbCountry->currentIndex() >= 0)
        c.Country = cbCountry->currentData().toInt();
    c.PortUDP = PortFromText(tbPortUDP->text(), c.PortUDP);
    c.PortTCP = PortFromText(tbPortTCP->text(), c.PortTCP);
    c.Password_2 = tbPass1->text();
    CopyOptionsIntoRecord();
    const QString skin = SkinManager().Item(cbColorScheme->currentIndex());
    if (!skin.isEmpty())
        c.Skin = skin;
    if (ConnectionChanged)
        c.GoodsGroups.clear();
    // A text the file cannot hold is not saved as "?" in its place (a
    // password must not change behind the operator's back): nothing is
    // written until the field is changed.
    QString letters;
    if (const Setting* losing = SettingLosingLetters(c, &letters)) {
        c = before;
        SetHourglass(false);
        ReportLostLetters(*losing, letters);
        return;
    }
    if (!SaveConfiguration()) {
        // The record keeps what the file holds; the edits stay in the dialog
        // for another Save or a Cancel.
        c = before;
        SetHourglass(false);
        QString message = Res("strSettingsNotSaved");
        message.replace(QStringLiteral("%1"), c.ConfigFile);
        MsgBoxEx().Show(message, kMsgExclamation, Res("strAttention"));
        return;
    }
    DialogAccepted = true;
    accept();
}

void SetupForm::ReportLostLetters(const Setting& setting, const QString& letters) {
    struct Field {
        const char* Key;
        QLabel* Label;
        QWidget* Input;
    };
    const Field fields[] = {
        {"DatabasePath", lblPath, tbPath},
        {"ServerName", lblServerName, tbServerName},
        {"LocalServerName", lblLocalServerName, tbLocalServerName},
        {"DatabaseName", lblName, tbName},
        {"UserName", lblUser, tbUser},
        {"Password", lblPassword, tbPassword},
        {"Password_2", lblPass1, tbPass1},
        {"Language", lblLanguage, cbLanguage},
        {"Skin", lblColorScheme, cbColorScheme},
    };
    // The field is named as the operator sees it: its label as shown now (a
    // previewed language included), or its row's caption in the options grid.
    QString name = QLatin1String(setting.key);
    QWidget* input = nullptr;
    for (const Field& f : fields) {
        if (name == QLatin1String(f.Key)) {
            name = rt::Trim(f.Label->text());
            if (name.endsWith(QLatin1Char(':')))
                name.chop(1);
            input = f.Input;
        }
    }
    if (!input && setting.option.caption) {
        name = Res(setting.option.caption);
        input = dgView;
    }
    QStringList shown;
    for (const char32_t c : letters.toUcs4())
        shown << QString::fromUcs4(&c, 1);
    // One pass: a label holding "%2" stays as it is.
    const QString message =
        Res("strSettingLosesLetters")
            .arg(name, platform::AnsiCodePageName(), shown.join(QLatin1Char(' ')));
    MsgBoxEx().Show(message, kMsgExclamation, Res("strAttention"));
    // Showing the first tab again discards nothing; showing the options tab
    // would refill the grid, so its field gets the focus only when shown.
    if (input && input->parentWidget() == frmTab(0) && frmTab(0)->isHidden())
        ShowTab(0);
    if (input && input->isVisible())
        input->setFocus();
}

void SetupForm::btnCancel_Click() {
    if (btnCancel->Enabled())
        reject();
}
