#include "kmConfigUpdaterThread/PackageInstall.h"

#include "UpdaterProcess.h"
#include "UtilBox/Registry.h"
#include "ZipTestBuilder.h"
#include "fs/FaultSeam.h"
#include "fs/FileSystem.h"
#include "kmConfigUpdaterThread/FolderReplace.h"
#include "support/HiveEnvironment.h"
#include "support/HttpTestServer.h"
#include "support/TestFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalmora;
using namespace kalmora::test;
using Tree = std::map<std::string, std::string>;

namespace {

class FolderTest : public ::testing::Test {
protected:
    std::string P(const std::string& rel) const { return Folder / rel; }
    TTestFolder Folder;
};

} // namespace

TEST_F(FolderTest, ReplaceFolderSwapsInTheNewContent) {
    WriteTree(P("dev"), {{"old.ini", "old"}, {"sub/a", "a"}});
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    ASSERT_EQ(ReplaceFolder(P("work/dev"), P("dev/")), 0);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    // The old content waits where the new folder was, for the caller to delete.
    EXPECT_EQ(ReadTree(P("work/dev")), (Tree{{"old.ini", "old"}, {"sub/a", "a"}}));
}

TEST_F(FolderTest, ReplaceFolderCreatesAMissingTarget) {
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    ASSERT_EQ(ReplaceFolder(P("work/dev"), P("dev")), 0);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    EXPECT_FALSE(std::filesystem::exists(P("work/dev")));
}

TEST_F(FolderTest, ReplaceFolderWithoutNewFolderChangesNothing) {
    WriteTree(P("dev"), {{"old.ini", "old"}});
    EXPECT_EQ(ReplaceFolder(P("work/dev"), P("dev")), ENOENT);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
}

TEST_F(FolderTest, RecoveryRestoresOrDropsTheSetAsideCopy) {
    WriteTree(P("dev.~old"), {{"old.ini", "old"}});
    RecoverReplacedFolder(P("dev/"));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
    EXPECT_FALSE(std::filesystem::exists(P("dev.~old")));

    WriteTree(P("dev.~old"), {{"older.ini", "older"}});
    RecoverReplacedFolder(P("dev"));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
    EXPECT_FALSE(std::filesystem::exists(P("dev.~old")));
}

TEST_F(FolderTest, ShellFileOperationArgumentChecks) {
    WriteTree(P("a"), {{"f", "1"}});
    EXPECT_FALSE(ShellFileOperation("", P("b"), FO_COPY, false));
    EXPECT_FALSE(ShellFileOperation(P("a"), "", FO_COPY, false));
    EXPECT_FALSE(ShellFileOperation(P("A"), P("a"), FO_COPY, false)); // equal ignoring case
    EXPECT_FALSE(std::filesystem::exists(P("b")));
    EXPECT_TRUE(ShellFileOperation(P("a"), "", FO_DELETE, false)); // an empty To is fine for a delete
    EXPECT_FALSE(std::filesystem::exists(P("a")));
}

