// The help window: key list, buttons list and the tail of the error log.
#include "dialogs/HelpForm.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "board/HotKeys.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "data/NomUsers.h"
#include "dialogs/AboutForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/ListView.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"
#include "platform/controls/VirtualKeys.h"
#include "platform/controls/WindowFrame.h"

namespace {

int PxX(double twips) {
    return platform::TwipsToPixelsX(twips);
}
int PxY(double twips) {
    return platform::TwipsToPixelsY(twips);
}

constexpr qint64 kLogTailBytes = 100000;
constexpr int kListLeft = 90;
constexpr int kListTop = 480;
constexpr int kFrameHeight = 1485;
constexpr int kTabHeightPx = 30;

struct ButtonRow {
    const char* Caption;
    const char* Picture;
    int32_t FunctionId;
    enum { Always, Mode2, Modes01, Managers } When;
};

constexpr ButtonRow kButtonRows[] = {
    {"strFirstOrder", "Navigate_Left2", kFnFirst, ButtonRow::Always},
    {"strPreviousOrder", "Navigate_Left", kFnPrevious, ButtonRow::Always},
    {"strNextOrder", "Navigate_right", kFnNext, ButtonRow::Always},
    {"strLastOrder", "Navigate_Right2", kFnLast, ButtonRow::Always},
    {"strRowUP", "UP", kFnUp, ButtonRow::Mode2},
    {"strRowDown", "DOWN", kFnDown, ButtonRow::Mode2},
    {"strFinish", "Kestrelle", kFnFinish, ButtonRow::Always},
    {"strRefresh", "Refresh", kFnRefresh, ButtonRow::Mode2},
    {"strDeleteOrder", "Clear", kFnClear, ButtonRow::Modes01},
    {"strChangeUser", "Keys", kFnLogin, ButtonRow::Mode2},
    {"strSetup", "Setup", kFnSetup, ButtonRow::Managers},
    {"strHelp", "Help", kFnHelp, ButtonRow::Always},
    {"strUnload", "Exit", kFnNone, ButtonRow::Always},
};

bool Allowed(int32_t functionId) {
    int32_t user = 0;
    return Users().GetPermission(functionId, user);
}

QFont FixedPitchFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(10);
    return font;
}

// The page digit of a key on the main keyboard, 0 for none. Shift turns the
// digits into symbols; the symbols of the common layouts and the X11 key
// codes of the digit row are taken as the digits.
int PageDigit(const QKeyEvent* event) {
    if (event->modifiers() & Qt::KeypadModifier)
        return 0;
    const int key = event->key();
    if (key >= Qt::Key_1 && key <= Qt::Key_3)
        return key - Qt::Key_0;
    if (key == Qt::Key_Exclam)
        return 1;
    if (key == Qt::Key_At)
        return 2;
    if (key == Qt::Key_NumberSign)
        return 3;
    const quint32 scan = event->nativeScanCode();
    if (scan >= 10 && scan <= 12)
        return int(scan) - 9;
    return 0;
}

QPointer<HelpForm>& Shown() {
    static QPointer<HelpForm> form;
    return form;
}

}  // namespace

HelpForm::HelpForm(const ConfigurationRecord& settings, QWidget* parent)
    : KeyPreviewDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Помощ"));
    Build();
    Form_Load();
}

