// The reader over the public sample archives beside the checkout: every entry another reader could extract
// with a method built here must come out with its size and CRC-32. Without the samples CorpusPresence fails.

#include "ZipCorpusFiles.h"
#include "ZipTestSupport.h"
#include "runtime/Exceptions.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <zlib.h>

namespace kalmora::test {
namespace {

const std::string CorpusDir = KALMORA_CORPUS_DIR;

std::vector<std::map<std::string, std::string>> ReadTable(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::vector<std::map<std::string, std::string>> rows;
    if (!std::getline(in, line))
        return rows;
    auto header = SplitTabs(line);
    while (std::getline(in, line)) {
        auto fields = SplitTabs(line);
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size(); ++i)
            row[header[i]] = i < fields.size() ? fields[i] : "";
        rows.push_back(std::move(row));
    }
    return rows;
}

struct TExpectedFile {
    std::string name;
    uint64_t size;
    uint32_t crc;
};

struct TCorpusArchive {
    std::string path;
    std::string password;
    std::vector<TExpectedFile> files;
    friend void PrintTo(const TCorpusArchive& a, std::ostream* os) { *os << a.path; }
};

const std::set<std::string> BuiltMethods = {"stored", "shrunk", "imploded", "deflated", "bzip2", "lzma"};

// Names that this reader decodes or places differently on purpose: decoded other than Python does, or
// refused because they would leave the target folder.
bool ComparableName(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || c >= 0x7F || c == '\\' || c == ':')
            return false;
    return !name.empty() && name.front() != '/' && name.find("..") == std::string::npos &&
           name.find("//") == std::string::npos;
}

// Archives read differently on purpose, with why.
const std::set<std::string> Skipped = {
    "go/dupdir.zip",            // a file and a folder of one name: the folder stops everything
    "go/comment-truncated.zip", // local and central names differ; the directory's name is used
    "libarchive/test_read_format_zip_msdos.zip", // entries with the MS-DOS folder bit are folders
};

// Damage that unzip works around by guessing and this reader refuses: the whole archive (with the error
// class) or the damaged entry ("entry").
const std::map<std::string, std::string> Refused = {
    {"go/test-badbase.zip", "EAbZipInvalid"},
    {"libzip/incons-central-file-comment-longer.zip", "EAbZipInvalid"},
    {"libzip/incons-file-count-high.zip", "EAbZipInvalid"},
    {"libzip/incons-file-count-low.zip", "EAbZipInvalid"},
    {"libzip/incons-file-count-overflow.zip", "EAbZipInvalid"},
    {"libzip/multidisk.zip", "EAbZipInvalid"},
    {"libzip/incons-central-compression-method.zip", "entry"},
    {"libzip/incons-central-compsize-smaller.zip", "entry"},
    {"libzip/incons-filename-nul-byte.zip", "entry"},
};

std::vector<TCorpusArchive> LoadCorpus() {
    std::vector<TCorpusArchive> archives;
    if (!std::filesystem::exists(CorpusDir + "/INDEX.tsv"))
        return archives;
    std::map<std::string, std::vector<std::map<std::string, std::string>>> expected;
    for (auto& row : ReadTable(CorpusDir + "/EXPECTED-SHA256.tsv"))
        expected[row["archive"]].push_back(row);
    for (auto& row : ReadTable(CorpusDir + "/INDEX.tsv")) {
        if (Skipped.count(row["path"]))
            continue;
        std::string password = row["password"];
        if (password == "unknown")
            continue;
        if (password == "-")
            password.clear();
        // Python's names are the stored bytes read as CP437; this reader prefers the Unicode fields and
        // UTF-8.
        const std::string& notes = row["notes"];
        if (notes.find("unicode-path-extra") != std::string::npos ||
            notes.find("non-ASCII") != std::string::npos)
            continue;
        TCorpusArchive archive{row["path"], password, {}};
        for (auto& e : expected[row["path"]]) {
            std::string name = e["entry_name(as Python zipfile decodes it)"];
            // What unzip extracts is the bar; 7-Zip alone also repairs damage that is refused here.
            if (!BuiltMethods.count(e["method"]) || e["verified_by"].find("unzip") == std::string::npos ||
                !ComparableName(name))
                continue;
            archive.files.push_back(
                {name, std::stoull(e["size"]), static_cast<uint32_t>(std::stoul(e["crc32"], nullptr, 16))});
        }
        if (!archive.files.empty())
            archives.push_back(std::move(archive));
    }
    return archives;
}

class CorpusTest : public ZipExtractFixture, public ::testing::WithParamInterface<TCorpusArchive> {};

TEST_P(CorpusTest, ExtractsWhatOthersCanWithSizeAndCrc) {
    const auto& archive = GetParam();
    TZipArchive zip;
    zip.Password = archive.password;
    std::vector<TItemFailure> failures;
    auto refused = Refused.find(archive.path);
    try {
        failures = ExtractFile(CorpusDir + "/" + archive.path, zip);
    } catch (const std::exception& e) {
        if (refused != Refused.end() && refused->second == ExceptionClassName(e))
            return;
        FAIL() << ExceptionClassName(e) << ": " << e.what();
    }
    if (refused != Refused.end()) {
        EXPECT_EQ(refused->second, "entry") << "extraction did not raise";
        EXPECT_FALSE(failures.empty());
        return;
    }
    for (const auto& file : archive.files) {
        std::string path = Out() + "/" + file.name;
        ASSERT_TRUE(std::filesystem::is_regular_file(path))
            << file.name << " missing; " << failures.size() << " entries failed";
        std::string bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.size(), file.size) << file.name;
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())),
                  file.crc)
            << file.name;
    }
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusTest);
INSTANTIATE_TEST_SUITE_P(Samples, CorpusTest, ::testing::ValuesIn(LoadCorpus()), [](const auto& info) {
    std::string name;
    for (char c : info.param.path)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(CorpusPresence, SamplesLieBesideTheCheckout) {
    ASSERT_TRUE(std::filesystem::exists(CorpusDir + "/INDEX.tsv"))
        << "the public sample archives are expected in " << CorpusDir
        << " (shared/corpus beside the checkout, with INDEX.tsv and EXPECTED-SHA256.tsv)";
    EXPECT_GE(LoadCorpus().size(), 100u);
}

} // namespace
} // namespace kalmora::test
