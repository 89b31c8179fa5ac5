// Deflate64 and WavPack entries through the whole reader: the tool-made fixtures (plain and under
// traditional encryption), the public Deflate64 samples, damaged streams that must fail their entry
// alone, and Deflate on both inflaters.

#include "ZipCorpusFiles.h"
#include "ZipTestSupport.h"
#include "runtime/Exceptions.h"
#include "support/ScopedEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <sstream>

namespace kalmora::test {
namespace {

using ::testing::IsEmpty;

const std::string Fixtures = KALMORA_ZIP_FIXTURES_DIR;
const std::string CorpusDir = KALMORA_CORPUS_DIR;

// The files deflate64.zip holds, made as make_method_fixtures.py makes them.
std::vector<std::pair<std::string, std::string>> Deflate64Sources() {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "Zeile " + std::to_string(i * 7919 % 100003) + ": Konfiguration der Geraete\n";
    std::string noise = Noise(40000, 12345);
    return {
        {"text.txt", text}, {"noise3.bin", noise + noise + noise}, {"zeros.bin", std::string(100000, '\0')}};
}

class Deflate64FixtureTest : public ZipExtractFixture,
                             public ::testing::WithParamInterface<TFixtureArchive> {};

TEST_P(Deflate64FixtureTest, ExtractsByteIdentical) {
    TZipArchive zip;
    zip.Password = GetParam().password;
    auto failures = ExtractFile(Fixtures + "/" + GetParam().archive, zip);
    EXPECT_THAT(failures, IsEmpty()) << FailureNames(failures);
    for (const auto& [name, bytes] : Deflate64Sources())
        EXPECT_TRUE(OutFile(name) == bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(SevenZip, Deflate64FixtureTest,
                         ::testing::Values(TFixtureArchive{"plain", "deflate64.zip", ""},
                                           TFixtureArchive{"ZipCrypto", "deflate64-zc.zip", "geheim"}),
                         [](const auto& info) { return info.param.label; });

class Deflate64Test : public ZipExtractFixture {};

TEST_F(Deflate64Test, WrongPasswordFailsEveryEntry) {
    TZipArchive zip;
    zip.Password = "falsch";
    auto failures = ExtractFile(Fixtures + "/deflate64-zc.zip", zip);
    ASSERT_EQ(failures.size(), 3u);
    for (const auto& f : failures)
        EXPECT_EQ(f.className, "EAbZipInvalidPassword");
    EXPECT_THAT(OutTree(), IsEmpty());
}

// Noise has no matches, so zlib's stream of it is Deflate64 as well; cut short, it must fail its entry
// and leave the neighbour alone.
TEST_F(Deflate64Test, TruncatedStreamFailsItsEntryOnly) {
    std::string data = Noise(100000, 4);
    std::string stream = RawDeflate(data);
    for (size_t cut : {size_t{0}, size_t{1}, stream.size() / 2, stream.size() - 1}) {
        std::filesystem::remove_all(Out());
        auto archive = TZipTestBuilder()
                           .Add(RawEntry("cut.bin", data, 9, stream.substr(0, cut)))
                           .AddFile("ok.txt", "unberuehrt")
                           .Build();
        auto failures = Extract(archive);
        ASSERT_EQ(failures.size(), 1u) << "cut at " << cut;
        EXPECT_EQ(failures[0].name, "cut.bin");
        EXPECT_EQ(failures[0].className, "EAbZipDataError") << failures[0].message;
        EXPECT_EQ(OutTree(), std::vector<std::string>{"ok.txt"});
    }
    auto whole = TZipTestBuilder().Add(RawEntry("whole.bin", data, 9, stream)).Build();
    std::filesystem::remove_all(Out());
    EXPECT_THAT(Extract(whole), IsEmpty());
    EXPECT_TRUE(OutFile("whole.bin") == data);
}

// Deflate's stream of highly repetitive data uses length code 285, which Deflate64 reads with 16 extra
// bits: decoded as Deflate64 it must come out as a failure (wrong size or data), not as a crash.
TEST_F(Deflate64Test, PlainDeflateStreamWithLongMatchesFailsCleanly) {
    std::string data(200000, 'a');
    auto archive = TZipTestBuilder().Add(RawEntry("a.txt", data, 9, RawDeflate(data))).Build();
    auto failures = Extract(archive);
    ASSERT_EQ(failures.size(), 1u);
}

// The public samples with Deflate64 entries: what unzip and 7-Zip extract must come out with its size
// and CRC-32 (the reader checks the CRC; a mismatch is a failed entry).
struct TCorpusEntry {
    std::string archive;
    std::string name;
    uint64_t size;
};

std::vector<TCorpusEntry> CorpusDeflate64Entries() {
    std::vector<TCorpusEntry> entries;
    for (const auto& f : ExpectedContentRows()) {
        // archive, name, method, size, crc32, sha256, verified_by; plain ASCII names only, since the
        // table gives them as Python decodes them.
        if (f.size() < 7 || f[2] != "deflate64" || f[6].find("unzip") == std::string::npos)
            continue;
        bool ascii = !f[1].empty();
        for (unsigned char c : f[1])
            ascii = ascii && c >= 0x20 && c < 0x7F;
        if (ascii)
            entries.push_back({f[0], f[1], std::stoull(f[3])});
    }
    return entries;
}

class Deflate64CorpusTest : public ZipExtractFixture {};

TEST_F(Deflate64CorpusTest, ExtractsEverySampleOthersCan) {
    ASSERT_TRUE(std::filesystem::exists(CorpusDir + "/EXPECTED-SHA256.tsv"))
        << "the public sample archives are expected at " << CorpusDir;
    auto entries = CorpusDeflate64Entries();
    ASSERT_GE(entries.size(), 6u);
    for (const auto& e : entries) {
        SCOPED_TRACE(e.archive + ": " + e.name);
        std::filesystem::remove_all(Out());
        TZipArchive zip;
        auto failures = ExtractFile(CorpusDir + "/" + e.archive, zip);
        for (const auto& f : failures)
            EXPECT_NE(f.name, e.name) << f.className << ": " << f.message;
        std::string path = Out() + "/" + e.name;
        ASSERT_TRUE(std::filesystem::is_regular_file(path));
        EXPECT_EQ(std::filesystem::file_size(path), e.size);
    }
}

TEST_F(Deflate64CorpusTest, DamagedSampleFailsItsEntry) {
    ASSERT_TRUE(std::filesystem::exists(CorpusDir))
        << "the public sample archives are expected at " << CorpusDir;
    TZipArchive zip;
    std::vector<TItemFailure> failures;
    try {
        failures = ExtractFile(CorpusDir + "/zip2/raw_deflate64_index_out_of_bounds.zip", zip);
    } catch (const Exception& e) {
        SUCCEED() << ExceptionClassName(e);
        return;
    }
    for (const auto& path : OutTree())
        EXPECT_TRUE(path.back() == '/') << path << " extracted from a damaged stream";
}

class DeflateBothInflatersTest : public ZipExtractFixture,
                                 public ::testing::WithParamInterface<std::string> {};

TEST_P(DeflateBothInflatersTest, ExtractIdenticalContent) {
    // Deflate on both inflaters within one process: the selection is read per entry.
    TScopedEnvironment choice("KALMORA_INFLATE",
                              GetParam() == "zlib" ? std::optional<std::string>("zlib") : std::nullopt);
    std::string text;
    for (int i = 0; text.size() < 2000000; ++i)
        text += "Geraet " + std::to_string(i * 31 % 9973) + ";Status aktiv\n";
    std::string noise = Noise(300000, 8);
    std::string corrupt = RawDeflate(text);
    corrupt[corrupt.size() / 2] ^= 0x55;
    auto archive = TZipTestBuilder()
                       .AddFile("text.txt", text)
                       .AddFile("noise.bin", noise)
                       .AddFile("one.txt", "1")
                       .Add(RawEntry("corrupt.txt", text, 8, corrupt))
                       .Add(RawEntry("short.txt", text, 8, RawDeflate(text).substr(0, 1000)))
                       .Build();
    auto failures = Extract(archive);
    ASSERT_EQ(failures.size(), 2u) << FailureNames(failures);
    EXPECT_EQ(failures[0].name, "corrupt.txt");
    EXPECT_EQ(failures[1].name, "short.txt");
    EXPECT_EQ(failures[1].className, "EAbZipDataError");
    EXPECT_TRUE(OutFile("text.txt") == text);
    EXPECT_TRUE(OutFile("noise.bin") == noise);
    EXPECT_EQ(OutFile("one.txt"), "1");
}

INSTANTIATE_TEST_SUITE_P(Deflate, DeflateBothInflatersTest, ::testing::Values("default", "zlib"),
                         [](const auto& info) { return info.param; });

} // namespace
} // namespace kalmora::test
