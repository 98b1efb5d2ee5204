// The hyperlink label of the about box.
#include "dialogs/LinkLabel.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QUrl>
#include <array>

#include "platform/controls/ControlIndex.h"

namespace {

constexpr std::array<const char*, 9> kPrefixes{"ftp://",   "gopher://", "http://",
                                               "https://", "mailto:",   "news:",
                                               "telnet:",  "wais:",     "file:///"};

// The number the report gives when the handler did not start: the runtime's
// "File not found", as a shell command that cannot be started raises it.
constexpr int kHandlerNotStarted = 53;

QString ApplicationTitle() {
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

}  // namespace

LinkLabel::LinkLabel(QWidget* parent) : QWidget(parent) {
    lblurl_ = new QLabel(this);
    lblurl_->setObjectName(QStringLiteral("lblurl"));
    // The URL is shown as written, also when it looks like markup; the click
    // is the control's own, not a link inside the label's text.
    lblurl_->setTextFormat(Qt::PlainText);
    lblurl_->setText(QString::fromLatin1(kLinkLabelDefaultURL));
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setUnderline(true);
    lblurl_->setFont(font);
    QPalette palette = lblurl_->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    lblurl_->setPalette(palette);
    lblurl_->setCursor(Qt::PointingHandCursor);
    lblurl_->installEventFilter(this);

    // A top-level menu, never shown in a menu bar.
    mnumain_ = new QMenu(QStringLiteral("Main"), this);
    mnumain_->setObjectName(QStringLiteral("mnumain"));
    mnucopy_ = mnumain_->addAction(QStringLiteral("&Copy URL"));
    mnucopy_->setObjectName(QStringLiteral("mnucopy"));
    mnumain_->setDefaultAction(mnucopy_);
    connect(mnucopy_, &QAction::triggered, this, &LinkLabel::mnucopy_Click);

    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // One control for the skin and the translator: they must not re-colour or
    // re-caption the inner label. The control paints no background of its own,
    // so its container's colour stays behind it, also when the container is
    // re-coloured later.
    platform::SetCompositeControl(this);
    FitToLabel();
}

QString LinkLabel::URL() const {
    return lblurl_->text();
}

void LinkLabel::SetURL(const QString& url) {
    if (url.isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("Invalid URL...!"),
                              QStringLiteral("URL Can't be Blank"));
        return;
    }
    lblurl_->setText(url);
    FitToLabel();
    emit PropertyChanged(QStringLiteral("URL"));
}

void LinkLabel::SetProtocol(int32_t protocol) {
    protocol_ = protocol;
    emit PropertyChanged(QStringLiteral("Protocol"));
}

void LinkLabel::SetCustomProtocol(const QString& prefix) {
    customProtocol_ = prefix;
    emit PropertyChanged(QStringLiteral("CustomProtocol"));
}

QString LinkLabel::ProtocolPrefix(int32_t protocol, const QString& customProtocol) {
    if (protocol >= 0 && protocol < int32_t(kPrefixes.size()))
        return QString::fromLatin1(kPrefixes[size_t(protocol)]);
    if (protocol == 9)
        return customProtocol;
    return QString();
}

QString LinkLabel::Target() const {
    if (protocol_ < 0 || protocol_ > 9)
        return QString();
    return ProtocolPrefix(protocol_, customProtocol_) + URL();
}

void LinkLabel::CallClick() {
    const QString target = Target();
    // An empty target hands the handler nothing to open; there is nothing to
    // report either.
    if (target.isEmpty())
        return;
    const QUrl url(target, QUrl::TolerantMode);
    if (url.isValid() && QDesktopServices::openUrl(url))
        return;
    const QString description =
        url.isValid() ? QStringLiteral("The URL handler could not be started") : url.errorString();
    QMessageBox::critical(this, QStringLiteral("Error occurred...!"),
                          ApplicationTitle() + QStringLiteral(" can not open the specified URL.") +
                              QStringLiteral("\r\n\r\n") +
                              QStringLiteral("The access to the associated applications maybe "
                                             "denied.") +
                              QStringLiteral("\r\n\r\n") + QStringLiteral("Error Details : ") +
                              description + QStringLiteral(" , ") +
                              QString::number(kHandlerNotStarted));
}

void LinkLabel::mnucopy_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(URL());
}

void LinkLabel::ReadProperties(const QVariantMap& bag) {
    lblurl_->setText(
        bag.value(QStringLiteral("URL"), QString::fromLatin1(kLinkLabelDefaultURL)).toString());
    protocol_ = bag.value(QStringLiteral("Protocol"), 2).toInt();
    customProtocol_ = bag.value(QStringLiteral("CustomProtocol"), QString()).toString();
    FitToLabel();
}

QVariantMap LinkLabel::WriteProperties() const {
    QVariantMap bag;
    if (URL() != QLatin1String(kLinkLabelDefaultURL))
        bag.insert(QStringLiteral("URL"), URL());
    if (protocol_ != 2)
        bag.insert(QStringLiteral("Protocol"), protocol_);
    if (!customProtocol_.isEmpty())
        bag.insert(QStringLiteral("CustomProtocol"), customProtocol_);
    return bag;
}

QSize LinkLabel::sizeHint() const {
    return lblurl_->sizeHint();
}

bool LinkLabel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblurl_ && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            lblurl_->rect().contains(mouse->position().toPoint())) {
            CallClick();
            return true;
        }
        if (mouse->button() == Qt::RightButton) {
            // The default item is the highlighted one: Enter chooses it.
            mnumain_->popup(lblurl_->mapToGlobal(QPoint(0, lblurl_->height())));
            mnumain_->setActiveAction(mnucopy_);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LinkLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitToLabel();
}

void LinkLabel::FitToLabel() {
    lblurl_->move(0, 0);
    const QSize size = lblurl_->sizeHint();
    lblurl_->resize(size);
    if (this->size() != size)
        resize(size);
    updateGeometry();
}
