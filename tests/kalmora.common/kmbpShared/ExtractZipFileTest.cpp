// ExtractZipFile as package installation calls it: whole archives, passwords, odd files, and the archive
// never left open.

#include "kmbpShared/ExtractZipFile.h"

#include "ZipTestBuilder.h"
#include "zip/ZipErrors.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class ExtractZipFileTest : public ::testing::Test {
protected:
    std::string Archive() const { return FTemp / "package.zip"; }
    std::string Target() const { return FTemp / "target"; }

    void MakeEncrypted() {
        if (!HaveTool("zip"))
            GTEST_SKIP() << "zip is not installed";
        std::string src = FTemp / "src";
        std::filesystem::create_directories(src + "/dev/empty");
        std::filesystem::create_directories(src + "/dev/sub");
        WriteFileBytes(src + "/dev/sub/geraet.xml", "<geraet/>");
        WriteFileBytes(src + "/dev/liste.txt", "eins\nzwei\n");
        ASSERT_EQ(RunShell("cd '" + src + "' && zip -qr -P geheim '" + Archive() + "' dev"), 0);
    }

    TTempFolder FTemp;
};

class PasswordGivenTest : public ExtractZipFileTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(PasswordGivenTest, UnencryptedArchiveExtractsCompletely) {
    TZipTestBuilder b;
    b.AddFolder("dev/").AddFile("dev/a/b/c.txt", "c").AddFile("dev/liste.txt", "liste");
    WriteFileBytes(Archive(), b.Build());
    ExtractZipFile(Archive(), Target() + "/", GetParam());
    EXPECT_THAT(ListTree(Target()),
                ElementsAre("dev/", "dev/a/", "dev/a/b/", "dev/a/b/c.txt", "dev/liste.txt"));
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/a/b/c.txt"), "c");
}

INSTANTIATE_TEST_SUITE_P(Passwords, PasswordGivenTest, ::testing::Values("", "geheim"));

TEST_F(ExtractZipFileTest, EncryptedArchiveWithTheRightPassword) {
    MakeEncrypted();
    ExtractZipFile(Archive(), Target(), "geheim");
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/sub/geraet.xml"), "<geraet/>");
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/liste.txt"), "eins\nzwei\n");
}

class WrongPasswordTest : public ExtractZipFileTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(WrongPasswordTest, LeavesOnlyFoldersAndRaisesNothing) {
    MakeEncrypted();
    ASSERT_NO_THROW(ExtractZipFile(Archive(), Target(), GetParam()));
    EXPECT_THAT(ListTree(Target()), ElementsAre("dev/", "dev/empty/", "dev/sub/"));
}

INSTANTIATE_TEST_SUITE_P(Passwords, WrongPasswordTest, ::testing::Values("", "falsch"));

TEST_F(ExtractZipFileTest, ZeroByteArchiveBecomesAnEmptyArchive) {
    WriteFileBytes(Archive(), "");
    ExtractZipFile(Archive(), Target(), "");
    EXPECT_THAT(ListTree(Target()), IsEmpty());
    EXPECT_EQ(ReadFileBytes(Archive()), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST_F(ExtractZipFileTest, TextFileNamedZipIsUnhandled) {
    WriteFileBytes(Archive(), "Dies ist keine ZIP-Datei.\n");
    try {
        ExtractZipFile(Archive(), Target(), "");
        FAIL() << "no exception";
    } catch (const EAbUnhandledType& e) {
        EXPECT_EQ(e.Message(), "Unhandled Archive Type");
    }
    EXPECT_EQ(ReadFileBytes(Archive()), "Dies ist keine ZIP-Datei.\n");
}

TEST_F(ExtractZipFileTest, TargetThatCannotBeCreatedIsReportedAsMissingDirectory) {
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile("a.txt", "a").Build());
    WriteFileBytes(FTemp / "file", "in the way");
    try {
        ExtractZipFile(Archive(), FTemp / "file/target", "");
        FAIL() << "no exception";
    } catch (const EAbNoSuchDirectory& e) {
        EXPECT_EQ(e.Message(), "Directory does not exist");
    }
}

TEST_F(ExtractZipFileTest, ParentFolderFailureRaisesInOutError) {
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile("dev", "a file").AddFile("dev/x.txt", "x").Build());
    EXPECT_THROW(ExtractZipFile(Archive(), Target(), ""), EInOutError);
}

TEST_F(ExtractZipFileTest, MissingArchiveRaisesInOutError) {
    EXPECT_THROW(ExtractZipFile(FTemp / "absent.zip", Target(), ""), EInOutError);
}

TEST_F(ExtractZipFileTest, ArchiveIsClosedAfterReturnAndAfterRaise) {
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile("a.txt", "a").AddFile("a.txt/b", "b").Build());
    size_t before = OpenDescriptors();
    EXPECT_THROW(ExtractZipFile(Archive(), Target(), ""), EInOutError);
    EXPECT_EQ(OpenDescriptors(), before);
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile("a.txt", "a").Build());
    ExtractZipFile(Archive(), Target(), "");
    EXPECT_EQ(OpenDescriptors(), before);
    WriteFileBytes(Archive(), "not an archive");
    EXPECT_THROW(ExtractZipFile(Archive(), Target(), ""), EAbUnhandledType);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ExtractZipFileTest, CorruptEntryIsSimplyAbsent) {
    TTestEntry bad;
    bad.name = "dev/bad.txt";
    bad.data = "data";
    bad.crc = 1;
    WriteFileBytes(Archive(), TZipTestBuilder().Add(bad).AddFile("dev/good.txt", "good").Build());
    ExtractZipFile(Archive(), Target(), "");
    EXPECT_THAT(ListTree(Target()), ElementsAre("dev/", "dev/good.txt"));
}

} // namespace
} // namespace kalmora::test
