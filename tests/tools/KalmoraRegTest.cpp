// kalmora-reg run as a process, the way scripts and the demo use it.

#include "registry/RegFileFormat.h"
#include "support/HiveEnvironment.h"
#include "support/ParsedHive.h"
#include "support/TestFolder.h"
#include "support/ToolProcess.h"

#include <gtest/gtest.h>
#include <vector>

using namespace kalmora::registry;
using namespace kalmora::test;

namespace {

using TRun = TToolRun;

TRun RunTool(const std::vector<std::string>& args, const std::string& input = {}) {
    return RunProgram(KALMORA_REG_TOOL, args, input);
}

class RegTool : public ::testing::Test {
protected:
    TTestFolder Dir;
    THiveEnvironment Hives{Dir / "lib/HKLM.reg", Dir / "home/HKCU.reg"};
    const std::string& MachineFile = Hives.MachineFile;
    const std::string& UserFile = Hives.UserFile;
};

} // namespace

TEST_F(RegTool, SetThenGetPrintsTheValue) {
    EXPECT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora", "DatabaseDir", "/srv/a \"b\" \\c"}).Exit, 0);
    TRun get = RunTool({"get", "HKEY_LOCAL_MACHINE\\software\\KALMORA", "databasedir"});
    EXPECT_EQ(get.Exit, 0) << get.Err;
    EXPECT_EQ(get.Out, "/srv/a \"b\" \\c\n");

    EXPECT_EQ(RunTool({"set", "HKCU\\Software\\Kalmora", "Retries", "0x10", "--type", "REG_DWORD"}).Exit, 0);
    EXPECT_EQ(RunTool({"get", "HKCU\\Software\\Kalmora", "Retries"}).Out, "16\n");
    EXPECT_EQ(
        RunTool({"set", "HKEY_CURRENT_USER\\Software\\Kalmora", "Path", "$HOME/bin", "--type=REG_EXPAND_SZ"})
            .Exit,
        0);
    EXPECT_EQ(RunTool({"get", "HKCU\\Software\\Kalmora", "Path"}).Out, "$HOME/bin\n");
    EXPECT_NE(ReadFile(UserFile).find("\"Path\"=str(2):\"$HOME/bin\""), std::string::npos);
    // The machine hive was left alone by the per-user writes.
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "Retries"}).Exit, 1);
}

TEST_F(RegTool, GetOfWhatIsAbsentExitsWithOne) {
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "DatabaseDir"}).Exit, 1); // no hive file
    ASSERT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora", "Other", "x"}).Exit, 0);
    TRun absent = RunTool({"get", "HKLM\\Software\\Kalmora", "DatabaseDir"});
    EXPECT_EQ(absent.Exit, 1);
    EXPECT_EQ(absent.Out, "");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Nothing", "Other"}).Exit, 1);
}

TEST_F(RegTool, DeleteRemovesAValueOrAWholeKey) {
    ASSERT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora", "A", "1"}).Exit, 0);
    ASSERT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora\\Sub", "B", "2"}).Exit, 0);
    EXPECT_EQ(RunTool({"delete", "HKLM\\Software\\Kalmora", "a"}).Exit, 0);
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "A"}).Exit, 1);
    EXPECT_EQ(RunTool({"delete", "HKLM\\Software\\Kalmora", "A"}).Exit, 1);
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora\\Sub", "B"}).Out, "2\n");

    EXPECT_EQ(RunTool({"delete", "HKLM\\Software\\Kalmora"}).Exit, 0);
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora\\Sub", "B"}).Exit, 1);
    EXPECT_EQ(RunTool({"delete", "HKLM\\Software\\Kalmora"}).Exit, 1);
}

