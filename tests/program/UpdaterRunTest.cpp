#include "UpdaterRunFixture.h"
#include "support/ToolProcess.h"
#include "text/Unicode.h"

#include <cctype>
#include <csignal>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kalmora;
using namespace kalmora::test;

namespace {

const Tree OldDev = {{"devices/old.ini", "old"}, {"devices/keep.ini", "keep?"}, {"readme.txt", "old readme"}};
const Tree NewDev = {{"dev/devices/x.ini", "new x"}};

} // namespace

TEST_F(UpdaterRun, PasswordUrlDropsLeadingZeros) {
    Set("InstallationId", "00000000");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Stderr, "") << "no manifest and no password (both 404) are the normal case";
    EXPECT_TRUE(Requested("/kmdata/kmconfig/lic/.pwd"));
    server.Stop();
}

TEST_F(UpdaterRun, PasswordWithLineBreakOpensThePatch) {
    fs::create_directories(install + "bin");
    WriteTree(install, {{"bin/a.dll", "old a"}, {"bin/b.dll", "old b"}, {"other.txt", "stays"}});
    Password("secret\r\n");
    Manifest({{"patch", "2026-12-01", Package("patch", "1", {{"patch/bin/a.dll", "new a"}}, "secret")}});
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(Requested("/kmdata/kmconfig/lic/A1B2.pwd"));
    EXPECT_EQ(ReadTree(install),
              (Tree{{"bin/a.dll", "new a"}, {"bin/b.dll", "old b"}, {"other.txt", "stays"}}));
    EXPECT_EQ(Recorded("patch"), "2026-12-01");
    EXPECT_FALSE(fs::exists(config + "patch/patch.zip")); // copy mode consumes the package
}

TEST_F(UpdaterRun, NoPasswordSkipsThePatchSeed) {
    fs::create_directories(install);
    MakeZip(config + "patch/patch.zip", {{"patch/bin/a.dll", "new a"}}, "secret");
    const auto seed = ReadTree(config + "patch");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ReadTree(config + "patch"), seed);
    EXPECT_TRUE(ReadTree(install).empty());
    EXPECT_EQ(Recorded("patch"), "<absent>");
}

TEST_F(UpdaterRun, EqualDateRequestsNoPackage) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-12-01");
    Manifest({{"dev", "2026-12-01", Package("dev", "1", NewDev)}});
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(Requested("dev-1.zip"));
    EXPECT_TRUE(Requested("configinfo.xml"));
    EXPECT_EQ(ReadTree(config + "dev"), OldDev);
}

TEST_F(UpdaterRun, OlderDateIsStillInstalled) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-12-01");
    Manifest({{"dev", "2025-01-01", Package("dev", "1", NewDev)}});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ReadTree(config + "dev"), (Tree{{"devices/x.ini", "new x"}}));
    EXPECT_EQ(Recorded("dev"), "2025-01-01");
}

TEST_F(UpdaterRun, SeedWithoutManifestRecordsInit) {
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    EXPECT_EQ(Run(), 0); // no configinfo.xml on the server: 404
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "seed"}}));
    EXPECT_EQ(Recorded("partner"), "init");
    EXPECT_EQ(Recorded("dev"), "<absent>");
}

TEST_F(UpdaterRun, UnreachableDisplayRunsOffscreen) {
    TScopedEnvironment staleDisplay{"DISPLAY", UnreachableDisplay()};
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    EXPECT_EQ(Run(), 0) << Stderr;
    EXPECT_EQ(Recorded("partner"), "init");
}

TEST_F(UpdaterRun, SeedAndManifestInOneRunEndWithTheDate) {
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    Manifest({{"partner", "2026-12-05",
               Package("partner", "1", {{"partner/p.ini", "new"}, {"partner/q.ini", "q"}})}});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "new"}, {"q.ini", "q"}}));
    EXPECT_EQ(Recorded("partner"), "2026-12-05");
}

