// The settings dialog's controls: building them, their focus order and
// signals, and the rules that place them when the dialog is resized.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "core/Configuration.h"
#include "core/ModControls.h"
#include "dialogs/SetupForm.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"

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

// The built-in caption of one of the dialog's controls.
QString Design(const QString& control) {
    return ResManager().GetDefaultResource(QStringLiteral("SetupForm|") + control);
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
    if (settings_.Language == QLatin1String("GR")) {
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
