#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include "common/TestSupport.h"
#include "platform/IniFile.h"

using namespace platform;

class IniFileTest : public TempAppDataTest {
protected:
    QString File() const { return PathIn("test.ini"); }
};

TEST_F(IniFileTest, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(IniRead(File(), "A", "B", 255), "");
    WriteBytes(File(), "[A]\r\nB=1\r\n");
    EXPECT_EQ(IniRead(File(), "A", "C", 255), "");
    EXPECT_EQ(IniRead(File(), "X", "B", 255), "");
    EXPECT_FALSE(IniLookup(File(), "X", "B").has_value());
    EXPECT_EQ(IniRead(PathIn("nofolder/test.ini"), "A", "B", 255), "");
}

TEST_F(IniFileTest, NamesCompareWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    WriteBytes(File(),
               "[Communication]\r\n  Value =  2  \r\n[Q]\r\nd=\"quoted\"\r\ns='single'\r\n"
               "half=\"open\r\nin=a \"b\" c\r\n");
    EXPECT_EQ(IniRead(File(), "COMMUNICATION", "value", 255), "2");
    EXPECT_EQ(IniRead(File(), "q", "D", 255), "quoted");
    EXPECT_EQ(IniRead(File(), "q", "s", 255), "single");
    EXPECT_EQ(IniRead(File(), "q", "half", 255), "\"open");
    EXPECT_EQ(IniRead(File(), "q", "in", 255), "a \"b\" c");
    // Only blanks and tabs are trimmed: every name listed can be read.
    WriteBytes(File(), "[\f]\r\n\v=v\r\n");
    ASSERT_EQ(IniSectionNames(File()), QStringList({"\f"}));
    ASSERT_EQ(IniKeyNames(File(), "\f"), QStringList({"\v"}));
    EXPECT_EQ(IniRead(File(), " \f\t", "\v", 255), "v");
}

TEST_F(IniFileTest, ReadIsCutToBufferSizeLessOne) {
    const QString value(300, 'x');
    ASSERT_TRUE(IniWrite(File(), "S", "K", value));
    EXPECT_EQ(IniRead(File(), "S", "K", 255).size(), 254);
    EXPECT_EQ(IniRead(File(), "S", "K", 1024).size(), 300);
    EXPECT_EQ(IniRead(File(), "S", "K", 1), "");
}

TEST_F(IniFileTest, FirstOfDuplicateSectionsAndKeysWins) {
    WriteBytes(File(), "[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\nz=4\r\n");
    EXPECT_EQ(IniRead(File(), "A", "k", 255), "1");
    EXPECT_EQ(IniRead(File(), "A", "z", 255), "");
    EXPECT_EQ(IniSectionNames(File()), QStringList({"A"}));
    // A write goes to the first occurrence too.
    ASSERT_TRUE(IniWrite(File(), "a", "K", "9"));
    EXPECT_EQ(ReadBytes(File()), "[A]\r\nk=9\r\nk=2\r\n[a]\r\nk=3\r\nz=4\r\n");
}

TEST_F(IniFileTest, EveryLineEndIsALineEnd) {
    WriteBytes(File(), "[A]\rk=cr\r[B]\nk=lf\n[C]\r\nk=crlf");
    EXPECT_EQ(IniRead(File(), "A", "k", 255), "cr");
    EXPECT_EQ(IniRead(File(), "B", "k", 255), "lf");
    EXPECT_EQ(IniRead(File(), "C", "k", 255), "crlf");
}

TEST_F(IniFileTest, WritesCreateSectionsAndKeysInPlace) {
    ASSERT_TRUE(IniWrite(File(), "Communication", "Value", "1"));
    EXPECT_EQ(ReadBytes(File()), "[Communication]\r\nValue=1\r\n");
    ASSERT_TRUE(IniWrite(File(), "Language", "Value", "EN"));
    ASSERT_TRUE(IniWrite(File(), "Communication", "Extra", "x"));
    ASSERT_TRUE(IniWrite(File(), "communication", "VALUE", "2"));
    EXPECT_EQ(ReadBytes(File()),
              "[Communication]\r\nValue=2\r\nExtra=x\r\n[Language]\r\nValue=EN\r\n");
}

