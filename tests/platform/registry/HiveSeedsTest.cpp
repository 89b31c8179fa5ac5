// The fuzz target's seeds and findings stay tests: each parses, and what it writes back parses into the same
// text again, in both hives.

#include "registry/RegFileFormat.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace kalmora::registry {
namespace {

using test::FileNamesIn;

const std::string SeedsDir = KALMORA_HIVE_SEEDS_DIR;

std::vector<std::string> Seeds() {
    return FileNamesIn(SeedsDir);
}

std::string WriteBack(const TRegFileContent& content, HiveId hive) {
    TRegNode root;
    ApplySections(content, hive, root);
    return FormatRegFile(root, hive);
}

TEST(HiveSeeds, ArePresent) {
    EXPECT_FALSE(Seeds().empty()) << "hive seeds expected in " << SeedsDir;
}

class HiveSeedTest : public ::testing::TestWithParam<std::string> {};

TEST_P(HiveSeedTest, WrittenBackReadsTheSame) {
    std::ifstream in(SeedsDir + "/" + GetParam(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    TRegFileContent content;
    std::string error;
    ASSERT_TRUE(ParseRegFile(bytes.str(), content, error)) << error;
    for (HiveId hive : {HiveId::LocalMachine, HiveId::CurrentUser}) {
        std::string written = WriteBack(content, hive);
        TRegFileContent reread;
        ASSERT_TRUE(ParseRegFile(written, reread, error)) << error << "\n" << written;
        EXPECT_EQ(WriteBack(reread, hive), written);
    }
}

TEST(HiveSeedPairTest, RegeditFileReadsLikeItsUtf8Twin) {
    auto parse = [](const std::string& name) {
        std::ifstream in(SeedsDir + "/" + name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        TRegFileContent content;
        std::string error;
        EXPECT_TRUE(ParseRegFile(bytes.str(), content, error)) << name << ": " << error;
        return WriteBack(content, HiveId::LocalMachine);
    };
    EXPECT_EQ(parse("regedit-utf16.reg"), parse("all-types.reg"));
}

INSTANTIATE_TEST_SUITE_P(Seeds, HiveSeedTest, ::testing::ValuesIn(Seeds()), [](const auto& info) {
    std::string name;
    for (char c : info.param)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

} // namespace
} // namespace kalmora::registry
