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

// The window's caption is marked on the window apart from its own control
// text.
constexpr int kCaptionMark = -2;

const char* const kTranslatedProperty = "TranslatedTexts";

void MarkTranslated(QWidget* control, int j, const QString& text) {
    QVariantMap marks = control->property(kTranslatedProperty).toMap();
    marks.insert(QString::number(j), text);
    control->setProperty(kTranslatedProperty, marks);
}

// Whether the text is the one the last translation set at that position.
bool IsTranslatedText(const QWidget* control, int j, const QString& text) {
    const QVariant mark = control->property(kTranslatedProperty).toMap().value(QString::number(j));
    return mark.isValid() && mark.toString() == text;
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
    // Each text set is marked on its control (position j of its items, -1 for
    // the control's own text), so that undoing a preview can tell it from a
    // text the window set since.
    auto read = [&](const QString& key, QWidget* control, int j,
                    const std::function<void(const QString&)>& apply) {
        const QString value = ReadDictionaryText(file, key, language, textCharset, 255);
        if (!rt::Trim(value).isEmpty()) {
            apply(value);
            MarkTranslated(control, j, value);
        }
    };
    read(form + QStringLiteral("|ME"), window, kCaptionMark,
         [&](const QString& v) { window->setWindowTitle(v); });

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
            read(plain, c, -1, [&](const QString& v) { rtb->SetText(v); });
        } else if (auto* line = qobject_cast<QLineEdit*>(c)) {
            read(plain, c, -1, [&](const QString& v) { line->setText(v); });
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(c)) {
            read(plain, c, -1, [&](const QString& v) { text->setPlainText(v); });
        } else if (auto* rich = qobject_cast<QTextEdit*>(c)) {
            read(plain, c, -1, [&](const QString& v) { rich->setPlainText(v); });
        } else if (auto* button = qobject_cast<platform::CommandButton*>(c)) {
            const QString key = platform::HasControlIndex(button)
                                    ? plain + QLatin1Char('|') + QString::number(button->Index())
                                    : plain;
            read(key, c, -1, [&](const QString& v) { button->SetCaption(v); });
        } else if (auto* push = qobject_cast<QPushButton*>(c)) {
            read(plain, c, -1, [&](const QString& v) { push->setText(v); });
        } else if (auto* check = qobject_cast<QCheckBox*>(c)) {
            read(plain, c, -1, [&](const QString& v) { check->setText(v); });
        } else if (auto* label = qobject_cast<QLabel*>(c)) {
            SetCharset(label, charset);
            // A dictionary text is shown as written, also when it looks
            // like markup.
            read(plain, c, -1, [&](const QString& v) {
                label->setTextFormat(Qt::PlainText);
                label->setText(v);
            });
        } else if (auto* frame = qobject_cast<QGroupBox*>(c)) {
            read(plain, c, -1, [&](const QString& v) { frame->setTitle(v); });
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            SetCharset(combo, charset);
            const int count = combo->count();
            for (int j = 0; j < count && j < combo->count(); ++j) {
                read(plain + QLatin1Char('|') + QString::number(j), c, j,
                     [&](const QString& v) { combo->setItemText(j, v); });
            }
        } else if (auto* grid = qobject_cast<platform::DataGrid*>(c)) {
            SetCharset(grid, charset);
            SetCharset(grid, charset, "HeadCharset");
            const int count = grid->ColumnCount();
            for (int j = 0; j < count; ++j) {
                read(plain + QLatin1Char('|') + QString::number(j), c, j,
                     [&](const QString& v) { grid->SetColumnCaption(j, v); });
            }
        } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
            const int count = tabs->count();
            for (int j = 0; j < count; ++j) {
                read(plain + QLatin1Char('|') + QString::number(j), c, j,
                     [&](const QString& v) { tabs->setTabText(j, v); });
            }
        } else if (qobject_cast<platform::ListView*>(c)) {
            SetCharset(c, charset);
        }
    }
}

