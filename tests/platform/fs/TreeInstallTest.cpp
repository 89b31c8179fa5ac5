#include "fs/TreeInstall.h"

#include "fs/FaultSeam.h"
#include "fs/FileSystem.h"
#include "support/TestFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kalmora;
using namespace kalmora::test;
namespace sfs = std::filesystem;

namespace {

// Every entry below a folder: its type and permission bits, and a file's content or a link's text.
using TSnapshot = std::map<std::string, std::string>;

TSnapshot Snapshot(const std::string& root) {
    TSnapshot snapshot;
    for (auto it = sfs::recursive_directory_iterator(root); it != sfs::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().string();
        const std::string relative = path.substr(root.size() + 1);
        std::string& shown = snapshot[relative];
        shown = std::to_string(ModeOf(path)) + " ";
        if (it->is_symlink())
            shown += "link " + sfs::read_symlink(it->path()).string();
        else if (it->is_directory())
            shown += "folder";
        else
            shown += ReadFile(path);
    }
    return snapshot;
}

class TreeInstall : public ::testing::Test {
protected:
    void SetUp() override {
        MakeOldTree();
        Old = Snapshot(target);
        MakeDir(source);
        MakeDir(source + "/bin");
        WriteFile(source + "/bin/tool", "new tool, longer than the old one", 0640);
        WriteFile(source + "/readme", "new readme", 0600);
        WriteFile(source + "/current", "a file in place of the link");
        MakeDir(source + "/data");
        WriteFile(source + "/data/a.cfg", "new a");
        WriteFile(source + "/data/b.cfg", "new b");
        MakeDir(source + "/lib");
        MakeDir(source + "/lib/plugins");
        WriteFile(source + "/lib/plugins/p.so", std::string(100000, 'p'));
        // Only "readme" brings a mode of its own; the rest follow the rules for entries without one.
        ASSERT_TRUE(fs::InstallTree(source, target, journal, OwnModes));
        New = Snapshot(target);
        RestoreOld();
    }
    void TearDown() override { fs::SetFaultHookForTesting({}); }

    void MakeOldTree() {
        MakeDir(target);
        MakeDir(target + "/bin");
        WriteFile(target + "/bin/tool", "old tool", 0755);
        WriteFile(target + "/bin/keep", "stays", 0600);
        WriteFile(target + "/readme", "old readme");
        ASSERT_EQ(::symlink("bin/tool", (target + "/current").c_str()), 0);
        MakeDir(target + "/data", 0750);
        WriteFile(target + "/data/a.cfg", "old a");
    }
    void RestoreOld() {
        RemoveAll(target);
        MakeOldTree();
        ASSERT_EQ(Snapshot(target), Old);
    }

    // Old or new exactly, with nothing of the install's own left anywhere.
    void ExpectOldOrNew(const std::string& round) {
        const TSnapshot now = Snapshot(target);
        EXPECT_TRUE(now == Old || now == New) << round << ": a mixed tree of " << now.size() << " entries";
        EXPECT_FALSE(Exists(journal)) << round;
        for (const auto& folder : {Folder.Path(), target, target + "/bin", target + "/data"})
            for (const auto& name : FileNamesIn(folder))
                EXPECT_EQ(name.find(".~km"), std::string::npos) << round << ": " << folder << "/" << name;
    }

    static bool OwnModes(const std::string& path) { return path == "readme"; }

    TTestFolder Folder;
    const std::string source = Folder / "package";
    const std::string target = Folder / "install";
    const std::string journal = Folder / ".journal";
    TSnapshot Old, New;
};

// The Nth call of one step fails; 0 counts the calls of a run without faults.
struct TFault {
    fs::TFsStep step;
    int error;
    const char* name;
};

void PrintTo(const TFault& fault, std::ostream* out) {
    *out << fault.name;
}

class TreeInstallFault : public TreeInstall, public ::testing::WithParamInterface<TFault> {};

} // namespace

TEST_F(TreeInstall, ModesFollowTheReplacedFileOrTheNewEntryRulesUnlessTheEntryBringsItsOwn) {
    const mode_t umask = fs::ProcessUmask();
    ASSERT_TRUE(fs::InstallTree(source, target, journal, OwnModes));
    EXPECT_EQ(Snapshot(target), New);
    EXPECT_EQ(ModeOf(target + "/bin/tool"), 0755u) << "the replaced program stays executable";
    EXPECT_EQ(ModeOf(target + "/readme"), 0600u) << "the entry's own mode";
    EXPECT_EQ(ModeOf(target + "/data/b.cfg"), 0644u & ~umask);
    EXPECT_EQ(ModeOf(target + "/lib"), 0755u & ~umask);
    EXPECT_EQ(ModeOf(target + "/lib/plugins/p.so"), 0644u & ~umask);
    EXPECT_EQ(ModeOf(target + "/data"), 0750u) << "a merged folder keeps its mode";
    EXPECT_EQ(ReadFile(target + "/bin/keep"), "stays");
    EXPECT_FALSE(sfs::is_symlink(target + "/current")) << "the link itself was replaced";
    ExpectOldOrNew("clean run");
}

