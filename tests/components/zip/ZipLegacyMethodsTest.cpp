// Shrink, Reduce and Implode over the public samples beside the checkout (archives and raw streams that
// PKZIP-era tools wrote), checked against unzip where it can decode them, and over damaged copies of
// those streams, which must fail their own entry and nothing else.

#include "ZipCorpusFiles.h"
#include "ZipTestSupport.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <zlib.h>

namespace kalmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A raw stream of the corpus: no ZIP records, only the compressed bytes and the output they stand for.
struct TRawStream {
    std::string label;
    std::string stream;
    std::string expected;
    uint16_t method;
    uint16_t flags;
    std::string suffix; // appended to the expected file's content
    friend void PrintTo(const TRawStream& s, std::ostream* os) { *os << s.label; }
};

const std::vector<TRawStream> RawStreams = {
    {"implode_4K_2trees", "zip2/legacy/implode_hamlet_256.bin", "zip2/legacy/implode_hamlet_256.out", 6, 0,
     ""},
    {"reduce_factor4", "zip2/legacy/reduce_hamlet_2048.bin", "zip2/legacy/implode_hamlet_2048.out", 5, 0, ""},
    {"reduce_distance_before_start", "zip2/legacy/reduce_zero_reduced.bin",
     "zip2/legacy/implode_hamlet_2048.out", 5, 0, std::string(1024, '\0')},
};

const std::vector<std::string> LegacyMethods = {"shrunk",   "reduced1", "reduced2",
                                                "reduced3", "reduced4", "imploded"};

std::vector<std::string> LegacyArchives() {
    std::vector<std::string> archives;
    for (const auto& file : CorpusFiles(LegacyMethods))
        if (archives.empty() || archives.back() != file.archive)
            archives.push_back(file.archive);
    return archives;
}

class RawStreamTest : public ZipExtractFixture, public ::testing::WithParamInterface<TRawStream> {};

TEST_P(RawStreamTest, DecodesToTheShippedOutput) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    const auto& s = GetParam();
    std::string expected = ReadFileBytes(CorpusPath(s.expected)) + s.suffix;
    TTestEntry entry;
    entry.name = "raw.txt";
    entry.data = expected;
    entry.method = s.method;
    entry.compressed = ReadFileBytes(CorpusPath(s.stream));
    entry.flags = s.flags;
    EXPECT_THAT(Extract(TZipTestBuilder().Add(entry).Build()), IsEmpty());
    EXPECT_EQ(OutFile("raw.txt"), expected);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RawStreamTest, ::testing::ValuesIn(RawStreams),
                         [](const auto& info) { return info.param.label; });

// Traditional PKWARE encryption of an entry's stored bytes, for entries no tool here encrypts.
class TTestEncrypter {
public:
    explicit TTestEncrypter(const std::string& password) {
        for (char c : password)
            Update(static_cast<uint8_t>(c));
    }
    std::string Encrypt(uint32_t crc, const std::string& data) {
        std::string header(11, '\x5A');
        header += static_cast<char>(crc >> 24);
        std::string out;
        for (char c : header + data) {
            uint16_t t = static_cast<uint16_t>(FKey2 | 2);
            out += static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8));
            Update(static_cast<uint8_t>(c));
        }
        return out;
    }

private:
    static uint32_t CrcByte(uint32_t crc, uint8_t byte) {
        return ~static_cast<uint32_t>(crc32(~crc & 0xFFFFFFFFu, &byte, 1));
    }
    void Update(uint8_t plain) {
        FKey0 = CrcByte(FKey0, plain);
        FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
        FKey2 = CrcByte(FKey2, static_cast<uint8_t>(FKey1 >> 24));
    }
    uint32_t FKey0 = 0x12345678, FKey1 = 0x23456789, FKey2 = 0x34567890;
};

class EncryptedStreamTest : public ZipExtractFixture, public ::testing::WithParamInterface<TRawStream> {
protected:
    std::string Archive(const std::string& expected) {
        const auto& s = GetParam();
        TTestEntry entry;
        entry.name = "secret.txt";
        entry.data = expected;
        entry.method = s.method;
        entry.compressed =
            TTestEncrypter("geheim").Encrypt(Crc32(expected), ReadFileBytes(CorpusPath(s.stream)));
        entry.flags = static_cast<uint16_t>(s.flags | 1);
        return TZipTestBuilder().Add(entry).AddFile("plain.txt", "plain", 0).Build();
    }
};

TEST_P(EncryptedStreamTest, DecodesBehindTheDecrypter) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    std::string expected = ReadFileBytes(CorpusPath(GetParam().expected)) + GetParam().suffix;
    EXPECT_THAT(Extract(Archive(expected), "geheim"), IsEmpty());
    EXPECT_EQ(OutFile("secret.txt"), expected);
}

TEST_P(EncryptedStreamTest, WrongPasswordFailsOnlyThatEntry) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    std::string expected = ReadFileBytes(CorpusPath(GetParam().expected)) + GetParam().suffix;
    auto failures = Extract(Archive(expected), "falsch");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].className, "EAbZipInvalidPassword");
    EXPECT_THAT(ListTree(Out()), ElementsAre("plain.txt"));
}

INSTANTIATE_TEST_SUITE_P(Corpus, EncryptedStreamTest, ::testing::ValuesIn(RawStreams),
                         [](const auto& info) { return info.param.label; });

