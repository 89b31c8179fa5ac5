#include "fs/TreeOps.h"

#include "support/ChildProcess.h"
#include "support/TestFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>

using namespace kalmora;
using namespace kalmora::test;

namespace {

void Link(const std::string& text, const std::string& path) {
    ASSERT_EQ(::symlink(text.c_str(), path.c_str()), 0);
}

std::string LinkText(const std::string& path) {
    char buffer[4096];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

} // namespace

TEST(RemoveTree, RemovesLinksWithoutFollowingThemAndOpensUpReadOnlyFolders) {
    TTestFolder dir;
    const std::string outside = dir / "outside";
    MakeDir(outside);
    WriteFile(outside + "/keep.txt", "keep");

    // The child must be able to remove the tree's own folder from its parent.
    MakeDir(dir / "owned");
    const std::string tree = dir / "owned/tree";
    MakeDir(tree);
    MakeDir(tree + "/sub");
    WriteFile(tree + "/sub/.hidden", "h", 0400);
    WriteFile(tree + "/top.txt", "t", 0444);
    MakeDir(tree + "/locked");
    WriteFile(tree + "/locked/inner", "i");
    ::chmod((tree + "/locked").c_str(), 0500);
    MakeDir(tree + "/closed");
    WriteFile(tree + "/closed/inner", "i");
    ::chmod((tree + "/closed").c_str(), 0000);
    Link(outside, tree + "/link-to-dir");
    Link(outside + "/keep.txt", tree + "/sub/link-to-file");
    Link("/nonexistent/dangling", tree + "/dangling");

    // Run as the unprivileged account when we are root: root would pass the read-only folders anyway.
    GiveToChild(dir / "owned");
    EXPECT_EQ(RunInChild([&] { return fs::RemoveTree(tree) ? 0 : 1; }, true), 0);
    EXPECT_FALSE(Exists(tree));
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), "keep");
}

TEST(RemoveTree, RefusesWhatIsNoRealFolder) {
    TTestFolder dir;
    MakeDir(dir / "real");
    WriteFile(dir / "real/file", "x");
    Link(dir / "real", dir / "link");
    EXPECT_FALSE(fs::RemoveTree(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "real/file"), "x");
    EXPECT_TRUE(Exists(dir / "link"));
    EXPECT_FALSE(fs::RemoveTree(dir / "missing"));
    EXPECT_FALSE(fs::RemoveTree(dir / "real/file"));
    EXPECT_FALSE(fs::RemoveTree(""));
}

TEST(CopyTree, MergesOverwritesAndKeepsModesAndLinks) {
    TTestFolder dir;
    const std::string source = dir / "src", target = dir / "dst";
    MakeDir(source);
    MakeDir(source + "/bin", 0750);
    WriteFile(source + "/bin/tool", "#!/bin/sh\n", 0755);
    WriteFile(source + "/readme", "new readme", 0640);
    MakeDir(source + "/deep");
    MakeDir(source + "/deep/er");
    WriteFile(source + "/deep/er/data", std::string("a\0b", 3));
    Link("bin/tool", source + "/tool-link");
    Link("/nonexistent/target", source + "/dangling");

    MakeDir(target);
    WriteFile(target + "/readme", "old readme", 0600);
    WriteFile(target + "/local", "stays");
    Link("elsewhere", target + "/tool-link");

    fs::TCopyFailure failure;
    ASSERT_TRUE(fs::CopyTree(source, target, &failure)) << failure.Path << ": " << failure.Error;
    EXPECT_EQ(ReadFile(target + "/readme"), "new readme");
    EXPECT_EQ(ModeOf(target + "/readme"), 0640u);
    EXPECT_EQ(ReadFile(target + "/local"), "stays");
    EXPECT_EQ(ModeOf(target + "/bin"), 0750u);
    EXPECT_EQ(ModeOf(target + "/bin/tool"), 0755u);
    EXPECT_EQ(ReadFile(target + "/deep/er/data"), std::string("a\0b", 3));
    EXPECT_EQ(LinkText(target + "/tool-link"), "bin/tool");
    EXPECT_EQ(LinkText(target + "/dangling"), "/nonexistent/target");
    EXPECT_EQ(std::system(("test -z \"$(find '" + target + "' -name '.~kmtmp*')\"").c_str()), 0);
}

