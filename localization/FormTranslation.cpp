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
#include <vector>

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

// One text a control shows that the dictionary translates: its position (-1
// the control's own text, else the item, column or tab j), the index that
// ends its dictionary key (-1 none), how to read it and how to set it. A
// position past the control's present items reads empty and sets nothing.
struct ControlText {
    int Position;
    int KeyIndex;
    std::function<QString()> Get;
    std::function<void(const QString&)> Set;
};

// The text of a control read and set through its own members.
template <typename W, typename Get, typename Set>
ControlText OwnText(W* w, Get get, Set set) {
    return {-1, -1, [w, get] { return (w->*get)(); }, [w, set](const QString& v) { (w->*set)(v); }};
}

// Items 0 .. count()-1 of a list, a grid's columns or a widget's tabs.
template <typename W, typename Count, typename Get, typename Set>
std::vector<ControlText> ItemTexts(W* w, Count count, Get get, Set set) {
    std::vector<ControlText> texts;
    for (int j = 0; j < (w->*count)(); ++j) {
        texts.push_back({j, j, [=] { return j < (w->*count)() ? (w->*get)(j) : QString(); },
                         [=](const QString& v) {
                             if (j < (w->*count)())
                                 (w->*set)(j, v);
                         }});
    }
    return texts;
}

// The texts of a control of the window, in the order they are translated;
// none for a control the dictionary has no text for.
std::vector<ControlText> TextsOf(QWidget* c) {
    using platform::CommandButton;
    using platform::DataGrid;
    using platform::RichTextBox;
    if (auto* rtb = qobject_cast<RichTextBox*>(c))
        return {OwnText(rtb, &RichTextBox::Text, &RichTextBox::SetText)};
    if (auto* line = qobject_cast<QLineEdit*>(c))
        return {OwnText(line, &QLineEdit::text, &QLineEdit::setText)};
    if (auto* text = qobject_cast<QPlainTextEdit*>(c))
        return {OwnText(text, &QPlainTextEdit::toPlainText, &QPlainTextEdit::setPlainText)};
    if (auto* rich = qobject_cast<QTextEdit*>(c))
        return {OwnText(rich, &QTextEdit::toPlainText, &QTextEdit::setPlainText)};
    if (auto* button = qobject_cast<CommandButton*>(c)) {
        ControlText caption = OwnText(button, &CommandButton::Caption, &CommandButton::SetCaption);
        // A button of a group is translated under its index.
        if (platform::HasControlIndex(button))
            caption.KeyIndex = button->Index();
        return {caption};
    }
    if (auto* push = qobject_cast<QPushButton*>(c))
        return {OwnText(push, &QPushButton::text, &QPushButton::setText)};
    if (auto* check = qobject_cast<QCheckBox*>(c))
        return {OwnText(check, &QCheckBox::text, &QCheckBox::setText)};
    if (auto* label = qobject_cast<QLabel*>(c))
        return {OwnText(label, &QLabel::text, &QLabel::setText)};
    if (auto* frame = qobject_cast<QGroupBox*>(c))
        return {OwnText(frame, &QGroupBox::title, &QGroupBox::setTitle)};
    if (auto* combo = qobject_cast<QComboBox*>(c))
        return ItemTexts(combo, &QComboBox::count, &QComboBox::itemText, &QComboBox::setItemText);
    if (auto* grid = qobject_cast<DataGrid*>(c)) {
        return ItemTexts(grid, &DataGrid::ColumnCount, &DataGrid::ColumnCaption,
                         &DataGrid::SetColumnCaption);
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(c))
        return ItemTexts(tabs, &QTabWidget::count, &QTabWidget::tabText, &QTabWidget::setTabText);
    return {};
}

// The fonts of labels, lists, grids (and their heads) and list views take
// the current language's character set.
void SetCharsets(QWidget* c, int16_t charset) {
    if (qobject_cast<QLabel*>(c) || qobject_cast<QComboBox*>(c) ||
        qobject_cast<platform::ListView*>(c))
        SetCharset(c, charset);
    if (qobject_cast<platform::DataGrid*>(c)) {
        SetCharset(c, charset);
        SetCharset(c, charset, "HeadCharset");
    }
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
        SetCharsets(c, charset);
        const QString plain = form + QLatin1Char('|') + c->objectName();
        auto* label = qobject_cast<QLabel*>(c);
        for (const ControlText& t : TextsOf(c)) {
            const QString key =
                t.KeyIndex < 0 ? plain : plain + QLatin1Char('|') + QString::number(t.KeyIndex);
            read(key, c, t.Position, [&](const QString& v) {
                // A dictionary text is shown as written, also when it looks
                // like markup.
                if (label)
                    label->setTextFormat(Qt::PlainText);
                t.Set(v);
            });
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
        for (ControlText& t : TextsOf(c)) {
            const QString was = t.Get();
            add(c, t.Position, was, std::move(t.Get), std::move(t.Set));
        }
    }
    return texts;
}
