#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

// The board's display rules, free of any window: in twips, the status bar of
// five framed panels, the one- or two-row button bar, the order panels and
// their font; the database status text; and the age of an order, shown by
// both kinds of board.

struct StatusBarLayout {
    QRect strip;          // stbLite
    QList<QRect> frames;  // frmPanel(1..5), in the strip
    QList<QRect> labels;  // Panels(1..5), in their frame
};
// innerHeight and outerWidth of the window, in twips.
StatusBarLayout ComputeStatusBar(int innerHeight, int outerWidth);

struct ButtonBarLayout {
    QRect bar;             // frmButtons, in the window
    QList<QRect> buttons;  // btnAction(i), in the bar
    QRect statusLabel;     // lblOrdersStatus, in the bar
    bool twoRows = false;
};
// buttonSizes: the design sizes of the action buttons; gap in twips.
ButtonBarLayout ComputeButtonBar(int innerWidth, int innerHeight, int statusBarHeight,
                                 const QList<QSize>& buttonSizes, QSize statusLabelSize, int gap);

struct PanelFont {
    int pointSize = 9;
    bool bold = false;
};
// 9 regular below 1024 pixels, 11 bold from 1024, 15 bold from 1280.
PanelFont OrderPanelFont(int screenWidthPixels);

// Panel i of n in a frame of inner width F: (F - (n - 1) x gap) / n wide.
QList<QRect> ComputeOrderPanels(int frameWidth, int frameHeight, int panelCount, int gap,
                                int timeLabelHeight);

// " MS Access - path", " MySQL (server) - name", ...; empty for an unknown
// type; with a title: title & " '" & text & "'".
QString DatabaseStatusText(int databaseType, const QString& databasePath, const QString& serverName,
                           const QString& databaseName);

// The age text "hh:nn:ss" from start to now (day numbers); a now before start
// counts as start. Hours beyond 99 give more digits.
QString FormatElapsedTime(double start, double now);

// The age colour: red once a new order is 10 minutes old, black before, grey
// for a finished order.
QColor AgeColour(const QString& ageText, bool isNew);