// Archives whose entries unzip decodes too: both readers must write the same bytes.
class UnzipAgreesTest : public ZipExtractFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnzipAgreesTest, SameBytesAsUnzip) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    ASSERT_TRUE(HaveTool("unzip")) << "unzip is needed as the second opinion";
    TZipArchive zip;
    EXPECT_THAT(ExtractFile(CorpusPath(GetParam()), zip), IsEmpty());
    std::string theirs = Temp() + "/unzip";
    ASSERT_EQ(RunShell("unzip -qq -o '" + CorpusPath(GetParam()) + "' -d '" + theirs + "'"), 0);
    auto files = ListTree(theirs);
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(ListTree(Out()), files);
    for (const auto& f : files) {
        if (f.back() != '/') {
            EXPECT_EQ(OutFile(f), ReadFileBytes(theirs + "/" + f)) << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, UnzipAgreesTest,
                         ::testing::Values("commons-compress/SHRUNK.ZIP", "zip2/legacy/shrink.zip",
                                           "sharpcompress/Archives/Zip.shrink.zip",
                                           "commons-compress/imploding-4Kdict-2trees.zip",
                                           "commons-compress/imploding-8Kdict-3trees.zip",
                                           "commons-compress/lorem-ipsum-implode.zip",
                                           "zip2/legacy/implode.zip"),
                         [](const auto& info) { return SafeTestName(info.param); });

// Every sample file of these methods comes out with its size and CRC-32.
class LegacyCorpusTest : public ZipExtractFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(LegacyCorpusTest, ExtractsEverySampleFile) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    TZipArchive zip;
    auto failures = ExtractFile(CorpusPath(GetParam()), zip);
    for (const auto& f : failures)
        ADD_FAILURE() << f.name << ": " << f.className << ": " << f.message;
    for (const auto& file : CorpusFiles(LegacyMethods)) {
        if (file.archive != GetParam())
            continue;
        std::string bytes = ReadFileBytes(Out() + "/" + file.name);
        EXPECT_EQ(bytes.size(), file.size) << file.name;
        EXPECT_EQ(Crc32(bytes), file.crc) << file.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, LegacyCorpusTest, ::testing::ValuesIn(LegacyArchives()),
                         [](const auto& info) { return SafeTestName(info.param); });

TEST(LegacyCorpusPresence, SamplesOfEveryMethodArePresent) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    for (const std::string method : {"shrunk", "reduced1", "reduced2", "reduced3", "reduced4", "imploded"}) {
        auto files = CorpusFiles({method});
        EXPECT_FALSE(files.empty()) << method;
    }
}

// One compressed entry of each method, taken from the samples, damaged in many ways beside an intact
// stored file: the damaged entry fails (or, by chance, still decodes to its CRC) and the other file is
// always extracted.
struct TDamageCase {
    std::string label;
    std::string archive;
    uint16_t method;
    friend void PrintTo(const TDamageCase& c, std::ostream* os) { *os << c.label; }
};

class DamagedStreamTest : public ZipExtractFixture, public ::testing::WithParamInterface<TDamageCase> {
protected:
    void ExpectOnlyEntryFails(const TLocalEntry& sample, const std::string& damaged) {
        TTestEntry entry;
        entry.name = "damaged.bin";
        entry.method = sample.method;
        entry.compressed = damaged;
        entry.flags = sample.flags;
        entry.crc = sample.crc;
        entry.uncompressedSize = sample.size;
        auto archive = TZipTestBuilder().Add(entry).AddFile("ok.txt", "intact", 0).Build();
        std::filesystem::remove_all(Out());
        auto failures = Extract(archive);
        EXPECT_EQ(OutFile("ok.txt"), "intact");
        if (failures.empty())
            EXPECT_EQ(OutFile("damaged.bin").size(), sample.size);
        else
            EXPECT_THAT(ListTree(Out()), ElementsAre("ok.txt"));
    }
};

TEST_P(DamagedStreamTest, FailsOnlyItsEntry) {
    ASSERT_TRUE(HaveCorpus()) << MissingCorpusMessage();
    auto sample = LocalEntryWithMethod(ReadFileBytes(CorpusPath(GetParam().archive)), GetParam().method);
    const std::string& s = sample.compressed;
    ASSERT_GT(s.size(), 4u);
    for (size_t cut : {size_t{0}, size_t{1}, s.size() / 3, s.size() - 1})
        ExpectOnlyEntryFails(sample, s.substr(0, cut));
    uint32_t seed = 12345;
    for (int round = 0; round < 40; ++round) {
        std::string damaged = s;
        for (int flips = 0; flips < 1 + round % 4; ++flips) {
            seed = seed * 1103515245u + 12345u;
            damaged[(seed >> 8) % damaged.size()] ^= static_cast<char>(1u << (seed >> 29));
        }
        ExpectOnlyEntryFails(sample, damaged);
    }
    ExpectOnlyEntryFails(sample, std::string(s.size(), '\xFF'));
    ExpectOnlyEntryFails(sample, std::string(s.size(), '\0'));
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, DamagedStreamTest,
    ::testing::Values(TDamageCase{"shrink", "zip2/legacy/shrink.zip", 1},
                      TDamageCase{"reduce1", "sharpcompress/Archives/Zip.reduce1.zip", 2},
                      TDamageCase{"reduce4", "zip2/legacy/reduce.zip", 5},
                      TDamageCase{"implode_2trees", "commons-compress/imploding-4Kdict-2trees.zip", 6},
                      TDamageCase{"implode_3trees", "zip2/legacy/implode.zip", 6}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace kalmora::test
