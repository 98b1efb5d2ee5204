#include "platform/controls/SkinManager.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <array>

#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"

namespace platform {

namespace {

struct SchemeColors {
    const char* Name;
    QRgb Window, Dark, Back, OddRows, Fore, Button, Accent;
};

// Light window colours with a dark board area: the board is read from a few
// metres away, so the panels stay light and the text dark.
constexpr std::array<SchemeColors, 4> kSchemes{{
    {"Default", 0xF0F0F0, 0x4A4A4A, 0xFFFFE1, 0xF5F5F5, 0x000000, 0xE1E1E1, 0x2F6DB5},
    {"Blue", 0xD6E4F7, 0x1F497D, 0xFFFFFF, 0xE8F0FC, 0x0B1F3A, 0xC3D7F2, 0x1F5FAF},
    {"Lila", 0xEAE0F5, 0x543878, 0xFFFFFF, 0xF3ECFA, 0x2A1640, 0xDCCDEE, 0x7A4FB0},
    {"Lime", 0xE8F5DC, 0x3E6E28, 0xFFFFFF, 0xF0FAE6, 0x1C3410, 0xD4EBC0, 0x4F9A2E},
}};

QPainterPath Arrow(double s, bool left) {
    // A bold arrow pointing right inside an s × s square, mirrored for left.
    QPainterPath p;
    const double m = s * 0.18, mid = s / 2, shaft = s * 0.14;
    p.moveTo(m, mid - shaft);
    p.lineTo(s * 0.52, mid - shaft);
    p.lineTo(s * 0.52, m);
    p.lineTo(s - m, mid);
    p.lineTo(s * 0.52, s - m);
    p.lineTo(s * 0.52, mid + shaft);
    p.lineTo(m, mid + shaft);
    p.closeSubpath();
    if (left) {
        QTransform t;
        t.translate(s, 0);
        t.scale(-1, 1);
        p = t.map(p);
    }
    return p;
}

QPainterPath Chevron(double s, double x, bool left) {
    QPainterPath p;
    const double w = s * 0.26, m = s * 0.2;
    if (!left) {
        p.moveTo(x, m);
        p.lineTo(x + w, s / 2);
        p.lineTo(x, s - m);
    } else {
        p.moveTo(x + w, m);
        p.lineTo(x, s / 2);
        p.lineTo(x + w, s - m);
    }
    return p;
}

void DrawText(QPainter& g, double s, const QString& text, const QColor& color, double scale) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(std::max(6, int(s * scale)));
    g.setFont(f);
    g.setPen(color);
    g.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, text);
}

// What a picture is drawn with: the scheme's accent and button colours, the
// dark ink derived from the accent, and the line pen for that ink.
struct Ink {
    QColor Accent, Dark, Button;
    QPen Pen;
};

// Draws one picture into a d × d square; `variant` tells the pictures that
// share a painter apart (a digit, a direction).
using Painter = void (*)(QPainter& g, const Ink& ink, double d, int variant);

constexpr int kLeft = 1;
constexpr int kRight = 0;

void DrawDigit(QPainter& g, const Ink& ink, double d, int digit) {
    g.setPen(Qt::NoPen);
    g.setBrush(ink.Button.lighter(105));
    g.drawRoundedRect(QRectF(1, 1, d - 2, d - 2), d * 0.15, d * 0.15);
    DrawText(g, d, QString::number(digit), ink.Dark, 0.7);
}

void DrawArrow(QPainter& g, const Ink& ink, double d, int left) {
    g.setPen(Qt::NoPen);
    g.setBrush(ink.Accent);
    g.drawPath(Arrow(d, left == kLeft));
}

void DrawDoubleArrow(QPainter& g, const Ink& ink, double d, int left) {
    g.setPen(ink.Pen);
    g.setBrush(Qt::NoBrush);
    g.drawPath(Chevron(d, d * 0.18, left == kLeft));
    g.drawPath(Chevron(d, d * 0.48, left == kLeft));
    // The bar at the end the double arrow runs to: first or last.
    const double x = left == kLeft ? d * 0.12 : d * 0.88;
    g.drawLine(QPointF(x, d * 0.2), QPointF(x, d * 0.8));
}

