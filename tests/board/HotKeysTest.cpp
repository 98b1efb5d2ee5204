#include <gtest/gtest.h>

#include "board/HotKeys.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/IniFile.h"

class HotKeysTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        ConfigurationSettings.ConfigFile = PathIn("KestrelleApp.config");
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
    }
    void Build(int mode, bool userKeys) {
        ConfigurationSettings.Communication = mode;
        ConfigurationSettings.UserDefineKeys = userKeys;
        LoadHotKeys();
    }
};

TEST_F(HotKeysTest, FixedMap) {
    Build(0, false);
    EXPECT_EQ(GetHotKeyFunction(37, 0), 6);
    EXPECT_EQ(GetHotKeyFunction(37, 2), 5);
    EXPECT_EQ(GetHotKeyFunction(39, 0), 7);
    EXPECT_EQ(GetHotKeyFunction(39, 1), 7);
    EXPECT_EQ(GetHotKeyFunction(39, 2), 8);
    EXPECT_EQ(GetHotKeyFunction(65, 3), 100);
    EXPECT_EQ(GetHotKeyFunction(65, 2), 1);
    EXPECT_EQ(GetHotKeyFunction(112, 7), 15);
    EXPECT_EQ(GetHotKeyFunction(116, 0), 12);  // mode-independent
    EXPECT_EQ(GetHotKeyFunction(46, 0), 100);
    EXPECT_EQ(GetHotKeyFunction(46, 2), 13);
    EXPECT_EQ(GetHotKeyFunction(90, 0), 100);
}

TEST_F(HotKeysTest, TableOrderByMode) {
    Build(0, false);
    std::vector<int> ids;
    for (const auto& e : HotKeyTable)
        ids.push_back(e.FunctionId);
    EXPECT_EQ(ids, (std::vector<int>{15, 11, 16, 1, 2, 5, 6, 7, 8, 13}));
    Build(2, false);
    ids.clear();
    for (const auto& e : HotKeyTable)
        ids.push_back(e.FunctionId);
    EXPECT_EQ(ids, (std::vector<int>{15, 11, 14, 16, 1, 2, 5, 6, 7, 8, 9, 10, 12}));
    EXPECT_EQ(HotKeyTable[0].Name, ResManager().GetResString("strHelp"));
    EXPECT_FALSE(HotKeyTable[0].Name.isEmpty());
    EXPECT_EQ(HotKeyTable[0].Permission, 3);
}

TEST_F(HotKeysTest, UserDefinedKeysUseTheTableWithExactShift) {
    Build(0, true);
    EXPECT_EQ(GetHotKeyFunction(39, 0), 7);
    EXPECT_EQ(GetHotKeyFunction(39, 1), 100);
    EXPECT_EQ(GetHotKeyFunction(46, 2), 13);
    EXPECT_EQ(GetHotKeyFunction(116, 0), 100);  // Refresh is not in mode 0's table
    Build(2, true);
    EXPECT_EQ(GetHotKeyFunction(116, 0), 12);
    EXPECT_EQ(GetHotKeyFunction(46, 2), 100);
}

TEST_F(HotKeysTest, OverridesFromTheConfigurationFile) {
    const QString f = ConfigurationSettings.ConfigFile;
    platform::IniWrite(f, "FUNCTION011", "KeyCode", "13");  // Finish on Enter
    platform::IniWrite(f, "FUNCTION011", "Shift", " ");
    platform::IniWrite(f, "FUNCTION011", "Permission", "7");
    platform::IniWrite(f, "FUNCTION015", "KeyCode", "65");  // Help is never configurable
    platform::IniWrite(f, "FUNCTION005", "KeyCode", "abc");
    platform::IniWrite(f, "FUNCTION006", "Permission", "-1");
    Build(0, true);
    EXPECT_EQ(GetHotKeyFunction(13, 0), 11);
    EXPECT_EQ(GetHotKeyFunction(112, 0), 15);
    EXPECT_EQ(GetHotKeyFunction(120, 0), 100);
    const auto entry = [](int id) {
        for (const auto& e : HotKeyTable)
            if (e.FunctionId == id)
                return e;
        return HotKeyEntry{};
    };
    EXPECT_EQ(entry(11).Permission, 0);
    EXPECT_EQ(entry(6).Permission, 0);
    EXPECT_EQ(entry(5).KeyCode, 0);
    EXPECT_EQ(entry(5).Shift, 2);
    // The key texts show the table's keys.
    EXPECT_EQ(GetFunctionKeyText(11), "{13}");
    Build(0, false);  // overrides are in the table but only used with UserDefineKeys
    EXPECT_EQ(GetHotKeyFunction(120, 0), 11);
}

TEST_F(HotKeysTest, KeyTexts) {
    EXPECT_EQ(KeyToText(65, 2), "CTRL+A");
    EXPECT_EQ(KeyToText(65, 1), "A");
    EXPECT_EQ(KeyToText(120, 0), "F9");
    EXPECT_EQ(KeyToText(113, 3), "CTRL+SHIFT+F2");
    EXPECT_EQ(KeyToText(36, 2), "{36}");
    EXPECT_EQ(KeyToText(48, 6), "CTRL+ALT+0");
    EXPECT_EQ(KeyToText(46, 2), "CTRL+DEL");
    EXPECT_EQ(KeyToText(17, 2), "CTRL+");
    EXPECT_EQ(KeyToText(9, 2), "");
    EXPECT_EQ(KeyToText(37, 8), "LEFT");
    Build(2, false);
    EXPECT_EQ(GetFunctionKeyText(13), "");
    EXPECT_EQ(GetFunctionKeyText(14), "CTRL+0");
    Build(0, false);
    EXPECT_EQ(GetFunctionKeyText(13), "CTRL+DEL");
}
