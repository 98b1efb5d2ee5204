#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSysInfo>

#include "common/TestSupport.h"
#include "core/ModCommon.h"
#include "core/ModSpecialFolders.h"
#include "platform/Registry.h"

class FoldersTest : public TempAppDataTest {};

TEST_F(FoldersTest, AppDataFolderIsCreatedLevelByLevel) {
    const QString logs = GetAppDataFolder(kAppKestrelle, kFolderLogs, true);
    EXPECT_EQ(logs, AppData() + "/Quillbarrow/Kestrelle/Logs/");
    EXPECT_TRUE(QDir(logs).exists());
    EXPECT_EQ(GetErrorLogPath(kAppKestrelle, true), logs + "Error.log");
    EXPECT_EQ(GetErrorLogPath(kAppKestrelle, false), "Error.log");
    EXPECT_EQ(GetAppDataFolder(kAppKestrelle, kFolderTemplates, false),
              AppData() + "/Quillbarrow/Kestrelle/Templates/");
    EXPECT_FALSE(QDir(AppData() + "/Quillbarrow/Kestrelle/Templates").exists());
}

TEST_F(FoldersTest, PointOfSaleFolderIsNeverCreated) {
    EXPECT_EQ(GetAppDataFolder(kAppFerromont, 0, true), AppData() + "/Quillbarrow/Ferromont/");
    EXPECT_FALSE(QDir(AppData() + "/Quillbarrow/Ferromont").exists());
    EXPECT_EQ(GetAppDataFolder(5, 0, true), "");
}

TEST_F(FoldersTest, NamesOfTheApplicationTable) {
    EXPECT_EQ(GetAppConfigFilePath(kAppKestrelle, false), "KestrelleApp.config");
    EXPECT_EQ(GetAppConfigFilePath(3, true), "");
    EXPECT_EQ(GetFullProductName(kAppKestrelle), "Quillbarrow Kestrelle");
    EXPECT_EQ(GetAppIndexFromConfigName("KestrelleApp.config"), 8);
    EXPECT_EQ(GetAppIndexFromConfigName("kestrelleapp.config"), 1);
    EXPECT_EQ(GetAppIndexFromConfigName("/x/KestrelleApp.config"), 1);
}

TEST_F(FoldersTest, FolderAndFileTests) {
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(FolderExists("."));
    EXPECT_FALSE(FolderExists(".."));
    EXPECT_FALSE(FolderExists("/"));
    EXPECT_TRUE(FolderExists(AppData()));
    EXPECT_TRUE(CreateFolderPath(AppData() + "/a/b//c/"));
    EXPECT_TRUE(FolderExists(AppData() + "/a/b/c"));

    const QString folder = AppData() + "/a/";
    EXPECT_FALSE(FileExists(folder));  // no file in it yet
    WriteBytes(folder + "order.txt", "x");
    EXPECT_TRUE(FileExists(folder + "order.txt"));
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(AppData() + "/a"));  // a folder is no file
    EXPECT_TRUE(FileExists(folder + "*.txt"));
    EXPECT_TRUE(FileExists(folder + "ord?r.*"));
    EXPECT_FALSE(FileExists(folder + "*.log"));
    EXPECT_FALSE(FileExists("  "));

    // A file where a folder should be: creation fails and says so.
    WriteBytes(AppData() + "/blocker", "x");
    EXPECT_FALSE(CreateFolderPath(AppData() + "/blocker/sub"));
}

TEST(PathRoutines, NamesAndSeparators) {
    EXPECT_EQ(AddBackslash("/a/b"), "/a/b/");
    EXPECT_EQ(AddBackslash("/a/b/"), "/a/b/");
    EXPECT_EQ(GetFileNameFromPath("/a/b/quillbarrow.mdb"), "quillbarrow.mdb");
    EXPECT_EQ(GetFileNameFromPath("quillbarrow.mdb"), "");
    EXPECT_EQ(GetFileNameFromPath(""), "");
    EXPECT_EQ(GetFileNameFromPath("/a/"), "");
}

TEST(TextRoutines, AlignDigitsAndRoundUp) {
    EXPECT_EQ(AlignText("ab", 5, 3), " ab  ");
    EXPECT_EQ(AlignText("abc", 6, 3), " abc  ");
    EXPECT_EQ(AlignText("abcdef", 3, 3), "abc");
    EXPECT_EQ(AlignText("ab", 4, 1), "ab  ");
    EXPECT_EQ(AlignText("abcdef", 4, 1), "abcd");
    EXPECT_EQ(AlignText("ab", 4, 2), "  ab");
    EXPECT_EQ(AlignText("abcdef", 4, 2), "cdef");
    EXPECT_EQ(AlignText("abcdef", 2, 0), "ab");
    EXPECT_EQ(GetDigitsOnly("A9-7 1"), "971");
    EXPECT_EQ(GetDigitsOnly("A9-7 1", 2), "71");
    EXPECT_EQ(GetDigitsOnly("x"), "");
    EXPECT_EQ(RoundUp(2.0), 2);
    EXPECT_EQ(RoundUp(2.1), 3);
    EXPECT_EQ(RoundUp(-2.5), -2);
    EXPECT_EQ(GetOSVersionName(), "");
}

TEST(IniRoutines, ReadIsCutAt254) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/x.ini";
    ASSERT_TRUE(WriteIniValue("S", "K", QString(300, 'v'), file));
    EXPECT_EQ(ReadIniValue("S", "K", file, 255).size(), 254);
    ASSERT_TRUE(WriteIniValue("S", "B", true, file));
    ASSERT_TRUE(WriteIniValue("S", "N", int32_t(-7), file));
    EXPECT_EQ(ReadIniValue("S", "B", file), "True");
    EXPECT_EQ(ReadIniValue("S", "N", file), "-7");
}

TEST(SystemRoutines, MachineNameAndMetrics) {
    // The host name up to its first dot.
    EXPECT_EQ(GetMachineName(), QSysInfo::machineHostName().section('.', 0, 0));
    EXPECT_FALSE(GetMachineName().isEmpty());
    EXPECT_GT(GetScreenWidthPixels(), 0);
    EXPECT_EQ(GetScrollBarWidth(true), GetScrollBarWidth(false) * 15);  // 96 DPI offscreen
    QLabel label;
    EXPECT_EQ(GetTextWidth(&label, ""), 0);
    EXPECT_GT(GetTextWidth(&label, "Test"), GetTextWidth(&label, "T"));
    EXPECT_EQ(GetTextWidth(&label, "Test") % 15, 0);
    EXPECT_GT(GetTextHeight(&label, "Test"), 0);
}

class RegistryTest : public TempAppDataTest {};

TEST_F(RegistryTest, WrittenValuesCanBeReadBack) {
    WriteRegistryString(platform::RegistryRoot::CurrentUser,
                        "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",
                        "DisableTaskMgr", "1");
    EXPECT_EQ(
        platform::RegistryReadString(
            platform::RegistryRoot::CurrentUser,
            "software\\microsoft\\windows\\currentversion\\policies\\system", "disabletaskmgr"),
        QString("1"));
    EXPECT_FALSE(platform::RegistryReadString(platform::RegistryRoot::LocalMachine,
                                              "SOFTWARE\\Quillbarrow\\Ferromont", "Install Path")
                     .has_value());
}
