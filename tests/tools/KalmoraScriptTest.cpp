// kalmora-script run as a process: what a script prints, its exit status and its one stderr line, the
// parameters and sample objects it is given, and the whole vocabulary as start-up registers it.

#include "support/ScopedEnvironment.h"
#include "support/TestFolder.h"
#include "support/ToolProcess.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace kalmora::test {
namespace {

const std::string Tool = KALMORA_SCRIPT_TOOL;
const std::string ManPage = KALMORA_SCRIPT_MAN_PAGE;

class ScriptTool : public testing::Test {
protected:
    // Runs `source` as a script file with the further arguments.
    TToolRun RunScript(const std::string& source, std::vector<std::string> args = {}) {
        WriteFile(Dir / "script.pas", source);
        args.insert(args.begin(), Dir / "script.pas");
        return RunProgram(Tool, args);
    }

    TTestFolder Dir;
    // No screen, no debug file: dialogs print and the run leaves nothing behind.
    TScopedEnvironment NoX11{"DISPLAY", std::nullopt};
    TScopedEnvironment NoWayland{"WAYLAND_DISPLAY", std::nullopt};
    TScopedEnvironment NoPlatform{"QT_QPA_PLATFORM", std::nullopt};
    TScopedEnvironment NoDebug{"KALMORA_DEBUG_LEVEL", std::nullopt};
};

TEST_F(ScriptTool, PrintsOnlyWhatTheScriptShowsAndEndsWithZero) {
    TToolRun run = RunScript("program Hello;\n"
                             "var i: Integer;\n"
                             "begin\n"
                             "  for i := 1 to 3 do ShowMessage('Zeile ' + IntToStr(i));\n"
                             "end.");
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Zeile 1\nZeile 2\nZeile 3\n");
    EXPECT_EQ(run.Err, "");
}

TEST_F(ScriptTool, DialogsPrintWhenTheNamedDisplayCannotBeReached) {
    TScopedEnvironment staleDisplay{"DISPLAY", UnreachableDisplay()};
    TToolRun run =
        RunScript("begin ShowMessage('Hallo'); ShowMessage(IntToStr(MessageDlg('Weiter?', mtConfirmation, "
                  "[mbYes, mbNo], 0))) end.");
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Hallo\nWeiter?\n6\n");
}

TEST_F(ScriptTool, ParamsAreTextsAndOfEqualNamesTheLaterWins) {
    TToolRun run =
        RunScript("begin\n"
                  "  ShowMessage(kunde + ' ' + Kunde);\n"
                  "  ShowMessage(IntToStr(StrToInt(N) + 1));\n"
                  "  ShowMessage(q);\n"
                  "end.",
                  {"--param", "Kunde=Meier", "--param", "KUNDE=Schulze", "--param", "n=41", "--param=q=a=b"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Schulze Schulze\n42\na=b\n");
}

TEST_F(ScriptTool, SampleObjectsAnswerTheirFixedValues) {
    TToolRun run = RunScript(
        "function B(x: Boolean): string; begin if x then Result := 'True' else Result := 'False' end;\n"
        "var m: TVatInfo; more: Boolean;\n"
        "begin\n"
        "  ShowMessage(invoice.Number + ' ' + IntToStr(Invoice.BasicNumber) + ' ' +\n"
        "    FloatToStr(INVOICE.TotalAmount));\n"
        "  ShowMessage(B(invoice.Date = Date) + ' ' + B(invoice.DateTime >= Date));\n"
        "  m := invoice.CreateMwstInfo;\n"
        "  more := m.First;\n"
        "  while more do begin\n"
        "    ShowMessage(FloatToStr(m.Rate) + ' ' + FloatToStr(m.Net) + ' ' + FloatToStr(m.Vat));\n"
        "    more := m.Next;\n"
        "  end;\n"
        "  ShowMessage(FloatToStr(payment.Paid) + ' ' + IntToStr(payment.PayMethod) + ' ' +\n"
        "    B(payment.PayMethod = pmCard) + ' ' + B(payment.Date = Date - 1));\n"
        "  report.SetColWidth('2', '15');\n"
        "  ShowMessage(report.GetParam('Kunde'));\n"
        "  ShowMessage(fiscalization.FiscalIdPractice + ' ' + fiscalization.FiscalIdUser + ' ' +\n"
        "    fiscalization.BusinessId + ' ' + fiscalization.DeviceId + ' ' + fiscalization.Password + ' ' +\n"
        "    fiscalization.CertificateFile + ' ' + fiscalization.GetTransferFilename);\n"
        "  ShowMessage(fiscalization.GenerateSecurityCode(invoice));\n"
        "  ShowMessage(fiscalization.GenerateUniqueId);\n"
        "end.",
        {"--sample-objects", "--param", "invoice=not this"});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    std::istringstream lines(run.Out);
    std::vector<std::string> out;
    for (std::string line; std::getline(lines, line);)
        out.push_back(line);
    ASSERT_EQ(out.size(), 10u) << run.Out;
    const std::vector<std::string> fixed(out.begin(), out.end() - 1);
    EXPECT_EQ(fixed, (std::vector<std::string>{"2024-0815 815 119", "True True", "19 100 19", "7 50 3.5",
                                               "119 3 True True", "SetColWidth(2,15)", "param:Kunde",
                                               "ATU12345678 user-1 B-1 D-1 secret cert.pem transfer.xml",
                                               "SC:2024-0815:none"}));
    EXPECT_TRUE(std::regex_match(out.back(), std::regex("[0-9a-f]{8}-([0-9a-f]{4}-){3}[0-9a-f]{12}")))
        << out.back();
}

TEST_F(ScriptTool, TheGenericVocabularyIsThereAsStartUpRegistersIt) {
    TToolRun run =
        RunScript("var s, r: string; doc: IXmlDoc; root: IXmlNode;\n"
                  "begin\n"
                  "  ShowMessage(IntToStr(MessageDlg('Weiter?', mtConfirmation, [mbYes, mbNo], 0)));\n"
                  "  ShowMessage(IntToStr(MessageDlg('Drei', mtInformation, 3, 0)));\n"
                  "  s := '''it''''s'' rest';\n"
                  "  r := ExtractQuotedStr(s, '''');\n"
                  "  ShowMessage(r + '|' + s);\n"
                  "  s := 'Kalmora'; Delete(s, 2, 3); Insert('XY', s, 2); ShowMessage(s);\n"
                  "  ShowMessage(FloatToStrExt(1234.5, 2, ','));\n"
                  "  ShowMessage(IntToStr(Ord('A')) + ' ' + IntToStr(Ord(300)) + ' ' + "
                  "IntToStr(Abs(-2147483647 - 1)));\n"
                  "  ShowMessage(IntToStr(Length('Kalmora')) + ' ' + IntToStr(Length([1, 2, 3])));\n"
                  "  ShowMessage(IntToStr(Length(GenerateUuid)));\n"
                  "  doc := GenerateNewXmlDoc;\n"
                  "  root := doc.AddChild('rechnung');\n"
                  "  AddChildValue(root, 'nummer', invoice.Number);\n"
                  "  doc.SaveToFile(target);\n"
                  "end.",
                  {"--sample-objects", "--param", "target=" + (Dir / "saved.xml")});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Weiter?\n6\nDrei\n6\nit's| rest\nKXYora\n1234,50\n65 300 -2147483648\n7 3\n36\n");
    EXPECT_EQ(ReadFile(Dir / "saved.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                           "<rechnung>\n"
                                           "  <nummer>2024-0815</nummer>\n"
                                           "</rechnung>\n");
}

struct TFailureCase {
    std::string Label;
    std::string Source; // empty: the file is missing
    std::vector<std::string> Args;
    std::string ErrPattern; // the whole stderr line
    std::string Out;        // what was printed before the failure
    friend void PrintTo(const TFailureCase& c, std::ostream* os) { *os << c.Label; }
};

class ScriptToolFailure : public ScriptTool, public testing::WithParamInterface<TFailureCase> {};

TEST_P(ScriptToolFailure, EndsWithOneAndOneLineNamingTheErrorClass) {
    const TFailureCase& c = GetParam();
    TToolRun run = c.Source.empty() ? RunProgram(Tool, {Dir / "missing.pas"}) : RunScript(c.Source, c.Args);
    EXPECT_EQ(run.Exit, 1);
    EXPECT_TRUE(std::regex_match(run.Err, std::regex(c.ErrPattern + "\n"))) << run.Err;
    EXPECT_EQ(run.Out, c.Out);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ScriptToolFailure,
    testing::Values(
        TFailureCase{
            "SyntaxError", "begin\n  x := ;\nend.", {}, R"(EScriptError: .* \(line 2, column \d+\))", ""},
        TFailureCase{"UnknownName",
                     "begin\n  ShowMessage('a');\n  ShowMessage(kunde)\nend.",
                     {},
                     R"(EScriptError: .*'kunde'.* \(line 3, column \d+\))",
                     "a\n"},
        TFailureCase{"RaisedByTheScript",
                     "begin ShowMessage('vorher'); raise EConvertError.Create('kaputt') end.",
                     {},
                     "EConvertError: kaputt",
                     "vorher\n"},
        TFailureCase{
            "ZeroDivision", "var x: Double; begin x := 0; x := 1 / x end.", {}, "EZeroDivide: .*", ""},
        TFailureCase{"MissingPayment",
                     "begin ShowMessage(payment.Paid) end.",
                     {},
                     "Exception: Payment is not available",
                     ""},
        TFailureCase{"MultiLineMessage",
                     "begin raise Exception.Create('eins'#10'zwei') end.",
                     {},
                     "Exception: eins zwei",
                     ""},
        TFailureCase{"MissingFile", "", {}, "EInOutError: .*missing\\.pas.*", ""}),
    [](const testing::TestParamInfo<TFailureCase>& info) { return info.param.Label; });

TEST_F(ScriptTool, AFolderIsNoScript) {
    TToolRun run = RunProgram(Tool, {Dir.Path()});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err.rfind("EInOutError: ", 0), 0u) << run.Err;
}

struct TUsageCase {
    std::string Label;
    std::vector<std::string> Args;
    std::string Fault;
    friend void PrintTo(const TUsageCase& c, std::ostream* os) { *os << c.Label; }
};

class ScriptToolUsage : public ScriptTool, public testing::WithParamInterface<TUsageCase> {};

TEST_P(ScriptToolUsage, EndsWithTwoNamingTheFaultAndRunsNothing) {
    WriteFile(Dir / "a.pas", "begin ShowMessage('ran') end.");
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().Args)
        args.push_back(arg == "FILE" ? Dir / "a.pas" : arg);
    TToolRun run = RunProgram(Tool, args);
    EXPECT_EQ(run.Exit, 2);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err.rfind("kalmora-script: " + GetParam().Fault, 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find("usage: kalmora-script FILE"), std::string::npos) << run.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Usage, ScriptToolUsage,
    testing::Values(
        TUsageCase{"NoFile", {}, "FILE expected"},
        TUsageCase{"OnlyOptions", {"--sample-objects"}, "FILE expected"},
        TUsageCase{"TwoFiles", {"FILE", "FILE"}, "only one FILE"},
        TUsageCase{"UnknownOption", {"FILE", "--verbose"}, "unknown option --verbose"},
        TUsageCase{"ParamWithoutValue", {"FILE", "--param"}, "--param needs NAME=VALUE"},
        TUsageCase{"ParamWithoutEquals", {"FILE", "--param", "kunde"}, "--param needs NAME=VALUE"},
        TUsageCase{"ParamNotAnIdentifier", {"FILE", "--param", "1x=2"}, "--param needs NAME=VALUE"}),
    [](const testing::TestParamInfo<TUsageCase>& info) { return info.param.Label; });

TEST_F(ScriptTool, HelpPrintsTheUsageAndTheManPageKnowsEveryOption) {
    TToolRun run = RunProgram(Tool, {"--help"});
    EXPECT_EQ(run.Exit, 0);
    EXPECT_EQ(run.Err, "");
    ASSERT_EQ(run.Out.rfind("usage: kalmora-script FILE [--param NAME=VALUE]... [--sample-objects]\n", 0), 0u)
        << run.Out;
    const std::string man = ReadFile(ManPage);
    ASSERT_FALSE(man.empty()) << ManPage;
    for (const char* option : {"\\-\\-param", "\\-\\-sample\\-objects", "\\-\\-help"})
        EXPECT_NE(man.find(option), std::string::npos) << option;
    for (const char* status : {".B 0", ".B 1", ".B 2"})
        EXPECT_NE(man.find(status), std::string::npos) << status;
}

TEST_F(ScriptTool, AParamValueThatLooksLikeAnOptionIsAValue) {
    TToolRun run = RunScript("begin ShowMessage(x) end.", {"--param", "x=--help"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "--help\n");
    run = RunProgram(Tool, {"--param", "--help"});
    EXPECT_EQ(run.Exit, 2);
    EXPECT_EQ(run.Out, "");
}

TEST_F(ScriptTool, ADoubleDashEndsTheOptions) {
    WriteFile(Dir / "--sample-objects", "begin ShowMessage('file') end.");
    TToolRun run = RunProgram(Tool, {"--", Dir / "--sample-objects"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "file\n");
}

} // namespace
} // namespace kalmora::test
