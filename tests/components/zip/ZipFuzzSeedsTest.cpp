// Every seed and every input the fuzzer once failed on stays a test: opening and extracting it may fail,
// but only with an exception of the reader.

#include "ZipTestSupport.h"
#include "runtime/Exceptions.h"
#include "zip/ZipSource.h"

#include <algorithm>
#include <filesystem>

namespace kalmora::test {
namespace {

const std::string SeedsDir = KALMORA_FUZZ_SEEDS_DIR;

std::vector<std::string> Seeds() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(SeedsDir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FuzzSeedTest : public ZipExtractFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(FuzzSeedTest, ExtractsOrFailsCleanly) {
    std::string bytes = ReadFileBytes(SeedsDir + "/" + GetParam());
    std::filesystem::create_directories(Out());
    TZipArchive zip;
    zip.BaseDirectory = Out();
    zip.Password = "geheim";
    try {
        zip.OpenSource(std::make_unique<TZipMemorySource>(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())));
        zip.ExtractFiles("*.*");
    } catch (const Exception&) {
    }
    for (const auto& path : ListTree(Temp()))
        EXPECT_EQ(path.rfind("out", 0), 0u) << path;
}

INSTANTIATE_TEST_SUITE_P(Seeds, FuzzSeedTest, ::testing::ValuesIn(Seeds()), [](const auto& info) {
    std::string name;
    for (char c : info.param)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

} // namespace
} // namespace kalmora::test
