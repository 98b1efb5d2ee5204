// Synthesised keys as a focused line edit receives them through the event
// loop: codes, Shift held over groups, repetitions and the notation errors.
#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <vector>

#include "common/TestSupport.h"
#include "core/ErrorController.h"
#include "core/ModSkin.h"
#include "core/cSendKeys.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/controls/SkinManager.h"

namespace {

struct Seen {
    bool Down;
    int Vk;
    Qt::KeyboardModifiers Modifiers;
    QString Text;
};

class Recorder final : public QObject {
public:
    std::vector<Seen> Events;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            Events.push_back({event->type() == QEvent::KeyPress, int(key->nativeVirtualKey()),
                              key->modifiers(), key->text()});
        }
        return QObject::eventFilter(watched, event);
    }
};

class SendKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_.resize(200, 60);
        edit_ = new QLineEdit(&window_);
        edit_->resize(180, 30);
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        edit_->setFocus();
        edit_->installEventFilter(&recorder_);
    }

    // Sends, lets the event loop deliver, and answers what arrived.
    void Send(const QString& keys) {
        recorder_.Events.clear();
        SendKeystrokes(keys, true);
        QApplication::processEvents();
    }
    // "d65 u65" style trace of the key-downs and key-ups.
    QString Trace() const {
        QStringList parts;
        for (const Seen& s : recorder_.Events)
            parts << QString("%1%2").arg(s.Down ? 'd' : 'u').arg(s.Vk);
        return parts.join(' ');
    }
    // The error SendKeystrokes raises; fails the test when none.
    AppError ErrorOf(const QString& keys) {
        recorder_.Events.clear();
        try {
            SendKeystrokes(keys);
        } catch (const AppError& e) {
            QApplication::processEvents();
            return e;
        }
        QApplication::processEvents();
        ADD_FAILURE() << "no error for " << keys.toStdString();
        return AppError(0, QString());
    }

    QWidget window_;
    QLineEdit* edit_ = nullptr;
    Recorder recorder_;
};

}  // namespace

TEST_F(SendKeysTest, DigitsAndLettersArriveInTheFocusedControlAfterTheCall) {
    SendKeystrokes("123");
    // Posted, not delivered: nothing yet.
    EXPECT_EQ(edit_->text(), "");
    recorder_.Events.clear();
    QApplication::processEvents();
    EXPECT_EQ(Trace(), "d49 u49 d50 u50 d51 u51");
    EXPECT_EQ(edit_->text(), "123");
    // An upper-case letter sends its key without Shift.
    Send("Ab");
    EXPECT_EQ(Trace(), "d65 u65 d66 u66");
    EXPECT_EQ(recorder_.Events[0].Modifiers, Qt::NoModifier);
    EXPECT_EQ(edit_->text(), "123ab");
}

// What one test leaves in the program-wide objects (keys still queued, a
// recorded error, another skin) is not there for the next one, which runs
// after the reset in the same process.
TEST_F(SendKeysTest, WhatAnEarlierTestLeftIsGoneAfterTheReset) {
    SendKeystrokes("xy");
    ErrorLogger().Add(kSystemError, 5, "left behind", "Earlier.Step");
    SkinManager().SetSelectedSkin("Blue");

    platform::ResetProgramState();

    Send("b");
    EXPECT_EQ(edit_->text(), "b");
    QTemporaryDir dir;
    ErrorLogger().SetLogFileName(dir.filePath("Error.log"));
    ErrorLogger().Add(kSystemError, 6, "this test's", "Next.Step");
    const QString history = ErrorLogger().GetHistoryAll(true);
    EXPECT_EQ(history.count("Message: "), 1) << history.toStdString();
    EXPECT_TRUE(history.endsWith("Code: 6  Message: this test's")) << history.toStdString();
    EXPECT_EQ(SkinManager().SelectedSkin(), "Default");
}

TEST_F(SendKeysTest, NamedKeysAnyCaseAndRepetitions) {
    edit_->setText("abcd");
    Send("{LEFT}");
    EXPECT_EQ(Trace(), "d37 u37");
    Send("{left 3}");
    EXPECT_EQ(Trace(), "d37 u37 d37 u37 d37 u37");
    EXPECT_EQ(edit_->cursorPosition(), 0);
    Send("{End}{BS}~");
    EXPECT_EQ(Trace(), "d35 u35 d8 u8 d13 u13");
    EXPECT_EQ(edit_->text(), "abc");
    Send("{F16}{SCROLLLOCK}{help}{prtsc}");
    EXPECT_EQ(Trace(), "d127 u127 d145 u145 d47 u47 d42 u42");
    // An opening brace followed by two closing ones sends the key of "}".
    Send("{}}");
    EXPECT_EQ(Trace(), "d221 u221");
}