void DrawTurnedArrow(QPainter& g, const Ink& ink, double d, int degrees) {
    g.setPen(Qt::NoPen);
    g.setBrush(ink.Accent);
    QTransform t;
    t.translate(d / 2, d / 2);
    t.rotate(degrees);
    t.translate(-d / 2, -d / 2);
    g.drawPath(t.map(Arrow(d, false)));
}

// The ink's pen in a colour of its own, at least 3 pixels wide.
void UseStroke(QPainter& g, const Ink& ink, const QColor& color, double width) {
    QPen p = ink.Pen;
    p.setColor(color);
    p.setWidthF(std::max(3.0, width));
    g.setPen(p);
}

// A check mark through three points, given as fractions of the side d.
void StrokeCheck(QPainter& g, double d, QPointF from, QPointF corner, QPointF to) {
    QPainterPath path;
    path.moveTo(from * d);
    path.lineTo(corner * d);
    path.lineTo(to * d);
    g.drawPath(path);
}

const QColor kCheckGreen(0x2E, 0x8B, 0x3A);

// A check mark: the order (or the login) is done.
void DrawCheck(QPainter& g, const Ink& ink, double d, int) {
    UseStroke(g, ink, kCheckGreen, d * 0.14);
    StrokeCheck(g, d, {0.18, 0.52}, {0.42, 0.76}, {0.84, 0.24});
}

// The other phase of a blinking check: the mark white on a green disc, so
// that the two phases are told apart from across the kitchen.
void DrawCheckLit(QPainter& g, const Ink& ink, double d, int) {
    g.setPen(Qt::NoPen);
    g.setBrush(kCheckGreen);
    g.drawEllipse(QRectF(2, 2, d - 4, d - 4));
    UseStroke(g, ink, Qt::white, d * 0.12);
    StrokeCheck(g, d, {0.26, 0.52}, {0.44, 0.70}, {0.76, 0.32});
}

void DrawCross(QPainter& g, const Ink& ink, double d, int) {
    UseStroke(g, ink, QColor(0xC0, 0x27, 0x2D), d * 0.13);
    g.drawLine(QPointF(d * 0.22, d * 0.22), QPointF(d * 0.78, d * 0.78));
    g.drawLine(QPointF(d * 0.78, d * 0.22), QPointF(d * 0.22, d * 0.78));
}

void DrawRefresh(QPainter& g, const Ink& ink, double d, int) {
    g.setPen(ink.Pen);
    const QRectF r(d * 0.2, d * 0.2, d * 0.6, d * 0.6);
    g.drawArc(r, 60 * 16, 280 * 16);
    g.setPen(Qt::NoPen);
    g.setBrush(ink.Dark);
    QPainterPath head;
    head.moveTo(d * 0.62, d * 0.08);
    head.lineTo(d * 0.82, d * 0.26);
    head.lineTo(d * 0.56, d * 0.34);
    head.closeSubpath();
    g.drawPath(head);
}

void DrawKey(QPainter& g, const Ink& ink, double d, int) {
    g.setPen(ink.Pen);
    g.setBrush(Qt::NoBrush);
    g.drawEllipse(QRectF(d * 0.12, d * 0.3, d * 0.34, d * 0.34));
    g.drawLine(QPointF(d * 0.46, d * 0.47), QPointF(d * 0.88, d * 0.47));
    g.drawLine(QPointF(d * 0.78, d * 0.47), QPointF(d * 0.78, d * 0.64));
    g.drawLine(QPointF(d * 0.66, d * 0.47), QPointF(d * 0.66, d * 0.6));
}

// A gear: eight teeth around a ring.
void DrawGear(QPainter& g, const Ink& ink, double d, int) {
    g.setPen(Qt::NoPen);
    g.setBrush(ink.Dark);
    g.translate(d / 2, d / 2);
    for (int i = 0; i < 8; ++i) {
        g.drawRect(QRectF(-d * 0.07, -d * 0.42, d * 0.14, d * 0.2));
        g.rotate(45);
    }
    g.drawEllipse(QPointF(0, 0), d * 0.3, d * 0.3);
    g.setBrush(Qt::white);
    g.drawEllipse(QPointF(0, 0), d * 0.12, d * 0.12);
}

