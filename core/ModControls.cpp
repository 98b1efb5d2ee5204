#include "core/ModControls.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/WindowFrame.h"

namespace {
constexpr const char* kCloseDisabled = "CloseButtonDisabled";
}

void SelectAllText(QWidget* textBox) {
    if (auto* line = qobject_cast<QLineEdit*>(textBox))
        line->selectAll();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(textBox))
        plain->selectAll();
    else if (auto* rich = qobject_cast<QTextEdit*>(textBox))
        rich->selectAll();
}

void DisableCloseButton(QWidget* window) {
    EnableCloseButton(window, false);
}

void EnableCloseButton(QWidget* window, bool enable) {
    if (!window || !window->isWindow())
        return;
    window->setProperty(kCloseDisabled, !enable);
    Qt::WindowFlags flags = window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    flags.setFlag(Qt::WindowCloseButtonHint, enable);
    platform::SetWindowFlags(window, flags);
}

bool IsCloseButtonDisabled(const QWidget* window) {
    return window && window->property(kCloseDisabled).toBool();
}

QString CellStyleSuffix(const QString& language) {
    if (language == "RO" || language == "SR" || language == "DE")
        return QStringLiteral("RO");
    if (language == "GR" || language == "HY" || language == "ES" || language == "TR")
        return language;
    return QString();
}

void SetColumnCellStyle(platform::DataGrid* grid, int col, const QString& styleName) {
    if (!grid)
        return;
    grid->SetCellStyleSet(col, styleName + CellStyleSuffix(ConfigurationSettings.Language));
}

void SelectActiveCellText(platform::DataGrid* grid) {
    if (grid)
        grid->SelectActiveCellText();
}

void SelectCurrentGridRow(platform::DataGrid* grid) {
    if (!grid)
        return;
    grid->SetRedraw(false);
    grid->SelBookmarksRemoveAll();
    if (grid->Row() >= 0)
        grid->SelBookmarksAdd(grid->Row());
    grid->SetRedraw(true);
}

int GetColumnWidthExtra(bool flag) {
    const int s = GetScrollBarWidth(true);
    int margin = 45;
    if (s >= 300)
        margin = 90;
    else if (s >= 240)
        margin = 75;
    else if (s >= 180)
        margin = 60;
    return flag ? s + margin : 2 * s + margin;
}

void SetToolTip(QWidget* control, const QString& text, const QString& keyText) {
    if (!control)
        return;
    control->setToolTip(QString());
    if (!ConfigurationSettings.Assistant)
        return;
    QString tip = text;
    if (!keyText.isEmpty())
        tip += QStringLiteral("  (") + keyText + QLatin1Char(')');
    control->setToolTip(tip);
}