TEST_F(SendKeysTest, ModifierGroupsHoldTheKeyAndBareModifiersTapIt) {
    Send("+(ab)");
    EXPECT_EQ(Trace(), "d16 d65 u65 d66 u66 u16");
    EXPECT_TRUE(recorder_.Events[1].Modifiers & Qt::ShiftModifier);
    EXPECT_EQ(edit_->text(), "AB");
    Send("+a");
    EXPECT_EQ(Trace(), "d16 u16 d65 u65");
    EXPECT_FALSE(recorder_.Events[2].Modifiers & Qt::ShiftModifier);
    EXPECT_EQ(edit_->text(), "ABa");
    // Ctrl+A selects everything, Ctrl+C copies: no text is typed under Ctrl.
    Send("^(a)^(c)");
    EXPECT_EQ(Trace(), "d17 d65 u65 u17 d17 d67 u67 u17");
    EXPECT_TRUE(recorder_.Events[1].Modifiers & Qt::ControlModifier);
    EXPECT_EQ(edit_->selectedText(), "ABa");
    EXPECT_EQ(edit_->text(), "ABa");
    Send("%(x)");
    EXPECT_EQ(Trace(), "d18 d88 u88 u18");
}

TEST_F(SendKeysTest, NotationErrorsReleaseHeldModifiers) {
    AppError e = ErrorOf("a)");
    EXPECT_EQ(e.Description(), "Invalid sendkeys command: unmatched ) at position 2");
    EXPECT_TRUE(e.Source().endsWith(".cSendKeys"));
    EXPECT_EQ(Trace(), "d65 u65");  // sent before the error: stays sent

    e = ErrorOf("+(a");
    EXPECT_EQ(e.Description(), "Invalid sendkeys command: more open brackets than close brackets.");
    EXPECT_EQ(Trace(), "d16 d65 u65 u16");

    e = ErrorOf("^(+(x{TAB q}");
    EXPECT_EQ(e.Description(),
              "Invalid sendkeys command; key repetitions 'q' is invalid near position 13");
    // Both held modifiers released, the most recent first.
    EXPECT_EQ(Trace(), "d17 d16 d88 u88 u16 u17");

    // More repetitions than a queue of keys can hold is a notation error,
    // sent as nothing, not a flood that takes the program's memory.
    e = ErrorOf("+({LEFT 10001}");
    EXPECT_EQ(e.Description(),
              "Invalid sendkeys command; key repetitions '10001' is invalid near position 15");
    EXPECT_EQ(Trace(), "d16 u16");

    e = ErrorOf("x{");
    EXPECT_EQ(e.Description(),
              "Invalid sendkeys command; opening { without content or closing } at position 2");
    e = ErrorOf("{ab");
    EXPECT_EQ(e.Description(),
              "Invalid sendkeys command; opening { without closing } at Position 1");
    // An unknown name sends the key of its first character.
    Send("{Nosuchkey}");
    EXPECT_EQ(Trace(), "d78 u78");
    e = ErrorOf(QString::fromUtf8("{ж 2}"));
    EXPECT_EQ(e.Number(), 9);
    EXPECT_EQ(e.Description(), QString::fromUtf8("Key ж could not be interpreted."));
    // A character no key of the layout types is reported, not mistyped.
    e = ErrorOf(QString::fromUtf8("1ж"));
    EXPECT_EQ(e.Number(), 9);
    EXPECT_EQ(Trace(), "d49 u49");

    // The next call starts with no modifier held.
    Send("b");
    EXPECT_EQ(recorder_.Events[0].Modifiers, Qt::NoModifier);
}

TEST(KeyCodeTest, UsLayoutCodesWithoutShift) {
    cSendKeys keys;
    EXPECT_EQ(keys.KeyCode("a"), 65);
    EXPECT_EQ(keys.KeyCode("Z"), 90);
    EXPECT_EQ(keys.KeyCode("7"), 55);
    EXPECT_EQ(keys.KeyCode("!"), 49);
    EXPECT_EQ(keys.KeyCode("+"), 0xBB);
    EXPECT_EQ(keys.KeyCode(" "), 32);
    EXPECT_EQ(keys.KeyCode("?"), 0xBF);
    EXPECT_EQ(keys.KeyCode(""), 0);
    EXPECT_EQ(keys.KeyCode(QString(QChar(0x00A0))), 0);
}
