#pragma once

// A product engine whose own registry holds the whole vocabulary and a Print that collects output lines, and
// the sample objects to give it.

#include "kmScriptEngine/KalmoraScriptEngine.h"
#include "kmScriptEngine/ProductFunctions.h"
#include "kmScriptEngine/SampleObjects.h"
#include "lmScriptEngine/CommonFunctions.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace kalmora::test {

class ProductScript : public ::testing::Test {
protected:
    ProductScript() {
        TJvInterpreterAdapter& own = Engine.Adapter();
        RegisterCommonFunctions(own);
        RegisterUtilFunctions(own);
        RegisterProductFunctions(own);
        own.DefineFunction(
            "Test", "Print", [this](Variant&, TJvInterpreterArgs& a) { Output += a[0].AsString() + "\n"; }, 1,
            {}, ResultNotDeclared);
    }

    void GiveSamples(TSampleInvoiceData invoice = {}, TSamplePaymentData payment = {}) {
        Engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(NewSampleInvoice(std::move(invoice)));
        Engine.PaymentWrapper = std::make_unique<TIZahlungseingangWrapper>(NewSamplePayment(payment));
        Engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(NewSampleReport(ReportOut));
        Engine.FiscalizationWrapper = std::make_unique<TIFiscalizationWrapper>(NewSampleFiscalization());
    }

    // The output of the script's Print calls.
    std::string Run(const std::string& source) {
        Output.clear();
        Engine.SetSource(source);
        Engine.Run();
        return Output;
    }

    // The message of what the script raised; fails the test when it ends normally.
    template <class E = Exception> std::string RunFailing(const std::string& source) {
        try {
            Run(source);
        } catch (const E& error) {
            return error.Message();
        }
        ADD_FAILURE() << "no error from:\n" << source;
        return {};
    }

    TKalmoraScriptEngine Engine;
    std::ostringstream ReportOut;
    std::string Output;
};

} // namespace kalmora::test
