#include "platform/controls/CommandButton.h"

#include <QKeyEvent>

#include "platform/controls/ControlIndex.h"

namespace platform {

CommandButton::CommandButton(QWidget* parent) : QToolButton(parent) {
    setCheckable(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFocusPolicy(Qt::StrongFocus);
    setAutoRaise(false);
    connect(this, &QToolButton::clicked, this, [this] {
        emit Click();
        emit ClickIndex(Index());
    });
}

CommandButton::CommandButton(const QString& name, int index, QWidget* parent)
    : CommandButton(parent) {
    setObjectName(name);
    SetControlIndex(this, index);
}

void CommandButton::SetCaption(const QString& caption) {
    setText(caption);
    UpdateStyle();
}

QString CommandButton::Tag() const {
    return ControlTag(this);
}

void CommandButton::SetTag(const QString& tag) {
    SetControlTag(this, tag);
}

void CommandButton::SetPicture(const QPixmap& picture) {
    // The same picture again (the blink of Finish): the icon stays, and with
    // it the shades Qt has already derived from it.
    if (picture.cacheKey() == picture_.cacheKey() && !picture.isNull())
        return;
    picture_ = picture;
    setIcon(picture.isNull() ? QIcon() : QIcon(picture));
    if (!picture.isNull())
        setIconSize(picture.deviceIndependentSize().toSize());
    UpdateStyle();
}

void CommandButton::SetValue(bool pressed) {
    value_ = pressed;
    setChecked(pressed);
    SetFontBold(pressed);
}

void CommandButton::SetFontBold(bool bold) {
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

int CommandButton::Index() const {
    return ControlIndex(this);
}

void CommandButton::Press() {
    if (isEnabled())
        click();
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Press();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void CommandButton::UpdateStyle() {
    if (picture_.isNull())
        setToolButtonStyle(Qt::ToolButtonTextOnly);
    else if (text().isEmpty())
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    else
        setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

}  // namespace platform
