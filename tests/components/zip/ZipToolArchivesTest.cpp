// The reader on archives that real tools make at test time: Info-ZIP zip, 7-Zip, bsdtar and Python's
// zipfile, each with the methods it writes, plain and with traditional encryption.

#include "ZipTestSupport.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <set>
#include <sys/stat.h>

namespace kalmora::test {
namespace {

using ::testing::IsEmpty;

std::string TextBytes(size_t size) {
    std::string s;
    for (size_t i = 0; s.size() < size; ++i)
        s += "Zeile " + std::to_string(i * 7919 % 100003) + ": Konfiguration der Geraete\n";
    s.resize(size);
    return s;
}

// The tree every tool packs; the cases cover block boundaries, empty files, deep folders and modes.
void MakeSourceTree(const std::string& root) {
    namespace fs = std::filesystem;
    fs::create_directories(root + "/docs");
    fs::create_directories(root + "/bin");
    fs::create_directories(root + "/deep/a/b/c");
    fs::create_directories(root + "/emptydir");
    WriteFileBytes(root + "/docs/readme.txt", TextBytes(1000));
    WriteFileBytes(root + "/docs/big.txt", TextBytes(700000));
    WriteFileBytes(root + "/bin/data.bin", Noise(300000, 7));
    WriteFileBytes(root + "/empty.txt", "");
    WriteFileBytes(root + "/deep/a/b/c/leaf.txt", "leaf\n");
    WriteFileBytes(root + "/ro.txt", "read only\n");
    WriteFileBytes(root + "/exec.sh", "#!/bin/sh\necho hi\n");
    ::chmod((root + "/ro.txt").c_str(), 0444);
    ::chmod((root + "/exec.sh").c_str(), 0755);
}

struct TToolCase {
    std::string label;
    std::string tool;    // must be installed, else the case is skipped
    std::string command; // run inside the source folder; ARCHIVE and PASSWORD are replaced
    bool encrypted = false;
};

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
        text.replace(pos, what.size(), with);
    return text;
}

constexpr const char* PythonZip = R"(python3 -c "
import os, sys, zipfile
method = getattr(zipfile, sys.argv[2])
with zipfile.ZipFile(sys.argv[1], 'w', method) as z:
    for d, dirs, files in sorted(os.walk('.')):
        for n in sorted(dirs): z.write(os.path.join(d, n)[2:], os.path.join(d, n)[2:])
        for n in sorted(files): z.write(os.path.join(d, n)[2:], os.path.join(d, n)[2:])
" ARCHIVE )";

class ToolArchiveTest : public ZipExtractFixture, public ::testing::WithParamInterface<TToolCase> {
protected:
    void SetUp() override {
        if (!HaveTool(GetParam().tool))
            GTEST_SKIP() << GetParam().tool << " is not installed";
        Source = Temp() + "/src";
        MakeSourceTree(Source);
        std::string command =
            Replace(Replace(GetParam().command, "ARCHIVE", ArchivePath()), "PASSWORD", "geheim");
        ASSERT_EQ(RunShell("cd '" + Source + "' && " + command + " >/dev/null 2>&1"), 0) << command;
    }

    std::vector<std::string> SourceFolders() const {
        auto all = ListTree(Source);
        std::erase_if(all, [](const std::string& p) { return p.back() != '/'; });
        return all;
    }