void HelpForm::Build() {
    static const char* const kTabCaptions[] = {"Клавишни комбинации", "Бутони",
                                               "Списък на несъответствията"};
    for (int i = 0; i < 3; ++i) {
        auto* tab = new platform::CommandButton(QStringLiteral("btnTab"), i, this);
        tab->SetCaption(QString::fromUtf8(kTabCaptions[i]));
        connect(tab, &platform::CommandButton::ClickIndex, this, &HelpForm::btnTab_Click);
        btnTab_.append(tab);
    }
    rtbHelp_ = new platform::RichTextBox(this);
    rtbHelp_->setObjectName(QStringLiteral("rtbHelp"));
    rtbHelp_->setFont(FixedPitchFont());
    rtbHelp_->SetLocked(true);
    rtbHelp_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lvHelp_ = new platform::ListView(this);
    lvHelp_->setObjectName(QStringLiteral("lvHelp"));
    imlButtons_ = new platform::ImageList(this);
    imlButtons_->setObjectName(QStringLiteral("imlButtons"));
    lvHelp_->SetIcons(imlButtons_);
    rtbError_ = new platform::RichTextBox(this);
    rtbError_->setObjectName(QStringLiteral("rtbError"));
    rtbError_->setFont(FixedPitchFont());
    rtbError_->SetLocked(true);
    rtbError_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lblActivefolder_ = new QLineEdit(this);
    lblActivefolder_->setObjectName(QStringLiteral("lblActivefolder"));
    lblActivefolder_->setReadOnly(true);
    btnOpen_ = new platform::CommandButton(this);
    btnOpen_->setObjectName(QStringLiteral("btnOpen"));
    btnOpen_->SetCaption(QStringLiteral("..."));
    btnAbout_ = new platform::CommandButton(this);
    btnAbout_->setObjectName(QStringLiteral("btnAbout"));
    btnAbout_->SetCaption(QStringLiteral("За програмата"));
    btnOK_ = new platform::CommandButton(this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->SetCaption(QStringLiteral("OK"));
    connect(btnOpen_, &platform::CommandButton::Click, this, &HelpForm::btnOpen_Click);
    connect(btnAbout_, &platform::CommandButton::Click, this, &HelpForm::btnAbout_Click);
    connect(btnOK_, &platform::CommandButton::Click, this, &HelpForm::btnOK_Click);
}

void HelpForm::Form_Load() {
    // Every step up to the end of the buttons list fails on its own.
    rt::ContainErrors("HelpForm.Form_Load", [this] {
        ResManager().SetLanguage(this);
        ApplySkinToForm(this);
    });
    rt::ContainErrors("HelpForm.Form_Load", [this] { LoadKeyList(); });
    rt::ContainErrors("HelpForm.Form_Load", [this] { LoadButtonsList(); });
    ApplySizes();
    btnTab_Click(1);
}

void HelpForm::LoadKeyList() {
    rtbHelp_->SetText(QString());
    keyListText_.clear();
    keyLineCount_ = 0;
    keyListWidth_ = 230;
    const int32_t level = Users().ActiveUser().level();
    const int32_t mode = settings_.Communication;
    auto passes = [&](const HotKeyEntry& e) {
        if (level < 2 && e.FunctionId < 5)
            return false;
        return !(mode != 2 && e.FunctionId == 1);
    };
    int keyWidth = 6;
    for (const HotKeyEntry& e : HotKeyTable) {
        if (passes(e))
            keyWidth = std::max(keyWidth, int(KeyToText(e.KeyCode, e.Shift).size()));
    }
    for (size_t i = 0; i < HotKeyTable.size(); ++i) {
        const HotKeyEntry& e = HotKeyTable[i];
        if (!Allowed(e.FunctionId) || !passes(e))
            continue;
        AddKeyLine(AlignText(KeyToText(e.KeyCode, e.Shift), int16_t(keyWidth), 1), e.Name,
                   i + 1 == HotKeyTable.size());
    }
}

void HelpForm::AddKeyLine(const QString& keyText, const QString& name, bool isLast) {
    const QString line = keyText + QStringLiteral(" - ") + name;
    const int32_t width = GetTextWidth(static_cast<const QWidget*>(this), line);
    if (width > keyListWidth_)
        keyListWidth_ = int16_t(std::min<int32_t>(width, INT16_MAX));
    ++keyLineCount_;
    keyListText_ += line;
    if (!isLast)
        keyListText_ += QStringLiteral("\r\n");
    rtbHelp_->SetText(keyListText_);
}

void HelpForm::LoadButtonsList() {
    const int32_t mode = settings_.Communication;
    const int32_t level = Users().ActiveUser().level();
    for (const ButtonRow& row : kButtonRows) {
        bool listed = true;
        switch (row.When) {
            case ButtonRow::Always:
                break;
            case ButtonRow::Mode2:
                listed = mode == 2;
                break;
            case ButtonRow::Modes01:
                listed = mode == 0 || mode == 1;
                break;
            case ButtonRow::Managers:
                listed = level >= 2;
                break;
        }
        if (listed) {
            AddButtonItem(QString::fromLatin1(row.Picture),
                          ResManager().GetResString(QString::fromLatin1(row.Caption)),
                          row.FunctionId);
        }
    }
}

void HelpForm::AddButtonItem(const QString& pictureName, const QString& caption,
                             int32_t functionId) {
    QString text = QStringLiteral(" - ") + caption;
    if (functionId != kFnNone) {
        const QString key = Allowed(functionId)
                                ? GetFunctionKeyText(functionId)
                                : ResManager().GetResString(QStringLiteral("strForbidden"));
        if (!key.isEmpty())
            text += QStringLiteral(" (") + key + QStringLiteral(")");
    }
    // A picture the skin cannot give is not added; the entry then takes the
    // position the image list has.
    imlButtons_->Add(SkinManager().GetButtonPicture(pictureName));
    lvHelp_->AddListItem(text, imlButtons_->Count());
}

HelpForm::Sizes HelpForm::ComputeSizes(int keyListWidth, int keyLineCount, int screenHeightTwips,
                                       int tabsWidth) {
    Sizes s;
    double width = keyListWidth + 390;
    if (width < 7500)
        width = 7500;
    // The window is at least as wide as its three tabs with their captions.
    width = std::max(width, double(tabsWidth - 195));
    double height = 290.0 * keyLineCount;
    const double limit = 0.95 * screenHeightTwips;
    if (height + kFrameHeight > limit) {
        height = limit - kFrameHeight;
        width *= 1.05;
    }
    if (0.75 * width > height)
        height = 0.75 * width;
    s.ListWidth = int(std::lround(width));
    s.ListHeight = int(std::lround(height));
    s.WindowWidth = s.ListWidth + 195;
    s.WindowHeight = s.ListHeight + kFrameHeight;
    return s;
}

void HelpForm::ApplySizes() {
    int widestTab = 0;
    for (const platform::CommandButton* tab : btnTab_)
        widestTab = std::max(widestTab, tab->sizeHint().width());
    const Sizes s = ComputeSizes(keyListWidth_, keyLineCount_,
                                 platform::ScreenHeightPixels() * platform::TwipsPerPixelY(),
                                 int(btnTab_.size()) * widestTab * platform::TwipsPerPixelX());
    keyListWidth_ = int16_t(std::min(s.ListWidth, int(INT16_MAX)));
    const QRect list(PxX(kListLeft), PxY(kListTop), PxX(s.ListWidth), PxY(s.ListHeight));
    rtbHelp_->setGeometry(list);
    lvHelp_->setGeometry(list);
    const int windowWidth = PxX(s.WindowWidth);
    const QSize button(PxX(1215), PxY(450));
    const int buttonTop = list.bottom() + 1 + PxY(105);
    btnOK_->setGeometry((windowWidth - button.width()) / 2, buttonTop, button.width(),
                        button.height());
    btnAbout_->setGeometry(list.right() + 1 - PxX(1800), buttonTop, PxX(1800), button.height());

    const int lineHeight = lblActivefolder_->sizeHint().height();
    rtbError_->setGeometry(list.x(), list.y(), list.width(), list.height() - lineHeight - 1);
    const int openWidth = PxX(450);
    lblActivefolder_->setGeometry(rtbError_->x(), rtbError_->geometry().bottom() + 1 + 1,
                                  rtbError_->width() - openWidth - 1, lineHeight);
    btnOpen_->setGeometry(lblActivefolder_->geometry().right() + 1 + 1, lblActivefolder_->y(),
                          openWidth, lineHeight);
    // The window sizes include the frame: the 95 % cap holds for the whole
    // window, title bar included.
    platform::SetFixedFrameSize(this, QSize(windowWidth, PxY(s.WindowHeight)));
    // A window not yet shown gets its resize event only when it is shown.
    LayoutTabs();
}

void HelpForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutTabs();
}