TEST_F(TreeInstall, AFolderIsNeverReplacedByAFileNorALinkFollowed) {
    const std::string outside = Folder / "outside";
    MakeDir(outside);
    RemoveAll(target + "/data");
    ASSERT_EQ(::symlink(outside.c_str(), (target + "/data").c_str()), 0);
    const TSnapshot linked = Snapshot(target);
    fs::TCopyFailure failure;
    EXPECT_FALSE(fs::InstallTree(source, target, journal, OwnModes, &failure));
    EXPECT_EQ(failure.Path, target + "/data");
    EXPECT_EQ(failure.Error, ENOTDIR);
    EXPECT_EQ(Snapshot(target), linked);
    EXPECT_TRUE(sfs::is_empty(outside));

    RemoveAll(target + "/data");
    RemoveAll(source + "/data");
    MakeDir(target + "/data");
    WriteFile(source + "/data", "a file where a folder is");
    const TSnapshot before = Snapshot(target);
    EXPECT_FALSE(fs::InstallTree(source, target, journal, OwnModes, &failure));
    EXPECT_EQ(failure.Error, EISDIR);
    EXPECT_EQ(Snapshot(target), before);
}

// A failure at every call of one step: the run that fails leaves the old tree, and only when putting it back
// failed too does the next start finish the journal, to the old or the new tree.
TEST_P(TreeInstallFault, AtEveryCallLeavesTheOldTreeOrTheNextStartFinishesIt) {
    const TFault fault = GetParam();
    int nth = 1;
    for (;; ++nth) {
        RestoreOld();
        int calls = 0;
        fs::SetFaultHookForTesting([&](fs::TFsStep step, std::size_t) {
            return step == fault.step && ++calls == nth ? fault.error : 0;
        });
        fs::TCopyFailure failure;
        const bool installed = fs::InstallTree(source, target, journal, OwnModes, &failure);
        fs::SetFaultHookForTesting({});
        const std::string round = std::string(fault.name) + " #" + std::to_string(nth);
        if (calls < nth) { // no call left to fail: the run was a clean one
            EXPECT_TRUE(installed) << round;
            EXPECT_EQ(Snapshot(target), New) << round;
            break;
        }
        if (!installed) {
            EXPECT_EQ(failure.Error, fault.error) << round << " " << failure.Path;
            if (!Exists(journal)) {
                EXPECT_EQ(Snapshot(target), Old) << round << ": a failed run leaves the old tree";
            }
        }
        EXPECT_TRUE(fs::FinishInterruptedInstall(journal)) << round;
        ExpectOldOrNew(round);
    }
    EXPECT_GT(nth, 1) << "no call was made to fail";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, TreeInstallFault,
    ::testing::Values(TFault{fs::TFsStep::Write, EIO, "write"}, TFault{fs::TFsStep::Read, EIO, "read"},
                      TFault{fs::TFsStep::Sync, EIO, "fsync"}, TFault{fs::TFsStep::Rename, EROFS, "rename"},
                      TFault{fs::TFsStep::Link, EIO, "link"},
                      TFault{fs::TFsStep::MakeFolder, ENOSPC, "mkdir"},
                      TFault{fs::TFsStep::Remove, EIO, "unlink"}, TFault{fs::TFsStep::List, EIO, "readdir"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeInstall, AFullDiskAfterAnyNumberOfBytesLeavesTheOldTree) {
    for (std::size_t room = 0;; room += 4096) {
        RestoreOld();
        std::size_t written = 0;
        bool full = false;
        fs::SetFaultHookForTesting([&](fs::TFsStep step, std::size_t bytes) {
            if (step != fs::TFsStep::Write)
                return 0;
            full = full || written + bytes > room;
            written += bytes;
            return full ? ENOSPC : 0;
        });
        fs::TCopyFailure failure;
        const bool installed = fs::InstallTree(source, target, journal, OwnModes, &failure);
        fs::SetFaultHookForTesting({});
        if (!full) {
            EXPECT_TRUE(installed);
            break;
        }
        EXPECT_FALSE(installed) << room;
        EXPECT_EQ(failure.Error, ENOSPC);
        EXPECT_EQ(Snapshot(target), Old) << room << " bytes of room";
        ExpectOldOrNew(std::to_string(room) + " bytes of room");
    }
}

// The process is killed before each step in turn; the next start finishes the journal.
TEST_F(TreeInstall, AKillBetweenAnyTwoStepsIsFinishedByTheNextStart) {
    int sawOld = 0, sawNew = 0;
    for (int step = 1;; ++step) {
        RestoreOld();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int calls = 0;
            fs::SetFaultHookForTesting([&](fs::TFsStep, std::size_t) {
                if (++calls == step)
                    ::raise(SIGKILL);
                return 0;
            });
            ::_exit(fs::InstallTree(source, target, journal, OwnModes) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const std::string round = "killed before step " + std::to_string(step);
        ASSERT_TRUE(fs::FinishInterruptedInstall(journal)) << round;
        ExpectOldOrNew(round);
        const TSnapshot now = Snapshot(target);
        sawOld += now == Old;
        sawNew += now == New;
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_EQ(now, New);
            break;
        }
    }
    EXPECT_GT(sawOld, 1);
    EXPECT_GT(sawNew, 1);
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}
