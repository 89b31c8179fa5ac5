#include "fs/FileSystem.h"

#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalmora;
using namespace kalmora::test;

TEST(RenameWrappers, NoReplaceRefusesEveryExistingTarget) {
    TTestFolder dir;
    WriteFile(dir / "a", "A");
    WriteFile(dir / "b", "B");
    ::mkdir((dir / "empty").c_str(), 0755);

    EXPECT_EQ(fs::RenameNoReplace(dir / "a", dir / "b"), EEXIST);
    // Plain rename would have replaced the empty folder.
    EXPECT_EQ(fs::RenameNoReplace(dir / "a", dir / "empty"), EEXIST);
    EXPECT_EQ(ReadFile(dir / "a"), "A");
    EXPECT_EQ(ReadFile(dir / "b"), "B");

    EXPECT_EQ(fs::RenameNoReplace(dir / "a", dir / "c"), 0);
    EXPECT_FALSE(Exists(dir / "a"));
    EXPECT_EQ(ReadFile(dir / "c"), "A");
}

TEST(RenameWrappers, ExchangeSwapsBothEntries) {
    TTestFolder dir;
    WriteFile(dir / "a", "A");
    ::mkdir((dir / "d").c_str(), 0755);
    ASSERT_EQ(fs::RenameExchange(dir / "a", dir / "d"), 0);
    EXPECT_EQ(ReadFile(dir / "d"), "A");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "a").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(fs::RenameExchange(dir / "a", dir / "missing"), ENOENT);
}

TEST(PathParts, ParentAndBaseName) {
    EXPECT_EQ(fs::ParentDirectory("/a/b/c"), "/a/b");
    EXPECT_EQ(fs::ParentDirectory("/a"), "/");
    EXPECT_EQ(fs::ParentDirectory("a"), ".");
    EXPECT_EQ(fs::BaseName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(fs::BaseName("c.txt"), "c.txt");
    EXPECT_EQ(fs::SyncDirectory("/nonexistent-folder-of-kalmora"), ENOENT);
}

TEST(CopyFileAtomically, WithoutReplaceLeavesAnExistingTargetAlone) {
    TTestFolder dir;
    WriteFile(dir / "src", "new", 0750);
    WriteFile(dir / "dst", "old", 0600);
    EXPECT_EQ(fs::CopyFileAtomically(dir / "src", dir / "dst", false), EEXIST);
    EXPECT_EQ(ReadFile(dir / "dst"), "old");

    EXPECT_EQ(fs::CopyFileAtomically(dir / "src", dir / "dst", true), 0);
    EXPECT_EQ(ReadFile(dir / "dst"), "new");
    EXPECT_EQ(ModeOf(dir / "dst"), 0750u);

    EXPECT_EQ(fs::CopyFileAtomically(dir.Path(), dir / "x", true), EISDIR);
    // No temporary file is left behind by either outcome.
    int entries = 0;
    for (auto name : {"src", "dst"})
        entries += Exists(dir / name);
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(std::system(("test $(ls -A '" + dir.Path() + "' | wc -l) -eq 2").c_str()), 0);
}
