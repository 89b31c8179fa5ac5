// kalmora-unzip against Info-ZIP unzip: the same files, folders, contents and permission bits for every
// archive both can read, and the tool's exit codes and error line.

#include "ZipTestBuilder.h"

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
    TTempFolder FTemp;
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

TEST(KalmoraUnzipUsage, WrongArgumentCountsExitWithTwo) {
    EXPECT_EQ(RunShell(Quote(Tool) + " 2>/dev/null"), 2);
    EXPECT_EQ(RunShell(Quote(Tool) + " only-one 2>/dev/null"), 2);
    EXPECT_EQ(RunShell(Quote(Tool) + " a b c d 2>/dev/null"), 2);
}

TEST(KalmoraUnzipUsage, RaisedErrorIsOneLineWithItsClass) {
    TTempFolder temp;
    WriteFileBytes(temp / "text.zip", "kein Archiv\n");
    EXPECT_EQ(RunShell(Quote(Tool) + " " + Quote(temp / "text.zip") + " " + Quote(temp / "out") + " 2>" +
                       Quote(temp / "err")),
              1);
    EXPECT_EQ(ReadFileBytes(temp / "err"), "EAbUnhandledType: Unhandled Archive Type\n");
    WriteFileBytes(temp / "ok.zip", TZipTestBuilder().AddFile("a.txt", "a").Build());
    EXPECT_EQ(RunShell(Quote(Tool) + " " + Quote(temp / "ok.zip") + " " + Quote(temp / "out")), 0);
    EXPECT_EQ(ReadFileBytes(temp / "out/a.txt"), "a");
}

} // namespace
} // namespace kalmora::test
