#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "platform/CodePage.h"

using namespace platform;

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { qunsetenv("KESTRELLE_CODEPAGE"); }
};

TEST_F(CodePageTest, DefaultIsCp1251) {
    EXPECT_EQ(AnsiCodePageName(), "CP1251");
    EXPECT_EQ(ToAnsi("Аб"), QByteArray("\xc0\xe1"));
    EXPECT_EQ(FromAnsi(QByteArray("\xc0\xe1 ok")), "Аб ok");
}

TEST_F(CodePageTest, UnmappableCharactersAndBytes) {
    EXPECT_EQ(ToAnsi("a€€中b"), QByteArray("a\x88\x88?b"));
    EXPECT_EQ(ToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
}

TEST_F(CodePageTest, EveryByteOfASingleByteCodePageComesBack) {
    // 0x98 is undefined in CP1251: a datagram holding it is still stored and
    // acknowledged with the bytes that came.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    for (const char* page :
         {"", "CP1250", "CP1252", "CP1253", "CP1254", "CP1256", "CP1257", "CP874"})
        EXPECT_EQ(ToCodePage(FromCodePage(all, page), page), all) << page;
    EXPECT_EQ(ToAnsi(FromAnsi(QByteArray("\x98 ok"))), QByteArray("\x98 ok"));
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

TEST_F(CodePageTest, CodePagesThatHoldACharacterBackLoseNone) {
    // Vietnamese and Hebrew decoders wait for a combining mark after each
    // letter: a letter at the end of the text must still come out.
    EXPECT_EQ(FromCodePage(QByteArray("Ab"), "CP1258"), "Ab");
    EXPECT_EQ(FromCodePage(QByteArray("A\xec"), "CP1258"), "Á");
    EXPECT_EQ(ToCodePage("ế", "CP1258"), QByteArray("\xea\xec"));
    EXPECT_EQ(FromCodePage(QByteArray("\xf9\xe0"), "CP1255"), "שא");
    qputenv("KESTRELLE_CODEPAGE", "1258");
    ResetAnsiCodePage();
    EXPECT_EQ(FromAnsi(QByteArray("Tab")), "Tab");
}

TEST_F(CodePageTest, FontCharacterSetsNameTheirCodePages) {
    const std::pair<int, const char*> sets[] = {
        {0, "CP1252"},   {238, "CP1250"}, {204, "CP1251"}, {161, "CP1253"}, {162, "CP1254"},
        {177, "CP1255"}, {178, "CP1256"}, {186, "CP1257"}, {163, "CP1258"}, {222, "CP874"},
        {128, "CP932"},  {134, "CP936"},  {129, "CP949"},  {136, "CP950"}};
    for (const auto& [charset, name] : sets)
        EXPECT_EQ(CharsetCodePage(charset), name) << charset;
    // Default, symbol and OEM sets have none: their texts are the station's.
    for (int charset : {1, 2, 255, -5})
        EXPECT_EQ(CharsetCodePage(charset), "") << charset;

    // Texts of several code pages side by side, whatever the station uses.
    EXPECT_EQ(FromCodePage(QByteArray("T\xfcr"), "CP1252"), "Tür");
    EXPECT_EQ(FromCodePage(QByteArray("\xc2\xef\xde\xe8\xe5\xe9\xe1"), "CP1253"), "Βοήθεια");
    EXPECT_EQ(ToCodePage("Βοήθεια", "CP1253"), QByteArray("\xc2\xef\xde\xe8\xe5\xe9\xe1"));
    EXPECT_EQ(ToCodePage("Tür Б", "CP1252"), QByteArray("T\xfcr ?"));
    EXPECT_EQ(FromCodePage(QByteArray("\x93\xfa\x96\x7b"), "CP932"), "日本");
    // No name: the station's code page.
    EXPECT_EQ(FromCodePage(QByteArray("\xc0"), ""), "А");
    EXPECT_EQ(ToCodePage("А", ""), QByteArray("\xc0"));
}