TEST_F(RegTool, ExportWritesAHandWrittenHiveBackWithoutLosingAValue) {
    const std::string hand = "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\r\n"
                             "\"DatabaseDir\"=\"/srv/kalmora/db\"\r\n"
                             "\"lastconfigupdate.dev\"=\"2024-05-01\"\r\n"
                             "\"Retries\"=dword:00000003\r\n"
                             "\"Path\"=str(2):\"$HOME/bin\"\r\n"
                             "\"Blob\"=hex:00,ff,10\r\n"
                             "@=\"default\"\r\n\r\n"
                             "[hkey_local_machine\\SOFTWARE\\kalmora\\Sub]\r\n"
                             "\"retries\"=dword:ffffffff\r\n";
    ::mkdir((Dir / "lib").c_str(), 0755);
    WriteFile(MachineFile, hand);

    EXPECT_EQ(RunTool({"get", "HKLM\\software\\kalmora", "RETRIES"}).Out, "3\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora\\sub", "Retries"}).Out, "4294967295\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", ""}).Out, "default\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "Blob"}).Out, "00,ff,10\n");

    TRun exported = RunTool({"export", "HKLM"});
    ASSERT_EQ(exported.Exit, 0) << exported.Err;
    EXPECT_EQ(ParsedHive(exported.Out, HiveId::LocalMachine), ParsedHive(hand, HiveId::LocalMachine));
    EXPECT_EQ(exported.Out.find("HKEY_CURRENT_USER"), std::string::npos);
    EXPECT_EQ(ReadFile(MachineFile), hand); // reading never rewrites
}

TEST_F(RegTool, ImportMergesIntoTheHivesItNames) {
    ASSERT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora", "Old", "gone soon"}).Exit, 0);
    ASSERT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora", "Kept", "k"}).Exit, 0);
    WriteFile(Dir / "setup.reg",
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"InstallDir\"=\"/opt/k\"\n\"Old\"=-\n\n"
              "[HKEY_CURRENT_USER\\Software\\Kalmora]\n\"lastconfigupdate.dev\"=\"init\"\n");
    TRun import = RunTool({"import", Dir / "setup.reg"});
    EXPECT_EQ(import.Exit, 0) << import.Err;
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "InstallDir"}).Out, "/opt/k\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "Kept"}).Out, "k\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "Old"}).Exit, 1);
    EXPECT_EQ(RunTool({"get", "HKCU\\Software\\Kalmora", "lastconfigupdate.dev"}).Out, "init\n");

    EXPECT_EQ(
        RunTool({"import", "-"}, "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Kalmora]\n\"X\"=\"y\"\n").Exit, 0);
    EXPECT_EQ(RunTool({"get", "HKCU\\Software\\Kalmora", "X"}).Out, "y\n");

    // Refused lines are skipped, one stderr line each, and the rest is imported.
    WriteFile(Dir / "bad.reg",
              "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"A\"=\"1\"\n\"B\"=dword:zz\n"
              "\"C\"=hex:0\n\"D\"=hex(1):44,00 ;regedit's form\n");
    TRun bad = RunTool({"import", Dir / "bad.reg"});
    EXPECT_EQ(bad.Exit, 1);
    EXPECT_EQ(bad.Err, "kalmora-reg: " + Dir / "bad.reg" + ":4: malformed dword value\nkalmora-reg: " +
                           Dir / "bad.reg" + ":5: malformed hex data\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "A"}).Out, "1\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "D"}).Out, "D\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "B"}).Exit, 1);
    // Without the header on its first line a file is refused whole.
    const std::string before = ReadFile(MachineFile);
    for (const char* text : {"\nREGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"A\"=\"2\"\n",
                             "[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"A\"=\"2\"\n"}) {
        TRun refused = RunTool({"import", "-"}, text);
        EXPECT_EQ(refused.Exit, 1);
        EXPECT_NE(refused.Err.find("header"), std::string::npos) << refused.Err;
    }
    EXPECT_EQ(ReadFile(MachineFile), before);
    EXPECT_EQ(RunTool({"import", Dir / "absent.reg"}).Exit, 1);
}

