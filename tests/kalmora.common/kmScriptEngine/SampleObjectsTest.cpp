// The sample product objects and the VAT cursor over their query.

#include "kmScriptEngine/SampleObjects.h"

#include "kmScriptEngine/MwstInfo.h"
#include "runtime/Exceptions.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

namespace kalmora {
namespace {

TEST(MwstInfo, WalksTheRowsAndHandsTheQueryBack) {
    {
        auto info = NewSampleInvoice()->CreateMwstInfo();
        EXPECT_EQ(OpenSampleQueries(), 1);
        ASSERT_TRUE(info->First());
        auto first = info->GetValues();
        EXPECT_EQ(first.Rate, TCurrency::FromUnits(190000));
        EXPECT_EQ(info->GetValues().Net, first.Net) << "reading does not move the cursor";
        ASSERT_TRUE(info->Next());
        EXPECT_EQ(info->GetValues().Vat, TCurrency::FromUnits(35000));
        EXPECT_FALSE(info->Next());
        EXPECT_THROW(info->GetValues(), Exception);
    }
    EXPECT_EQ(OpenSampleQueries(), 0);
}

TEST(MwstInfo, FirstWithoutRowsIsFalse) {
    TSampleInvoiceData data;
    data.VatRows.clear();
    auto info = NewSampleInvoice(data)->CreateMwstInfo();
    EXPECT_FALSE(info->First());
}

TEST(SampleObjects, CarryTheirFixedValues) {
    auto invoice = NewSampleInvoice();
    EXPECT_EQ(invoice->GetNumber(), "2024-0815");
    EXPECT_EQ(invoice->GetBasicNumber(), 815);
    EXPECT_EQ(invoice->GetDate(), DateToday());
    auto payment = NewSamplePayment();
    EXPECT_EQ(payment->GetPayMethod(), 3);
    EXPECT_EQ(payment->GetDate(), DateToday() - 1);
    EXPECT_EQ(payment->GetPaid().ToDouble(), 119.0);

    std::ostringstream out;
    auto report = NewSampleReport(out);
    EXPECT_EQ(report->GetParam("Titel"), "param:Titel");
    report->SetColWidth(2, 140);
    EXPECT_EQ(out.str(), "SetColWidth(2,140)\n");

    auto fiscal = NewSampleFiscalization();
    EXPECT_EQ(fiscal->GenerateSecurityCode(invoice, payment), "SC:2024-0815:paid");
    EXPECT_EQ(fiscal->GenerateSecurityCode(invoice, nullptr), "SC:2024-0815:none");
    EXPECT_EQ(fiscal->GenerateUniqueId().size(), 36u);
    EXPECT_NE(fiscal->GenerateUniqueId(), fiscal->GenerateUniqueId());
    EXPECT_EQ(fiscal->GetFiscalIdPractice(), "ATU12345678");
}

TEST(ScriptTypes, TodayIsAWholeDayAndNowFallsWithinIt) {
    double today = DateToday();
    EXPECT_EQ(today, std::floor(today));
    EXPECT_GT(today, 45000.0) << "after 2023";
    double now = DateTimeNow();
    EXPECT_GE(now, today);
    EXPECT_LT(now, today + 1.0001);
}

} // namespace
} // namespace kalmora
