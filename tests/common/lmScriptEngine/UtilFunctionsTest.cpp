// The "UtilBox" and "XmlUtils" names through the registry: number texts with any separator, GUIDs, file
// contents, and an XML document built and saved the way a script does it.

#include "UtilBox/FileHelpers.h"
#include "UtilBox/InternalError.h"
#include "VocabularyCalls.h"
#include "lmScriptEngine/ManagedWrapper.h"
#include "runtime/Exceptions.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

using test::TVocabulary;

// What the engine does around a script run: the run's instance list owns the XML wrappers it makes.
class TRunScope {
public:
    TRunScope() { TManagedInterfaceWrapper::PushInstanceList(); }
    ~TRunScope() { TManagedInterfaceWrapper::PopInstanceList(); }
    TRunScope(const TRunScope&) = delete;
    TRunScope& operator=(const TRunScope&) = delete;
};

// A script object that is none of the host's wrappers.
class TForeignObject : public TScriptObject {};

TEST(UtilFunctions, QuotedAndFloatToStrExt) {
    TVocabulary call;
    EXPECT_EQ(call("Quoted", {"say \"hi\""}).AsString(), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(call("FloatToStrExt", {2.5, 2, ","}).AsString(), "2,50") << "a comma on a full-stop locale";
    EXPECT_EQ(call("FloatToStrExt", {1234.565, 2, ","}).AsString(), "1234,57");
    EXPECT_EQ(call("FloatToStrExt", {Variant::FromCurrency(119.0), 2, " Euro "}).AsString(), "119 Euro 00");
    EXPECT_EQ(call("FloatToStrExt", {"7", 0, ","}).AsString(), "7");
    EXPECT_EQ(call("FloatToStrExt", {2.5, 2, ""}).AsString(), "250");
}

TEST(UtilFunctions, GenerateUuidGivesThePlainLowerCaseForm) {
    TVocabulary call;
    const std::string first = call("GenerateUuid").AsString();
    ASSERT_EQ(first.size(), 36u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        const char c = first[i];
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(c, '-') << first;
        else
            EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << first;
    }
    EXPECT_NE(call("GenerateUuid").AsString(), first);
}

TEST(UtilFunctions, FileToStrReadsEveryByte) {
    TVocabulary call;
    test::TTestFolder folder;
    const std::string content("a\0b\r\n\xFF", 6);
    test::WriteFile(folder / "data.bin", content);
    EXPECT_EQ(call("FileToStr", {folder / "data.bin"}).AsString(), content);
    EXPECT_THROW(call("FileToStr", {folder / "missing"}), EFOpenError);
}

TEST(UtilFunctions, SavedXmlDocumentCarriesTheDeclarationAndIsIndented) {
    TVocabulary call;
    test::TTestFolder folder;
    TRunScope run;
    const Variant doc = call("GenerateNewXmlDoc");
    ASSERT_TRUE(doc.IsObject());
    EXPECT_EQ(call.Registry().TypeNameOf(doc.AsObject()), "IXmlDoc");
    const Variant root = call.Member(doc.AsObject(), "AddChild", {"invoice"});
    EXPECT_EQ(call.Registry().TypeNameOf(root.AsObject()), "IXmlNode");
    call.Member(root.AsObject(), "SetAttribute", {"number", "2024-0815"});
    const Variant line = call.Member(root.AsObject(), "AddChild", {"line"});
    const Variant amount = call("AddChildValue", {line, "amount", 119.5});
    call.Member(amount.AsObject(), "SetAttribute", {"currency", "EUR"});
    call("AddChildValue", {root, "note", "a < b & c"});
    call.Member(doc.AsObject(), "SaveToFile", {folder / "out.xml"});
    EXPECT_EQ(test::ReadFile(folder / "out.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                  "<invoice number=\"2024-0815\">\n"
                                                  "  <line>\n"
                                                  "    <amount currency=\"EUR\">119.5</amount>\n"
                                                  "  </line>\n"
                                                  "  <note>a &lt; b &amp; c</note>\n"
                                                  "</invoice>\n");
}

TEST(UtilFunctions, XmlObjectsBelongToTheRunThatMadeThem) {
    TVocabulary call;
    {
        TRunScope run;
        call("GenerateNewXmlDoc");
        const Variant doc = call("GenerateNewXmlDoc");
        call.Member(doc.AsObject(), "AddChild", {"root"});
        EXPECT_EQ(TManagedInterfaceWrapper::CurrentInstanceList()->Count(), 3);
    }
    EXPECT_EQ(TManagedInterfaceWrapper::InstanceListDepth(), 0);
    EXPECT_THROW(call("GenerateNewXmlDoc"), EAssertionFailed) << "outside a run nothing can own the document";
}

TEST(UtilFunctions, XmlFunctionsRefuseObjectsOfAnotherKind) {
    TVocabulary call;
    TRunScope run;
    const Variant doc = call("GenerateNewXmlDoc");
    const Variant root = call.Member(doc.AsObject(), "AddChild", {"root"});
    try {
        call("AddChildValue", {doc, "x", "y"});
        FAIL() << "a document is no node";
    } catch (const EInternalError& e) {
        EXPECT_EQ(e.Message(), "Interface is not available: IXmlNode");
    }
    EXPECT_THROW(call("AddChildValue", {Variant(), "x", "y"}), EInvalidPointer) << "nil is refused by name";
    EXPECT_THROW(call("AddChildValue", {"text", "x", "y"}), EInvalidCast);
    TForeignObject foreign;
    EXPECT_THROW(call("AddChildValue", {Variant::FromObject(&foreign), "x", "y"}), EInvalidCast);
    EXPECT_THROW(call.Member(root.AsObject(), "AddChild", {"bad name"}), Exception);
    EXPECT_THROW(call.Member(doc.AsObject(), "AddChild", {"second"}), Exception) << "one root only";
}

} // namespace
} // namespace kalmora