TEST_F(UpdaterRun, DebugFileOpensAndClosesTheRunWithTheUnitReportsBetween) {
    const std::string folder = root + "/debug/";
    fs::create_directories(folder);
    setenv("KALMORA_DEBUG_LEVEL", "0x7E814004", 1);
    const int status = Run({}, folder);
    unsetenv("KALMORA_DEBUG_LEVEL");
    EXPECT_EQ(status, 0) << Stderr;
    const std::string text = ReadTree(folder)["kalmora-updater.Debug.log"];
    const std::vector<std::string> lines = {
        "Starting Debug-Log.", "Finalize kmBaseDb",    "Finalize kmWaren", "Finalize kmKartenzahlung",
        "Finalize ComUnit2",   "Finalize lmDbObjects", "Finalize lmdbStd", "Stopping Debug-Log."};
    const std::string head = text.substr(0, text.find(lines.front()));
    EXPECT_EQ(head.find("Log: "), head.rfind("Log: ")) << "not the first entry:\n" << text;
    std::size_t at = 0;
    for (const auto& line : lines) {
        const auto found = text.find("\r\n" + line + "\r\n", at);
        ASSERT_NE(found, std::string::npos) << line << " missing or out of order in:\n" << text;
        at = found + line.size();
    }
    EXPECT_EQ(text.substr(at + 2).find_first_not_of("\r\n"), std::string::npos) << "not last:\n" << text;
}

TEST_F(UpdaterRun, PackageNotFoundKeepsTheValue) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-11-01");
    Manifest({{"dev", "2026-12-01", "#KMCONFIGDIR#packages/missing.zip"}});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(StderrLines(), std::vector<std::string>{"kalmora-updater: dev: " +
                                                      server.Url("kmdata/kmconfig/packages/missing.zip") +
                                                      ": HTTP 404 Not Found"});
    EXPECT_TRUE(Requested("missing.zip"));
    EXPECT_EQ(ReadTree(config + "dev"), OldDev);
    EXPECT_EQ(Recorded("dev"), "2026-11-01");
}

TEST_F(UpdaterRun, DevPackageReplacesTheFolderExactly) {
    WriteTree(config + "dev", OldDev);
    Manifest({{"dev", "2026-12-01", Package("dev", "1", NewDev)}});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ReadTree(config + "dev"), (Tree{{"devices/x.ini", "new x"}}));
    EXPECT_EQ(Recorded("dev"), "2026-12-01");
    // Nothing of the work is left in the configuration folder; the instance lock stays beside the kinds.
    for (auto& entry : fs::directory_iterator(config))
        EXPECT_TRUE(entry.path().filename() == "dev" || entry.path().filename() == ".kalmora-updater.lock")
            << entry.path();
}

TEST_F(UpdaterRun, ArchiveWithoutTheKindsFolderKeepsTheOldFolder) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-11-01");
    Manifest({{"dev", "2026-12-01", Package("dev", "1", {{"partner/x.ini", "wrong kind"}})}});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(StderrLines(), std::vector<std::string>{"kalmora-updater: dev: " + config +
                                                      "dev/dev.zip: the package holds no folder \"dev\""});
    auto tree = ReadTree(config + "dev");
    tree.erase("dev.zip"); // the download lies in the kind's folder
    EXPECT_EQ(tree, OldDev);
    EXPECT_EQ(Recorded("dev"), "2026-11-01");
}

TEST_F(UpdaterRun, CommentInADateEndsTheRun) {
    MakeZip(config + "patch/patch.zip", {{"patch/x", "x"}});
    Password("secret");
    fs::create_directories(install);
    Manifest(
        {{"dev", "2026-12-01", Package("dev", "1", NewDev)}},
        "<partner><date>2026-12-05<!-- note --></date><url>#KMCONFIGDIR#packages/p.zip</url></partner>\n");
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(StderrLines().size(), 1u) << Stderr;
    EXPECT_NE(Stderr.find("EManifestError"), std::string::npos) << Stderr;
    EXPECT_EQ(Recorded("dev"), "2026-12-01");
    // The partner seed went in before its manifest entry was read; nothing after that entry ran.
    EXPECT_EQ(Recorded("partner"), "init");
    EXPECT_EQ(Recorded("patch"), "<absent>");
    EXPECT_TRUE(fs::exists(config + "patch/patch.zip"));
}

