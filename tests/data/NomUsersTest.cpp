#include <gtest/gtest.h>

#include <QComboBox>

#include "DataTestSupport.h"
#include "core/CryptoClass.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "platform/Runtime.h"

namespace {

class NomUsersTest : public DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(list_.Load(Database()), 4);
    }
    void AddUser(int id, const QString& name, const QString& password, const QString& card) {
        Exec(QStringLiteral("INSERT INTO users (ID, Code, Name, Name2, UserLevel, Password, "
                            "CardNumber, Deleted) VALUES (%1, '%1', '%2', '', 1, '%3', '%4', 0)")
                 .arg(id)
                 .arg(name, password, card));
    }
    QString Enciphered(QString plain) { return Crypto().Encrypt(plain); }
    NomUsers list_;
};

}  // namespace

TEST_P(NomUsersTest, LoadsUsersThatAreNotDeletedByName) {
    EXPECT_EQ(list_.Count(), 4);
    QStringList names;
    for (int16_t i = 0; i < list_.Count(); ++i)
        names << list_.Item(i).Name();
    EXPECT_EQ(names, (QStringList{"Иван Петров", "Мария Георгиева", "Сервиз", "Управител"}));
    const NomUsersItem manager = list_.Item(3);
    EXPECT_EQ(manager.ID(), 4);
    EXPECT_EQ(manager.level(), 2);
    EXPECT_EQ(manager.CardNumber(), QStringLiteral("10003"));
    EXPECT_EQ(manager.Password(), QStringLiteral("yth0OiShC6U="));
    EXPECT_EQ(manager.GroupID(), 1);
    EXPECT_EQ(list_.Item(list_.Count()).ID(), 0);
    EXPECT_EQ(list_.Item(-1).level(), 2);
    EXPECT_EQ(list_.FindByID(3).Name(), QStringLiteral("Мария Георгиева"));
    EXPECT_EQ(list_.FindByID(5).ID(), 0);  // deleted
    EXPECT_EQ(list_.FindByName(QStringLiteral("Управител")).ID(), 4);
    EXPECT_EQ(list_.ActiveUser().ID(), 0);
}

TEST_P(NomUsersTest, FindsByCardWithOrWithoutThePrefix) {
    QString card = QStringLiteral("10002");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 3);

    card = QStringLiteral("97110002");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 3);
    EXPECT_EQ(card, QStringLiteral("10002"));

    card = QStringLiteral("1\u00A00\u00A00\u00A002");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 3);
    EXPECT_EQ(card, QStringLiteral("10002"));

    card = QStringLiteral("   ");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 0);
    // The bare prefix, or no-break spaces alone, never find the users that
    // carry no card (the service user among them).
    card = QStringLiteral("971");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 0);
    card = QStringLiteral("\u00A0\u00A0");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 0);
    card = QStringLiteral("99910002");  // another prefix: nothing dropped
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 0);
    card = QStringLiteral("10'002");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 0);
    card = QStringLiteral("' OR CardNumber<>'");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 0);

    AddUser(6, QStringLiteral("Борис"), Enciphered(QStringLiteral("5555")),
            QStringLiteral("97110001"));
    list_.Load(Database());
    card = QStringLiteral("97110001");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 6);  // the whole text first
    card = QStringLiteral("10001");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 2);
}

TEST_P(NomUsersTest, FindsByPasswordButNeverTheServiceUser) {
    const CryptoClass crypto;
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("2222"), crypto).ID(), 3);
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("  2222 "), crypto).ID(), 3);
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("9999"), crypto).ID(), 0);
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("4444"), crypto).ID(), 0);  // deleted user
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("   "), crypto).ID(), 0);
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("wrong"), crypto).ID(), 0);

    // Two users with one password: the first by Name.
    AddUser(6, QStringLiteral("Алекс"), Enciphered(QStringLiteral("1111")), QString());
    list_.Load(Database());
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("1111"), crypto).ID(), 6);
    EXPECT_EQ(LogText(), QString());
}

TEST_P(NomUsersTest, AStoredPasswordThatIsNoCipherTextMatchesNothingAndIsRecorded) {
    AddUser(6, QStringLiteral("Аа"), QStringLiteral("1111"), QString());  // stored in clear
    AddUser(7, QStringLiteral("Аб"), QStringLiteral("not base64!"), QString());
    list_.Load(Database());
    const CryptoClass crypto;
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("1111"), crypto).ID(), 2);
    // Once, not at every attempt, also after the list is loaded again.
    list_.Load(Database());
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("1111"), crypto).ID(), 2);
    EXPECT_EQ(LogEntries(QStringLiteral("NomUsers.FindByPassword")), 2);
    EXPECT_TRUE(LogText().contains(QStringLiteral("(users.ID 6)")));
    EXPECT_FALSE(list_.CheckPassowrds());
}

