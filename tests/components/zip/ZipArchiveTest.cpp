// The reader on hand-built archives: safe extraction, damaged data, Zip64, descriptors, per-entry work.

#include "ZipTestSupport.h"
#include "zip/ZipErrors.h"
#include "zip/ZipSource.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Text(size_t size) {
    std::string s;
    for (size_t i = 0; s.size() < size; ++i)
        s += "line " + std::to_string(i) + " of the test text\n";
    s.resize(size);
    return s;
}

unsigned Umask() {
    mode_t old = ::umask(0);
    ::umask(old);
    return old;
}

// ---- names that would leave the target folder ----

struct TUnsafeName {
    std::string name;
    uint16_t madeBy;
    friend void PrintTo(const TUnsafeName& n, std::ostream* os) { *os << n.name; }
};

class UnsafeNameTest : public ZipExtractFixture, public ::testing::WithParamInterface<TUnsafeName> {};

TEST_P(UnsafeNameTest, FailsAsThatEntryAndWritesNothingOutside) {
    std::filesystem::create_directories(Temp() + "/etc");
    TTestEntry bad;
    bad.name = GetParam().name;
    bad.data = "escaped";
    bad.versionMadeBy = GetParam().madeBy;
    TZipTestBuilder b;
    b.Add(bad).AddFile("ok.txt", "fine");
    WriteFileBytes(ArchivePath(), b.Build());
    auto before = ListTree(Temp());
    TZipArchive zip;
    auto failures = ExtractFile(ArchivePath(), zip);

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].className, "EAbZipUnsafeName");
    EXPECT_THAT(OutTree(), ElementsAre("ok.txt"));
    auto after = ListTree(Temp());
    std::erase_if(after, [](const std::string& p) { return p.rfind("out/", 0) == 0; });
    std::erase_if(before, [](const std::string& p) { return p.rfind("out/", 0) == 0; });
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnsafeNameTest,
    ::testing::Values(TUnsafeName{"/tmp/abs.txt", UnixMadeBy}, TUnsafeName{"../escaped.txt", UnixMadeBy},
                      TUnsafeName{"a/../../escaped.txt", UnixMadeBy}, TUnsafeName{"a/../b.txt", UnixMadeBy},
                      TUnsafeName{"..", UnixMadeBy}, TUnsafeName{"c:escaped.txt", UnixMadeBy},
                      TUnsafeName{"a//b.txt", UnixMadeBy}, TUnsafeName{"..\\escaped.txt", MsDosMadeBy},
                      TUnsafeName{"\\etc\\escaped.txt", MsDosMadeBy},
                      TUnsafeName{"a\\..\\..\\escaped.txt", MsDosMadeBy},
                      TUnsafeName{std::string("a\0b", 3), UnixMadeBy}));

class ZipArchiveTest : public ZipExtractFixture {};

TEST_F(ZipArchiveTest, BackslashIsAnOrdinaryCharacterInUnixNames) {
    TTestEntry e;
    e.name = "..\\name.txt";
    e.data = "x";
    auto failures = Extract(TZipTestBuilder().Add(e).Build());
    EXPECT_THAT(failures, IsEmpty());
    EXPECT_THAT(OutTree(), ElementsAre("..\\name.txt"));
}

TEST_F(ZipArchiveTest, MsDosNamesUseBackslashAsSeparator) {
    TTestEntry e;
    e.name = "dir\\sub\\name.txt";
    e.data = "x";
    e.versionMadeBy = MsDosMadeBy;
    e.externalAttributes = 0x20;
    EXPECT_THAT(Extract(TZipTestBuilder().Add(e).Build()), IsEmpty());
    EXPECT_THAT(OutTree(), ElementsAre("dir/", "dir/sub/", "dir/sub/name.txt"));
}

// ---- symbolic links ----

