#include "UtilBox/FileHelpers.h"

#include "support/ChildProcess.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sys/file.h>

using namespace kalmora;
using namespace kalmora::test;

namespace {

struct TTextCase {
    std::string Input, Expected;
};

void PrintTo(const TTextCase& c, std::ostream* out) {
    *out << '"' << c.Input << '"';
}

class AddTrailing : public ::testing::TestWithParam<TTextCase> {};
TEST_P(AddTrailing, AppendsOneSlashUnlessEmptyOrPresent) {
    EXPECT_EQ(AddTrailingBackslash(GetParam().Input), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Paths, AddTrailing,
                         ::testing::Values(TTextCase{"", ""}, TTextCase{"/srv/db", "/srv/db/"},
                                           TTextCase{"/srv/db/", "/srv/db/"}, TTextCase{"C:", "C:/"},
                                           TTextCase{"/", "/"}));

class StripTrailing : public ::testing::TestWithParam<TTextCase> {};
TEST_P(StripTrailing, RemovesOneSlashOnly) {
    EXPECT_EQ(StripTrailingBackslash(GetParam().Input), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Paths, StripTrailing,
                         ::testing::Values(TTextCase{"", ""}, TTextCase{"/a/", "/a"},
                                           TTextCase{"/a//", "/a/"}, TTextCase{"/a", "/a"},
                                           TTextCase{"/", ""}));

class UrlSegment : public ::testing::TestWithParam<TTextCase> {};
TEST_P(UrlSegment, IsThePartAfterTheLastSlash) {
    EXPECT_EQ(LastUrlSegment(GetParam().Input), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Urls, UrlSegment,
                         ::testing::Values(TTextCase{"http://127.0.0.1:8080/kmdata/kmconfig/configinfo.xml",
                                                     "configinfo.xml"},
                                           TTextCase{"configinfo.xml", "configinfo.xml"},
                                           TTextCase{"http://127.0.0.1/dir/", ""}, TTextCase{"", ""}));

TEST(TempDirectory, IsTmpdirOrTmpWithoutTrailingSlash) {
    TScopedEnvironment temporary("TMPDIR", "/var/tmp/");
    EXPECT_EQ(GetTempDirectory(), "/var/tmp");
    ::setenv("TMPDIR", "/scratch", 1);
    EXPECT_EQ(GetTempDirectory(), "/scratch");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(GetTempDirectory(), "/tmp");
}

// ---- work directories ----

std::string LastPart(std::string path) {
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    return path.substr(path.rfind('/') + 1);
}

std::string SelfExecutable() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// The first four work directory names a fresh run of this program makes in `base`.
std::vector<std::string> FirstNamesOfAFreshRun(const std::string& base, const std::string& outFile) {
    const std::string command = "KALMORA_TEST_WORKDIR_BASE='" + base + "' KALMORA_TEST_WORKDIR_OUT='" +
                                outFile + "' '" + SelfExecutable() +
                                "' --gtest_filter=WorkDirRun.MakeFourInBase >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> names;
    std::ifstream in(outFile);
    for (std::string line; std::getline(in, line);)
        names.push_back(line);
    return names;
}

} // namespace

// Helper run of the test program itself, started by the tests below as a fresh process.
TEST(WorkDirRun, MakeFourInBase) {
    const char* base = std::getenv("KALMORA_TEST_WORKDIR_BASE");
    const char* out = std::getenv("KALMORA_TEST_WORKDIR_OUT");
    if (!base || !out)
        GTEST_SKIP() << "only run by the work directory tests";
    std::ofstream file(out);
    for (int i = 0; i < 4; ++i)
        file << CreateTempWorkDir("~kmwork", base) << "\n";
}

TEST(WorkDir, HasTheNameFormAndModeAndDiffersBetweenCalls) {
    TTestFolder dir;
    const std::string first = CreateTempWorkDir("~kmXYZ", dir.Path());
    const std::string second = CreateTempWorkDir("~km", dir.Path() + "/");
    const std::regex form(std::regex_replace(dir.Path(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                          "/~km[0-8]{5}/");
    EXPECT_TRUE(std::regex_match(first, form)) << first;
    EXPECT_TRUE(std::regex_match(second, form)) << second;
    EXPECT_NE(first, second);
    EXPECT_EQ(ModeOf(first), 0700u);
    EXPECT_TRUE(IsExistingDirectory(second));
    EXPECT_EQ(CreateTempWorkDir("~", dir.Path()).substr(dir.Path().size() + 1, 1 + 5 + 1).size(), 7u);
}

TEST(WorkDir, WithAMissingBaseReturnsAPathBelowItAndCreatesNothing) {
    TTestFolder dir;
    const std::string path = CreateTempWorkDir("~km", dir / "missing");
    EXPECT_EQ(path.rfind(dir / "missing/~km", 0), 0u) << path;
    EXPECT_FALSE(Exists(dir / "missing"));
}

TEST(WorkDir, EveryRunMakesTheSameFirstName) {
    TTestFolder dir;
    MakeDir(dir / "one");
    MakeDir(dir / "two");
    auto one = FirstNamesOfAFreshRun(dir / "one", dir / "one.txt");
    auto two = FirstNamesOfAFreshRun(dir / "two", dir / "two.txt");
    ASSERT_EQ(one.size(), 4u);
    ASSERT_EQ(two.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(LastPart(one[i]), LastPart(two[i]));
}

TEST(WorkDir, SkipsLinksFilesAndForeignFoldersButUsesItsOwn) {
    TTestFolder dir;
    MakeDir(dir / "probe");
    auto names = FirstNamesOfAFreshRun(dir / "probe", dir / "probe.txt");
    ASSERT_EQ(names.size(), 4u);
    auto local = [&](size_t i) { return dir / ("shared/" + LastPart(names[i])); };

    MakeDir(dir / "shared", 01777);
    MakeDir(dir / "elsewhere");
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), local(0).c_str()), 0);
    WriteFile(local(1), "not a folder");
    MakeDir(local(2));
    const bool foreign = ::geteuid() == 0;
    if (foreign)
        GiveToChild(local(2));
    auto run = FirstNamesOfAFreshRun(dir / "shared", dir / "shared.txt");
    ASSERT_FALSE(run.empty());
    EXPECT_EQ(run[0], local(foreign ? 3 : 2) + "/");
    EXPECT_TRUE(IsExistingDirectory(local(3)) || !foreign);
    EXPECT_EQ(::access((dir / "elsewhere").c_str(), F_OK), 0);
    EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir.Path() + "/elsewhere')\"").c_str()), 0);