TEST_F(FolderTest, ShellCopyMergesAndOverwrites) {
    WriteTree(P("pkg/patch"), {{"bin/a.dll", "new a"}, {"lib/n.so", "new"}});
    WriteTree(P("install"), {{"bin/a.dll", "old a"}, {"bin/b.dll", "old b"}});
    chmod(P("pkg/patch/bin/a.dll").c_str(), 0750);
    ASSERT_TRUE(ShellFileOperation(P("pkg/patch/*"), P("install/"), FO_COPY, false));
    EXPECT_EQ(ReadTree(P("install")),
              (Tree{{"bin/a.dll", "new a"}, {"bin/b.dll", "old b"}, {"lib/n.so", "new"}}));
    struct stat st;
    ASSERT_EQ(stat(P("install/bin/a.dll").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    // A folder copied into an existing folder lands inside it.
    ASSERT_TRUE(ShellFileOperation(P("pkg/patch/lib"), P("install/bin"), FO_COPY, false));
    EXPECT_TRUE(std::filesystem::exists(P("install/bin/lib/n.so")));
}

TEST_F(FolderTest, ShellMoveRenameAndDeleteContents) {
    WriteTree(P("a"), {{"f", "1"}});
    std::filesystem::create_directories(P("dest"));
    ASSERT_TRUE(ShellFileOperation(P("a"), P("dest"), FO_MOVE, false));
    EXPECT_EQ(ReadTree(P("dest")), (Tree{{"a/f", "1"}}));
    EXPECT_FALSE(std::filesystem::exists(P("a")));
    WriteTree(P("x"), {{"g", "2"}});
    EXPECT_FALSE(ShellFileOperation(P("x"), P("dest"), FO_RENAME, false)); // never replaces
    ASSERT_TRUE(ShellFileOperation(P("x"), P("y"), FO_RENAME, false));
    EXPECT_EQ(ReadTree(P("y")), (Tree{{"g", "2"}}));
    ASSERT_TRUE(ShellFileOperation(P("dest/*"), "", FO_DELETE, false));
    EXPECT_TRUE(std::filesystem::exists(P("dest")));
    EXPECT_TRUE(std::filesystem::is_empty(P("dest")));
}

TEST_F(FolderTest, StaleExtractionDirsAreRemoved) {
    WriteTree(P("config/~km01234"), {{"dev/x", "left over"}});
    WriteTree(P("config/dev"), {{"keep", "k"}});
    WriteTree(P("config/~kmnotone"), {{"keep", "k"}});
    RemoveStaleExtractionDirs(P("config/"));
    EXPECT_FALSE(std::filesystem::exists(P("config/~km01234")));
    EXPECT_TRUE(std::filesystem::exists(P("config/dev/keep")));
    EXPECT_TRUE(std::filesystem::exists(P("config/~kmnotone/keep")));
}

// --- file systems without renameat2 flags ----------------------------------------------------------------

class NoRenameFlags : public FolderTest {
protected:
    void SetUp() override { fs::RefuseRenameFlagsForTesting(true); }
    void TearDown() override { fs::RefuseRenameFlagsForTesting(false); }
};

TEST_F(NoRenameFlags, ReplaceFolderSetsTheOldFolderAsideAndRemovesItAfterwards) {
    WriteTree(P("dev"), {{"old.ini", "old"}});
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    ASSERT_EQ(ReplaceFolder(P("work/dev"), P("dev/")), 0);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    EXPECT_FALSE(std::filesystem::exists(P("work/dev")));
    EXPECT_FALSE(std::filesystem::exists(SetAsideName(P("dev"))));
}

TEST_F(NoRenameFlags, ReplaceFolderCreatesAMissingTargetAndNeverOverwritesANewOne) {
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    ASSERT_EQ(ReplaceFolder(P("work/dev"), P("dev")), 0);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    // The fallback of a no-replace rename still refuses an existing name.
    WriteTree(P("other"), {{"o", "o"}});
    EXPECT_EQ(fs::RenameNoReplace(P("other"), P("dev")), EEXIST);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
}

TEST_F(NoRenameFlags, ACrashBetweenTheRenamesIsUndoneByTheNextRun) {
    // The state right after the old folder went aside and before the new one moved in.
    WriteTree(SetAsideName(P("dev")), {{"old.ini", "old"}});
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    RecoverReplacedFolder(P("dev"));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
    ASSERT_EQ(ReplaceFolder(P("work/dev"), P("dev")), 0);
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    EXPECT_FALSE(std::filesystem::exists(SetAsideName(P("dev"))));
}

// --- installing and fetching -----------------------------------------------------------------------------

class InstallTest : public FolderTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteRegistryString("DatabaseDir", P("db")));
        std::filesystem::create_directories(P("db/config"));
    }
    TFailureNote Collect() {
        return [this](const std::string& where, const std::string& reason) {
            notes.push_back(where + ": " + reason);
        };
    }
    std::vector<std::string> notes;
    THiveEnvironment Hives{Folder.Path()};
};

