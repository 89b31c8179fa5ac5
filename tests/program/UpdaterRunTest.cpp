#include "UpdaterProcess.h"
#include "UtilBox/Registry.h"
#include "support/HttpTestServer.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kalmora;
using namespace kalmora::test;
using namespace std::chrono_literals;
using Tree = std::map<std::string, std::string>;

namespace {

constexpr auto RunTimeout = 60s;

class UpdaterRun : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalmora-run-XXXXXX";
        root = mkdtemp(pattern);
        db = root + "/db/";
        install = root + "/install/";
        config = db + "config/";
        served = root + "/server/kmdata/kmconfig/";
        fs::create_directories(root + "/tmp");
        fs::create_directories(served + "lic");
        fs::create_directories(served + "packages");
        setenv("KALMORA_HKLM_FILE", (root + "/HKLM.reg").c_str(), 1);
        setenv("KALMORA_HKCU_FILE", (root + "/HKCU.reg").c_str(), 1);
        setenv("TMPDIR", (root + "/tmp").c_str(), 1);
        setenv("KALMORA_CONFIG_BASE_URL", server.Url("kmdata/kmconfig/").c_str(), 1);
        server.ServeDirectory(root + "/server");
        SetStandardRegistryRoot("Software\\Kalmora");
        Set("DatabaseDir", db);
        Set("InstallDir", install);
        Set("InstallationId", "0000A1B2");
    }
    void TearDown() override {
        server.Stop();
        fs::remove_all(root);
    }

    void Set(const std::string& name, const std::string& value) {
        ASSERT_TRUE(WriteRegistryString(name, value, {}, false, true)) << name;
    }
    std::string Get(const std::string& name) { return ReadRegistryString(name, "<absent>"); }
    std::string Recorded(const std::string& kind) { return Get("lastconfigupdate." + kind); }

    struct Entry {
        std::string kind, date, url;
    };
    void Manifest(const std::vector<Entry>& entries, const std::string& extra = {}) {
        std::ofstream out(served + "configinfo.xml");
        out << "<?xml version=\"1.0\"?>\n<kmconfig>\n";
        for (auto& e : entries)
            out << "<" << e.kind << "><date>" << e.date << "</date><url>" << e.url << "</url></" << e.kind
                << ">\n";
        out << extra << "</kmconfig>\n";
    }
    // A package on the server, named kind-date.zip, and its manifest URL with the base-URL placeholder.
    std::string Package(const std::string& kind, const std::string& date, const Tree& files,
                        const std::string& password = {}) {
        const std::string name = kind + "-" + date + ".zip";
        MakeZip(served + "packages/" + name, files, password);
        return "#KMCONFIGDIR#packages/" + name;
    }
    void Password(const std::string& text) { std::ofstream(served + "lic/A1B2.pwd") << text; }

    int Run() {
        TUpdaterProcess updater(UPDATER_PROGRAM, root);
        auto status = updater.Wait(RunTimeout);
        EXPECT_TRUE(status.has_value()) << "updater did not end";
        return status ? *status : -1;
    }
    std::vector<std::string> Targets() {
        std::vector<std::string> targets;
        for (auto& r : server.Requests())
            targets.push_back(r.target);
        return targets;
    }
    bool Requested(const std::string& suffix) {
        for (auto& t : Targets())
            if (t.ends_with(suffix))
                return true;
        return false;
    }

    THttpTestServer server;
    std::string root, db, install, config, served;
};

const Tree OldDev = {{"devices/old.ini", "old"}, {"devices/keep.ini", "keep?"}, {"readme.txt", "old readme"}};
const Tree NewDev = {{"dev/devices/x.ini", "new x"}};

} // namespace

TEST_F(UpdaterRun, PasswordUrlDropsLeadingZeros) {
    Set("InstallationId", "00000000");
    EXPECT_EQ(Run(), 0);
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

TEST_F(UpdaterRun, SeedAndManifestInOneRunEndWithTheDate) {
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    Manifest({{"partner", "2026-12-05",
               Package("partner", "1", {{"partner/p.ini", "new"}, {"partner/q.ini", "q"}})}});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "new"}, {"q.ini", "q"}}));
    EXPECT_EQ(Recorded("partner"), "2026-12-05");
}

