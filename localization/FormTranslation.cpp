// Window translation: captions and control texts from the dictionary.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>
#include <functional>

#include "core/ModCommon.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/ListView.h"
#include "platform/controls/RichTextBox.h"

namespace {

// Qt fonts carry no character set: the set a window would use is kept on the
// control for whoever draws or tests it ("Charset", and "HeadCharset" for a
// grid's header).
void SetCharset(QWidget* control, int16_t charset, const char* property = "Charset") {
    control->setProperty(property, int(charset));
}

// A control of the window's own design has a name; Qt's inner parts of a
// composite control (a combo's line edit, a grid's viewport) have none or a
// "qt_" one and are not controls of the window.
bool IsWindowControl(const QWidget* w) {
    const QString name = w->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

}  // namespace

void ResManagerClass::SetLanguage(QWidget* window, const QString& languageIn) {
    if (!window)
        return;
    const QString file = DictionaryFile();
    if (file.isEmpty() || !FileExists(file))
        return;
    const QString language = languageIn.isEmpty() ? currentLanguage_ : languageIn;
    const QString form = window->objectName();
    // The texts are in the code page of their own language; the fonts below
    // take the current language's character set.
    const int32_t textCharset = LanguageCharset(language);
    // A value that is blank leaves the text as it is; any other is set as read.
    auto read = [&](const QString& key, const std::function<void(const QString&)>& apply) {
        const QString value = ReadDictionaryText(file, key, language, textCharset, 255);
        if (!rt::Trim(value).isEmpty())
            apply(value);
    };
    read(form + QStringLiteral("|ME"), [&](const QString& v) { window->setWindowTitle(v); });

    const int16_t charset = CurrentCharset();
    // Handlers run by the text changes below may delete controls.
    QList<QPointer<QWidget>> controls;
    for (QWidget* c : platform::WindowControls(window)) {
        if (IsWindowControl(c))
            controls.append(c);
    }
    for (const QPointer<QWidget>& guarded : controls) {
        QWidget* c = guarded.data();
        if (!c)
            continue;
        const QString plain = form + QLatin1Char('|') + c->objectName();
        if (auto* rtb = qobject_cast<platform::RichTextBox*>(c)) {
            read(plain, [&](const QString& v) { rtb->SetText(v); });
        } else if (auto* line = qobject_cast<QLineEdit*>(c)) {
            read(plain, [&](const QString& v) { line->setText(v); });
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(c)) {
            read(plain, [&](const QString& v) { text->setPlainText(v); });
        } else if (auto* rich = qobject_cast<QTextEdit*>(c)) {
            read(plain, [&](const QString& v) { rich->setPlainText(v); });
        } else if (auto* button = qobject_cast<platform::CommandButton*>(c)) {
            const QString key = platform::HasControlIndex(button)
                                    ? plain + QLatin1Char('|') + QString::number(button->Index())
                                    : plain;
            read(key, [&](const QString& v) { button->SetCaption(v); });
        } else if (auto* push = qobject_cast<QPushButton*>(c)) {
            read(plain, [&](const QString& v) { push->setText(v); });
        } else if (auto* check = qobject_cast<QCheckBox*>(c)) {
            read(plain, [&](const QString& v) { check->setText(v); });
        } else if (auto* label = qobject_cast<QLabel*>(c)) {
            SetCharset(label, charset);
            read(plain, [&](const QString& v) { label->setText(v); });
        } else if (auto* frame = qobject_cast<QGroupBox*>(c)) {
            read(plain, [&](const QString& v) { frame->setTitle(v); });
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            SetCharset(combo, charset);
            const int count = combo->count();
            for (int j = 0; j < count && j < combo->count(); ++j) {
                read(plain + QLatin1Char('|') + QString::number(j),
                     [&](const QString& v) { combo->setItemText(j, v); });
            }
        } else if (auto* grid = qobject_cast<platform::DataGrid*>(c)) {
            SetCharset(grid, charset);
            SetCharset(grid, charset, "HeadCharset");
            const int count = grid->ColumnCount();
            for (int j = 0; j < count; ++j) {
                read(plain + QLatin1Char('|') + QString::number(j),
                     [&](const QString& v) { grid->SetColumnCaption(j, v); });
            }
        } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
            const int count = tabs->count();
            for (int j = 0; j < count; ++j) {
                read(plain + QLatin1Char('|') + QString::number(j),
                     [&](const QString& v) { tabs->setTabText(j, v); });
            }
        } else if (qobject_cast<platform::ListView*>(c)) {
            SetCharset(c, charset);
        }
    }
}
