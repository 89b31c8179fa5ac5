// kalmora-unzip against Info-ZIP unzip: the same files, folders, contents and permission bits for every
// archive both can read; and the tool's exit status and its stderr lines.

#include "ZipTestBuilder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace kalmora::test {
namespace {

const std::string Tool = KALMORA_UNZIP;
const std::string CorpusDir = KALMORA_CORPUS_DIR;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

struct TCompareCase {
    std::string label;
    std::string make;       // shell command run in a source tree; ARCHIVE is replaced. Empty: corpus file
    std::string corpusPath; // relative to the corpus folder
    std::string password;
    friend void PrintTo(const TCompareCase& c, std::ostream* os) { *os << c.label; }
};

void MakeSourceTree(const std::string& root) {
    std::filesystem::create_directories(root + "/conf/sub");
    std::filesystem::create_directories(root + "/leer");
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "Eintrag " + std::to_string(i) + "\n";
    WriteFileBytes(root + "/conf/big.txt", text);
    WriteFileBytes(root + "/conf/sub/small.xml", "<a/>");
    WriteFileBytes(root + "/empty", "");
    WriteFileBytes(root + "/run.sh", "#!/bin/sh\n");
    WriteFileBytes(root + "/locked.txt", "nur lesen");
    ::chmod((root + "/run.sh").c_str(), 0750);
    ::chmod((root + "/locked.txt").c_str(), 0440);
    ::chmod((root + "/conf/sub").c_str(), 0700);
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
        text.replace(pos, what.size(), with);
    return text;
}

// What a tree holds, one line per path: kind, permission bits and for files the content's CRC.
std::string Describe(const std::string& root) {
    std::ostringstream out;
    for (const auto& path : ListTree(root)) {
        std::string full = root + "/" + path;
        out << path << " " << std::oct << PermissionBits(full) << std::dec;
        if (path.back() != '/')
            out << " " << ReadFileBytes(full).size() << " " << Crc32(ReadFileBytes(full));
        out << "\n";
    }
    return out.str();
}

// Samples where the two differ on purpose, with why.
const std::map<std::string, std::string> Different = {
    // Mode 0775 under low bits of all ones: unzip makes the file mode 000.
    {"libzip/testfile-ef.zip", "mode"},
    // Well-formed UTF-8 names without flag bit 11 are decoded as UTF-8; unzip keeps CP437 bytes.
    {"libzip/utf-8-standardization-output.zip", "names"},
    // MS-DOS-made entries whose attributes carry a Unix mode above 0x1FFFF take that mode; unzip ignores it.
    {"sharpcompress/Archives/Zip.deflate.mod.zip", "mode"},
    {"sharpcompress/Archives/Zip.deflate.mod2.zip", "mode"},
    {"sharpcompress/Archives/Zip.deflate.noEmptyDirs.zip", "mode"},
    {"sharpcompress/Archives/Zip.none.noEmptyDirs.zip", "mode"},
    // Names with NUL bytes are refused; unzip cuts them short.
    {"zip2/zip64_magic_in_filename_2.zip", "names"},
    {"zip2/zip64_magic_in_filename_4.zip", "names"},
};

std::vector<TCompareCase> Cases() {
    std::vector<TCompareCase> cases = {
        {"ZipDeflate", "zip -qr ARCHIVE .", "", ""},
        {"ZipStore", "zip -qr0 ARCHIVE .", "", ""},
        {"ZipBzip2", "zip -qr -Z bzip2 ARCHIVE .", "", ""},
        {"ZipEncrypted", "zip -qr -P geheim ARCHIVE .", "", "geheim"},
        {"SevenZipDeflate", "7zz a -tzip ARCHIVE .", "", ""},
        {"SevenZipEncrypted", "7zz a -tzip -mem=ZipCrypto -pgeheim ARCHIVE .", "", "geheim"},
        {"BsdtarDeflate", "bsdtar --format zip -cf ARCHIVE conf empty run.sh locked.txt leer", "", ""},
        {"PythonDeflated",
         "python3 -c \"import zipfile,os\nwith zipfile.ZipFile('ARCHIVE','w',zipfile.ZIP_DEFLATED) as z:\n"
         " for d,ds,fs in os.walk('.'):\n  for n in ds+fs: p=os.path.join(d,n)[2:]; z.write(p,p)\"",
         "", ""},
    };
    // Public samples that both readers take as they are (no links, no names either side refuses).
    std::ifstream index(CorpusDir + "/INDEX.tsv");
    std::string line;
    std::getline(index, line);
    while (std::getline(index, line)) {
        std::vector<std::string> f;
        std::stringstream s(line);
        for (std::string field; std::getline(s, field, '\t');)
            f.push_back(field);
        if (f.size() < 10)
            f.resize(10);
        const std::string &path = f[0], &methods = f[4], &encryption = f[5], &notes = f[9];
        bool ourMethods = methods == "stored" || methods == "deflated" || methods == "stored,deflated";
        bool plainNames =
            notes.find("symlink") == std::string::npos && notes.find("dot-dot") == std::string::npos &&
            notes.find("absolute") == std::string::npos && notes.find("unicode") == std::string::npos &&
            notes.find("non-ASCII") == std::string::npos && notes.find("backslash") == std::string::npos &&
            notes.find("error") == std::string::npos;
        if (ourMethods && encryption == "none" && plainNames && !Different.count(path) && path.size() > 4 &&
            path.compare(path.size() - 4, 4, ".zip") == 0) {
            std::string label;
            for (char c : path)
                label += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
            cases.push_back({label, "", path, ""});
        }
    }
    return cases;
}

class CompareWithUnzipTest : public ::testing::TestWithParam<TCompareCase> {
protected:
    TTestFolder FTemp;
};

TEST_P(CompareWithUnzipTest, SameTreeAsUnzip) {
    const auto& c = GetParam();
    if (!HaveTool("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    std::string archive = FTemp / "archive.zip";
    if (c.make.empty()) {
        std::filesystem::copy_file(CorpusDir + "/" + c.corpusPath, archive);
        ::chmod(archive.c_str(), 0644);
    } else {
        std::string tool = c.make.substr(0, c.make.find(' '));
        if (!HaveTool(tool))
            GTEST_SKIP() << tool << " is not installed";
        std::string src = FTemp / "src";
        MakeSourceTree(src);
        ASSERT_EQ(
            RunShell("cd " + Quote(src) + " && " + Replace(c.make, "ARCHIVE", archive) + " >/dev/null 2>&1"),
            0);
    }
    std::string theirs = FTemp / "unzip", ours = FTemp / "ours";
    std::string password = c.password.empty() ? "" : " -P " + Quote(c.password);
    int unzipStatus = RunShell("unzip -qq -o" + password + " " + Quote(archive) + " -d " + Quote(theirs) +
                               " >/dev/null 2>&1");
    if (unzipStatus != 0 && unzipStatus != 1)
        GTEST_SKIP() << "unzip cannot read it (status " << unzipStatus << ")";
    int ourStatus = RunShell(Quote(Tool) + " " + Quote(archive) + " " + Quote(ours) +
                             (c.password.empty() ? "" : " " + Quote(c.password)));
    EXPECT_EQ(ourStatus, 0);
    std::filesystem::create_directories(theirs);
    EXPECT_EQ(Describe(ours), Describe(theirs));
}

INSTANTIATE_TEST_SUITE_P(Archives, CompareWithUnzipTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.label; });

TEST(KalmoraUnzipCorpus, SamplesLieBesideTheCheckout) {
    EXPECT_TRUE(std::filesystem::exists(CorpusDir + "/INDEX.tsv"))
        << "the public sample archives are expected in " << CorpusDir
        << " (shared/corpus beside the checkout)";
}

// One run of the tool with its output streams caught.
struct TRun {
    int status;
    std::string out;
    std::string err;
};

class KalmoraUnzipTest : public ::testing::Test {
protected:
    TRun Run(const std::string& arguments, const std::string& inFolder = {}) {
        std::string cd = inFolder.empty() ? "" : "cd " + Quote(inFolder) + " && ";
        int status = RunShell(cd + Quote(Tool) + " " + arguments + " >" + Quote(FTemp / "stdout") + " 2>" +
                              Quote(FTemp / "stderr"));
        return {status, ReadFileBytes(FTemp / "stdout"), ReadFileBytes(FTemp / "stderr")};
    }
    std::string Archive() const { return FTemp / "a.zip"; }
    std::string Target() const { return FTemp / "out"; }

    TTestFolder FTemp;
};

TEST_F(KalmoraUnzipTest, HelpGoesToStandardOutputWithStatusZero) {
    TRun run = Run("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: kalmora-unzip", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST_F(KalmoraUnzipTest, UsageErrorsExitWithTwoBeforeAnythingHappens) {
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile("a.txt", "a").Build());
    for (const std::string& arguments :
         {std::string(), Quote(Archive()), Quote(Archive()) + " " + Quote(Target()) + " pw extra",
          "--frobnicate " + Quote(Archive()) + " " + Quote(Target())}) {
        TRun run = Run(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.err.rfind("kalmora-unzip: ", 0), 0u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(Target())) << arguments;
    }
}

TEST_F(KalmoraUnzipTest, SuccessIsSilentAndDoubleDashEndsTheOptions) {
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile("a.txt", "a").Build());
    TRun run = Run("-- " + Quote(Archive()) + " " + Quote(Target()) + " -kein-passwort");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ReadFileBytes(Target() + "/a.txt"), "a");
}

TEST_F(KalmoraUnzipTest, ArchiveThatCannotBeOpenedIsNamedAndNoTargetIsMade) {
    WriteFileBytes(Archive(), "kein Archiv\n");
    TRun run = Run(Quote(Archive()) + " " + Quote(Target() + "/tief"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kalmora-unzip: " + Archive() + ": EAbUnhandledType: Unhandled Archive Type\n");
    EXPECT_FALSE(std::filesystem::exists(Target()));

    std::string missing = FTemp / "fehlt.zip";
    run = Run(Quote(missing) + " " + Quote(Target()));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("kalmora-unzip: " + missing + ": EInOutError: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Target()));
}

TEST_F(KalmoraUnzipTest, EachFailedEntryIsOneLineAndTheRestIsExtracted) {
    TTestEntry badCrc;
    badCrc.name = "dev/kaputt.txt";
    badCrc.data = "data";
    badCrc.crc = 1;
    TTestEntry aes;
    aes.name = "dev/aes.txt";
    aes.method = 99;
    aes.compressed = "xxxxxxxx";
    aes.data = "x";
    TTestEntry escape;
    escape.name = "../draussen.txt";
    escape.data = "x";
    WriteFileBytes(Archive(),
                   TZipTestBuilder().Add(badCrc).AddFile("dev/gut.txt", "gut").Add(aes).Add(escape).Build());
    TRun run = Run(Quote(Archive()) + " " + Quote(Target()));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    std::string prefix = "kalmora-unzip: " + Archive() + ": ";
    EXPECT_EQ(
        run.err, prefix + "dev/kaputt.txt: EAbZipBadCRC: Failed CRC Check: stored 00000001, data " +
                     [] {
                         char hex[9];
                         std::snprintf(hex, sizeof hex, "%08x", Crc32("data"));
                         return std::string(hex);
                     }() +
                     "\n" + prefix +
                     "dev/aes.txt: EAbZipInvalidMethod: Cannot extract file - unsupported compression "
                     "method: AES encrypted\n" +
                     prefix +
                     "../draussen.txt: EAbZipUnsafeName: Cannot extract file - name leaves the target "
                     "folder: ../draussen.txt\n");
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/gut.txt"), "gut");
    EXPECT_FALSE(std::filesystem::exists(FTemp / "draussen.txt"));
}

TEST_F(KalmoraUnzipTest, WrongOrMissingPasswordFailsEveryEncryptedFile) {
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    std::string src = FTemp / "src";
    std::filesystem::create_directories(src + "/dev");
    WriteFileBytes(src + "/dev/geheim.txt", "geheim");
    ASSERT_EQ(RunShell("cd " + Quote(src) + " && zip -qr -P geheim " + Quote(Archive()) + " dev"), 0);
    for (const std::string& password : {std::string(), std::string(" falsch")}) {
        TRun run = Run(Quote(Archive()) + " " + Quote(Target()) + password);
        EXPECT_EQ(run.status, 1) << password;
        // One wrong password in 256 passes the encryption header's check byte; the data then fails instead.
        const std::string line = "kalmora-unzip: " + Archive() + ": dev/geheim.txt: ";
        if (run.err.find("EAbZipInvalidPassword") != std::string::npos || password.empty())
            EXPECT_EQ(run.err, line + "EAbZipInvalidPassword: Cannot extract file - invalid password\n");
        else
            EXPECT_TRUE(run.err.starts_with(line + "EAbZipBadCRC: ") ||
                        run.err.starts_with(line + "EAbZipDataError: "))
                << run.err;
        EXPECT_FALSE(std::filesystem::exists(Target() + "/dev/geheim.txt"));
    }
    TRun run = Run(Quote(Archive()) + " " + Quote(Target()) + " geheim");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Target() + "/dev/geheim.txt"), "geheim");
}

TEST_F(KalmoraUnzipTest, RootTargetMeansTheRootNotTheCurrentDirectory) {
    std::string cwd = FTemp / "cwd";
    std::filesystem::create_directories(cwd);
    // The entry names the temporary folder from the root on, so the run writes only there.
    std::string fromRoot = std::filesystem::canonical(FTemp.Path()).string().substr(1) + "/wurzel.txt";
    WriteFileBytes(Archive(), TZipTestBuilder().AddFile(fromRoot, "wurzel").Build());
    TRun run = Run(Quote(Archive()) + " /", cwd);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(FTemp / "wurzel.txt"), "wurzel");
    EXPECT_TRUE(std::filesystem::is_empty(cwd));
}

} // namespace
} // namespace kalmora::test
