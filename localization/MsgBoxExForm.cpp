#include "localization/MsgBoxExForm.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <cmath>

#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModSpecialFolders.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ListView.h"
#include "platform/controls/SkinManager.h"

MsgBoxStyleParts ParseMsgBoxStyle(int64_t style) {
    MsgBoxStyleParts p;
    if (style < INT16_MIN || style > INT16_MAX)
        return p;
    // Remainders keep the sign of the style, as the platform's do: a negative
    // style gives negative parts, which are out of range.
    const int64_t v = style % 65536;
    p.DefaultButton = int((v % 4096) / 256);
    p.Icon = int((v % 256) / 16);
    p.ButtonSet = int(v % 16);
    if (p.DefaultButton < 0 || p.DefaultButton > 3)
        p.DefaultButton = 0;
    if (p.Icon < 0 || p.Icon > 4)
        p.Icon = 0;
    if (p.ButtonSet < 0 || p.ButtonSet > 5)
        p.ButtonSet = 0;
    return p;
}

MsgBoxButtonSet MsgBoxButtons(int buttonSet) {
    const QString ok = QStringLiteral("strVBOk"), cancel = QStringLiteral("strVBCancel"),
                  abort = QStringLiteral("strVBAbort"), retry = QStringLiteral("strVBRetry"),
                  ignore = QStringLiteral("strVBIgnore"), yes = QStringLiteral("strVBYes"),
                  no = QStringLiteral("strVBNo");
    switch (buttonSet) {
        case 1:
            return {{{ok, kMsgOk}, {cancel, kMsgCancel}}, kMsgCancel, 2};
        case 2:
            return {{{abort, kMsgAbort}, {retry, kMsgRetry}, {ignore, kMsgIgnore}}, kMsgRetry, 0};
        case 3:
            return {{{yes, kMsgYes}, {no, kMsgNo}, {cancel, kMsgCancel}}, kMsgCancel, 0};
        case 4:
            return {{{yes, kMsgYes}, {no, kMsgNo}}, kMsgNo, 0};
        case 5:
            return {{{retry, kMsgRetry}, {cancel, kMsgCancel}}, kMsgCancel, 2};
        default:
            return {{{ok, kMsgOk}}, kMsgOk, 1};
    }
}

namespace {

QString EnglishCaption(const QString& key) {
    if (key == QLatin1String("strVBOk"))
        return QStringLiteral("OK");
    if (key == QLatin1String("strVBCancel"))
        return QStringLiteral("Cancel");
    if (key == QLatin1String("strVBAbort"))
        return QStringLiteral("Abort");
    if (key == QLatin1String("strVBRetry"))
        return QStringLiteral("Retry");
    if (key == QLatin1String("strVBIgnore"))
        return QStringLiteral("Ignore");
    if (key == QLatin1String("strVBYes"))
        return QStringLiteral("Yes");
    return QStringLiteral("No");
}

QTextOption PromptWrapping(Qt::Alignment alignment) {
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// The height of a text wrapped at word boundaries, and anywhere inside a word
// wider than the line, as QPainter::drawText lays it out.
int WrappedTextHeight(const QFont& font, const QString& text, int width) {
    QTextLayout layout(text, font);
    layout.setTextOption(PromptWrapping(Qt::AlignLeft));
    const qreal leading = QFontMetricsF(font).leading();
    qreal height = -leading;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        height += leading;
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return int(std::ceil(std::max<qreal>(height, 0)));
}

// A line of the prompt. The prompt is plain text whatever it looks like (it
// may hold a name or path someone typed). A wrapped line breaks at word
// boundaries and inside a word that is wider than the line, so nothing is cut
// off on the right; its height for a width is the height of that wrapping.
class PromptLabel final : public QLabel {
public:
    explicit PromptLabel(QWidget* parent) : QLabel(parent) {
        setObjectName(QStringLiteral("lblMessage"));
        setTextFormat(Qt::PlainText);
    }
    int heightForWidth(int width) const override {
        if (!wordWrap())
            return QLabel::heightForWidth(width);
        const QMargins m = contentsMargins();
        return WrappedTextHeight(font(), text(), width - m.left() - m.right()) + m.top() +
               m.bottom();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!wordWrap()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
        painter.drawText(QRectF(contentsRect()), text(), PromptWrapping(alignment()));
    }
};

// The character set the configuration stores for the language, else the
// language's default.
int32_t LanguageCharset(const QString& language, const QString& configFile) {
    const QString stored = rt::Trim(ReadIniValue(
        QStringLiteral("Languages"), QStringLiteral("charset_") + language, configFile, 255));
    if (stored.isEmpty())
        return ResManagerClass::GetCharsetDefault(language);
    const double charset = rt::Val(stored);
    return (charset > INT32_MAX || charset < INT32_MIN) ? 1 : int32_t(charset);
}

QPixmap IconPicture(QStyle* style, int icon) {
    static const QStyle::StandardPixmap kinds[] = {
        QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxQuestion, QStyle::SP_MessageBoxWarning,
        QStyle::SP_MessageBoxInformation};
    return style->standardIcon(kinds[icon - 1]).pixmap(32, 32);
}

}  // namespace

MsgBoxExForm::MsgBoxExForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MsgBoxExForm"));
    setModal(true);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    images_ = new platform::ImageList(this);
    for (int i = 1; i <= 4; ++i)
        images_->Add(IconPicture(style(), i));
    imgIcon_ = new QLabel(this);
    imgIcon_->setObjectName(QStringLiteral("imgIcon"));
    auto* first = new PromptLabel(this);
    first->setProperty("Index", 0);
    lblMessage_.append(first);
    frmButtons_ = new QFrame(this);
    frmButtons_->setObjectName(QStringLiteral("frmButtons"));
    auto* button = new platform::CommandButton(QStringLiteral("btnResult"), 1, frmButtons_);
    connect(button, &platform::CommandButton::ClickIndex, this,
            [this](int i) { btnResult_Click(i); });
    btnResult_.append(button);
}