    std::string Source;
};

TEST_P(ToolArchiveTest, ExtractsEveryFileWithContentAndMode) {
    TZipArchive zip;
    zip.Password = GetParam().encrypted ? "geheim" : "";
    auto failures = ExtractFile(ArchivePath(), zip);
    // bsdtar stores the "./" folder itself, which names nothing below the target.
    std::erase_if(failures, [](const TItemFailure& f) { return f.name == "./" || f.name == "."; });
    EXPECT_THAT(failures, IsEmpty()) << failures[0].name << ": " << failures[0].message;
    EXPECT_EQ(OutTree(), ListTree(Source));
    for (const auto& path : ListTree(Source)) {
        if (path.back() == '/')
            continue;
        EXPECT_EQ(OutFile(path), ReadFileBytes(Source + "/" + path)) << path;
        EXPECT_EQ(PermissionBits(Out() + "/" + path), PermissionBits(Source + "/" + path)) << path;
    }
}

TEST_P(ToolArchiveTest, PlainArchiveIgnoresAPasswordAndEncryptedOneNeedsTheRightOne) {
    for (const std::string password : {"", "falsch"}) {
        std::filesystem::remove_all(Out());
        TZipArchive zip;
        zip.Password = password;
        auto failures = ExtractFile(ArchivePath(), zip);
        if (!GetParam().encrypted) {
            EXPECT_EQ(OutTree(), ListTree(Source)) << "password '" << password << "'";
            continue;
        }
        // Only folders remain: those of folder entries and the parents of the files. (bsdtar does not
        // encrypt empty files, so those may be there too.)
        auto tree = OutTree();
        std::erase_if(tree, [&](const std::string& p) {
            return p.back() != '/' && std::filesystem::file_size(Out() + "/" + p) == 0;
        });
        EXPECT_EQ(tree, SourceFolders()) << "password '" << password << "'";
        // The encryption header checks one byte, so about one wrong password in 256 passes it; the entry's
        // data then fails to decode or its CRC differs, and the file is still never written.
        const std::set<std::string> wrongPassword = {"EAbZipInvalidPassword", "EAbZipBadCRC",
                                                     "EAbZipDataError"};
        for (const auto& f : failures) {
            if (f.name != "./" && f.name.back() != '/') {
                EXPECT_TRUE(wrongPassword.contains(f.className)) << f.name << ": " << f.className;
            }
        }
    }
}

const TToolCase ToolCases[] = {
    {"ZipDeflate", "zip", "zip -qr ARCHIVE ."},
    {"ZipStore", "zip", "zip -qr0 ARCHIVE ."},
    {"ZipBzip2", "zip", "zip -qr -Z bzip2 ARCHIVE ."},
    {"ZipEncrypted", "zip", "zip -qr -P PASSWORD ARCHIVE .", true},
    {"SevenZipDeflate", "7zz", "7zz a -tzip -mm=Deflate ARCHIVE ."},
    {"SevenZipDeflate64", "7zz", "7zz a -tzip -mm=Deflate64 ARCHIVE ."},
    {"SevenZipDeflate64Ultra", "7zz", "7zz a -tzip -mm=Deflate64 -mx=9 ARCHIVE ."},
    {"SevenZipStore", "7zz", "7zz a -tzip -mm=Copy ARCHIVE ."},
    {"SevenZipBzip2", "7zz", "7zz a -tzip -mm=BZip2 ARCHIVE ."},
    {"SevenZipLzma", "7zz", "7zz a -tzip -mm=LZMA ARCHIVE ."},
    {"SevenZipEncrypted", "7zz", "7zz a -tzip -mem=ZipCrypto -pPASSWORD ARCHIVE .", true},
    {"SevenZipDeflate64Encrypted", "7zz", "7zz a -tzip -mm=Deflate64 -mem=ZipCrypto -pPASSWORD ARCHIVE .",
     true},
#if KALMORA_WITH_LIBARCHIVE
    {"SevenZipPpmd", "7zz", "7zz a -tzip -mm=PPMd ARCHIVE ."},
    {"SevenZipPpmdEncrypted", "7zz", "7zz a -tzip -mm=PPMd -mem=ZipCrypto -pPASSWORD ARCHIVE .", true},
#endif
    {"BsdtarDeflate", "bsdtar", "bsdtar --format zip -cf ARCHIVE ."},
    {"BsdtarStore", "bsdtar", "bsdtar --format zip --options zip:compression=store -cf ARCHIVE ."},
    {"BsdtarEncrypted", "bsdtar",
     "bsdtar --format zip --options zip:encryption=zipcrypt --passphrase PASSWORD -cf ARCHIVE .", true},
    {"PythonStored", "python3", std::string(PythonZip) + "ZIP_STORED"},
    {"PythonDeflated", "python3", std::string(PythonZip) + "ZIP_DEFLATED"},
    {"PythonBzip2", "python3", std::string(PythonZip) + "ZIP_BZIP2"},
    {"PythonLzma", "python3", std::string(PythonZip) + "ZIP_LZMA"},
};

INSTANTIATE_TEST_SUITE_P(Tools, ToolArchiveTest, ::testing::ValuesIn(ToolCases),
                         [](const auto& info) { return info.param.label; });

class ToolSpecialTest : public ZipExtractFixture {};

TEST_F(ToolSpecialTest, StreamedEntriesWithDataDescriptorAndTimeCheckByte) {
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    // Input from a pipe makes zip write a data descriptor; encrypted, the header check uses the time.
    WriteFileBytes(Temp() + "/in.txt", TextBytes(200000));
    ASSERT_EQ(RunShell("cd '" + Temp() + "' && zip -q -P geheim '" + ArchivePath() + "' - < in.txt"), 0);
    EXPECT_THAT(Extract(ReadFileBytes(ArchivePath()), "geheim"), IsEmpty());
    EXPECT_EQ(OutFile("-"), TextBytes(200000));
    std::filesystem::remove_all(Out());
    auto failures = Extract(ReadFileBytes(ArchivePath()), "falsch");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].className, "EAbZipInvalidPassword");
}

TEST_F(ToolSpecialTest, PasswordRetriesAskTheHandlerAndStop) {
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    WriteFileBytes(Temp() + "/secret.txt", "inhalt");
    ASSERT_EQ(RunShell("cd '" + Temp() + "' && zip -q -P geheim '" + ArchivePath() + "' secret.txt"), 0);

    TZipArchive wrong;
    wrong.Password = "falsch";
    int asked = 0;
    wrong.OnNeedPassword = [&](const TZipItem&, std::string& password) {
        ++asked;
        password = "immer noch falsch";
    };
    auto failures = ExtractFile(ArchivePath(), wrong);
    EXPECT_EQ(asked, 3);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].className, "EAbZipInvalidPassword");

    TZipArchive later;
    int calls = 0;
    later.OnNeedPassword = [&](const TZipItem&, std::string& password) {
        password = ++calls == 2 ? "geheim" : "falsch";
    };
    EXPECT_THAT(ExtractFile(ArchivePath(), later), IsEmpty());
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(OutFile("secret.txt"), "inhalt");
}

TEST_F(ToolSpecialTest, MoreThan65535EntriesAndZip64ExtraFields) {
    if (!HaveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(RunShell("python3 -c \""
                       "import zipfile\n"
                       "with zipfile.ZipFile('" +
                       ArchivePath() +
                       "', 'w') as z:\n"
                       "    for i in range(70000): z.writestr('d%03d/f%05d' % (i // 1000, i), str(i))\n"
                       "    with z.open('forced.txt', 'w', force_zip64=True) as f: f.write(b'zip64 sizes')\n"
                       "\""),
              0);
    TZipArchive zip;
    EXPECT_THAT(ExtractFile(ArchivePath(), zip), IsEmpty());
    EXPECT_EQ(zip.Items().size(), 0u); // closed
    EXPECT_EQ(OutFile("d069/f69999"), "69999");
    EXPECT_EQ(OutFile("d000/f00000"), "0");
    EXPECT_EQ(OutFile("forced.txt"), "zip64 sizes");
    size_t files = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(Out()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 70001u);
}

} // namespace
} // namespace kalmora::test
