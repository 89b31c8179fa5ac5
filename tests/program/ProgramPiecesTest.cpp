#include "CommandLine.h"
#include "ConsoleReport.h"
#include "ExitStatus.h"
#include "InstallationId.h"
#include "RunConditions.h"
#include "RuntimeFolder.h"
#include "SingleInstance.h"
#include "UtilBox/Registry.h"
#include "fs/FaultSeam.h"
#include "support/ChildProcess.h"
#include "support/HiveEnvironment.h"
#include "support/TestFolder.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sfs = std::filesystem;
using namespace kalmora;

namespace {

class ProgramPieces : public ::testing::Test {
protected:
    test::TTestFolder Folder;
    const std::string root = Folder.Path();
    test::THiveEnvironment Hives{root};
    test::TScopedEnvironment TemporaryDirectory{"TMPDIR", root};
    test::TScopedEnvironment RuntimeDirectory{"XDG_RUNTIME_DIR", std::nullopt};

    std::string MachineId(const std::string& text) {
        std::ofstream(root + "/machine-id") << text;
        return root + "/machine-id";
    }
};

} // namespace

TEST_F(ProgramPieces, InstallationIdFromTheSettingsOrTheMachineId) {
    const auto machineId = MachineId("0a1b2c3d4e5f60718293a4b5c6d7e8f9\n");
    EXPECT_EQ(GetInstallationId(machineId), "0A1B2C3D");
    ASSERT_TRUE(WriteRegistryString("InstallationId", "0000a1b2"));
    EXPECT_EQ(GetInstallationId(machineId), "0000A1B2");
    // Anything but eight hexadecimal digits in the settings falls back to the machine id.
    for (const char* bad : {"A1B2", "0000A1B2X", "0000G1B2", ""}) {
        ASSERT_TRUE(WriteRegistryString("InstallationId", bad));
        EXPECT_EQ(GetInstallationId(machineId), "0A1B2C3D") << bad;
    }
    EXPECT_EQ(GetInstallationId(MachineId("12-34")), "");
    EXPECT_EQ(GetInstallationId(root + "/missing"), "");
}

TEST_F(ProgramPieces, LockFileLiesInTheDatabaseFolderWhetherConfigExistsOrNot) {
    EXPECT_EQ(TSingleInstanceLock::LockFileFor(root + "/db/"), root + "/db/.kalmora-updater.lock");
    EXPECT_EQ(TSingleInstanceLock::LockFileFor(root + "/db"), root + "/db/.kalmora-updater.lock");
    sfs::create_directories(root + "/db");
    TSingleInstanceLock first(root + "/db");
    ASSERT_TRUE(first.Acquired());
    // The configuration folder appearing meanwhile changes nothing about where the second one looks.
    sfs::create_directories(root + "/db/config");
    EXPECT_FALSE(TSingleInstanceLock(root + "/db/").Acquired());
    EXPECT_FALSE(sfs::exists(root + "/db/config/.kalmora-updater.lock"));
}

TEST_F(ProgramPieces, ALockFileThatCannotBeOpenedIsNamed) {
    TSingleInstanceLock lock(root + "/missing");
    EXPECT_FALSE(lock.Acquired());
    EXPECT_EQ(lock.OpenError(), ENOENT);
}

TEST_F(ProgramPieces, OneLockHolderAtATimeAndADeadHolderNeverBlocks) {
    sfs::create_directories(root);
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    if (child == 0) {
        TSingleInstanceLock held(root);
        char c = held.Acquired() ? 'y' : 'n';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1); // holds the lock until told, then dies without releasing it
        _exit(0);
    }
    char got = 0;
    ASSERT_EQ(read(toParent[0], &got, 1), 1);
    ASSERT_EQ(got, 'y');
    EXPECT_FALSE(TSingleInstanceLock(root).Acquired());
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(TSingleInstanceLock(root).Acquired());
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);
}

