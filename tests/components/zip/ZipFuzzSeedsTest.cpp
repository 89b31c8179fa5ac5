// Every seed and every input the fuzzer once failed on stays a test, whole and cut short: opening and
// extracting it may fail, but only with the reader's own errors (a damaged archive or entry, a file that
// cannot be written), never with an error of the library underneath (std::bad_alloc from a size taken on
// trust, std::out_of_range from an offset), and nothing may land outside the target folder.

#include "ZipTestSupport.h"
#include "runtime/Exceptions.h"
#include "zip/ZipErrors.h"
#include "zip/ZipSource.h"

#include <algorithm>
#include <filesystem>

namespace kalmora::test {
namespace {

const std::string SeedsDir = KALMORA_FUZZ_SEEDS_DIR;

bool IsReaderError(const std::exception& e) {
    return dynamic_cast<const EAbException*>(&e) || dynamic_cast<const EInOutError*>(&e);
}

std::vector<std::string> Seeds() {
    return FileNamesIn(SeedsDir);
}

TEST(FuzzSeeds, ArePresent) {
    EXPECT_GE(Seeds().size(), 8u) << "seed archives expected in " << SeedsDir;
}

class FuzzSeedTest : public ZipExtractFixture, public ::testing::WithParamInterface<std::string> {
protected:
    // Opens and extracts bytes from memory, failing the test on any error that is not the reader's.
    void ExtractBytes(const std::string& bytes, const std::string& target) {
        std::filesystem::create_directories(target);
        TZipArchive zip;
        zip.BaseDirectory = target;
        zip.Password = "geheim";
        zip.OnProcessItemFailure = [](const TZipItem& item, const std::exception& e) {
            EXPECT_TRUE(IsReaderError(e))
                << item.fileName << ": " << ExceptionClassName(e) << ": " << e.what();
        };
        try {
            zip.OpenSource(std::make_unique<TZipMemorySource>(
                std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())));
        } catch (const EAbException&) {
            return;
        }
        try {
            zip.ExtractFiles("*.*");
        } catch (const EInOutError&) {
            // A parent folder that cannot be made (a file of the same name came first) ends the extraction.
        }
    }

    void ExpectNothingOutside() {
        for (const auto& path : ListTree(Temp()))
            EXPECT_EQ(path.rfind("out", 0), 0u) << path;
    }
};

TEST_P(FuzzSeedTest, ExtractsOrFailsWithTheReadersErrors) {
    ExtractBytes(ReadFileBytes(SeedsDir + "/" + GetParam()), Out());
    ExpectNothingOutside();
}

TEST_P(FuzzSeedTest, CutShortFailsWithTheReadersErrors) {
    std::string bytes = ReadFileBytes(SeedsDir + "/" + GetParam());
    // The head alone loses the end record; the tail alone keeps the directory with offsets that now miss.
    for (size_t cut = 1; cut < 16; ++cut) {
        size_t size = bytes.size() * cut / 16;
        ExtractBytes(bytes.substr(0, size), Out() + "/head" + std::to_string(cut));
        ExtractBytes(bytes.substr(bytes.size() - size), Out() + "/tail" + std::to_string(cut));
    }
    ExpectNothingOutside();
}

INSTANTIATE_TEST_SUITE_P(Seeds, FuzzSeedTest, ::testing::ValuesIn(Seeds()), [](const auto& info) {
    std::string name;
    for (char c : info.param)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

} // namespace
} // namespace kalmora::test
