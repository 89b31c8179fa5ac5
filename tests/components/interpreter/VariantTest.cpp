// The value type scripts and host functions exchange: which kinds convert into which, where conversion
// fails with EConvertError, and that copies never share mutable state.

#include "interpreter/Variant.h"

#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <limits>

namespace kalmora::test {
namespace {

TEST(VariantTest, ScalarsConvertByTheVariantRules) {
    EXPECT_EQ(Variant(true).AsInteger(), -1);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2) << "halves round to the even neighbour";
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    EXPECT_EQ(Variant(" $1F ").AsInteger(), 31);
    EXPECT_EQ(Variant("-12").AsInteger(), -12);
    EXPECT_EQ(Variant("2.5E1").AsDouble(), 25.0);
    EXPECT_TRUE(Variant(" TRUE ").AsBoolean());
    EXPECT_FALSE(Variant("0").AsBoolean());
    EXPECT_EQ(Variant().AsString(), "");
    EXPECT_EQ(Variant(0.1).AsString(), "0.1");
    EXPECT_EQ(Variant(1e20).AsString(), "1E20");
    EXPECT_EQ(Variant(1.5e-5).AsString(), "1.5E-5");
    EXPECT_EQ(Variant(false).AsString(), "False");
}

TEST(VariantTest, ImpossibleConversionsRaiseEConvertError) {
    EXPECT_THROW(Variant("12a").AsInteger(), EConvertError);
    EXPECT_THROW(Variant("").AsDouble(), EConvertError);
    EXPECT_THROW(Variant("inf").AsDouble(), EConvertError);
    EXPECT_THROW(Variant("maybe").AsBoolean(), EConvertError);
    EXPECT_THROW(Variant(3e9).AsInteger(), EConvertError) << "beyond 32 bits is not silently cut";
    EXPECT_THROW(Variant(std::numeric_limits<double>::quiet_NaN()).AsInteger(), EConvertError);
    EXPECT_THROW(Variant("4294967296").AsInteger(), EConvertError);
    EXPECT_THROW(Variant(std::vector<Variant>{Variant(1)}).AsString(), EConvertError);
    EXPECT_THROW(Variant(std::vector<Variant>{}).AsDouble(), EConvertError);
    EXPECT_THROW(Variant(5).ArrayLength(), EConvertError);
    EXPECT_THROW(Variant(5).AsObject(), EInvalidCast) << "no pointer is read out of an integer";
}

TEST(VariantTest, CurrencyAndDateKeepTheirUnits) {
    Variant price = Variant::FromCurrency(12.34565);
    EXPECT_EQ(price.Type(), TVarType::Currency);
    EXPECT_EQ(price.CurrencyUnits(), 123456);
    EXPECT_EQ(price.AsString(), "12.3456");
    EXPECT_EQ(Variant(7).AsCurrencyUnits(), 70000);
    EXPECT_THROW(Variant::FromCurrency(1e300), EOverflow);
    EXPECT_EQ(Variant::FromCurrency(922337203685477.0).CurrencyUnits(), 9223372036854770000)
        << "the largest amounts keep their last unit";
    EXPECT_EQ(Variant::FromCurrency(-922337203685477.0).CurrencyUnits(), -9223372036854770000);
    Variant day = Variant::FromDateTime(2.5);
    EXPECT_EQ(day.Type(), TVarType::Date);
    EXPECT_EQ(day.AsDateTime(), 2.5);
    EXPECT_THROW(Variant("2.5").AsDateTime(), EConvertError);
}

TEST(VariantTest, DatesReadAsTextInTheShortDateAndLongTimeFormat) {
    // The "C" settings: %m/%d/%y and %H:%M:%S.
    EXPECT_EQ(Variant::FromDateTime(0).AsString(), "12/30/99") << "midnight leaves the time out";
    EXPECT_EQ(Variant::FromDateTime(45000.5).AsString(), "03/15/23 12:00:00");
    EXPECT_EQ(Variant::FromDateTime(-1.25).AsString(), "12/29/99 06:00:00");
    EXPECT_EQ(Variant::FromDateTime(60.0).AsString(), "02/28/00");
    EXPECT_EQ(Variant::FromDateTime(61.0).AsString(), "03/01/00") << "1900 was no leap year";
    EXPECT_EQ(Variant::FromDateTime(1e9).AsString(), "1000000000") << "beyond the year 9999";
}

TEST(VariantTest, CopiesOfTextsAndArraysAreIndependent) {
    Variant a(std::vector<Variant>{Variant("x"), Variant(std::vector<Variant>{Variant(1)})});
    Variant b = a;
    b.Items()[0].StringValue() += "y";
    b.Items()[1].Items().push_back(Variant(2));
    EXPECT_EQ(a.Items()[0].AsString(), "x");
    EXPECT_EQ(a.Items()[1].ArrayLength(), 1);
    Variant moved = std::move(b);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(moved.Items()[1].ArrayLength(), 2);
    a = a; // self-assignment keeps the value
    EXPECT_EQ(a.ArrayLength(), 2);
}

class CountedObject : public TScriptObject {
public:
    void ScriptAddRef() noexcept override { ++Refs; }
    void ScriptRelease() noexcept override { --Refs; }
    int Refs = 0;
};

TEST(VariantTest, ObjectReferencesCountWhileVariantsHoldThem) {
    CountedObject obj;
    {
        Variant a = Variant::FromObject(&obj);
        Variant b = a;
        std::vector<Variant> list{a, b};
        EXPECT_EQ(obj.Refs, 4);
        b = Variant(1);
        EXPECT_EQ(obj.Refs, 3);
        EXPECT_EQ(a.AsObject(), &obj);
    }
    EXPECT_EQ(obj.Refs, 0);
    EXPECT_TRUE(Variant::FromObject(nullptr).IsEmpty());
    EXPECT_EQ(Variant().AsObject(), nullptr);
}

TEST(VariantTest, AssignIntegerReleasesWhatTheVariantHeld) {
    CountedObject obj;
    Variant v = Variant::FromObject(&obj);
    v.AssignInteger(5);
    EXPECT_EQ(obj.Refs, 0);
    EXPECT_EQ(v.AsInteger(), 5);
    Variant text("long enough to live on the heap, not in the small buffer");
    text.AssignInteger(-1);
    EXPECT_EQ(text.Type(), TVarType::Integer);
}

} // namespace
} // namespace kalmora::test
