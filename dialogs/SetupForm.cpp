// The settings dialog's own handlers: loading, activation, keys, Save and
// Cancel, and the table of the first tab's fields that loading and Save share.
#include "dialogs/SetupForm.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <memory>
#include <stdexcept>

#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "dialogs/SettingsGrid.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "network/CSocketMaster.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SkinManager.h"
#include "platform/controls/VirtualKeys.h"

namespace {

struct Country {
    const char* Resource;
    int32_t Code;
};

// Codes 12 and 17 are not used.
constexpr Country kCountries[] = {
    {"strBulgaria", 0},  {"strRussia", 1}, {"strRomania", 2}, {"strKenya", 3},
    {"strMalta", 4},     {"strGreece", 5}, {"strCyprus", 6},  {"strMoldova", 7},
    {"strKazahstan", 8}, {"strUSA", 9},    {"strCanada", 10}, {"strBelarus", 11},
    {"strGermany", 13},  {"strSpain", 14}, {"strMexico", 15}, {"strTurkey", 16},
    {"strUkraine", 18},
};

// Fills the list quietly, with no entry selected; each entry carries its
// position, which is the value of the setting it stands for.
void FillList(QComboBox* list, const QStringList& texts) {
    const QSignalBlocker blocker(list);
    list->clear();
    for (int i = 0; i < int(texts.size()); ++i)
        list->addItem(texts[i], i);
    list->setCurrentIndex(-1);
}

const Setting& SettingOf(const char* key) {
    if (const Setting* s = FindSetting(QString::fromLatin1(key)))
        return *s;
    throw std::logic_error(std::string("no setting ") + key);
}

// A text or number setting as the item data of a list entry.
QVariant ListValue(const Setting& s, const ConfigurationRecord& record) {
    return s.member.index() == 0 ? QVariant(s.Text(record)) : QVariant(s.Number(record));
}

QLineEdit* BoxOf(QWidget* input) {
    return static_cast<QLineEdit*>(input);
}

QComboBox* ListOf(QWidget* input) {
    return static_cast<QComboBox*>(input);
}

}  // namespace

SetupForm::SetupForm(ConfigurationRecord& settings, QWidget* parent)
    : KeyPreviewDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("SetupForm"));
    BuildControls();
    Form_Load();
}

SetupForm::~SetupForm() = default;

bool SetupForm::DialogAccepted() const {
    return result() == QDialog::Accepted;
}

std::vector<SetupForm::Field> SetupForm::Fields() const {
    using K = FieldKind;
    // In the order loading sets them: the two lists that arrange the rows
    // first, so that the boxes' rules (the Oracle mirror) see the stored
    // database type; the colour scheme, whose selection previews its skin,
    // once the boxes hold their texts.
    return {
        {"Communication", K::List, lblCommunication, cbCommunicationMethod},
        {"DatabaseType", K::List, lblDBType, cbDBType},
        {"DatabaseName", K::Text, lblName, tbName},
        {"DatabasePath", K::Text, lblPath, tbPath},
        {"ServerName", K::Text, lblServerName, tbServerName},
        {"LocalServerName", K::Text, lblLocalServerName, tbLocalServerName},
        {"UserName", K::Text, lblUser, tbUser},
        {"Password", K::Text, lblPassword, tbPassword},
        {"PortUDP", K::Port, lblIPPort, tbPortUDP},
        {"PortTCP", K::Port, lblIPPort, tbPortTCP},
        {"Password_2", K::Text, lblPass1, tbPass1},
        {"Password_2", K::Repeat, lblPass2, tbPass2},
        {"Language", K::Language, lblLanguage, cbLanguage},
        {"Skin", K::List, lblColorScheme, cbColorScheme},
        {"Country", K::ListOrNone, lblCountry, cbCountry},
    };
}

void SetupForm::LoadField(const Field& field, const ConfigurationRecord& record) {
    const Setting& s = SettingOf(field.Key);
    switch (field.Kind) {
        case FieldKind::Text:
        case FieldKind::Repeat:
            BoxOf(field.Input)->setText(s.Text(record));
            break;
        case FieldKind::Port:
            BoxOf(field.Input)->setText(QString::number(s.Number(record)));
            break;
        case FieldKind::List:
        case FieldKind::ListOrNone: {
            // A value no entry carries (a hand-edited file) opens as the
            // first entry, or as none where the field says so, rather than
            // leaving the dialog half loaded.
            const int position = ListOf(field.Input)->findData(ListValue(s, record));
            ListOf(field.Input)
                ->setCurrentIndex(position < 0 && field.Kind == FieldKind::List ? 0 : position);
            break;
        }
        case FieldKind::Language:
            // Filled and selected with the dictionary's languages already.
            break;
    }
}