TEST_F(UpdaterRun, SecondInstanceDoesNoWork) {
    WriteTree(config + "dev", OldDev);
    TScriptedResponse stalled;
    stalled.generatedLength = 1 << 20;
    stalled.stallAfter = 1000;
    server.Script("/kmdata/kmconfig/packages/slow.zip", stalled);
    Manifest({{"dev", "2026-12-01", "#KMCONFIGDIR#packages/slow.zip"}});
    TUpdaterProcess first(UPDATER_PROGRAM, root);
    ASSERT_TRUE(server.WaitForStalls(1, 30s));
    const auto requests = server.Requests().size();
    TUpdaterProcess second(UPDATER_PROGRAM, root, {}, StderrFile());
    EXPECT_EQ(Ended(second, 10s), 4);
    EXPECT_EQ(StderrLines().size(), 1u) << Stderr;
    EXPECT_EQ(server.Requests().size(), requests); // the second one asked the server for nothing
    first.Signal(SIGTERM);
    EXPECT_TRUE(first.Wait(30s));
}

TEST_F(UpdaterRun, CancelDuringASlowDownloadStillInstallsTheLaterSeedsAndRequestsNothingMore) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-11-01");
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    MakeZip(config + "patch/patch.zip", {{"patch/bin/a.dll", "seed a"}}, "secret");
    Password("secret");
    TScriptedResponse slow;
    slow.generatedLength = 1 << 20;
    slow.trickleBytes = 100;
    slow.trickleInterval = 500ms;
    server.Script("/kmdata/kmconfig/packages/dev.zip", slow);
    server.Script("/kmdata/kmconfig/packages/partner.zip", slow);
    Manifest({{"dev", "2026-12-01", "#KMCONFIGDIR#packages/dev.zip"},
              {"partner", "2026-12-05", "#KMCONFIGDIR#packages/partner.zip"}});
    TUpdaterProcess updater(UPDATER_PROGRAM, root, {}, StderrFile());
    // Wait until the dev download is under way.
    for (int i = 0; i < 600 && !Requested("packages/dev.zip"); ++i)
        server.WaitForRequests(server.Requests().size() + 1, 100ms);
    ASSERT_TRUE(Requested("packages/dev.zip"));
    const auto signalled = std::chrono::steady_clock::now();
    updater.Signal(SIGTERM);
    updater.Signal(SIGTERM); // a second signal while closing changes nothing
    EXPECT_EQ(Ended(updater, 30s), 128 + SIGTERM);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 1s);
    EXPECT_EQ(Stderr, "") << "a cancel is no failure";
    EXPECT_EQ(ReadTree(config + "dev"), OldDev);
    EXPECT_EQ(Recorded("dev"), "2026-11-01");
    // The later kinds' seeds need no server and go in; their downloads are never asked for.
    EXPECT_FALSE(Requested("packages/partner.zip"));
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "seed"}}));
    EXPECT_EQ(Recorded("partner"), "init");
    EXPECT_EQ(ReadTree(install), (Tree{{"bin/a.dll", "seed a"}}));
    EXPECT_EQ(Recorded("patch"), "init");
    // The work folders are gone.
    EXPECT_TRUE(fs::is_empty(root + "/tmp"));
    for (auto& entry : fs::directory_iterator(config))
        EXPECT_EQ(entry.path().filename().string().rfind("~km", 0), std::string::npos) << entry.path();
}

