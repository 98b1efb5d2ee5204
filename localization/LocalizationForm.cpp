// The translation editor.
#include "localization/LocalizationForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>

#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/ProgramState.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"

namespace {

const QString kNotTranslatedSuffix = QStringLiteral(" - NOT TRANSLATED");
const QString kLineBreakToken = QStringLiteral("|vbNewLine|");

// A dictionary value cannot hold a line break: the editor shows the
// dictionary's token as one and stores every typed one as the token.
QString TokensToLineBreaks(QString text) {
    return text.replace(kLineBreakToken, QStringLiteral("\n"));
}

QString LineBreaksToTokens(QString text) {
    text.replace(QStringLiteral("\r\n"), kLineBreakToken);
    text.replace(QLatin1Char('\r'), kLineBreakToken);
    return text.replace(QLatin1Char('\n'), kLineBreakToken);
}

std::function<void()>& ClosedHandler() {
    static std::function<void()> handler;
    return handler;
}

QPointer<LocalizationForm>& Instance() {
    static QPointer<LocalizationForm> form;
    return form;
}

QLabel* NewLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    // A language's name from the settings is shown as written.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

platform::CommandButton* NewButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new platform::CommandButton(parent);
    button->setObjectName(name);
    button->SetCaption(caption);
    button->setMinimumHeight(30);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

// The whole action runs under the hourglass, which returns to the default
// pointer however the action ends.
template <typename Action>
void WithHourglass(Action action) {
    SetHourglass(true);
    rt::ContainErrors("LocalizationForm.WithHourglass", action);
    SetHourglass(false);
}

}  // namespace

LocalizationForm::LocalizationForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LocalizationForm"));
    setWindowTitle(QStringLiteral("Quillbarrow Ferromont - Localization Tool"));
    Build();
    Form_Load();
}

void LocalizationForm::Build() {
    lblIndex_ = NewLabel(QStringLiteral("lblIndex"), QStringLiteral("Индекс"), this);
    cbIndex_ = new QComboBox(this);
    cbIndex_->setObjectName(QStringLiteral("cbIndex"));
    cbIndex_->setMaxVisibleItems(25);
    label1_ = NewLabel(QStringLiteral("Label1"), QStringLiteral("Език"), this);
    cbLanguages_ = new QComboBox(this);
    cbLanguages_->setObjectName(QStringLiteral("cbLanguages"));
    label2_ = NewLabel(QStringLiteral("Label2"), QStringLiteral("Български"), this);
    tbBulgarian_ = new QPlainTextEdit(this);
    tbBulgarian_->setObjectName(QStringLiteral("tbBulgarian"));
    label3_ = NewLabel(QStringLiteral("Label3"), QStringLiteral("Всички"), this);
    tbselected_ = new QPlainTextEdit(this);
    tbselected_->setObjectName(QStringLiteral("tbselected"));
    btnSave_ = NewButton(QStringLiteral("btnSave"), QStringLiteral("Запис"), this);

    frmImport_ = new QGroupBox(QStringLiteral("Импорт"), this);
    frmImport_->setObjectName(QStringLiteral("frmImport"));
    text1_ = new QLineEdit(frmImport_);
    text1_->setObjectName(QStringLiteral("Text1"));
    btnImport_ = NewButton(QStringLiteral("btnImport"), QStringLiteral("Импорт"), frmImport_);
    auto* importLayout = new QHBoxLayout(frmImport_);
    importLayout->addWidget(text1_, 3);
    importLayout->addWidget(btnImport_, 1);

    frmExport_ = new QGroupBox(QStringLiteral("Експорт"), this);
    frmExport_->setObjectName(QStringLiteral("frmExport"));
    auto* exportLayout = new QGridLayout(frmExport_);
    const QString captions[] = {QStringLiteral("Всички"),
                                QStringLiteral("Всички") + kNotTranslatedSuffix, QString(),
                                kNotTranslatedSuffix};
    for (int i = 0; i < 4; ++i) {
        auto* button = new platform::CommandButton(QStringLiteral("btnExport"), i, frmExport_);
        button->SetCaption(captions[i]);
        button->setMinimumHeight(30);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &platform::CommandButton::ClickIndex, this,
                &LocalizationForm::btnExport_Click);
        exportLayout->addWidget(button, i / 2, i % 2);
        btnExport_.append(button);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblIndex_, 0, 0);
    grid->addWidget(cbIndex_, 0, 1);
    grid->addWidget(label1_, 1, 0);
    grid->addWidget(cbLanguages_, 1, 1);
    grid->addWidget(label2_, 2, 0, Qt::AlignTop);
    grid->addWidget(tbBulgarian_, 2, 1);
    grid->addWidget(label3_, 3, 0, Qt::AlignTop);
    grid->addWidget(tbselected_, 3, 1);
    grid->addWidget(btnSave_, 4, 1, Qt::AlignRight);
    grid->addWidget(frmImport_, 5, 0, 1, 2);
    grid->addWidget(frmExport_, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    resize(640, 520);

    connect(cbLanguages_, &QComboBox::currentIndexChanged, this,
            [this](int) { cbLanguages_Click(); });
    connect(cbIndex_, &QComboBox::currentIndexChanged, this, [this](int) {
        if (!loading_)
            cbIndex_Click();
    });
    connect(btnSave_, &platform::CommandButton::Click, this, &LocalizationForm::btnSave_Click);
    connect(btnImport_, &platform::CommandButton::Click, this, &LocalizationForm::btnImport_Click);
}