TEST(CopyTree, ReplacesFilesAtomicallySoOpenReadersKeepTheOldContent) {
    TTestFolder dir;
    MakeDir(dir / "src");
    MakeDir(dir / "dst");
    WriteFile(dir / "src/prog", "new program");
    WriteFile(dir / "dst/prog", "old program");
    int reader = ::open((dir / "dst/prog").c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(fs::CopyTree(dir / "src", dir / "dst"));
    // A copy in place would have truncated the file the reader holds.
    char buffer[64] = {};
    ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n > 0 ? n : 0)), "old program");
    EXPECT_EQ(ReadFile(dir / "dst/prog"), "new program");
}

TEST(CopyTree, CreatesAMissingTarget) {
    TTestFolder dir;
    MakeDir(dir / "src", 0700);
    WriteFile(dir / "src/f", "f");
    ASSERT_TRUE(fs::CopyTree(dir / "src", dir / "a/b/dst"));
    EXPECT_EQ(ReadFile(dir / "a/b/dst/f"), "f");
    EXPECT_EQ(ModeOf(dir / "a/b/dst"), 0700u);
}

TEST(CopyTree, NeverWritesThroughALinkWhereAFolderGoes) {
    TTestFolder dir;
    MakeDir(dir / "outside");
    MakeDir(dir / "src");
    MakeDir(dir / "src/etc");
    WriteFile(dir / "src/etc/passwd", "evil");
    MakeDir(dir / "dst");
    Link(dir / "outside", dir / "dst/etc");

    fs::TCopyFailure failure;
    EXPECT_FALSE(fs::CopyTree(dir / "src", dir / "dst", &failure));
    EXPECT_EQ(failure.Path, dir / "dst/etc");
    EXPECT_EQ(failure.Error, ENOTDIR);
    EXPECT_FALSE(Exists(dir / "outside/passwd"));
}

TEST(CopyTree, ReportsTheFileThatCannotBeReplaced) {
    TTestFolder dir;
    MakeDir(dir / "src");
    WriteFile(dir / "src/name", "file");
    MakeDir(dir / "dst");
    MakeDir(dir / "dst/name");
    WriteFile(dir / "dst/name/inner", "kept");

    fs::TCopyFailure failure;
    EXPECT_FALSE(fs::CopyTree(dir / "src", dir / "dst", &failure));
    EXPECT_EQ(failure.Path, dir / "dst/name");
    EXPECT_NE(failure.Error, 0);
    EXPECT_EQ(ReadFile(dir / "dst/name/inner"), "kept");
    EXPECT_EQ(std::system(("test -z \"$(find '" + dir.Path() + "/dst' -name '.~kmtmp*')\"").c_str()), 0);
}

TEST(CopyTree, RemovesTemporariesOfKilledCopiesFromTheFoldersItWritesTo) {
    TTestFolder dir;
    MakeDir(dir / "src");
    MakeDir(dir / "src/bin");
    WriteFile(dir / "src/bin/tool", "new");
    MakeDir(dir / "dst");
    MakeDir(dir / "dst/bin");
    MakeDir(dir / "dst/other");
    // A process that has ended: its pid stays free long enough for the test.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = ".~kmtmp." + std::to_string(gone) + ".0.tool";
    const std::string alive = ".~kmtmp." + std::to_string(::getppid()) + ".3.tool";
    WriteFile(dir / ("dst/" + dead), "left by a kill");
    WriteFile(dir / ("dst/bin/" + dead), "left by a kill");
    WriteFile(dir / ("dst/bin/" + alive), "being written");
    WriteFile(dir / "dst/bin/.~kmtmp.notapid.0.tool", "not ours");
    WriteFile(dir / ("dst/other/" + dead), "not copied into");

    ASSERT_TRUE(fs::CopyTree(dir / "src", dir / "dst"));
    EXPECT_FALSE(Exists(dir / ("dst/" + dead)));
    EXPECT_FALSE(Exists(dir / ("dst/bin/" + dead)));
    EXPECT_TRUE(Exists(dir / ("dst/bin/" + alive)));
    EXPECT_TRUE(Exists(dir / "dst/bin/.~kmtmp.notapid.0.tool"));
    EXPECT_TRUE(Exists(dir / ("dst/other/" + dead)));
    EXPECT_EQ(ReadFile(dir / "dst/bin/tool"), "new");
}
