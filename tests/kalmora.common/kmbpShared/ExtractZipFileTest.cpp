// ExtractZipFile as package installation calls it: whole archives, passwords, odd files, and the archive
// never left open.

#include "kmbpShared/ExtractZipFile.h"

#include "ZipTestBuilder.h"
#include "zip/ZipErrors.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalmora::test {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

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

    TTestFolder FTemp;
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

TEST_P(WrongPasswordTest, LeavesOnlyFoldersAndListsEveryEncryptedFile) {
    MakeEncrypted();
    std::vector<TZipEntryFailure> failures;
    ASSERT_NO_THROW(failures = ExtractZipFile(Archive(), Target(), GetParam()));
    EXPECT_THAT(ListTree(Target()), ElementsAre("dev/", "dev/empty/", "dev/sub/"));
    auto invalidPassword =
        Field(&TZipEntryFailure::Reason, "EAbZipInvalidPassword: Cannot extract file - invalid password");
    EXPECT_THAT(failures, UnorderedElementsAre(
                              AllOf(Field(&TZipEntryFailure::Entry, "dev/sub/geraet.xml"), invalidPassword),
                              AllOf(Field(&TZipEntryFailure::Entry, "dev/liste.txt"), invalidPassword)));
}

TEST_F(ExtractZipFileTest, EncryptedFileWithoutFolderEntriesStillGetsItsFolders) {
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    std::string src = FTemp / "src";
    std::filesystem::create_directories(src + "/dev/a/b");
    WriteFileBytes(src + "/dev/a/b/c.txt", "c");
    // -D: no folder entries, so only the file entry's own work can make the folders.
    ASSERT_EQ(RunShell("cd '" + src + "' && zip -qrD -P geheim '" + Archive() + "' dev"), 0);
    auto failures = ExtractZipFile(Archive(), Target(), "falsch");
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_THAT(ListTree(Target()), ElementsAre("dev/", "dev/a/", "dev/a/b/"));
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

TEST_F(ExtractZipFileTest, ArchiveThatCannotBeOpenedLeavesNoTargetFolder) {
    WriteFileBytes(Archive(), "kein Archiv");
    EXPECT_THROW(ExtractZipFile(Archive(), FTemp / "neu/tief/target", ""), EAbUnhandledType);
    EXPECT_FALSE(std::filesystem::exists(FTemp / "neu"));
    // A target that was there before stays.
    std::filesystem::create_directories(Target());
    EXPECT_THROW(ExtractZipFile(FTemp / "absent.zip", Target() + "/sub", ""), EInOutError);
    EXPECT_TRUE(std::filesystem::is_directory(Target()));
    EXPECT_FALSE(std::filesystem::exists(Target() + "/sub"));
}

// Every kind of entry failure reaches the caller's list, named and with the reason; the others are extracted.
struct TFailingEntry {
    std::string label;
    TTestEntry entry;
    std::string reason; // the start of the reason
    friend void PrintTo(const TFailingEntry& f, std::ostream* os) { *os << f.label; }
};

class FailedEntryTest : public ExtractZipFileTest, public ::testing::WithParamInterface<TFailingEntry> {};

TEST_P(FailedEntryTest, IsListedAndAbsent) {
    WriteFileBytes(Archive(), TZipTestBuilder()
                                  .AddFile("dev/good.txt", "good")
                                  .Add(GetParam().entry)
                                  .AddFile("dev/later.txt", "later")
                                  .Build());
    auto failures = ExtractZipFile(Archive(), Target(), "");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Entry, GetParam().entry.name);
    EXPECT_EQ(failures[0].Reason.rfind(GetParam().reason, 0), 0u) << failures[0].Reason;
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/good.txt"), "good");
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/later.txt"), "later");
    EXPECT_FALSE(std::filesystem::exists(Target() + "/dev/bad.txt"));
}

TTestEntry Bad(std::function<void(TTestEntry&)> change) {
    TTestEntry e;
    e.name = "dev/bad.txt";
    e.data = "data";
    change(e);
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FailedEntryTest,
    ::testing::Values(
        TFailingEntry{"BadCrc", Bad([](TTestEntry& e) { e.crc = 1; }), "EAbZipBadCRC: Failed CRC Check"},
        TFailingEntry{"LongerThanDeclared", Bad([](TTestEntry& e) { e.uncompressedSize = 2; }),
                      "EAbZipDataError: Entry data decodes to more than its declared size"},
        TFailingEntry{"CorruptData", Bad([](TTestEntry& e) {
                          e.method = 8;
                          e.compressed = "\xff\xff\xff";
                      }),
                      "EAbZipDataError: Corrupt Deflate data"},
        TFailingEntry{"UnknownMethod", Bad([](TTestEntry& e) { e.method = 99; }),
                      "EAbZipInvalidMethod: Cannot extract file - unsupported compression method: AES"},
        TFailingEntry{"Traversal", Bad([](TTestEntry& e) { e.name = "dev/../../bad.txt"; }),
                      "EAbZipUnsafeName: "},
        TFailingEntry{"NoPassword", Bad([](TTestEntry& e) {
                          e.flags = 1;
                          e.data = "encryption header and data";
                      }),
                      "EAbZipInvalidPassword: Cannot extract file - invalid password"}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace kalmora::test