TEST_F(UpdaterRun, PackageNotFoundKeepsTheValue) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-11-01");
    Manifest({{"dev", "2026-12-01", "#KMCONFIGDIR#packages/missing.zip"}});
    EXPECT_EQ(Run(), 0);
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

TEST_F(UpdaterRun, PatchWithoutInstallationDirectoryRemovesThePackage) {
    Set("InstallDir", root + "/no-such-install/");
    Password("secret");
    Manifest({{"patch", "2026-12-01", Package("patch", "1", {{"patch/bin/a.dll", "new a"}}, "secret")}});
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(Requested("patch-1.zip"));
    EXPECT_FALSE(fs::exists(config + "patch/patch.zip"));
    EXPECT_FALSE(fs::exists(root + "/no-such-install"));
    EXPECT_EQ(Recorded("patch"), "<absent>");
}

TEST_F(UpdaterRun, ArchiveWithoutTheKindsFolderKeepsTheOldFolder) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-11-01");
    Manifest({{"dev", "2026-12-01", Package("dev", "1", {{"partner/x.ini", "wrong kind"}})}});
    EXPECT_EQ(Run(), 0);
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
    EXPECT_EQ(Run(), 0);
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
    TUpdaterProcess second(UPDATER_PROGRAM, root);
    auto status = second.Wait(10s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(server.Requests().size(), requests); // the second one asked the server for nothing
    first.Signal(SIGTERM);
    EXPECT_TRUE(first.Wait(30s));
}

TEST_F(UpdaterRun, CancelDuringASlowDownloadStillInstallsLaterSeeds) {
    WriteTree(config + "dev", OldDev);
    Set("lastconfigupdate.dev", "2026-11-01");
    MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
    fs::create_directories(install);
    MakeZip(config + "patch/patch.zip", {{"patch/bin/a.dll", "seed a"}}, "secret");
    Password("secret");
    TScriptedResponse slow;
    slow.generatedLength = 1 << 20;
    slow.trickleBytes = 100;
    slow.trickleInterval = 500ms;
    server.Script("/kmdata/kmconfig/packages/dev.zip", slow);
    server.Script("/kmdata/kmconfig/packages/partner.zip", slow);
    server.Script("/kmdata/kmconfig/packages/patch.zip", slow);
    Manifest({{"dev", "2026-12-01", "#KMCONFIGDIR#packages/dev.zip"},
              {"partner", "2026-12-05", "#KMCONFIGDIR#packages/partner.zip"},
              {"patch", "2026-12-08", "#KMCONFIGDIR#packages/patch.zip"}});
    TUpdaterProcess updater(UPDATER_PROGRAM, root);
    // Wait until the dev download is under way.
    for (int i = 0; i < 600 && !Requested("packages/dev.zip"); ++i)
        server.WaitForRequests(server.Requests().size() + 1, 100ms);
    ASSERT_TRUE(Requested("packages/dev.zip"));
    const auto signalled = std::chrono::steady_clock::now();
    updater.Signal(SIGTERM);
    updater.Signal(SIGTERM); // a second signal while closing changes nothing
    auto status = updater.Wait(30s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 500ms + 3s);
    auto dev = ReadTree(config + "dev");
    EXPECT_EQ(dev, OldDev);
    EXPECT_EQ(Recorded("dev"), "2026-11-01");
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "seed"}}));
    EXPECT_EQ(Recorded("partner"), "init");
    EXPECT_EQ(ReadTree(install), (Tree{{"bin/a.dll", "seed a"}}));
    EXPECT_EQ(Recorded("patch"), "init");
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
    // The program waits a second after the work before it ends; the kills aim at the work.
    const auto runTime = std::max(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start - 1s),
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
    EXPECT_GT(sawOld + sawNew, 0);
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}