TEST_F(InstallTest, AnEntryThatFailsKeepsTheOldFolderWhole) {
    WriteTree(P("db/config/dev"), {{"old.ini", "old"}});
    // "dev" is opened without a password, so its encrypted entry fails while the plain one would go in.
    MakeZip(P("pkg.zip"), {{"dev/secret.ini", "s"}}, "pw");
    ASSERT_EQ(
        std::system(("cd " + P("") + " && mkdir -p p/dev && echo plain > p/dev/plain.ini && cd p && zip -q " +
                     P("pkg.zip") + " dev/plain.ini")
                        .c_str()),
        0);
    std::filesystem::rename(P("pkg.zip"), P("db/config/dev/dev.zip"));
    EXPECT_FALSE(InstallPackage(P("db/config/dev/dev.zip"), "dev", "", true, P("db/config/dev/"), Collect()));
    auto tree = ReadTree(P("db/config/dev"));
    tree.erase("dev.zip");
    EXPECT_EQ(tree, (Tree{{"old.ini", "old"}}));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind(P("db/config/dev/dev.zip") + ": dev/secret.ini: ", 0), 0u) << notes[0];
    for (auto& entry : std::filesystem::directory_iterator(P("db/config")))
        EXPECT_EQ(entry.path().filename(), "dev") << "the staged folder is gone";
}

TEST_F(InstallTest, APatchWithAWrongPasswordCopiesNothing) {
    WriteTree(P("install"), {{"bin/a.dll", "old a"}});
    MakeZip(P("db/config/patch/patch.zip"), {{"patch/bin/a.dll", "new a"}, {"patch/lib/b.so", "b"}}, "right");
    EXPECT_FALSE(
        InstallPackage(P("db/config/patch/patch.zip"), "patch", "wrong", false, P("install/"), Collect()));
    EXPECT_EQ(ReadTree(P("install")), (Tree{{"bin/a.dll", "old a"}}));
    EXPECT_FALSE(std::filesystem::exists(P("install/lib")));
    EXPECT_EQ(notes.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(P("db/config/patch/patch.zip"))); // copy mode consumes the package
}

TEST_F(InstallTest, APatchEntryWithoutAUnixModeKeepsTheModeOfTheFileItReplaces) {
    WriteTree(P("install"), {{"bin/tool", "old"}});
    chmod(P("install/bin/tool").c_str(), 0755);
    // Made on Windows: no Unix mode in any entry.
    TTestEntry tool;
    tool.name = "patch/bin/tool";
    tool.data = "new";
    tool.versionMadeBy = MsDosMadeBy;
    tool.externalAttributes = 0;
    TTestEntry added = tool;
    added.name = "patch/bin/added.txt";
    TTestEntry own = tool;
    own.name = "patch/bin/own";
    own.versionMadeBy = UnixMadeBy;
    own.externalAttributes = 0100750u << 16;
    std::filesystem::create_directories(P("db/config/patch"));
    WriteFileBytes(P("db/config/patch/patch.zip"), TZipTestBuilder().Add(tool).Add(added).Add(own).Build());
    ASSERT_TRUE(InstallPackage(P("db/config/patch/patch.zip"), "patch", "", false, P("install/"), Collect()));
    EXPECT_EQ(ReadTree(P("install")),
              (Tree{{"bin/tool", "new"}, {"bin/added.txt", "new"}, {"bin/own", "new"}}));
    EXPECT_EQ(ModeOf(P("install/bin/tool")), 0755u);
    EXPECT_EQ(ModeOf(P("install/bin/added.txt")), 0644u & ~fs::ProcessUmask());
    EXPECT_EQ(ModeOf(P("install/bin/own")), 0750u);
}

TEST_F(InstallTest, ARenameRefusedHalfWayThroughThePatchPutsBackWhatWasInPlace) {
    const Tree old = {{"a", "old a"}, {"b", "old b"}, {"c", "old c"}, {"d", "old d"}, {"e", "old e"}};
    WriteTree(P("install"), old);
    MakeZip(P("db/config/patch/patch.zip"), {{"patch/a", "new a"},
                                             {"patch/b", "new b"},
                                             {"patch/c", "new c"},
                                             {"patch/d", "new d"},
                                             {"patch/e", "new e"}});
    int renames = 0;
    fs::SetFaultHookForTesting([&renames](fs::TFsStep step, std::size_t) {
        return step == fs::TFsStep::Rename && ++renames == 4 ? EROFS : 0;
    });
    const bool installed =
        InstallPackage(P("db/config/patch/patch.zip"), "patch", "", false, P("install/"), Collect());
    fs::SetFaultHookForTesting({});
    EXPECT_FALSE(installed);
    EXPECT_EQ(ReadTree(P("install")), old);
    EXPECT_EQ(FileNamesIn(P("install")), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_FALSE(Exists(InstallJournalPath("patch")));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], P("install/b") + ": the package cannot be installed: Read-only file system");
}

