#pragma once

#include <QPixmap>
#include <QToolButton>

namespace platform {

// The command button of every window: caption, tag, picture, tool tip,
// enabled state and a pressed state ("Value") that the program sets, never the
// mouse. A pressed button shows its caption bold (tab buttons use it as their
// selected state). Members of an indexed group share the objectName and carry
// their index (ControlIndex.h); Click() and ClickIndex(index) fire on a press
// by the mouse, the keyboard or Press().
class CommandButton final : public QToolButton {
    Q_OBJECT
public:
    explicit CommandButton(QWidget* parent = nullptr);
    CommandButton(const QString& name, int index, QWidget* parent);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);
    QString Tag() const;
    void SetTag(const QString& tag);
    QPixmap Picture() const { return picture_; }
    void SetPicture(const QPixmap& picture);
    QString ToolTipText() const { return toolTip(); }
    void SetToolTipText(const QString& text) { setToolTip(text); }
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool enabled) { setEnabled(enabled); }
    bool Value() const { return value_; }
    void SetValue(bool pressed);
    bool FontBold() const { return font().bold(); }
    void SetFontBold(bool bold);
    int Index() const;

    // Clicks the button as the user would; nothing happens while disabled.
    void Press();
    // Repaints the button now, after its state or caption changed.
    void Refresh() { repaint(); }

signals:
    void Click();
    void ClickIndex(int index);

protected:
    void nextCheckState() override {}
    // Enter presses a focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateStyle();

    QPixmap picture_;
    bool value_ = false;
};

}  // namespace platform