TEST_P(NomUsersTest, RowsWithNullsReadAsEmptyValues) {
    Exec(QStringLiteral("INSERT INTO users (ID, Deleted) VALUES (8, 0)"));
    list_.Load(Database());
    ASSERT_EQ(list_.Count(), 5);
    const NomUsersItem nulls = list_.Item(0);  // NULL names sort first
    EXPECT_EQ(nulls.ID(), 8);
    EXPECT_EQ(nulls.Name(), QString());
    EXPECT_EQ(nulls.CardNumber(), QString());
    EXPECT_EQ(nulls.level(), 2);
    const CryptoClass crypto;
    EXPECT_EQ(list_.FindByPassword(QStringLiteral("3333"), crypto).ID(), 4);
    QString card = QStringLiteral("10003");
    EXPECT_EQ(list_.FindByCard(card, QStringLiteral("971")).ID(), 4);
    EXPECT_EQ(list_.FindByID(8).ID(), 8);
}

TEST_P(NomUsersTest, CheckPassowrdsFindsBlankPasswords) {
    EXPECT_TRUE(list_.CheckPassowrds());
    AddUser(6, QStringLiteral("Празен"), Enciphered(QStringLiteral("   ")), QString());
    list_.Load(Database());
    EXPECT_FALSE(list_.CheckPassowrds());
}

TEST_P(NomUsersTest, FillComboBoxListsOperatorsAndSelectsTheActiveUser) {
    list_.SetActiveUser(list_.FindByID(3));
    QComboBox combo;
    list_.FillComboBox(&combo, false);
    EXPECT_EQ(combo.count(), 3);  // not the service user
    EXPECT_EQ(combo.currentText(), QStringLiteral("Мария Георгиева"));
    list_.FillComboBox(&combo, true);
    EXPECT_EQ(combo.count(), 1);
    EXPECT_EQ(combo.itemData(0).toInt(), 4);
}

INSTANTIATE_ON_BOTH_DATABASES(NomUsersTest);

TEST(NomUsersRulesTest, ServicePasswordChangesEveryHour) {
    NomUsers users;
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)));
    const QString first = users.ServicePassword();
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(10, 59, 59)));
    EXPECT_EQ(users.ServicePassword(), first);
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(11, 0, 0)));
    const QString next = users.ServicePassword();
    EXPECT_NE(next, first);
    rt::SetNow(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 0)));
    EXPECT_NE(users.ServicePassword(), first);
    for (const QString& p : {first, next}) {
        EXPECT_LE(p.size(), 8);
        EXPECT_FALSE(p.isEmpty());
        for (QChar c : p)
            EXPECT_TRUE(c.isDigit()) << p.toStdString();
    }
    // The digest of "2026-12-08 10" with a character 0 after each character.
    QString wide;
    for (QChar c : QStringLiteral("2026-12-08 10"))
        wide += QString(c) + QChar(0);
    QString digits;
    for (QChar c : Crypto().MD5Encrypt(wide))
        if (c.isDigit())
            digits += c;
    EXPECT_EQ(first, digits.left(8));
    rt::ClearNow();
}

TEST(NomUsersRulesTest, PermissionsAllowEverythingButSetupForAll) {
    NomUsers users;
    NomUsersItem active;
    active.SetID(3);
    users.SetActiveUser(active);
    int32_t user = 0;
    EXPECT_TRUE(users.GetPermission(2, user));
    EXPECT_EQ(user, 3);
    int32_t other = 7;
    EXPECT_TRUE(users.GetPermission(16, other));
    EXPECT_EQ(other, 7);
    EXPECT_FALSE(users.IsFunctionAllowedForAll(2));
    EXPECT_TRUE(users.IsFunctionAllowedForAll(1));
    EXPECT_TRUE(users.IsFunctionAllowedForAll(16));
}

TEST(NomUsersRulesTest, AListNeverLoadedFindsNothing) {
    NomUsers users;
    QString card = QStringLiteral("10001");
    EXPECT_EQ(users.Count(), 0);
    EXPECT_EQ(users.FindByID(1).ID(), 0);
    EXPECT_EQ(users.FindByCard(card, QStringLiteral("971")).ID(), 0);
    EXPECT_EQ(users.FindByPassword(QStringLiteral("1111"), Crypto()).ID(), 0);
    EXPECT_TRUE(users.CheckPassowrds());
}
