#include "board/BoardLayout.h"

#include <QStringList>
#include <cmath>

#include "platform/Runtime.h"

StatusBarLayout ComputeStatusBar(int innerHeight, int outerWidth) {
    StatusBarLayout s;
    s.strip = QRect(0, innerHeight - 345, outerWidth, 315);
    const double w = s.strip.width() - 180;
    // Frame widths are whole twips, as the frames report them.
    QList<int> widths = {0, int(0.15 * w), int(0.15 * w), int(0.16 * w), int(0.15 * w)};
    widths[0] = int(w) - (widths[1] + widths[2] + widths[3] + widths[4]) - 100;
    int x = 30;
    for (int i = 0; i < 5; ++i) {
        s.frames.append(QRect(x, -75, widths[i], 375));
        x = x + widths[i] + 30;
        s.labels.append(QRect(30, 120, widths[i] - 60, 225));
    }
    return s;
}

ButtonBarLayout ComputeButtonBar(int innerWidth, int innerHeight, int statusBarHeight,
                                 const QList<QSize>& sizes, QSize statusLabelSize, int gap) {
    ButtonBarLayout b;
    const int n = int(sizes.size());
    if (n == 0)
        return b;
    int needed = 2 * sizes[0].width() + 2 * gap;
    for (const QSize& s : sizes)
        needed += s.width() + gap;
    b.twoRows = needed > innerWidth && n > 6;

    const int barWidth = innerWidth - 2 * gap;
    const int rowHeight = sizes[0].height();
    const int barHeight = b.twoRows ? 2 * rowHeight + gap : rowHeight;
    b.bar = QRect(gap, innerHeight - barHeight - statusBarHeight - gap, barWidth, barHeight);
    b.buttons.resize(n);

    if (!b.twoRows) {
        int x = 0;
        for (int i = 0; i < n; ++i) {
            b.buttons[i] = QRect(QPoint(x, 0), sizes[i]);
            x += sizes[i].width() + gap;
            if (i == 1)
                x = barWidth - n * (sizes[0].width() + gap) + x + gap;
        }
    } else {
        b.buttons[0] = QRect(QPoint(0, 0), sizes[0]);
        b.buttons[1] = QRect(QPoint(sizes[0].width() + gap, 0), sizes[1]);
        b.buttons[5] = QRect(QPoint(barWidth - sizes[5].width(), 0), sizes[5]);
        for (int i = 4; i >= 2; --i)
            b.buttons[i] =
                QRect(QPoint(b.buttons[i + 1].left() - gap - sizes[i].width(), 0), sizes[i]);
        const int rest = n - 6;
        const int top = rowHeight + gap;
        const int width = (barWidth - rest * gap) / rest;
        int x = 0;
        for (int i = 6; i < n; ++i) {
            const int w = (i == n - 1) ? barWidth - x : width;
            b.buttons[i] = QRect(x, top, w, sizes[i].height());
            x += width + gap;
        }
    }
    if (n > 2) {
        const int left = b.buttons[1].left() + b.buttons[1].width() + gap;
        b.statusLabel = QRect(left, (rowHeight - statusLabelSize.height()) / 2,
                              b.buttons[2].left() - left - gap, statusLabelSize.height());
    }
    return b;
}

PanelFont OrderPanelFont(int screenWidthPixels) {
    if (screenWidthPixels >= 1280)
        return {15, true};
    if (screenWidthPixels >= 1024)
        return {11, true};
    return {9, false};
}

QList<QRect> ComputeOrderPanels(int frameWidth, int frameHeight, int panelCount, int gap,
                                int timeLabelHeight) {
    QList<QRect> panels;
    if (panelCount <= 0)
        return panels;
    const int width = (frameWidth - (panelCount - 1) * gap) / panelCount;
    for (int i = 0; i < panelCount; ++i)
        panels.append(QRect(i * (width + gap), 0, width, frameHeight - timeLabelHeight));
    return panels;
}

QString DatabaseStatusText(int databaseType, const QString& databasePath, const QString& serverName,
                           const QString& databaseName) {
    switch (databaseType) {
        case 0:
            return QStringLiteral(" MS Access - ") + databasePath;
        case 1:
            return QStringLiteral(" MSDE(") + serverName + QStringLiteral(") - ") + databaseName;
        case 2:
            return QStringLiteral(" MySQL (") + serverName + QStringLiteral(") - ") + databaseName;
        case 3:
            return QStringLiteral(" MS SQL Server (") + serverName + QStringLiteral(") - ") +
                   databaseName;
        case 4:
            return QStringLiteral(" Oracle (") + serverName + QStringLiteral(") - ") + databaseName;
        default:
            return QString();
    }
}

QString FormatElapsedTime(double start, double now) {
    if (now < start)
        now = start;
    const long long seconds = std::llround((now - start) * 86400.0);
    const long long hours = seconds / 3600;
    const int minutes = int((seconds / 60) % 60);
    const int secs = int(seconds % 60);
    return rt::Format(double(hours), "00") + ':' + rt::Format(minutes, "00") + ':' +
           rt::Format(secs, "00");
}

QColor AgeColour(const QString& ageText, bool isNew) {
    if (!isNew)
        return QColor(128, 128, 128);
    const QStringList parts = ageText.split(':');
    const long long hours = parts.value(0).toLongLong();
    const int minutes = parts.value(1).toInt();
    return (hours > 0 || minutes >= 10) ? QColor(255, 0, 0) : QColor(0, 0, 0);
}
