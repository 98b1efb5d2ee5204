// The settings dialog: its controls, loading, activation, layout and keys.
#include "dialogs/SetupForm.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/Globals.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "localization/ResManagerClass.h"
#include "network/CSocketMaster.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SkinManager.h"
#include "platform/controls/VirtualKeys.h"

namespace {

// Design values in pixels; the rules that move controls work from these.
constexpr int kWidth = 540;
constexpr int kTabHeight = 34;
constexpr int kPageTop = kTabHeight + 4;
constexpr int kPageHeight = 354;
constexpr int kFirstRowTop = 10;
constexpr int kRowStep = 30;
constexpr int kLabelLeft = 8;
constexpr int kLabelWidth = 170;
constexpr int kInputLeft = 184;
constexpr int kInputWidth = 336;
constexpr int kRowHeight = 24;

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

// The built-in caption of one of the dialog's controls.
QString Design(const QString& control) {
    return ResManager().GetDefaultResource(QStringLiteral("SetupForm|") + control);
}

void FillList(QComboBox* list, const QStringList& texts) {
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(texts);
    list->setCurrentIndex(-1);
}

// One row of the first tab: its label, then its list or text box, then the
// button a row may end with, which reaches to the end of the input column.
struct Row {
    QLabel** Label;
    const char* LabelName;
    QComboBox** List;
    QLineEdit** Box;
    const char* InputName;
    int InputWidth;
    platform::CommandButton** Button = nullptr;
    const char* ButtonName = nullptr;
    int ButtonLeft = 0;  // from the input column's left
};

QLabel* AddLabel(QWidget* page, const char* name, int y) {
    auto* label = new QLabel(page);
    label->setObjectName(QLatin1String(name));
    label->setText(Design(QLatin1String(name)));
    label->setGeometry(kLabelLeft, y + 2, kLabelWidth, kRowHeight - 2);
    return label;
}

QLineEdit* AddTextBox(QWidget* page, const char* name, int x, int y, int w) {
    auto* box = new QLineEdit(page);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(x, y, w, kRowHeight);
    return box;
}

QComboBox* AddList(QWidget* page, const char* name, int y, int w) {
    auto* list = new QComboBox(page);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(kInputLeft, y, w, kRowHeight);
    return list;
}

platform::CommandButton* AddButton(QWidget* parent, const char* name, const QRect& geometry) {
    auto* button = new platform::CommandButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetCaption(Design(QLatin1String(name)));
    button->setGeometry(geometry);
    return button;
}

// The row's controls at top y, created in the order the focus visits them.
void AddRow(QWidget* page, const Row& row, int y) {
    *row.Label = AddLabel(page, row.LabelName, y);
    if (row.List)
        *row.List = AddList(page, row.InputName, y, row.InputWidth);
    else
        *row.Box = AddTextBox(page, row.InputName, kInputLeft, y, row.InputWidth);
    if (row.Button) {
        *row.Button = AddButton(
            page, row.ButtonName,
            QRect(kInputLeft + row.ButtonLeft, y, kInputWidth - row.ButtonLeft, kRowHeight));
    }
}

}  // namespace

SetupForm::SetupForm(QWidget* parent) : KeyPreviewDialog(parent) {
    setObjectName(QStringLiteral("SetupForm"));
    BuildControls();
    Form_Load();
}

SetupForm::~SetupForm() = default;

void SetupForm::BuildControls() {
    setWindowTitle(Design(QStringLiteral("ME")));
    setFixedSize(kWidth, kPageTop + kPageHeight + 48);

    for (int i = 0; i < 3; ++i) {
        auto* button = new platform::CommandButton(QStringLiteral("btnTab"), i, this);
        button->SetCaption(Design(QStringLiteral("btnTab|%1").arg(i)));
        button->setGeometry(0, 0, kWidth / 3, kTabHeight);
        connect(button, &platform::CommandButton::Click, this, [this, i] { ShowTab(i); });
        tabButtons_.append(button);
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("frmTab"));
        platform::SetControlIndex(frame, i);
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setGeometry(4, kPageTop, kWidth - 8, kPageHeight);
        frame->setVisible(i == 0);
        tabFrames_.append(frame);
    }
    BuildConnectionRows(frmTab(0));
    BuildOptionsGrid(frmTab(1));
    const int buttonTop = kPageTop + kPageHeight + 8;
    btnSave = AddButton(this, "btnSave", QRect(kWidth - 248, buttonTop, 120, 34));
    btnCancel = AddButton(this, "btnCancel", QRect(kWidth - 124, buttonTop, 120, 34));
    // A tab whose page holds nothing leads nowhere: its button keeps its
    // place in the row (the resize rule counts every tab) but is not shown.
    for (int i = 0; i < int(tabButtons_.size()); ++i)
        btnTab(i)->setVisible(!frmTab(i)->findChildren<QWidget*>().isEmpty());
    ChainTabOrder();
    ConnectControls();
}

