#include <gtest/gtest.h>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include "board/KeyboardLock.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "platform/controls/VirtualKeys.h"

namespace {

// Records the key presses that reach it; Ctrl and Shift pressed on their own
// (the test clicks press them before the key) always pass and are left out.
class KeySink final : public QWidget {
public:
    KeySink() { setFocusPolicy(Qt::StrongFocus); }
    QList<int> Keys;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() != Qt::Key_Control && e->key() != Qt::Key_Shift)
            Keys.append(e->key());
    }
};

intptr_t RunHook(uint32_t vk, uint32_t flags) {
    platform::KbdLlHookStruct e;
    e.vkCode = vk;
    e.flags = flags;
    return LowLevelKeyboardProc(platform::kHcAction, platform::kWmKeyDown,
                                reinterpret_cast<intptr_t>(&e));
}

class KeyboardLockTest : public ::testing::Test {};

}  // namespace

// Every test starts without the hook (the program state is reset before it).
TEST_F(KeyboardLockTest, RestrictionOffInstallsNothing) {
    ConfigurationSettings.Restriction = false;
    DisableSystemKeys();
    EXPECT_EQ(KeyboardHookHandle, 0);
    KeySink sink;
    QTest::keyClick(&sink, Qt::Key_Tab, Qt::AltModifier);
    QTest::keyClick(&sink, Qt::Key_Super_L);
    EXPECT_EQ(sink.Keys, (QList<int>{Qt::Key_Alt, Qt::Key_Tab, Qt::Key_Super_L}));
}

TEST_F(KeyboardLockTest, HookProcedureCases) {
    // Without an installed chain every pass-on yields 0.
    EXPECT_EQ(RunHook(platform::kVkLWin, 0), 1);
    EXPECT_EQ(RunHook(platform::kVkRWin, 0), 1);
    EXPECT_EQ(RunHook('A', platform::kLlkhfAltDown), 1);
    EXPECT_EQ(RunHook(platform::kVkMenu, platform::kLlkhfAltDown), 1);
    EXPECT_EQ(RunHook(platform::kVkEscape, 0), 0);
    EXPECT_EQ(RunHook('A', 0), 0);
    EXPECT_EQ(KeyboardHookEvent.vkCode, uint32_t('A'));
    // Not HC_ACTION: passed on without a look.
    platform::KbdLlHookStruct e;
    e.vkCode = platform::kVkLWin;
    EXPECT_EQ(LowLevelKeyboardProc(1, platform::kWmKeyDown, reinterpret_cast<intptr_t>(&e)), 0);
}

TEST_F(KeyboardLockTest, RestrictionOnSwallowsSystemKeysAndLetsTheRestThrough) {
    ConfigurationSettings.Restriction = true;
    DisableSystemKeys();
    ASSERT_NE(KeyboardHookHandle, 0);
    const intptr_t handle = KeyboardHookHandle;
    DisableSystemKeys();  // once per run
    EXPECT_EQ(KeyboardHookHandle, handle);

    KeySink sink;
    sink.show();
    sink.setFocus();
    // Swallowed: the Windows keys, Ctrl+Esc, Alt with anything, Alt alone.
    QTest::keyClick(&sink, Qt::Key_Super_L);
    QTest::keyClick(&sink, Qt::Key_Super_R);
    QTest::keyClick(&sink, Qt::Key_Meta);
    QTest::keyClick(&sink, Qt::Key_Escape, Qt::ControlModifier);
    QTest::keyClick(&sink, Qt::Key_Tab, Qt::AltModifier);
    QTest::keyClick(&sink, Qt::Key_F4, Qt::AltModifier);
    QTest::keyClick(&sink, Qt::Key_Escape, Qt::AltModifier);
    QTest::keyClick(&sink, Qt::Key_Alt);
    EXPECT_TRUE(sink.Keys.isEmpty()) << sink.Keys.size();

    // Passed: plain Esc, Ctrl with other keys, Shift combinations.
    QTest::keyClick(&sink, Qt::Key_Escape);
    QTest::keyClick(&sink, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&sink, Qt::Key_A, Qt::ShiftModifier);
    QTest::keyClick(&sink, Qt::Key_Escape, Qt::ShiftModifier);
    QTest::keyClick(&sink, Qt::Key_F4);
    EXPECT_EQ(sink.Keys,
              (QList<int>{Qt::Key_Escape, Qt::Key_C, Qt::Key_A, Qt::Key_Escape, Qt::Key_F4}));

    // Removed, the hook lets Alt+Tab through again.
    EnableSystemKeys();
    EXPECT_EQ(KeyboardHookHandle, 0);
    sink.Keys.clear();
    QTest::keyClick(&sink, Qt::Key_Tab, Qt::AltModifier);
    EXPECT_EQ(sink.Keys, (QList<int>{Qt::Key_Alt, Qt::Key_Tab}));
}
