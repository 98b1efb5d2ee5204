#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"

class QComboBox;
class QWidget;
class SetupForm;

// The program's start in a private application-data folder: a configuration
// file written before the start, a real SQLite point-of-sale database, the
// registry store, and the modal windows answered in the order they come.
// Each test leaves no board, no editor and no open database behind.
class StartUpTest : public TempAppDataTest {
protected:
    using Step = std::function<void(QWidget*)>;

    void SetUp() override;
    void TearDown() override;

    // Writes settings sections ("Communication" -> "2", ...) into the file.
    void Configure(const QList<QPair<QString, QString>>& settings);
    QString Setting(const QString& key) const;

    // Answers the coming modal windows in turn, recording each in shown_;
    // once the steps are used up, any further modal window fails the test and
    // ends the program.
    void Answer(QList<Step> steps);
    // A message box: pressed by the button of that result (kMsgOk ...).
    static Step Press(int result);
    // The settings dialog: edited, then saved or cancelled.
    static Step Settings(std::function<void(SetupForm*)> edit, bool save);
    // The login dialog: the password typed and entered, or Escape.
    static Step Login(const QString& password);
    static Step Refuse();

    // Main with no modal window expected.
    bool StartBoard();
    // Presses the board's action button of that tag.
    static void PressAction(const char* tag);
    // EndProgram asks the event loop to quit even when none runs yet; a
    // loop run and left here takes that request, so the later modal loops
    // of this process run again.
    static void ForgetTheEnd();

    // A message box as recorded: its style, a blank, its prompt.
    static QString Box(int style, const QString& prompt);
    static QComboBox* Combo(SetupForm* form, const char* name);
    static void SetText(SetupForm* form, const char* name, const QString& text);
    QString LogText() const;

    QString config_;
    QString db_;
    QStringList shown_;

private:
    std::unique_ptr<modal::NoModalWindow> guard_;
};