TEST_F(RegTool, AnImportChangesBothHivesOrNeither) {
    ASSERT_EQ(RunTool({"set", "HKLM\\Software\\Kalmora", "Old", "o"}).Exit, 0);
    const std::string machine = ReadFile(MachineFile);
    const std::string both = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n"
                             "\"New\"=\"n\"\n[HKEY_CURRENT_USER\\Software\\Kalmora]\n\"Mine\"=\"m\"\n";
    // A damaged per-user hive, then one whose new file cannot be written beside it.
    ::mkdir((Dir / "home").c_str(), 0700);
    WriteFile(UserFile, "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:zz\n");
    TRun damaged = RunTool({"import", "-"}, both);
    EXPECT_EQ(damaged.Exit, 1);
    EXPECT_NE(damaged.Err.find(UserFile), std::string::npos) << damaged.Err;
    EXPECT_EQ(ReadFile(MachineFile), machine);
    ::unlink(UserFile.c_str());
    ::mkdir((UserFile + ".tmp").c_str(), 0700);
    TRun unwritable = RunTool({"import", "-"}, both);
    EXPECT_EQ(unwritable.Exit, 1);
    EXPECT_NE(unwritable.Err.find(UserFile), std::string::npos) << unwritable.Err;
    EXPECT_EQ(ReadFile(MachineFile), machine);
    EXPECT_FALSE(Exists(MachineFile + ".tmp"));
    ::rmdir((UserFile + ".tmp").c_str());
    EXPECT_EQ(RunTool({"import", "-"}, both).Exit, 0);
    EXPECT_EQ(RunTool({"get", "HKCU\\Software\\Kalmora", "Mine"}).Out, "m\n");
    EXPECT_EQ(RunTool({"get", "HKLM\\Software\\Kalmora", "New"}).Out, "n\n");
}

TEST_F(RegTool, ACorruptHiveIsReportedAndNeverOverwritten) {
    ::mkdir((Dir / "lib").c_str(), 0755);
    const std::string garbage = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"torn";
    WriteFile(MachineFile, garbage);
    TRun set = RunTool({"set", "HKLM\\K", "a", "new"});
    EXPECT_EQ(set.Exit, 1);
    EXPECT_NE(set.Err.find("cannot be parsed"), std::string::npos) << set.Err;
    EXPECT_EQ(RunTool({"export", "HKLM"}).Exit, 1);
    EXPECT_EQ(RunTool({"get", "HKLM\\K", "a"}).Exit, 1);
    EXPECT_EQ(ReadFile(MachineFile), garbage);
}

class RegToolUsage : public RegTool, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(RegToolUsage, ExitsWithTwoAndWritesNothing) {
    TRun run = RunTool(GetParam());
    EXPECT_EQ(run.Exit, 2) << run.Err;
    EXPECT_NE(run.Err.find("usage:"), std::string::npos);
    EXPECT_FALSE(Exists(MachineFile));
    EXPECT_FALSE(Exists(UserFile));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RegToolUsage,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"frobnicate"},
                      std::vector<std::string>{"get", "HKLM\\K"},
                      std::vector<std::string>{"get", "HKCR\\K", "v"},
                      std::vector<std::string>{"set", "HKLM\\K", "v"},
                      std::vector<std::string>{"set", "Software\\K", "v", "d"},
                      std::vector<std::string>{"set", "HKLM\\K", "v", "abc", "--type", "REG_DWORD"},
                      std::vector<std::string>{"set", "HKLM\\K", "v", "4294967296", "--type", "REG_DWORD"},
                      std::vector<std::string>{"set", "HKLM\\K", "v", "1", "--type", "REG_BINARY"},
                      std::vector<std::string>{"set", "HKLM\\K", "v", "1", "--type"},
                      std::vector<std::string>{"delete", "HKLM"}, std::vector<std::string>{"delete"},
                      std::vector<std::string>{"export", "HKU"}, std::vector<std::string>{"import"}));
