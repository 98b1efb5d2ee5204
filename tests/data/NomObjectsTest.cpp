#include <gtest/gtest.h>

#include <QComboBox>

#include "DataTestSupport.h"
#include "data/DatabaseClass.h"
#include "data/NomObjects.h"
#include "platform/AppError.h"

namespace {

QStringList Names(const QComboBox& combo) {
    QStringList names;
    for (int i = 0; i < combo.count(); ++i)
        names << combo.itemText(i);
    return names;
}

class NomObjectsTest : public DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        if (HasFatalFailure())
            return;
        list_.SetActiveObject(NomObjectsItem());
    }
    // Replaces the demo objects with objects of the given codes, named "N" & code.
    void UseCodes(const QStringList& codes) {
        Exec(QStringLiteral("DELETE FROM objects"));
        int id = 1;
        for (const QString& code : codes)
            Exec(QStringLiteral("INSERT INTO objects (ID, Code, Name, Name2) VALUES (%1, '%2', "
                                "'N%2', '')")
                     .arg(id++)
                     .arg(code));
    }
    NomObjects list_;
};

}  // namespace

TEST_P(NomObjectsTest, LoadsTheObjectsThatAreNotDeletedInCodeOrder) {
    EXPECT_EQ(list_.Load(Database()), 6);
    EXPECT_EQ(list_.Count(), 6);
    QStringList codes;
    for (int16_t i = 0; i < list_.Count(); ++i)
        codes << list_.Item(i).Code();
    EXPECT_EQ(codes, (QStringList{"1", "2", "12", "100", "101", "150"}));

    const NomObjectsItem first = list_.Item(0);
    EXPECT_EQ(first.ID(), 1);
    EXPECT_EQ(first.Name(), QStringLiteral("Маса 1"));
    EXPECT_EQ(first.Name2(), QStringLiteral("Table 1"));
    EXPECT_EQ(first.IsVeryUsed(), 0);  // not a column of the list
    EXPECT_EQ(list_.Item(5).PriceGroup(), 2);
    EXPECT_EQ(list_.Item(4).GroupID(), 2);
    EXPECT_EQ(list_.Item(list_.Count()).ID(), 0);
    EXPECT_EQ(list_.Item(-1).ID(), 0);
    EXPECT_EQ(list_.Item(-1).GroupID(), 1);
}

TEST_P(NomObjectsTest, FindsByIdAndCodeWithoutTouchingTheActiveObject) {
    list_.Load(Database());
    EXPECT_EQ(list_.FindByID(5).Name(), QStringLiteral("Бар 1"));
    EXPECT_EQ(list_.FindByID(0).ID(), 0);
    EXPECT_EQ(list_.FindByID(7).ID(), 0);  // deleted
    EXPECT_EQ(list_.FindByCode(QStringLiteral("150")).ID(), 6);
    EXPECT_EQ(list_.FindByCode(QStringLiteral("   ")).ID(), 0);
    EXPECT_EQ(list_.FindByCode(QStringLiteral("1'50")).ID(), 0);
    EXPECT_EQ(list_.FindByCode(QStringLiteral("1' OR Code<>'")).ID(), 0);
    EXPECT_EQ(list_.ActiveObject().ID(), 0);
}

TEST_P(NomObjectsTest, RangeOneListsItsCodesAndMakesTheBoundTheActiveObject) {
    list_.Load(Database());
    QComboBox combo;
    list_.FillComboBoxRestaurant(&combo, 1, false);
    EXPECT_EQ(Names(combo), (QStringList{"Маса 1", "Маса 2", "Маса 12"}));
    EXPECT_EQ(combo.itemData(2).toInt(), 3);
    EXPECT_EQ(list_.ActiveObject().Name(), QStringLiteral("Салон"));

    list_.FillComboBoxRestaurant(&combo, 2, true);
    EXPECT_EQ(Names(combo), (QStringList{"Бар 1", "Тераса"}));
    EXPECT_EQ(combo.itemData(1).toInt(), 150);
}

