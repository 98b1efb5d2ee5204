#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "platform/CodePage.h"

using namespace platform;

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override {
        qunsetenv("KESTRELLE_CODEPAGE");
        ResetAnsiCodePage();
    }
};

TEST_F(CodePageTest, DefaultIsCp1251) {
    EXPECT_EQ(AnsiCodePageName(), "CP1251");
    EXPECT_EQ(ToAnsi("Аб"), QByteArray("\xc0\xe1"));
    EXPECT_EQ(FromAnsi(QByteArray("\xc0\xe1 ok")), "Аб ok");
}

TEST_F(CodePageTest, UnmappableCharactersAndBytes) {
    EXPECT_EQ(ToAnsi("a€€中b"), QByteArray("a\x88\x88?b"));
    EXPECT_EQ(ToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    EXPECT_EQ(FromAnsi(QByteArray("\x98")), QString(QChar(0xFFFD)));  // undefined in CP1251
}

TEST_F(CodePageTest, EnvironmentChoosesAnother) {
    qputenv("KESTRELLE_CODEPAGE", "1252");
    ResetAnsiCodePage();
    EXPECT_EQ(AnsiCodePageName(), "CP1252");
    EXPECT_EQ(ToAnsi("é"), QByteArray("\xe9"));
    EXPECT_EQ(ToAnsi("Б"), QByteArray("?"));

    qputenv("KESTRELLE_CODEPAGE", "UTF-8");
    ResetAnsiCodePage();
    EXPECT_EQ(ToAnsi("Б"), QByteArray("\xd0\x91"));
    EXPECT_EQ(FromAnsi(QByteArray("\xd0\x91\xff")), QString("Б") + QChar(0xFFFD));

    qputenv("KESTRELLE_CODEPAGE", "NO-SUCH-PAGE");
    ResetAnsiCodePage();
    EXPECT_EQ(AnsiCodePageName(), "CP1251");
}