void SetupForm::ChainTabOrder() {
    // Tab reads each page from top to bottom and left to right, then Save and
    // Cancel, then the tab buttons, and comes round to the page again. The
    // rows of modes 0 and 1 take the places of the database rows and are
    // never shown with them, so each stands in the chain beside the control
    // whose place it takes; hidden and disabled controls are passed over.
    QWidget* const chain[] = {cbCommunicationMethod,
                              cbDBType,
                              tbIP,
                              btnTestConnection,
                              tbPortUDP,
                              tbPortTCP,
                              tbPath,
                              tbPass1,
                              btnFileOpen,
                              tbServerName,
                              tbPass2,
                              tbLocalServerName,
                              tbName,
                              tbUser,
                              tbPassword,
                              cbLanguage,
                              cbCountry,
                              cbColorScheme,
                              dgView,
                              btnSave,
                              btnCancel,
                              btnTab(0),
                              btnTab(1),
                              btnTab(2)};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void SetupForm::BuildConnectionRows(QWidget* page) {
    const Row rows[] = {
        {&lblCommunication, "lblCommunication", &cbCommunicationMethod, nullptr,
         "cbCommunicationMethod", kInputWidth},
        {&lblDBType, "lblDBType", &cbDBType, nullptr, "cbDBType", 150, &btnTestConnection,
         "btnTestConnection", 156},
        {&lblPath, "lblPath", nullptr, &tbPath, "tbPath", kInputWidth - 30, &btnFileOpen,
         "btnFileOpen", kInputWidth - 26},
        {&lblServerName, "lblServerName", nullptr, &tbServerName, "tbServerName", kInputWidth},
        {&lblLocalServerName, "lblLocalServerName", nullptr, &tbLocalServerName,
         "tbLocalServerName", kInputWidth},
        {&lblName, "lblName", nullptr, &tbName, "tbName", kInputWidth},
        {&lblUser, "lblUser", nullptr, &tbUser, "tbUser", kInputWidth},
        {&lblPassword, "lblPassword", nullptr, &tbPassword, "tbPassword", kInputWidth},
        {&lblLanguage, "lblLanguage", &cbLanguage, nullptr, "cbLanguage", kInputWidth},
        {&lblCountry, "lblCountry", &cbCountry, nullptr, "cbCountry", kInputWidth},
        {&lblColorScheme, "lblColorScheme", &cbColorScheme, nullptr, "cbColorScheme", kInputWidth},
    };
    for (int i = 0; i < int(std::size(rows)); ++i)
        AddRow(page, rows[i], kFirstRowTop + i * kRowStep);

    // The rows of modes 0 and 1 stand at the top until the resize rule puts
    // them in the places of the database rows; the port boxes are in the
    // address row.
    AddRow(page, {&lblIPPort, "lblIPPort", nullptr, &tbIP, "tbIP", 150}, 0);
    // Shown for the installer's information; the station binds to every
    // address, so the text is never read back.
    tbIP->setReadOnly(true);
    tbPortUDP = AddTextBox(page, "tbPortUDP", kInputLeft + 156, 0, 60);
    tbPortTCP = AddTextBox(page, "tbPortTCP", kInputLeft + 156, 0, 60);
    AddRow(page, {&lblPass1, "lblPass1", nullptr, &tbPass1, "tbPass1", kInputWidth}, 0);
    AddRow(page, {&lblPass2, "lblPass2", nullptr, &tbPass2, "tbPass2", kInputWidth}, 0);
    for (QLineEdit* secret : {tbPassword, tbPass1, tbPass2}) {
        secret->setEchoMode(QLineEdit::Password);
        secret->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
}

void SetupForm::ConnectControls() {
    connect(cbCommunicationMethod, &QComboBox::currentIndexChanged, this,
            [this] { cbCommunicationMethod_Click(); });
    connect(cbDBType, &QComboBox::currentIndexChanged, this, [this] { cbDBType_Click(); });
    connect(cbLanguage, &QComboBox::currentIndexChanged, this, [this] { cbLanguage_Click(); });
    connect(cbColorScheme, &QComboBox::currentIndexChanged, this,
            [this] { cbColorScheme_Click(); });
    for (QLineEdit* box : {tbName, tbUser, tbPassword, tbServerName, tbPath}) {
        connect(box, &QLineEdit::textChanged, this, [this, box] { ConnectionText_Change(box); });
    }
    for (QLineEdit* box : {tbPortUDP, tbPortTCP})
        connect(box, &QLineEdit::textChanged, this, [this, box] { tbPort_Change(box); });
    connect(btnFileOpen, &platform::CommandButton::Click, this, [this] { btnFileOpen_Click(); });
    connect(btnTestConnection, &platform::CommandButton::Click, this,
            [this] { btnTestConnection_Click(); });
    connect(btnSave, &platform::CommandButton::Click, this, [this] { btnSave_Click(); });
    connect(btnCancel, &platform::CommandButton::Click, this, [this] { btnCancel_Click(); });
}

void SetupForm::Form_Load() {
    ConfigurationRecord& c = ConfigurationSettings;
    std::unique_ptr<CSocketMaster> socket;
    try {
        ResManager().SetLanguage(this);
        ApplySkinToForm(this);

        DialogAccepted = false;
        ActivatedOnce = false;
        ConnectionChanged = false;
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

        int skinPosition = 0;
        {
            const QSignalBlocker blocker(cbColorScheme);
            cbColorScheme->clear();
            platform::SkinManager& skins = SkinManager();
            for (int i = 0; i < skins.Count(); ++i) {
                const QString name = skins.Item(i);
                const QString text = ResManager().GetResString(QStringLiteral("str") + name);
                cbColorScheme->addItem(rt::Trim(text).isEmpty() ? name : text);
                if (name == c.Skin)
                    skinPosition = i;
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

        // A mode the list does not hold (a hand-edited file) opens as the
        // first one rather than leaving the dialog half loaded.
        cbCommunicationMethod->setCurrentIndex(
            c.Communication >= 0 && c.Communication <= 2 ? c.Communication : 0);
        cbDBType->setCurrentIndex(c.DatabaseType >= 0 && c.DatabaseType <= 4 ? c.DatabaseType : 0);

        tbName->setText(c.DatabaseName);
        tbPath->setText(c.DatabasePath);
        tbPath->setToolTip(c.DatabasePath);
        tbServerName->setText(c.ServerName);
        tbLocalServerName->setText(c.LocalServerName);
        tbUser->setText(c.UserName);
        tbPassword->setText(c.Password);

        // A host name that does not resolve is recorded, but the rows after
        // it still load: a Save must not store an empty station password.
        try {
            socket = std::make_unique<CSocketMaster>();
            tbIP->setText(socket->LocalIP());
        } catch (const AppError& e) {
            ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                              QStringLiteral("Setupform.Load"));
        }
        socket.reset();

        tbPortUDP->setText(QString::number(c.PortUDP));
        tbPortTCP->setText(QString::number(c.PortTCP));
        tbPass1->setText(c.Password_2);
        tbPass2->setText(c.Password_2);

        cbColorScheme->setCurrentIndex(skinPosition);
        cbCountry->setCurrentIndex(cbCountry->findData(c.Country));

        ShowTab(0);
        ConnectionChanged = false;
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

void SetupForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void SetupForm::Form_Resize() {
    if (!dgView)
        return;
    const int tpp = platform::TwipsPerPixelX();
    const int count = int(tabButtons_.size());
    const double w = rt::RoundHalfEven(double(width() * tpp - 60) / count);
    const int wPixels = platform::TwipsToPixelsX(w);
    for (int i = 0; i < count; ++i) {
        btnTab(i)->setGeometry(i * wPixels, 0, wPixels, kTabHeight);
        frmTab(i)->move(platform::TwipsToPixelsX(60), frmTab(i)->y());
    }

    const int a = dgView->width() * tpp - GetColumnWidthExtra(false);
    dgView->SetColumnWidth(0, int(a * 0.6));
    dgView->SetColumnWidth(1, a - dgView->ColumnWidth(0));

    if (resizedOnce_)
        return;
    resizedOnce_ = true;
    if (ConfigurationSettings.Language == QLatin1String("GR")) {
        const int shift = platform::TwipsToPixelsX(660);
        for (QWidget* field : std::initializer_list<QWidget*>{
                 cbCommunicationMethod, cbDBType, tbPath, tbServerName, tbLocalServerName, tbName,
                 tbUser, tbPassword, cbLanguage, cbCountry, cbColorScheme}) {
            field->setGeometry(field->x() + shift, field->y(), field->width() - shift,
                               field->height());
        }
        for (QWidget* field : {tbIP, tbPass1, tbPass2})
            field->resize(field->width() - shift, field->height());
    }
    lblIPPort->move(lblIPPort->x(), lblDBType->y());
    tbIP->move(cbDBType->x(), cbDBType->y());
    tbPortUDP->move(btnTestConnection->x(), cbDBType->y());
    tbPortTCP->move(btnTestConnection->x(), cbDBType->y());
    lblPass1->move(lblPass1->x(), lblPath->y());
    tbPass1->move(tbPath->x(), tbPath->y());
    lblPass2->move(lblPass2->x(), lblServerName->y());
    tbPass2->move(tbServerName->x(), tbServerName->y());
}

bool SetupForm::Form_KeyDown(int keyCode, int shift) {
    switch (keyCode) {
        case platform::kVkReturn:
            if (!DropDownOpen)
                btnSave_Click();
            return true;
        case platform::kVkEscape:
            btnCancel_Click();
            return true;
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

void ShowSetupForm() {
    // The language combo previews its language on the board as well; only
    // Save keeps it. The board's texts are taken before the dialog loads, as
    // loading previews the current language once.
    const WindowTexts board = CaptureWindowTexts(MainForm());
    {
        SetupForm form(MainForm());
        form.exec();
    }
    if (!DialogAccepted)
        board.Restore();
}