void SetupForm::StoreField(const Field& field, ConfigurationRecord& record) const {
    const Setting& s = SettingOf(field.Key);
    switch (field.Kind) {
        case FieldKind::Text:
            s.Text(record) = BoxOf(field.Input)->text();
            break;
        case FieldKind::Repeat:
            break;
        case FieldKind::Port:
            s.SetNumber(record, PortFromText(BoxOf(field.Input)->text(), s.Number(record)));
            break;
        case FieldKind::List:
        case FieldKind::ListOrNone: {
            // A list without a selection keeps the stored value.
            const QComboBox* list = ListOf(field.Input);
            if (list->currentIndex() < 0)
                break;
            if (s.member.index() == 0)
                s.Text(record) = list->currentData().toString();
            else
                s.SetNumber(record, list->currentData().toInt());
            break;
        }
        case FieldKind::Language:
            s.Text(record) =
                ResManager().GetLanguageAbbreviation(int16_t(ListOf(field.Input)->currentIndex()));
            break;
    }
}

void SetupForm::Form_Load() {
    const ConfigurationRecord& c = settings_;
    std::unique_ptr<CSocketMaster> socket;
    try {
        ResManager().SetLanguage(this);
        ApplySkinToForm(this);

        ActivatedOnce = false;
        connectionChanged_ = false;
        DropDownOpen = false;
        GoodsGroupsSelection = c.GoodsGroups;

        // The combo is filled quietly; the preview then runs once, in the
        // current language.
        ResManager().GetLanguages(c.ConfigFile);
        {
            const QSignalBlocker blocker(cbLanguage);
            ResManager().FillLanguageCombo(cbLanguage);
        }
        cbLanguage_Click();

        FillList(cbCommunicationMethod, {QStringLiteral("UDP"), QStringLiteral("Instant Messaging"),
                                         QStringLiteral("Direct Database Access")});
        FillList(cbDBType,
                 {QStringLiteral("MS Access"), QStringLiteral("MSDE"), QStringLiteral("My SQL"),
                  QStringLiteral("MS SQL Server"), QStringLiteral("Oracle")});
        {
            // Each entry carries the skin's name, which is what the setting keeps.
            const QSignalBlocker blocker(cbColorScheme);
            cbColorScheme->clear();
            platform::SkinManager& skins = SkinManager();
            for (int i = 0; i < skins.Count(); ++i) {
                const QString name = skins.Item(i);
                const QString text = ResManager().GetResString(QStringLiteral("str") + name);
                cbColorScheme->addItem(rt::Trim(text).isEmpty() ? name : text, name);
            }
            cbColorScheme->setCurrentIndex(-1);
        }
        {
            const QSignalBlocker blocker(cbCountry);
            cbCountry->clear();
            for (const Country& country : kCountries)
                cbCountry->addItem(ResManager().GetResString(QLatin1String(country.Resource)),
                                   country.Code);
            cbCountry->setCurrentIndex(-1);
        }

        // A host name that does not resolve is recorded, but the fields still
        // load: a Save must not store an empty station password.
        try {
            socket = std::make_unique<CSocketMaster>();
            tbIP->setText(socket->LocalIP());
        } catch (const AppError& e) {
            ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                              QStringLiteral("Setupform.Load"));
        }
        socket.reset();

        for (const Field& field : Fields())
            LoadField(field, c);

        ShowTab(0);
        // The change events raised while loading are no edits.
        connectionChanged_ = false;
    } catch (const AppError& e) {
        socket.reset();
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                          QStringLiteral("Setupform.Load"));
    } catch (const std::exception& e) {
        socket.reset();
        ErrorLogger().Add(kSystemError, 0, QString::fromUtf8(e.what()),
                          QStringLiteral("Setupform.Load"));
    }
}

void SetupForm::Form_Activate() {
    KeyPreviewDialog::Form_Activate();
    rt::ContainErrors("Setupform.Form_Activate", [this] {
        if (!ActivatedOnce)
            cbCommunicationMethod->setFocus();
        ActivatedOnce = true;
    });
}

bool SetupForm::Form_KeyDown(int keyCode, int shift) {
    if (SaveOrCancelKey(
            keyCode, DropDownOpen, [this] { btnSave_Click(); }, [this] { btnCancel_Click(); }))
        return true;
    switch (keyCode) {
        case '1':
        case '2':
            if (shift != 2)
                return false;
            ShowTab(keyCode - '1');
            return true;
        case platform::kVkF7:
            ShowTab(0);
            return true;
        case platform::kVkF8:
            ShowTab(1);
            return true;
        default:
            return false;
    }
}

