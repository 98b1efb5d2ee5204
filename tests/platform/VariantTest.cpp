#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "platform/AppError.h"
#include "platform/Variant.h"

TEST(Variant, TypeCodes) {
    EXPECT_EQ(Variant().TypeCode(), 0);
    EXPECT_EQ(Variant::Null().TypeCode(), 1);
    EXPECT_EQ(Variant::FromInteger(1).TypeCode(), 2);
    EXPECT_EQ(Variant(int32_t(1)).TypeCode(), 3);
    EXPECT_EQ(Variant::FromSingle(1).TypeCode(), 4);
    EXPECT_EQ(Variant(1.5).TypeCode(), 5);
    EXPECT_EQ(Variant::FromCurrency(10000).TypeCode(), 6);
    EXPECT_EQ(Variant::FromDate(40716).TypeCode(), 7);
    EXPECT_EQ(Variant("a").TypeCode(), 8);
    EXPECT_EQ(Variant(true).TypeCode(), 11);
    EXPECT_EQ(Variant::FromByte(1).TypeCode(), 17);
    EXPECT_EQ(Variant(QByteArray("a")).TypeCode(), 8209);
}

TEST(Variant, TextForms) {
    EXPECT_EQ(Variant(true).ToString(), "True");
    EXPECT_EQ(Variant(false).ToString(), "False");
    EXPECT_EQ(Variant(int32_t(-42)).ToString(), "-42");
    EXPECT_EQ(Variant(2.5).ToString(), "2.5");
    EXPECT_EQ(Variant::FromCurrency(15000).ToString(), "1.5");
    EXPECT_EQ(Variant::Null().ToString(), "");
    EXPECT_EQ(Variant::FromDate(40716).ToString(), "22.06.2011");
}

TEST(Variant, Conversions) {
    EXPECT_EQ(Variant("2.5").ToInteger(), 2);
    EXPECT_EQ(Variant(true).ToLong(), -1);
    EXPECT_TRUE(Variant("TRUE").ToBoolean());
    EXPECT_FALSE(Variant(int32_t(0)).ToBoolean());
    EXPECT_EQ(Variant().ToLong(), 0);
    EXPECT_THROW(Variant::Null().ToLong(), AppError);
    EXPECT_THROW(Variant("x").ToDouble(), AppError);
    EXPECT_EQ(Variant("22.06.2011 10:30:00").ToDateTime(),
              QDateTime(QDate(2011, 6, 22), QTime(10, 30)));
    EXPECT_EQ(Variant("2011-06-22 10:30:00").ToDateTime(),
              QDateTime(QDate(2011, 6, 22), QTime(10, 30)));
    EXPECT_THROW(Variant("soon").ToDateTime(), AppError);
}