// Kills the updater at random instants while it replaces "dev": the folder always holds exactly the old or
// exactly the new content, and a later normal run completes.
TEST_F(UpdaterRun, KilledAtAnyInstantNeverLosesTheDevFolder) {
    Tree oldDev, newDev;
    for (int i = 0; i < 300; ++i) {
        oldDev["devices/old" + std::to_string(i) + ".ini"] = std::string(200, 'o');
        newDev["dev/devices/new" + std::to_string(i) + ".ini"] = std::string(200, 'n');
    }
    Tree expectedNew;
    for (auto& [path, content] : newDev)
        expectedNew[path.substr(4)] = content;
    Manifest({{"dev", "2026-12-01", Package("dev", "1", newDev)}});

    auto start = std::chrono::steady_clock::now();
    fs::remove_all(config + "dev");
    WriteTree(config + "dev", oldDev);
    ASSERT_EQ(Run(), 0);
    const auto runTime = std::max(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start),
        std::chrono::microseconds(50000));
    ASSERT_EQ(ReadTree(config + "dev"), expectedNew);

    std::mt19937 random(12345);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 50; ++round) {
        fs::remove_all(config + "dev");
        WriteTree(config + "dev", oldDev);
        Set("lastconfigupdate.dev", "old");
        {
            TUpdaterProcess updater(UPDATER_PROGRAM, root);
            std::uniform_int_distribution<long> instant(0, runTime.count());
            // Not a wait for the process: the pause picks the instant at which it is killed.
            std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
            updater.Signal(SIGKILL);
            ASSERT_TRUE(updater.Wait(10s));
        }
        auto tree = ReadTree(config + "dev");
        tree.erase("dev.zip");
        if (tree == oldDev)
            ++sawOld;
        else if (tree == expectedNew)
            ++sawNew;
        else
            FAIL() << "round " << round << ": dev folder holds neither the old nor the new content ("
                   << tree.size() << " files)";
        if (round % 10 == 9) {
            ASSERT_EQ(Run(), 0);
            EXPECT_EQ(ReadTree(config + "dev"), expectedNew);
            EXPECT_EQ(Recorded("dev"), "2026-12-01");
        }
    }
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(Recorded("dev"), "2026-12-01");
    // Kills before and after the replacement both happened, so both outcomes were really put to the test.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}

// Kills the updater at random instants while it installs a patch over the installation folder. The run after
// each kill (one without a manifest, so that it does nothing but finish what was left) always leaves the old
// or the new patch whole, and no kill leaves more than its own runtime folder behind.
TEST_F(UpdaterRun, KilledAtAnyInstantNeverLeavesAMixedPatchAfterTheNextRun) {
    Tree oldInstall, package, newInstall;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "bin/f" + std::to_string(i);
        oldInstall[name] = std::string(300, 'o');
        package["patch/" + name] = std::string(400, 'n');
        newInstall[name] = std::string(400, 'n');
    }
    package["patch/lib/added.so"] = newInstall["lib/added.so"] = "added";
    Password("secret");
    const std::string url = Package("patch", "1", package, "secret");
    auto runtimeFolders = [this] {
        int count = 0;
        for (auto& entry : fs::directory_iterator(root + "/tmp"))
            count += entry.path().filename().string().starts_with("kalmora-updater-runtime.");
        return count;
    };
    auto freshRound = [&] {
        fs::remove_all(install);
        WriteTree(install, oldInstall);
        Set("lastconfigupdate.patch", "old");
        Manifest({{"patch", "2026-12-01", url}});
    };

    freshRound();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(), 0) << Stderr;
    const auto runTime =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(ReadTree(install), newInstall);

    std::mt19937 random(4711);
    int sawOld = 0, sawNew = 0, leftJournal = 0;
    for (int round = 0; round < 12; ++round) {
        freshRound();
        {
            TUpdaterProcess updater(UPDATER_PROGRAM, root);
            std::uniform_int_distribution<long> instant(0, runTime.count());
            // Not a wait for the process: the pause picks the instant at which it is killed.
            std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
            updater.Signal(SIGKILL);
            ASSERT_TRUE(updater.Wait(10s));
        }
        EXPECT_LE(runtimeFolders(), 1) << "round " << round;
        const bool journal = fs::exists(db + ".kalmora-patch.journal");
        leftJournal += journal;
        if (!journal) {
            const Tree killed = ReadTree(install);
            EXPECT_TRUE(killed == oldInstall || killed == newInstall)
                << "round " << round << ": no journal, but mixed";
        }
        fs::remove(served + "configinfo.xml");
        ASSERT_EQ(Run(), 0) << "round " << round << ": " << Stderr;
        const Tree after = ReadTree(install);
        sawOld += after == oldInstall;
        sawNew += after == newInstall;
        EXPECT_TRUE(after == oldInstall || after == newInstall) << "round " << round << ": a mixed patch";
        EXPECT_FALSE(fs::exists(db + ".kalmora-patch.journal"));
        EXPECT_EQ(runtimeFolders(), 0);
    }
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
    RecordProperty("journal", leftJournal);
}