void LocalizationForm::Form_Load() {
    ResManagerClass& rm = ResManager();
    rm.GetLanguages(GetConfigFileName());
    rm.FillLanguageCombo(cbLanguages_);
    loading_ = true;
    cbIndex_->clear();
    for (int16_t j = 0; j < rm.CountResources(); ++j)
        cbIndex_->addItem(rm.GetDictionaryKey(j));
    loading_ = false;
    if (cbIndex_->count() > 0) {
        cbIndex_->setCurrentIndex(0);
        cbIndex_Click();
    }
}

QString LocalizationForm::SelectedCode() const {
    return ResManager().LanguageAbbrev(int16_t(cbLanguages_->currentIndex()));
}

void LocalizationForm::cbLanguages_Click() {
    const QString caption = cbLanguages_->currentText();
    label3_->setText(caption);
    tbselected_->setReadOnly(cbLanguages_->currentIndex() == 0);
    cbIndex_Click();
    btnExport_[2]->SetCaption(caption);
    btnExport_[3]->SetCaption(caption + kNotTranslatedSuffix);
}

void LocalizationForm::cbIndex_Click() {
    const QString name = cbIndex_->currentText();
    if (name.isEmpty())
        return;
    ResManagerClass& rm = ResManager();
    tbBulgarian_->setPlainText(TokensToLineBreaks(rm.ResString(name, QStringLiteral("BG"))));
    tbselected_->setPlainText(TokensToLineBreaks(rm.ResString(name, SelectedCode())));
}

void LocalizationForm::btnSave_Click() {
    const QString code = SelectedCode();
    const QString text = LineBreaksToTokens(tbselected_->toPlainText());
    if (!ConfirmLostLetters(code, text)) {
        tbselected_->setFocus();
        return;
    }
    bool saved = false;
    WithHourglass([this, &saved, &code, &text] {
        saved = ResManager().WriteResString(cbIndex_->currentText(), code, text);
    });
    if (!saved)
        ReportWriteFailure();
}

void LocalizationForm::btnImport_Click() {
    bool imported = false;
    WithHourglass([this, &imported] {
        imported = ResManager().ImportResources(text1_->text(), SelectedCode());
    });
    if (!imported)
        ReportWriteFailure();
}

bool LocalizationForm::ConfirmLostLetters(const QString& code, const QString& text) {
    QString page = platform::CharsetCodePage(ResManager().LanguageCharset(code));
    if (page.isEmpty())
        page = platform::AnsiCodePageName();
    const QString missing = platform::MissingCharacters(text, page);
    if (missing.isEmpty())
        return true;
    QStringList letters;
    for (const char32_t c : missing.toUcs4())
        letters << QString::fromUcs4(&c, 1);
    // Yes/No with the question icon, No the default: going back is the safe
    // answer.
    return MsgBoxEx().Show(QStringLiteral("Кодовата таблица %1 на езика няма тези букви; те ще "
                                          "бъдат записани като \"?\":\r\n")
                                   .arg(page) +
                               letters.join(QLatin1Char(' ')) +
                               QStringLiteral("\r\nЗапис въпреки това?"),
                           kMsgYesNo + kMsgQuestion + kMsgDefaultButton2, windowTitle()) == kMsgYes;
}

void LocalizationForm::ReportWriteFailure() {
    // The editor's texts are its own design, like its captions.
    MsgBoxEx().Show(
        QStringLiteral("Речникът не може да бъде записан:\r\n") + ResManager().DictionaryFile(),
        kMsgCritical, windowTitle());
}

void LocalizationForm::btnExport_Click(int index) {
    const QString code = index >= 2 ? SelectedCode() : QString();
    bool exported = false;
    WithHourglass([index, &code, &exported] {
        exported = ResManager().ExportResources(index == 1 || index == 3, code);
    });
    if (!exported) {
        MsgBoxEx().Show(QStringLiteral("Експортът не може да бъде записан:\r\n") +
                            ResManagerClass::ExportFile(code),
                        kMsgCritical, windowTitle());
    }
}

bool LocalizationForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        SetHourglass(false);
    return QWidget::event(event);
}

void LocalizationForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit Unloaded();
}

void ShowLocalizationForm() {
    if (!Instance()) {
        auto* form = new LocalizationForm;
        form->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(form, &LocalizationForm::Unloaded, [] {
            if (ClosedHandler())
                ClosedHandler()();
            else
                QCoreApplication::quit();
        });
        Instance() = form;
    }
    Instance()->show();
    Instance()->raise();
}

void SetLocalizationFormClosed(std::function<void()> onClosed) {
    ClosedHandler() = std::move(onClosed);
}

LocalizationForm* LocalizationFormInstance() {
    return Instance();
}

namespace {
// The editor this module made goes (without its closing, which would run the
// handler), and the next one ends the program when closed, as at start.
void ResetLocalizationForm() {
    if (LocalizationForm* form = Instance()) {
        Instance() = nullptr;
        QObject::disconnect(form, &LocalizationForm::Unloaded, nullptr, nullptr);
        form->hide();
        form->deleteLater();
    }
    ClosedHandler() = nullptr;
}
[[maybe_unused]] const bool kEditorResetRegistered =
    platform::RegisterStateReset(&ResetLocalizationForm);
}  // namespace