    // An own folder of the first name is used as it is, content included.
    TTestFolder again;
    MakeDir(again / LastPart(names[0]));
    WriteFile(again / (LastPart(names[0]) + "/left"), "x");
    auto reuse = FirstNamesOfAFreshRun(again.Path(), again / "out.txt");
    ASSERT_FALSE(reuse.empty());
    EXPECT_EQ(reuse[0], again / (LastPart(names[0]) + "/"));
    EXPECT_TRUE(Exists(again / (LastPart(names[0]) + "/left")));
}

// ---- deleting trees ----

TEST(DeleteTree, RemovesEverythingButNeverFollowsALink) {
    TTestFolder dir;
    MakeDir(dir / "outside");
    WriteFile(dir / "outside/keep", "keep", 0444);
    MakeDir(dir / "tree");
    WriteFile(dir / "tree/.hidden", "h", 0400);
    WriteFile(dir / "tree/readonly", "r", 0444);
    MakeDir(dir / "tree/a");
    MakeDir(dir / "tree/a/b");
    WriteFile(dir / "tree/a/b/c", "c");
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "tree/a/out").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside/keep").c_str(), (dir / "tree/keep-link").c_str()), 0);

    EXPECT_TRUE(DeleteDirectoryTree(dir / "tree/"));
    EXPECT_FALSE(Exists(dir / "tree"));
    EXPECT_EQ(ReadFile(dir / "outside/keep"), "keep");
    EXPECT_FALSE(DeleteDirectoryTree(dir / "tree"));
}

TEST(DeleteTree, AnEmptyPathIsAnAssertion) {
    try {
        DeleteDirectoryTree("");
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind("DelTree: Path is empty (UtilBox, Zeile ", 0), 0u) << e.Message();
    }
}