TEST_F(IniFileTest, AValueCannotForgeASection) {
    ASSERT_TRUE(IniWrite(File(), "A", "k", "x\r\n[Evil]\r\nk=y"));
    EXPECT_EQ(IniRead(File(), "A", "k", 255), "x [Evil] k=y");
    EXPECT_EQ(IniSectionNames(File()), QStringList({"A"}));
    // A write the reader would not read back as written is refused: a key
    // line that would turn into a header, a name that a parse would cut.
    WriteBytes(File(), "[A]\r\n[k=1\r\n");
    EXPECT_FALSE(IniWrite(File(), "A", "[k", "x]"));
    EXPECT_FALSE(IniWrite(File(), "A", "k=2", "v"));
    EXPECT_FALSE(IniWrite(File(), "B\r\n[C", "k", "v"));
    EXPECT_FALSE(IniWrite(File(), "B", "k\nx", "v"));
    EXPECT_EQ(ReadBytes(File()), "[A]\r\n[k=1\r\n");
    EXPECT_EQ(IniRead(File(), "A", "[k", 255), "1");
}

TEST_F(IniFileTest, WriteIntoAMissingFolderFailsAndCreatesNothing) {
    EXPECT_FALSE(IniWrite(PathIn("missing/x.ini"), "A", "k", "1"));
    EXPECT_FALSE(QDir(PathIn("missing")).exists());
}

TEST_F(IniFileTest, ChangesByAnotherWriterAreSeenAtOnce) {
    ASSERT_TRUE(IniWrite(File(), "A", "k", "1"));
    EXPECT_EQ(IniRead(File(), "A", "k", 255), "1");
    // Same size, rewritten in place within the same instant: still seen.
    for (int i = 2; i < 10; ++i) {
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(QByteArray("[A]\r\nk=") + QByteArray::number(i) + "\r\n");
        f.close();
        EXPECT_EQ(IniRead(File(), "A", "k", 255), QString::number(i));
    }
    QFile::remove(File());
    EXPECT_EQ(IniRead(File(), "A", "k", 255), "");
}

TEST_F(IniFileTest, BrokenContentNeverCrashes) {
    QByteArray garbage;
    QRandomGenerator rng(7);
    for (int i = 0; i < 200000; ++i)
        garbage.append(char(rng.bounded(256)));
    garbage.append("\n[Ok]\nk=\0v\0al\n", 15);
    WriteBytes(File(), garbage);
    EXPECT_EQ(IniRead(File(), "Ok", "k", 255), "val");  // NULs removed
    ASSERT_TRUE(IniWrite(File(), "New", "k", "1"));
    EXPECT_EQ(IniRead(File(), "New", "k", 255), "1");
    EXPECT_EQ(IniRead(File(), "Ok", "k", 255), "val");
}

TEST_F(IniFileTest, ValuesAreInTheAnsiCodePage) {
    ASSERT_TRUE(IniWrite(File(), "Текст", "BG", "Поръчка"));
    const QByteArray bytes = ReadBytes(File());
    EXPECT_TRUE(bytes.contains("\xcf\xee\xf0\xfa\xf7\xea\xe0"));  // CP1251
    EXPECT_EQ(IniRead(File(), "ТЕКСТ", "bg", 255), "Поръчка");

    // Letters the code page lacks: the writer answers what the file holds,
    // now and after a restart, and a name is found as it was written.
    const QString stored = QString::fromUtf8("?mlaut-€-?");
    ASSERT_TRUE(IniWrite(File(), "ServerName", "Value", QString::fromUtf8("ümlaut-€-汉")));
    ASSERT_TRUE(IniWrite(File(), QString::fromUtf8("Ключ-ü"), "Value", "1"));
    EXPECT_TRUE(ReadBytes(File()).contains("Value=?mlaut-\x88-?\r\n[\xca\xeb\xfe\xf7-?]"));
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(IniRead(File(), "ServerName", "Value", 255), stored) << run;
        EXPECT_EQ(IniRead(File(), QString::fromUtf8("Ключ-ü"), "Value", 255), "1") << run;
        EXPECT_EQ(IniSectionNames(File()).last(), QString::fromUtf8("Ключ-?")) << run;
        IniClearCache();
    }
    ASSERT_TRUE(IniWrite(File(), QString::fromUtf8("Ключ-ü"), "Value", "2"));
    EXPECT_EQ(IniSectionNames(File()).size(), 3);
}

