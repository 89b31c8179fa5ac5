// Real scripts over the common vocabulary: var parameters reaching the script's variables, dialogs answering
// without a screen, Format with array arguments, and an XML document built and saved by a script.

#include "interpreter/InterpreterProgram.h"
#include "lmScriptEngine/CommonFunctions.h"
#include "lmScriptEngine/ManagedWrapper.h"
#include "runtime/Exceptions.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

class VocabularyScript : public testing::Test {
protected:
    VocabularyScript() {
        RegisterCommonFunctions(Program.Adapter());
        RegisterUtilFunctions(Program.Adapter());
    }

    // Runs the source as the engine does (inside its own instance list) and returns what it printed.
    std::string Run(const std::string& source) {
        Program.SetSource(source);
        testing::internal::CaptureStdout();
        TManagedInterfaceWrapper::PushInstanceList();
        try {
            Program.Run();
        } catch (...) {
            TManagedInterfaceWrapper::PopInstanceList();
            testing::internal::GetCapturedStdout();
            throw;
        }
        TManagedInterfaceWrapper::PopInstanceList();
        return testing::internal::GetCapturedStdout();
    }

    TJvInterpreterProgram Program;
};

TEST_F(VocabularyScript, DeleteInsertAndExtractQuotedStrChangeTheScriptVariable) {
    EXPECT_EQ(Run("var s, r: string;\n"
                  "begin\n"
                  "  s := 'Kalmora';\n"
                  "  r := Delete(s, 2, 3);\n"
                  "  ShowMessage(s + '/' + r);\n"
                  "  Insert('XY', s, 2);\n"
                  "  ShowMessage(s);\n"
                  "  s := '''it''''s'' and more';\n"
                  "  ShowMessage(ExtractQuotedStr(s, '''') + '|' + s);\n"
                  "end."),
              "Kora/Kora\nKXYora\nit's| and more\n");
}

TEST_F(VocabularyScript, VarParametersReachVariablesOfScriptRoutinesToo) {
    EXPECT_EQ(Run("procedure Shorten(var t: string); begin Delete(t, 1, 1) end;\n"
                  "var s: string;\n"
                  "begin s := 'abc'; Shorten(s); Shorten(s); ShowMessage(s) end."),
              "c\n");
}

TEST_F(VocabularyScript, MessageDlgPrintsAndAnswersWithTheLowestButton) {
    EXPECT_EQ(Run("begin\n"
                  "  if MessageDlg('Weiter?', mtConfirmation, [mbYes, mbNo], 0) = mrYes then\n"
                  "    ShowMessage('ja');\n"
                  "  ShowMessage(IntToStr(MessageDlg('Drei', mtConfirmation, 3, 0)));\n"
                  "  ShowMessage(IntToStr(MessageDlg('Abbruch', mtError, [mbCancel, mbAbort], 0)));\n"
                  "  ShowMessage(InputBox('Titel', 'Name:', 'Vorgabe'));\n"
                  "end."),
              "Weiter?\nja\nDrei\n6\nAbbruch\n2\nVorgabe\n");
}

TEST_F(VocabularyScript, NumbersAndTextsAsScriptsUseThem) {
    EXPECT_EQ(Run("var a: array[0..2] of Integer;\n"
                  "begin\n"
                  "  ShowMessage(Format('%s has %d letters, %.2f, %5s|%-3d|', "
                  "['Kalmora', Length('Kalmora'), 2.5, 'x', 7]));\n"
                  "  ShowMessage(IntToStr(Length(a)) + ' ' + IntToStr(Length([1, 2, 3, 4])));\n"
                  "  ShowMessage(IntToStr(Ord('A')) + ' ' + IntToStr(Ord(66)) + ' ' + Chr(67));\n"
                  "  ShowMessage(IntToStr(Round(2.5)) + ' ' + IntToStr(Round(3.5)) + ' ' + "
                  "IntToStr(Trunc(-2.7)));\n"
                  "  ShowMessage(IntToStr(Abs(-2147483647 - 1)));\n"
                  "  ShowMessage(FloatToStrExt(1234.5, 2, ',') + ' ' + FloatToStr(1 / 3));\n"
                  "  ShowMessage(UpperCase('grüße') + ' ' + QuotedStr('a''b', ''''));\n"
                  "  ShowMessage(FormatDateTime('yyyy-mm-dd', StrToDate('08/15/24')));\n"
                  "end."),
              "Kalmora has 7 letters, 2.50,     x|7  |\n"
              "3 4\n"
              "65 66 C\n"
              "2 4 -2\n"
              "-2147483648\n"
              "1234,50 0.333333333333333\n"
              "GRÜßE 'a''b'\n" // ß has no one-character upper case
              "2024-08-15\n");
}

TEST_F(VocabularyScript, ConversionErrorsCanBeHandledAndAbortEndsTheRun) {
    EXPECT_EQ(Run("begin\n"
                  "  try StrToInt('zwölf') except ShowMessage('keine Zahl') end;\n"
                  "  ShowMessage(IntToStr(StrToIntDef('zwölf', 12)));\n"
                  "end."),
              "keine Zahl\n12\n");
    EXPECT_THROW(Run("begin ShowMessage('vorher'); Abort; ShowMessage('nachher') end."), EAbort);
}

TEST_F(VocabularyScript, ScriptBuildsAndSavesAnXmlDocument) {
    test::TTestFolder folder;
    Program.Adapter().DefineConstant("Test", "OutFile", Variant(folder / "invoice.xml"));
    Run("var doc, root, item: Variant;\n"
        "begin\n"
        "  doc := GenerateNewXmlDoc;\n"
        "  root := doc.AddChild('invoice');\n"
        "  root.SetAttribute('number', '2024-0815');\n"
        "  item := AddChildValue(root, 'total', FloatToStrExt(119, 2, '.'));\n"
        "  item.SetAttribute('currency', 'EUR');\n"
        "  root.AddChild('lines').AddChild('line').SetAttribute('rate', '19');\n"
        "  doc.SaveToFile(OutFile);\n"
        "end.");
    EXPECT_EQ(test::ReadFile(folder / "invoice.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                      "<invoice number=\"2024-0815\">\n"
                                                      "  <total currency=\"EUR\">119.00</total>\n"
                                                      "  <lines>\n"
                                                      "    <line rate=\"19\"/>\n"
                                                      "  </lines>\n"
                                                      "</invoice>\n");
    EXPECT_EQ(TManagedInterfaceWrapper::InstanceListDepth(), 0);
}

TEST_F(VocabularyScript, XmlObjectsOfTheWrongKindEndTheRunWithTheUnwrappingError) {
    try {
        Run("var doc: Variant;\nbegin doc := GenerateNewXmlDoc; AddChildValue(doc, 'a', 'b') end.");
        FAIL() << "a document is no node";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Interface is not available: IXmlNode");
    }
}

} // namespace
} // namespace kalmora