TEST_F(ZipArchiveTest, SymlinkEntryBecomesAFileWithTheLinkText) {
    TTestEntry link;
    link.name = "link";
    link.data = "../../etc/passwd";
    link.externalAttributes = 0120777u << 16;
    EXPECT_THAT(Extract(TZipTestBuilder().Add(link).Build()), IsEmpty());
    struct stat st {};
    ASSERT_EQ(::lstat((Out() + "/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(OutFile("link"), "../../etc/passwd");
    EXPECT_EQ(st.st_mode & 0111, 0u);
}

TEST_F(ZipArchiveTest, ExistingSymlinkIsReplacedNotWrittenThrough) {
    WriteFileBytes(Temp() + "/outside.txt", "untouched");
    std::filesystem::create_directories(Out());
    ASSERT_EQ(::symlink((Temp() + "/outside.txt").c_str(), (Out() + "/target.txt").c_str()), 0);
    EXPECT_THAT(Extract(TZipTestBuilder().AddFile("target.txt", "new content").Build()), IsEmpty());
    EXPECT_EQ(ReadFileBytes(Temp() + "/outside.txt"), "untouched");
    struct stat st {};
    ASSERT_EQ(::lstat((Out() + "/target.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(OutFile("target.txt"), "new content");
}

TEST_F(ZipArchiveTest, SymlinkedParentFolderStopsTheExtraction) {
    std::filesystem::create_directories(Temp() + "/elsewhere");
    std::filesystem::create_directories(Out());
    ASSERT_EQ(::symlink((Temp() + "/elsewhere").c_str(), (Out() + "/dir").c_str()), 0);
    WriteFileBytes(ArchivePath(), TZipTestBuilder().AddFile("dir/file.txt", "x").Build());
    TZipArchive zip;
    EXPECT_THROW(ExtractFile(ArchivePath(), zip), EInOutError);
    EXPECT_THAT(ListTree(Temp() + "/elsewhere"), IsEmpty());
}

// ---- damaged data ----

struct TDamage {
    std::string label;
    TTestEntry entry;
    std::string className;
    std::string fault;                 // what the message names
    bool checkedBeforeWriting = false; // such a failure leaves an older file of the name alone
    friend void PrintTo(const TDamage& d, std::ostream* os) { *os << d.label; }
};

class DamagedEntryTest : public ZipExtractFixture, public ::testing::WithParamInterface<TDamage> {};

TEST_P(DamagedEntryTest, FailsTheEntryAndLeavesNoFile) {
    // A fault in the data takes an older file of the name with it: it was truncated before the fault showed.
    std::filesystem::create_directories(Out());
    WriteFileBytes(Out() + "/damaged.txt", "older content");
    TZipTestBuilder b;
    b.AddFile("before.txt", "a").Add(GetParam().entry).AddFile("after.txt", "b");
    auto failures = Extract(b.Build());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, "damaged.txt");
    EXPECT_EQ(failures[0].className, GetParam().className) << failures[0].message;
    EXPECT_THAT(failures[0].message, HasSubstr(GetParam().fault));
    if (GetParam().checkedBeforeWriting) {
        EXPECT_THAT(OutTree(), ElementsAre("after.txt", "before.txt", "damaged.txt"));
        EXPECT_EQ(OutFile("damaged.txt"), "older content");
    } else {
        EXPECT_THAT(OutTree(), ElementsAre("after.txt", "before.txt"));
    }
}

TEST_P(DamagedEntryTest, ParentFoldersStayWhenTheEntryFails) {
    TTestEntry entry = GetParam().entry;
    entry.name = "a/b/" + entry.name;
    auto failures = Extract(TZipTestBuilder().Add(entry).Build());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_THAT(OutTree(), ElementsAre("a/", "a/b/"));
}

TTestEntry Damaged(std::function<void(TTestEntry&)> change) {
    TTestEntry e;
    e.name = "damaged.txt";
    e.data = Text(100000);
    e.method = 8;
    change(e);
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DamagedEntryTest,
    ::testing::Values(
        TDamage{"BadCrc", Damaged([](TTestEntry& e) { e.crc = Crc32(e.data) ^ 1; }), "EAbZipBadCRC",
                "Failed CRC Check: stored "},
        TDamage{"StoredBadCrc", Damaged([](TTestEntry& e) {
                    e.method = 0;
                    e.crc = 0x12345678;
                }),
                "EAbZipBadCRC", "stored 12345678, data "},
        TDamage{"CorruptDeflate", Damaged([](TTestEntry& e) {
                    std::string c = RawDeflate(e.data);
                    c[0] = '\xff'; // block type 3 does not exist
                    e.compressed = c;
                }),
                "EAbZipDataError", "Corrupt Deflate data"},
        TDamage{"TruncatedDeflate",
                Damaged([](TTestEntry& e) { e.compressed = RawDeflate(e.data).substr(0, 200); }),
                "EAbZipDataError", "Deflate data ends before the end of its stream"},
        TDamage{"DeflateLongerThanDeclared", Damaged([](TTestEntry& e) { e.uncompressedSize = 5000; }),
                "EAbZipDataError", "more than its declared size of 5000 bytes"},
        TDamage{"DeflateShorterThanDeclared", Damaged([](TTestEntry& e) { e.uncompressedSize = 200000; }),
                "EAbZipDataError", "ends 100000 bytes before its declared size"},
        TDamage{"StoredLongerThanDeclared", Damaged([](TTestEntry& e) {
                    e.method = 0;
                    e.uncompressedSize = 10;
                }),
                "EAbZipDataError", "more than its declared size of 10 bytes"},
        TDamage{"CorruptBzip2", Damaged([](TTestEntry& e) {
                    e.method = 12;
                    e.compressed = "BZh9" + std::string(50, 'x');
                }),
                "EAbZipDataError", ""},
        TDamage{"CorruptLzma", Damaged([](TTestEntry& e) {
                    e.method = 14;
                    e.compressed =
                        std::string("\x09\x14\x05\x00\x5d\x00\x00\x01\x00", 9) + std::string(40, '\xff');
                }),
                "EAbZipDataError", ""},
        TDamage{"LzmaHeaderCutShort", Damaged([](TTestEntry& e) {
                    e.method = 14;
                    e.compressed = std::string("\x09\x14", 2);
                }),
                "EAbZipDataError", ""},
        TDamage{"Aes", Damaged([](TTestEntry& e) { e.method = 99; }), "EAbZipInvalidMethod",
                "unsupported compression method: AES encrypted", true},
        TDamage{"MethodNotBuilt", Damaged([](TTestEntry& e) { e.method = 95; }), "EAbZipInvalidMethod",
                "unsupported compression method: XZ", true},
        TDamage{"MethodWithoutName", Damaged([](TTestEntry& e) { e.method = 77; }), "EAbZipInvalidMethod",
                "unsupported compression method: method 77", true},
        TDamage{"TokenizedMethod", Damaged([](TTestEntry& e) { e.method = 7; }), "EAbZipInvalidMethod",
                "unsupported compression method: tokenized", true},
        TDamage{"StrongEncryption", Damaged([](TTestEntry& e) { e.flags = 0x41; }), "EAbZipInvalidMethod",
                "strong encryption", true},
        TDamage{"NewerVersion", Damaged([](TTestEntry& e) { e.versionNeeded = 64; }), "EAbZipVersion",
                "newer version required: 6.4", true},
        TDamage{"EncryptedWithoutPassword", Damaged([](TTestEntry& e) { e.flags = 1; }),
                "EAbZipInvalidPassword", "invalid password", true}),
    [](const auto& info) { return info.param.label; });

TEST_F(ZipArchiveTest, CompressedSizeReachingIntoTheDirectoryIsCutThere) {
    TTestEntry e;
    e.name = "a.txt";
    e.data = Text(1000);
    std::string archive = TZipTestBuilder().Add(e).Build();
    size_t cdPos = archive.find("PK\x01\x02");
    archive[cdPos + 22] = '\x10'; // compressed size 1 MiB more than stored
    EXPECT_THAT(Extract(archive), IsEmpty());
    EXPECT_EQ(OutFile("a.txt"), Text(1000));
    archive[cdPos + 26] = '\x10'; // and an uncompressed size the data cannot have
    auto failures = Extract(archive);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].className, "EAbZipDataError");
}

TEST_F(ZipArchiveTest, MissingLocalHeaderFailsTheEntry) {
    std::string archive = TZipTestBuilder().AddFile("a.txt", "abc").AddFile("b.txt", "def").Build();
    archive[0] = 'X';
    auto failures = Extract(archive);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].name, "a.txt");
    EXPECT_THAT(OutTree(), ElementsAre("b.txt"));
}

// ---- structure ----

TEST_F(ZipArchiveTest, Zip64RecordsAndExtraFieldsAreRead) {
    TZipTestBuilder b;
    for (int i = 0; i < 3; ++i) {
        TTestEntry e;
        e.name = "file" + std::to_string(i) + ".txt";
        e.data = Text(1000 + i);
        e.method = 8;
        e.zip64 = true;
        b.Add(e);
    }
    EXPECT_THAT(Extract(b.Build(TTestArchiveOptions().Zip64())), IsEmpty());
    EXPECT_THAT(OutTree(), ElementsAre("file0.txt", "file1.txt", "file2.txt"));
    EXPECT_EQ(OutFile("file2.txt"), Text(1002));
}

TEST_F(ZipArchiveTest, StubInFrontOfTheArchiveIsSkipped) {
    std::string stub(3000, 'S');
    TZipTestBuilder b;
    b.AddFile("a.txt", "abc").AddFile("b/c.txt", Text(5000));
    EXPECT_THAT(Extract(b.Build(TTestArchiveOptions().Prefix(stub))), IsEmpty());
    EXPECT_EQ(OutFile("b/c.txt"), Text(5000));
    EXPECT_THAT(Extract(b.Build(TTestArchiveOptions().Zip64().Prefix(stub))), IsEmpty());
    EXPECT_EQ(OutFile("a.txt"), "abc");
}

TEST_F(ZipArchiveTest, ArchiveCommentAndTrailingBytesAreAllowed) {
    std::string archive = TZipTestBuilder()
                              .AddFile("a.txt", "abc")
                              .Build(TTestArchiveOptions().Comment("PK\x05\x06 looks like"));
    EXPECT_THAT(Extract(archive), IsEmpty());
    EXPECT_EQ(OutFile("a.txt"), "abc");
}

TEST_F(ZipArchiveTest, DataDescriptorsGiveSizesAndCrcInTheDirectory) {
    TZipTestBuilder b;
    for (uint16_t method : {0, 8}) {
        TTestEntry e;
        e.name = "dd" + std::to_string(method) + ".txt";
        e.data = Text(70000);
        e.method = method;
        e.dataDescriptor = true;
        b.Add(e);
    }
    EXPECT_THAT(Extract(b.Build()), IsEmpty());
    EXPECT_EQ(OutFile("dd0.txt"), Text(70000));
    EXPECT_EQ(OutFile("dd8.txt"), Text(70000));
}

TEST_F(ZipArchiveTest, TextIsNoArchive) {
    EXPECT_THROW(Extract("just some text, not an archive\n"), EAbUnhandledType);
}

// An archive whose end record is there but whose structure does not hold: refused as a whole, naming the
// fault.
struct TStructuralFault {
    std::string label;
    std::function<std::string()> make;
    std::string fault;
    friend void PrintTo(const TStructuralFault& f, std::ostream* os) { *os << f.label; }
};

class StructuralFaultTest : public ZipExtractFixture,
                            public ::testing::WithParamInterface<TStructuralFault> {};

TEST_P(StructuralFaultTest, ArchiveIsInvalidAndTheMessageNamesTheFault) {
    try {
        Extract(GetParam().make());
        FAIL() << "no exception";
    } catch (const EAbZipInvalid& e) {
        EXPECT_EQ(e.Fault(), GetParam().fault);
        EXPECT_EQ(e.Message(), "Invalid file - not a PKZip file: " + GetParam().fault);
    }
    EXPECT_THAT(OutTree(), IsEmpty());
}

std::string OneEntry() {
    return TZipTestBuilder().AddFile("a.txt", "abc").Build();
}

// The archive with a little-endian 32-bit field of its end record (offset counted from the record's end)
// set.
std::string WithEndField(size_t fromEnd, uint32_t value, int bytes = 4) {
    std::string archive = OneEntry();
    for (int i = 0; i < bytes; ++i)
        archive[archive.size() - fromEnd + i] = static_cast<char>(value >> (8 * i));
    return archive;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StructuralFaultTest,
    ::testing::Values(
        TStructuralFault{"OffsetBeyondEndOfFile", [] { return WithEndField(6, 0x7FFFFFF0); },
                         "central directory offset beyond end of file"},
        TStructuralFault{"OffsetIntoTheEndRecord", [] { return WithEndField(6, 60); },
                         "central directory offset overlaps the end record"},
        TStructuralFault{"SizeLargerThanTheFile", [] { return WithEndField(10, 0x10000); },
                         "central directory size larger than the bytes in front of the end record"},
        TStructuralFault{"CountTooHigh", [] { return WithEndField(12, 5, 2); },
                         "central directory holds 1 entries, the end record says 5"},
        TStructuralFault{"EntryCutShort",
                         [] {
                             std::string archive = OneEntry();
                             // The name length claims more than the directory holds.
                             archive[archive.find("PK\x01\x02") + 28] = '\x60';
                             return archive;
                         },
                         "central directory entry 1 runs past the end of the central directory"},
        TStructuralFault{"Zip64ExtraFieldMissing",
                         [] {
                             TTestEntry e;
                             e.name = "a.txt";
                             e.data = "abc";
                             e.zip64 = true;
                             std::string archive = TZipTestBuilder().Add(e).Build();
                             // Turn the Zip64 field into an unknown one.
                             archive[archive.find("PK\x01\x02") + 46 + 5] = '\x77';
                             return archive;
                         },
                         "central directory entry 1 lacks the Zip64 extra field its sizes need"},
        TStructuralFault{
            "OtherDisk",
            [] { return TZipTestBuilder().AddFile("a.txt", "abc").Build(TTestArchiveOptions().Disk(1)); },
            "archive spans several disks"},
        TStructuralFault{"SpanningSignature",
                         [] {
                             return TZipTestBuilder()
                                 .AddFile("a.txt", "abc")
                                 .Build(TTestArchiveOptions().Prefix("PK\x07\x08"));
                         },
                         "split archive (spanning signature at its start)"}),
    [](const auto& info) { return info.param.label; });

TEST_F(ZipArchiveTest, MissingBaseDirectoryIsReportedOnOpen) {
    WriteFileBytes(ArchivePath(), TZipTestBuilder().AddFile("a.txt", "abc").Build());
    TZipArchive zip;
    zip.BaseDirectory = Temp() + "/does-not-exist";
    EXPECT_THROW(zip.Open(ArchivePath()), EAbNoSuchDirectory);
    EXPECT_FALSE(zip.Active());
    // An empty base is not the current directory.
    zip.BaseDirectory.clear();
    EXPECT_THROW(zip.Open(ArchivePath()), EAbNoSuchDirectory);
}

TEST_F(ZipArchiveTest, EmptyFileIsAnArchiveWithoutEntriesAndIsRewritten) {
    WriteFileBytes(ArchivePath(), "");
    TZipArchive zip;
    EXPECT_THAT(ExtractFile(ArchivePath(), zip), IsEmpty());
    EXPECT_EQ(ReadFileBytes(ArchivePath()), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_THAT(OutTree(), IsEmpty());
    // An end record with a comment and no entries is rewritten the same way.
    WriteFileBytes(ArchivePath(), TZipTestBuilder().Build(TTestArchiveOptions().Comment("comment")));
    TZipArchive again;
    EXPECT_THAT(ExtractFile(ArchivePath(), again), IsEmpty());
    EXPECT_EQ(ReadFileBytes(ArchivePath()).size(), 22u);
}

TEST_F(ZipArchiveTest, ArchiveWithEntriesIsLeftUnchanged) {
    std::string archive = TZipTestBuilder().AddFile("a.txt", "abc").Build();
    Extract(archive);
    EXPECT_EQ(ReadFileBytes(ArchivePath()), archive);
}

// ---- per-entry work ----

TEST_F(ZipArchiveTest, FoldersAreCreatedFromEntriesAndOnTheWay) {
    TZipTestBuilder b;
    b.AddFolder("a/b/").AddFile("x/y/c.txt", "c").AddFile("empty.txt", "", 0);
    EXPECT_THAT(Extract(b.Build()), IsEmpty());
    EXPECT_THAT(OutTree(), ElementsAre("a/", "a/b/", "empty.txt", "x/", "x/y/", "x/y/c.txt"));
    EXPECT_EQ(OutFile("empty.txt"), "");
}

TEST_F(ZipArchiveTest, TheLaterOfTwoEqualNamesWins) {
    TZipTestBuilder b;
    b.AddFile("same.txt", "first version, longer").AddFile("same.txt", "second");
    EXPECT_THAT(Extract(b.Build()), IsEmpty());
    EXPECT_EQ(OutFile("same.txt"), "second");
}

TEST_F(ZipArchiveTest, ParentThatIsAFileStopsEverything) {
    TZipTestBuilder b;
    b.AddFile("first.txt", "1")
        .AddFile("a", "a file")
        .AddFile("a/b.txt", "under a file")
        .AddFile("last.txt", "2");
    EXPECT_THROW(Extract(b.Build()), EInOutError);
    EXPECT_THAT(OutTree(), ElementsAre("a", "first.txt"));
}

TEST_F(ZipArchiveTest, EntriesWithoutADateKeepTheTimeOfTheirCreation) {
    TTestEntry folder;
    folder.name = "leer/";
    folder.externalAttributes = UnixFolder;
    folder.dosDate = 0;
    folder.dosTime = 0;
    TTestEntry file = folder;
    file.name = "datei.txt";
    file.data = "x";
    file.externalAttributes = UnixFile;
    time_t before = time(nullptr);
    EXPECT_THAT(Extract(TZipTestBuilder().Add(folder).Add(file).Build()), IsEmpty());
    for (const char* name : {"leer", "datei.txt"}) {
        struct stat st {};
        ASSERT_EQ(::stat((Out() + "/" + name).c_str(), &st), 0);
        EXPECT_GE(st.st_mtime, before - 1) << name;
    }
}

TEST_F(ZipArchiveTest, ModificationTimeIsTheStoredLocalTime) {
    TTestEntry e;
    e.name = "t.txt";
    e.data = "x";
    e.dosDate = static_cast<uint16_t>((2021 - 1980) << 9 | 7 << 5 | 15);
    e.dosTime = static_cast<uint16_t>(13 << 11 | 45 << 5 | 30 / 2);
    EXPECT_THAT(Extract(TZipTestBuilder().Add(e).Build()), IsEmpty());
    struct stat st {};
    ASSERT_EQ(::stat((Out() + "/t.txt").c_str(), &st), 0);
    struct tm local {};
    localtime_r(&st.st_mtime, &local);
    EXPECT_EQ(local.tm_year, 121);
    EXPECT_EQ(local.tm_mon, 6);
    EXPECT_EQ(local.tm_mday, 15);
    EXPECT_EQ(local.tm_hour, 13);
    EXPECT_EQ(local.tm_min, 45);
    EXPECT_EQ(local.tm_sec, 30);
}

struct TModeCase {
    std::string label;
    uint16_t madeBy;
    uint32_t external;
    bool folder;
    unsigned expected; // before the umask where the entry has no Unix mode
    bool underUmask;
};

class AttributeTest : public ZipExtractFixture, public ::testing::WithParamInterface<TModeCase> {};

TEST_P(AttributeTest, PermissionBitsFollowTheStoredAttributes) {
    const auto& c = GetParam();
    TTestEntry e;
    e.name = c.folder ? "entry/" : "entry";
    e.data = c.folder ? "" : "data";
    e.versionMadeBy = c.madeBy;
    e.externalAttributes = c.external;
    EXPECT_THAT(Extract(TZipTestBuilder().Add(e).Build()), IsEmpty());
    unsigned expected = c.underUmask ? c.expected & ~Umask() : c.expected;
    EXPECT_EQ(PermissionBits(Out() + "/entry"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AttributeTest,
    ::testing::Values(TModeCase{"UnixExecutable", UnixMadeBy, 0100755u << 16, false, 0755, false},
                      TModeCase{"UnixPrivate", UnixMadeBy, 0100600u << 16, false, 0600, false},
                      TModeCase{"UnixSetuidDropped", UnixMadeBy, 0106755u << 16, false, 0755, false},
                      TModeCase{"UnixReadOnly", UnixMadeBy, 0100444u << 16, false, 0444, false},
                      TModeCase{"UnixFolder", UnixMadeBy, (041750u << 16) | 0x10, true, 0750, false},
                      TModeCase{"ModeAboveMsDosRange", MsDosMadeBy, (0100640u << 16) | 0x20, false, 0640,
                                false},
                      TModeCase{"MsDosReadOnly", MsDosMadeBy, 0x21, false, 0444, true},
                      TModeCase{"MsDosArchive", MsDosMadeBy, 0x20, false, 0666, true},
                      TModeCase{"MsDosFolder", MsDosMadeBy, 0x10, true, 0777, true},
                      TModeCase{"UnixHostWithoutMode", UnixMadeBy, 0x01, false, 0444, true}),
    [](const auto& info) { return info.param.label; });

TEST_F(ZipArchiveTest, ReadOnlyFolderStillReceivesItsFiles) {
    TZipTestBuilder b;
    TTestEntry folder;
    folder.name = "ro/";
    folder.externalAttributes = (040555u << 16) | 0x10;
    b.Add(folder).AddFile("ro/inside.txt", "x");
    EXPECT_THAT(Extract(b.Build()), IsEmpty());
    EXPECT_EQ(OutFile("ro/inside.txt"), "x");
    EXPECT_EQ(PermissionBits(Out() + "/ro"), 0555u);
}

// ---- names ----

struct TNameCase {
    std::string label;
    TTestEntry entry;
    std::string expected;
};

class NameDecodingTest : public ZipExtractFixture, public ::testing::WithParamInterface<TNameCase> {};

TEST_P(NameDecodingTest, EntryLandsUnderItsDecodedName) {
    TTestEntry e = GetParam().entry;
    e.data = "x";
    EXPECT_THAT(Extract(TZipTestBuilder().Add(e).Build()), IsEmpty());
    EXPECT_THAT(OutTree(), ElementsAre(GetParam().expected));
}

TTestEntry Named(std::string name, uint16_t madeBy = UnixMadeBy, uint16_t flags = 0, std::string extra = {}) {
    TTestEntry e;
    e.name = std::move(name);
    e.versionMadeBy = madeBy;
    e.externalAttributes = madeBy == MsDosMadeBy ? 0x20 : UnixFile;
    e.flags = flags;
    e.extra = std::move(extra);
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameDecodingTest,
    ::testing::Values(
        TNameCase{"Utf8WithoutFlag", Named("gr\xc3\xbc\xc3\x9f.txt", MsDosMadeBy), "gr\xc3\xbc\xc3\x9f.txt"},
        TNameCase{"Utf8Flag", Named("\xe2\x82\xac.txt", UnixMadeBy, 0x0800), "\xe2\x82\xac.txt"},
        TNameCase{"Cp437FromMsDos", Named("\x81\x84\x94.txt", MsDosMadeBy), "\xc3\xbc\xc3\xa4\xc3\xb6.txt"},
        TNameCase{"LegacyBytesFromUnix", Named("\x81.txt"), "\xc3\xbc.txt"},
        TNameCase{"UnicodePathField",
                  Named("\x81.txt", MsDosMadeBy, 0, UnicodePathExtra("\x81.txt", "\xc3\xa9t\xc3\xa9.txt")),
                  "\xc3\xa9t\xc3\xa9.txt"},
        TNameCase{"UnicodePathFieldForOtherName",
                  Named("\x81.txt", MsDosMadeBy, 0, UnicodePathExtra("other", "\xc3\xa9t\xc3\xa9.txt")),
                  "\xc3\xbc.txt"},
        TNameCase{"XceedField", Named("x.txt", MsDosMadeBy, 0, XceedUnicodeExtra(u"\u00e9\u20ac.txt")),
                  "\xc3\xa9\xe2\x82\xac.txt"},
        TNameCase{"Utf8BeforeUnicodePathField",
                  Named("\xc3\xbc.txt", MsDosMadeBy, 0, UnicodePathExtra("\xc3\xbc.txt", "other.txt")),
                  "\xc3\xbc.txt"}),
    [](const auto& info) { return info.param.label; });

// ---- events and options ----

TEST_F(ZipArchiveTest, ConfirmOverwriteCanKeepAnExistingFile) {
    std::filesystem::create_directories(Out());
    WriteFileBytes(Out() + "/keep.txt", "mine");
    WriteFileBytes(ArchivePath(),
                   TZipTestBuilder().AddFile("keep.txt", "theirs").AddFile("new.txt", "n").Build());
    TZipArchive zip;
    std::vector<std::string> asked;
    zip.OnConfirmOverwrite = [&](const TZipItem& item, bool& confirm) {
        asked.push_back(item.fileName);
        confirm = false;
    };
    EXPECT_THAT(ExtractFile(ArchivePath(), zip), IsEmpty());
    EXPECT_THAT(asked, ElementsAre("keep.txt"));
    EXPECT_EQ(OutFile("keep.txt"), "mine");
    EXPECT_EQ(OutFile("new.txt"), "n");
}

TEST_F(ZipArchiveTest, MaskSelectsEntriesAndWithoutRestorePathFoldersAreDropped) {
    WriteFileBytes(ArchivePath(),
                   TZipTestBuilder().AddFile("a/one.txt", "1").AddFile("a/two.dat", "2").Build());
    std::filesystem::create_directories(Out());
    TZipArchive zip;
    zip.BaseDirectory = Out();
    zip.ExtractOptions = TExtractOption::eoCreateDirs;
    zip.Open(ArchivePath());
    zip.ExtractFiles("*.txt");
    EXPECT_THAT(OutTree(), ElementsAre("one.txt"));
}

TEST_F(ZipArchiveTest, WithoutCreateDirsAMissingFolderFailsOnlyThatEntry) {
    WriteFileBytes(ArchivePath(),
                   TZipTestBuilder().AddFile("a/one.txt", "1").AddFile("top.txt", "2").Build());
    TZipArchive zip;
    zip.ExtractOptions = TExtractOption::eoRestorePath;
    auto failures = ExtractFile(ArchivePath(), zip);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].className, "EInOutError");
    EXPECT_THAT(OutTree(), ElementsAre("top.txt"));
}

TEST_F(ZipArchiveTest, MemorySourceReadsTheSameArchive) {
    std::string archive = TZipTestBuilder().AddFile("m/a.txt", Text(300000)).Build();
    std::filesystem::create_directories(Out());
    TZipArchive zip;
    zip.BaseDirectory = Out();
    zip.OpenSource(std::make_unique<TZipMemorySource>(
        std::span(reinterpret_cast<const uint8_t*>(archive.data()), archive.size())));
    ASSERT_EQ(zip.Items().size(), 1u);
    zip.ExtractFiles("*");
    EXPECT_EQ(OutFile("m/a.txt"), Text(300000));
}

} // namespace
} // namespace kalmora::test
