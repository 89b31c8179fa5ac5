#include "kmConfigUpdaterThread/PackageInstall.h"

#include "UpdaterProcess.h"
#include "kmConfigUpdaterThread/FolderReplace.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kalmora;
using namespace kalmora::test;
using Tree = std::map<std::string, std::string>;

namespace {

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalmora-folders-XXXXXX";
        root = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root); }
    std::string P(const std::string& rel) const { return root + "/" + rel; }
    std::string root;
};

} // namespace

TEST_F(FolderTest, ReplaceFolderSwapsInTheNewContent) {
    WriteTree(P("dev"), {{"old.ini", "old"}, {"sub/a", "a"}});
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    ASSERT_TRUE(ReplaceFolder(P("work/dev"), P("dev/")));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    // The old content waits where the new folder was, for the caller to delete.
    EXPECT_EQ(ReadTree(P("work/dev")), (Tree{{"old.ini", "old"}, {"sub/a", "a"}}));
}

TEST_F(FolderTest, ReplaceFolderCreatesAMissingTarget) {
    WriteTree(P("work/dev"), {{"new.ini", "new"}});
    ASSERT_TRUE(ReplaceFolder(P("work/dev"), P("dev")));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"new.ini", "new"}}));
    EXPECT_FALSE(fs::exists(P("work/dev")));
}

TEST_F(FolderTest, ReplaceFolderWithoutNewFolderChangesNothing) {
    WriteTree(P("dev"), {{"old.ini", "old"}});
    EXPECT_FALSE(ReplaceFolder(P("work/dev"), P("dev")));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
}

TEST_F(FolderTest, RecoveryRestoresOrDropsTheSetAsideCopy) {
    WriteTree(P("dev.~old"), {{"old.ini", "old"}});
    RecoverReplacedFolder(P("dev/"));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
    EXPECT_FALSE(fs::exists(P("dev.~old")));

    WriteTree(P("dev.~old"), {{"older.ini", "older"}});
    RecoverReplacedFolder(P("dev"));
    EXPECT_EQ(ReadTree(P("dev")), (Tree{{"old.ini", "old"}}));
    EXPECT_FALSE(fs::exists(P("dev.~old")));
}

TEST_F(FolderTest, ShellFileOperationArgumentChecks) {
    WriteTree(P("a"), {{"f", "1"}});
    EXPECT_FALSE(ShellFileOperation("", P("b"), FO_COPY, false));
    EXPECT_FALSE(ShellFileOperation(P("a"), "", FO_COPY, false));
    EXPECT_FALSE(ShellFileOperation(P("A"), P("a"), FO_COPY, false)); // equal ignoring case
    EXPECT_FALSE(fs::exists(P("b")));
    EXPECT_TRUE(ShellFileOperation(P("a"), "", FO_DELETE, false)); // an empty To is fine for a delete
    EXPECT_FALSE(fs::exists(P("a")));
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
    EXPECT_TRUE(fs::exists(P("install/bin/lib/n.so")));
}

TEST_F(FolderTest, ShellMoveRenameAndDeleteContents) {
    WriteTree(P("a"), {{"f", "1"}});
    fs::create_directories(P("dest"));
    ASSERT_TRUE(ShellFileOperation(P("a"), P("dest"), FO_MOVE, false));
    EXPECT_EQ(ReadTree(P("dest")), (Tree{{"a/f", "1"}}));
    EXPECT_FALSE(fs::exists(P("a")));
    WriteTree(P("x"), {{"g", "2"}});
    EXPECT_FALSE(ShellFileOperation(P("x"), P("dest"), FO_RENAME, false)); // never replaces
    ASSERT_TRUE(ShellFileOperation(P("x"), P("y"), FO_RENAME, false));
    EXPECT_EQ(ReadTree(P("y")), (Tree{{"g", "2"}}));
    ASSERT_TRUE(ShellFileOperation(P("dest/*"), "", FO_DELETE, false));
    EXPECT_TRUE(fs::exists(P("dest")));
    EXPECT_TRUE(fs::is_empty(P("dest")));
}

TEST_F(FolderTest, StaleExtractionDirsAreRemoved) {
    WriteTree(P("config/~km01234"), {{"dev/x", "left over"}});
    WriteTree(P("config/dev"), {{"keep", "k"}});
    WriteTree(P("config/~kmnotone"), {{"keep", "k"}});
    RemoveStaleExtractionDirs(P("config/"));
    EXPECT_FALSE(fs::exists(P("config/~km01234")));
    EXPECT_TRUE(fs::exists(P("config/dev/keep")));
    EXPECT_TRUE(fs::exists(P("config/~kmnotone/keep")));
}
