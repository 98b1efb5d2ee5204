// The settings dialog's first tab: its rows, the previews, the file chooser,
// the connection test and the tabs.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "core/Configuration.h"
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
    connectionChanged_ = true;
}

void SetupForm::cbDBType_Click() {
    ArrangeConnectionControls();
    connectionChanged_ = true;
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
    connectionChanged_ = true;
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
    const int32_t stored = box == tbPortUDP ? settings_.PortUDP : settings_.PortTCP;
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
    QString chosen = current;
    if (chooser.exec() == QDialog::Accepted)
        chosen = AddBackslash(chooser.Dir1()->Path()) + chooser.File1()->FileName();
    UnloadFileOpenForm();
    return chosen;
}

void SetupForm::btnFileOpen_Click() {
    rt::ContainErrors("Setupform.btnFileOpen_Click", [this] {
        const QString current = tbPath->toolTip();
        const QString chosen = BrowseDatabaseFile(current);
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