void DrawQuestionMark(QPainter& g, const Ink& ink, double d, int) {
    g.setPen(Qt::NoPen);
    g.setBrush(ink.Accent);
    g.drawEllipse(QRectF(2, 2, d - 4, d - 4));
    DrawText(g, d, QStringLiteral("?"), Qt::white, 0.62);
}

// A door frame with an arrow leaving it.
void DrawDoor(QPainter& g, const Ink& ink, double d, int) {
    g.setPen(ink.Pen);
    g.setBrush(Qt::NoBrush);
    g.drawRect(QRectF(d * 0.14, d * 0.14, d * 0.4, d * 0.72));
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(0xC0, 0x27, 0x2D));
    QTransform t;
    t.translate(d * 0.34, d * 0.25);
    t.scale(0.62, 0.5);
    g.drawPath(t.map(Arrow(d, false)));
}

struct Picture {
    const char* Name;
    Painter Draw;
    int Arg;
};

// Every picture the windows ask for, by the name they ask with.
constexpr std::array<Picture, 26> kPictures{{
    {"Navigate_Left2", DrawDoubleArrow, kLeft},
    {"Navigate_Left", DrawArrow, kLeft},
    {"Navigate_right", DrawArrow, kRight},
    {"Navigate_Right2", DrawDoubleArrow, kRight},
    {"UP", DrawTurnedArrow, -90},
    {"DOWN", DrawTurnedArrow, 90},
    {"Kestrelle", DrawCheck, 0},
    {"Kestrelle_UP", DrawCheckLit, 0},
    {"Clear", DrawCross, 0},
    {"Refresh", DrawRefresh, 0},
    {"Keys", DrawKey, 0},
    {"Setup", DrawGear, 0},
    {"Help", DrawQuestionMark, 0},
    {"Exit", DrawDoor, 0},
    {"OK", DrawCheck, 0},
    {"Cancel", DrawCross, 0},
    {"Zero", DrawDigit, 0},
    {"One", DrawDigit, 1},
    {"Two", DrawDigit, 2},
    {"Three", DrawDigit, 3},
    {"Four", DrawDigit, 4},
    {"Five", DrawDigit, 5},
    {"Six", DrawDigit, 6},
    {"Seven", DrawDigit, 7},
    {"Eight", DrawDigit, 8},
    {"Nine", DrawDigit, 9},
}};

}  // namespace

SkinManager::SkinManager() = default;

const SkinManager::Scheme& SkinManager::Current() const {
    static const std::array<Scheme, 4> schemes = [] {
        std::array<Scheme, 4> out;
        for (size_t i = 0; i < kSchemes.size(); ++i) {
            const SchemeColors& c = kSchemes[i];
            out[i] = Scheme{
                QString::fromLatin1(c.Name), QColor(c.Window), QColor(c.Dark),   QColor(c.Back),
                QColor(c.OddRows),           QColor(c.Fore),   QColor(c.Button), QColor(c.Accent)};
        }
        return out;
    }();
    return schemes[size_t(selected_)];
}

QString SkinManager::SelectedSkin() const {
    return Current().Name;
}

void SkinManager::SetSelectedSkin(const QString& name) {
    const QString n = name.trimmed();
    for (size_t i = 0; i < kSchemes.size(); ++i) {
        if (n.compare(QLatin1String(kSchemes[i].Name), Qt::CaseInsensitive) == 0) {
            selected_ = int(i);
            return;
        }
    }
    selected_ = 0;
}

int SkinManager::Count() const {
    return int(kSchemes.size());
}

QString SkinManager::Item(int index) const {
    if (index < 0 || index >= Count())
        return QString();
    return QString::fromLatin1(kSchemes[size_t(index)].Name);
}

QColor SkinManager::BackColorWindow() const {
    return Current().Window;
}
QColor SkinManager::BackColorDark() const {
    return Current().Dark;
}
QColor SkinManager::BackColor() const {
    return Current().Back;
}
QColor SkinManager::OddRowsColor() const {
    return Current().OddRows;
}
QColor SkinManager::ForeColor() const {
    return Current().Fore;
}
QColor SkinManager::ButtonColor() const {
    return Current().Button;
}

QStringList SkinManager::PictureNames() {
    QStringList names;
    for (const Picture& p : kPictures)
        names.append(QString::fromLatin1(p.Name));
    return names;
}

