// The XML builder: declaration, indentation, text escaping, names checked, nodes keeping the document alive.

#include "lmScriptEngine/XmlBuilder.h"

#include "runtime/Exceptions.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

TEST(XmlBuilder, SavedDocumentHasTheDeclarationAndIsIndented) {
    test::TTestFolder folder;
    auto doc = NewXmlDocument();
    auto root = doc->AddChild("invoice");
    root->SetAttribute("number", "2024-0815");
    auto line = root->AddChild("line");
    line->AddChild("amount")->SetText("119 < 120 & more");
    root->AddChild("empty");
    doc->SaveToFile(folder / "out.xml");
    EXPECT_EQ(test::ReadFile(folder / "out.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                  "<invoice number=\"2024-0815\">\n"
                                                  "  <line>\n"
                                                  "    <amount>119 &lt; 120 &amp; more</amount>\n"
                                                  "  </line>\n"
                                                  "  <empty/>\n"
                                                  "</invoice>\n");
}

TEST(XmlBuilder, NodeKeepsItsDocumentAlive) {
    TIntfRef<IXmlNode> node;
    {
        auto doc = NewXmlDocument();
        node = doc->AddChild("root");
    }
    node->AddChild("child")->SetText("still there");
    EXPECT_EQ(node->Text(), "still there");
    EXPECT_EQ(node->NodeName(), "root");
}

TEST(XmlBuilder, RefusesASecondRootAndInvalidNames) {
    auto doc = NewXmlDocument();
    auto root = doc->AddChild("a");
    EXPECT_THROW(doc->AddChild("b"), Exception);
    EXPECT_THROW(root->AddChild("no blanks"), Exception);
    EXPECT_THROW(root->AddChild(""), Exception);
    EXPECT_THROW(root->SetAttribute("<x", "1"), Exception);
}

TEST(XmlBuilder, SavingIntoAMissingFolderRaises) {
    auto doc = NewXmlDocument();
    doc->AddChild("a");
    EXPECT_THROW(doc->SaveToFile("/nonexistent-folder/x/y.xml"), EInOutError);
}

} // namespace
} // namespace kalmora
