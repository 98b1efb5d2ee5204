#include "platform/controls/RichTextBox.h"

#include <QScrollBar>
#include <QTextCursor>

namespace platform {

RichTextBox::RichTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void RichTextBox::SetText(const QString& text) {
    // Line ends come as CR LF from the files and the dictionary.
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(t);
}

int RichTextBox::SelStart() const {
    return textCursor().position();
}

void RichTextBox::SetSelStart(int position) {
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    setTextCursor(c);
    ensureCursorVisible();
}

void RichTextBox::ClearSelection() {
    const int vertical = verticalScrollBar()->value();
    const int horizontal = horizontalScrollBar()->value();
    QTextCursor c = textCursor();
    c.setPosition(0);
    setTextCursor(c);
    verticalScrollBar()->setValue(vertical);
    horizontalScrollBar()->setValue(horizontal);
}

QColor RichTextBox::BackColor() const {
    return palette().color(QPalette::Base);
}

void RichTextBox::SetBackColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
}

}  // namespace platform