TEST_P(NomObjectsTest, CodeRangeEdges) {
    UseCodes({"200", "201", "250", "299", "300", "0", "abc", "999", "1000", "150.5", "1"});
    list_.Load(Database());
    QComboBox combo;
    list_.FillComboBoxRestaurant(&combo, 3, false);
    EXPECT_EQ(Names(combo), (QStringList{"N201", "N250", "N299"}));
    EXPECT_EQ(list_.ActiveObject().Code(), QStringLiteral("300"));

    list_.SetActiveObject(NomObjectsItem());
    list_.FillComboBoxRestaurant(&combo, 10, true);
    // Neither code 0 nor a code that is no number is listed, nor the bound.
    EXPECT_EQ(Names(combo),
              (QStringList{"N1", "N150.5", "N200", "N201", "N250", "N299", "N300", "N999"}));
    EXPECT_EQ(combo.itemData(1).toInt(), 150);  // the code as a whole number
    EXPECT_EQ(list_.ActiveObject().Code(), QStringLiteral("1000"));

    list_.FillComboBoxRestaurant(&combo, 2, false);
    EXPECT_EQ(Names(combo), (QStringList{"N150.5"}));  // bounds compare as numbers
}

TEST_P(NomObjectsTest, ObjectsWithOneCodeAreOrderedByName) {
    Exec(
        QStringLiteral("INSERT INTO objects (ID, Code, Name, Name2) VALUES (20, '12', 'Маса 12', "
                       "'B'), (21, '12', 'Маса 12', 'A'), (22, '12', 'Бар', '')"));
    list_.Load(Database());
    QComboBox combo;
    list_.FillComboBoxRestaurant(&combo, 1, false);
    EXPECT_EQ(Names(combo),
              (QStringList{"Маса 1", "Маса 2", "Бар", "Маса 12", "Маса 12", "Маса 12"}));
    EXPECT_EQ(combo.itemData(3).toInt(), 21);
    EXPECT_EQ(combo.itemData(4).toInt(), 20);
}

TEST_P(NomObjectsTest, FillComboBoxListsEveryObjectAndFindsTheGivenOne) {
    list_.Load(Database());
    QComboBox combo;
    list_.FillComboBox(&combo, 6);
    EXPECT_EQ(combo.count(), 6);
    EXPECT_EQ(list_.ActiveObject().Code(), QStringLiteral("150"));
}

TEST_P(NomObjectsTest, FillingAComboBoxRunsNoOtherHandlerInside) {
    list_.Load(Database());
    QComboBox combo;
    const QStringList after{"returned", "queued"};
    EXPECT_EQ(QueuedHandlerOrder([&] { list_.FillComboBox(&combo, 6); }), after);
    EXPECT_EQ(combo.count(), 6);
    EXPECT_EQ(QueuedHandlerOrder([&] { list_.FillComboBoxRestaurant(&combo, 1, false); }), after);
    EXPECT_EQ(combo.count(), 3);
}

TEST_P(NomObjectsTest, AFailedLoadLeavesAnEmptyListThatStillAnswers) {
    Database().SetConnectTo(7);  // no CodeSort for this type: the query fails
    EXPECT_EQ(list_.Load(Database()), 0);
    EXPECT_EQ(LogEntries(QStringLiteral(
                  "Database.ExecuteRecordsetRepl(' ID, Code, Name, Name2, GroupID, PriceGroup FROM "
                  "objects  WHERE Deleted<>-1  ORDER BY IsVeryUsed, 1, Code, Name, Name2')")),
              1);
    EXPECT_EQ(list_.Count(), 0);
    EXPECT_EQ(list_.Item(0).ID(), 0);
    EXPECT_EQ(list_.FindByID(1).ID(), 0);
    EXPECT_EQ(list_.FindByCode(QStringLiteral("1")).ID(), 0);
    QComboBox combo;
    EXPECT_THROW(list_.FillComboBoxRestaurant(&combo, 1, false), AppError);

    NomObjects never;
    EXPECT_EQ(never.Count(), 0);
    EXPECT_THROW(never.FillComboBoxRestaurant(&combo, 1, false), AppError);
}

INSTANTIATE_ON_BOTH_DATABASES(NomObjectsTest);