WindowTexts CaptureWindowTexts(QWidget* window) {
    WindowTexts texts;
    if (!window)
        return texts;
    // A text is put back only while it is still the one a translation set:
    // what the window wrote since (a status line, an order) stays.
    auto add = [&texts](QWidget* w, int j, const QString& was, std::function<QString()> current,
                        std::function<void(const QString&)> set) {
        texts.Restorers.push_back([guard = QPointer<QWidget>(w), j, was,
                                   current = std::move(current), set = std::move(set)] {
            if (!guard)
                return;
            const QString now = current();
            if (now != was && IsTranslatedText(guard, j, now))
                set(was);
        });
    };
    add(
        window, kCaptionMark, window->windowTitle(), [window] { return window->windowTitle(); },
        [window](const QString& v) { window->setWindowTitle(v); });
    for (QWidget* c : platform::WindowControls(window)) {
        if (!IsWindowControl(c))
            continue;
        if (auto* rtb = qobject_cast<platform::RichTextBox*>(c)) {
            add(
                c, -1, rtb->Text(), [rtb] { return rtb->Text(); },
                [rtb](const QString& v) { rtb->SetText(v); });
        } else if (auto* line = qobject_cast<QLineEdit*>(c)) {
            add(
                c, -1, line->text(), [line] { return line->text(); },
                [line](const QString& v) { line->setText(v); });
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(c)) {
            add(
                c, -1, text->toPlainText(), [text] { return text->toPlainText(); },
                [text](const QString& v) { text->setPlainText(v); });
        } else if (auto* rich = qobject_cast<QTextEdit*>(c)) {
            add(
                c, -1, rich->toPlainText(), [rich] { return rich->toPlainText(); },
                [rich](const QString& v) { rich->setPlainText(v); });
        } else if (auto* button = qobject_cast<platform::CommandButton*>(c)) {
            add(
                c, -1, button->Caption(), [button] { return button->Caption(); },
                [button](const QString& v) { button->SetCaption(v); });
        } else if (auto* push = qobject_cast<QPushButton*>(c)) {
            add(
                c, -1, push->text(), [push] { return push->text(); },
                [push](const QString& v) { push->setText(v); });
        } else if (auto* check = qobject_cast<QCheckBox*>(c)) {
            add(
                c, -1, check->text(), [check] { return check->text(); },
                [check](const QString& v) { check->setText(v); });
        } else if (auto* label = qobject_cast<QLabel*>(c)) {
            add(
                c, -1, label->text(), [label] { return label->text(); },
                [label](const QString& v) { label->setText(v); });
        } else if (auto* frame = qobject_cast<QGroupBox*>(c)) {
            add(
                c, -1, frame->title(), [frame] { return frame->title(); },
                [frame](const QString& v) { frame->setTitle(v); });
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            for (int j = 0; j < combo->count(); ++j) {
                add(
                    c, j, combo->itemText(j),
                    [combo, j] { return j < combo->count() ? combo->itemText(j) : QString(); },
                    [combo, j](const QString& v) { combo->setItemText(j, v); });
            }
        } else if (auto* grid = qobject_cast<platform::DataGrid*>(c)) {
            for (int j = 0; j < grid->ColumnCount(); ++j) {
                add(
                    c, j, grid->ColumnCaption(j),
                    [grid, j] {
                        return j < grid->ColumnCount() ? grid->ColumnCaption(j) : QString();
                    },
                    [grid, j](const QString& v) { grid->SetColumnCaption(j, v); });
            }
        } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
            for (int j = 0; j < tabs->count(); ++j) {
                add(
                    c, j, tabs->tabText(j),
                    [tabs, j] { return j < tabs->count() ? tabs->tabText(j) : QString(); },
                    [tabs, j](const QString& v) { tabs->setTabText(j, v); });
            }
        }
    }
    return texts;
}