TEST(DeleteTree, WhatCannotGoStaysWithItsFoldersAndEverythingElseGoes) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make an entry the deleting user cannot remove";
    TTestFolder dir;
    MakeDir(dir / "owned");
    MakeDir(dir / "owned/tree");
    WriteFile(dir / "owned/tree/one", "1");
    MakeDir(dir / "owned/tree/sub");
    WriteFile(dir / "owned/tree/sub/two", "2");
    MakeDir(dir / "owned/tree/sub/held");
    GiveToChild(dir / "owned");
    // Stays root's: the unprivileged child can neither open it up nor empty it.
    WriteFile(dir / "owned/tree/sub/held/locked", "l");
    ::chown((dir / "owned/tree/sub/held").c_str(), 0, 0);
    ::chmod((dir / "owned/tree/sub/held").c_str(), 0755);

    EXPECT_EQ(RunInChild([&] { return DeleteDirectoryTree(dir / "owned/tree") ? 1 : 0; }, true), 0);
    EXPECT_TRUE(Exists(dir / "owned/tree/sub/held/locked"));
    EXPECT_FALSE(Exists(dir / "owned/tree/one"));
    EXPECT_FALSE(Exists(dir / "owned/tree/sub/two"));
}

// ---- existence ----

struct TExistCase {
    const char* Name;
    bool IsDirectory, IsFile;
};

void PrintTo(const TExistCase& c, std::ostream* out) {
    *out << c.Name;
}

class Existence : public ::testing::TestWithParam<TExistCase> {};

TEST_P(Existence, TellsFoldersFromFiles) {
    TTestFolder dir;
    MakeDir(dir / "dir");
    WriteFile(dir / "file", "f");
    ::symlink((dir / "dir").c_str(), (dir / "dirlink").c_str());
    ::symlink((dir / "file").c_str(), (dir / "filelink").c_str());
    ::symlink((dir / "nothing").c_str(), (dir / "dangling").c_str());
    const std::string path = std::string(GetParam().Name).empty() ? "" : dir / GetParam().Name;
    EXPECT_EQ(IsExistingDirectory(path), GetParam().IsDirectory);
    EXPECT_EQ(IsExistingFile(path), GetParam().IsFile);
}

INSTANTIATE_TEST_SUITE_P(Entries, Existence,
                         ::testing::Values(TExistCase{"dir", true, false}, TExistCase{"file", false, true},
                                           TExistCase{"dirlink", true, false},
                                           TExistCase{"filelink", false, true},
                                           TExistCase{"dangling", false, false},
                                           TExistCase{"absent", false, false}, TExistCase{"", false, false}),
                         [](const auto& info) {
                             return info.index == 6 ? std::string("Empty") : info.param.Name;
                         });

// ---- moving and copying ----

TEST(MoveFile, WithoutReplaceNeverReplacesAFileOrAFolder) {
    TTestFolder dir;
    WriteFile(dir / "src", "source");
    WriteFile(dir / "dst", "target");
    EXPECT_FALSE(MoveFileOrCopy(dir / "src", dir / "dst", false));
    EXPECT_EQ(ReadFile(dir / "src"), "source");
    EXPECT_EQ(ReadFile(dir / "dst"), "target");

    MakeDir(dir / "srcdir");
    WriteFile(dir / "srcdir/inner", "i");
    MakeDir(dir / "emptydir");
    EXPECT_FALSE(MoveFileOrCopy(dir / "srcdir", dir / "emptydir", false));
    EXPECT_EQ(ReadFile(dir / "srcdir/inner"), "i");
    EXPECT_TRUE(IsExistingDirectory(dir / "emptydir"));

    EXPECT_TRUE(MoveFileOrCopy(dir / "srcdir", dir / "moved", false));
    EXPECT_EQ(ReadFile(dir / "moved/inner"), "i");
}

TEST(MoveFile, WithReplaceReplacesTheTarget) {
    TTestFolder dir;
    WriteFile(dir / "src", "source");
    WriteFile(dir / "dst", "target");
    EXPECT_TRUE(MoveFileOrCopy(dir / "src", dir / "dst", true));
    EXPECT_FALSE(Exists(dir / "src"));
    EXPECT_EQ(ReadFile(dir / "dst"), "source");
    EXPECT_FALSE(MoveFileOrCopy(dir / "absent", dir / "dst", true));
}