QString MsgBoxExForm::ConfigFile() const {
    return rt::Trim(configFile_).isEmpty() ? GetAppConfigFilePath(kAppKestrelle, true)
                                           : configFile_;
}

void MsgBoxExForm::FormLoad() {
    if (loaded_)
        return;
    loaded_ = true;
    ApplyMessageSkin();
    DisableCloseButton(this);

    parts_ = ParseMsgBoxStyle(style_);
    const MsgBoxButtonSet set = MsgBoxButtons(parts_.ButtonSet);
    for (int i = 0; i < set.Buttons.size(); ++i)
        LoadResultButton(i + 1, set.Buttons[i].first, set.Buttons[i].second);
    result_ = set.ClosingResult;

    if (parts_.Icon >= 1 && parts_.Icon <= 4) {
        imgIcon_->setPixmap(images_->Picture(parts_.Icon));
        imgIcon_->resize(imgIcon_->pixmap().deviceIndependentSize().toSize());
        imgIcon_->show();
    } else {
        imgIcon_->clear();
        imgIcon_->hide();
    }

    if (messageFont_)
        lblMessage_[0]->setFont(*messageFont_);
    // A lone line feed ends a line as CR LF does.
    static const QRegularExpression lineEnd(QStringLiteral("\r?\n"));
    const QStringList lines = prompt_.split(lineEnd);
    if (lines.size() == 1) {
        lblMessage_[0]->setText(prompt_);
    } else {
        for (int i = 0; i < lines.size(); ++i) {
            if (i >= lblMessage_.size()) {
                auto* label = new PromptLabel(this);
                label->setProperty("Index", i);
                label->setFont(lblMessage_[0]->font());
                label->setPalette(lblMessage_[0]->palette());
                label->show();
                lblMessage_.append(label);
            }
            lblMessage_[i]->setText(lines[i]);
        }
    }
    ArrangeControls();
}

void MsgBoxExForm::ApplyMessageSkin() {
    // A skin component of its own: the box can be shown before the program's
    // one exists, and must not change it.
    platform::SkinManager skin;
    QString scheme = QStringLiteral("Default");
    const QString config = ConfigFile();
    if (FileExists(config)) {
        const QString v =
            rt::Trim(ReadIniValue(QStringLiteral("Skin"), QStringLiteral("Value"), config, 255));
        if (v == QLatin1String("1"))
            scheme = QStringLiteral("Blue");
        else if (v == QLatin1String("2"))
            scheme = QStringLiteral("Lila");
    }
    skin.SetSelectedSkin(scheme);
    setProperty("SkinName", skin.SelectedSkin());
    platform::SkinManager::SetBackColor(this, skin.BackColorWindow());
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<platform::CommandButton*>(w))
            skin.SetButtonDefaultStyle(w);
        else if (qobject_cast<QLabel*>(w))
            skin.SetLabelDefaultStyle(w);
        else if (w == frmButtons_)
            skin.SetFrameDefaultStyle(w);
    }
}