bool SetupForm::PreviewKey(QWidget* receiver, QKeyEvent* key) {
    if (LeaveOptionsGrid(receiver, key))
        return true;
    if (Form_KeyDown(platform::VirtualKeyFromEvent(key),
                     platform::ShiftStateFromModifiers(key->modifiers())))
        return true;
    // Port boxes take digits and Backspace; other characters are dropped,
    // editing keys pass.
    if (receiver == tbPortUDP || receiver == tbPortTCP) {
        const QString text = key->text();
        if (text.size() == 1 && text[0].isPrint() &&
            !(text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9')))
            return true;
    }
    return false;
}

bool SetupForm::LeaveOptionsGrid(QWidget* receiver, QKeyEvent* key) {
    // Inside the options grid Tab steps down its rows and Shift+Tab up them;
    // the grid alone would wrap round at either end and keep the focus for
    // good. At the end the focus goes on along the dialog's chain instead.
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
        !(receiver == dgView || dgView->isAncestorOf(receiver)))
        return false;
    const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
    if (dgView->Row() != (back ? 0 : dgView->Rows() - 1))
        return false;
    QWidget* next = dgView;
    do {
        next = back ? next->previousInFocusChain() : next->nextInFocusChain();
    } while (next != dgView && (dgView->isAncestorOf(next) || !next->isVisible() ||
                                !next->isEnabled() || !(next->focusPolicy() & Qt::TabFocus)));
    next->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    return true;
}

bool SetupForm::ControlEvent(QWidget* control, QEvent* event) {
    if (control == dgView && event->type() == QEvent::FocusIn) {
        // Entered by Tab the grid is read from its first row, by Shift+Tab
        // from its last, whichever row was current when the focus left it.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason)
            dgView->SetRow(0);
        else if (reason == Qt::BacktabFocusReason)
            dgView->SetRow(dgView->Rows() - 1);
        return false;
    }
    auto* box = qobject_cast<QLineEdit*>(control);
    if (!box)
        return false;
    if (event->type() == QEvent::FocusIn && box->parentWidget() == frmTab(0))
        SelectAllText(box);
    else if (event->type() == QEvent::FocusOut && (box == tbPortUDP || box == tbPortTCP))
        tbPort_LostFocus(box);
    return false;
}

void SetupForm::btnSave_Click() {
    if (!btnSave->Enabled())
        return;
    if (cbCommunicationMethod->currentIndex() < 2 && tbPass1->text() != tbPass2->text()) {
        MsgBoxEx().Show(Res("strWrongPassword"), kMsgExclamation, Res("strAttention"));
        tbPass1->setFocus();
        return;
    }
    SetHourglass(true);
    // The edits go into a copy; the record takes it only once the file holds
    // it, so a refused Save leaves the record as the file has it and the
    // edits in the dialog for another Save or a Cancel.
    ConfigurationRecord edited = settings_;
    for (const Field& field : Fields())
        StoreField(field, edited);
    CopyOptionsIntoRecord(edited);
    if (connectionChanged_)
        edited.GoodsGroups.clear();
    // A text the file cannot hold is not saved as "?" in its place (a
    // password must not change behind the operator's back): nothing is
    // written until the field is changed.
    QString letters;
    if (const Setting* losing = SettingLosingLetters(edited, &letters)) {
        SetHourglass(false);
        ReportLostLetters(*losing, letters);
        return;
    }
    if (!SaveConfiguration(edited)) {
        SetHourglass(false);
        QString message = Res("strSettingsNotSaved");
        message.replace(QStringLiteral("%1"), edited.ConfigFile);
        MsgBoxEx().Show(message, kMsgExclamation, Res("strAttention"));
        return;
    }
    settings_ = edited;
    accept();
}

void SetupForm::ReportLostLetters(const Setting& setting, const QString& letters) {
    // The field is named as the operator sees it: its label as shown now (a
    // previewed language included), or its row's caption in the options grid.
    QString name = QLatin1String(setting.key);
    QWidget* input = nullptr;
    for (const Field& f : Fields()) {
        if (name == QLatin1String(f.Key)) {
            name = rt::Trim(f.Label->text());
            if (name.endsWith(QLatin1Char(':')))
                name.chop(1);
            input = f.Input;
            break;
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

SetupResult ShowSetupForm(ConfigurationRecord& settings) {
    // The language combo previews its language on the board as well; only
    // Save keeps it. The board's texts are taken before the dialog loads, as
    // loading previews the current language once.
    const WindowTexts board = CaptureWindowTexts(MainForm());
    SetupResult result;
    {
        SetupForm form(settings, MainForm());
        form.exec();
        result = {form.DialogAccepted(), form.ConnectionChanged()};
    }
    if (!result.DialogAccepted)
        board.Restore();
    return result;
}