TEST(MoveFile, ToAnotherFileSystemCopiesAndDeletes) {
    TTestFolder dir;
    struct stat here {
    }, shm{};
    if (::stat(dir.Path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable file system";
    const std::string target = "/dev/shm/kmtest-move-" + std::to_string(::getpid());
    WriteFile(dir / "src", "across", 0640);
    EXPECT_TRUE(MoveFileOrCopy(dir / "src", target, false));
    EXPECT_FALSE(Exists(dir / "src"));
    EXPECT_EQ(ReadFile(target), "across");
    EXPECT_EQ(ModeOf(target), 0640u);
    // A folder moves only within one file system.
    MakeDir(dir / "folder");
    EXPECT_FALSE(MoveFileOrCopy(dir / "folder", target + ".dir", false));
    EXPECT_TRUE(IsExistingDirectory(dir / "folder"));
    ::unlink(target.c_str());
}

TEST(CopyFile, IntoAFolderUnderItsOwnNameAndOnlyReplacingWhenAsked) {
    TTestFolder dir;
    WriteFile(dir / "tool.sh", "v2", 0755);
    MakeDir(dir / "bin");
    EXPECT_TRUE(CopyFileTo(dir / "tool.sh", dir / "bin", false));
    EXPECT_EQ(ReadFile(dir / "bin/tool.sh"), "v2");
    EXPECT_EQ(ModeOf(dir / "bin/tool.sh"), 0755u);

    WriteFile(dir / "bin/tool.sh", "v1");
    EXPECT_FALSE(CopyFileTo(dir / "tool.sh", dir / "bin/", false));
    EXPECT_EQ(ReadFile(dir / "bin/tool.sh"), "v1");
    EXPECT_TRUE(CopyFileTo(dir / "tool.sh", dir / "bin/tool.sh", true));
    EXPECT_EQ(ReadFile(dir / "bin/tool.sh"), "v2");
    EXPECT_FALSE(CopyFileTo(dir / "bin", dir / "copy", true));
    EXPECT_FALSE(CopyFileTo(dir / "absent", dir / "copy", true));
    EXPECT_FALSE(Exists(dir / "copy"));
}

// ---- creating folders ----

TEST(CreatePath, MakesEveryMissingParent) {
    TTestFolder dir;
    EXPECT_TRUE(CreateDirectoryPath(dir / "a/b/c/"));
    EXPECT_TRUE(IsExistingDirectory(dir / "a/b/c"));
    EXPECT_TRUE(CreateDirectoryPath(dir / "a/b/c"));
    EXPECT_TRUE(CreateDirectoryPath("/"));
    WriteFile(dir / "file", "f");
    EXPECT_FALSE(CreateDirectoryPath(dir / "file"));
    EXPECT_FALSE(CreateDirectoryPath(dir / "file/below"));
    try {
        CreateDirectoryPath("");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to create directory");
    }
}

// ---- reading files ----

TEST(ReadWholeFile, GivesEveryByte) {
    TTestFolder dir;
    const std::string content("bin\0ary\r\n\xff", 10);
    WriteFile(dir / "data", content);
    EXPECT_EQ(FileToStr(dir / "data"), content);
    WriteFile(dir / "empty", "");
    EXPECT_EQ(FileToStr(dir / "empty"), "");
}

TEST(ReadWholeFile, AMissingFileRaisesTheOpenErrorWithTheFullName) {
    TTestFolder dir;
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    try {
        FileToStr("sub/../missing.txt");
        std::filesystem::current_path(cwd);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        std::filesystem::current_path(cwd);
        EXPECT_EQ(e.Message(), "Datei " + (dir / "missing.txt") +
                                   " kann nicht geöffnet werden. No such file or directory");
        EXPECT_EQ(e.ErrorCode, ENOENT);
    }
    EXPECT_THROW(FileToStr(dir.Path()), EFOpenError);
}

TEST(ReadWholeFile, AFileAnotherProcessHoldsCannotBeOpened) {
    TTestFolder dir;
    WriteFile(dir / "held", "content");
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        // Only the parent may hold the release pipe's write end, or the child never sees its end.
        ::close(release[1]);
        int fd = ::open((dir / "held").c_str(), O_WRONLY);
        char byte = ::flock(fd, LOCK_EX) == 0 ? 1 : 0;
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    EXPECT_THROW(FileToStr(dir / "held"), EFOpenError);
    ::close(release[1]);
    ::waitpid(pid, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0]})
        ::close(fd);
    EXPECT_EQ(FileToStr(dir / "held"), "content");
}

TEST(ReadWholeFile, RefusesFilesOfTwoGigabytesAndMore) {
    TTestFolder dir;
    int fd = ::open((dir / "huge").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    // Sparse: no disk space is used.
    ASSERT_EQ(::ftruncate(fd, 2147483648LL), 0);
    ::close(fd);
    try {
        FileToStr(dir / "huge");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "FileToStr: File too big.");
    }
}
