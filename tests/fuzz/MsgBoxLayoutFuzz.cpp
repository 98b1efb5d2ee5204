// The message box's prompt layout: the first two bytes of the input are the
// style number, the rest the prompt (UTF-8). The box is built and laid out,
// not shown.
//
// Invariants: the prompt's lines (split at CR LF and at a lone LF) are the
// message lines' texts, in order, as plain text; every line lies inside the
// box, below the one before it, no wider than the widest line the box
// allows; the button row lies inside the box, below every line and the icon.
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>

#include "FuzzSupport.h"
#include "localization/MsgBoxExForm.h"
#include "platform/controls/CommandButton.h"

namespace {

QString Geometry(const QWidget* w) {
    const QRect r = w->geometry();
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Init();
    if (size < 2)
        return 0;
    const int16_t style = int16_t(data[0] | data[1] << 8);
    const QString prompt =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    MsgBoxExForm box;
    box.SetPrompt(prompt);
    box.SetMsgBoxStyle(style);
    box.FormLoad();

    const QString detail = QString::number(style) + QLatin1Char(' ') +
                           QString::fromLatin1(prompt.toUtf8().toPercentEncoding());
    static const QRegularExpression lineEnd(QStringLiteral("\r?\n"));
    const QStringList lines = prompt.split(lineEnd);
    const QList<QLabel*>& labels = box.MessageLines();
    FUZZ_CHECK(labels.size() >= lines.size(), detail);
    const int maxWidth = int(QGuiApplication::primaryScreen()->geometry().width() * 0.55);
    const QRect inside(QPoint(0, 0), box.size());
    int bottom = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QLabel* label = labels[i];
        FUZZ_CHECK(label->text() == lines[i] && label->textFormat() == Qt::PlainText, detail);
        FUZZ_CHECK(
            inside.contains(label->geometry()) && label->y() >= bottom,
            detail + QLatin1Char(' ') + Geometry(label) + QLatin1String(" in ") + Geometry(&box));
        FUZZ_CHECK(label->width() <= maxWidth, detail + QLatin1Char(' ') + Geometry(label));
        bottom = label->geometry().bottom() + 1;
    }
    const QFrame* buttons = box.ButtonFrame();
    FUZZ_CHECK(
        inside.contains(buttons->geometry()) && buttons->y() >= bottom,
        detail + QLatin1Char(' ') + Geometry(buttons) + QLatin1String(" in ") + Geometry(&box));
    if (box.IconLabel()->isVisibleTo(&box))
        FUZZ_CHECK(buttons->y() > box.IconLabel()->geometry().bottom() &&
                       inside.contains(box.IconLabel()->geometry()),
                   detail + QLatin1Char(' ') + Geometry(box.IconLabel()));
    int shown = 0;
    for (const auto* b : box.ResultButtons())
        shown += b->isVisibleTo(&box) ? 1 : 0;
    FUZZ_CHECK(shown >= 1 && shown <= 3, detail);
    return 0;
}