QPixmap SkinManager::GetButtonPicture(const QString& name, int size) const {
    static const QHash<QString, const Picture*> byName = [] {
        QHash<QString, const Picture*> out;
        for (const Picture& p : kPictures)
            out.insert(QString::fromLatin1(p.Name).toLower(), &p);
        return out;
    }();
    const Picture* picture = byName.value(name.trimmed().toLower());
    if (!picture)
        return QPixmap();
    const int s = size > 0 ? size : IconsizeLarge();
    const QString key = QString::fromLatin1(picture->Name) + '/' + QString::number(s) + '/' +
                        Current().Accent.name() + '/' + Current().Button.name();
    if (const auto found = pictures_.constFind(key); found != pictures_.constEnd())
        return found.value();
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter g(&pm);
    g.setRenderHint(QPainter::Antialiasing);
    const double d = s;
    Ink ink;
    ink.Accent = Current().Accent;
    ink.Dark = ink.Accent.darker(140);
    ink.Button = Current().Button;
    ink.Pen = QPen(ink.Dark, std::max(2.0, d * 0.09), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    picture->Draw(g, ink, d, picture->Arg);
    g.end();
    pictures_.insert(key, pm);
    return pm;
}

namespace {

// A text colour for the enabled states only; a disabled control draws its
// text halfway to its background, so that it looks disabled under every
// scheme.
void SetTextColor(QPalette& p, QPalette::ColorRole role, const QColor& fore, const QColor& back) {
    p.setColor(QPalette::Active, role, fore);
    p.setColor(QPalette::Inactive, role, fore);
    p.setColor(QPalette::Disabled, role,
               QColor((fore.red() + back.red()) / 2, (fore.green() + back.green()) / 2,
                      (fore.blue() + back.blue()) / 2));
}

}  // namespace

void SkinManager::SetBackColor(QWidget* widget, const QColor& color) {
    if (!widget)
        return;
    QPalette p = widget->palette();
    p.setColor(widget->backgroundRole(), color);
    p.setColor(QPalette::Window, color);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void SkinManager::SetButtonDefaultStyle(QWidget* button) const {
    if (!button)
        return;
    QPalette p = button->palette();
    p.setColor(QPalette::Button, Current().Button);
    SetTextColor(p, QPalette::ButtonText, Current().Fore, Current().Button);
    button->setPalette(p);
}

void SkinManager::SetLabelDefaultStyle(QWidget* label) const {
    if (!label)
        return;
    QPalette p = label->palette();
    SetTextColor(p, QPalette::WindowText, Current().Fore, Current().Window);
    label->setPalette(p);
}

void SkinManager::SetPictureDefaultStyle(QWidget* picture) const {
    SetBackColor(picture, Current().Window);
}

void SkinManager::SetFrameDefaultStyle(QWidget* frame) const {
    if (!frame)
        return;
    SetBackColor(frame, Current().Window);
    QPalette p = frame->palette();
    SetTextColor(p, QPalette::WindowText, Current().Fore, Current().Window);
    frame->setPalette(p);
}

void SkinManager::SetCheckBoxDefaultStyle(QWidget* checkBox) const {
    SetLabelDefaultStyle(checkBox);
}

void SkinManager::SetOptionButtonDefaultStyle(QWidget* optionButton) const {
    SetLabelDefaultStyle(optionButton);
}

void SkinManager::SetGridBackColor(DataGrid* grid, bool alternate) const {
    if (!grid)
        return;
    QPalette p = grid->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, Current().OddRows);
    p.setColor(QPalette::Text, Current().Fore);
    p.setColor(QPalette::Highlight, Current().Accent);
    // The grid's own back colour (the window role) stays as the window set it.
    grid->setPalette(p);
    grid->setAlternatingRowColors(alternate);
}

void SkinManager::SetTabButtonStyle(QWidget* button) const {
    SetButtonDefaultStyle(button);
    if (auto* b = qobject_cast<CommandButton*>(button)) {
        QPalette p = b->palette();
        // The selected tab stands out in the scheme's accent colour.
        p.setColor(QPalette::Highlight, Current().Accent);
        b->setPalette(p);
    }
}

}  // namespace platform
