#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "data/ConfigurationValues.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "data/NomUsers.h"
#include "platform/sql/Recordset.h"

namespace {

using ModOperationsTest = DataTest;

void LogIn(int32_t id) {
    NomUsersItem user;
    user.SetID(id);
    Users().SetActiveUser(user);
}

}  // namespace

TEST_P(ModOperationsTest, LoadGoodsGroupsReadsTheTopLevelGroupsByCode) {
    LoadGoodsGroups();
    auto rs = GoodsGroupsRecordset();
    ASSERT_TRUE(rs);
    ASSERT_EQ(rs->State(), 1);
    ASSERT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->FieldName(0), QStringLiteral("ID"));
    QStringList codes;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
        codes << rs->Fields(QStringLiteral("Code")).ToString();
    EXPECT_EQ(codes, (QStringList{"001", "002", "003"}));
    rs->SetFilter(QStringLiteral("Code = '002'"));
    EXPECT_EQ(rs->Fields(QStringLiteral("Name")).ToString(), QStringLiteral("Бар"));

    Exec(QStringLiteral("DELETE FROM goodsgroups WHERE Code = '003'"));
    LoadGoodsGroups();
    EXPECT_EQ(GoodsGroupsRecordset()->RecordCount(), 2);
    EXPECT_EQ(rs->RecordCount(), 1) << "the old recordset is the caller's until it drops it";
}

TEST_P(ModOperationsTest, ConfigurationValuesTakeTheNewestRow) {
    EXPECT_EQ(ReadConfigurationValue(49, 4).ToString(), QStringLiteral("2"));
    EXPECT_TRUE(ReadConfigurationValue(49, 2).IsEmpty());
    EXPECT_TRUE(ReadConfigurationValue(50, 4).IsEmpty());
    Exec(
        QStringLiteral("INSERT INTO configuration (ID, `Key`, UserId, `Value`) VALUES "
                       "(10, 'configkey49', 3, '7'), (9, 'configkey49', 3, '1'), "
                       "(11, 'configkey490', 3, '5'), (12, 'configkey49', 2, NULL)"));
    EXPECT_EQ(GetUserRegistrationID(3), 7);
    EXPECT_EQ(GetUserRegistrationID(4), 2);
    EXPECT_EQ(GetUserRegistrationID(2), 0);
    EXPECT_EQ(GetUserRegistrationID(99), 0);
    EXPECT_EQ(LogText(), QString());
}

TEST_P(ModOperationsTest, DefaultObjectRegReadsTheUsersCompanyOrTheDefault) {
    LogIn(4);
    CompanyRegistration own = DefaultObjectReg(false);
    EXPECT_EQ(own.ID, 2);
    EXPECT_EQ(own.Company, QStringLiteral("Кестрел Бар ООД"));
    EXPECT_EQ(own.City, QStringLiteral("Пловдив"));
    EXPECT_EQ(own.eMail, QStringLiteral("bar@kestrel.example"));
    EXPECT_FALSE(own.IsDefault);

    LogIn(2);
    CompanyRegistration fallback = DefaultObjectReg(false);
    EXPECT_EQ(fallback.ID, 1);
    EXPECT_EQ(fallback.Company, QStringLiteral("Ресторант Кестрел ЕООД"));
    EXPECT_EQ(fallback.BankAcct, QStringLiteral("BG00BANK1"));
    EXPECT_TRUE(fallback.IsDefault);
    EXPECT_EQ(LogText(), QString());
}

TEST_P(ModOperationsTest, AMissingCompanyIsRecordedOnceAndGivesAnEmptyRecord) {
    Exec(
        QStringLiteral("INSERT INTO configuration (ID, `Key`, UserId, `Value`) VALUES "
                       "(5, 'configkey49', 3, '7')"));
    LogIn(3);
    const CompanyRegistration none = DefaultObjectReg(false);
    EXPECT_EQ(none.ID, 0);
    EXPECT_EQ(none.Company, QString());
    EXPECT_EQ(LogEntries(QStringLiteral("Operations.DefaultObjectReg")), 1);
    EXPECT_TRUE(LogText().contains(QStringLiteral("Error code:      0\r\n")));

    Exec(QStringLiteral("DROP TABLE registration"));
    LogIn(2);
    EXPECT_EQ(DefaultObjectReg(false).ID, 0);
    EXPECT_EQ(LogEntries(QStringLiteral("Operations.DefaultObjectReg")), 2);
    EXPECT_TRUE(
        LogText().contains(QStringLiteral("Method Name:     Database.ExecuteRecordsetRepl('"
                                          "SELECT Address, BankAcct, BankCode, BankName,  "
                                          "BankVATAcct, Bulstat, City, Code, Company,  "
                                          "eMail, Fax, ID, IsDefault, MOL, Phone, TaxNo, "
                                          "Note1, Note2  FROM registration  WHERE "
                                          "IsDefault = -1')")));
}

TEST_P(ModOperationsTest, CleanRecordsLoseTheCharactersSqlLiteralsCannotHold) {
    Exec(
        QStringLiteral("UPDATE registration SET Company = '  Ресторант ''Кестрел''   #1 / "
                       "\\\\ ~ ', City = 'a/b\\\\c' WHERE ID = 1"));
    LogIn(2);
    const CompanyRegistration raw = DefaultObjectReg(false);
    EXPECT_TRUE(raw.Company.contains('\''));
    const CompanyRegistration clean = DefaultObjectReg(true);
    EXPECT_EQ(clean.Company, QStringLiteral("Ресторант Кестрел 1   *"));
    EXPECT_EQ(clean.City, QStringLiteral("abc"));
}

INSTANTIATE_ON_BOTH_DATABASES(ModOperationsTest);

TEST(CleanRegistrationTextTest, QualifiesAndDropsSlashes) {
    EXPECT_EQ(CleanRegistrationText(QStringLiteral(" O'Neil  & Co / \\ ~ ")),
              QStringLiteral("ONeil  Co   *"));
    EXPECT_EQ(CleanRegistrationText(QStringLiteral("ул. \"Витоша\" 1")),
              QStringLiteral("ул. \"Витоша\" 1"));
}
