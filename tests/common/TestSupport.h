#pragma once

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

class QColor;
class QDateTime;
class QString;
class QWidget;
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
void PrintTo(const QColor& c, std::ostream* os);

// A fixture with its own common application-data folder, set for the test and
// restored afterwards, and the clock released. A modal handler still waiting
// when the test ends fails it (the window it expected never appeared).
class TempAppDataTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString AppData() const { return dir_.path(); }
    QString PathIn(const QString& relative) const { return dir_.path() + '/' + relative; }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Runs the tests of the binary inside one QApplication, with a private common
// application-data folder (unless one is set) and fixed date and time
// patterns, so that no test touches the user's folder and formatted dates do
// not depend on the machine; every test gets its own error log, which the
// global database object records into too, so that no test writes into the
// program folder (the default place of both logs).
int RunTestsInApplication(int argc, char** argv);

// The call raises the numbered error with exactly that text and source; a
// call that raises nothing fails the test.
void ExpectAppError(const std::function<void()>& call, int number, const QString& description,
                    const QString& source = QString());

// Pumps events until the condition holds; false when the time ran out first.
// Between looks the thread yields a moment, so that the threads and processes
// the test waits for get to run.
bool PumpEventsUntil(const std::function<bool()>& condition, int milliseconds = 10000);
// Pumps events for that long.
void PumpEvents(int milliseconds);
// Runs the routine with a handler queued just before it, then lets that
// handler run: {"returned", "queued"} when the routine ran no other handler
// inside it, {"queued", "returned"} when it pumped the event loop.
QStringList QueuedHandlerOrder(const std::function<void()>& routine);

// File helpers for assertions.
QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);

class QWidget;
// Writes what the window shows (QWidget::grab, drawn offscreen) as name.png
// into the build's screenshot folder (or $KESTRELLE_SCREENSHOTS), for a
// person to look at; the test fails when the picture cannot be written.
void SaveScreenshot(QWidget* window, const QString& name);

// The two paste keys, Ctrl+V and Shift+Insert, with the text a keyboard
// gives them (a control character, none), sent to the widget.
void PressPasteKeys(QWidget* target);
