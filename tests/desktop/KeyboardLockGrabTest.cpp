// The keyboard lock at the X server: a restricted station holds the whole
// keyboard, so no other client (the window manager included) can take it;
// one that another client holds is logged once and taken when it is free.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "board/KeyboardLock.h"
#include "common/TestSupport.h"
#include "common/XSession.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"

namespace {

// True while the station holds the keyboard: another client cannot take it.
bool StationHoldsKeyboard() {
    if (!TestXSession().GrabKeyboard())
        return true;
    TestXSession().ReleaseKeyboard();
    return false;
}

class KeyboardLockGrabTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        ErrorLogger().SetLogFileName(PathIn("Error.log"));
    }
    void TearDown() override {
        TestXSession().ReleaseKeyboard();
        TempAppDataTest::TearDown();
    }
    int Logged() const {
        return QString::fromUtf8(ReadBytes(PathIn("Error.log"))).count("holds the keyboard");
    }
};

}  // namespace

TEST_F(KeyboardLockGrabTest, HeldKeyboardIsLoggedOnceTakenWhenFreeAndGivenBack) {
    ConfigurationSettings.Restriction = true;
    ASSERT_TRUE(TestXSession().GrabKeyboard());
    DisableSystemKeys();
    ASSERT_TRUE(PumpEventsUntil([&] { return Logged() > 0; }, 3000));
    PumpEventsUntil([] { return false; }, 1200);  // the station keeps asking meanwhile
    EXPECT_EQ(Logged(), 1);

    TestXSession().ReleaseKeyboard();
    EXPECT_TRUE(PumpEventsUntil(StationHoldsKeyboard, 3000));

    // Restriction turned off (the settings dialog): the keyboard is given back.
    ConfigurationSettings.Restriction = false;
    GrabSystemKeys();
    EXPECT_FALSE(StationHoldsKeyboard());
}