TEST_F(UpdaterRun, AWindowToolkitThatCannotStartIsOneLineAndExitOne) {
    TScopedEnvironment platform{"QT_QPA_PLATFORM", "no-such-platform"};
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(StderrLines().size(), 1u) << Stderr;
    EXPECT_EQ(StderrLines()[0].rfind("kalmora-updater: the window toolkit cannot go on: ", 0), 0u) << Stderr;
    EXPECT_TRUE(fs::is_empty(root + "/tmp")) << "the work and runtime folders are gone";
}

// --- exit status and stderr ------------------------------------------------------------------------------

TEST_F(UpdaterRun, HelpAndVersionPrintAndAskNothing) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(Stderr, "");
    EXPECT_TRUE(server.Requests().empty());
}

class UpdaterUsage : public UpdaterRun, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(UpdaterUsage, AnyOtherArgumentIsAUsageErrorBeforeAnythingHappens) {
    const auto hive = ReadTree(root)["HKLM.reg"];
    EXPECT_EQ(Run(GetParam()), 2);
    EXPECT_EQ(StderrLines().front(), "kalmora-updater: unknown argument: " + GetParam().back());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(ReadTree(root)["HKLM.reg"], hive);
    EXPECT_TRUE(fs::is_empty(db));
}

INSTANTIATE_TEST_SUITE_P(Arguments, UpdaterUsage,
                         ::testing::Values(std::vector<std::string>{"-h"}, std::vector<std::string>{"run"},
                                           std::vector<std::string>{"--help", "extra"},
                                           std::vector<std::string>{"--version", "--help"}),
                         [](const auto& info) {
                             std::string name;
                             for (auto& arg : info.param)
                                 for (char c : arg)
                                     name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST_F(UpdaterRun, ClosedPortIsAFailureNamingEachUrl) {
    server.Stop();
    THttpTestServer closed; // a port that was just open and is closed now
    const std::string base = closed.Url("kmdata/kmconfig/");
    closed.Stop();
    setenv("KALMORA_CONFIG_BASE_URL", base.c_str(), 1);
    EXPECT_EQ(Run(), 1);
    auto lines = StderrLines();
    ASSERT_EQ(lines.size(), 2u) << Stderr;
    EXPECT_EQ(lines[0].rfind("kalmora-updater: manifest: " + base + "configinfo.xml: ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("kalmora-updater: patch: " + base + "lic/A1B2.pwd: ", 0), 0u) << lines[1];
}

TEST_F(UpdaterRun, ServerErrorForThePasswordIsAFailure) {
    TScriptedResponse broken;
    broken.statusLine = "HTTP/1.1 503 Service Unavailable";
    server.Script("/kmdata/kmconfig/lic/A1B2.pwd", broken);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(StderrLines(), std::vector<std::string>{
                                 "kalmora-updater: patch: " + server.Url("kmdata/kmconfig/lic/A1B2.pwd") +
                                 ": HTTP 503 Service Unavailable"});
}

TEST_F(UpdaterRun, StalledManifestAnswersSigtermWithinASecondAndAsksNothingMore) {
    TScriptedResponse stalled;
    stalled.body = std::string(4096, ' ');
    stalled.stallAfter = 100;
    server.Script("/kmdata/kmconfig/configinfo.xml", stalled);
    Password("secret");
    TUpdaterProcess updater(UPDATER_PROGRAM, root, {}, StderrFile());
    ASSERT_TRUE(server.WaitForStalls(1, 30s));
    const auto requests = server.Requests().size();
    const auto signalled = std::chrono::steady_clock::now();
    updater.Signal(SIGTERM);
    EXPECT_EQ(Ended(updater, 30s), 128 + SIGTERM);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 1s);
    EXPECT_EQ(Stderr, "");
    server.Stop();
    EXPECT_EQ(server.Requests().size(), requests); // the password file was never asked for
    EXPECT_FALSE(Requested(".pwd"));
}

TEST_F(UpdaterRun, SigintGives130) {
    TScriptedResponse stalled;
    stalled.body = std::string(4096, ' ');
    stalled.stallAfter = 100;
    server.Script("/kmdata/kmconfig/configinfo.xml", stalled);
    TUpdaterProcess updater(UPDATER_PROGRAM, root, {}, StderrFile());
    ASSERT_TRUE(server.WaitForStalls(1, 30s));
    updater.Signal(SIGINT);
    EXPECT_EQ(Ended(updater, 30s), 128 + SIGINT);
}

TEST_F(UpdaterRun, MissingDatabaseDirWritesNothingAnywhere) {
    ASSERT_TRUE(WriteRegistryString("DatabaseDir", "", {}, false, true));
    const std::string cwd = root + "/cwd";
    fs::create_directories(cwd);
    EXPECT_EQ(Run({}, cwd), 3);
    EXPECT_EQ(StderrLines(), std::vector<std::string>{"kalmora-updater: setting DatabaseDir is not set"});
    EXPECT_TRUE(fs::is_empty(cwd));
    EXPECT_TRUE(fs::is_empty(root + "/tmp"));
    EXPECT_TRUE(server.Requests().empty());
}

class UpdaterNotConfigured
    : public UpdaterRun,
      public ::testing::WithParamInterface<std::tuple<const char*, const char*, const char*>> {};

TEST_P(UpdaterNotConfigured, NamesTheSettingAndDoesNothing) {
    auto [name, value, line] = GetParam();
    auto withRoot = [this](std::string text) {
        for (auto at = text.find("ROOT"); at != std::string::npos; at = text.find("ROOT"))
            text.replace(at, 4, root);
        return text;
    };
    ASSERT_TRUE(WriteRegistryString(name, withRoot(value), {}, false, true));
    const auto hive = ReadTree(root)["HKLM.reg"];
    EXPECT_EQ(Run(), 3);
    const std::string expected = withRoot(line);
    EXPECT_EQ(StderrLines(), std::vector<std::string>{"kalmora-updater: " + expected});
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(ReadTree(root)["HKLM.reg"], hive);
    EXPECT_TRUE(fs::is_empty(db));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UpdaterNotConfigured,
    ::testing::Values(std::tuple{"DatabaseDir", "db", "setting DatabaseDir: not an absolute path: db"},
                      std::tuple{"DatabaseDir", "ROOT/nowhere",
                                 "setting DatabaseDir: no such folder: ROOT/nowhere"},
                      std::tuple{"InstallDir", "", "setting InstallDir is not set"},
                      std::tuple{"InstallDir", "ROOT/no-such-install/",
                                 "setting InstallDir: no such folder: ROOT/no-such-install/"}),
    [](const auto& info) {
        std::string name = std::get<0>(info.param);
        std::string value = std::get<1>(info.param);
        return name + (value.empty() ? "_empty" : value.starts_with("ROOT") ? "_missing" : "_relative");
    });

TEST_F(UpdaterRun, GarbageHiveIsNamedAndLeftByteForByte) {
    // A torn file, and one with a line that the registry editor would skip: rewritten, it would lose it.
    for (const std::string garbage :
         {"Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\n\"x\"=",
          "Windows Registry Editor Version 5.00\n; "
          "fine\n[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"Retries\"=dword:1z\n"}) {
        std::ofstream(root + "/HKLM.reg", std::ios::binary | std::ios::trunc) << garbage;
        const std::string cwd = root + "/cwd";
        fs::create_directories(cwd);
        EXPECT_EQ(Run({}, cwd), 3);
        ASSERT_EQ(StderrLines().size(), 1u) << Stderr;
        EXPECT_NE(Stderr.find(root + "/HKLM.reg"), std::string::npos) << Stderr;
        EXPECT_EQ(ReadTree(root)["HKLM.reg"], garbage);
        EXPECT_TRUE(fs::is_empty(cwd));
        EXPECT_TRUE(server.Requests().empty());
    }
}

TEST_F(UpdaterRun, ARegeditExportWithCommentsSetsUpBothHivesInOneImport) {
    // As regedit exports it: UTF-16LE with its mark, CR LF, text as hex(1), a wrapped list; commented by
    // hand.
    const std::string exported =
        "Windows Registry Editor Version 5.00\r\n\r\n; the practice's settings, moved from Windows\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\r\n\"DatabaseDir\"=\"" +
        db +
        "\" ; the database\r\n"
        "\"InstallDir\"=\"" +
        install +
        "\"\r\n# the identifier of this installation\r\n"
        "\"InstallationId\"=hex(1):30,00,30,00,30,00,30,00,41,00,31,00,42,00,32,00,\\\r\n"
        "  ;wrapped as regedit wraps it\r\n  00,00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kalmora]\r\n"
        "\"lastconfigupdate.dev\"=\"2026-12-01\" ;installed on the old machine\r\n";
    std::string units;
    ASSERT_TRUE(text::Utf8ToUtf16Le(exported, units));
    std::ofstream(root + "/moved.reg", std::ios::binary) << "\xFF\xFE" << units;
    fs::remove(Hives.MachineFile);
    fs::remove(Hives.UserFile);
    const TToolRun import = RunProgram(KALMORA_REG_TOOL, {"import", root + "/moved.reg"});
    ASSERT_EQ(import.Exit, 0) << import.Err;
    EXPECT_EQ(import.Err, "");

    Manifest({{"dev", "2026-12-01", Package("dev", "1", NewDev)},
              {"partner", "2026-12-02", Package("partner", "2", {{"partner/p.ini", "new"}})}});
    EXPECT_EQ(Run(), 0) << Stderr;
    EXPECT_FALSE(Requested("dev-1.zip")); // the per-user date from the export is the manifest's
    EXPECT_TRUE(Requested("/kmdata/kmconfig/lic/A1B2.pwd"));
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "new"}}));
    EXPECT_EQ(Recorded("partner"), "2026-12-02");
}

