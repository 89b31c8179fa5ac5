#include "startup/UnitList.h"

#include "interpreter/InterpreterAdapter.h"
#include "kmScriptEngine/ProductFunctions.h"
#include "lmDebug/lmDebug.h"
#include "lmScriptEngine/CommonFunctions.h"
#include "lmScriptEngine/ManagedWrapper.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

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
    // The debug file goes to the current directory.
    const test::TTestFolder dir;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    {
        test::TScopedEnvironment level("KALMORA_DEBUG_LEVEL", "$7E814004");
        TUnitSession session;
        EXPECT_EQ(GetDebugLevel(), 0x7E814004u);
    }
    std::filesystem::current_path(cwd);
    const std::string file = dir / "UnitListTest.Debug.log";
    ASSERT_TRUE(test::Exists(file));
    const std::string text = test::ReadFile(file);
    std::vector<std::string> expected = {
        "Starting Debug-Log.", "Finalize kmBaseDb",    "Finalize kmWaren", "Finalize kmKartenzahlung",
        "Finalize ComUnit2",   "Finalize lmDbObjects", "Finalize lmdbStd", "Stopping Debug-Log."};
    std::size_t at = 0;
    for (auto& line : expected) {
        auto found = text.find("\r\n" + line + "\r\n", at);
        ASSERT_NE(found, std::string::npos) << line << " missing or out of order in:\n" << text;
        at = found + line.size();
    }
}

// One registration as a script sees it.
std::string Describe(const TAdapterEntry& entry) {
    return std::to_string(static_cast<int>(entry.Kind)) + " " + entry.UnitName + "." + entry.Identifier +
           "/" + std::to_string(entry.ParamCount);
}

std::vector<std::string> Describe(const TJvInterpreterAdapter& registry) {
    std::vector<std::string> names;
    for (const TAdapterEntry& entry : registry.Entries())
        names.push_back(Describe(entry));
    return names;
}

TEST(ProgramUnits, ScriptUnitsStartAfterTheInterpreterInTheirOrder) {
    std::vector<std::string> names;
    for (const TUnit& unit : ProgramUnits().Units())
        names.push_back(unit.Name);
    const std::vector<std::string> expected = {
        "lmDebug",        "UtilBox",        "lmdbStd",         "lmDbObjects", "ComUnit2", "JvInterpreter",
        "lmScriptEngine", "kmScriptEngine", "kmKartenzahlung", "kmWaren",     "kmBaseDb"};
    EXPECT_EQ(names, expected);
}

TEST(ProgramUnits, ScriptVocabularyLivesFromStartUpToShutDown) {
    // What each registration procedure adds on its own, in the order start-up must run them.
    TJvInterpreterAdapter common, product;
    RegisterCommonFunctions(common);
    RegisterUtilFunctions(common);
    RegisterProductFunctions(product);
    std::vector<std::string> expected = Describe(common);
    const std::vector<std::string> productNames = Describe(product);
    expected.insert(expected.end(), productNames.begin(), productNames.end());

    ASSERT_FALSE(GlobalRegistryExists());
    {
        TUnitSession session;
        ASSERT_TRUE(GlobalRegistryExists());
        EXPECT_EQ(Describe(GlobalRegistry()), expected);
        // A run left unfinished when the program ends is cleaned up by the script unit's shut-down.
        TManagedInterfaceWrapper::PushInstanceList();
    }
    EXPECT_FALSE(GlobalRegistryExists());
    EXPECT_EQ(TManagedInterfaceWrapper::InstanceListDepth(), 0);
}
