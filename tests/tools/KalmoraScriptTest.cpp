// kalmora-script run as a process: real scripts with parameters and the sample objects, and the exit status
// and stderr line for each way a run can end.

#include "support/TestFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace kalmora::test;

namespace {

struct TRun {
    int Exit = -1;
    std::string Out, Err;
};

std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Runs the tool without a display, so that dialogs print. Output is small: reading one pipe after the
// other is safe.
TRun RunTool(const std::vector<std::string>& args) {
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]})
            ::close(fd);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        std::vector<char*> argv{const_cast<char*>(KALMORA_SCRIPT_TOOL)};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(KALMORA_SCRIPT_TOOL, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    TRun run;
    run.Out = Drain(out[0]);
    run.Err = Drain(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ScriptTool : public ::testing::Test {
protected:
    TTestFolder Dir;

    std::string Script(const std::string& source, const std::string& name = "script.pas") {
        WriteFile(Dir / name, source);
        return Dir / name;
    }
};

TEST_F(ScriptTool, RunsAScriptWithTheSampleObjects) {
    const std::string file = Script(R"(program Beleg;
var vat: TVatInfo; total: Currency;
begin
  ShowMessage('Rechnung ' + invoice.Number + ' / ' + IntToStr(invoice.BasicNumber));
  vat := invoice.CreateMwstInfo;
  total := 0;
  if vat.First then
    repeat
      ShowMessage(FloatToStr(vat.Rate) + '%: ' + FloatToStr(vat.Net) + ' + ' + FloatToStr(vat.Vat));
      total := total + vat.Net + vat.Vat;
    until not vat.Next;
  if total = 172.5 then ShowMessage('Summe ' + FloatToStr(total));
  report.SetColWidth('2', '140');
  ShowMessage(report.GetParam('Titel'));
  if payment.PayMethod = pmCard then ShowMessage('Karte ' + FloatToStr(payment.Paid));
  if payment.Date = invoice.Date - 1 then ShowMessage('gestern bezahlt');
  ShowMessage(fiscalization.GenerateSecurityCode(invoice));
  ShowMessage(fiscalization.FiscalIdPractice + ' ' + fiscalization.GetTransferFilename);
end.
)");
    TRun run = RunTool({file, "--sample-objects"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, "Rechnung 2024-0815 / 815\n"
                       "19%: 100 + 19\n"
                       "7%: 50 + 3.5\n"
                       "Summe 172.5\n"
                       "SetColWidth(2,140)\n"
                       "param:Titel\n"
                       "Karte 119\n"
                       "gestern bezahlt\n"
                       "SC:2024-0815:none\n"
                       "ATU12345678 transfer.xml\n");
}

TEST_F(ScriptTool, ParamsAreTextsAndTheLaterOfTwoSpellingsWins) {
    const std::string file = Script("begin\n"
                                    "  ShowMessage(kunde);\n"
                                    "  if Anzahl = '5' then ShowMessage(IntToStr(StrToInt(Anzahl) + 1));\n"
                                    "  ShowMessage(Url);\n"
                                    "  ShowMessage('[' + Leer + ']');\n"
                                    "end.\n");
    TRun run = RunTool({"--param", "Kunde=Meier", file, "--param", "KUNDE=Schulz", "--param=anzahl=5",
                        "--param", "url=http://127.0.0.1/?a=b", "--param", "Leer="});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Schulz\n6\nhttp://127.0.0.1/?a=b\n[]\n");
}

TEST_F(ScriptTool, ProductNamesBeatParamsAndAMissingObjectIsAnError) {
    const std::string file = Script("begin ShowMessage('vorher'); ShowMessage(payment.Paid) end.");
    TRun run = RunTool({file, "--param", "payment=42"});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Out, "vorher\n");
    EXPECT_EQ(run.Err, "Exception: Payment is not available\n");

    run = RunTool({file, "--param", "payment=42", "--sample-objects"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "vorher\n119\n");
}

TEST_F(ScriptTool, EachErrorEndsWithOneLineNamingItsClass) {
    struct TCase {
        const char* Source;
        const char* Line;
    };
    const std::vector<TCase> cases = {
        {"begin\n  ShowMessage('a'\nend.\n", "EScriptError: "},
        {"begin\n  ShowMessage(Unbekannt)\nend.\n", "EScriptError: "},
        {"begin raise Exception.Create('Abbruch im Skript') end.", "Exception: Abbruch im Skript\n"},
        {"begin ShowMessage(IntToStr(StrToInt('zwölf'))) end.", "EConvertError: "},
        {"var x: Double; begin x := 0; x := 1 / x end.", "EZeroDivide: "},
    };
    for (const TCase& c : cases) {
        TRun run = RunTool({Script(c.Source)});
        EXPECT_EQ(run.Exit, 1) << c.Source;
        EXPECT_EQ(run.Err.rfind(c.Line, 0), 0u) << c.Source << "\n" << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
    }
    TRun run = RunTool({Script("begin\n  ShowMessage(Unbekannt)\nend.\n")});
    EXPECT_NE(run.Err.find("Unbekannt"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("line 2"), std::string::npos) << run.Err;
}

TEST_F(ScriptTool, DialogsPrintAndAnswerWithoutADisplay) {
    TRun run = RunTool({Script("begin\n"
                               "  if MessageDlg('Weiter?', mtConfirmation, [mbYes, mbNo], 0) = mrYes then\n"
                               "    ShowMessage('ja');\n"
                               "  ShowMessage(InputBox('Titel', 'Name', 'vorgabe'));\n"
                               "end.\n")});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Weiter?\nja\nvorgabe\n");
}

TEST_F(ScriptTool, UsageErrorsHelpAndUnreadableFiles) {
    const std::string file = Script("begin end.");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {file, file},
                                               {file, "--param"},
                                               {file, "--param", "ohneWert"},
                                               {file, "--param", "=x"},
                                               {file, "--sample"}}) {
        TRun run = RunTool(args);
        EXPECT_EQ(run.Exit, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.Err.find("usage: kalmora-script"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
    TRun help = RunTool({"--help"});
    EXPECT_EQ(help.Exit, 0);
    EXPECT_NE(help.Out.find("--sample-objects"), std::string::npos);
    EXPECT_NE(help.Out.find("--param NAME=VALUE"), std::string::npos);

    EXPECT_EQ(RunTool({file}).Exit, 0);
    EXPECT_EQ(RunTool({"--", file}).Exit, 0);
    TRun missing = RunTool({Dir / "fehlt.pas"});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_EQ(missing.Err.rfind("EFOpenError: ", 0), 0u) << missing.Err;
}

} // namespace
