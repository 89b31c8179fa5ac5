// Method 98: PPMd archives made by 7-Zip at several model orders and sizes, plain and under ZipCrypto; the
// public samples byte for byte; damaged streams and out-of-range parameter words, which fail their entry
// alone; and the model's memory against the machine's.

#include "ZipCorpusFiles.h"
#include "ZipTestSupport.h"
#include "support/ToolProcess.h"
#include "zip/PpmdParameters.h"
#include "zip/ZipErrors.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <map>

namespace kalmora::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

const std::string Fixtures = KALMORA_ZIP_FIXTURES_DIR;
constexpr bool PpmdBuilt = KALMORA_WITH_LIBARCHIVE;

// text.txt of the PPMd fixtures, as make_method_fixtures.py's ppmd_text makes it.
std::string PpmdText(size_t size) {
    static const char* const words[] = {"Geraet",        "Partner", "Status",  "aktiv",
                                        "Konfiguration", "Pfad",    "kalmora", "Wert"};
    std::string text;
    for (uint32_t seed = 1; text.size() < size;) {
        seed = seed * 1103515245u + 12345u;
        text += std::string(words[seed >> 29]) + " " + std::to_string(seed >> 8 & 0xFFFF) + ";" +
                words[seed >> 4 & 7] + " " + std::to_string(seed % 977) + "\n";
    }
    text.resize(size);
    return text;
}

class PpmdFixtureTest : public ZipExtractFixture, public ::testing::WithParamInterface<TFixtureArchive> {};

TEST_P(PpmdFixtureTest, ExtractsByteIdentical) {
    TZipArchive zip;
    zip.Password = GetParam().password;
    auto failures = ExtractFile(Fixtures + "/" + GetParam().archive, zip);
    if (!PpmdBuilt) {
        ASSERT_EQ(failures.size(), 2u);
        for (const auto& f : failures)
            EXPECT_THAT(f.message, HasSubstr("unsupported compression method: PPMd"));
        return;
    }
    EXPECT_THAT(failures, IsEmpty()) << FailureNames(failures);
    EXPECT_TRUE(OutFile("text.txt") == PpmdText(60000));
    EXPECT_TRUE(OutFile("zeros.bin") == std::string(2200000, '\0'));
}

// order16_mem1: the model fills up within the text and restarts.
INSTANTIATE_TEST_SUITE_P(PPMd, PpmdFixtureTest,
                         ::testing::Values(TFixtureArchive{"order2_mem1", "ppmd-o2-m1.zip", ""},
                                           TFixtureArchive{"order6_mem16", "ppmd-o6-m16.zip", ""},
                                           TFixtureArchive{"order16_mem64", "ppmd-o16-m64.zip", ""},
                                           TFixtureArchive{"order16_mem1", "ppmd-o16-m1.zip", ""},
                                           TFixtureArchive{"order6_mem16_ZipCrypto", "ppmd-o6-m16-zc.zip",
                                                           "geheim"}),
                         [](const auto& info) { return info.param.label; });

struct TPpmdDamage {
    std::string label;
    std::string (*damage)(std::string stream);
    std::string message; // part of the failure's message
    std::optional<uint64_t> declaredSize = {};
    std::optional<uint32_t> crc = {};
};

class PpmdDamageTest : public ZipExtractFixture, public ::testing::WithParamInterface<TPpmdDamage> {};

TEST_P(PpmdDamageTest, FailsItsEntryOnly) {
    if (!PpmdBuilt)
        GTEST_SKIP() << "built without libarchive";
    TLocalEntry text = LocalEntryWithMethod(ReadFileBytes(Fixtures + "/ppmd-o6-m16.zip"), 98);
    ASSERT_EQ(text.size, 60000u);
    TTestEntry bad =
        RawEntry("bad.txt", PpmdText(60000), 98, GetParam().damage(text.compressed), GetParam().declaredSize);
    bad.crc = GetParam().crc;
    auto failures = Extract(TZipTestBuilder().Add(bad).AddFile("ok.txt", "unberuehrt").Build());
    ASSERT_EQ(failures.size(), 1u) << FailureNames(failures);
    EXPECT_EQ(failures[0].name, "bad.txt");
    EXPECT_EQ(failures[0].className, "EAbZipDataError");
    EXPECT_THAT(failures[0].message, HasSubstr(GetParam().message));
    EXPECT_EQ(OutTree(), std::vector<std::string>{"ok.txt"});
}