TEST_F(ProgramPieces, RuntimeFoldersOfDeadProcessesGoAtTheNextStartAndTheRunsOwnAtItsEnd) {
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string prefix = root + "/kalmora-updater-runtime.";
    const std::string stale = prefix + std::to_string(dead) + ".abc123";
    const std::string living = prefix + std::to_string(getppid()) + ".abc123";
    const std::string linked = prefix + std::to_string(dead) + ".link00";
    const std::string outside = root + "/outside";
    for (const auto& folder : {stale, living, outside})
        sfs::create_directories(folder);
    std::ofstream(stale + "/socket") << "s";
    std::ofstream(outside + "/keep") << "k";
    sfs::create_directory_symlink(outside, linked);

    std::string made;
    {
        TRuntimeFolder runtime;
        made = runtime.Path();
        ASSERT_FALSE(made.empty());
        EXPECT_EQ(std::getenv("XDG_RUNTIME_DIR"), made);
        EXPECT_FALSE(sfs::exists(stale));
        EXPECT_TRUE(sfs::exists(living));
        EXPECT_TRUE(sfs::exists(outside + "/keep")) << "a link is never followed";
    }
    EXPECT_FALSE(sfs::exists(made));
    EXPECT_EQ(std::getenv("XDG_RUNTIME_DIR"), nullptr);
}

// --- the conditions of a run -----------------------------------------------------------------------------

class RunConditionsTest : public ProgramPieces {
protected:
    void SetUp() override {
        ProgramPieces::SetUp();
        sfs::create_directories(root + "/db");
        sfs::create_directories(root + "/install");
        WriteRegistryString("DatabaseDir", root + "/db", {}, false, true);
        WriteRegistryString("InstallDir", root + "/install/", {}, false, true);
        WriteRegistryString("InstallationId", "0000A1B2", {}, false, true);
        unsetenv("KALMORA_CONFIG_BASE_URL");
    }
};

TEST_F(RunConditionsTest, AllPresentGivesTheIdAndTheDatabaseFolder) {
    auto conditions = CheckRunConditions(MachineId(""));
    EXPECT_EQ(conditions.Problem, "");
    EXPECT_EQ(conditions.InstallationId, "0000A1B2");
    EXPECT_EQ(conditions.DatabaseDir, root + "/db/");
}

TEST_F(RunConditionsTest, NoInstallationIdentifierFromEitherSource) {
    WriteRegistryString("InstallationId", "", {}, false, true);
    EXPECT_EQ(CheckRunConditions(MachineId("not hex")).Problem,
              "no installation identifier: setting InstallationId is not eight hexadecimal digits and " +
                  root + "/machine-id gives none");
    EXPECT_EQ(CheckRunConditions(MachineId("00000000")).Problem, "") << "00000000 is a valid identifier";
}

TEST_F(RunConditionsTest, RelativeTemporaryFolderIsRefused) {
    setenv("TMPDIR", "tmp", 1);
    EXPECT_EQ(CheckRunConditions(MachineId("")).Problem, "TMPDIR: not an absolute path: tmp");
}

TEST_F(RunConditionsTest, AHiveThatCannotBeReadIsNamedWithTheReason) {
    fs::SetFaultHookForTesting(
        [](fs::TFsStep step, std::size_t) { return step == fs::TFsStep::Read ? EIO : 0; });
    const std::string problem = CheckRunConditions(MachineId("")).Problem;
    fs::SetFaultHookForTesting({});
    EXPECT_EQ(problem, "cannot read hive file \"" + root + "/HKLM.reg\": Input/output error");
}