void HelpForm::LayoutTabs() {
    const int each = width() / 3;
    int left = 0;
    for (platform::CommandButton* tab : btnTab_) {
        tab->setGeometry(left, 0, each, kTabHeightPx);
        left += each;
    }
}

void HelpForm::btnTab_Click(int index) {
    if (index < 0 || index > 2)
        return;
    for (platform::CommandButton* tab : btnTab_) {
        tab->SetValue(tab->Index() == index);
        tab->SetFontBold(false);
        tab->Refresh();
    }
    page_ = index;
    rtbHelp_->setVisible(index == 0);
    lvHelp_->setVisible(index == 1);
    rtbError_->setVisible(index == 2);
    lblActivefolder_->setVisible(index == 2);
    btnOpen_->setVisible(index == 2);
    if (index == 2)
        LoadErrorLog();
}

void HelpForm::LoadErrorLog() {
    const QString path = ErrorLogger().LogFileName();
    lblActivefolder_->setText(path);
    if (!FileExists(path))
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qint64 size = file.size();
    if (size > kLogTailBytes)
        file.seek(size - kLogTailBytes);
    const QByteArray bytes = file.read(kLogTailBytes);
    rtbError_->SetText(platform::FromAnsi(bytes));
    rtbError_->SetSelStart(int(rtbError_->Text().size()));
    rtbError_->ensureCursorVisible();
}

QString HelpForm::LogFolder(const QString& logFileName) {
    // The last path component only: a folder may carry the file's name too.
    const qsizetype slash = logFileName.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return logFileName;
    return slash == 0 ? QStringLiteral("/") : logFileName.left(slash);
}

void HelpForm::btnOpen_Click() {
    const QString folder = LogFolder(ErrorLogger().LogFileName());
    done(QDialog::Accepted);
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void HelpForm::btnAbout_Click() {
    ShowAboutForm(settings_);
    SetTopMost(this);
}

void HelpForm::btnOK_Click() {
    done(QDialog::Accepted);
}

bool HelpForm::PreviewKey(QWidget*, QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        btnOK_Click();
        return true;
    }
    if (key >= Qt::Key_F7 && key <= Qt::Key_F9) {
        btnTab_Click(key - Qt::Key_F7);
        return true;
    }
    const int shift = platform::ShiftStateFromModifiers(event->modifiers());
    if (shift == 1 || shift == 2) {
        if (const int digit = PageDigit(event)) {
            btnTab_Click(digit - 1);
            return true;
        }
    }
    return false;
}

bool HelpForm::ControlEvent(QWidget* control, QEvent* event) {
    if (control == lblActivefolder_ && event->type() == QEvent::FocusIn)
        SelectAllText(lblActivefolder_);
    return false;
}

void ShowHelpForm(const ConfigurationRecord& settings) {
    HelpForm form(settings);
    Shown() = &form;
    form.exec();
}

void UnloadHelpForm() {
    if (HelpForm* form = Shown())
        form->done(QDialog::Rejected);
}