// A writer process killed at random moments never leaves half a file.
TEST_F(IniFileTest, AtomicWriteSurvivesAKilledWriter) {
    const QString writer = QCoreApplication::applicationDirPath() + "/ini_stress_writer";
    ASSERT_TRUE(QFile::exists(writer));
    ASSERT_TRUE(IniWrite(File(), "Data", "Blob", QString(256 * 1024, 'z')));
    ASSERT_TRUE(IniWrite(File(), "End", "Marker", "start"));
    QRandomGenerator rng(42);
    for (int round = 0; round < 15; ++round) {
        QProcess p;
        p.start(writer, {File()});
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(20 + rng.bounded(60));
        p.kill();
        p.waitForFinished();
        IniClearCache();
        const QString blob = IniRead(File(), "Data", "Blob", 300 * 1024);
        ASSERT_EQ(blob.size(), 256 * 1024) << "round " << round;
        ASSERT_EQ(blob.count(blob[0]), blob.size());
        ASSERT_FALSE(IniRead(File(), "End", "Marker", 255).isEmpty()) << "round " << round;
        ASSERT_TRUE(ReadBytes(File()).endsWith("\r\n"));
    }
}

TEST_F(IniFileTest, SeveralWritesLandTogetherOrNotAtAll) {
    ASSERT_TRUE(IniWriteMany(
        File(),
        {{"Count", "Value", "2"}, {"Order_01", "Row_000", "a"}, {"Order_01", "Rows", "1"}}));
    EXPECT_EQ(ReadBytes(File()), "[Count]\r\nValue=2\r\n[Order_01]\r\nRow_000=a\r\nRows=1\r\n");
    EXPECT_FALSE(IniWriteMany(File(), {{"Count", "Value", "3"}, {"", "Rows", "1"}}));
    EXPECT_EQ(IniRead(File(), "Count", "Value", 255), "2");
}

// What the writer's own index answers equals what a fresh parse of the file
// answers, whatever order sections, keys and quoted values are written in.
TEST_F(IniFileTest, TheWritersIndexAgreesWithAFreshParse) {
    QRandomGenerator rng(11);
    QList<IniEntry> written;
    for (int round = 0; round < 60; ++round) {
        QList<IniEntry> batch;
        for (int i = 0; i < 1 + int(rng.bounded(5)); ++i) {
            const QString section = QString("S%1").arg(rng.bounded(8));
            const QString key = QString("K%1").arg(rng.bounded(6));
            const QString values[] = {"plain",
                                      "  padded  ",
                                      "\"quoted\"",
                                      "",
                                      QString("v%1").arg(round),
                                      QString::fromUtf8("ümlaut-€-汉")};
            batch.append({section, key, values[rng.bounded(6)]});
        }
        ASSERT_TRUE(IniWriteMany(File(), batch));
        written += batch;
    }
    QHash<QString, QString> cached;
    for (const IniEntry& e : written)
        cached[e.section + '|' + e.key] = IniRead(File(), e.section, e.key, 255);
    IniClearCache();
    for (const IniEntry& e : written)
        EXPECT_EQ(IniRead(File(), e.section, e.key, 255), cached[e.section + '|' + e.key])
            << e.section.toStdString();
    EXPECT_EQ(IniRead(File(), "S1", "K1", 255), cached.value("S1|K1"));
}

// The dictionary holds each language's texts in its own code page.
TEST_F(IniFileTest, ValuesOfSeveralCodePagesKeepTheirBytes) {
    const QByteArray file(
        "[T\xfc\xf0]\r\nDE=T\xfcr\r\nGR=\xc2\xef\xde\r\nJA=\x88\x98\r\n[Next]\r\nX=1\r\n");
    WriteBytes(File(), file);
    EXPECT_EQ(IniLookupBytes(File(), "Tüр", "gr"), std::nullopt);  // names are CP1251
    EXPECT_EQ(IniLookupBytes(File(), "tьр", "gr"), QByteArray("\xc2\xef\xde"));
    EXPECT_EQ(IniLookupBytes(File(), "Tьр", "JA"), QByteArray("\x88\x98"));
    ASSERT_TRUE(IniWriteBytes(File(), "Tьр", "ES", "A\xf1o"));
    ASSERT_TRUE(IniWriteBytes(File(), "Next", "X", "\xfe\r\n\xff"));
    EXPECT_EQ(ReadBytes(File()),
              "[T\xfc\xf0]\r\nDE=T\xfcr\r\nGR=\xc2\xef\xde\r\nJA=\x88\x98\r\nES=A\xf1o\r\n"
              "[Next]\r\nX=\xfe \xff\r\n");
    EXPECT_EQ(IniLookupBytes(File(), "Tьр", "ES"), QByteArray("A\xf1o"));
    // The same file read through the station's code page sees the writes.
    EXPECT_EQ(IniRead(File(), "Tьр", "DE", 255), "Tьr");
    ASSERT_TRUE(IniWrite(File(), "Tьр", "DE", "Ть"));
    EXPECT_EQ(IniLookupBytes(File(), "Tьр", "DE"), QByteArray("\xd2\xfc"));
}