TEST_F(RunConditionsTest, DatabaseFolderThatCannotBeWrittenIsNamed) {
    sfs::create_directories(root + "/db/config");
    test::GiveToChild(root);
    ::chmod((root + "/db/config").c_str(), 0555);
    const std::string machineId = MachineId("");
    // Root writes anywhere; the check must hold for the account that runs it.
    EXPECT_EQ(test::RunInChild(
                  [&] {
                      auto problem = CheckRunConditions(machineId).Problem;
                      return problem.rfind("setting DatabaseDir: folder cannot be written: " + root +
                                               "/db/config",
                                           0) == 0
                                 ? 0
                                 : 1;
                  },
                  true),
              0);
}

// --- command line, exit status, console --------------------------------------------------------------------

TEST(CommandLineTest, OnlyHelpOrVersionAlone) {
    std::string error;
    const char* none[] = {"kalmora-updater"};
    EXPECT_EQ(ParseCommandLine(1, none, error), TCommand::Run);
    const char* help[] = {"kalmora-updater", "--help"};
    EXPECT_EQ(ParseCommandLine(2, help, error), TCommand::Help);
    const char* version[] = {"kalmora-updater", "--version"};
    EXPECT_EQ(ParseCommandLine(2, version, error), TCommand::Version);
    const char* extra[] = {"kalmora-updater", "--version", "x"};
    EXPECT_EQ(ParseCommandLine(3, extra, error), TCommand::UsageError);
    EXPECT_EQ(error, "unknown argument: x");
    const char* dash[] = {"kalmora-updater", "-"};
    EXPECT_EQ(ParseCommandLine(2, dash, error), TCommand::UsageError);
    EXPECT_EQ(error, "unknown argument: -");
}

TEST(ExitStatusTest, SignalBeforeFailureBeforeSuccess) {
    const std::vector<TUpdateFailure> none, one{{"dev", "http://h/dev.zip", "HTTP 404 Not Found"}};
    EXPECT_EQ(RunExitStatus(none, 0), 0);
    EXPECT_EQ(RunExitStatus(one, 0), 1);
    EXPECT_EQ(RunExitStatus(one, SIGTERM), 143);
    EXPECT_EQ(RunExitStatus(none, SIGHUP), 129);
}

class ConsoleReportTest : public ::testing::Test {
protected:
    std::string Output(bool interactive, const std::function<void(TConsoleReport&)>& use) {
        char* text = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        TConsoleReport console(out, interactive);
        use(console);
        std::fclose(out);
        std::string result(text, size);
        std::free(text);
        return result;
    }
    TUpdateReport report;
};

TEST_F(ConsoleReportTest, NotATerminalGetsTheFailuresOnly) {
    report.DownloadStarted("dev");
    report.DownloadProgressed(5000);
    report.AddInstalled({"dev", "2026-12-01"});
    report.AddFailure({"partner", "http://h/p.zip", "HTTP 500 Internal Server Error"});
    EXPECT_EQ(Output(false,
                     [&](TConsoleReport& c) {
                         c.Update(report);
                         c.Finish(report);
                     }),
              "kalmora-updater: partner: http://h/p.zip: HTTP 500 Internal Server Error\n");
}

TEST_F(ConsoleReportTest, TerminalSeesProgressInPlaceAndInstalledKinds) {
    report.DownloadStarted("dev");
    const std::string text = Output(true, [&](TConsoleReport& c) {
        c.Update(report); // started, no byte yet: nothing to show
        report.DownloadProgressed(1500);
        c.Update(report);
        report.DownloadEnded();
        report.AddInstalled({"dev", "2026-12-01"});
        c.Update(report);
        c.Finish(report);
    });
    EXPECT_EQ(text.rfind("\rkalmora-updater: dev: 1.5 kB", 0), 0u) << text;
    EXPECT_NE(text.find("\r\033[Kkalmora-updater: dev: installed (2026-12-01)\n"), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line, after the cleared progress line";
}

TEST(ProgressTextTest, SizesAndRate) {
    using namespace std::chrono;
    EXPECT_EQ(ProgressText(999, 0s), "999 B");
    EXPECT_EQ(ProgressText(2'500'000, 2s), "2.5 MB, 1.2 MB/s");
}
