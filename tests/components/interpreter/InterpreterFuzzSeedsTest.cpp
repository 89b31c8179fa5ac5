// Every script seed and every input script-fuzz once failed on stays a test, whole and cut short: it may end
// with a script error or an exception it raises, never with another error, a crash or a hang.

#include "ScriptFuzzRun.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace kalmora::test {
namespace {

const std::string SeedsDir = KALMORA_SCRIPT_SEEDS_DIR;

std::vector<std::string> Seeds() {
    return FileNamesIn(SeedsDir);
}

TEST(ScriptFuzzSeeds, ArePresent) {
    EXPECT_GE(Seeds().size(), 8u) << "script seeds expected in " << SeedsDir;
}

class ScriptSeedTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptSeedTest, EndsWithAScriptAnswerWholeAndCutShort) {
    std::ifstream in(SeedsDir + "/" + GetParam(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    for (std::size_t length : {source.size(), source.size() * 3 / 4, source.size() / 2, source.size() / 5}) {
        try {
            fuzz::RunScriptInput(std::string_view(source).substr(0, length));
        } catch (const Exception&) {
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cut at " << length << ": " << ExceptionClassName(e) << ": " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ScriptSeedTest, ::testing::ValuesIn(Seeds()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

} // namespace
} // namespace kalmora::test
