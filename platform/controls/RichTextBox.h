#pragma once

#include <QPlainTextEdit>

namespace platform {

// The rich-text box of the windows, used for plain text: the order panels and
// the help window's lists. Text() and SetText() carry the whole text; SelStart
// places the caret (a character position).
class RichTextBox final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit RichTextBox(QWidget* parent = nullptr);

    QString Text() const { return toPlainText(); }
    void SetText(const QString& text);
    int SelStart() const;
    void SetSelStart(int position);
    // The caret to the start with nothing selected, the view left where it
    // is (SetSelStart scrolls the caret into view).
    void ClearSelection();
    bool Locked() const { return isReadOnly(); }
    void SetLocked(bool locked) { setReadOnly(locked); }
    QColor BackColor() const;
    void SetBackColor(const QColor& color);
};

}  // namespace platform