TEST_F(UpdaterRun, MalformedOverrideUrlIsNeverReplacedByTheBuiltInServer) {
    setenv("KALMORA_CONFIG_BASE_URL", (server.BaseUrl() + "kmconfig/").c_str(), 1);
    EXPECT_EQ(Run(), 3);
    ASSERT_EQ(StderrLines().size(), 1u) << Stderr;
    EXPECT_EQ(StderrLines()[0].rfind("kalmora-updater: KALMORA_CONFIG_BASE_URL: ", 0), 0u) << Stderr;
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(fs::is_empty(db));
}

TEST_F(UpdaterRun, WrongPasswordPatchChangesNothing) {
    WriteTree(install, {{"bin/a.dll", "old a"}, {"other.txt", "stays"}});
    Set("lastconfigupdate.patch", "2026-11-01");
    Password("rotated");
    Manifest({{"patch", "2026-12-01",
               Package("patch", "1", {{"patch/bin/a.dll", "new a"}, {"patch/lib/new.so", "n"}}, "secret")}});
    const auto before = ReadTree(install);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(ReadTree(install), before);
    EXPECT_FALSE(fs::exists(install + "lib")); // not even the folders of the failed entries
    EXPECT_EQ(Recorded("patch"), "2026-11-01");
    auto lines = StderrLines();
    ASSERT_FALSE(lines.empty());
    for (auto& line : lines)
        EXPECT_EQ(line.rfind("kalmora-updater: patch: " + config + "patch/patch.zip: patch/", 0), 0u) << line;
}

TEST_F(UpdaterRun, TwoRunsOnAFreshInstallationCannotBothProceed) {
    // No config folder yet: both must still meet on the same lock.
    TScriptedResponse stalled;
    stalled.body = std::string(4096, ' ');
    stalled.stallAfter = 100;
    server.Script("/kmdata/kmconfig/configinfo.xml", stalled);
    ASSERT_FALSE(fs::exists(config));
    TUpdaterProcess first(UPDATER_PROGRAM, root);
    ASSERT_TRUE(server.WaitForStalls(1, 30s));
    EXPECT_EQ(Run(), 4);
    first.Signal(SIGTERM);
    EXPECT_TRUE(first.Wait(30s));
}
