#include "startup/UnitList.h"

#include "interpreter/InterpreterAdapter.h"
#include "lmDebug/lmDebug.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace kalmora;

TEST(UnitList, StartsInOrderStopsInReverseAndWorksOnce) {
    std::vector<std::string> calls;
    auto unit = [&](std::string name) {
        return TUnit{name, [&calls, name] { calls.push_back("start " + name); },
                     [&calls, name] { calls.push_back("stop " + name); }};
    };
    TUnitList list({unit("A"), unit("B"), TUnit{"C", {}, {}}});
    list.Startup();
    list.Startup(); // a second start-up does no work
    list.Shutdown();
    EXPECT_EQ(calls, (std::vector<std::string>{"start A", "start B"}));
    list.Shutdown(); // the last shut-down does the work
    EXPECT_EQ(calls, (std::vector<std::string>{"start A", "start B", "stop B", "stop A"}));
    list.Shutdown(); // more shut-downs than start-ups change nothing
    EXPECT_EQ(calls.size(), 4u);
}

TEST(UnitList, ShutdownErrorsDoNotStopTheOtherUnits) {
    std::vector<std::string> calls;
    TUnitList list({TUnit{"A", {}, [&] { calls.push_back("A"); }},
                    TUnit{"B", {}, [] { throw std::runtime_error("x"); }}});
    list.Startup();
    list.Shutdown();
    EXPECT_EQ(calls, (std::vector<std::string>{"A"}));
}

TEST(ProgramUnits, DebugLogIsFirstAndLastWithTheShutdownReportsBetween) {
    auto dir = std::filesystem::temp_directory_path() / ("units-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    setenv("KALMORA_DEBUG_LEVEL", "$7E814004", 1);
    {
        TUnitSession session;
        EXPECT_EQ(GetDebugLevel(), 0x7E814004u);
    }
    unsetenv("KALMORA_DEBUG_LEVEL");
    std::filesystem::current_path(cwd);
    auto file = dir / "UnitListTest.Debug.log";
    ASSERT_TRUE(std::filesystem::exists(file));
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    std::vector<std::string> expected = {
        "Starting Debug-Log.", "Finalize kmBaseDb",    "Finalize kmWaren", "Finalize kmKartenzahlung",
        "Finalize ComUnit2",   "Finalize lmDbObjects", "Finalize lmdbStd", "Stopping Debug-Log."};
    std::size_t at = 0;
    for (auto& line : expected) {
        auto found = text.find("\r\n" + line + "\r\n", at);
        ASSERT_NE(found, std::string::npos) << line << " missing or out of order in:\n" << text;
        at = found + line.size();
    }
    std::filesystem::remove_all(dir);
}

TEST(ProgramUnits, ScriptVocabularyLivesFromStartUpToShutDown) {
    ASSERT_FALSE(GlobalRegistryExists());
    {
        TUnitSession session;
        ASSERT_TRUE(GlobalRegistryExists());
        const auto& entries = GlobalRegistry().Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.front().UnitName, "Dialogs");
        auto position = [&](std::string_view identifier) {
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (entries[i].Identifier == identifier)
                    return i;
            ADD_FAILURE() << identifier << " is not registered";
            return entries.size();
        };
        EXPECT_LT(position("ShowMessage"), position("IXmlDoc"));
    }
    EXPECT_FALSE(GlobalRegistryExists());
}