void MsgBoxExForm::LoadResultButton(int number, const QString& captionKey, int32_t result) {
    platform::CommandButton* button = nullptr;
    if (number - 1 < btnResult_.size()) {
        button = btnResult_[number - 1];
    } else {
        button = new platform::CommandButton(QStringLiteral("btnResult"), number, frmButtons_);
        button->setPalette(btnResult_[0]->palette());
        connect(button, &platform::CommandButton::ClickIndex, this,
                [this](int i) { btnResult_Click(i); });
        btnResult_.append(button);
    }
    QString language = QStringLiteral("EN");
    if (!rt::Trim(dictionaryFile_).isEmpty() && FileExists(dictionaryFile_))
        language = rt::Trim(
            ReadIniValue(QStringLiteral("Language"), QStringLiteral("Value"), ConfigFile(), 255));
    QString caption = rt::Trim(ReadDictionaryText(dictionaryFile_, captionKey, language,
                                                  LanguageCharset(language, ConfigFile()), 255));
    if (caption.isEmpty())
        caption = EnglishCaption(captionKey);
    button->SetCaption(caption);
    button->SetTag(QString::number(result));
    button->show();
}

void MsgBoxExForm::ArrangeControls() {
    const int gap = kGap;
    // Buttons in one row, the frame exactly as wide as the row.
    int x = 0;
    for (platform::CommandButton* b : btnResult_) {
        b->setGeometry(x, 0, kButtonWidth, kButtonHeight);
        x += kButtonWidth + gap;
    }
    const int frameWidth = x - gap;
    frmButtons_->resize(frameWidth, kButtonHeight);

    const bool hasIcon = parts_.Icon >= 1 && parts_.Icon <= 4;
    imgIcon_->move(2 * gap, 2 * gap);
    const int linesLeft = hasIcon ? imgIcon_->geometry().right() + 1 + gap : 2 * gap;

    const int maxWidth = int(platform::ScreenWidthPixels() * 0.55);
    int top = 2 * gap;
    int widest = 0;
    for (QLabel* label : lblMessage_) {
        const QFont f = label->font();
        const int width = platform::TextWidthPixels(f, label->text());
        const int lineHeight = platform::TextHeightPixels(f, QStringLiteral("Ag"));
        if (width > maxWidth) {
            // A line too wide wraps inside its label, as tall as its text.
            label->setWordWrap(true);
            label->setGeometry(linesLeft, top, maxWidth, label->heightForWidth(maxWidth));
        } else {
            label->setWordWrap(false);
            label->setGeometry(linesLeft, top, width, lineHeight);
        }
        widest = std::max(widest, label->width());
        top += label->height();
    }
    int linesBottom = top;
    const int iconBottom = imgIcon_->y() + imgIcon_->height();
    if (hasIcon && iconBottom > linesBottom) {
        // Centre the block of lines on the icon.
        const int shift = (imgIcon_->height() - (linesBottom - 2 * gap)) / 2;
        for (QLabel* label : lblMessage_)
            label->move(label->x(), label->y() + shift);
        linesBottom += shift;
    }
    const int frameTop =
        (hasIcon && iconBottom > linesBottom) ? iconBottom + 4 * gap : linesBottom + 2 * gap;

    const int innerWidth = std::max(linesLeft + widest + 2 * gap, frameWidth + 4 * gap);
    const int innerHeight = frameTop + kButtonHeight + 2 * gap;
    setFixedSize(innerWidth, innerHeight);
    frmButtons_->move((innerWidth - frameWidth) / 2, frameTop);

    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, innerWidth, innerHeight);
    move(screen.x() + (screen.width() - innerWidth) / 2,
         screen.y() + (screen.height() - innerHeight) / 2);
}

void MsgBoxExForm::setVisible(bool visible) {
    if (visible)
        FormLoad();
    QDialog::setVisible(visible);
}

void MsgBoxExForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Activation: the normal pointer, the focus on the default button, on top.
    SetHourglass(false);
    const int focus = parts_.DefaultButton;
    if (focus < btnResult_.size())
        btnResult_[focus]->setFocus(Qt::OtherFocusReason);
    raise();
    activateWindow();
}

void MsgBoxExForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        const int n = MsgBoxButtons(parts_.ButtonSet).EscapeButton;
        if (n >= 1 && n <= btnResult_.size())
            btnResult_[n - 1]->Press();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MsgBoxExForm::reject() {
    // Every close that is not a button (the window manager's, Alt+F4) ends
    // the modal display with the kept result.
    done(result_);
}

void MsgBoxExForm::btnResult_Click(int index) {
    if (index < 1 || index > btnResult_.size())
        return;
    result_ = int32_t(rt::Val(btnResult_[index - 1]->Tag()));
    done(result_);
}
