#pragma once

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

class DataGrid;

// The skin component: colour schemes ("Default", "Blue", "Lila", "Lime"),
// their colours, button pictures drawn by the program, and the calls that
// give a control the scheme's look. Callers address it by the member names
// the windows use; an unknown scheme name selects "Default".
class SkinManager final {
public:
    SkinManager();

    QString SelectedSkin() const;
    void SetSelectedSkin(const QString& name);
    int Count() const;
    // The scheme name at a 0-based index; empty text outside the list.
    QString Item(int index) const;

    QColor BackColorWindow() const;
    QColor BackColorDark() const;
    QColor BackColor() const;
    QColor OddRowsColor() const;
    QColor ForeColor() const;
    QColor ButtonColor() const;
    // Picture sizes in pixels: the login keypad's and the default one.
    int IconsizeSmall() const { return 32; }
    int IconsizeLarge() const { return 48; }

    // The named picture ("Navigate_Left", "Kestrelle", "Seven", ...; names
    // compare without case) drawn at size × size pixels, size 0 meaning the
    // large size. A null picture for a name it does not know. A picture is
    // drawn once per scheme and size and handed out again: a button given the
    // same picture again then finds the shades Qt derived from it (disabled,
    // pressed) in its pixmap cache instead of filling the cache with new ones.
    QPixmap GetButtonPicture(const QString& name, int size = 0) const;
    static QStringList PictureNames();

    void SetButtonDefaultStyle(QWidget* button) const;
    void SetLabelDefaultStyle(QWidget* label) const;
    void SetPictureDefaultStyle(QWidget* picture) const;
    void SetFrameDefaultStyle(QWidget* frame) const;
    void SetCheckBoxDefaultStyle(QWidget* checkBox) const;
    void SetOptionButtonDefaultStyle(QWidget* optionButton) const;
    void SetGridBackColor(DataGrid* grid, bool alternate) const;
    void SetTabButtonStyle(QWidget* button) const;

    // Sets the widget's background role colour and has it painted.
    static void SetBackColor(QWidget* widget, const QColor& color);

private:
    struct Scheme {
        QString Name;
        QColor Window, Dark, Back, OddRows, Fore, Button, Accent;
    };
    const Scheme& Current() const;

    int selected_ = 0;
    mutable QHash<QString, QPixmap> pictures_;
};

}  // namespace platform