std::string Unchanged(std::string stream) {
    return stream;
}

std::string Xor(std::string stream, size_t at, int mask) {
    stream[at] = static_cast<char>(stream[at] ^ mask);
    return stream;
}

INSTANTIATE_TEST_SUITE_P(
    PPMd, PpmdDamageTest,
    ::testing::Values(
        TPpmdDamage{"Empty", [](std::string) { return std::string(); }, "PPMd parameters"},
        TPpmdDamage{"ParameterWordOnly", [](std::string s) { return s.substr(0, 2); }, "Corrupt PPMd data"},
        TPpmdDamage{"Half", [](std::string s) { return s.substr(0, s.size() / 2); }, "Corrupt PPMd data"},
        TPpmdDamage{"LastBytesMissing", [](std::string s) { return s.substr(0, s.size() - 9); },
                    "Corrupt PPMd data"},
        TPpmdDamage{"BitsFlipped", [](std::string s) { return Xor(s, s.size() / 3, 0x5A); },
                    "Corrupt PPMd data"},
        // The fixture's word is order 6 (5 in the low four bits), restoration method 0 (the high four).
        TPpmdDamage{"Order1", [](std::string s) { return Xor(s, 0, 0x05); },
                    "PPMd model order 1 is out of range"},
        TPpmdDamage{"Restoration3", [](std::string s) { return Xor(s, 1, 0x30); },
                    "PPMd model restoration method 3 is out of range"},
        TPpmdDamage{"DeclaredSizeTooSmall", Unchanged, "", 30000},
        TPpmdDamage{"DeclaredSizeTooLarge", Unchanged, "", 90000},
        TPpmdDamage{"WrongCrc", Unchanged, "CRC", {}, 0x12345678}),
    [](const auto& info) { return info.param.label; });

// The samples are compared by content, since their names are decoded here other than in the table.
class PpmdCorpusTest : public ZipExtractFixture {};

TEST_F(PpmdCorpusTest, SamplesComeOutByteIdentical) {
    if (!PpmdBuilt)
        GTEST_SKIP() << "built without libarchive";
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    std::map<std::string, std::vector<std::string>> expected; // archive: the SHA-256 of each file entry
    for (const auto& row : ExpectedContentRows())
        if (row.size() >= 7 && row[2] == "ppmd(98)" && row[6] != "none")
            expected[row[0]].push_back(row[5]);
    ASSERT_GE(expected.size(), 6u);
    for (const auto& [archive, sums] : expected) {
        SCOPED_TRACE(archive);
        std::filesystem::remove_all(Out());
        TZipArchive zip;
        auto failures = ExtractFile(CorpusPath(archive), zip);
        EXPECT_THAT(failures, IsEmpty()) << FailureNames(failures);
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(Out()))
            if (e.is_regular_file())
                files.push_back(e.path());
        ASSERT_FALSE(files.empty());
        TToolRun run = RunProgram("/usr/bin/sha256sum", files);
        ASSERT_EQ(run.Exit, 0) << run.Err;
        std::vector<std::string> got;
        for (size_t at = 0; at + 64 <= run.Out.size(); at = run.Out.find('\n', at) + 1)
            got.push_back(run.Out.substr(at, 64));
        EXPECT_THAT(got, UnorderedElementsAreArray(sums));
    }
}

// A model may take at most a quarter of the machine's memory.
TEST(PpmdParametersTest, ModelBeyondAQuarterOfTheMemoryIsRefusedNamingItsSize) {
    constexpr uint16_t Order6Mem256 = 0x0FF5;
    constexpr uint64_t GiB = 1u << 30;
    TPpmdParameters p = CheckPpmdParameters(Order6Mem256, GiB);
    EXPECT_EQ(p.order, 6u);
    EXPECT_EQ(p.memoryMiB, 256u);
    try {
        CheckPpmdParameters(Order6Mem256, GiB - 4096);
        FAIL() << "a 256 MiB model accepted with less than 1 GiB";
    } catch (const EAbZipDataError& e) {
        EXPECT_THAT(e.what(), HasSubstr("PPMd model of 256 MiB"));
    }
}

} // namespace
} // namespace kalmora::test