class FetchTest : public InstallTest {
protected:
    TManifest ManifestFor(const std::string& path) {
        return ParseManifestBytes("<kmconfig><dev><date>2026-12-01</date><url>" + server.Url(path) +
                                  "</url></dev></kmconfig>");
    }
    test::THttpTestServer server;
};

TEST_F(FetchTest, ACompleteDownloadAfterTheCancelIsThrownAway) {
    test::TScriptedResponse package;
    package.body = "PK not really";
    server.Script("/dev.zip", package);
    WriteTree(P("db/config/dev"), {{"dev.zip", "older package"}});
    std::filesystem::create_directories(P("work"));
    std::string recorded = "2026-11-01";
    int asked = 0;
    // Not terminated before the request, terminated by the time the download is complete.
    auto isTerminated = [&asked] { return asked++ > 0; };
    EXPECT_FALSE(FetchPackage(ManifestFor("dev.zip"), "dev", recorded, P("db/config/dev/dev.zip"), P("work"),
                              {}, isTerminated, Collect()));
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(recorded, "2026-11-01");
    EXPECT_EQ(ReadTree(P("db/config/dev")), (Tree{{"dev.zip", "older package"}}));
    EXPECT_TRUE(std::filesystem::is_empty(P("work")));
    EXPECT_TRUE(notes.empty()) << "a cancel is no failure";
}

TEST_F(FetchTest, NothingIsRequestedOnceTerminated) {
    std::string recorded;
    EXPECT_FALSE(FetchPackage(
        ManifestFor("dev.zip"), "dev", recorded, P("db/config/dev/dev.zip"), P("work"), {},
        [] { return true; }, Collect()));
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(FetchTest, AFailedDownloadIsNotedWithItsUrlAndGivesItsRoomBackAtOnce) {
    std::filesystem::create_directories(P("work"));
    std::string recorded;
    EXPECT_FALSE(FetchPackage(
        ManifestFor("missing.zip"), "dev", recorded, P("db/config/dev/dev.zip"), P("work"), {},
        [] { return false; }, Collect()));
    EXPECT_EQ(notes, std::vector<std::string>{server.Url("missing.zip") + ": HTTP 404 Not Found"});

    test::TScriptedResponse torn;
    torn.generatedLength = 1 << 20;
    torn.resetAfter = 300000;
    server.Script("/torn.zip", torn);
    EXPECT_FALSE(FetchPackage(
        ManifestFor("torn.zip"), "dev", recorded, P("db/config/dev/dev.zip"), P("work"), {},
        [] { return false; }, Collect()));
    EXPECT_EQ(notes.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_empty(P("work"))) << "the torn download's part file is gone";
}

TEST_F(FetchTest, AFolderForThePackageThatCannotBeMadeIsNamedWithItsOwnReason) {
    test::TScriptedResponse package;
    package.body = "PK";
    server.Script("/dev.zip", package);
    std::filesystem::create_directories(P("work"));
    fs::SetFaultHookForTesting(
        [](fs::TFsStep step, std::size_t) { return step == fs::TFsStep::MakeFolder ? EROFS : 0; });
    std::string recorded;
    const bool fetched = FetchPackage(
        ManifestFor("dev.zip"), "dev", recorded, P("db/config/dev/dev.zip"), P("work"), {},
        [] { return false; }, Collect());
    fs::SetFaultHookForTesting({});
    EXPECT_FALSE(fetched);
    EXPECT_EQ(notes, std::vector<std::string>{P("db/config/dev/dev.zip") +
                                              ": the download cannot be put here: Read-only file system"});
    EXPECT_TRUE(std::filesystem::is_empty(P("work")));
}
